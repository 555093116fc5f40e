// The single-point window: a box text that is more than a number is refused, naming the box;
// the synthetic test grids are marked as test data; the parameter boxes that the initial step
// disables stay legible. The rules through the GUI-free conversions (a plain map of boxes), what
// the user sees through the window, offscreen.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <string>

#include "app/grid_places.h"
#include "app/programs.h"
#include "single_point/conversions.h"
#include "single_point/form.h"
#include "single_point/ui/single_point_window.h"
#include "tests/single_point/scripted_platform.h"
#include "tests/support/temp_folder.h"
#include "transform/datum.h"
#include "transform/region_profile.h"
#if VORTAN_WITH_SYNTHETIC_TOOL
#include "tools/synthetic_grids.h"
#endif

using vortan::BoxMap;
using vortan::OutcomeStatus;
using vortan::SinglePointConversions;
using vortan::testing::RecordingPlatform;
using vortan::support::WorkFolder;

namespace {

const std::filesystem::path kGridDir = VORTAN_GRID_DIR;
const std::filesystem::path kReferenceGrids =
    std::filesystem::path(VORTAN_TEST_DATA) / "reference" / "grids";

// The conversions of one program on a plain map of boxes, the initial step done in a folder
// that holds the grids.
struct Conversions {
  explicit Conversions(const vortan::RegionProfile& profile) : conversions(profile, boxes, platform) {
    for (const vortan::Control& control : vortan::SinglePointControls(profile)) {
      if (control.kind == vortan::ControlKind::kBox) {
        boxes.SetText(std::string(control.name), std::string(control.text));
      }
    }
  }
  BoxMap boxes;
  RecordingPlatform platform;
  SinglePointConversions conversions;
};

std::string Initial(const vortan::RegionProfile& profile, std::string_view box) {
  return std::string(vortan::FindControl(vortan::SinglePointControls(profile), box)->text);
}

using Click = vortan::Outcome (SinglePointConversions::*)();

}  // namespace

class SinglePointRound4Test : public QObject {
  Q_OBJECT

 private slots:
  // A text that is more than its number is refused in every input box, whatever the button:
  // the message names the box as the window shows it, in Greek and English, nothing is
  // written, the typed text stays, and the good text converts again.
  void aTextThatIsMoreThanANumberIsRefusedNamingTheBox() {
    struct Case {
      Click click;
      const char* box;
      const char* text;
      const char* greek;    // the box as the message names it
      const char* english;
    };
    const Case cases[] = {
        {&SinglePointConversions::Command1_Click, "Text1", "566296.5a1", "E (ΕΓΣΑ87)",
         "E (GGRS87)"},
        {&SinglePointConversions::Command1_Click, "Text2", "4529332.314m", "N (ΕΓΣΑ87)",
         "N (GGRS87)"},
        {&SinglePointConversions::Command1_Click, "Text18", "6.5O1", "h (ΕΓΣΑ87, με E,N)",
         "h (GGRS87, with E,N)"},
        {&SinglePointConversions::Command2_Click, "Text5", "4382064.771x", "X (HTRS07)",
         "X (HTRS07)"},
        {&SinglePointConversions::Command2_Click, "Text6", "2023782.3.19", "Y (HTRS07)",
         "Y (HTRS07)"},
        {&SinglePointConversions::Command2_Click, "Text7", "4155326.131E", "Z (HTRS07)",
         "Z (HTRS07)"},
        {&SinglePointConversions::Command5_Click, "Text10", "-", "h (HTRS07)", "h (HTRS07)"},
        {&SinglePointConversions::Command5_Click, "Text11", "566446.108;", "E (HTRS07, TM07)",
         "E (HTRS07, TM07)"},
    };
    for (const Case& c : cases) {
      WorkFolder folder("round4-typo");
      folder.CopyGrids(kGridDir);
      Conversions p(vortan::kMainlandProfile);
      QCOMPARE(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
      QCOMPARE(p.conversions.Command2_Click().status, OutcomeStatus::kDone);  // fills Text11
      const std::string good = p.boxes.Text(c.box);
      const BoxMap before = p.boxes;
      p.boxes.SetText(c.box, c.text);
      const auto outcome = (p.conversions.*c.click)();
      QCOMPARE(outcome.status, OutcomeStatus::kError);
      QCOMPARE(outcome.box, std::string(c.box));
      QCOMPARE(p.platform.messages.size(), 1u);
      const std::string& shown = p.platform.messages.back().text;
      QVERIFY2(shown.find(std::string("Το πεδίο ") + c.greek + " δεν περιέχει αριθμό: \"" +
                          c.text + "\"") != std::string::npos,
               shown.c_str());
      QVERIFY2(shown.find(std::string("The box ") + c.english) != std::string::npos,
               shown.c_str());
      // Nothing written: every box as before or, for a result, back to its initial text (the
      // window shows no result beside input it has not converted); the typed text stays.
      for (const auto& [name, text] : before.texts) {
        const std::string now = p.boxes.Text(name);
        if (name == c.box) {
          QCOMPARE(now, std::string(c.text));
        } else {
          QVERIFY2(now == text || now == Initial(vortan::kMainlandProfile, name), name.c_str());
        }
      }
      p.boxes.SetText(c.box, good);
      QCOMPARE((p.conversions.*c.click)().status, OutcomeStatus::kDone);
    }
  }

  // What the number reader takes whole converts as before: blanks around and within, a sign,
  // an exponent; an empty height box reads as 0.
  void wholeNumbersBlanksSignsAndExponentsStillConvert() {
    WorkFolder folder("round4-whole");
    folder.CopyGrids(kGridDir);
    Conversions p(vortan::kMainlandProfile);
    QCOMPARE(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
    QCOMPARE(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
    const std::string e = p.boxes.Text("Text30"), n = p.boxes.Text("Text31");
    for (const char* text : {" 566296.541 ", "+566296.541", "5.66296541E5", "566 296.541",
                             "\t566296.541\n"}) {
      p.boxes.SetText("Text1", text);
      QCOMPARE(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
      QCOMPARE(p.boxes.Text("Text30"), e);
      QCOMPARE(p.boxes.Text("Text31"), n);
    }
    p.boxes.SetText("Text1", "566296.541");
    p.boxes.SetText("Text18", "");
    QCOMPARE(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
    QCOMPARE(p.platform.messages.size(), 0u);
    // A box that still shows its caption holds nothing typed: the h of Command5 reads as 0.
    QCOMPARE(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
    p.boxes.SetText("Text10", Initial(vortan::kMainlandProfile, "Text10"));
    QCOMPARE(p.conversions.Command5_Click().status, OutcomeStatus::kDone);
    QCOMPARE(p.platform.messages.size(), 0u);
    // The comma keeps its own message.
    p.boxes.SetText("Text1", "566296,541");
    QCOMPARE(p.conversions.Command1_Click().status, OutcomeStatus::kRefusedComma);
  }

  // The synthetic grids that the build writes are told from measured ones wherever they lie.
  void theSyntheticGridsAreToldFromTheReferenceGrids() {
#if VORTAN_WITH_SYNTHETIC_TOOL
    vortan::support::TempFolder folder("round4-synthetic");
    QVERIFY(vortan::WriteSyntheticGrids(folder.path().string()));
    const std::filesystem::path synthetic = folder.path();
#else
    QSKIP("needs the synthetic grid writer of tools/");
    const std::filesystem::path synthetic;
#endif
    for (const auto& [dir, expected] :
         {std::pair{synthetic, true}, std::pair{kReferenceGrids, false}}) {
      vortan::TransformContext context =
          vortan::MakeContext(vortan::kMainlandProfile, vortan::kSinglePointBounds);
      QCOMPARE(vortan::InitialStep(context, (dir / "dN_2km_V1-0.grd").string(),
                                   (dir / "dE_2km_V1-0.grd").string()),
               std::string());
      QCOMPARE(vortan::AreSyntheticGrids(*context.grids), expected);
    }
  }

  // With the synthetic grids in force the window marks them TEST DATA beside the grid size, in
  // red, and the note of the initial step says so; with measured grids it says nothing.
  void theSyntheticGridsAreMarkedAsTestDataInRed() {
#if VORTAN_WITH_SYNTHETIC_TOOL
    for (const bool synthetic : {true, false}) {
      WorkFolder folder("round4-mark");
      if (synthetic) {
        QVERIFY(vortan::WriteSyntheticGrids(folder.path().string()));
      } else {
        folder.CopyGrids(kReferenceGrids);
      }
      RecordingPlatform platform;
      vortan::SinglePointWindow window(vortan::kMainlandProfile,
                                       vortan::ProgramKind::kSinglePointMainland, platform);
      QTest::mouseClick(window.findChild<QPushButton*>("Command3"), Qt::LeftButton);
      const auto* mark = window.findChild<QLabel*>("TestData");
      const auto* note = window.findChild<QLabel*>("GridFolder");
      QVERIFY(mark != nullptr && note != nullptr);
      QCOMPARE(mark->text(), synthetic ? QStringLiteral("ΔΕΔΟΜΕΝΑ ΔΟΚΙΜΗΣ - TEST DATA") : QString());
      QCOMPARE(note->text().contains("synthetic TEST DATA, not the official ones"), synthetic);
      QCOMPARE(note->text().contains(QStringLiteral("συνθετικά δεδομένα δοκιμής")), synthetic);
      const QColor red = mark->palette().color(QPalette::WindowText);
      QVERIFY(red.red() >= 0xA0 && red.green() < 0x40 && red.blue() < 0x40);
      QCOMPARE(platform.messages.size(), 1u);  // the start-up notice alone
    }
#else
    QSKIP("needs the synthetic grid writer of tools/");
#endif
  }

  // The parameter boxes that the initial step disables keep a dark text, as legible as in the
  // data-file window: not the faint grey of a disabled box.
  void theDisabledParameterBoxesStayLegible() {
    for (const bool kastelorizo : {false, true}) {
      WorkFolder folder("round4-legible");
      folder.CopyGrids(kGridDir);
      RecordingPlatform platform;
      vortan::SinglePointWindow window(
          kastelorizo ? vortan::kKastelorizoProfile : vortan::kMainlandProfile,
          kastelorizo ? vortan::ProgramKind::kSinglePointKastelorizo
                      : vortan::ProgramKind::kSinglePointMainland,
          platform);
      QTest::mouseClick(window.findChild<QPushButton*>("Command3"), Qt::LeftButton);
      for (const char* name : {"Text45", "Text46", "Text47"}) {
        const auto* box = window.findChild<QLineEdit*>(name);
        QVERIFY(box != nullptr);
        QVERIFY(!box->isEnabled());
        QVERIFY(!box->text().isEmpty());
        const QColor text = box->palette().color(QPalette::Disabled, QPalette::Text);
        QVERIFY2(text.lightness() <= 0x50, name);
      }
    }
  }
};

QTEST_MAIN(SinglePointRound4Test)
#include "round4_test.moc"
