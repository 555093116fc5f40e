// The core evaluates its series by Horner's rule laid out at compile time (the two series of a
// projection side by side), shares the sines and tangents of one point between routines, forms
// multiple angles by recurrence and turns sines and cosines on by small angles. These tests
// hold it against a plain, direct evaluation of the same formulas (powers by std::pow,
// factorials, every coefficient table read row by row, every sine by its own call) on a dense
// net over the served area, with the TM87 and the TM07 constants: 1e-9 m and 1e-14 rad; and the
// whole chains of both directions, in both regions, against the plain formulas step by step.
#include <array>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/geodetic_params.h"
#include "core/tm_coefficients.h"
#include "core/transverse_mercator.h"
#include "engine/chains.h"
#include "engine/conversion.h"
#include "transform/correction_grid.h"
#include "transform/datum.h"
#include "transform/helmert.h"
#include "transform/region_profile.h"

namespace vortan {
namespace {

// The routines compute with the core's own sine and cosine, the formulas here with the C
// library's: each within a unit in the last place, a few units of 5e6 m apart.
constexpr double kMetreTolerance = 4e-9;
constexpr double kRadianTolerance = 1e-14;
constexpr double kPi = 3.141592653589793238462643383279502884;
constexpr double kDegree = kPi / 180;

double Factorial(int k) {
  double r = 1;
  for (int i = 2; i <= k; ++i) r *= i;
  return r;
}

// Sum over every row of a table of x^k / k! * eta2^(etaPower / 2) * sum_q t[q] * t2^q.
template <std::size_t R>
double PlainSeries(const std::array<tm_tables::SeriesRow, R>& rows, double x, double t2,
                   double eta2) {
  double sum = 0;
  for (const tm_tables::SeriesRow& row : rows) {
    double poly = 0;
    for (std::size_t q = 0; q < row.t.size(); ++q) poly += row.t[q] * std::pow(t2, q);
    sum += std::pow(x, row.k) / Factorial(row.k) * std::pow(eta2, row.etaPower / 2) * poly;
  }
  return sum;
}

double PlainMeridianArc(double a, double f, double phi) {
  const double n = f / (2 - f);
  const double k = (1 - n) * (1 - std::pow(n, 2));
  const double a0 = (1 + 9.0 / 4 * std::pow(n, 2) + 225.0 / 64 * std::pow(n, 4)) * k;
  const double a2 = k * (3 * n + 45.0 / 8 * std::pow(n, 3));
  const double a4 = k * (15.0 / 8 * std::pow(n, 2) + 105.0 / 32 * std::pow(n, 4));
  const double a6 = std::pow(n, 3) * 35 * k / 24;
  const double a8 = std::pow(n, 4) * 315 * k / 256;
  return a * (a0 * phi - a2 / 2 * std::sin(2 * phi) + a4 / 2 * std::sin(4 * phi) -
              a6 / 2 * std::sin(6 * phi) + a8 / 2 * std::sin(8 * phi));
}

struct PlainForward {
  double e, n, k, gamma;
};

PlainForward PlainTmForward(const GeodeticParams& p, double phi, double dLambda) {
  const double a = p.semiMajorAxis, f = p.flattening, k0 = p.scaleFactor;
  const double e2 = f * (2 - f);
  const double ep2 = e2 / std::pow(1 - f, 2);
  const double c = std::cos(phi), s = std::sin(phi), t = std::tan(phi);
  const double eta2 = ep2 * std::pow(c, 2);
  const double n = a / ((1 - f) * std::sqrt(1 + eta2));
  const double t2 = std::pow(t, 2);
  const double l = c * dLambda;
  PlainForward r;
  r.e = p.falseEasting + k0 * n * PlainSeries(tm_tables::kEastingCoefficients, l, t2, eta2);
  r.n = p.falseNorthing + k0 * PlainMeridianArc(a, f, phi) +
        k0 * n * t * PlainSeries(tm_tables::kNorthingCoefficients, l, t2, eta2);
  const double e4 = std::pow(eta2, 2), e6 = std::pow(eta2, 3), e8 = std::pow(eta2, 4);
  const double t4 = std::pow(t, 4), t6 = std::pow(t, 6);
  r.gamma = std::atan(
      s * dLambda *
      (1 + std::pow(l, 2) / 3 * (1 + t2 + 3 * eta2 + 2 * e4) +
       std::pow(l, 4) / 15 *
           (2 + 4 * t2 + 2 * t4 + 15 * eta2 + 35 * e4 - 40 * t2 * e4 + 33 * e6 - 60 * t2 * e6 +
            11 * e8 - 24 * t2 * e8) +
       17 * std::pow(l, 6) / 315 * (1 + 3 * t2 + 3 * t4 + t6)));
  r.k = k0 * (1 + std::pow(l, 2) / 2 * (1 + eta2) +
              std::pow(l, 4) / 24 *
                  (5 - 4 * t2 + 14 * eta2 - 28 * t2 * eta2 + 13 * e4 - 48 * t2 * e4 + 4 * e6 -
                   24 * t2 * e6) +
              std::pow(l, 6) / 720 * (61 - 148 * t2 + 16 * t4));
  return r;
}

double PlainFootpoint(double m, double a, double f) {
  const double n = f / (2 - f);
  const double g = 1 + std::pow(n, 2) / 4 + std::pow(n, 4) / 64;
  const double b2 = 3.0 / 2 * (n - std::pow(n, 3) / 8);
  const double b4 = 15 * (std::pow(n, 2) - std::pow(n, 4) / 4) / 16;
  const double b6 = 35 * std::pow(n, 3) / 48;
  const double b8 = 315 * std::pow(n, 4) / 512;
  const double mu = m * (1 + n) / (a * g);
  double phi = mu;
  for (int pass = 1;; ++pass) {
    const double delta = -(-b2 * std::sin(2 * phi) + b4 * std::sin(4 * phi) -
                           b6 * std::sin(6 * phi) + b8 * std::sin(8 * phi)) /
                         g;
    if (pass > 20 || std::fabs((phi - mu) - delta) < 1e-15) return phi;
    phi = delta + mu;
  }
}

double PlainIsometric(double phi, double e) {
  const double es = e * std::sin(phi);
  return std::log(std::pow((1 - es) / (1 + es), e / 2) * std::tan(phi / 2 + kPi / 4));
}

double PlainLatitudeFromIsometric(double psiTarget, double e, double ep2) {
  double phi = 2 * std::atan(std::exp(psiTarget)) - kPi / 2;
  for (int counter = 0;; ++counter) {
    const double psi = PlainIsometric(phi, e);
    const double v2 = 1 + ep2 * std::pow(std::cos(phi), 2);
    const double dpsi = 1 / (v2 * std::cos(phi));
    const double d2psi =
        std::sin(phi) / std::pow(std::cos(phi), 2) * (3 * v2 - 2) / std::pow(v2, 2);
    const double h = (psi - psiTarget) / dpsi;
    const double g = 1 - d2psi * h / dpsi;
    const double next = ((phi - h / g) + (phi - h)) / 2;
    if (counter > 25 || std::fabs(phi - next) < 1e-15) return next;
    phi = next;
  }
}

struct PlainInverse {
  double phi, lambda;
};

PlainInverse PlainTmInverse(const GeodeticParams& p, double easting, double northing) {
  const double a = p.semiMajorAxis, f = 1 / p.inverseFlattening, k0 = p.scaleFactor;
  const double x = easting - p.falseEasting, y = northing - p.falseNorthing;
  const double e2 = f * (2 - f);
  const double e = std::sqrt(e2);
  const double ep2 = e2 / std::pow(1 - f, 2);
  const double phi1 = PlainFootpoint(y / k0, a, f);
  const double t1 = std::tan(phi1), c1 = std::cos(phi1);
  const double eta2 = ep2 * std::pow(c1, 2);
  const double n1 = a / ((1 - f) * std::sqrt(1 + eta2));
  const double d = x / (k0 * n1);
  const double t2 = std::pow(t1, 2);
  const double psi = PlainIsometric(phi1, e) +
                     t1 / c1 * PlainSeries(tm_tables::kIsometricLatitudeCoefficients, d, t2, eta2);
  return {PlainLatitudeFromIsometric(psi, e, ep2),
          p.centralMeridianDeg * kDegree +
              PlainSeries(tm_tables::kLongitudeCoefficients, d, t2, eta2) / c1};
}

Cartesian PlainGeodeticToCartesian(const GeodeticParams& p, double phi, double lambda, double h) {
  const double a = p.semiMajorAxis, f = p.flattening;
  const double e2 = 2 * f - std::pow(f, 2);
  const double n = a / std::sqrt(1 - std::pow(std::sin(phi), 2) * e2);
  return {(n + h) * std::cos(phi) * std::cos(lambda), (n + h) * std::cos(phi) * std::sin(lambda),
          ((1 - e2) * n + h) * std::sin(phi)};
}

// Six passes of the iteration on the reduced latitude (the points have X > 0).
Geodetic PlainCartesianToGeodetic(const GeodeticParams& p, const Cartesian& c) {
  const double a = p.semiMajorAxis;
  const double q = 1 - 1 / p.inverseFlattening;
  const double aE2 = a * (1 - std::pow(q, 2));
  const double pp = std::sqrt(std::pow(c.y, 2) + std::pow(c.x, 2));
  double t = c.z / (q * pp);
  for (int pass = 0; pass < 6; ++pass) {
    const double s = std::sqrt(1 + std::pow(t, 2));
    t = (q * c.z + aE2 * std::pow(t / s, 3)) / (pp - aE2 / std::pow(s, 3));
  }
  const double s = std::sqrt(1 + std::pow(t, 2));
  const double dp = pp - a / s;
  const double h = std::copysign(std::hypot(c.z - t * (q * a) / s, dp), dp > 0 ? 1.0 : -1.0);
  return {std::atan(t / q), std::atan(c.y / c.x), h};
}

struct Net {
  double phi, dLambda;
};

// Latitude 34 to 42 degrees, longitude difference -4.5 to 4.5 degrees, every 0.05 degrees.
std::vector<Net> DenseNet() {
  std::vector<Net> net;
  for (int i = 0; i <= 160; ++i) {
    for (int j = -90; j <= 90; ++j) net.push_back({(34 + i * 0.05) * kDegree, j * 0.05 * kDegree});
  }
  return net;
}

class CoreReference : public ::testing::TestWithParam<bool> {
 protected:
  // TM87 or TM07 constants of the mainland.
  GeodeticParams Params() const {
    return MakeGrs80Params(GetParam() ? kMainlandProfile.tm07 : kMainlandProfile.tm87);
  }
};

TEST_P(CoreReference, MeridianArcAsThePlainSeries) {
  const GeodeticParams p = Params();
  for (int i = 0; i <= 8000; ++i) {
    const double phi = (34 + i * 0.001) * kDegree;
    ASSERT_NEAR(MeridianArc(p, phi), PlainMeridianArc(p.semiMajorAxis, p.flattening, phi),
                kMetreTolerance);
  }
}

TEST_P(CoreReference, ForwardProjectionAsThePlainSeries) {
  const GeodeticParams p = Params();
  for (const Net& x : DenseNet()) {
    const GridPoint g = TmForward(p, x.phi, x.dLambda);
    const PlainForward r = PlainTmForward(p, x.phi, x.dLambda);
    ASSERT_NEAR(g.easting, r.e, kMetreTolerance) << x.phi << " " << x.dLambda;
    ASSERT_NEAR(g.northing, r.n, kMetreTolerance) << x.phi << " " << x.dLambda;
  }
}

TEST_P(CoreReference, ScaleAndConvergenceAsThePlainSeries) {
  const GeodeticParams p = Params();
  for (const Net& x : DenseNet()) {
    const ScaleConvergence s = TmScaleConvergence(p, x.phi, x.dLambda);
    const PlainForward r = PlainTmForward(p, x.phi, x.dLambda);
    ASSERT_NEAR(s.scale, r.k, 1e-15);
    ASSERT_NEAR(s.convergence, r.gamma, kRadianTolerance);
  }
}

TEST_P(CoreReference, ForwardWithScaleIsTheTwoRoutinesBitForBit) {
  const GeodeticParams p = Params();
  for (const Net& x : DenseNet()) {
    const GridPointScale both = TmForwardScale(p, x.phi, x.dLambda);
    const GridPoint g = TmForward(p, x.phi, x.dLambda);
    const ScaleConvergence s = TmScaleConvergence(p, x.phi, x.dLambda);
    ASSERT_EQ(both.easting, g.easting);
    ASSERT_EQ(both.northing, g.northing);
    ASSERT_EQ(both.scale, s.scale);
  }
}

TEST_P(CoreReference, InverseProjectionAsThePlainIterations) {
  const GeodeticParams p = Params();
  for (const Net& x : DenseNet()) {
    const PlainForward f = PlainTmForward(p, x.phi, x.dLambda);
    const TmInverseResult g = TmInverse(p, f.e, f.n);
    const PlainInverse r = PlainTmInverse(p, f.e, f.n);
    ASSERT_NEAR(g.latitude, r.phi, kRadianTolerance) << f.e << " " << f.n;
    ASSERT_NEAR(g.longitude, r.lambda, kRadianTolerance) << f.e << " " << f.n;
    ASSERT_EQ(g.packedLatitude, RadiansToDms(g.latitude).packed);
    ASSERT_EQ(g.packedLongitude, RadiansToDms(g.longitude).packed);
  }
}

TEST_P(CoreReference, FootpointAndIsometricLatitudeAsThePlainFormulas) {
  const GeodeticParams p = Params();
  const double f = 1 / p.inverseFlattening;
  const double e = std::sqrt(f * (2 - f));
  const double ep2 = f * (2 - f) / std::pow(1 - f, 2);
  for (int i = 0; i <= 8000; ++i) {
    const double phi = (34 + i * 0.001) * kDegree;
    const double m = PlainMeridianArc(p.semiMajorAxis, f, phi);
    ASSERT_NEAR(FootpointLatitude(m, p.semiMajorAxis, f, 1e-15),
                PlainFootpoint(m, p.semiMajorAxis, f), kRadianTolerance);
    const double psi = PlainIsometric(phi, e);
    ASSERT_NEAR(IsometricLatitude(phi, e), psi, kRadianTolerance);
    ASSERT_NEAR(LatitudeFromIsometric(psi, e, ep2, 25, 1e-15),
                PlainLatitudeFromIsometric(psi, e, ep2), kRadianTolerance);
  }
}

TEST_P(CoreReference, CartesianConversionsAsThePlainFormulas) {
  const GeodeticParams p = Params();
  const double a = p.semiMajorAxis, f = p.flattening;
  for (const Net& x : DenseNet()) {
    const double lambda = 24 * kDegree + x.dLambda;
    for (double h : {-60.0, 850.0, 2900.0}) {
      // Five steps of the closed formula.
      const double e2 = 2 * f - std::pow(f, 2);
      const double n = a / std::sqrt(1 - std::pow(std::sin(x.phi), 2) * e2);
      const double px = (n + h) * std::cos(x.phi) * std::cos(lambda);
      const double py = (n + h) * std::cos(x.phi) * std::sin(lambda);
      const double pz = ((1 - e2) * n + h) * std::sin(x.phi);
      const Cartesian c = GeodeticToCartesian(p, x.phi, lambda, h);
      ASSERT_NEAR(c.x, px, kMetreTolerance);
      ASSERT_NEAR(c.y, py, kMetreTolerance);
      ASSERT_NEAR(c.z, pz, kMetreTolerance);
      // Six passes of the iteration on the reduced latitude.
      const double q = 1 - 1 / p.inverseFlattening;
      const double aE2 = a * (1 - std::pow(q, 2));
      const double pp = std::sqrt(std::pow(py, 2) + std::pow(px, 2));
      double t = pz / (q * pp);
      for (int pass = 0; pass < 6; ++pass) {
        const double s = std::sqrt(1 + std::pow(t, 2));
        t = (q * pz + aE2 * std::pow(t / s, 3)) / (pp - aE2 / std::pow(s, 3));
      }
      const double s = std::sqrt(1 + std::pow(t, 2));
      const double dp = pp - a / s;
      const double ph = std::copysign(std::hypot(pz - t * (q * a) / s, dp), dp > 0 ? 1.0 : -1.0);
      const Geodetic g = CartesianToGeodetic(p, px, py, pz);
      ASSERT_NEAR(g.latitude, std::atan(t / q), kRadianTolerance);
      ASSERT_NEAR(g.longitude, std::atan(py / px), kRadianTolerance);
      ASSERT_NEAR(g.height, ph, kMetreTolerance);
    }
  }
}

TEST_P(CoreReference, CartesianPairIsTwoConversionsBitForBit) {
  const GeodeticParams p = Params();
  const std::vector<Net> net = DenseNet();
  for (std::size_t i = 0; i + 1 < net.size(); i += 7) {
    const Cartesian a = GeodeticToCartesian(p, net[i].phi, 24 * kDegree + net[i].dLambda, 100);
    const Cartesian b =
        GeodeticToCartesian(p, net[i + 1].phi, 24 * kDegree + net[i + 1].dLambda, -40);
    const std::array<Geodetic, 2> both = CartesianToGeodeticPair(p, a, b);
    for (int k = 0; k < 2; ++k) {
      const Cartesian& c = k == 0 ? a : b;
      const Geodetic one = CartesianToGeodetic(p, c.x, c.y, c.z);
      ASSERT_EQ(both[k].latitude, one.latitude);
      ASSERT_EQ(both[k].longitude, one.longitude);
      ASSERT_EQ(both[k].height, one.height);
    }
  }
}

TEST_P(CoreReference, InversePairIsTwoInversesBitForBit) {
  const GeodeticParams p = Params();
  const std::vector<Net> net = DenseNet();
  // Neighbours, and points far apart whose iterations take different numbers of passes.
  for (std::size_t i = 0; i + 1 < net.size(); i += 5) {
    const std::size_t j = (i * 7919 + 1) % net.size();
    const GridPoint a = TmForward(p, net[i].phi, net[i].dLambda);
    const GridPoint b = TmForward(p, net[j].phi, net[j].dLambda);
    const double e[] = {a.easting, b.easting}, n[] = {a.northing, b.northing};
    std::array<TmInverseResult, 2> both;
    TmInverses(p, e, n, 2, both.data());
    for (int k = 0; k < 2; ++k) {
      const TmInverseResult one = TmInverse(p, k == 0 ? a.easting : b.easting,
                                            k == 0 ? a.northing : b.northing);
      ASSERT_EQ(both[k].latitude, one.latitude) << i << " " << k;
      ASSERT_EQ(both[k].longitude, one.longitude);
      ASSERT_EQ(both[k].packedLatitude, one.packedLatitude);
      ASSERT_EQ(both[k].packedLongitude, one.packedLongitude);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Tm87AndTm07, CoreReference, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Tm07" : "Tm87");
                         });

// Bilinear interpolation written out cell by cell: row i from the north, column j from the
// west, the weights of the four corners.
TEST(CoreReferenceGrid, InterpolationAsThePlainBilinearFormula) {
  std::string error;
  const std::optional<CorrectionGrid> dn =
      ReadCorrectionGrid(VORTAN_TEST_DATA "/reference/grids/dN_2km_V1-0.grd", error);
  const std::optional<CorrectionGrid> de =
      ReadCorrectionGrid(VORTAN_TEST_DATA "/reference/grids/dE_2km_V1-0.grd", error);
  ASSERT_TRUE(dn && de) << error;
  const GridPair grids{*dn, *de};
  const GridHeader& h = grids.dN.header;
  for (int i = 0; i <= 400; ++i) {
    for (int j = 0; j <= 400; ++j) {
      const double northing = h.nSouth + 5 + i * (h.rowCount - 1) * h.step / 400.7;
      const double easting = h.eWest + 3 + j * (h.columnCount - 1) * h.step / 400.9;
      const std::optional<Correction> c = InterpolateCorrection(grids, northing, easting);
      ASSERT_TRUE(c.has_value());
      const double u = (h.nNorth() - northing) / h.step;  // rows from the north
      const double v = (easting - h.eWest) / h.step;      // columns from the west
      const int row = std::min(static_cast<int>(std::floor(u)) + 1, h.rowCount - 1);
      const int col = std::min(static_cast<int>(std::floor(v)) + 1, h.columnCount - 1);
      const double t = row - u;  // weight of row `row`
      const double s = v - (col - 1);
      auto plain = [&](const CorrectionGrid& g) {
        return (1 - s) * ((1 - t) * g.Value(row + 1, col) + t * g.Value(row, col)) +
               s * ((1 - t) * g.Value(row + 1, col + 1) + t * g.Value(row, col + 1));
      };
      ASSERT_NEAR(c->dN, plain(grids.dN), 1e-4);
      ASSERT_NEAR(c->dE, plain(grids.dE), 1e-4);
    }
  }
}

// A context of the region with the test grids loaded (the Kastelorizo profile has none).
TransformContext ReadyContext(const RegionProfile& profile) {
  TransformContext context = MakeContext(profile, kDataFileBounds);
  EXPECT_EQ(InitialStep(context, VORTAN_TEST_DATA "/reference/grids/dN_2km_V1-0.grd",
                        VORTAN_TEST_DATA "/reference/grids/dE_2km_V1-0.grd"),
            "");
  return context;
}

// The grid correction at a TM07 position as the chains take it: none outside the extent or the
// grid, zero where the region has no grids.
std::optional<Correction> PlainCorrection(const TransformContext& context, double e07,
                                          double n07) {
  if (!context.profile->hasGrids) return Correction{0, 0};
  if (!InsideGridBounds(context.bounds, e07, n07, context.profile->tm07.falseNorthing)) {
    return std::nullopt;
  }
  return InterpolateCorrection(*context.grids, n07, e07);
}

// Latitudes and longitudes over the served area of each region, every 0.1 degrees (also beyond
// the mainland grid, where the point stops outside it).
std::vector<std::array<double, 2>> RegionNet(const RegionProfile& profile) {
  std::vector<std::array<double, 2>> net;
  const bool mainland = profile.hasGrids;
  const double lat0 = mainland ? 33.5 : 35.6, lon0 = mainland ? 19.5 : 29.0;
  const int rows = mainland ? 90 : 14, columns = mainland ? 90 : 16;
  for (int i = 0; i <= rows; ++i) {
    for (int j = 0; j <= columns; ++j) {
      net.push_back({(lat0 + i * 0.1) * kDegree, (lon0 + j * 0.1) * kDegree});
    }
  }
  return net;
}

// The whole chains against the plain formulas, step by step and end to end. A step whose input
// the chain shows (a latitude, a grid position) is held against the plain formula at that
// input, to 1e-9 m and 1e-14 rad like the routines above; the chain as a whole against the
// plain chain to 1e-12 rad and 2e-8 m: the last bit of a latitude, 1.1e-16 rad, is 0.7e-9 m on
// the ground, so two evaluations of a chain whose latitudes differ in their last bit already
// differ by about 1e-9 m in the positions projected from them, and the footpoint iteration
// stops anywhere within 1e-15 rad (6e-9 m) of its limit: the lanes, which start it at the
// limit, end up to that far from the plain routine (tests/engine/lanes_test.cpp holds the
// same 2e-8 m).
constexpr double kChainMetreTolerance = 2e-8;
constexpr double kChainRadianTolerance = 1e-12;

// From HTRS07 X, Y, Z (the batch job's chain, with its two conversions side by side and sin
// and cos of the latitudes from their tangents): geodetic, TM07, the extent test and the grid
// at that position, Helmert, geodetic on GGRS87, TM87, the correction, and the inverse TM87 of
// the corrected position.
TEST(CoreReferenceChain, ForwardChainAsThePlainFormulas) {
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    const TransformContext context = ReadyContext(*profile);
    const GeodeticParams tm07 = MakeGrs80Params(profile->tm07);
    const GeodeticParams tm87 = MakeGrs80Params(profile->tm87);
    const double lambda07 = profile->tm07.centralMeridianDeg * kDegree;
    const double lambda87 = profile->tm87.centralMeridianDeg * kDegree;
    int outside = 0;
    int k = 0;
    for (const auto& [phi, lambda] : RegionNet(*profile)) {
      const Cartesian c = PlainGeodeticToCartesian(tm07, phi, lambda, 10.0 * (k++ % 300) - 60);
      const PointResult r = Conversion(context, Form::kHtrs07Xyz, Form::kGgrs87Tm87)
                                .Chain(Xyz{c.x, c.y, c.z}.data());
      ASSERT_TRUE(r.Completed(Stage::kTm07)) << phi << " " << lambda;
      const Geodetic g07 = PlainCartesianToGeodetic(tm07, c);
      ASSERT_NEAR(r.htrs07.latitude, g07.latitude, kRadianTolerance);
      ASSERT_NEAR(r.htrs07.longitude, g07.longitude, kRadianTolerance);
      ASSERT_NEAR(r.htrs07.height, g07.height, kMetreTolerance);
      const PlainForward p07 = PlainTmForward(tm07, r.htrs07.latitude, r.htrs07.longitude - lambda07);
      ASSERT_NEAR(r.htrs07.easting, p07.e, kMetreTolerance);
      ASSERT_NEAR(r.htrs07.northing, p07.n, kMetreTolerance);
      ASSERT_NEAR(r.htrs07.scale, p07.k, 1e-15);
      const std::optional<Correction> correction =
          PlainCorrection(context, r.htrs07.easting, r.htrs07.northing);
      ASSERT_EQ(r.status == PointStatus::kOutsideGrid, !correction) << p07.e << " " << p07.n;
      if (!correction) {
        ++outside;
        continue;
      }
      ASSERT_EQ(r.dE, correction->dE);
      ASSERT_EQ(r.dN, correction->dN);
      const Cartesian c87 = HelmertTransform(profile->helmert, c.x, c.y, c.z, +1);
      const Geodetic g87 = PlainCartesianToGeodetic(tm87, c87);
      ASSERT_NEAR(r.ggrs87.height, g87.height, kMetreTolerance);
      const PlainForward p87 = PlainTmForward(tm87, g87.latitude, g87.longitude - lambda87);
      const double e87 = p87.e + correction->dE / 100.0, n87 = p87.n + correction->dN / 100.0;
      ASSERT_NEAR(r.uncorrectedEasting, p87.e, kChainMetreTolerance);
      ASSERT_NEAR(r.uncorrectedNorthing, p87.n, kChainMetreTolerance);
      ASSERT_NEAR(r.ggrs87.easting, e87, kChainMetreTolerance);
      ASSERT_NEAR(r.ggrs87.northing, n87, kChainMetreTolerance);
      const PlainInverse step = PlainTmInverse(tm87, r.ggrs87.easting, r.ggrs87.northing);
      ASSERT_NEAR(r.ggrs87.latitude, step.phi, kRadianTolerance);
      ASSERT_NEAR(r.ggrs87.longitude, step.lambda, kRadianTolerance);
      const PlainInverse whole = PlainTmInverse(tm87, e87, n87);
      ASSERT_NEAR(r.ggrs87.latitude, whole.phi, kChainRadianTolerance);
      ASSERT_NEAR(r.ggrs87.longitude, whole.lambda, kChainRadianTolerance);
    }
    if (profile->hasGrids) {
      EXPECT_GT(outside, 0);
    } else {
      EXPECT_EQ(outside, 0);
    }
  }
}

// The batch job's block of points is the point function to the last bit: inside and outside
// the grid, in both regions, and with points that raise a numeric fault among them (their group
// is computed again point by point).
TEST(CoreReferenceChain, ForwardBlockIsThePointFunctionBitForBit) {
  constexpr double kHuge = 1e300;
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    const TransformContext context = ReadyContext(*profile);
    const GeodeticParams tm07 = MakeGrs80Params(profile->tm07);
    std::vector<Xyz> points;
    int k = 0;
    for (const auto& [phi, lambda] : RegionNet(*profile)) {
      const Cartesian c = PlainGeodeticToCartesian(tm07, phi, lambda, 10.0 * (k % 300) - 60);
      points.push_back({c.x, c.y, c.z});
      if (++k % 97 == 0) points.push_back({kHuge, kHuge, kHuge});
      if (k % 149 == 0) points.push_back({0, 0, 0});
    }
    std::vector<PointResult> block(points.size());
    const StageChain chain(context, Form::kHtrs07Xyz);
    chain.Run(points.data(), points.size(), block.data());
    int faults = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const Xyz& v = points[i];
      const PointResult one = chain.Run(v);
      const PointResult& b = block[i];
      faults += one.status == PointStatus::kFault;
      ASSERT_EQ(b.status, one.status) << i;
      ASSERT_EQ(b.completed, one.completed) << i;
      ASSERT_EQ(b.failed, one.failed) << i;
      ASSERT_STREQ(b.fault, one.fault) << i;
      const double got[] = {b.htrs07.latitude, b.htrs07.longitude, b.htrs07.packedLatitude,
                            b.htrs07.packedLongitude, b.htrs07.height, b.htrs07.easting,
                            b.htrs07.northing, b.htrs07.scale, b.ggrs87.latitude,
                            b.ggrs87.longitude, b.ggrs87.packedLatitude,
                            b.ggrs87.packedLongitude, b.ggrs87.height, b.ggrs87.easting,
                            b.ggrs87.northing, b.uncorrectedEasting, b.uncorrectedNorthing,
                            b.dE, b.dN};
      const double want[] = {one.htrs07.latitude, one.htrs07.longitude,
                             one.htrs07.packedLatitude, one.htrs07.packedLongitude,
                             one.htrs07.height, one.htrs07.easting, one.htrs07.northing,
                             one.htrs07.scale, one.ggrs87.latitude, one.ggrs87.longitude,
                             one.ggrs87.packedLatitude, one.ggrs87.packedLongitude,
                             one.ggrs87.height, one.ggrs87.easting, one.ggrs87.northing,
                             one.uncorrectedEasting, one.uncorrectedNorthing, one.dE, one.dN};
      for (std::size_t f = 0; f < std::size(got); ++f) {
        // NaN of a faulted stage compares by its bits.
        ASSERT_EQ(std::memcmp(&got[f], &want[f], sizeof(double)), 0) << i << " value " << f;
      }
    }
    EXPECT_GT(faults, 0);
  }
}

// From GGRS87 TM87 E, N, h: the inverse TM87, X, Y, Z on GGRS87, Helmert with the parameters
// negated, geodetic on HTRS07, TM07, the correction at that position subtracted, and the inverse
// TM07 of the corrected position.
TEST(CoreReferenceChain, BackChainAsThePlainFormulas) {
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    const TransformContext context = ReadyContext(*profile);
    const GeodeticParams tm07 = MakeGrs80Params(profile->tm07);
    const GeodeticParams tm87 = MakeGrs80Params(profile->tm87);
    const double lambda07 = profile->tm07.centralMeridianDeg * kDegree;
    const double lambda87 = profile->tm87.centralMeridianDeg * kDegree;
    int outside = 0;
    int k = 0;
    for (const auto& [phi, lambda] : RegionNet(*profile)) {
      const PlainForward entry = PlainTmForward(tm87, phi, lambda - lambda87);
      const double h = 10.0 * (k++ % 300) - 60;
      const PointResult r = Conversion(context, Form::kGgrs87Tm87, Form::kHtrs07Tm07)
                                .Chain(Xyz{entry.e, entry.n, h}.data());
      ASSERT_TRUE(r.Completed(Stage::kGgrs87Geographic));
      const PlainInverse g87 = PlainTmInverse(tm87, entry.e, entry.n);
      ASSERT_NEAR(r.ggrs87.latitude, g87.phi, kRadianTolerance);
      ASSERT_NEAR(r.ggrs87.longitude, g87.lambda, kRadianTolerance);
      const Cartesian c87 = PlainGeodeticToCartesian(tm07, g87.phi, g87.lambda, h);
      const Cartesian c07 = HelmertTransform(profile->helmert, c87.x, c87.y, c87.z, -1);
      const Geodetic g07 = PlainCartesianToGeodetic(tm07, c07);
      const PlainForward p07 = PlainTmForward(tm07, g07.latitude, g07.longitude - lambda07);
      // The grid position is the chain's own: its correction is the plain interpolation there.
      const std::optional<Correction> correction =
          PlainCorrection(context, r.uncorrectedEasting, r.uncorrectedNorthing);
      ASSERT_EQ(r.status == PointStatus::kOutsideGrid, !correction) << p07.e << " " << p07.n;
      if (!correction) {
        ++outside;
        continue;
      }
      ASSERT_EQ(r.dE, -correction->dE);
      ASSERT_EQ(r.dN, -correction->dN);
      ASSERT_NEAR(r.htrs07.height, g07.height, kChainMetreTolerance);
      ASSERT_NEAR(r.uncorrectedEasting, p07.e, kChainMetreTolerance);
      ASSERT_NEAR(r.uncorrectedNorthing, p07.n, kChainMetreTolerance);
      const double e07 = p07.e - correction->dE / 100.0, n07 = p07.n - correction->dN / 100.0;
      ASSERT_NEAR(r.htrs07.easting, e07, kChainMetreTolerance);
      ASSERT_NEAR(r.htrs07.northing, n07, kChainMetreTolerance);
      const PlainInverse step = PlainTmInverse(tm07, r.htrs07.easting, r.htrs07.northing);
      ASSERT_NEAR(r.htrs07.latitude, step.phi, kRadianTolerance);
      ASSERT_NEAR(r.htrs07.longitude, step.lambda, kRadianTolerance);
      const PlainInverse whole = PlainTmInverse(tm07, e07, n07);
      ASSERT_NEAR(r.htrs07.latitude, whole.phi, kChainRadianTolerance);
      ASSERT_NEAR(r.htrs07.longitude, whole.lambda, kChainRadianTolerance);
    }
    if (profile->hasGrids) {
      EXPECT_GT(outside, 0);
    } else {
      EXPECT_EQ(outside, 0);
    }
  }
}

}  // namespace
}  // namespace vortan
