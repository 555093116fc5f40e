#include "transform/datum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/number_format.h"
#include "core/transverse_mercator.h"
#include "engine/chains.h"

namespace vortan {
namespace {

// The single-point window's default point.
constexpr double kX = 4382064.771, kY = 2023782.319, kZ = 4155326.131;
const double kPi = 4 * std::atan(1.0);

std::string Dms(double radians) {
  const vortan::Dms d = RadiansToDms(radians);
  return std::to_string(d.degrees) + " " + std::to_string(d.minutes) + " " +
         FormatNumber(d.seconds, NumberPattern::Of(".000"));
}

TransformContext MainlandWithSyntheticGrids() {
  TransformContext context = MakeContext(kMainlandProfile, kSinglePointBounds);
  const std::string folder = VORTAN_SYNTHETIC_GRIDS;
  const std::string error =
      InitialStep(context, folder + "/dN_2km_V1-0.grd", folder + "/dE_2km_V1-0.grd");
  EXPECT_EQ(error, "");
  return context;
}

TEST(Helmert, ZeroParametersLeaveThePointAndSignMinusOneIsNoExactInverse) {
  const Cartesian same = HelmertTransform(HelmertParams{}, kX, kY, kZ, +1);
  EXPECT_EQ(same.x, kX);
  EXPECT_EQ(same.y, kY);
  EXPECT_EQ(same.z, kZ);
  const Cartesian there = HelmertTransform(kMainlandProfile.helmert, kX, kY, kZ, +1);
  const Cartesian back = HelmertTransform(kMainlandProfile.helmert, there.x, there.y, there.z, -1);
  const double miss = std::hypot(back.x - kX, back.y - kY, back.z - kZ);
  EXPECT_GT(miss, 0);
  EXPECT_LT(miss, 1e-3);
}

TEST(Helmert, DefaultPointBeforeAndAfterTheTransformation) {
  const GeodeticParams grs80 = MakeGrs80Params(kMainlandProfile.tm07);
  const Geodetic g07 = CartesianToGeodetic(grs80, kX, kY, kZ);
  EXPECT_EQ(Dms(g07.latitude), "40 54 53.906");
  EXPECT_EQ(Dms(g07.longitude), "24 47 20.592");
  EXPECT_EQ(FormatNumber(g07.height, patterns::kMetres), "51.610");
  const Cartesian c87 = HelmertTransform(kMainlandProfile.helmert, kX, kY, kZ, +1);
  const Geodetic g87 = CartesianToGeodetic(grs80, c87.x, c87.y, c87.z);
  EXPECT_EQ(Dms(g87.latitude), "40 54 44.688");
  EXPECT_EQ(Dms(g87.longitude), "24 47 14.094");
  EXPECT_EQ(FormatNumber(g87.height, patterns::kMetres), "6.501");
  // With the wrong sign the point lands about 18 arc-seconds further north.
  const Cartesian wrong = HelmertTransform(kMainlandProfile.helmert, kX, kY, kZ, -1);
  const Geodetic gw = CartesianToGeodetic(grs80, wrong.x, wrong.y, wrong.z);
  EXPECT_NEAR((gw.latitude - g87.latitude) * 180 / kPi * 3600, 18, 1.5);
}

TEST(ForwardChain, DefaultPointBeforeTheCorrection) {
  const GeodeticParams tm07 = MakeGrs80Params(kMainlandProfile.tm07);
  const Geodetic g07 = CartesianToGeodetic(tm07, kX, kY, kZ);
  const GridPoint p07 = TmForward(tm07, g07.latitude, g07.longitude - CentralMeridianRad(tm07));
  EXPECT_EQ(FormatNumber(p07.easting, patterns::kMetres), "566446.108");
  EXPECT_EQ(FormatNumber(p07.northing, patterns::kMetres), "2529618.096");
  // Zero grid values: the corrected result is the uncorrected TM87 position.
  RegionProfile noGrids = kMainlandProfile;
  noGrids.hasGrids = false;
  TransformContext context = MakeContext(noGrids, kSinglePointBounds);
  EXPECT_EQ(InitialStep(context, "", ""), "");
  const PointResult r = ChainOfPoint(context, Form::kHtrs07Xyz, {kX, kY, kZ});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(FormatNumber(r.ggrs87.easting, patterns::kMetres), "566296.660");
  EXPECT_EQ(FormatNumber(r.ggrs87.northing, patterns::kMetres), "4529332.491");
}

TEST(ForwardChain, DefaultPointWithTheSyntheticGrids) {
  const TransformContext context = MainlandWithSyntheticGrids();
  const PointResult r = ChainOfPoint(context, Form::kHtrs07Xyz, {kX, kY, kZ});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(FormatNumber(r.ggrs87.easting, patterns::kMetres), "566296.541");
  EXPECT_EQ(FormatNumber(r.ggrs87.northing, patterns::kMetres), "4529332.314");
  EXPECT_EQ(FormatNumber(r.dE, patterns::kCentimetres), "-011.9");
  EXPECT_EQ(FormatNumber(r.dN, patterns::kCentimetres), "-017.7");
  // The latitude and longitude come from the corrected TM87 position.
  EXPECT_EQ(FormatNumber(r.ggrs87.packedLatitude, patterns::kPacked), "405444.68271");
  EXPECT_EQ(FormatNumber(r.ggrs87.packedLongitude, patterns::kPacked), "244714.08889");
}

TEST(BackChain, DefaultPointWithTheSyntheticGrids) {
  const TransformContext context = MainlandWithSyntheticGrids();
  const PointResult r = ChainOfPoint(context, Form::kGgrs87Tm87, {566296.541, 4529332.314, 6.501});
  ASSERT_TRUE(r.ok());
  // Shown corrections are the negated grid values: nearly opposite to the forward ones.
  EXPECT_EQ(FormatNumber(r.dE, patterns::kCentimetres), "011.9");
  EXPECT_EQ(FormatNumber(r.dN, patterns::kCentimetres), "017.7");
  EXPECT_NEAR(r.htrs07.easting, 566446.108, 0.002);
  EXPECT_NEAR(r.htrs07.northing, 2529618.096, 0.002);
  EXPECT_EQ(Dms(r.htrs07.latitude), "40 54 53.906");
  EXPECT_EQ(Dms(r.htrs07.longitude), "24 47 20.592");
  EXPECT_NEAR(r.htrs07.height, 51.610, 0.002);
}

TEST(Chains, OutsideTheExtentNothingOfTheOtherSideIsProduced) {
  const TransformContext context = MainlandWithSyntheticGrids();
  // Athos-like easting but far north of the bounds (TM07 N + 2000000 = 4700000).
  const PointResult r = ChainOfPoint(context, Form::kHtrs07Tm07, {566446.108, 2700000, 0});
  EXPECT_EQ(r.status, PointStatus::kOutsideGrid);
  EXPECT_EQ(r.completed, 0);
  EXPECT_EQ(r.ggrs87.easting, 0);
  const PointResult b =
      ChainOfPoint(context, Form::kGgrs87Geographic, {43 * kPi / 180, 24 * kPi / 180, 0});
  EXPECT_EQ(b.status, PointStatus::kOutsideGrid);
  EXPECT_FALSE(b.Completed(Stage::kDatum));
  // Without the initial step the mainland has no grids: nothing passes.
  const TransformContext empty = MakeContext(kMainlandProfile, kSinglePointBounds);
  EXPECT_FALSE(empty.Ready());
  EXPECT_EQ(ChainOfPoint(empty, Form::kHtrs07Xyz, {kX, kY, kZ}).status,
            PointStatus::kOutsideGrid);
}

}  // namespace
}  // namespace vortan
