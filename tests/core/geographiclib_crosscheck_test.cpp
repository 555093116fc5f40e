// The Transverse Mercator series against GeographicLib's exact Transverse Mercator, an
// independent implementation, over a dense net covering Greece and beyond.
#include <GeographicLib/TransverseMercatorExact.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "core/transverse_mercator.h"

namespace vortan {
namespace {

const double kPi = 4 * std::atan(1.0);
double Rad(double degrees) { return degrees * kPi / 180; }

class ExactTransverseMercator : public testing::TestWithParam<Projection> {};

TEST_P(ExactTransverseMercator, SeriesStayWithinAFifthOfAMillimetre) {
  const Projection projection = GetParam();
  const GeodeticParams p = MakeGrs80Params(projection);
  const GeographicLib::TransverseMercatorExact exact(6378137, 1 / 298.257222101,
                                                     projection.scaleFactor);
  double worstForward = 0, worstInverse = 0;
  for (double phi = 34; phi <= 42.0001; phi += 0.1) {
    for (double dl = -4.5; dl <= 4.5001; dl += 0.1) {
      double x, y;
      exact.Forward(0, phi, dl, x, y);
      const double e = projection.falseEasting + x;
      const double n = projection.falseNorthing + y;
      const GridPoint g = TmForward(p, Rad(phi), Rad(dl));
      worstForward = std::max(worstForward, std::hypot(g.easting - e, g.northing - n));
      // Inverse: compare the positions on the ground, through the exact forward.
      const TmInverseResult r = TmInverse(p, e, n);
      double xb, yb;
      exact.Forward(0, r.latitude * 180 / kPi, r.longitude * 180 / kPi - projection.centralMeridianDeg,
                    xb, yb);
      worstInverse = std::max(worstInverse, std::hypot(xb - x, yb - y));
    }
  }
  std::printf("largest difference from the exact projection: forward %.4f mm, inverse %.4f mm\n",
              worstForward * 1000, worstInverse * 1000);
  EXPECT_LT(worstForward, 0.2e-3);
  EXPECT_LT(worstInverse, 0.2e-3);
}

INSTANTIATE_TEST_SUITE_P(Tm87AndTm07, ExactTransverseMercator,
                         testing::Values(Projection{24, 0.9996, 500000, 0},
                                         Projection{24, 0.9996, 500000, -2000000},
                                         Projection{30, 1.0, 500000, -2000000}));

}  // namespace
}  // namespace vortan
