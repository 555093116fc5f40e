// TmInverses without the packed angles, as the chains that give latitude and longitude alone
// call it: the latitude and longitude of TmInverse to the last bit, over every run of four,
// two and one positions side by side.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "core/geodetic_params.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"

namespace vortan {
namespace {

constexpr Projection kTm87{24, 0.9996, 500000, 0};
constexpr Projection kTm07{24, 0.9996, 500000, -2000000};

struct Position {
  double easting, northing;  // TM87 metres; TM07 lies 2000 km lower
};

// Corners and middle of the mainland and the islands, a point on the central meridian, one
// near the equator of the projection's domain edge, and positions whose iterations take
// different numbers of passes next to each other.
const Position kPositions[] = {
    {500000.000, 4200000.000}, {104523.117, 4433000.250}, {862001.901, 3852000.004},
    {300000.000, 4620000.000}, {745612.333, 3980000.125}, {500000.000, 3800000.000},
    {220000.500, 4100000.750}, {680000.000, 4500000.000}, {512345.678, 4012345.678},
    {-90000.000, 4300000.000}, {999999.000, 3700000.000},
};

TEST(TmInversesWithoutPacked, LatitudeLongitudeOfTmInverseBitForBit) {
  for (const Projection& projection : {kTm87, kTm07}) {
    const GeodeticParams p = MakeGrs80Params(projection);
    std::vector<double> e, n;
    for (const Position& at : kPositions) {
      e.push_back(at.easting);
      n.push_back(at.northing + projection.falseNorthing);
    }
    // Every count from 1 to all, so that each mix of runs of four, two and one is taken.
    for (std::size_t count = 1; count <= e.size(); ++count) {
      std::vector<TmInverseResult> lean(count), full(count);
      TmInverses(p, e.data(), n.data(), count, lean.data(), false);
      TmInverses(p, e.data(), n.data(), count, full.data());
      for (std::size_t k = 0; k < count; ++k) {
        const TmInverseResult one = TmInverse(p, e[k], n[k]);
        ASSERT_EQ(lean[k].latitude, one.latitude) << count << " " << k;
        ASSERT_EQ(lean[k].longitude, one.longitude) << count << " " << k;
        ASSERT_EQ(full[k].packedLatitude, one.packedLatitude) << count << " " << k;
        ASSERT_EQ(full[k].packedLongitude, one.packedLongitude) << count << " " << k;
      }
    }
  }
}

// A Northing beyond a quarter meridian has no inverse: without the packed angles too, NaN and
// the invalid operation, and its neighbours keep their values.
TEST(TmInversesWithoutPacked, OutsideTheDomainIsAFault) {
  const GeodeticParams p = MakeGrs80Params(kTm87);
  const double e[] = {500000, 500000, 500000};
  const double n[] = {4200000, 10100000, 4300000};
  TmInverseResult r[3];
  NumericGuard guard;
  TmInverses(p, e, n, 3, r, false);
  EXPECT_FALSE(guard.Clean());
  EXPECT_TRUE(std::isnan(r[1].latitude) && std::isnan(r[1].longitude));
  EXPECT_EQ(r[0].latitude, TmInverse(p, e[0], n[0]).latitude);
  EXPECT_EQ(r[2].longitude, TmInverse(p, e[2], n[2]).longitude);
}

}  // namespace
}  // namespace vortan
