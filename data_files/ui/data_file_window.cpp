#include "data_files/ui/data_file_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

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

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Texts of the window that differ between the regions.
struct RegionTexts {
  const char* label20;
  const char* label14;
  const char* command4;
  const char* command2;
  const char* command5;
};

constexpr RegionTexts kMainlandTexts{
    "Έκδοση βασιζόμενη σε ένα  3Δ 7-παραμετρικό  μοντέλο Helmert και σε διορθωτικούς "
    "καννάβους ΔΕ, ΔΝ.",
    "Σημ. Αυτή η έκδοση ΔΕΝ εφαρμόζεται για την περιοχή του Καστελόριζου.",
    "Εάν απαιτείται :       Μετατροπή     (φ,λ,h) σε ( X,Y,Z)",
    "Μετατροπή  (X,Y,Z) σε (φ,λ,h) και Μετ/σμός  σε ΕΓΣΑ87 (φ,λ) και (E,N)",
    "Εάν απαιτείται :       Μετατροπή      (φ,λ,h) σε ( E,N,h)    ",
};

constexpr RegionTexts kKastelorizoTexts{
    "Έκδοση βασιζόμενη σε ένα 3Δ 3-παραμετρικό  μοντέλο Helmert.",
    "Σημ. Αυτή η έκδοση εφαρμόζεται  MONO για την περιοχή του Καστελόριζου.",
    "Εάν απαιτείται :        Μετατροπή   (φ,λ,h)  σε  (X,Y,Z)",
    "Μετατροπή (X,Y,Z) σε (φ,λ,h)  και Μετ/σμός  σε ΕΓΣΑ87 (φ,λ) και (E,N)",
    "Εάν απαιτείται :          Μετατροπή     (φ,λ,h) σε ( E,N,h)",
};

}  // namespace

// The logic's view of the window: boxes and buttons found by their control names. A control
// that the region's window lacks is skipped.
class DataFileWindow::WidgetControls : public DataFileControls {
 public:
  explicit WidgetControls(QWidget* window) : window_(window) {}
  void SetText(std::string_view control, const std::string& text) override {
    if (auto* box = window_->findChild<QLineEdit*>(Q(control))) {
      box->setText(Q(text));
    } else if (auto* label = window_->findChild<QLabel*>(Q(control))) {
      label->setText(Q(text));
    }
  }
  void SetEnabled(std::string_view control, bool enabled) override {
    if (auto* widget = window_->findChild<QWidget*>(Q(control))) widget->setEnabled(enabled);
  }

 private:
  QWidget* window_;
};

DataFileWindow::DataFileWindow(ProgramKind program, const RegionProfile& profile,
                               Platform& platform, QWidget* parent)
    : QWidget(parent),
      controls_(std::make_unique<WidgetControls>(this)),
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

// The whole form in one place: the notes and help at the top, the initial step with the
// parameter and grid boxes, the two groups of jobs side by side, the line under the jobs.
void DataFileWindow::BuildForm() {
  const RegionProfile& profile = logic_.profile();
  const bool grids = profile.hasGrids;
  const RegionTexts& texts = grids ? kMainlandTexts : kKastelorizoTexts;

  setObjectName("Form1");
  setWindowTitle(Q(logic_.program().caption));
  auto* formWidget = new QWidget;
  formWidget->setObjectName("Form");

  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    return l;
  };
  // Boxes that the initial step disables stay legible: their text is dark grey, not faint.
  QPalette legible = palette();
  legible.setColor(QPalette::Disabled, QPalette::Text, QColor(0x45, 0x45, 0x45));
  auto box = [this, &legible](const char* name, const QString& text, const QString& tip,
                              int width) {
    auto* b = new QLineEdit(text, this);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setPalette(legible);
    // At least wide enough for its values; wider with the window.
    if (width > 0) b->setMinimumWidth(width);
    return b;
  };
  auto button = [this](const char* name, const QString& caption, const QString& tip) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setToolTip(tip);
    return b;
  };
  const int number = fontMetrics().horizontalAdvance(QStringLiteral("-.000000294")) + 16;

  // Notes, pictures and help.
  // The two logos of all four programs.
  auto* image1 = label("Image1", QString());
  image1->setPixmap(GlobeLogo(kLogoSize));
  image1->setFixedSize(kLogoSize, kLogoSize);
  auto* image2 = label("Image2", QString());
  image2->setPixmap(SurveyLogo(kLogoSize));
  image2->setFixedSize(kLogoSize, kLogoSize);
  auto* notes = new QVBoxLayout;
  auto* label20 = label("Label20", Q(texts.label20));
  label20->setWordWrap(true);
  auto* label14 = label("Label14", Q(texts.label14));
  label14->setWordWrap(true);
  QFont bold = label14->font();
  bold.setBold(true);
  label14->setFont(bold);
  notes->addWidget(label20);
  notes->addWidget(label14);
  auto* command6 = button("Command6", Q("ΒΟΗΘΕΙΑ"), Q(logic_.program().helpFileName));
  command6->setMinimumHeight(36);
  // The number of threads a job computes on, under help: the line under the jobs keeps the
  // window's whole width for the status.
  threads_ = new QSpinBox(this);
  threads_->setObjectName("Threads");
  threads_->setRange(1, std::max(1, QThread::idealThreadCount()) * 4);
  threads_->setValue(std::max(1, QThread::idealThreadCount()));
  threads_->setToolTip(Q("Νήματα υπολογισμού / Threads a job computes on (default: every core)"));
  auto* threadsLabel = label("ThreadsLabel", Q("Νήματα / Threads:"));
  threadsLabel->setBuddy(threads_);
  auto* threads = new QHBoxLayout;
  threads->addWidget(threadsLabel);
  threads->addWidget(threads_);
  auto* corner = new QVBoxLayout;
  corner->addWidget(command6, 0, Qt::AlignRight);
  corner->addLayout(threads);
  auto* top = new QHBoxLayout;
  top->addWidget(image1);
  top->addLayout(notes, 1);
  top->addWidget(image2);
  top->addSpacing(8);
  top->addLayout(corner);

  // The initial step and what it shows.
  auto* command3 =
      button("Command3", Q(profile.initialStepCaption), Q("STEP-1 : Needs to be executed FIRST !!!"));
  command3->setMinimumHeight(36);
  QFont strong = command3->font();
  strong.setBold(true);
  command3->setFont(strong);
  auto* parameters = new QGridLayout;
  struct Parameter {
    const char* label;
    const char* caption;
    const char* box;
    const char* tip;
  };
  const Parameter kParameters[] = {
      {"Label22", "tx", "Text45", "tx [m]"},           {"Label23", "ty", "Text46", "ty [m]"},
      {"Label24", "tz", "Text47", "tz [m]"},           {"Label25", "εx", "Text48", "εx ['']"},
      {"Label26", "εy", "Text49", "εy ['']"},          {"Label27", "εz", "Text50", "εz ['']"},
      {"Label28", "ds", "Text51", "ds (x 1000000 = ppm)"},
  };
  for (int k = 0; k < profile.shownParameterCount; ++k) {
    const Parameter& p = kParameters[k];
    auto* l = label(p.label, Q(p.caption));
    l->setAlignment(Qt::AlignCenter);
    parameters->addWidget(l, 0, k);
    parameters->addWidget(box(p.box, QString(), Q(p.tip), number), 1, k);
  }
  // Seven columns in both regions, so that the boxes line up with the grid header below and
  // the three boxes of Kastelorizo are as wide as the mainland's seven.
  for (int k = 0; k < 7; ++k) parameters->setColumnStretch(k, 1);
  auto* step = new QVBoxLayout;
  step->addWidget(command3);
  step->addLayout(parameters);

  if (grids) {
    auto* header = new QGridLayout;
    header->setHorizontalSpacing(6);
    const int count = fontMetrics().horizontalAdvance(QStringLiteral("στήλες")) + 16;
    const int coordinate = fontMetrics().horizontalAdvance(QStringLiteral("2660000.")) + 20;
    header->addWidget(label("Label9", Q("γραμμές / στήλες")), 0, 0, 1, 2);
    header->addWidget(box("Text14", Q("γραμμές"), Q("πλήθος γραμμών καννάβου"), count), 1, 0);
    header->addWidget(box("Text15", Q("στήλες"), Q("πλήθος στηλών καννάβου"), count), 1, 1);
    header->addWidget(label("Label10", Q("βήμα [m]")), 0, 2);
    header->addWidget(box("Text1", QString(), Q("βήμα καννάβου [m]"), coordinate), 1, 2);
    header->addWidget(label("Label11", Q("N νότιο / βόρειο [m]")), 0, 3, 1, 2);
    header->addWidget(box("Text2", QString(), Q("TM07 N της νότιας γραμμής (southern row)"),
                          coordinate),
                      1, 3);
    header->addWidget(box("Text4", QString(), Q("TM07 N της βόρειας γραμμής (northern row)"),
                          coordinate),
                      1, 4);
    header->addWidget(label("Label12", Q("E δυτικό / ανατολικό [m]")), 0, 5, 1, 2);
    header->addWidget(box("Text3", QString(), Q("TM07 E της δυτικής στήλης (western column)"),
                          coordinate),
                      1, 5);
    header->addWidget(box("Text5", QString(),
                          Q("TM07 E της ανατολικής στήλης (eastern column)"), coordinate),
                      1, 6);
    for (int k = 0; k < 7; ++k) header->setColumnStretch(k, 1);
    step->addLayout(header);
    // The two grid files side by side, each box as wide as a path usually is.
    auto* files = new QHBoxLayout;
    files->addWidget(label("Label15", Q("Κάνναβοι dN, dE :")));
    files->addWidget(box("Text6", QString(), Q("αρχείο καννάβου dN (N-correction grid)"), 0), 1);
    files->addWidget(box("Text7", QString(), Q("αρχείο καννάβου dE (E-correction grid)"), 0), 1);
    step->addLayout(files);
  }

  // The jobs: each button above the boxes that show its files.
  std::map<std::string, QString> pathTexts;
  for (const PathBoxText& t : InitialPathBoxTexts(profile)) {
    pathTexts[std::string(t.box)] = Q(t.text);
  }
  auto jobGroup = [&](const char* frame, const char* caption, const char* heading,
                      const char* headingText,
                      std::initializer_list<std::pair<QPushButton*, std::vector<const char*>>>
                          jobs) {
    auto* group = new QGroupBox(Q(caption), this);
    group->setObjectName(frame);
    // The path boxes of a job close together under its button, as one list.
    auto* layout = new QVBoxLayout(group);
    layout->setSpacing(kPathBoxSpacing);
    auto* h = label(heading, Q(headingText));
    h->setWordWrap(true);
    layout->addWidget(h);
    for (const auto& [jobButton, boxes] : jobs) {
      jobButton->setMinimumHeight(32);
      jobButton->setMinimumWidth(jobButton->fontMetrics().horizontalAdvance(jobButton->text()) +
                                 48);
      layout->addSpacing(6);
      layout->addWidget(jobButton);
      for (const char* name : boxes) {
        QLineEdit* b = box(name, pathTexts[name], QString(), 0);
        b->setReadOnly(true);
        layout->addWidget(b);
      }
    }
    layout->addStretch(1);
    return group;
  };
  auto* command4 = button("Command4", Q(texts.command4), Q("STEP 2 (if needed)"));
  auto* command2 = button("Command2", Q(texts.command2), Q("STEP 3"));
  auto* command5 = button("Command5", Q(texts.command5), Q("STEP 4 (if needed)"));
  auto* command1 = button("Command1",
                          Q("Μετατροπή (E,N,h) σε (φ,λ,h)  και Μετ/σμός σε HTRS07 (φ,λ) και (E,N)"),
                          Q("STEP 5"));
  QGroupBox* frame1 =
      jobGroup("Frame1", "HTRS07 (φ,λ,h) or (X,Y,Z) > HTRS07 (E,N,scale) > ΕΓΣΑ87 (φ,λ) and (E,N)",
               "Label17", "Μετασχηματισμός από HTRS07 (VORTAN ETRF2005/2007.5)  σε  ΕΓΣΑ87 ",
               {{command4, {"Text8", "Text9"}},
                {command2, {"Text10", "Text11", "Text12", "Text13", "Text16"}}});
  QGroupBox* frame2 =
      jobGroup("Frame2", "ΕΓΣΑ87 (E,N,h) <> ΕΓΣΑ87 (φ,λ,h)   > HTRS07 (φ,λ) and (E,N)", "Label18",
               "Μετασχηματισμός από   ΕΓΣΑ87  σε  HTRS07",
               {{command5, {"Text21", "Text22"}},
                {command1, {"Text17", "Text18", "Text19", "Text20"}}});
  auto* jobs = new QHBoxLayout;
  jobs->addWidget(frame1, 1);
  jobs->addWidget(frame2, 1);

  // The line under the jobs, in a panel with room for the longest status the window writes
  // (a stop with the lines of every output, an error with its reason), so that it shows whole
  // without scrolling at the window's opening size.
  status_ = label(data_file_texts::kStatusLine.data(), Q(data_file_texts::kStatusIdle));
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setMargin(kStatusMargin);
  status_->setMinimumHeight(fontMetrics().lineSpacing() * kStatusLines + 2 * kStatusMargin +
                            2 * status_->frameWidth());

  auto* form = new QVBoxLayout(formWidget);
  form->addLayout(top);
  form->addLayout(step);
  form->addLayout(jobs, 1);
  form->addWidget(status_);
  scrollArea_ = PutInScrollArea(this, formWidget);
  FitToScreen(this, scrollArea_);

  connect(command3, &QPushButton::clicked, this, &DataFileWindow::Command3_Click);
  connect(command4, &QPushButton::clicked, this, &DataFileWindow::Command4_Click);
  connect(command2, &QPushButton::clicked, this, &DataFileWindow::Command2_Click);
  connect(command5, &QPushButton::clicked, this, &DataFileWindow::Command5_Click);
  connect(command1, &QPushButton::clicked, this, &DataFileWindow::Command1_Click);
  connect(command6, &QPushButton::clicked, this, &DataFileWindow::Command6_Click);
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
