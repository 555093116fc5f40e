#include "single_point/ui/single_point_window.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "widgets/logos.h"
#include "widgets/window_frame.h"

namespace vortan {
namespace {

constexpr int kLogoSize = 64;
// The lines the decimal-degree notice takes at most at the window's opening width: a Greek
// and an English sentence for each of the two angles.
constexpr int kNoticeLines = 4;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The widest value each box shows, so that no value is cut off; boxes listed between blanks.
struct Sample {
  const char* text;
  const char* boxes;
};
constexpr Sample kSamples[] = {
    {"-00", " Text8 Text9 Text20 Text21 Text28 Text29 "},
    {"00", " Text33 Text36 Text35 Text39 Text41 Text43 "},
    {"00.00000", " Text34 Text37 Text38 Text40 Text42 Text44 "},
    {"-0000000.000", " Text1 Text2 Text5 Text6 Text7 Text11 Text12 Text22 Text23 Text30 Text31 "},
    {"-00000.000", " Text10 Text18 Text19 Text24 Text32 "},
    {"000000.00000", " Text3 Text4 "},
    {"0.000000", " Text13 "},
    {"-000.0", " Text16 Text17 Text26 Text27 "},
    {"000", " Text14 Text15 "},
    {"-000.000", " Text45 Text46 Text47 Text48 Text49 Text50 "},
    {"-.000000000", " Text51 "},
};

QString SampleOf(std::string_view box) {
  const std::string key = " " + std::string(box) + " ";
  for (const Sample& sample : kSamples) {
    if (std::string_view(sample.boxes).find(key) != std::string_view::npos) {
      return QString::fromLatin1(sample.text);
    }
  }
  return QStringLiteral("-0000000.000");
}

QColor ColourOf(std::uint32_t rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A box whose natural width is its minimum width: the widest value it shows. It grows with the
// window beyond that.
class Box : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  QSize sizeHint() const override {
    QSize size = QLineEdit::sizeHint();
    size.setWidth(minimumWidth());
    return size;
  }
};

QLineEdit* MakeBox(const Control& control) {
  auto* box = new Box(Q(control.text));
  box->setAlignment(Qt::AlignCenter);
  if (control.background != 0) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, ColourOf(control.background));
    box->setPalette(palette);
  }
  KeepLegibleWhenDisabled(box);
  // Wide enough for the initial text and for the widest value, with room for the frame.
  const QFontMetrics metrics(box->font());
  const int text = std::max(metrics.horizontalAdvance(box->text()),
                            metrics.horizontalAdvance(SampleOf(control.name)));
  box->setMinimumWidth(text + 2 * metrics.averageCharWidth() + 6);
  return box;
}

QLabel* MakeLabel(const Control& control) {
  auto* label = new QLabel(Q(control.text));
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLabel* MakePicture(const Control& control) {
  auto* picture = new QLabel;
  picture->setPixmap(control.name == "Image1" ? GlobeLogo(kLogoSize) : SurveyLogo(kLogoSize));
  picture->setFixedSize(kLogoSize, kLogoSize);
  return picture;
}

QFrame* MakeArea() {
  auto* area = new QFrame;
  area->setFrameShape(QFrame::StyledPanel);
  area->setFrameShadow(QFrame::Raised);
  return area;
}

}  // namespace

std::string WidgetBoxes::Text(const std::string& name) const {
  const auto* box = qobject_cast<const QLineEdit*>(controls_.value(QString::fromStdString(name)));
  return box != nullptr ? box->text().toStdString() : std::string();
}

void WidgetBoxes::SetText(const std::string& name, const std::string& text) {
  QWidget* control = controls_.value(QString::fromStdString(name));
  if (auto* label = qobject_cast<QLabel*>(control)) label->setText(QString::fromStdString(text));
  auto* box = qobject_cast<QLineEdit*>(control);
  if (box == nullptr) return;
  box->setText(QString::fromStdString(text));
  box->setCursorPosition(0);
}

void WidgetBoxes::SetEnabled(const std::string& name, bool enabled) {
  QWidget* control = controls_.value(QString::fromStdString(name));
  if (control != nullptr) control->setEnabled(enabled);
}

SinglePointWindow::SinglePointWindow(const RegionProfile& profile, ProgramKind program,
                                     Platform& platform, QWidget* parent)
    : QWidget(parent),
      profile_(profile),
      info_(InfoOf(program)),
      platform_(platform),
      form_(SinglePointControls(profile)),
      boxes_(controls_),
      conversions_(profile, boxes_, platform) {
  CreateForm();
  ConnectHandlers();
  Form_Load();
}

// ---------------------------------------------------------------------------------------------
// The form

void SinglePointWindow::CreateForm() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(Q(info_.caption));
  CreateControls();

  auto* form = new QWidget;
  form->setObjectName(QStringLiteral("Form"));
  auto* layout = new QVBoxLayout(form);
  layout->addWidget(TopArea());
  layout->addWidget(ForwardArea());
  layout->addWidget(BackArea());
  layout->addStretch(1);
  scrollArea_ = PutInScrollArea(this, form);
  FitToScreen(this, scrollArea_);
}

void SinglePointWindow::CreateControls() {
  for (const vortan::Control& control : form_) {
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kLabel:
        widget = MakeLabel(control);
        break;
      case ControlKind::kBox:
        widget = MakeBox(control);
        break;
      case ControlKind::kButton:
        widget = new QPushButton(Q(control.text));
        break;
      case ControlKind::kGroup:
        widget = new QGroupBox(Q(control.text));
        break;
      case ControlKind::kPicture:
        widget = MakePicture(control);
        break;
    }
    widget->setObjectName(Q(control.name));
    if (!control.tip.empty()) widget->setToolTip(Q(control.tip));
    widget->setEnabled(control.enabled);
    controls_.insert(Q(control.name), widget);
  }
  // The area headings stand out.
  for (const char* heading : {"Label17", "Label18"}) {
    QWidget* label = Widget(QString::fromLatin1(heading));
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  if (auto* mark = qobject_cast<QLabel*>(Widget(Q(kTestDataLabel)))) ShowAsWarning(mark);
  for (const char* note : {"Label20", "Label14", "Label3", "Label13"}) {
    static_cast<QLabel*>(Widget(QString::fromLatin1(note)))->setWordWrap(true);
  }
}

namespace {

// Adds the named controls to a layout, skipping those the window lacks.
void AddTo(QBoxLayout* layout, const SinglePointWindow& window,
           std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (QWidget* widget = window.Widget(QString::fromLatin1(name))) layout->addWidget(widget);
  }
}

void AddAt(QGridLayout* grid, const SinglePointWindow& window, const char* name, int row,
           int column, int columnSpan = 1) {
  if (QWidget* widget = window.Widget(QString::fromLatin1(name))) {
    grid->addWidget(widget, row, column, 1, columnSpan);
  }
}

}  // namespace

QWidget* SinglePointWindow::TopArea() {
  QFrame* area = MakeArea();
  auto* grid = new QGridLayout(area);
  grid->addWidget(Widget("Image1"), 0, 0, 2, 1, Qt::AlignTop);

  auto* notes = new QVBoxLayout;
  AddTo(notes, *this, {"Label20", "Label14"});
  grid->addLayout(notes, 0, 1);
  grid->addWidget(Widget("Command4"), 0, 2, Qt::AlignTop | Qt::AlignRight);
  grid->addWidget(Widget("Image2"), 0, 3, 2, 1, Qt::AlignTop);

  // The initial step with what it fills: the grid size and the parameters.
  auto* step = new QHBoxLayout;
  AddTo(step, *this, {"Command3", "Text14", "Text15"});
  step->addSpacing(12);
  auto* parameters = new QGridLayout;
  const char* const translations[][2] = {
      {"Label22", "Text45"}, {"Label23", "Text46"}, {"Label24", "Text47"}};
  const char* const rotations[][2] = {
      {"Label25", "Text48"}, {"Label26", "Text49"}, {"Label27", "Text50"}, {"Label28", "Text51"}};
  for (int k = 0; k < 3; ++k) {
    AddAt(parameters, *this, translations[k][0], 0, 2 * k);
    AddAt(parameters, *this, translations[k][1], 0, 2 * k + 1);
  }
  for (int k = 0; k < 4; ++k) {
    AddAt(parameters, *this, rotations[k][0], 1, 2 * k);
    AddAt(parameters, *this, rotations[k][1], 1, 2 * k + 1);
  }
  step->addLayout(parameters, 1);
  grid->addLayout(step, 1, 1, 1, 2);
  // Under the grid size: the TEST DATA mark of the synthetic grids, and the folder of the grids.
  if (QWidget* folder = Widget(Q(kGridFolderLabel))) {
    static_cast<QLabel*>(folder)->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The note wraps within the window's width rather than widening it.
    static_cast<QLabel*>(folder)->setWordWrap(true);
    auto* grids = new QHBoxLayout;
    AddTo(grids, *this, {"TestData"});
    grids->addWidget(folder, 1);
    grid->addLayout(grids, 2, 1, 1, 2);
  }
  grid->setColumnStretch(1, 1);
  return area;
}

void SinglePointWindow::FillResultGroup(const char* group, const char* const (&angles)[2][3],
                                        const char* const (&right)[2], const char* below) {
  auto* grid = new QGridLayout(static_cast<QGroupBox*>(Widget(QString::fromLatin1(group))));
  for (int row = 0; row < 2; ++row) {
    for (int k = 0; k < 3; ++k) AddAt(grid, *this, angles[row][k], row, k);
    AddAt(grid, *this, right[row], row, 4);
  }
  // The box below the angles fills their width.
  if (Widget(QString::fromLatin1(below)) != nullptr) AddAt(grid, *this, below, 2, 0, 3);
  grid->setColumnMinimumWidth(3, 6);
}

QWidget* SinglePointWindow::ForwardArea() {
  QFrame* area = MakeArea();
  auto* layout = new QVBoxLayout(area);
  layout->addWidget(Widget("Label17"));

  auto* row = new QHBoxLayout;
  auto* input = new QVBoxLayout;
  AddTo(input, *this, {"Label3", "Text5", "Text6", "Text7"});
  input->addStretch(1);
  AddTo(input, *this, {"Command2"});
  Widget("Label3")->setMaximumWidth(Widget("Command2")->sizeHint().width() + 40);
  row->addLayout(input, 2);

  FillResultGroup("Frame1", {{"Text8", "Text33", "Text34"}, {"Text9", "Text36", "Text37"}},
                  {"Text11", "Text12"}, "Text10");
  AddAt(static_cast<QGridLayout*>(Widget("Frame1")->layout()), *this, "Text13", 2, 4);
  row->addWidget(Widget("Frame1"), 4);

  auto* corrections = new QVBoxLayout;
  AddTo(corrections, *this, {"Label5", "Text16", "Text17"});
  corrections->addStretch(1);
  AddTo(corrections, *this, {"Command5"});
  row->addLayout(corrections, 1);

  FillResultGroup("Frame2", {{"Text20", "Text35", "Text38"}, {"Text21", "Text39", "Text40"}},
                  {"Text22", "Text23"}, "Text32");
  row->addWidget(Widget("Frame2"), 4);
  layout->addLayout(row);
  return area;
}

QWidget* SinglePointWindow::BackArea() {
  QFrame* area = MakeArea();
  auto* layout = new QVBoxLayout(area);
  layout->addWidget(Widget("Label18"));
  layout->addWidget(Widget("Label13"));

  auto* row = new QHBoxLayout;
  auto* inputs = new QVBoxLayout;
  auto* enh = new QHBoxLayout(static_cast<QGroupBox*>(Widget("Frame5")));
  AddTo(enh, *this, {"Text1", "Text2", "Text18"});
  auto* flh = new QHBoxLayout(static_cast<QGroupBox*>(Widget("Frame3")));
  AddTo(flh, *this, {"Text3", "Text4", "Text19"});
  inputs->addWidget(Widget("Frame5"));
  inputs->addWidget(Widget("Frame3"));
  row->addLayout(inputs, 3);

  auto* middle = new QVBoxLayout;
  middle->addStretch(1);
  AddTo(middle, *this, {"Command1", "Label19", "Text26", "Text27"});
  middle->addStretch(1);
  row->addLayout(middle, 1);

  FillResultGroup("Frame4", {{"Text28", "Text41", "Text42"}, {"Text29", "Text43", "Text44"}},
                  {"Text30", "Text31"}, "Text24");
  row->addWidget(Widget("Frame4"), 4);
  layout->addLayout(row);

  // Room for the decimal-degree notice of both angles, so that it shows without scrolling.
  auto* notice = static_cast<QLabel*>(Widget(Q(kDegreesNoticeLabel)));
  notice->setWordWrap(true);
  notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
  notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette palette = notice->palette();
  palette.setColor(QPalette::WindowText, QColor(0xA0, 0x30, 0x00));
  notice->setPalette(palette);
  notice->setMinimumHeight(notice->fontMetrics().lineSpacing() * kNoticeLines);
  layout->addWidget(notice);
  return area;
}

// ---------------------------------------------------------------------------------------------
// Handlers

void SinglePointWindow::ConnectHandlers() {
  const struct {
    const char* button;
    void (SinglePointWindow::*handler)();
  } handlers[] = {
      {"Command1", &SinglePointWindow::Command1_Click},
      {"Command2", &SinglePointWindow::Command2_Click},
      {"Command3", &SinglePointWindow::Command3_Click},
      {"Command4", &SinglePointWindow::Command4_Click},
      {"Command5", &SinglePointWindow::Command5_Click},
  };
  for (const auto& h : handlers) {
    auto* button = static_cast<QPushButton*>(Widget(QString::fromLatin1(h.button)));
    connect(button, &QPushButton::clicked, this, h.handler);
  }
  // Return in an input box presses the conversion button of its group, when it can be pressed.
  const struct {
    const char* button;
    std::initializer_list<const char*> boxes;
  } groups[] = {
      {"Command2", {"Text5", "Text6", "Text7"}},
      {"Command5", {"Text10", "Text11", "Text12"}},
      {"Command1", {"Text1", "Text2", "Text18", "Text3", "Text4", "Text19"}},
  };
  for (const auto& group : groups) {
    auto* button = static_cast<QPushButton*>(Widget(QString::fromLatin1(group.button)));
    for (const char* name : group.boxes) {
      auto* box = qobject_cast<QLineEdit*>(Widget(QString::fromLatin1(name)));
      connect(box, &QLineEdit::returnPressed, button, [button] {
        if (button->isEnabled()) button->click();
      });
    }
  }
}

void SinglePointWindow::FocusAtFault(const Outcome& outcome) {
  if (outcome.status == OutcomeStatus::kDone || outcome.box.empty()) return;
  QWidget* control = Widget(Q(outcome.box));
  if (control == nullptr) return;
  control->setFocus(Qt::OtherFocusReason);
  if (auto* box = qobject_cast<QLineEdit*>(control)) box->selectAll();
}

void SinglePointWindow::Form_Load() { ShowStartupNotice(platform_); }

void SinglePointWindow::Command1_Click() { FocusAtFault(conversions_.Command1_Click()); }

void SinglePointWindow::Command2_Click() { FocusAtFault(conversions_.Command2_Click()); }

void SinglePointWindow::Command3_Click() { FocusAtFault(conversions_.Command3_Click()); }

void SinglePointWindow::Command4_Click() { OpenHelp(platform_, info_.helpFileName); }

void SinglePointWindow::Command5_Click() { FocusAtFault(conversions_.Command5_Click()); }


}  // namespace vortan
