#include "transform/datum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/number_format.h"
#include "core/transverse_mercator.h"

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
}

// The default point through the whole chains, and points outside the extent: chains/*.chains.

}  // namespace
}  // namespace vortan
