#include "data_files/ui/data_file_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <map>
#include <string>

#include "widgets/logos.h"
#include "widgets/window_frame.h"

namespace vortan {
namespace {

constexpr int kLogoSize = 64;  // as in the single-point window
constexpr int kProgressSteps = 1000;  // the progress bar's steps: a tenth of a percent each
// The time from the start of a job to the progress dialog's appearance: a shorter job shows
// none.
constexpr int kProgressDelayMs = 300;
// The status panel's lines: the longest status, Greek and English, at the opening width.
constexpr int kStatusLines = 7;
constexpr int kStatusMargin = 3;
constexpr int kPathBoxSpacing = 3;
// The width of the window manager's frame, as FitToScreen leaves room for it.
constexpr int kWindowFrameWidth = 16;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The grid header's boxes that show a coordinate.
bool IsCoordinateBox(std::string_view name) {
  return name == "Text1" || name == "Text2" || name == "Text3" || name == "Text4" ||
         name == "Text5";
}

// A box of the parameters or the grid header: its natural width is its minimum width, the
// widest value it shows, so that the window's natural width fits a small screen; it grows with
// the window beyond that.
class NumberBox : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  QSize sizeHint() const override {
    QSize size = QLineEdit::sizeHint();
    if (minimumWidth() > 0) size.setWidth(minimumWidth());
    return size;
  }
};

bool IsJobButton(std::string_view name) {
  return std::find(std::begin(kJobButtons), std::end(kJobButtons), name) != std::end(kJobButtons);
}

}  // namespace

// The logic's view of the window: boxes and buttons found by their control names. A control
// that the region's window lacks is skipped.
class DataFileWindow::WidgetControls : public DataFileControls {
 public:
  void Add(std::string_view name, QWidget* widget) { widgets_.emplace(name, widget); }
  QWidget* Find(std::string_view name) const {
    const auto it = widgets_.find(name);
    return it != widgets_.end() ? it->second : nullptr;
  }
  void SetText(std::string_view control, const std::string& text) override {
    QWidget* widget = Find(control);
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
      box->setText(Q(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(Q(text));
    }
  }
  void SetEnabled(std::string_view control, bool enabled) override {
    if (QWidget* widget = Find(control)) widget->setEnabled(enabled);
  }

 private:
  std::map<std::string, QWidget*, std::less<>> widgets_;
};

DataFileWindow::DataFileWindow(ProgramKind program, const RegionProfile& profile,
                               Platform& platform, QWidget* parent)
    : QWidget(parent),
      controls_(std::make_unique<WidgetControls>()),
      logic_(program, profile, platform, *controls_) {
  BuildForm();
  Form_Load();
}

DataFileWindow::~DataFileWindow() {
  if (worker_) {
    cancel_ = true;
    worker_->wait();
    delete worker_;
  }
}

// The controls of the form's table, each as the window shows it.
void DataFileWindow::CreateControls() {
  // At least wide enough for its values; wider with the window.
  const int number = fontMetrics().horizontalAdvance(QStringLiteral("-.000000294")) + 16;
  const int count = fontMetrics().horizontalAdvance(QStringLiteral("στήλες")) + 16;
  const int coordinate = fontMetrics().horizontalAdvance(QStringLiteral("2660000.")) + 20;
  for (const DataFileControl& control : logic_.form()) {
    const QString text = Q(control.text);
    QWidget* widget = nullptr;
    switch (control.kind) {
      case DataFileControlKind::kPicture: {
        auto* picture = new QLabel(QString(), this);
        picture->setPixmap(control.name == "Image1" ? GlobeLogo(kLogoSize)
                                                    : SurveyLogo(kLogoSize));
        picture->setFixedSize(kLogoSize, kLogoSize);
        widget = picture;
        break;
      }
      case DataFileControlKind::kLabel:
        widget = new QLabel(text, this);
        break;
      case DataFileControlKind::kButton: {
        auto* button = new QPushButton(text, this);
        if (IsJobButton(control.name)) {
          button->setMinimumHeight(32);
          button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 48);
        } else {
          button->setMinimumHeight(36);
        }
        widget = button;
        break;
      }
      case DataFileControlKind::kBox:
      case DataFileControlKind::kPathBox: {
        auto* box = control.kind == DataFileControlKind::kBox ? new NumberBox(text, this)
                                                              : new QLineEdit(text, this);
        // Boxes that the initial step disables stay legible.
        KeepLegibleWhenDisabled(box);
        int width = 0;
        if (control.name == "Text14" || control.name == "Text15") {
          width = count;
        } else if (IsCoordinateBox(control.name)) {
          width = coordinate;
        } else if (std::find(std::begin(kParameterBoxes), std::end(kParameterBoxes),
                             control.name) != std::end(kParameterBoxes)) {
          width = number;
        }
        if (width > 0) box->setMinimumWidth(width);
        box->setReadOnly(control.kind == DataFileControlKind::kPathBox);
        widget = box;
        break;
      }
      case DataFileControlKind::kThreads:
        threads_ = new QSpinBox(this);
        threads_->setRange(1, std::max(1, QThread::idealThreadCount()) * 4);
        threads_->setValue(std::max(1, QThread::idealThreadCount()));
        widget = threads_;
        break;
      case DataFileControlKind::kGroup:
        widget = new QGroupBox(text, this);
        break;
    }
    widget->setObjectName(Q(control.name));
    if (!control.tip.empty()) widget->setToolTip(Q(control.tip));
    controls_->Add(control.name, widget);
  }

  // The notes wrap, the second and the initial step stand out; the parameter captions sit over
  // their boxes; the group headings wrap.
  for (const char* note : {"Label20", "Label14", "Label17", "Label18"}) {
    Label(note)->setWordWrap(true);
  }
  for (const char* strong : {"Label14", "Command3"}) {
    QFont bold = Widget(strong)->font();
    bold.setBold(true);
    Widget(strong)->setFont(bold);
  }
  for (std::string_view caption : kParameterCaptions) {
    if (QLabel* label = Label(caption)) label->setAlignment(Qt::AlignCenter);
  }
  Label("ThreadsLabel")->setBuddy(threads_);
  if (QLabel* mark = Label(kTestDataLabel)) ShowAsWarning(mark);

  // The line under the jobs, in a panel with room for the longest status the window writes
  // (a stop with the lines of every output, an error with its reason), so that it shows whole
  // without scrolling at the window's opening size.
  status_ = Label(data_file_texts::kStatusLine);
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setMargin(kStatusMargin);
  // Its height for that many lines, measured on the label itself: selectable text is laid out
  // as a document, whose lines come to a pixel more than the font's line spacing.
  const QString text = status_->text();
  status_->setText(QStringList(kStatusLines, QStringLiteral("Ag")).join(QLatin1Char('\n')));
  status_->setMinimumHeight(status_->heightForWidth(QWIDGETSIZE_MAX));
  status_->setText(text);
}

QWidget* DataFileWindow::Widget(std::string_view name) const { return controls_->Find(name); }

QLabel* DataFileWindow::Label(std::string_view name) const {
  return qobject_cast<QLabel*>(Widget(name));
}

// The form in one place: the notes and help at the top, the initial step with the parameter
// and grid boxes, the two groups of jobs side by side, the line under the jobs.
void DataFileWindow::BuildForm() {
  const RegionProfile& profile = logic_.profile();
  setObjectName("Form1");
  setWindowTitle(Q(logic_.program().caption));
  auto* formWidget = new QWidget;
  formWidget->setObjectName("Form");
  CreateControls();

  // Notes, pictures and help; the number of threads a job computes on under help, so that the
  // line under the jobs keeps the window's whole width for the status.
  auto* notes = new QVBoxLayout;
  notes->addWidget(Widget("Label20"));
  notes->addWidget(Widget("Label14"));
  auto* threads = new QHBoxLayout;
  threads->addWidget(Widget("ThreadsLabel"));
  threads->addWidget(threads_);
  auto* corner = new QVBoxLayout;
  corner->addWidget(Widget("Command6"), 0, Qt::AlignRight);
  corner->addLayout(threads);
  auto* top = new QHBoxLayout;
  top->addWidget(Widget("Image1"));
  top->addLayout(notes, 1);
  top->addWidget(Widget("Image2"));
  top->addSpacing(8);
  top->addLayout(corner);

  // The initial step and what it shows.
  auto* parameters = new QGridLayout;
  for (int k = 0; k < profile.shownParameterCount; ++k) {
    parameters->addWidget(Widget(kParameterCaptions[k]), 0, k);
    parameters->addWidget(Widget(kParameterBoxes[k]), 1, k);
  }
  // Seven columns in both regions, so that the boxes line up with the grid header below and
  // the three boxes of Kastelorizo are as wide as the mainland's seven.
  for (int k = 0; k < 7; ++k) parameters->setColumnStretch(k, 1);
  auto* step = new QVBoxLayout;
  step->addWidget(Widget("Command3"));
  step->addLayout(parameters);

  if (profile.hasGrids) {
    auto* header = new QGridLayout;
    header->setHorizontalSpacing(6);
    header->addWidget(Widget("Label9"), 0, 0, 1, 2);
    header->addWidget(Widget("Text14"), 1, 0);
    header->addWidget(Widget("Text15"), 1, 1);
    header->addWidget(Widget("Label10"), 0, 2);
    header->addWidget(Widget("Text1"), 1, 2);
    header->addWidget(Widget("Label11"), 0, 3, 1, 2);
    header->addWidget(Widget("Text2"), 1, 3);
    header->addWidget(Widget("Text4"), 1, 4);
    header->addWidget(Widget("Label12"), 0, 5, 1, 2);
    header->addWidget(Widget("Text3"), 1, 5);
    header->addWidget(Widget("Text5"), 1, 6);
    for (int k = 0; k < 7; ++k) header->setColumnStretch(k, 1);
    step->addLayout(header);
    // The two grid files side by side, each box as wide as a path usually is.
    auto* files = new QHBoxLayout;
    files->addWidget(Widget("Label15"));
    files->addWidget(Widget("Text6"), 1);
    files->addWidget(Widget("Text7"), 1);
    files->addWidget(Widget(kTestDataLabel));
    step->addLayout(files);
  }

  // The jobs: each button above the boxes that show its files, close together as one list.
  auto jobGroup = [this](const char* frame, const char* heading,
                         std::initializer_list<const char*> jobButtons) {
    auto* group = static_cast<QGroupBox*>(Widget(frame));
    auto* layout = new QVBoxLayout(group);
    layout->setSpacing(kPathBoxSpacing);
    layout->addWidget(Widget(heading));
    for (const char* button : jobButtons) {
      layout->addSpacing(6);
      layout->addWidget(Widget(button));
      for (const JobDialog& dialog : WindowOf(*JobOfButton(button)).dialogs) {
        layout->addWidget(Widget(dialog.pathBox));
      }
    }
    layout->addStretch(1);
    return group;
  };
  auto* jobs = new QBoxLayout(QBoxLayout::LeftToRight);
  jobs->addWidget(jobGroup("Frame1", "Label17", {"Command4", "Command2"}), 1);
  jobs->addWidget(jobGroup("Frame2", "Label18", {"Command5", "Command1"}), 1);

  auto* form = new QVBoxLayout(formWidget);
  form->addLayout(top);
  form->addLayout(step);
  form->addLayout(jobs, 1);
  form->addWidget(status_);
  scrollArea_ = PutInScrollArea(this, formWidget);
  // On a screen narrower than the form (a laptop at 1.5 times scaling) the two groups of jobs
  // stand one above the other: the window then scrolls only down, and opens with its top
  // corner, help and threads, in view.
  if (const QScreen* screen = this->screen()) {
    const int room = screen->availableGeometry().width() - kWindowFrameWidth;
    if (NaturalWindowSize(scrollArea_).width() > room) jobs->setDirection(QBoxLayout::TopToBottom);
  }
  FitToScreen(this, scrollArea_);

  const auto onClick = [this](const char* name, void (DataFileWindow::*handler)()) {
    connect(static_cast<QPushButton*>(Widget(name)), &QPushButton::clicked, this, handler);
  };
  onClick("Command3", &DataFileWindow::Command3_Click);
  onClick("Command4", &DataFileWindow::Command4_Click);
  onClick("Command2", &DataFileWindow::Command2_Click);
  onClick("Command5", &DataFileWindow::Command5_Click);
  onClick("Command1", &DataFileWindow::Command1_Click);
  onClick("Command6", &DataFileWindow::Command6_Click);
}

void DataFileWindow::Form_Load() { logic_.FormLoad(); }

void DataFileWindow::Command3_Click() { logic_.InitialStep(); }
void DataFileWindow::Command4_Click() { StartJob(JobKind::kSflhToSxyz); }
void DataFileWindow::Command2_Click() { StartJob(JobKind::kSxyzToGgrs87); }
void DataFileWindow::Command5_Click() { StartJob(JobKind::kSflhToSenh); }
void DataFileWindow::Command1_Click() { StartJob(JobKind::kSenhToHtrs07); }
void DataFileWindow::Command6_Click() { logic_.Help(); }

// The progress dialog is window-modal, so that no other job starts and no path box changes
// while a job runs. Its value is set on its bar, never through QProgressDialog::setValue, which
// processes events when the dialog is modal and shown: the end of the job could then run, and
// delete the dialog, inside a progress update.
void DataFileWindow::StartJob(JobKind kind) {
  if (worker_) return;  // one job at a time
  std::optional<PreparedJob> job = logic_.ChooseFiles(kind);
  if (!job) return;  // a dialog was cancelled; the status line says so

  const int number = ++job_;
  cancel_ = false;
  auto* dialog = new QProgressDialog(this);
  progress_ = dialog;
  dialog->setObjectName("JobProgress");
  dialog->setWindowTitle(Q(WindowOf(kind).title));
  dialog->setLabelText(Q(ProgressText({0, 0, 0})));
  auto* bar = new QProgressBar;
  bar->setObjectName("JobProgressBar");
  bar->setRange(0, kProgressSteps);
  bar->setValue(0);
  dialog->setBar(bar);
  progressBar_ = bar;
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAutoReset(false);
  dialog->setAutoClose(false);
  QTimer::singleShot(kProgressDelayMs, dialog, [this, dialog] {
    if (progress_ == dialog) dialog->show();
  });
  connect(dialog, &QProgressDialog::canceled, this, [this] {
    cancel_ = true;
    if (progress_) progress_->setLabelText(Q(data_file_texts::kCancelling));
  });

  JobOptions options;
  options.threads = threads_->value();
  options.cancel = &cancel_;
  options.progress = [this, number](const JobProgress& p) {
    QMetaObject::invokeMethod(
        this, [this, number, p] { ShowProgress(number, p); }, Qt::QueuedConnection);
  };
  auto outcome = std::make_shared<JobOutcome>();
  worker_ = QThread::create([runner = runner_, job = std::move(*job), options, outcome] {
    *outcome = runner ? runner(job, options) : job.Run(options);
  });
  connect(worker_, &QThread::finished, this, [this, outcome] { JobEnded(*outcome); });
  worker_->start();
}

// Progress of an earlier job, or after the job's end or its cancel, is not shown.
void DataFileWindow::ShowProgress(int job, const JobProgress& p) {
  if (job != job_ || !progress_ || cancel_) return;
  if (p.bytesTotal > 0 && progressBar_) {
    const double share = static_cast<double>(p.bytesRead) / static_cast<double>(p.bytesTotal);
    progressBar_->setValue(static_cast<int>(std::min(share, 1.0) * kProgressSteps));
  }
  progress_->setLabelText(Q(ProgressText(p)));
}

void DataFileWindow::JobEnded(const JobOutcome& outcome) {
  worker_->wait();
  worker_->deleteLater();
  worker_ = nullptr;
  // Hidden, its own timer that would show it stopped, and deleted once the event loop has left
  // every call that holds it; the messages of the outcome come without it.
  if (QProgressDialog* dialog = progress_) {
    progress_ = nullptr;
    progressBar_ = nullptr;
    disconnect(dialog, nullptr, this, nullptr);
    dialog->cancel();
    dialog->deleteLater();
  }
  // The program is ending: no message waits for the user.
  if (closing_) {
    emit readyToClose();
    return;
  }
  const std::string status = logic_.Finish(outcome);
  emit jobFinished(Q(status));
}

void DataFileWindow::StopAndClose() {
  closing_ = true;
  if (!worker_) {
    emit readyToClose();
    return;
  }
  cancel_ = true;
}

}  // namespace vortan
