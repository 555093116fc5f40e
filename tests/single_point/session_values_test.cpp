// The single-point boxes show the numbers of the library's one-point call: for points of both
// regions and each conversion button, every box a click writes holds the printed value that a
// session of the C library's kind (the plain routines, the data files' extent) gives for the
// same input.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/angles.h"
#include "core/geodetic_params.h"
#include "core/number_format.h"
#include "engine/session.h"
#include "single_point/conversions.h"
#include "single_point/form.h"
#include "tests/single_point/scripted_platform.h"
#include "tests/support/temp_folder.h"
#include "transform/grid_file.h"
#include "transform/region_profile.h"

namespace vortan {
namespace {

const std::filesystem::path kGridDir = VORTAN_GRID_DIR;

struct Program {
  explicit Program(const RegionProfile& profile) : conversions(profile, boxes, platform) {
    for (const Control& control : SinglePointControls(profile)) {
      boxes.texts[std::string(control.name)] = std::string(control.text);
    }
  }
  BoxMap boxes;
  testing::RecordingPlatform platform;
  SinglePointConversions conversions;
};

// A point by its HTRS07 latitude, longitude (degrees) and height: the buttons' inputs are its
// forms as the library prints them.
struct Point {
  const RegionProfile* profile;
  double latitude, longitude, height;
};

const Point kPoints[] = {
    {&kMainlandProfile, 40.914974, 24.789053, 51.610},   // the window's default point
    {&kMainlandProfile, 37.971532, 23.726601, 107.344},  // Athens
    {&kMainlandProfile, 35.338716, 25.144213, -31.057},  // Crete
    {&kMainlandProfile, 39.620181, 19.919712, 2917.5},   // Corfu, high
    {&kMainlandProfile, 41.135640, 26.298422, 0.004},    // the north-east
    {&kKastelorizoProfile, 36.150002, 29.590100, 12.345},
    {&kKastelorizoProfile, 36.141287, 29.602254, -0.75},
};

void PrintTo(const Point& point, std::ostream* out) {
  *out << point.latitude << "° " << point.longitude << "° " << point.height << " m";
}

using BoxTexts = std::vector<std::pair<std::string, std::string>>;

std::string Text(double value, NumberPattern pattern) { return FormatNumber(value, pattern); }

void AddDms(BoxTexts& boxes, const char* d, const char* m, const char* s,
            const std::optional<Dms>& dms) {
  ASSERT_TRUE(dms.has_value()) << d;
  boxes.push_back({d, Text(dms->degrees, patterns::kDegrees)});
  boxes.push_back({m, Text(dms->minutes, patterns::kDegrees)});
  boxes.push_back({s, Text(dms->seconds, patterns::kSeconds)});
}

// The GGRS87 boxes of Command2 and Command5.
void AddGgrs87(BoxTexts& boxes, const RegionProfile& profile, const EveryForm& every) {
  const Xyz& tm87 = every.values[FormIndex(Form::kGgrs87Tm87)];
  if (profile.hasGrids) {
    boxes.push_back({"Text16", Text(every.dECm, patterns::kCentimetres)});
    boxes.push_back({"Text17", Text(every.dNCm, patterns::kCentimetres)});
  } else {
    boxes.push_back({"Text32", Text(tm87[2], patterns::kMetres)});
  }
  boxes.push_back({"Text22", Text(tm87[0], patterns::kMetres)});
  boxes.push_back({"Text23", Text(tm87[1], patterns::kMetres)});
  AddDms(boxes, "Text20", "Text35", "Text38", every.ggrs87Latitude);
  AddDms(boxes, "Text21", "Text39", "Text40", every.ggrs87Longitude);
}

class SessionValues : public ::testing::TestWithParam<Point> {
 protected:
  void SetUp() override {
    folder_.CopyGrids(kGridDir);
    ASSERT_EQ(p_.conversions.Command3_Click().status, OutcomeStatus::kDone);
    ASSERT_EQ(library_.LoadGrids((kGridDir / kDnGridFileName).string(),
                                 (kGridDir / kDeGridFileName).string()),
              "");
    const Point& point = GetParam();
    constexpr double kRadians = kRadiansPerDegree;
    source_ = library_.PointInEveryForm(
        Form::kHtrs07Geographic,
        {point.latitude * kRadians, point.longitude * kRadians, point.height}, false);
    ASSERT_TRUE(source_.failure.reason.empty()) << source_.failure.reason;
  }

  // The library's printed coordinate of the source point, as a box's input text.
  std::string Input(Form form, int k, NumberPattern pattern = patterns::kMetres) const {
    return Text(source_.values[FormIndex(form)][k], pattern);
  }

  // Clicks a button on these inputs: done, no message, and the boxes as expected.
  template <typename Expected>
  void Click(Outcome (SinglePointConversions::*click)(), const BoxTexts& inputs,
             Expected&& expected) {
    for (const auto& [box, text] : inputs) p_.boxes.texts[box] = text;
    ASSERT_EQ((p_.conversions.*click)().status, OutcomeStatus::kDone);
    EXPECT_TRUE(p_.platform.messages.empty());
    const BoxTexts boxes = expected();
    ASSERT_FALSE(boxes.empty());
    for (const auto& [box, text] : boxes) EXPECT_EQ(p_.boxes.texts[box], text) << box;
  }

  const RegionProfile& profile() const { return *GetParam().profile; }
  double Read(const std::string& box) { return ParseNumberText(p_.boxes.texts[box]); }

  support::WorkFolder folder_;
  Program p_{profile()};
  Session library_{profile()};
  EveryForm source_;
};

TEST_P(SessionValues, Command1FromENhShowsTheLibrarysHtrs07Values) {
  Click(&SinglePointConversions::Command1_Click,
        {{"Text1", Input(Form::kGgrs87Tm87, 0)},
         {"Text2", Input(Form::kGgrs87Tm87, 1)},
         {"Text18", "6.501"}},
        [&] {
          const EveryForm every = library_.PointInEveryForm(
              Form::kGgrs87Tm87, {Read("Text1"), Read("Text2"), 6.501}, false);
          const Xyz& tm07 = every.values[FormIndex(Form::kHtrs07Tm07)];
          BoxTexts boxes = {
              {"Text3", Text(every.ggrs87Latitude->packed, patterns::kPacked)},
              {"Text4", Text(every.ggrs87Longitude->packed, patterns::kPacked)},
              {"Text19", "6.501"},
              {"Text30", Text(tm07[0], patterns::kMetres)},
              {"Text31", Text(tm07[1], patterns::kMetres)},
          };
          if (profile().hasGrids) {
            boxes.push_back({"Text26", Text(every.dECm, patterns::kCentimetres)});
            boxes.push_back({"Text27", Text(every.dNCm, patterns::kCentimetres)});
          } else {
            const double h = every.values[FormIndex(Form::kHtrs07Geographic)][2];
            boxes.push_back({"Text24", Text(h, patterns::kHeight)});
          }
          AddDms(boxes, "Text28", "Text41", "Text42", every.htrs07Latitude);
          AddDms(boxes, "Text29", "Text43", "Text44", every.htrs07Longitude);
          return boxes;
        });
}

TEST_P(SessionValues, Command1FromPhiLambdaShowsTheLibrarysTm87) {
  Click(&SinglePointConversions::Command1_Click,
        {{"Text1", ""},
         {"Text2", ""},
         {"Text3", Text(source_.ggrs87Latitude->packed, patterns::kPacked)},
         {"Text4", Text(source_.ggrs87Longitude->packed, patterns::kPacked)},
         {"Text19", "-12.5"}},
        [&] {
          const EveryForm every = library_.PointInEveryForm(
              Form::kGgrs87Geographic,
              {PackedToRadians(Read("Text3")).radians, PackedToRadians(Read("Text4")).radians,
               -12.5},
              false);
          const Xyz& tm87 = every.values[FormIndex(Form::kGgrs87Tm87)];
          const Xyz& tm07 = every.values[FormIndex(Form::kHtrs07Tm07)];
          BoxTexts boxes = {
              {"Text1", Text(tm87[0], patterns::kMetres)},
              {"Text2", Text(tm87[1], patterns::kMetres)},
              {"Text18", "-12.5"},
              {"Text30", Text(tm07[0], patterns::kMetres)},
              {"Text31", Text(tm07[1], patterns::kMetres)},
          };
          AddDms(boxes, "Text28", "Text41", "Text42", every.htrs07Latitude);
          AddDms(boxes, "Text29", "Text43", "Text44", every.htrs07Longitude);
          return boxes;
        });
}

TEST_P(SessionValues, Command2FromXyzShowsTheLibrarysValuesAndScale) {
  Click(&SinglePointConversions::Command2_Click,
        {{"Text5", Input(Form::kHtrs07Xyz, 0)},
         {"Text6", Input(Form::kHtrs07Xyz, 1)},
         {"Text7", Input(Form::kHtrs07Xyz, 2)}},
        [&] {
          const EveryForm every = library_.PointInEveryForm(
              Form::kHtrs07Xyz, {Read("Text5"), Read("Text6"), Read("Text7")}, false);
          const Xyz& geographic = every.values[FormIndex(Form::kHtrs07Geographic)];
          const Xyz& tm07 = every.values[FormIndex(Form::kHtrs07Tm07)];
          BoxTexts boxes = {
              {"Text10", Text(geographic[2], patterns::kMetres)},
              {"Text11", Text(tm07[0], patterns::kMetres)},
              {"Text12", Text(tm07[1], patterns::kMetres)},
              {"Text13", Text(every.tm07Scale, patterns::kScale)},
          };
          AddDms(boxes, "Text8", "Text33", "Text34", every.htrs07Latitude);
          AddDms(boxes, "Text9", "Text36", "Text37", every.htrs07Longitude);
          AddGgrs87(boxes, profile(), every);
          return boxes;
        });
}

TEST_P(SessionValues, Command5FromTm07ShowsTheLibrarysValuesAndScale) {
  Click(&SinglePointConversions::Command5_Click,
        {{"Text11", Input(Form::kHtrs07Tm07, 0)},
         {"Text12", Input(Form::kHtrs07Tm07, 1)},
         {"Text10", "250.25"}},
        [&] {
          const EveryForm every = library_.PointInEveryForm(
              Form::kHtrs07Tm07, {Read("Text11"), Read("Text12"), 250.25}, false);
          const Xyz& xyz = every.values[FormIndex(Form::kHtrs07Xyz)];
          BoxTexts boxes = {
              {"Text5", Text(xyz[0], patterns::kMetres)},
              {"Text6", Text(xyz[1], patterns::kMetres)},
              {"Text7", Text(xyz[2], patterns::kMetres)},
              {"Text13", Text(every.tm07Scale, patterns::kScale)},
              {"Text10", "250.25"},
          };
          AddDms(boxes, "Text8", "Text33", "Text34", every.htrs07Latitude);
          AddDms(boxes, "Text9", "Text36", "Text37", every.htrs07Longitude);
          AddGgrs87(boxes, profile(), every);
          return boxes;
        });
}

INSTANTIATE_TEST_SUITE_P(BothRegions, SessionValues, ::testing::ValuesIn(kPoints),
                         [](const ::testing::TestParamInfo<Point>& info) {
                           return std::string(info.param.profile->hasGrids ? "Mainland"
                                                                           : "Kastelorizo") +
                                  std::to_string(info.index);
                         });

}  // namespace
}  // namespace vortan
