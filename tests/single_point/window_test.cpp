// The two single-point windows driven through their controls, offscreen: what the user sees at
// start, the initial step, the conversions, the messages, help, and a layout in which nothing
// overlaps and no value is cut off.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "programs/qt_platform.h"
#include "app/programs.h"
#include "single_point/ui/single_point_window.h"
#include "tests/single_point/scripted_platform.h"
#include "tests/single_point/work_folder.h"
#include "transform/region_profile.h"
#include "widgets/window_frame.h"

using vortan::MessageButtons;
using vortan::MessageIcon;
using vortan::ProgramKind;
using vortan::SinglePointWindow;
using vortan::testing::RecordingPlatform;
using vortan::testing::WorkFolder;

namespace {

const std::filesystem::path kGridDir = VORTAN_GRID_DIR;
constexpr bool kSyntheticGrids = VORTAN_SYNTHETIC_GRIDS != 0;

// One program: its platform and its window, built as the program builds it.
struct Program {
  explicit Program(bool kastelorizo)
      : window(
            kastelorizo ? vortan::kKastelorizoProfile : vortan::kMainlandProfile,
            kastelorizo ? ProgramKind::kSinglePointKastelorizo : ProgramKind::kSinglePointMainland,
            platform) {}

  QLineEdit* Box(const char* name) const {
    return qobject_cast<QLineEdit*>(window.Widget(QString::fromLatin1(name)));
  }
  QPushButton* Button(const char* name) const {
    return qobject_cast<QPushButton*>(window.Widget(QString::fromLatin1(name)));
  }
  QString Text(const char* name) const { return Box(name)->text(); }
  void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }
  // Replaces a box's text by typing, as the user does.
  void Type(const char* box, const QString& text) {
    Box(box)->selectAll();
    QTest::keyClick(Box(box), Qt::Key_Delete);
    QTest::keyClicks(Box(box), text);
  }

  RecordingPlatform platform;
  SinglePointWindow window;
};

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

class SinglePointWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void regions_data() {
    QTest::addColumn<bool>("kastelorizo");
    QTest::newRow("mainland") << false;
    QTest::newRow("kastelorizo") << true;
  }

  void startShowsTheNoticeOnceAndOnlyTheInitialStepAndHelpReact_data() { regions_data(); }
  void startShowsTheNoticeOnceAndOnlyTheInitialStepAndHelpReact() {
    QFETCH(bool, kastelorizo);
    Program p(kastelorizo);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    QCOMPARE(p.platform.messages.size(), 1u);
    const auto& notice = p.platform.messages[0];
    QCOMPARE(QString::fromStdString(notice.title),
             U("HTRS07 <> ΕΓΣΑ87 :  Έλεγχος ρυθμίσεων  -  Setup of Regional Settings"));
    QVERIFY(notice.text.starts_with("Για την ορθή λειτουργία του προγράμματος, ο ΗΥ σας"));
    QVERIFY(notice.text.find(" εφόσον το απαιτούν άλλες εφαρμογές.\r\n\r\nThis software "
                             "requires the dot [.] as decimal symbol") != std::string::npos);
    QVERIFY(
        notice.text.ends_with("the original settings,  for other applications, after "
                              "running this software."));
    QCOMPARE(notice.icon, MessageIcon::kInformation);
    QCOMPARE(notice.buttons, MessageButtons::kOk);

    QVERIFY(p.Button("Command3")->isEnabled());
    QVERIFY(p.Button("Command4")->isEnabled());
    for (const char* button : {"Command1", "Command2", "Command5"}) {
      QVERIFY2(!p.Button(button)->isEnabled(), button);
    }
    // A click on a disabled conversion button does nothing.
    const QString before = p.Text("Text11");
    p.Click("Command2");
    p.Click("Command5");
    QCOMPARE(p.Text("Text11"), before);
    QCOMPARE(p.platform.messages.size(), 1u);
  }

  void captionsTextsHoverTextsAndColours_data() { regions_data(); }
  void captionsTextsHoverTextsAndColours() {
    QFETCH(bool, kastelorizo);
    Program p(kastelorizo);
    QCOMPARE(p.window.objectName(), QStringLiteral("Form1"));
    QCOMPARE(p.window.windowTitle(),
             kastelorizo ? U("Μετασχηματισμός HTRS07 <> ΕΓΣΑ87  / Εισαγωγή συντεταγμένων με "
                             "πληκτρολόγηση /  ver. 1.0 / ΚΑΣΤΕΛΟΡΙΖΟ")
                         : U("Μετασχηματισμός HTRS07 <> ΕΓΣΑ87  / Εισαγωγή συντεταγμένων με "
                             "πληκτρολόγηση /  ver. 1.0"));
    QCOMPARE(p.Button("Command4")->text(), U("ΒΟΗΘΕΙΑ"));
    QCOMPARE(p.Button("Command3")->text(),
             kastelorizo ? U("ΑΡΧΙΚΟ ΒΗΜΑ : Εισαγωγή παραμέτρων >")
                         : U("ΑΡΧΙΚΟ ΒΗΜΑ : Εισαγωγή καννάβων και παραμέτρων >"));
    QCOMPARE(p.Button("Command3")->toolTip(), U("STEP-1 : Needs to be executed FIRST !!!"));
    QCOMPARE(p.Button("Command5")->text(), U("ΤΜ07(E,N,h) σε ΤΜ87(E,N)"));
    QCOMPARE(p.Button("Command2")->text(), U("Μετατροπή και Μετασχ/σμός  >"));
    const auto* label13 = qobject_cast<QLabel*>(p.window.Widget("Label13"));
    QVERIFY(label13 != nullptr);
    QCOMPARE(label13->text(), U("ΔΩΣΕ :  (E,N,h) στο ΕΓΣΑ87,      [ ή (φ,λ,h) έχοντας όμως "
                                "κενά    τα πεδία Ε,Ν ] "));
    QCOMPARE(p.Text("Text22"), U("Ε"));
    QCOMPARE(p.Text("Text32"), U("προσεγ. h (ελλειψοειδές)"));
    QCOMPARE(p.Box("Text24")->toolTip(), U("ελλειψοειδές h=H+N, όπου Ν η αποχή γεωειδούς."));
    QCOMPARE(p.Box("Text8")->toolTip(), U("degrees of latitude"));

    for (const char* box : {"Text1", "Text2", "Text22", "Text23"}) {
      QCOMPARE(p.Box(box)->palette().color(QPalette::Base), QColor(0xC0, 0xFF, 0xFF));
    }
    for (const char* box : {"Text11", "Text12", "Text30", "Text31"}) {
      QCOMPARE(p.Box(box)->palette().color(QPalette::Base), QColor(0xFF, 0xE0, 0xC0));
    }
    const QColor plain = QLineEdit().palette().color(QPalette::Base);
    for (const char* box : {"Text5", "Text3", "Text13", "Text18"}) {
      QCOMPARE(p.Box(box)->palette().color(QPalette::Base), plain);
    }
    for (const char* frame : {"Frame1", "Frame2", "Frame3", "Frame4", "Frame5"}) {
      QVERIFY2(qobject_cast<QGroupBox*>(p.window.Widget(frame)) != nullptr, frame);
    }
    const auto* frame2 = qobject_cast<QGroupBox*>(p.window.Widget("Frame2"));
    const auto* frame3 = qobject_cast<QGroupBox*>(p.window.Widget("Frame3"));
    QCOMPARE(frame3->title(), U("ΕΓΣΑ87 φ,λ [DDMMSS.SSSSS] , h[m]"));

    if (kastelorizo) {
      QCOMPARE(frame2->title(), U("ΕΓΣΑ87 φ,λ και E,N"));
      QCOMPARE(frame2->toolTip(),
               U("φ,λ are box-separated in ° ' '' while  h,E,N are given in meters"));
      QCOMPARE(p.Box("Text3")->toolTip(), U("latidude in DDMMSS.SSSSS"));
      QCOMPARE(p.Text("Text18"), U("0."));
      QCOMPARE(p.Text("Text1"), U("733033.382"));
      QCOMPARE(p.Text("Text5"), U("4483880.358"));
      for (const char* absent :
           {"Text14", "Text15", "Text16", "Text17", "Text26", "Text27", "Text48", "Text49",
            "Text50", "Text51", "Label5", "Label19", "Label25", "Label26", "Label27", "Label28"}) {
        QVERIFY2(p.window.Widget(absent) == nullptr, absent);
        QVERIFY2(p.window.findChild<QWidget*>(absent) == nullptr, absent);
      }
    } else {
      QCOMPARE(frame2->title(), U("ΕΓΣΑ87 φ,λ   και E,N"));
      QCOMPARE(p.Box("Text3")->toolTip(), U("latitude in DDMMSS.SSSSS"));
      QCOMPARE(p.Text("Text18"), U("6.501"));
      QCOMPARE(p.Text("Text3"), U("405444.68271"));
      QCOMPARE(p.Text("Text14"), U("γραμμές"));
      QCOMPARE(p.Box("Text14")->toolTip(), U("πλήθος γραμμών καννάβου"));
    }
  }

  void initialStepFillsAndLocksTheParameterBoxes_data() { regions_data(); }
  void initialStepFillsAndLocksTheParameterBoxes() {
    QFETCH(bool, kastelorizo);
    WorkFolder folder;
    if (!kastelorizo) folder.CopyGrids(kGridDir);
    Program p(kastelorizo);
    p.Click("Command3");
    QCOMPARE(p.platform.messages.size(), 1u);  // the notice alone
    if (kastelorizo) {
      QCOMPARE(p.Text("Text45"), U("-5.020"));
      QCOMPARE(p.Text("Text46"), U("-19.885"));
      QCOMPARE(p.Text("Text47"), U("-12.244"));
    } else {
      const char* boxes[] = {"Text45", "Text46", "Text47", "Text48", "Text49",
                             "Text50", "Text51", "Text14", "Text15"};
      const char* shown[] = {"203.437", "-73.461",     "-243.594", "-.170", "-.060",
                             "-.151",   "-.000000294", "408",      "422"};
      for (int k = 0; k < 9; ++k) {
        QCOMPARE(p.Text(boxes[k]), U(shown[k]));
        QVERIFY2(!p.Box(boxes[k])->isEnabled(), boxes[k]);
      }
    }
    for (const char* box : {"Text45", "Text46", "Text47"}) QVERIFY(!p.Box(box)->isEnabled());
    for (const char* button : {"Command1", "Command2", "Command5"}) {
      QVERIFY2(p.Button(button)->isEnabled(), button);
    }
  }

  // The buttons reach the conversions and the typed texts reach the boxes they read; the
  // values themselves are the business of the conversion tests.
  void conversionsThroughTheButtonsAndTypedInput() {
    WorkFolder folder;
    folder.CopyGrids(kGridDir);
    Program p(false);
    p.Click("Command3");
    p.Click("Command2");
    QCOMPARE(p.Text("Text34"), U("53.90607"));
    QCOMPARE(p.Text("Text11"), U("566446.108"));
    QCOMPARE(p.Text("Text13"), U("0.999654"));
    if (kSyntheticGrids) {
      QCOMPARE(p.Text("Text22"), U("566296.541"));
      QCOMPARE(p.Text("Text23"), U("4529332.314"));
    }

    p.Type("Text5", "0");
    p.Click("Command5");
    QVERIFY(std::fabs(p.Text("Text5").toDouble() - 4382064.771) <= 0.002);

    // Command1 on the phi,lambda,h form, E and N cleared by the user.
    p.Box("Text1")->clear();
    p.Box("Text2")->clear();
    p.Type("Text19", "6.501");
    p.Click("Command1");
    QCOMPARE(p.Text("Text1"), U("566296.541"));
    QCOMPARE(p.Text("Text18"), U("6.501"));
    QVERIFY(p.Text("Text30").toDouble() > 566000);
    QCOMPARE(p.platform.messages.size(), 1u);
  }

  void commaAndOutOfGridMessagesStopTheConversionAndTheWindowGoesOn() {
    WorkFolder folder;
    folder.CopyGrids(kGridDir);
    Program p(false);
    p.Click("Command3");
    p.Type("Text5", "4382064,771");
    p.Click("Command2");
    QCOMPARE(p.platform.messages.size(), 2u);
    const auto& comma = p.platform.messages[1];
    QCOMPARE(QString::fromStdString(comma.title), U("Λάθος Σύμβολο Διαχωρισμού Ψηφίων"));
    QCOMPARE(QString::fromStdString(comma.text),
             U("Ως διαχωριστικό των δεκαδικών ψηφίων πρέπει να χρησιμοποιείται η τελεία [.]"
               "\r\n\r\nThe dot [.] must be used as decimal symbol"));
    QCOMPARE(comma.icon, MessageIcon::kInformation);
    QCOMPARE(comma.buttons, MessageButtons::kOkCancel);
    QCOMPARE(p.Text("Text5"), U("4382064,771"));
    QCOMPARE(p.Text("Text11"), U("E"));

    p.Type("Text11", "10000");
    p.Type("Text12", "2500000");
    p.Click("Command5");
    QCOMPARE(p.platform.messages.size(), 3u);
    const auto& outside = p.platform.messages[2];
    QCOMPARE(QString::fromStdString(outside.title), U("Λανθασμένη Επιλογή Σημείου"));
    QCOMPARE(QString::fromStdString(outside.text), U("Το σημείο είναι εκτός του καννάβου"));
    QCOMPARE(outside.icon, MessageIcon::kInformation);
    QCOMPARE(outside.buttons, MessageButtons::kOkCancel);

    p.Type("Text11", "566446.1O8");  // a letter O among the digits
    p.Click("Command5");
    QCOMPARE(p.platform.messages.size(), 4u);
    QVERIFY(p.platform.messages[3].text.find("E (HTRS07, TM07)") != std::string::npos);
    QVERIFY(p.platform.messages[3].text.find("\"566446.1O8\"") != std::string::npos);

    p.Type("Text5", "4382064.771");
    p.Click("Command2");
    QCOMPARE(p.platform.messages.size(), 4u);
    QCOMPARE(p.Text("Text11"), U("566446.108"));
  }

  void helpOpensThePdfBesideTheProgramOrNamesIt_data() { regions_data(); }
  void helpOpensThePdfBesideTheProgramOrNamesIt() {
    QFETCH(bool, kastelorizo);
    const QString name = kastelorizo ? U("VORTAN_KASTELORIZO_TRANSFORM_Single-Point_V1-0_HELP.pdf")
                                     : U("VORTAN_TRANSFORM_Single-Point_V1-0_HELP.pdf");
    WorkFolder programFolder;
    Program p(kastelorizo);
    p.platform.programFolder = programFolder.path().string();

    p.Click("Command4");
    QCOMPARE(p.platform.messages.size(), 2u);
    QVERIFY(p.platform.opened.empty());
    const auto& missing = p.platform.messages[1];
    QCOMPARE(QString::fromStdString(missing.title), U("Αρχείο Βοήθειας - Help File"));
    QCOMPARE(QString::fromStdString(missing.text),
             U("Δεν είναι δυνατή η εμφάνιση βοηθείας. Το αρχείο βοηθείας ") + name +
                 U(" πρέπει να βρίσκεται στον ίδιο φάκελο (directory) με το λογισμικό.\r\n\r\n"
                   "It was not possible to display the help file. Please make sure that the "
                   "help file: ") +
                 name + U(" is in the same directory with the program."));
    QCOMPARE(missing.buttons, MessageButtons::kOkCancel);

    programFolder.Write(name.toStdString(), "%PDF-1.4\n");
    p.Click("Command4");
    QCOMPARE(p.platform.messages.size(), 2u);
    QCOMPARE(p.platform.opened.size(), 1u);
    QCOMPARE(QString::fromStdString(p.platform.opened[0]),
             QString::fromStdString((programFolder.path() / name.toStdString()).string()));
  }

  // The platform's file filters in Qt's form: the description kept, the patterns in brackets,
  // shown once.
  void qtFilterKeepsTheDescriptionAndListsThePatterns() {
    QCOMPARE(QString::fromStdString(vortan::QtFilterOf("Text files *.txt(*.txt)|*.txt")),
             QStringLiteral("Text files (*.txt)"));
    QCOMPARE(QString::fromStdString(vortan::QtFilterOf("Text files *.grd(*.grd)|*.grd")),
             QStringLiteral("Text files (*.grd)"));
    QCOMPARE(QString::fromStdString(vortan::QtFilterOf("Grids|*.grd;*.GRD|All files|*.*")),
             QStringLiteral("Grids (*.grd *.GRD);;All files (*.*)"));
    QCOMPARE(QString::fromStdString(vortan::QtFilterOf("*.txt")), QStringLiteral("*.txt"));
  }

  // Every control sits in the window, visible, beside the others and not over them, and every
  // box is wide enough for the values the conversions write into it.
  void layoutShowsEveryControlWholeAndApart_data() { regions_data(); }
  void layoutShowsEveryControlWholeAndApart() {
    QFETCH(bool, kastelorizo);
    WorkFolder folder;
    if (!kastelorizo) folder.CopyGrids(kGridDir);
    Program p(kastelorizo);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    p.Click("Command3");
    p.Click("Command2");
    p.Click("Command1");
    // At its natural size the window shows its form whole, without scrolling.
    p.window.resize(vortan::NaturalWindowSize(p.window.scrollArea()));
    QCoreApplication::processEvents();

    const auto controls = vortan::SinglePointControls(kastelorizo ? vortan::kKastelorizoProfile
                                                                  : vortan::kMainlandProfile);
    QList<QPair<QString, QRect>> leaves;
    for (const vortan::Control& control : controls) {
      const QString name = QString::fromUtf8(control.name.data(), control.name.size());
      QWidget* widget = p.window.Widget(name);
      QVERIFY2(widget != nullptr, qPrintable(name));
      QVERIFY2(widget->isVisible(), qPrintable(name));
      const QRect rect(widget->mapTo(&p.window, QPoint(0, 0)), widget->size());
      QVERIFY2(p.window.rect().contains(rect), qPrintable(name));
      if (control.kind == vortan::ControlKind::kGroup) continue;
      for (const auto& [other, otherRect] : leaves) {
        QVERIFY2(!rect.intersects(otherRect), qPrintable(name + " overlaps " + other));
      }
      leaves.append({name, rect});

      if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        const int needed = box->fontMetrics().horizontalAdvance(box->text());
        QVERIFY2(needed < box->width() - 8, qPrintable(name + " cuts off \"" + box->text() + "\""));
      } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(name));
      } else if (auto* label = qobject_cast<QLabel*>(widget); label && !label->wordWrap()) {
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(name));
      }
    }
  }
};

QTEST_MAIN(SinglePointWindowTest)
#include "window_test.moc"
