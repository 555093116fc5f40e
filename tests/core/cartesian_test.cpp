#include "core/cartesian.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/numeric_guard.h"

namespace vortan {
namespace {

const double kPi = 4 * std::atan(1.0);
double Rad(double degrees) { return degrees * kPi / 180; }
const GeodeticParams kGrs80 = MakeGrs80Params({24, 0.9996, 500000, 0});

TEST(GeodeticToCartesian, ReferencePoints) {
  const Cartesian a = GeodeticToCartesian(kGrs80, Rad(38), Rad(23.7), 100);
  EXPECT_NEAR(a.x, 4608079.4386, 1e-4);
  EXPECT_NEAR(a.y, 2022805.4509, 1e-4);
  EXPECT_NEAR(a.z, 3905505.5345, 1e-4);
  const Cartesian b = GeodeticToCartesian(kGrs80, Rad(35.2), Rad(25.1), -40);
  EXPECT_NEAR(b.x, 4724928.0650, 1e-4);
  EXPECT_NEAR(b.y, 2213318.0382, 1e-4);
  EXPECT_NEAR(b.z, 3655997.3425, 1e-4);
}

TEST(CartesianToGeodetic, RoundTripKeepsTheSignOfTheHeight) {
  const Cartesian a = GeodeticToCartesian(kGrs80, Rad(38), Rad(23.7), 100);
  const Geodetic ga = CartesianToGeodetic(kGrs80, a.x, a.y, a.z);
  EXPECT_NEAR(ga.latitude, Rad(38), 1e-15);
  EXPECT_NEAR(ga.longitude, Rad(23.7), 1e-15);
  EXPECT_NEAR(ga.height, 100, 1e-8);
  const Cartesian b = GeodeticToCartesian(kGrs80, Rad(35.2), Rad(25.1), -40);
  const Geodetic gb = CartesianToGeodetic(kGrs80, b.x, b.y, b.z);
  EXPECT_NEAR(gb.height, -40, 1e-8);
}

TEST(CartesianToGeodetic, RoundTripOverTheServedArea) {
  for (double phi = 34; phi <= 42; phi += 0.5) {
    for (double lambda = 19; lambda <= 30; lambda += 0.5) {
      for (double h : {-60.0, 0.0, 2900.0}) {
        const Cartesian c = GeodeticToCartesian(kGrs80, Rad(phi), Rad(lambda), h);
        const Geodetic g = CartesianToGeodetic(kGrs80, c.x, c.y, c.z);
        ASSERT_NEAR(g.latitude, Rad(phi), 1e-15);
        ASSERT_NEAR(g.longitude, Rad(lambda), 1e-15);
        ASSERT_NEAR(g.height, h, 1e-8);
      }
    }
  }
}

TEST(CartesianToGeodetic, WesternHemisphereKeepsItsLongitude) {
  // atan(Y / X) alone would put this point 180 degrees away.
  const Cartesian c = GeodeticToCartesian(kGrs80, Rad(40), Rad(-100), 10);
  const Geodetic g = CartesianToGeodetic(kGrs80, c.x, c.y, c.z);
  EXPECT_NEAR(g.longitude, Rad(-100), 1e-14);
  EXPECT_NEAR(g.latitude, Rad(40), 1e-14);
}

TEST(CartesianToGeodetic, PolarAxisIsANumericFault) {
  NumericGuard guard;
  (void)CartesianToGeodetic(kGrs80, 0, 0, 6356752);
  EXPECT_FALSE(guard.Clean());
  EXPECT_EQ(guard.Fault(), "division by zero");
  guard.Reset();
  EXPECT_TRUE(guard.Clean());
  (void)CartesianToGeodetic(kGrs80, 4608079.4386, 2022805.4509, 3905505.5345);
  EXPECT_TRUE(guard.Clean()) << guard.Fault();
}

}  // namespace
}  // namespace vortan
