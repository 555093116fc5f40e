// The chain cases of tests/transform/chains/*.chains: points in one form with the values the
// chain gives them, read and run by this one runner through Conversion::Chain, the call every
// front end's values come from. A file holds lines of words; # starts a comment:
//
//   context mainland synthetic-grids   the region and its grids: synthetic-grids (the build's),
//                                      reference-grids, zero-grids (a mainland without grids:
//                                      corrections 0), not-initialised; kastelorizo has none
//   chain FROM TO A B C                a point of form FROM (latitude, longitude in degrees)
//                                      through the conversion to TO; the lines below hold for it
//   expect FIELD PATTERN TEXT          the value printed with the number pattern is TEXT; the
//                                      pattern dms prints degrees, minutes, seconds.000
//   near FIELD VALUE TOLERANCE         the value within the tolerance (a latitude or a
//                                      longitude in degrees)
//   status STATUS                      done, outside-grid, fault, no-value, out-of-range
//   stages STAGE... | none             exactly these stages completed
//
// FIELD is htrs07.NAME or ggrs87.NAME (x, y, z, latitude, longitude, packedLatitude,
// packedLongitude, height, easting, northing, scale), dE, dN, uncorrectedEasting or
// uncorrectedNorthing. Every point without a status line must be done.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "core/angles.h"
#include "core/number_format.h"
#include "engine/conversion.h"
#include "tests/support/files.h"
#include "transform/datum.h"

namespace vortan {
namespace {

namespace fs = std::filesystem;

const double kDegree = 4 * std::atan(1.0) / 180;

using Field = std::function<double(const PointResult&)>;

const std::map<std::string, Field>& Fields() {
  static const std::map<std::string, Field> fields = [] {
    std::map<std::string, Field> f;
    const auto add = [&f](const std::string& system, auto values) {
      f[system + ".latitude"] = [values](const PointResult& r) { return values(r).latitude; };
      f[system + ".longitude"] = [values](const PointResult& r) { return values(r).longitude; };
      f[system + ".packedLatitude"] = [values](const PointResult& r) {
        return values(r).packedLatitude;
      };
      f[system + ".packedLongitude"] = [values](const PointResult& r) {
        return values(r).packedLongitude;
      };
      f[system + ".height"] = [values](const PointResult& r) { return values(r).height; };
      f[system + ".easting"] = [values](const PointResult& r) { return values(r).easting; };
      f[system + ".northing"] = [values](const PointResult& r) { return values(r).northing; };
    };
    add("htrs07", [](const PointResult& r) -> const Htrs07Values& { return r.htrs07; });
    add("ggrs87", [](const PointResult& r) -> const Ggrs87Values& { return r.ggrs87; });
    f["htrs07.x"] = [](const PointResult& r) { return r.htrs07.x; };
    f["htrs07.y"] = [](const PointResult& r) { return r.htrs07.y; };
    f["htrs07.z"] = [](const PointResult& r) { return r.htrs07.z; };
    f["htrs07.scale"] = [](const PointResult& r) { return r.htrs07.scale; };
    f["dE"] = [](const PointResult& r) { return static_cast<double>(r.dE); };
    f["dN"] = [](const PointResult& r) { return static_cast<double>(r.dN); };
    f["uncorrectedEasting"] = [](const PointResult& r) { return r.uncorrectedEasting; };
    f["uncorrectedNorthing"] = [](const PointResult& r) { return r.uncorrectedNorthing; };
    return f;
  }();
  return fields;
}

const std::map<std::string, PointStatus> kStatuses = {
    {"done", PointStatus::kDone},          {"outside-grid", PointStatus::kOutsideGrid},
    {"fault", PointStatus::kFault},        {"no-value", PointStatus::kNoValue},
    {"out-of-range", PointStatus::kOutOfRange}};

const std::map<std::string, Stage> kStages = {
    {"htrs07-geographic", Stage::kHtrs07Geographic}, {"htrs07-xyz", Stage::kHtrs07Xyz},
    {"tm07", Stage::kTm07}, {"ggrs87-geographic", Stage::kGgrs87Geographic},
    {"tm87", Stage::kTm87}, {"datum", Stage::kDatum}};

std::string Dms(double radians) {
  const vortan::Dms d = RadiansToDms(radians);
  return std::to_string(d.degrees) + " " + std::to_string(d.minutes) + " " +
         FormatNumber(d.seconds, NumberPattern::Of(".000"));
}

// The contexts a file names, each made once.
const TransformContext& ContextOf(const std::string& region, const std::string& grids) {
  static std::map<std::string, std::unique_ptr<TransformContext>> made;
  std::unique_ptr<TransformContext>& context = made[region + " " + grids];
  if (context) return *context;
  if (region == "kastelorizo") {
    context = std::make_unique<TransformContext>(
        MakeContext(kKastelorizoProfile, kSinglePointBounds));
    EXPECT_EQ(InitialStep(*context, "", ""), "");
    return *context;
  }
  EXPECT_EQ(region, "mainland");
  static RegionProfile zeroGrids = [] {
    RegionProfile p = kMainlandProfile;
    p.hasGrids = false;
    return p;
  }();
  const std::string folder = grids == "synthetic-grids"   ? std::string(VORTAN_SYNTHETIC_GRIDS)
                             : grids == "reference-grids" ? std::string(VORTAN_TEST_DATA) +
                                                                "/reference/grids"
                                                          : "";
  context = std::make_unique<TransformContext>(
      MakeContext(grids == "zero-grids" ? zeroGrids : kMainlandProfile, kSinglePointBounds));
  if (grids == "zero-grids") {
    EXPECT_EQ(InitialStep(*context, "", ""), "");
  } else if (!folder.empty()) {
    EXPECT_EQ(InitialStep(*context, folder + "/dN_2km_V1-0.grd", folder + "/dE_2km_V1-0.grd"),
              "");
  } else {
    EXPECT_EQ(grids, "not-initialised");
  }
  return *context;
}

// One chain line and what its point comes out as.
struct Point {
  std::string where;  // file:line of the chain line
  PointResult result;
  bool statusSaid = false;
};

class ChainCases : public testing::TestWithParam<std::string> {};

TEST_P(ChainCases, EveryPointGivesItsValues) {
  const fs::path file = fs::path(VORTAN_CHAIN_CASES) / (GetParam() + ".chains");
  std::istringstream text(support::ReadFile(file));
  ASSERT_FALSE(text.str().empty()) << file;
  const TransformContext* context = nullptr;
  std::vector<Point> points;
  std::string line;
  for (int number = 1; std::getline(text, line); ++number) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string verb;
    if (!(words >> verb)) continue;
    const std::string where = file.filename().string() + ":" + std::to_string(number);
    SCOPED_TRACE(where);
    if (verb == "context") {
      std::string region, grids;
      words >> region >> grids;
      context = &ContextOf(region, grids);
      continue;
    }
    if (verb == "chain") {
      ASSERT_TRUE(context) << "a chain before its context";
      std::string from, to;
      double in[3];
      ASSERT_TRUE(words >> from >> to >> in[0] >> in[1] >> in[2]) << line;
      const std::optional<Form> source = FormOfName(from), target = FormOfName(to);
      ASSERT_TRUE(source && target) << line;
      if (IsGeographic(*source)) {
        in[0] *= kDegree;
        in[1] *= kDegree;
      }
      points.push_back({where, Conversion(*context, *source, *target).Chain(in)});
      continue;
    }
    ASSERT_FALSE(points.empty()) << "a check before its chain";
    Point& point = points.back();
    const PointResult& r = point.result;
    if (verb == "status") {
      std::string status;
      words >> status;
      ASSERT_TRUE(kStatuses.count(status)) << line;
      EXPECT_EQ(r.status, kStatuses.at(status)) << point.where;
      point.statusSaid = true;
    } else if (verb == "stages") {
      std::uint8_t stages = 0;
      for (std::string stage; words >> stage;) {
        if (stage == "none") continue;
        ASSERT_TRUE(kStages.count(stage)) << line;
        stages |= static_cast<std::uint8_t>(1u << static_cast<unsigned>(kStages.at(stage)));
      }
      EXPECT_EQ(static_cast<int>(r.completed), static_cast<int>(stages)) << point.where;
    } else if (verb == "expect" || verb == "near") {
      std::string field;
      words >> field;
      ASSERT_TRUE(Fields().count(field)) << line;
      const double value = Fields().at(field)(r);
      if (verb == "near") {
        double expected = 0, tolerance = 0;
        ASSERT_TRUE(words >> expected >> tolerance) << line;
        const bool angle = field.ends_with(".latitude") || field.ends_with(".longitude");
        EXPECT_NEAR(angle ? value / kDegree : value, expected, tolerance)
            << point.where << " " << field;
        continue;
      }
      std::string pattern, word, expected;
      words >> pattern;
      while (words >> word) expected += (expected.empty() ? "" : " ") + word;
      const std::string shown =
          pattern == "dms" ? Dms(value) : FormatNumber(value, NumberPattern::Of(pattern));
      EXPECT_EQ(shown, expected) << point.where << " " << field;
    } else {
      FAIL() << "no such line: " << line;
    }
  }
  for (const Point& point : points) {
    if (!point.statusSaid) {
      EXPECT_TRUE(point.result.ok()) << point.where;
    }
  }
}

// The files of the folder; a folder without any gives one test that fails naming it.
std::vector<std::string> CaseFiles() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(VORTAN_CHAIN_CASES, ec)) {
    if (entry.path().extension() == ".chains") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) names.push_back("no_chain_cases");
  return names;
}

INSTANTIATE_TEST_SUITE_P(Files, ChainCases, testing::ValuesIn(CaseFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace vortan
