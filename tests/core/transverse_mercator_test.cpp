#include "core/transverse_mercator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/geodetic_params.h"

namespace vortan {
namespace {

constexpr Projection kTm87{24, 0.9996, 500000, 0};
constexpr Projection kTm07{24, 0.9996, 500000, -2000000};
double Rad(double degrees) { return degrees * kPi / 180; }
double Deg(double radians) { return radians * 180 / kPi; }

TEST(ParameterBlock, Grs80AndProjectionSets) {
  GeodeticParams p = MakeGrs80Params(kTm87);
  EXPECT_EQ(p.semiMajorAxis, 6378137.0);
  EXPECT_EQ(p.flattening, 1 / 298.257222101);
  EXPECT_EQ(kPi, 4 * std::atan(1.0));
  EXPECT_EQ(kPi, std::numbers::pi);
  EXPECT_EQ(p.centralMeridianDeg, 24);
  EXPECT_EQ(p.scaleFactor, 0.9996);
  EXPECT_EQ(p.falseEasting, 500000);
  EXPECT_EQ(p.falseNorthing, 0);
  SetProjection(p, kTm07);
  EXPECT_EQ(p.falseNorthing, -2000000);
  EXPECT_EQ(p.centralMeridianDeg, 24);
}

TEST(MeridianArc, ReferenceLengths) {
  const GeodeticParams p = MakeGrs80Params(kTm87);
  EXPECT_EQ(MeridianArc(p, 0), 0);
  EXPECT_NEAR(MeridianArc(p, Rad(35)), 3874592.9016, 1e-4);
  EXPECT_NEAR(MeridianArc(p, Rad(38)), 4207498.0190, 1e-4);
  EXPECT_NEAR(MeridianArc(p, Rad(41.7)), 4618315.7678, 1e-4);
}

// The meridian convergence at the reference points (their E, N and scale factor are chain
// cases: tests/transform/chains/projection_reference_points.chains).
TEST(TmForward, ConvergenceAtTheReferencePoints) {
  const struct {
    double phi, dLambda, gamma;
  } cases[] = {{38, 0, 0}, {38, 1.5, 0.9236248909}, {35, -4, -2.2968434233},
               {41.7, 4.5, 2.9970095780}};
  const GeodeticParams p = MakeGrs80Params(kTm87);
  for (const auto& c : cases) {
    EXPECT_NEAR(Deg(TmScaleConvergence(p, Rad(c.phi), Rad(c.dLambda)).convergence), c.gamma,
                1e-10)
        << c.phi << " " << c.dLambda;
  }
}

TEST(TmForward, CentralMeridianMirrorAndFalseNorthing) {
  const GeodeticParams p87 = MakeGrs80Params(kTm87);
  const GeodeticParams p07 = MakeGrs80Params(kTm07);
  // On the central meridian: E = FE exactly, N = FN + k0 M, k = k0, gamma = 0.
  const GridPoint onMeridian = TmForward(p87, Rad(38), 0);
  EXPECT_EQ(onMeridian.easting, 500000);
  EXPECT_DOUBLE_EQ(onMeridian.northing, 0.9996 * MeridianArc(p87, Rad(38)));
  EXPECT_EQ(TmScaleConvergence(p87, Rad(38), 0).scale, 0.9996);
  EXPECT_EQ(TmScaleConvergence(p87, Rad(38), 0).convergence, 0);
  // Mirrored about the central meridian.
  const GridPoint east = TmForward(p87, Rad(38), Rad(1.5));
  const GridPoint west = TmForward(p87, Rad(38), Rad(-1.5));
  EXPECT_NEAR(east.easting - 500000, 500000 - west.easting, 1e-9);
  EXPECT_EQ(east.northing, west.northing);
  EXPECT_EQ(TmScaleConvergence(p87, Rad(38), Rad(1.5)).scale,
            TmScaleConvergence(p87, Rad(38), Rad(-1.5)).scale);
  EXPECT_EQ(TmScaleConvergence(p87, Rad(38), Rad(1.5)).convergence,
            -TmScaleConvergence(p87, Rad(38), Rad(-1.5)).convergence);
  // TM07 differs by its false northing only.
  const GridPoint tm07 = TmForward(p07, Rad(38), Rad(1.5));
  EXPECT_EQ(tm07.easting, east.easting);
  EXPECT_EQ(tm07.northing, east.northing - 2000000);
  EXPECT_NEAR(tm07.easting, 631699.6695, 1e-4);
  EXPECT_NEAR(tm07.northing, 2206876.5232, 1e-4);
}

// The reference points of the inverse are chain cases
// (tests/transform/chains/projection_reference_points.chains).
TEST(TmInverse, OnTheCentralMeridianTheLongitudeIsLambda0Exactly) {
  const GeodeticParams p = MakeGrs80Params(kTm87);
  EXPECT_EQ(TmInverse(p, 500000, 4200000).longitude, Rad(24));
}

TEST(TmInverse, IntermediateValues) {
  const double f = 1 / 298.257222101;
  EXPECT_NEAR(Deg(FootpointLatitude(4500000 / 0.9996, 6378137, f, 1e-15)), 40.650856516605,
              1e-12);
  EXPECT_NEAR(Deg(FootpointLatitude(4200000 / 0.9996, 6378137, f, 1e-15)), 37.947589572782,
              1e-12);
  const double e = std::sqrt(f * (2 - f));
  EXPECT_NEAR(IsometricLatitude(Rad(38), e), 0.713863034389702, 1e-15);
  const double ep2 = f * (2 - f) / ((1 - f) * (1 - f));
  // The iteration recovers a latitude from its own isometric latitude.
  const double psi = IsometricLatitude(Rad(38), e);
  EXPECT_NEAR(LatitudeFromIsometric(psi, e, ep2, 25, 1e-15), Rad(38), 1e-15);
  // The three forms agree with the closed formula and its numerical derivative.
  const IsometricTerms terms = IsometricLatitudeTerms(Rad(38), e, ep2);
  EXPECT_NEAR(terms.psi, psi, 1e-15);
  const double h = 1e-6;
  EXPECT_NEAR(terms.dpsi,
              (IsometricLatitude(Rad(38) + h, e) - IsometricLatitude(Rad(38) - h, e)) / (2 * h),
              1e-8);
  const IsometricTerms up = IsometricLatitudeTerms(Rad(38) + h, e, ep2);
  const IsometricTerms down = IsometricLatitudeTerms(Rad(38) - h, e, ep2);
  EXPECT_NEAR(terms.d2psi, (up.dpsi - down.dpsi) / (2 * h), 1e-7);
}

TEST(TmInverse, RoundTripOverGreeceOnBothProjections) {
  for (const Projection& projection : {kTm87, kTm07}) {
    const GeodeticParams p = MakeGrs80Params(projection);
    double worst = 0;
    for (double phi = 34; phi <= 42.0001; phi += 0.25) {
      for (double dl = -4.5; dl <= 4.5001; dl += 0.25) {
        const GridPoint g = TmForward(p, Rad(phi), Rad(dl));
        const TmInverseResult r = TmInverse(p, g.easting, g.northing);
        worst = std::max(worst, std::fabs(r.latitude - Rad(phi)));
        worst = std::max(worst, std::fabs(r.longitude - Rad(24 + dl)));
      }
    }
    EXPECT_LT(worst, 1e-13) << "false northing " << projection.falseNorthing;
  }
}

}  // namespace
}  // namespace vortan

namespace vortan {
namespace {

// One value of pi everywhere, and the two prescribed spellings of lambda0 in radians giving
// the same double for the central meridians of both regions.
TEST(GeodeticParams, PiAndTheTwoSpellingsOfTheCentralMeridian) {
  EXPECT_EQ(kPi, 4 * std::atan(1.0));
  for (double lambda0 : {24.0, 27.0, 30.0}) {
    GeodeticParams p = MakeGrs80Params({lambda0, 0.9996, 500000, 0});
    EXPECT_EQ(CentralMeridianRad(p), CentralMeridianRadByPi(p)) << lambda0;
  }
}

}  // namespace
}  // namespace vortan
