// The chains over blocks: every entry form and every set of options gives each point of a
// block exactly what a block of one gives it, also beside points that leave outside the grid
// or raise a numeric fault; a fault names the stage whose step raised it and keeps the values
// of the stages before it only.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/cartesian.h"
#include "core/geodetic_params.h"
#include "engine/chains.h"
#include "transform/datum.h"

namespace vortan {
namespace {

TransformContext Mainland() {
  TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  const std::string grids = std::string(VORTAN_TEST_DATA) + "/reference/grids/";
  EXPECT_EQ(InitialStep(context, grids + kDnGridFileName, grids + kDeGridFileName), "");
  return context;
}

// Every value of a result, by its bits (NaN included).
void ExpectSame(const PointResult& got, const PointResult& want, std::size_t i) {
  ASSERT_EQ(got.status, want.status) << i;
  ASSERT_EQ(got.completed, want.completed) << i;
  ASSERT_EQ(got.failed, want.failed) << i;
  ASSERT_STREQ(got.fault, want.fault) << i;
  ASSERT_EQ(std::memcmp(&got.htrs07, &want.htrs07, sizeof got.htrs07), 0) << i;
  ASSERT_EQ(std::memcmp(&got.ggrs87, &want.ggrs87, sizeof got.ggrs87), 0) << i;
  const double g[] = {got.uncorrectedEasting, got.uncorrectedNorthing, got.dE, got.dN};
  const double w[] = {want.uncorrectedEasting, want.uncorrectedNorthing, want.dE, want.dN};
  ASSERT_EQ(std::memcmp(g, w, sizeof g), 0) << i;
}

// The entry values of a point at latitude, longitude (degrees) and height in a form.
Xyz Entry(Form form, double latitude, double longitude, double h) {
  const GeodeticParams p = MakeGrs80Params(kMainlandProfile.tm07);
  const double phi = latitude * kPi / 180, lambda = longitude * kPi / 180;
  const Cartesian c = GeodeticToCartesian(p, phi, lambda, h);
  // TM positions: the same E, N in both systems serve the test (TM87 N is TM07 N + 2000 km).
  const double e = 500000 + (longitude - 24) * 85000, n = (latitude - 18) * 111000;
  switch (form) {
    case Form::kHtrs07Xyz: return {c.x, c.y, c.z};
    case Form::kHtrs07Tm07: return {e, n, h};
    case Form::kGgrs87Tm87: return {e, n + 2000000, h};
    default: return {phi, lambda, h};
  }
}

TEST(StageChain, EveryPointOfABlockIsItsBlockOfOne) {
  const TransformContext context = Mainland();
  const ChainOptions lean{false, false, false, false, true};
  const ChainOptions full{true, true, true, true, false};
  for (Form from : kAllForms) {
    // Inside, outside the grid, and points that raise a fault, mixed in blocks.
    std::vector<Xyz> points;
    for (int k = 0; k < 200; ++k) {
      points.push_back(Entry(from, 35 + k % 70 * 0.1, 19.5 + k % 90 * 0.1, k % 30 * 100.0 - 60));
      if (k % 37 == 0) points.push_back({1e300, 1e300, 1e300});
      if (k % 53 == 0) points.push_back({0, 0, 0});
    }
    for (const ChainOptions& options : {ChainOptions{}, lean, full}) {
      const StageChain chain(context, from, options);
      std::vector<PointResult> block(points.size());
      chain.Run(points.data(), points.size(), block.data());
      int outside = 0, faults = 0;
      for (std::size_t i = 0; i < points.size(); ++i) {
        ExpectSame(block[i], chain.Run(points[i]), i);
        outside += block[i].status == PointStatus::kOutsideGrid;
        faults += block[i].status == PointStatus::kFault;
      }
      EXPECT_GT(outside, 0) << static_cast<int>(from);
      if (from != Form::kHtrs07Tm07) {
        EXPECT_GT(faults, 0) << static_cast<int>(from);
      }
    }
  }
}

// Where a point fails, which stages it completed and which values it keeps.
TEST(StageChain, AFaultNamesItsStageAndKeepsTheStagesBefore) {
  const TransformContext context = Mainland();
  struct Case {
    Form from;
    Xyz in;
    Stage failed;
    std::uint8_t completed;  // the stages completed, a bit each
  };
  const auto bit = [](Stage s) { return static_cast<std::uint8_t>(1u << static_cast<int>(s)); };
  const Case cases[] = {
      // On the polar axis the conversion to latitude divides by zero.
      {Form::kHtrs07Xyz, {0, 0, 6356752}, Stage::kHtrs07Geographic, 0},
      // Beyond the inverse projection's domain.
      {Form::kGgrs87Tm87, {500000, 1e12, 0}, Stage::kGgrs87Geographic, 0},
      // A height of 1e300 m overflows the datum step, after the stages in one system.
      {Form::kGgrs87Geographic, {0.7, 0.4, 1e300}, Stage::kDatum, bit(Stage::kTm87)},
      {Form::kHtrs07Tm07, {500000, 2400000, 1e300}, Stage::kDatum,
       static_cast<std::uint8_t>(bit(Stage::kHtrs07Geographic) | bit(Stage::kHtrs07Xyz))},
  };
  for (const Case& c : cases) {
    const PointResult r = ChainOfPoint(context, c.from, c.in);
    EXPECT_EQ(r.status, PointStatus::kFault) << static_cast<int>(c.from);
    EXPECT_EQ(r.failed, c.failed) << static_cast<int>(c.from);
    EXPECT_EQ(r.completed, c.completed) << static_cast<int>(c.from);
    EXPECT_STRNE(r.fault, "");
    // The failed stage's values stay out.
    if (c.failed == Stage::kHtrs07Geographic) {
      EXPECT_EQ(r.htrs07.latitude, 0);
    } else if (c.failed == Stage::kGgrs87Geographic) {
      EXPECT_EQ(r.ggrs87.latitude, 0);
    } else {
      EXPECT_EQ(r.uncorrectedEasting, 0);
      EXPECT_EQ(r.ggrs87.northing != 0, c.from == Form::kGgrs87Geographic);
    }
  }
}

}  // namespace
}  // namespace vortan
