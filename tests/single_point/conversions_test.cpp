// The single-point conversions on box texts, without a window: the initial step, the three
// conversion buttons against reference values and reference files of an independent
// implementation, and every refusal and stop with its message.
#include "single_point/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/cartesian.h"
#include "core/geodetic_params.h"
#include "app/programs.h"
#include "single_point/form.h"
#include "tests/single_point/scripted_platform.h"
#include "tests/support/temp_folder.h"
#include "transform/region_profile.h"

namespace vortan {
namespace {

using testing::RecordingPlatform;
using support::WorkFolder;

const std::filesystem::path kReference = std::filesystem::path(VORTAN_TEST_DATA) / "reference";
const std::filesystem::path kGridDir = VORTAN_GRID_DIR;
constexpr bool kSyntheticGrids = VORTAN_SYNTHETIC_GRIDS != 0;

// One program's conversions on boxes holding the window's initial texts, in a work folder.
struct Program {
  explicit Program(const RegionProfile& profile) : conversions(profile, boxes, platform) {
    for (const Control& control : SinglePointControls(profile)) {
      boxes.texts[std::string(control.name)] = std::string(control.text);
      boxes.enabled[std::string(control.name)] = control.enabled;
    }
  }
  std::string operator[](const std::string& box) const { return boxes.Text(box); }

  BoxMap boxes;
  RecordingPlatform platform;
  SinglePointConversions conversions;
};

// Records of a reference file: the id, then the numeric fields. Ids may be quoted and hold
// commas in the inputs, and are written without quotes in the outputs, so the numbers are
// taken from the end of the line.
struct Record {
  std::string id;
  std::vector<std::string> values;
};
std::vector<Record> ReadRecords(const std::filesystem::path& path, std::size_t valueCount) {
  std::vector<Record> records;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Record record;
    std::size_t end = line.size();
    for (std::size_t k = 0; k < valueCount; ++k) {
      const std::size_t comma = line.rfind(',', end - 1);
      record.values.insert(record.values.begin(), line.substr(comma + 1, end - comma - 1));
      end = comma;
    }
    record.id = line.substr(0, end);
    records.push_back(record);
  }
  return records;
}

// The three boxes of a packed DDMMSS.SSSSS text as the window shows them: degrees and minutes
// with two digits, seconds with five decimals and no leading zero.
struct DmsTexts {
  std::string degrees, minutes, seconds;
};
DmsTexts SplitPacked(const std::string& packed) {
  const std::size_t point = packed.find('.');
  const std::string whole = packed.substr(0, point);
  DmsTexts dms{whole.substr(0, whole.size() - 4), whole.substr(whole.size() - 4, 2),
               whole.substr(whole.size() - 2) + packed.substr(point)};
  if (dms.degrees.size() < 2) dms.degrees.insert(0, 2 - dms.degrees.size(), '0');
  while (!dms.seconds.empty() && dms.seconds.front() == '0') dms.seconds.erase(0, 1);
  return dms;
}

void ExpectDms(const Program& program, const char* d, const char* m, const char* s,
               const std::string& packed, const std::string& where) {
  const DmsTexts expected = SplitPacked(packed);
  EXPECT_EQ(program[d], expected.degrees) << where;
  EXPECT_EQ(program[m], expected.minutes) << where;
  EXPECT_EQ(program[s], expected.seconds) << where;
}

double Number(const std::string& text) { return std::stod(text); }

// ---------------------------------------------------------------------------------------------
// The initial step

TEST(InitialStep, MainlandShowsTheSevenParametersAndTheGridSizeAndEnablesTheConversions) {
  WorkFolder folder;
  folder.CopyGrids(kGridDir);
  Program p(kMainlandProfile);
  const Outcome outcome = p.conversions.Command3_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kDone);
  EXPECT_TRUE(p.platform.messages.empty());

  const char* boxes[] = {"Text45", "Text46", "Text47", "Text48", "Text49", "Text50", "Text51"};
  const char* shown[] = {"203.437", "-73.461", "-243.594",   "-.170",
                         "-.060",   "-.151",   "-.000000294"};
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(p[boxes[k]], shown[k]) << boxes[k];
    EXPECT_FALSE(p.boxes.Enabled(boxes[k])) << boxes[k];
  }
  EXPECT_EQ(p["Text14"], "408");
  EXPECT_EQ(p["Text15"], "422");
  EXPECT_FALSE(p.boxes.Enabled("Text14"));
  EXPECT_FALSE(p.boxes.Enabled("Text15"));
  for (const char* button : {"Command1", "Command2", "Command5"}) {
    EXPECT_TRUE(p.boxes.Enabled(button)) << button;
  }
}

TEST(InitialStep, GridCountsBelowOneHundredShowThreeDigits) {
  WorkFolder folder;
  const std::string header = "3\n2\n2000\n3846000\n42000\n";
  folder.Write("dN_2km_V1-0.grd", header + "1 2\n3 4\n5 6\n");
  folder.Write("dE_2km_V1-0.grd", header + "6 5\n4 3\n2 1\n");
  Program p(kMainlandProfile);
  EXPECT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text14"], "003");
  EXPECT_EQ(p["Text15"], "002");
}

TEST(InitialStep, MissingGridIsNamedAndLeavesTheConversionsDisabled) {
  WorkFolder folder;
  folder.Write("dE_2km_V1-0.grd", "1\n1\n2000\n3846000\n42000\n0\n");
  Program p(kMainlandProfile);
  const Outcome outcome = p.conversions.Command3_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kError);
  ASSERT_EQ(p.platform.messages.size(), 1u);
  const auto& message = p.platform.messages.front();
  EXPECT_EQ(message.title, "Αρχείο Καννάβου - Grid File");
  EXPECT_NE(message.text.find(folder.path().string() + " (current folder, which holds only "
                                                       "dE_2km_V1-0.grd)"),
            std::string::npos)
      << message.text;
  for (const char* button : {"Command1", "Command2", "Command5"}) {
    EXPECT_FALSE(p.boxes.Enabled(button)) << button;
  }
  EXPECT_EQ(p["Text14"], "γραμμές");
  EXPECT_TRUE(p.boxes.Enabled("Text14"));
  // The parameters are stored and shown all the same.
  EXPECT_EQ(p["Text45"], "203.437");
}

TEST(InitialStep, ATruncatedGridIsNamedWithItsLineAndALaterGoodLoadEnablesTheConversions) {
  WorkFolder folder;
  folder.Write("dN_2km_V1-0.grd", "3\n2\n2000\n3846000\n42000\n1 2\n3 4\n");
  folder.Write("dE_2km_V1-0.grd", "3\n2\n2000\n3846000\n42000\n6 5\n4 3\n2 1\n");
  Program p(kMainlandProfile);
  EXPECT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kError);
  ASSERT_EQ(p.platform.messages.size(), 1u);
  EXPECT_NE(p.platform.messages[0].text.find("dN_2km_V1-0.grd, line 8: the file ends after 4 of "
                                             "the 6 correction values"),
            std::string::npos)
      << p.platform.messages[0].text;
  EXPECT_FALSE(p.boxes.Enabled("Command2"));

  folder.Write("dN_2km_V1-0.grd", "3\n2\n2000\n3846000\n42000\n1 2\n3 4\n5 6\n");
  EXPECT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
  EXPECT_TRUE(p.boxes.Enabled("Command2"));
  EXPECT_EQ(p["Text14"], "003");
}

TEST(InitialStep, KastelorizoShowsThreeTranslationsAndReadsNoFile) {
  WorkFolder folder;  // empty: a grid read would fail
  Program p(kKastelorizoProfile);
  EXPECT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
  EXPECT_TRUE(p.platform.messages.empty());
  EXPECT_EQ(p["Text45"], "-5.020");
  EXPECT_EQ(p["Text46"], "-19.885");
  EXPECT_EQ(p["Text47"], "-12.244");
  for (const char* box : {"Text45", "Text46", "Text47"}) EXPECT_FALSE(p.boxes.Enabled(box));
  for (const char* absent : {"Text14", "Text15", "Text48", "Text51"}) {
    EXPECT_EQ(p.boxes.texts.count(absent), 0u) << absent << " written on Kastelorizo";
  }
  for (const char* button : {"Command1", "Command2", "Command5"}) {
    EXPECT_TRUE(p.boxes.Enabled(button)) << button;
  }
}

TEST(InitialStep, ConversionPressedBeforeItSaysSoAndConvertsNothing) {
  WorkFolder folder;
  Program p(kMainlandProfile);
  const Outcome outcome = p.conversions.Command2_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kError);
  ASSERT_EQ(p.platform.messages.size(), 1u);
  EXPECT_NE(p.platform.messages[0].text.find("ΑΡΧΙΚΟ ΒΗΜΑ"), std::string::npos);
  EXPECT_EQ(p["Text11"], "E");
}

// ---------------------------------------------------------------------------------------------
// The conversions on the mainland

class Mainland : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.CopyGrids(kGridDir);
    ASSERT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
  }
  WorkFolder folder_;

 public:
  Program p{kMainlandProfile};
};

TEST_F(Mainland, Command2OnTheDefaultPointShowsTheHtrs07Values) {
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  EXPECT_TRUE(p.platform.messages.empty());
  EXPECT_EQ(p["Text8"], "40");
  EXPECT_EQ(p["Text33"], "54");
  EXPECT_EQ(p["Text34"], "53.90607");
  EXPECT_EQ(p["Text9"], "24");
  EXPECT_EQ(p["Text36"], "47");
  EXPECT_EQ(p["Text37"], "20.59229");
  EXPECT_EQ(p["Text10"], "51.610");
  EXPECT_EQ(p["Text11"], "566446.108");
  EXPECT_EQ(p["Text12"], "2529618.096");
  EXPECT_EQ(p["Text13"], "0.999654");
  // Corrections: sign, three digits before the point, one after.
  for (const char* box : {"Text16", "Text17"}) {
    const std::string text = p[box];
    const std::string digits = text[0] == '-' ? text.substr(1) : text;
    ASSERT_EQ(digits.size(), 5u) << box << " " << text;
    EXPECT_EQ(digits[3], '.') << box << " " << text;
  }
  // The mainland shows no GGRS87 height.
  EXPECT_EQ(p["Text32"], "προσεγ. h (ελλειψοειδές)");
}

TEST_F(Mainland, Command2OnTheDefaultPointGivesTheDefaultGgrs87PointWithTheSyntheticGrids) {
  if (!kSyntheticGrids) GTEST_SKIP() << "needs the build's synthetic grids";
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text22"], "566296.541");
  EXPECT_EQ(p["Text23"], "4529332.314");
  EXPECT_EQ(p["Text20"], "40");
  EXPECT_EQ(p["Text35"], "54");
  EXPECT_NEAR(Number(p["Text38"]), 44.68271, 2e-5);
  EXPECT_EQ(p["Text21"], "24");
  EXPECT_EQ(p["Text39"], "47");
  EXPECT_NEAR(Number(p["Text40"]), 14.08889, 2e-5);
}

TEST_F(Mainland, Command1TakesTheEnhPathAndCopiesTheHeightTextUnchanged) {
  p.boxes.SetText("Text18", "6.501");
  p.boxes.SetText("Text19", "999");
  EXPECT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text19"], "6.501");
  // The default E, N are the projection of the default latitude and longitude.
  EXPECT_EQ(p["Text3"], "405444.68271");
  EXPECT_EQ(p["Text4"], "244714.08889");
  EXPECT_EQ(p["Text1"], "566296.541");
  if (kSyntheticGrids) {
    // The way back from the default GGRS87 point lands on the default HTRS07 point.
    EXPECT_NEAR(Number(p["Text30"]), 566446.108, 0.002);
    EXPECT_NEAR(Number(p["Text31"]), 2529618.096, 0.002);
    EXPECT_EQ(p["Text28"], "40");
    EXPECT_EQ(p["Text41"], "54");
    EXPECT_NEAR(Number(p["Text42"]), 53.90607, 1e-4);
  }
  // Text26, Text27 are the negated grid values: Command2 at the same point shows the grid values.
  const double back = Number(p["Text26"]);
  ASSERT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  EXPECT_NEAR(back, -Number(p["Text16"]), 0.11);
  EXPECT_EQ(p["Text24"], "h (ελλειψοειδές)");
}

TEST_F(Mainland, Command1WithEmptyEastingAndNorthingTakesThePhiLambdaPath) {
  p.boxes.SetText("Text1", "");
  p.boxes.SetText("Text2", "");
  p.boxes.SetText("Text18", "");
  p.boxes.SetText("Text19", " 6.5010");
  const std::string before30 = p["Text30"];
  EXPECT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text1"], "566296.541");
  EXPECT_EQ(p["Text2"], "4529332.314");
  EXPECT_EQ(p["Text18"], " 6.5010");
  EXPECT_EQ(p["Text3"], "405444.68271");
  EXPECT_NE(p["Text30"], before30);

  // Both paths give the same HTRS07 point.
  const std::string e07 = p["Text30"], n07 = p["Text31"];
  p.boxes.SetText("Text1", "0");
  p.boxes.SetText("Text2", "0");
  EXPECT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text30"], e07);
  EXPECT_EQ(p["Text31"], n07);
  p.boxes.SetText("Text3", "0");  // E, N given again: the phi, lambda group is overwritten
  EXPECT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text3"], "405444.68271");
}

// A packed latitude beyond 90 degrees or longitude beyond 180 degrees is refused naming its box;
// the boxes keep what was typed.
TEST_F(Mainland, Command1RefusesALatitudeOrLongitudeNoPointHas) {
  p.boxes.SetText("Text1", "");
  p.boxes.SetText("Text2", "");
  for (const auto& [box, text, says] :
       {std::tuple{"Text3", "950000.00000", "latitude of at most ±90°"},
        std::tuple{"Text4", "3837000", "longitude of at most ±180°"}}) {
    SCOPED_TRACE(box);
    p.boxes.SetText("Text3", "405444.68271");
    p.boxes.SetText("Text4", "244714.08889");
    p.boxes.SetText(box, text);
    const Outcome outcome = p.conversions.Command1_Click();
    EXPECT_EQ(outcome.status, OutcomeStatus::kError);
    EXPECT_EQ(outcome.box, box);
    EXPECT_NE(outcome.message.find(says), std::string::npos) << outcome.message;
    EXPECT_EQ(p[box], text);
    EXPECT_EQ(p["Text1"], "");
  }
}

TEST_F(Mainland, Command5FromCommand2sOutputsReturnsToTheSamePoint) {
  ASSERT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  const std::string e87 = p["Text22"], n87 = p["Text23"], phi87 = p["Text38"];
  const std::string scale = p["Text13"];
  for (const char* box : {"Text5", "Text6", "Text7", "Text22", "Text23"}) {
    p.boxes.SetText(box, "");
  }
  EXPECT_EQ(p.conversions.Command5_Click().status, OutcomeStatus::kDone);
  // E, N, h are rounded to the millimetre on the way; X, Y, Z come back within it.
  EXPECT_NEAR(Number(p["Text5"]), 4382064.771, 0.002);
  EXPECT_NEAR(Number(p["Text6"]), 2023782.319, 0.002);
  EXPECT_NEAR(Number(p["Text7"]), 4155326.131, 0.002);
  EXPECT_NEAR(Number(p["Text22"]), Number(e87), 0.002);
  EXPECT_NEAR(Number(p["Text23"]), Number(n87), 0.002);
  EXPECT_NEAR(Number(p["Text38"]), Number(phi87), 1e-4);
  // Command5 leaves the height as it reads it, and the scale factor of the same point is the
  // one Command2 showed.
  EXPECT_EQ(p["Text10"], "51.610");
  EXPECT_EQ(p["Text13"], scale);
}

// The scale box never shows the scale factor of another point: Command5 shows that of its own,
// k0 on the central meridian, and at Command2's point the factor Command2 showed.
TEST(Command5, TheScaleBoxShowsTheScaleFactorOfTheNewPoint) {
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    WorkFolder folder;
    if (profile->hasGrids) folder.CopyGrids(kGridDir);
    Program p(*profile);
    ASSERT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
    ASSERT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
    const std::string e = p["Text11"], n = p["Text12"], scale = p["Text13"];
    EXPECT_EQ(scale, profile->hasGrids ? "0.999654" : "1.000017");  // 37 km west of 30°
    p.boxes.SetText("Text11", "500000");
    ASSERT_EQ(p.conversions.Command5_Click().status, OutcomeStatus::kDone);
    EXPECT_EQ(p["Text13"], profile->hasGrids ? "0.999600" : "1.000000");
    p.boxes.SetText("Text11", e);
    p.boxes.SetText("Text12", n);
    ASSERT_EQ(p.conversions.Command5_Click().status, OutcomeStatus::kDone);
    EXPECT_EQ(p["Text13"], scale);
  }
}

// Command2 and Command1 give, point by point, what the batch jobs of an independent
// implementation wrote with the same grids.
TEST(MainlandReference, Command2MatchesTheCartesianBatchJobPointByPoint) {
  WorkFolder folder;
  folder.CopyGrids(kReference / "grids");
  Program p(kMainlandProfile);
  ASSERT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
  const std::filesystem::path dir = kReference / "mainland";
  const auto input = ReadRecords(dir / "HTRS07-SXYZ.txt", 3);
  const auto sflh = ReadRecords(dir / "expected-sxyz-to-ggrs87.HTRS07-SFLh.txt", 3);
  const auto senk = ReadRecords(dir / "expected-sxyz-to-ggrs87.HTRS07-SENk.txt", 3);
  const auto sfl = ReadRecords(dir / "expected-sxyz-to-ggrs87.GGRS87-SFL.txt", 2);
  const auto sen = ReadRecords(dir / "expected-sxyz-to-ggrs87.GGRS87-SEN.txt", 2);
  ASSERT_EQ(input.size(), 300u);
  ASSERT_EQ(sen.size(), input.size());
  for (std::size_t k = 0; k < input.size(); ++k) {
    const std::string where = "point " + input[k].id;
    p.boxes.SetText("Text5", input[k].values[0]);
    p.boxes.SetText("Text6", input[k].values[1]);
    p.boxes.SetText("Text7", input[k].values[2]);
    ASSERT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone) << where;
    ExpectDms(p, "Text8", "Text33", "Text34", sflh[k].values[0], where);
    ExpectDms(p, "Text9", "Text36", "Text37", sflh[k].values[1], where);
    EXPECT_EQ(p["Text10"], sflh[k].values[2]) << where;
    EXPECT_EQ(p["Text11"], senk[k].values[0]) << where;
    EXPECT_EQ(p["Text12"], senk[k].values[1]) << where;
    EXPECT_EQ(p["Text13"], senk[k].values[2]) << where;
    ExpectDms(p, "Text20", "Text35", "Text38", sfl[k].values[0], where);
    ExpectDms(p, "Text21", "Text39", "Text40", sfl[k].values[1], where);
    EXPECT_EQ(p["Text22"], sen[k].values[0]) << where;
    EXPECT_EQ(p["Text23"], sen[k].values[1]) << where;
  }
  EXPECT_TRUE(p.platform.messages.empty());
}

TEST(MainlandReference, Command1MatchesTheProjectedBatchJobPointByPoint) {
  WorkFolder folder;
  folder.CopyGrids(kReference / "grids");
  Program p(kMainlandProfile);
  ASSERT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
  const std::filesystem::path dir = kReference / "mainland";
  const auto input = ReadRecords(dir / "GGRS87-SENh.txt", 3);
  const auto sflh = ReadRecords(dir / "expected-senh-to-htrs07.GGRS87-SFLh.txt", 3);
  const auto sfl = ReadRecords(dir / "expected-senh-to-htrs07.HTRS07-SFL.txt", 2);
  const auto sen = ReadRecords(dir / "expected-senh-to-htrs07.HTRS07-SEN.txt", 2);
  ASSERT_EQ(input.size(), 300u);
  for (std::size_t k = 0; k < input.size(); ++k) {
    const std::string where = "point " + input[k].id;
    p.boxes.SetText("Text1", input[k].values[0]);
    p.boxes.SetText("Text2", input[k].values[1]);
    p.boxes.SetText("Text18", input[k].values[2]);
    ASSERT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone) << where;
    EXPECT_EQ(p["Text3"], sflh[k].values[0]) << where;
    EXPECT_EQ(p["Text4"], sflh[k].values[1]) << where;
    EXPECT_EQ(p["Text19"], input[k].values[2]) << where;
    ExpectDms(p, "Text28", "Text41", "Text42", sfl[k].values[0], where);
    ExpectDms(p, "Text29", "Text43", "Text44", sfl[k].values[1], where);
    EXPECT_EQ(p["Text30"], sen[k].values[0]) << where;
    EXPECT_EQ(p["Text31"], sen[k].values[1]) << where;
  }
}

// ---------------------------------------------------------------------------------------------
// Refusals and stops: the message, then the program goes on with the user's values

TEST_F(Mainland, ACommaInAnyInputBoxIsRefusedWithTheExactMessage) {
  struct Case {
    const char* box;
    Outcome (SinglePointConversions::*click)();
  };
  const Case cases[] = {
      {"Text1", &SinglePointConversions::Command1_Click},
      {"Text18", &SinglePointConversions::Command1_Click},
      {"Text7", &SinglePointConversions::Command2_Click},
      {"Text10", &SinglePointConversions::Command5_Click},
      {"Text12", &SinglePointConversions::Command5_Click},
  };
  for (const Case& c : cases) {
    Program fresh(kMainlandProfile);
    ASSERT_EQ(fresh.conversions.Command3_Click().status, OutcomeStatus::kDone);
    fresh.boxes.SetText("Text10", "51.610");
    fresh.boxes.SetText("Text11", "566446.108");
    fresh.boxes.SetText("Text12", "2529618.096");
    fresh.boxes.SetText(c.box, "4529332,314");
    const Outcome outcome = (fresh.conversions.*c.click)();
    EXPECT_EQ(outcome.status, OutcomeStatus::kRefusedComma) << c.box;
    EXPECT_EQ(outcome.box, c.box);
    ASSERT_EQ(fresh.platform.messages.size(), 1u) << c.box;
    const auto& m = fresh.platform.messages[0];
    EXPECT_EQ(m.title, "Λάθος Σύμβολο Διαχωρισμού Ψηφίων");
    EXPECT_EQ(m.text,
              "Ως διαχωριστικό των δεκαδικών ψηφίων πρέπει να χρησιμοποιείται η τελεία [.]"
              "\r\n\r\nThe dot [.] must be used as decimal symbol");
    EXPECT_EQ(m.icon, MessageIcon::kInformation);
    EXPECT_EQ(m.buttons, MessageButtons::kOkCancel);
    // The user's text stays as typed.
    EXPECT_EQ(fresh[c.box], "4529332,314");
  }
}

TEST_F(Mainland, ACommaInThePhiLambdaGroupCountsOnlyWhenThatGroupIsUsed) {
  p.boxes.SetText("Text3", "405444,68271");
  EXPECT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone);  // E, N given
  EXPECT_EQ(p["Text3"], "405444.68271");
  p.boxes.SetText("Text1", "");
  p.boxes.SetText("Text2", "");
  p.boxes.SetText("Text4", "244714,08889");
  const Outcome outcome = p.conversions.Command1_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kRefusedComma);
  EXPECT_EQ(outcome.box, "Text4");
}

TEST_F(Mainland, Command2OutsideTheGridStopsAfterTheHtrs07BoxesAndClearsTheGgrs87Ones) {
  ASSERT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  // A point in southern Italy, west of the grid.
  p.boxes.SetText("Text5", "4640000");
  p.boxes.SetText("Text6", "1360000");
  p.boxes.SetText("Text7", "4170000");
  const Outcome outcome = p.conversions.Command2_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kOutsideGrid);
  ASSERT_EQ(p.platform.messages.size(), 1u);
  EXPECT_EQ(p.platform.messages[0].title, "Λανθασμένη Επιλογή Σημείου");
  EXPECT_EQ(p.platform.messages[0].text, "Το σημείο είναι εκτός του καννάβου");
  EXPECT_EQ(p.platform.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(p.platform.messages[0].buttons, MessageButtons::kOkCancel);
  EXPECT_EQ(p["Text9"], "16");  // the HTRS07 side of the new point is shown
  EXPECT_NE(p["Text11"], "566446.108");
  // The GGRS87 side shows no value of the earlier point.
  EXPECT_EQ(p["Text22"], "Ε");
  EXPECT_EQ(p["Text23"], "Ν");
  EXPECT_EQ(p["Text20"], "φ");
  EXPECT_EQ(p["Text16"], "");
  EXPECT_EQ(p["Text5"], "4640000");
  // The program goes on.
  p.boxes.SetText("Text5", "4382064.771");
  p.boxes.SetText("Text6", "2023782.319");
  p.boxes.SetText("Text7", "4155326.131");
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text11"], "566446.108");
}

TEST_F(Mainland, Command5TestsTheExtentFirstWithTheSinglePointBounds) {
  struct Case {
    const char* e;
    const char* n;
    bool inside;
  };
  const Case cases[] = {
      {"42000", "1846000", true},       {"883000", "2659000", true},
      {"41999.999", "2000000", false},  {"883000.001", "2000000", false},
      {"500000", "1845999.999", false}, {"500000", "2659000.001", false},
  };
  for (const Case& c : cases) {
    p.platform.messages.clear();
    p.boxes.SetText("Text11", c.e);
    p.boxes.SetText("Text12", c.n);
    const Outcome outcome = p.conversions.Command5_Click();
    EXPECT_EQ(outcome.status == OutcomeStatus::kOutsideGrid, !c.inside) << c.e << " " << c.n;
    if (!c.inside) {
      ASSERT_EQ(p.platform.messages.size(), 1u);
      EXPECT_EQ(p.platform.messages[0].text, "Το σημείο είναι εκτός του καννάβου");
      EXPECT_EQ(p["Text8"], "φ °");
    }
  }
}

TEST_F(Mainland, Command1OutsideTheGridKeepsTheInputAndClearsTheHtrs07Results) {
  ASSERT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
  p.boxes.SetText("Text1", "1500000");  // far east of the grid
  const Outcome outcome = p.conversions.Command1_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kOutsideGrid);
  EXPECT_EQ(p["Text1"], "1500000");
  EXPECT_EQ(p["Text30"], "E");
  EXPECT_EQ(p["Text28"], "φ");
  EXPECT_EQ(p["Text26"], "");
}

// A stop leaves both input groups as the user left them: the E, N computed from phi, lambda
// are not written into the empty E, N boxes, so the next press takes the phi, lambda path again.
TEST_F(Mainland, Command1OutsideTheGridFromPhiLambdaLeavesBothInputGroupsAsTyped) {
  p.boxes.SetText("Text1", "");
  p.boxes.SetText("Text2", "");
  p.boxes.SetText("Text3", "40.91497");  // decimal degrees: a point near the equator
  p.boxes.SetText("Text4", "24.78858");
  EXPECT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kOutsideGrid);
  EXPECT_EQ(p["Text1"], "");
  EXPECT_EQ(p["Text2"], "");
  EXPECT_EQ(p["Text18"], "6.501");
  EXPECT_EQ(p["Text3"], "40.91497");
  EXPECT_EQ(p["Text30"], "E");

  p.boxes.SetText("Text3", "405444.68271");
  p.boxes.SetText("Text4", "244714.08889");
  EXPECT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text3"], "405444.68271");
  EXPECT_EQ(p["Text1"], "566296.541");
  EXPECT_EQ(p["Text2"], "4529332.314");
}

// A packed latitude or longitude below 100 gets a notice beside the results in both regions,
// whether the point converts (Kastelorizo) or lies outside the grid (the mainland); the next
// conversion replaces it.
TEST(DecimalDegrees, ThePackedBoxesBelowOneHundredGetANoticeInBothRegions) {
  struct Case {
    const char* phi;
    const char* lambda;
    const char* notice;  // "" for none
  };
  const Case cases[] = {
      {"36.14764", "29.59016",
       "Το πεδίο φ (ΕΓΣΑ87) δέχεται μοίρες, λεπτά και δεύτερα ως DDMMSS.SSSSS: αν το 36.14764 "
       "είναι δεκαδικές μοίρες, γράψτε 360851.50400. Το πεδίο λ (ΕΓΣΑ87) δέχεται μοίρες, λεπτά "
       "και δεύτερα ως DDMMSS.SSSSS: αν το 29.59016 είναι δεκαδικές μοίρες, γράψτε "
       "293524.57600.\nThe box φ (GGRS87) takes degrees, minutes and seconds as DDMMSS.SSSSS: "
       "if 36.14764 is in decimal degrees, type 360851.50400. The box λ (GGRS87) takes degrees, "
       "minutes and seconds as DDMMSS.SSSSS: if 29.59016 is in decimal degrees, type "
       "293524.57600."},
      {"360851.49460", "-29.5",
       "Το πεδίο λ (ΕΓΣΑ87) δέχεται μοίρες, λεπτά και δεύτερα ως DDMMSS.SSSSS: αν το -29.50000 "
       "είναι δεκαδικές μοίρες, γράψτε -293000.00000.\nThe box λ (GGRS87) takes degrees, "
       "minutes and seconds as DDMMSS.SSSSS: if -29.50000 is in decimal degrees, type "
       "-293000.00000."},
      {"360851.49460", "293524.57467", ""},
      {"0", "100", ""},
  };
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    WorkFolder folder;
    if (profile->hasGrids) folder.CopyGrids(kGridDir);
    Program p(*profile);
    ASSERT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
    for (const Case& c : cases) {
      p.boxes.SetText("Text1", "");
      p.boxes.SetText("Text2", "");
      p.boxes.SetText("Text3", c.phi);
      p.boxes.SetText("Text4", c.lambda);
      const Outcome outcome = p.conversions.Command1_Click();
      EXPECT_EQ(p[std::string(kDegreesNoticeLabel)], c.notice) << c.phi << " " << c.lambda;
      if (!profile->hasGrids) {
        EXPECT_EQ(outcome.status, OutcomeStatus::kDone) << c.phi;
      }
    }
    // A conversion from E, N says nothing of degrees.
    p.boxes.SetText("Text1", "733033.382");
    p.boxes.SetText("Text2", "4003432.07");
    p.boxes.SetText("Text3", "36.1");
    p.conversions.Command1_Click();
    EXPECT_EQ(p[std::string(kDegreesNoticeLabel)], "");
  }
}

TEST_F(Mainland, Command5NeedsWholeNumbersInEastingAndNorthing) {
  p.boxes.SetText("Text10", "51.610");
  const struct {
    const char* e;
    const char* n;
    const char* box;
    const char* quoted;
  } cases[] = {
      {"E", "2529618.096", "Text11", "\"E\""},
      {"566446.108", "", "Text12", nullptr},
      {"566446.108m", "2529618.096", "Text11", "\"566446.108m\""},
      {"566446.108", "2529618.096.5", "Text12", "\"2529618.096.5\""},
      {"nan", "2529618.096", "Text11", "\"nan\""},
      {"566446.108", "inf", "Text12", "\"inf\""},
  };
  for (const auto& c : cases) {
    p.platform.messages.clear();
    p.boxes.SetText("Text11", c.e);
    p.boxes.SetText("Text12", c.n);
    const Outcome outcome = p.conversions.Command5_Click();
    EXPECT_EQ(outcome.status, OutcomeStatus::kError) << c.e << " " << c.n;
    EXPECT_EQ(outcome.box, c.box);
    ASSERT_EQ(p.platform.messages.size(), 1u);
    const std::string& text = p.platform.messages[0].text;
    const std::string name =
        std::string(c.box) == "Text11" ? "E (HTRS07, TM07)" : "N (HTRS07, TM07)";
    EXPECT_NE(text.find("The box " + name), std::string::npos) << text;
    if (c.quoted != nullptr)
      EXPECT_NE(text.find(c.quoted), std::string::npos) << text;
    else
      EXPECT_NE(text.find("is empty"), std::string::npos) << text;
  }
  // Blanks around the number and an exponent are fine.
  p.boxes.SetText("Text11", " 566446.108 ");
  p.boxes.SetText("Text12", "2.529618096e6");
  EXPECT_EQ(p.conversions.Command5_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text5"].substr(0, 7), "4382064");
}

TEST_F(Mainland, EnormousNumbersAndNumericFaultsNameTheirBoxes) {
  // Too large for a double.
  p.boxes.SetText("Text6", "1e400");
  Outcome outcome = p.conversions.Command2_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kError);
  EXPECT_EQ(outcome.box, "Text6");
  EXPECT_NE(outcome.message.find("Y (HTRS07) is too large: \"1e400\""), std::string::npos)
      << outcome.message;

  // Finite but overflowing in the computation.
  p.boxes.SetText("Text6", "1e300");
  outcome = p.conversions.Command2_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kError);
  EXPECT_NE(outcome.message.find("X (HTRS07), Y (HTRS07), Z (HTRS07) give no valid result"),
            std::string::npos)
      << outcome.message;
  EXPECT_EQ(p["Text11"], "E");

  // On the polar axis the geodetic conversion divides by zero.
  p.boxes.SetText("Text5", "0");
  p.boxes.SetText("Text6", "0");
  outcome = p.conversions.Command2_Click();
  EXPECT_EQ(outcome.status, OutcomeStatus::kError);
  EXPECT_NE(outcome.message.find("give no valid result"), std::string::npos) << outcome.message;

  // A packed angle beyond the degree field.
  p.boxes.SetText("Text1", "");
  p.boxes.SetText("Text2", "");
  p.boxes.SetText("Text3", "1e12");
  outcome = p.conversions.Command1_Click();
  EXPECT_EQ(outcome.box, "Text3");
  EXPECT_NE(outcome.message.find("φ (GGRS87) is too large"), std::string::npos) << outcome.message;

  // Every message went through the platform, and the program still converts.
  EXPECT_EQ(p.platform.messages.size(), 4u);
  p.boxes.SetText("Text5", "4382064.771");
  p.boxes.SetText("Text6", "2023782.319");
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text13"], "0.999654");
}

TEST_F(Mainland, BoxesReadTheNumberOfTheirTextBlanksAside) {
  p.boxes.SetText("Text5", " 4382064.771 ");
  p.boxes.SetText("Text6", "2023782.319");
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text11"], "566446.108");
  // More than a number is refused (single_point_round4_tests holds the rule for every box).
  p.boxes.SetText("Text6", "2023782.319abc");
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kError);
}

// ---------------------------------------------------------------------------------------------
// Kastelorizo

class Kastelorizo : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone); }
  WorkFolder folder_;

 public:
  Program p{kKastelorizoProfile};
};

TEST_F(Kastelorizo, Command2ShowsTheGgrs87HeightOfTheTranslatedPoint) {
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  // The GGRS87 geocentric point is the HTRS07 one plus the three translations.
  const GeodeticParams grs80 = MakeGrs80Params(kKastelorizoProfile.tm87);
  const Geodetic g87 =
      CartesianToGeodetic(grs80, 4483880.358 - 5.02, 2546197.179 - 19.885, 3741457.925 - 12.244);
  EXPECT_NEAR(Number(p["Text32"]), g87.height, 0.0005);
  EXPECT_EQ(p["Text32"].find('.'), p["Text32"].size() - 4);
  // The default GGRS87 point of the window.
  EXPECT_NEAR(Number(p["Text22"]), 733033.382, 0.5);
  EXPECT_NEAR(Number(p["Text23"]), 4003432.07, 0.5);
  // No correction boxes on Kastelorizo.
  EXPECT_EQ(p.boxes.texts.count("Text16"), 0u);
  EXPECT_TRUE(p.platform.messages.empty());
}

TEST_F(Kastelorizo, Command1ShowsTheHtrs07HeightWithFiveIntegerDigits) {
  ASSERT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  // Back from Command2's GGRS87 point with its height: the HTRS07 height comes back.
  p.boxes.SetText("Text1", p["Text22"]);
  p.boxes.SetText("Text2", p["Text23"]);
  p.boxes.SetText("Text18", p["Text32"]);
  EXPECT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone);
  const std::string h07 = p["Text24"];
  EXPECT_NEAR(Number(h07), Number(p["Text10"]), 0.002);
  const std::string digits = h07[0] == '-' ? h07.substr(1) : h07;
  EXPECT_EQ(digits.find('.'), 5u) << h07;
  EXPECT_EQ(digits.size(), 9u) << h07;
  EXPECT_EQ(p.boxes.texts.count("Text26"), 0u);
}

TEST_F(Kastelorizo, AnyPointConvertsWithoutAGridMessage) {
  p.boxes.SetText("Text5", "4382064.771");  // a mainland point
  p.boxes.SetText("Text6", "2023782.319");
  p.boxes.SetText("Text7", "4155326.131");
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  p.boxes.SetText("Text11", "10000");
  p.boxes.SetText("Text12", "1000000");
  EXPECT_EQ(p.conversions.Command5_Click().status, OutcomeStatus::kDone);
  EXPECT_TRUE(p.platform.messages.empty());
}

TEST_F(Kastelorizo, TheScaleFactorOnTheCentralMeridianIsOne) {
  const GeodeticParams grs80 = MakeGrs80Params(kKastelorizoProfile.tm07);
  const double pi = 4 * std::atan(1.0);
  const Cartesian c = GeodeticToCartesian(grs80, 36.1 * pi / 180, 30 * pi / 180, 0);
  p.boxes.SetText("Text5", std::to_string(c.x));
  p.boxes.SetText("Text6", std::to_string(c.y));
  p.boxes.SetText("Text7", std::to_string(c.z));
  EXPECT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
  EXPECT_EQ(p["Text13"], "1.000000");
  EXPECT_EQ(p["Text11"], "500000.000");
}

TEST(KastelorizoReference, Command2AndCommand1MatchTheBatchJobsPointByPoint) {
  WorkFolder folder;
  Program p(kKastelorizoProfile);
  ASSERT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
  const std::filesystem::path dir = kReference / "kastelorizo";
  const auto xyz = ReadRecords(dir / "HTRS07-KAST-SXYZ.txt", 3);
  const auto senk = ReadRecords(dir / "expected-sxyz-to-ggrs87.HTRS07-KAST-SENk.txt", 3);
  const auto sflh07 = ReadRecords(dir / "expected-sxyz-to-ggrs87.HTRS07-KAST-SFLh.txt", 3);
  const auto sen87 = ReadRecords(dir / "expected-sxyz-to-ggrs87.GGRS87-KAST-SEN.txt", 2);
  for (std::size_t k = 0; k < xyz.size(); ++k) {
    const std::string where = "point " + xyz[k].id;
    p.boxes.SetText("Text5", xyz[k].values[0]);
    p.boxes.SetText("Text6", xyz[k].values[1]);
    p.boxes.SetText("Text7", xyz[k].values[2]);
    ASSERT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone) << where;
    ExpectDms(p, "Text8", "Text33", "Text34", sflh07[k].values[0], where);
    EXPECT_EQ(p["Text10"], sflh07[k].values[2]) << where;
    EXPECT_EQ(p["Text11"], senk[k].values[0]) << where;
    EXPECT_EQ(p["Text13"], senk[k].values[2]) << where;
    EXPECT_EQ(p["Text22"], sen87[k].values[0]) << where;
    EXPECT_EQ(p["Text23"], sen87[k].values[1]) << where;
  }
  const auto senh = ReadRecords(dir / "GGRS87-KAST-SENh.txt", 3);
  const auto sen07 = ReadRecords(dir / "expected-senh-to-htrs07.HTRS07-KAST-SEN.txt", 2);
  const auto sfl07 = ReadRecords(dir / "expected-senh-to-htrs07.HTRS07-KAST-SFL.txt", 2);
  for (std::size_t k = 0; k < senh.size(); ++k) {
    const std::string where = "point " + senh[k].id;
    p.boxes.SetText("Text1", senh[k].values[0]);
    p.boxes.SetText("Text2", senh[k].values[1]);
    p.boxes.SetText("Text18", senh[k].values[2]);
    ASSERT_EQ(p.conversions.Command1_Click().status, OutcomeStatus::kDone) << where;
    EXPECT_EQ(p["Text30"], sen07[k].values[0]) << where;
    EXPECT_EQ(p["Text31"], sen07[k].values[1]) << where;
    ExpectDms(p, "Text29", "Text43", "Text44", sfl07[k].values[1], where);
  }
  EXPECT_TRUE(p.platform.messages.empty());
}

}  // namespace
}  // namespace vortan
