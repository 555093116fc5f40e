// The two single-point windows driven through their controls, offscreen: what the user sees at
// start, the initial step, the conversions, the messages, help, and a layout in which nothing
// overlaps and no value is cut off.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "programs/qt_platform.h"
#include "app/programs.h"
#include "single_point/ui/single_point_window.h"
#include "tests/single_point/scripted_platform.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_fit.h"
#include "transform/region_profile.h"
#include "widgets/logos.h"
#include "widgets/window_frame.h"

using vortan::MessageButtons;
using vortan::MessageIcon;
using vortan::ProgramKind;
using vortan::SinglePointWindow;
using vortan::testing::RecordingPlatform;
using vortan::support::WorkFolder;

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
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), text.size()); }

void CopyGrids(const std::filesystem::path& to) {
  std::filesystem::create_directories(to);
  for (const char* name : {"dN_2km_V1-0.grd", "dE_2km_V1-0.grd"}) {
    std::filesystem::copy_file(kGridDir / name, to / name);
  }
}

void WriteText(const QString& path, const char* text) {
  std::ofstream(path.toStdString(), std::ios::binary) << text;
}

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

  // The mainland program looks for its grids in the current folder, then beside the program,
  // then in the installed grid folder; without them the message lists every folder.
  void initialStepFindsTheGridsWhereverTheProgramLooks_data() {
    QTest::addColumn<QStringList>("holders");  // folders that hold the grids
    QTest::addColumn<QString>("used");         // the folder the grids come from, "" none
    QTest::newRow("current folder") << QStringList{"current"} << "current";
    QTest::newRow("beside the program") << QStringList{"program"} << "program";
    QTest::newRow("installed") << QStringList{"installed"} << "installed";
    QTest::newRow("current first") << QStringList{"installed", "current"} << "current";
    QTest::newRow("nowhere") << QStringList{} << "";
  }
  void initialStepFindsTheGridsWhereverTheProgramLooks() {
    QFETCH(QStringList, holders);
    QFETCH(QString, used);
    WorkFolder current;
    QTemporaryDir root;
    const std::filesystem::path prefix = root.path().toStdString();
    const std::map<QString, std::filesystem::path> folders = {
        {"current", current.path()},
        {"program", prefix / "lib" / "vortan-transform"},
        {"installed", prefix / "share" / "vortan-transform" / "example-grids"},
    };
    std::filesystem::create_directories(folders.at("program"));
    for (const QString& holder : holders) {
      if (holder == "current") {
        current.CopyGrids(kGridDir);
      } else {
        CopyGrids(folders.at(holder));
      }
    }
    Program p(false);
    p.platform.programFolder = folders.at("program").string();
    p.Click("Command3");
    const auto* note = qobject_cast<QLabel*>(p.window.Widget("GridFolder"));
    QVERIFY(note != nullptr);
    if (!used.isEmpty()) {
      QCOMPARE(p.platform.messages.size(), 1u);
      QCOMPARE(p.Text("Text14"), U("408"));
      QVERIFY(p.Button("Command2")->isEnabled());
      // The folder on the first line; the synthetic grids are said to be test data after it.
      QCOMPARE(note->text().section(QLatin1Char('\n'), 0, 0),
               U("Κάνναβοι από / Grids from: ") + QString::fromStdString(folders.at(used).string()));
      return;
    }
    QCOMPARE(p.platform.messages.size(), 2u);
    const auto& m = p.platform.messages[1];
    QCOMPARE(QString::fromStdString(m.title), U("Αρχείο Καννάβου - Grid File"));
    for (const auto& [what, english] :
         {std::pair{"current", " (current folder)"}, {"program", " (the program's folder)"},
          {"installed", " (the installation's grid folder)"}}) {
      const std::string line = "\r\n- " + folders.at(what).string() + english;
      QVERIFY2(m.text.find(line) != std::string::npos, m.text.c_str());
    }
    QVERIFY(m.text.find("the installation's grid folder for every user") != std::string::npos);
    QVERIFY(m.text.find("choose another") == std::string::npos);
    QVERIFY(!p.Button("Command2")->isEnabled());
    QCOMPARE(p.Text("Text14"), U("γραμμές"));
    QCOMPARE(note->text(), QString());
  }

  // A PDF that is there but that the system cannot open is reported with its full path, by the
  // scripted platform and by Qt's through an xdg-open that finds no viewer.
  void helpSaysWhenNoViewerOpensThePdf() {
    WorkFolder folder;
    const std::string name = "VORTAN_TRANSFORM_Single-Point_V1-0_HELP.pdf";
    folder.Write(name, "%PDF-1.4\n");
    const std::string pdf = (folder.path() / name).string();
    Program p(false);
    p.platform.programFolder = folder.path().string();
    p.platform.viewer = false;
    p.Click("Command4");
    QCOMPARE(p.platform.messages.size(), 2u);
    QCOMPARE(QString::fromStdString(p.platform.messages[1].title), U("Αρχείο Βοήθειας - Help File"));
    QCOMPARE(p.platform.messages[1].text, vortan::texts::HelpCannotOpenText(pdf));
    QVERIFY(p.platform.messages[1].text.find("The help file " + pdf + " is there") !=
            std::string::npos);

    const QByteArray path = qgetenv("PATH");
    for (const auto& [exit, reported] : {std::pair{3, true}, {0, false}}) {
      folder.Write("xdg-open", "#!/bin/sh\nexit " + std::to_string(exit) + "\n");
      std::filesystem::permissions(folder.path() / "xdg-open",
                                   std::filesystem::perms::owner_all);
      qputenv("PATH", QByteArray::fromStdString(folder.path().string()) + ":" + path);
      vortan::QtPlatform qt;
      bool cannotOpen = false;
      qt.OpenDocument(pdf, [&] { cannotOpen = true; });
      QTest::qWait(300);
      QTRY_COMPARE(cannotOpen, reported);
    }
    qputenv("PATH", path);
  }

  // Qt's dialog starts in the request's folder with the preset name, offers "All files (*)"
  // beside the request's filter, and shows its places ("Υπολογιστής / Computer") and the name,
  // size, type and date of each file whole.
  void qtDialogStartsInItsFolderWithBothFiltersAndReadableColumns() {
    if (QGuiApplication::primaryScreen()->size() != QSize(1366, 768)) {
      QSKIP("needs the 1366 x 768 screen of the single_point_file_dialog_1366x768 test");
    }
    vortan::InstallGreekTexts(*QCoreApplication::instance());
    QTemporaryDir dir;
    WriteText(dir.filePath("HTRS07-KAST-SENk-survey-2024.txt"), "P1,1,2,3\r\n");
    vortan::QtPlatform qt;
    QString folder, preset;
    QStringList filters;
    QList<QPair<int, int>> columns;  // shown width, needed width
    QList<QPair<QString, int>> places;  // entry, what it lacks of its width
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      folder = dialog->directory().absolutePath();
      filters = dialog->nameFilters();
      preset = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
      auto* view = dialog->findChild<QTreeView*>("treeView");
      QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) > 0);
      QTest::qWait(50);
      for (int c = 0; c < 4; ++c) {
        // The header text, and the first file's text with room for the icon of the name.
        const QString cell =
            view->model()->index(0, c, view->rootIndex()).data().toString();
        const int content = view->fontMetrics().horizontalAdvance(cell) +
                            (c == 0 ? view->iconSize().width() + 4 : 0);
        columns.append({view->header()->sectionSize(c),
                        std::max(content, view->header()->sectionSizeHint(c))});
      }
      auto* sidebar = dialog->findChild<QListView*>("sidebar");
      for (int row = 0; row < sidebar->model()->rowCount(); ++row) {
        const QModelIndex entry = sidebar->model()->index(row, 0);
        const QString text = entry.data().toString();
        const int needed = sidebar->iconSize().width() + 8 + sidebar->fontMetrics().horizontalAdvance(text);
        places.append({text, needed - sidebar->visualRect(entry).width()});
      }
      dialog->reject();
    });
    const auto chosen = qt.OpenFileDialog({"Input GGRS87 (E,N,h) coordinate file",
                                           "Text files *.txt(*.txt)|*.txt", "GGRS87-SENh.txt",
                                           dir.path().toStdString(), {}});
    QVERIFY(!chosen);
    QCOMPARE(folder, QDir(dir.path()).absolutePath());
    QCOMPARE(preset, QStringLiteral("GGRS87-SENh.txt"));
    QCOMPARE(filters, (QStringList{"Text files (*.txt)", "All files (*)"}));
    QVERIFY(!places.isEmpty() && places.front().first == U("Υπολογιστής / Computer"));
    for (const auto& [text, lacking] : places) {
      QVERIFY2(lacking <= 0, qPrintable(QString("%1 lacks %2 pixels").arg(text).arg(lacking)));
    }
    QCOMPARE(columns.size(), 4);
    for (int c = 0; c < 4; ++c) {
      QVERIFY2(columns[c].first >= columns[c].second,
               qPrintable(QString("column %1: %2 < %3").arg(c).arg(columns[c].first)
                              .arg(columns[c].second)));
    }
  }

  // A refused path keeps Qt's save dialog open with the reason, before any replace question.
  void qtSaveDialogRefusesBeforeItAsksToReplace() {
    QTemporaryDir dir;
    WriteText(dir.filePath("in.txt"), "P1,1,2,3\r\n");
    vortan::QtPlatform qt;
    QStringList seen;
    vortan::FileDialogRequest request{"Output", "Text files *.txt(*.txt)|*.txt", "out.txt",
                                      dir.path().toStdString(), {}};
    request.refuse = [&](const std::string& path) -> std::optional<vortan::Refusal> {
      if (path != dir.filePath("in.txt").toStdString()) return std::nullopt;
      return vortan::Refusal{"Αρχείο εξόδου - Output file", "is the input"};
    };
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      auto* save = dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Save);
      QTimer::singleShot(50, [&] {
        QWidget* box = QApplication::activeModalWidget();
        seen << box->objectName();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        QTimer::singleShot(50, [&, dialog] {
          seen << (QApplication::activeModalWidget() == dialog ? "dialog open" : "closed");
          dialog->reject();
        });
      });
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText("in.txt");
      save->click();
    });
    QVERIFY(!qt.SaveFileDialog(request));
    QCOMPARE(seen, (QStringList{"RefusalMessage", "dialog open"}));
  }

  // The window opens within its screen; smaller than its form it scrolls, larger it gives the
  // width to the boxes.
  void theWindowFitsItsScreenAndItsBoxesGrowWithIt_data() { regions_data(); }
  void theWindowFitsItsScreenAndItsBoxesGrowWithIt() {
    QFETCH(bool, kastelorizo);
    Program p(kastelorizo);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    vortan::support::VerifyFitsScrollsAndGrows(p.window, p.window.scrollArea(),
                                               {p.Box("Text5"), p.Box("Text34")},
                                               kastelorizo ? "kastelorizo" : "mainland");
  }

  // Return in an input box runs its group's conversion; after a refusal the box at fault has
  // the focus, whether Return or the button started the conversion.
  void returnConvertsAndARefusalFocusesTheBoxAtFault_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");  // the button clicked, "" for Return in the box
    QTest::addColumn<QString>("title");   // of the message, "" for none
    QTest::addColumn<QString>("focus");   // the box with the focus afterwards
    QTest::newRow("Return converts X,Y,Z") << "Text6" << "2023782.319" << "" << "" << "Text6";
    QTest::newRow("Return, comma in h") << "Text19" << "6,5" << ""
                                        << U("Λάθος Σύμβολο Διαχωρισμού Ψηφίων") << "Text19";
    QTest::newRow("comma in Y") << "Text6" << "2023782,319" << "Command2"
                                << U("Λάθος Σύμβολο Διαχωρισμού Ψηφίων") << "Text6";
    QTest::newRow("letters in TM07 N") << "Text12" << "abc" << "Command5"
                                       << U("Λάθος Αριθμός - Invalid Number") << "Text12";
    QTest::newRow("TM07 E outside") << "Text11" << "10000" << "Command5"
                                    << U("Λανθασμένη Επιλογή Σημείου") << "Text11";
    QTest::newRow("TM07 N outside") << "Text12" << "2900000" << "Command5"
                                    << U("Λανθασμένη Επιλογή Σημείου") << "Text12";
    QTest::newRow("X outside") << "Text5" << "0" << "Command2" << U("Λανθασμένη Επιλογή Σημείου")
                               << "Text5";
    QTest::newRow("GGRS87 N outside") << "Text2" << "10000" << "Command1"
                                      << U("Λανθασμένη Επιλογή Σημείου") << "Text1";
  }
  void returnConvertsAndARefusalFocusesTheBoxAtFault() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QString, focus);
    WorkFolder folder;
    folder.CopyGrids(kGridDir);
    Program p(false);
    p.window.show();
    QApplication::setActiveWindow(&p.window);
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    p.Click("Command3");
    p.Click("Command2");  // TM07 E, N in the boxes that Command5 reads
    if (title.isEmpty()) p.Box("Text11")->clear();  // the conversion on Return writes it again
    if (box == "Text19") {
      p.Box("Text1")->clear();
      p.Box("Text2")->clear();
    }
    const QByteArray name = box.toLatin1();
    p.Type(name.constData(), text);
    if (button.isEmpty()) {
      p.Box(name.constData())->setFocus();
      QTest::keyClick(p.Box(name.constData()), Qt::Key_Return);
    } else {
      p.Click(button.toLatin1().constData());
    }
    if (title.isEmpty()) {
      QCOMPARE(p.platform.messages.size(), 1u);
      QCOMPARE(p.Text("Text11"), U("566446.108"));
    } else {
      QCOMPARE(p.platform.messages.size(), 2u);
      QCOMPARE(QString::fromStdString(p.platform.messages[1].title), title);
    }
    QCOMPARE(QApplication::focusWidget(), p.window.Widget(focus));
  }

  // A decimal-degree value in a packed box: the out-of-grid message says how it is written.
  void outOfGridAfterDecimalDegreesSaysHowToWriteThem_data() {
    QTest::addColumn<QString>("phi");
    QTest::addColumn<QString>("lambda");
    QTest::addColumn<QStringList>("hints");  // the English lines that follow the message
    QTest::newRow("both") << "37.5" << "23.72"
                          << QStringList{"if 37.50000 is in decimal degrees, type 373000.00000.",
                                         "if 23.72000 is in decimal degrees, type 234312.00000."};
    QTest::newRow("longitude only")
        << "405444.68271" << "23.72"
        << QStringList{"if 23.72000 is in decimal degrees, type 234312.00000."};
    QTest::newRow("seconds round to a whole degree")
        << "37.5" << "23.9999999999"
        << QStringList{"if 37.50000 is in decimal degrees, type 373000.00000.",
                       "if 24.00000 is in decimal degrees, type 240000.00000."};
    QTest::newRow("empty boxes") << "" << "" << QStringList{};
    QTest::newRow("packed, far north") << "500000" << "244714.08889" << QStringList{};
  }
  void outOfGridAfterDecimalDegreesSaysHowToWriteThem() {
    QFETCH(QString, phi);
    QFETCH(QString, lambda);
    QFETCH(QStringList, hints);
    WorkFolder folder;
    folder.CopyGrids(kGridDir);
    Program p(false);
    p.Click("Command3");
    p.Box("Text1")->clear();
    p.Box("Text2")->clear();
    p.Type("Text3", phi);
    p.Type("Text4", lambda);
    p.Click("Command1");
    QCOMPARE(p.platform.messages.size(), 2u);
    const QString text = QString::fromStdString(p.platform.messages[1].text);
    QCOMPARE(QString::fromStdString(p.platform.messages[1].title), U("Λανθασμένη Επιλογή Σημείου"));
    const QStringList paragraphs = text.split("\r\n\r\n");
    QCOMPARE(paragraphs.front(), U("Το σημείο είναι εκτός του καννάβου"));
    QCOMPARE(paragraphs.size(), 1 + 2 * hints.size());
    for (qsizetype k = 0; k < hints.size(); ++k) {
      QVERIFY2(paragraphs[2 + 2 * k].startsWith("The box "), qPrintable(text));
      QVERIFY2(paragraphs[2 + 2 * k].endsWith(hints[k]), qPrintable(text));
      QVERIFY2(paragraphs[1 + 2 * k].contains(U("δέχεται μοίρες, λεπτά και δεύτερα ως "
                                                "DDMMSS.SSSSS")),
               qPrintable(text));
    }
  }

  // The round: φ, λ typed as decimal degrees with E, N empty stops outside the grid;
  // the boxes keep what was typed, so Return after correcting φ, λ converts them, not E, N.
  void aRefusedConversionKeepsWhatTheUserTyped() {
    WorkFolder folder;
    folder.CopyGrids(kGridDir);
    Program p(false);
    p.Click("Command3");
    p.Box("Text1")->clear();
    p.Box("Text2")->clear();
    p.Type("Text3", "40.91497");
    p.Type("Text4", "24.78858");
    QTest::keyClick(p.Box("Text4"), Qt::Key_Return);
    QCOMPARE(p.platform.messages.size(), 2u);
    QCOMPARE(QString::fromStdString(p.platform.messages[1].title), U("Λανθασμένη Επιλογή Σημείου"));
    QCOMPARE(p.Text("Text1"), QString());
    QCOMPARE(p.Text("Text2"), QString());
    QCOMPARE(p.Text("Text18"), U("6.501"));
    QCOMPARE(p.Text("Text3"), U("40.91497"));

    p.Type("Text3", "405444.68271");
    p.Type("Text4", "244714.08889");
    QTest::keyClick(p.Box("Text4"), Qt::Key_Return);
    QCOMPARE(p.platform.messages.size(), 2u);
    QCOMPARE(p.Text("Text3"), U("405444.68271"));
    QCOMPARE(p.Text("Text4"), U("244714.08889"));
    QCOMPARE(p.Text("Text1"), U("566296.541"));
    QCOMPARE(p.Text("Text2"), U("4529332.314"));
  }

  // Decimal degrees in the packed boxes get a notice beside the results in both regions: on
  // Kastelorizo the point converts (near 0°, 0°), on the mainland it lies outside the grid.
  void decimalDegreesGetANoticeBesideTheResults_data() { regions_data(); }
  void decimalDegreesGetANoticeBesideTheResults() {
    QFETCH(bool, kastelorizo);
    WorkFolder folder;
    if (!kastelorizo) folder.CopyGrids(kGridDir);
    Program p(kastelorizo);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    const QSize opened = p.window.size();
    p.Click("Command3");
    p.Box("Text1")->clear();
    p.Box("Text2")->clear();
    p.Type("Text3", "36.14764");
    p.Type("Text4", "29.59016");
    p.Click("Command1");
    QCOMPARE(p.platform.messages.size(), kastelorizo ? 1u : 2u);
    if (kastelorizo) QCOMPARE(p.Text("Text28"), U("00"));
    auto* notice = qobject_cast<QLabel*>(p.window.Widget(Q(vortan::kDegreesNoticeLabel)));
    QVERIFY(notice && notice->isVisible());
    const QStringList lines = notice->text().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].contains(U("γράψτε 360851.50400")) && lines[0].contains(U("γράψτε 293524.57600")),
             qPrintable(notice->text()));
    QVERIFY2(lines[1].endsWith("if 29.59016 is in decimal degrees, type 293524.57600."),
             qPrintable(notice->text()));
    // Shown whole at the opening size, without scrolling.
    QCoreApplication::processEvents();
    QCOMPARE(p.window.size(), opened);
    QVERIFY(!p.window.scrollArea()->verticalScrollBar()->isVisible());
    QVERIFY(notice->height() >= notice->heightForWidth(notice->width()));

    p.Type("Text3", "360851.50400");
    p.Type("Text4", "293524.57600");
    p.Click("Command1");
    QCOMPARE(notice->text(), QString());
  }

  // After the TM07 conversion the scale box shows the new point's scale factor, here on the
  // central meridian: 0.999600 on the mainland, 1.000000 on Kastelorizo.
  void theTm07ConversionShowsTheScaleOfItsOwnPoint_data() { regions_data(); }
  void theTm07ConversionShowsTheScaleOfItsOwnPoint() {
    QFETCH(bool, kastelorizo);
    WorkFolder folder;
    if (!kastelorizo) folder.CopyGrids(kGridDir);
    Program p(kastelorizo);
    p.Click("Command3");
    p.Click("Command2");
    QCOMPARE(p.Text("Text13"), kastelorizo ? U("1.000017") : U("0.999654"));
    p.Type("Text11", "500000");
    QTest::keyClick(p.Box("Text11"), Qt::Key_Return);
    QCOMPARE(p.platform.messages.size(), 1u);
    QCOMPARE(p.Text("Text13"), kastelorizo ? U("1.000000") : U("0.999600"));
  }

  void bothRegionsShowTheLogosOfAllFourProgramsAndTheProgramIcon_data() { regions_data(); }
  void bothRegionsShowTheLogosOfAllFourProgramsAndTheProgramIcon() {
    QFETCH(bool, kastelorizo);
    Program p(kastelorizo);
    QCOMPARE(qobject_cast<QLabel*>(p.window.Widget("Image1"))->pixmap().toImage(),
             vortan::GlobeLogo(64).toImage());
    QCOMPARE(qobject_cast<QLabel*>(p.window.Widget("Image2"))->pixmap().toImage(),
             vortan::SurveyLogo(64).toImage());
    QVERIFY(!p.window.windowIcon().isNull());
  }
};

QTEST_MAIN(SinglePointWindowTest)
#include "window_test.moc"
