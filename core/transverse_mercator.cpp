#include "core/transverse_mercator.h"

#include <cmath>
#include <cstddef>

#include "core/angles.h"
#include "core/tm_coefficients.h"

namespace vortan {
namespace {

using tm_tables::SeriesRow;

constexpr double kFootpointTolerance = 1e-15;  // radians
constexpr int kFootpointMaxPasses = 20;
constexpr double kIsometricTolerance = 1e-15;  // radians
constexpr int kIsometricMaxPasses = 25;

// Highest order of the series tables.
constexpr int kMaxOrder = 15;

constexpr double Factorial(int k) {
  double r = 1;
  for (int i = 2; i <= k; ++i) r *= i;
  return r;
}

// Number of coefficients of a row up to its last non-zero one.
constexpr int RowLength(const SeriesRow& row) {
  int n = 8;
  while (n > 0 && row.t[n - 1] == 0) --n;
  return n;
}

// Value of one series polynomial P_k(t^2, eta^2): the rows [first, last) all have order k and
// ascending powers of eta^2; Horner's rule in eta^2 over the rows and in t^2 within each row.
template <std::size_t R>
double SeriesPolynomial(const std::array<SeriesRow, R>& rows, std::size_t first,
                        std::size_t last, double t2, double eta2) {
  double sum = 0;
  for (std::size_t r = last; r-- > first;) {
    const SeriesRow& row = rows[r];
    double poly = 0;
    for (int q = RowLength(row); q-- > 0;) poly = poly * t2 + row.t[q];
    sum = sum * eta2 + poly;
  }
  return sum;
}

// Sum over the orders k of the table of x^k / k! * P_k(t^2, eta^2), by Horner's rule in x^2
// from the highest order down. All orders of a table have the same parity.
template <std::size_t R>
double SeriesSum(const std::array<SeriesRow, R>& rows, double x, double t2, double eta2) {
  const double x2 = x * x;
  double acc = 0;
  std::size_t last = R;
  while (last > 0) {
    const int k = rows[last - 1].k;
    std::size_t first = last;
    while (first > 0 && rows[first - 1].k == k) --first;
    acc = acc * x2 + SeriesPolynomial(rows, first, last, t2, eta2) / Factorial(k);
    last = first;
  }
  // The lowest order is 1 (odd series) or 2 (even series).
  return rows[0].k == 1 ? acc * x : acc * x2;
}

static_assert(tm_tables::kEastingCoefficients.back().k == kMaxOrder);
static_assert(tm_tables::kLongitudeCoefficients.back().k == kMaxOrder);

// sin 2x, sin 4x, sin 6x, sin 8x from one sincos by the multiple-angle recurrence.
struct EvenSines {
  double s2, s4, s6, s8;
};

EvenSines EvenMultipleSines(double x) {
  const double s2 = std::sin(2 * x);
  const double c2 = std::cos(2 * x);
  const double s4 = 2 * s2 * c2;
  const double c4 = 1 - 2 * s2 * s2;
  return {s2, s4, s4 * c2 + c4 * s2, 2 * s4 * c4};
}

}  // namespace

double MeridianArc(const GeodeticParams& params, double phi) {
  const double f = params.flattening;
  const double n = f / (2 - f);
  const double n2 = n * n;
  const double n3 = n2 * n;
  const double n4 = n2 * n2;
  const double k = (1 - n) * (1 - n2);
  const double a0 = (1 + 9.0 / 4 * n2 + 225.0 / 64 * n4) * k;
  const double a2 = k * (3 * n + 45.0 / 8 * n3);
  const double a4 = k * (15.0 / 8 * n2 + 105.0 / 32 * n4);
  const double a6 = n3 * 35 * k / 24;
  const double a8 = n4 * 315 * k / 256;
  const EvenSines s = EvenMultipleSines(phi);
  return params.semiMajorAxis *
         (a0 * phi - a2 / 2 * s.s2 + a4 / 2 * s.s4 - a6 / 2 * s.s6 + a8 / 2 * s.s8);
}

GridPoint TmForward(const GeodeticParams& params, double phi, double dLambda) {
  const double a = params.semiMajorAxis;
  const double f = params.flattening;
  const double k0 = params.scaleFactor;
  const double m = MeridianArc(params, phi);
  const double e2 = f * (2 - f);
  const double ep2 = e2 / ((1 - f) * (1 - f));
  const double c = std::cos(phi);
  const double t = std::tan(phi);
  const double eta2 = c * c * ep2;
  const double v2 = 1 + eta2;
  const double n = a / ((1 - f) * std::sqrt(v2));
  const double t2 = t * t;
  const double l = c * dLambda;
  const double east = SeriesSum(tm_tables::kEastingCoefficients, l, t2, eta2);
  const double north = SeriesSum(tm_tables::kNorthingCoefficients, l, t2, eta2);
  return {params.falseEasting + k0 * n * east,
          params.falseNorthing + k0 * m + k0 * n * t * north};
}

ScaleConvergence TmScaleConvergence(const GeodeticParams& params, double phi, double dLambda) {
  const double f = params.flattening;
  const double ep2 = f * (2 - f) / ((1 - f) * (1 - f));
  const double s = std::sin(phi);
  const double c = std::cos(phi);
  const double t = std::tan(phi);
  const double t2 = t * t;
  const double t4 = t2 * t2;
  const double t6 = t4 * t2;
  const double eta2 = ep2 * c * c;
  const double eta4 = eta2 * eta2;
  const double eta6 = eta4 * eta2;
  const double eta8 = eta4 * eta4;
  const double v2 = 1 + eta2;
  const double l = c * dLambda;
  const double l2 = l * l;
  const double l4 = l2 * l2;
  const double l6 = l4 * l2;
  const double tanGamma =
      s * dLambda *
      (1 + l2 / 3 * (1 + t2 + 3 * eta2 + 2 * eta4) +
       l4 / 15 *
           (2 + 4 * t2 + 2 * t4 + 15 * eta2 + 35 * eta4 - 40 * t2 * eta4 + 33 * eta6 -
            60 * t2 * eta6 + 11 * eta8 - 24 * t2 * eta8) +
       17 * l6 / 315 * (1 + 3 * t2 + 3 * t4 + t6));
  const double k =
      params.scaleFactor *
      (1 + l2 / 2 * v2 +
       l4 / 24 *
           (5 - 4 * t2 + 14 * eta2 - 28 * t2 * eta2 + 13 * eta4 - 48 * t2 * eta4 + 4 * eta6 -
            24 * t2 * eta6) +
       l6 / 720 * (61 - 148 * t2 + 16 * t4));
  return {std::atan(tanGamma), k};
}

double FootpointLatitude(double m, double a, double f, double tolerance) {
  const double n = f / (2 - f);
  const double n2 = n * n;
  const double n3 = n2 * n;
  const double n4 = n2 * n2;
  const double g = 1 + n2 / 4 + n4 / 64;
  const double b2 = 3.0 / 2 * (n - n3 / 8);
  const double b4 = 15 * (n2 - n4 / 4) / 16;
  const double b6 = 35 * n3 / 48;
  const double b8 = 315 * n4 / 512;
  const double mu = m * (1 + n) / (a * g);
  double phi = mu;
  for (int pass = 1;; ++pass) {
    const EvenSines s = EvenMultipleSines(phi);
    const double delta = -(-b2 * s.s2 + b4 * s.s4 - b6 * s.s6 + b8 * s.s8) / g;
    // The correction of the last pass is not applied.
    if (pass > kFootpointMaxPasses || std::fabs((phi - mu) - delta) < tolerance) return phi;
    phi = delta + mu;
  }
}

double IsometricLatitude(double phi, double e) {
  const double es = e * std::sin(phi);
  const double pi = 4 * std::atan(1.0);
  return std::log(std::pow((1 - es) / (1 + es), e / 2) * std::tan(phi / 2 + pi / 4));
}

IsometricTerms IsometricLatitudeTerms(double phi, double e, double ep2) {
  const double pi = 4 * std::atan(1.0);
  const double s = std::sin(phi);
  const double c = std::cos(phi);
  const double es = e * s;
  const double psi =
      std::log(std::fabs(std::tan(phi / 2 + pi / 4) * std::pow((1 - es) / (1 + es), e / 2)));
  const double v2 = 1 + ep2 * c * c;
  const double dpsi = 1 / (v2 * c);
  const double d2psi = s / (c * c) * (3 * v2 - 2) / (v2 * v2);
  return {psi, dpsi, d2psi};
}

double LatitudeFromIsometric(double psiTarget, double e, double ep2, int maxPasses,
                             double tolerance) {
  const double pi = 4 * std::atan(1.0);
  double phi = 2 * std::atan(std::exp(psiTarget)) - pi / 2;
  for (int counter = 0;; ++counter) {
    const IsometricTerms terms = IsometricLatitudeTerms(phi, e, ep2);
    const double h = (terms.psi - psiTarget) / terms.dpsi;
    const double g = 1 - terms.d2psi * h / terms.dpsi;
    const double newton = phi - h;
    const double halley = phi - h / g;
    const double next = (halley + newton) / 2;
    if (counter > maxPasses || std::fabs(phi - next) < tolerance) return next;
    phi = next;
  }
}

TmInverseResult TmInverse(const GeodeticParams& params, double easting, double northing) {
  const double a = params.semiMajorAxis;
  const double x = easting - params.falseEasting;
  const double y = northing - params.falseNorthing;
  const double f = 1 / params.inverseFlattening;
  const double pi = 4 * std::atan(1.0);
  const double lambda0 = params.centralMeridianDeg * pi / 180;
  const double k0 = params.scaleFactor;
  const double m = y / k0;
  const double e2 = f * (2 - f);
  const double e = std::sqrt(e2);
  const double ep2 = e2 / ((1 - f) * (1 - f));
  const double phi1 = FootpointLatitude(m, a, f, kFootpointTolerance);
  const double t1 = std::tan(phi1);
  const double c1 = std::cos(phi1);
  const double eta2 = ep2 * c1 * c1;
  const double v2 = 1 + eta2;
  const double n1 = a / ((1 - f) * std::sqrt(v2));
  const double d = x / (k0 * n1);
  const double t2 = t1 * t1;
  const double psi1 = IsometricLatitude(phi1, e);
  const double psi =
      psi1 + (t1 / c1) * SeriesSum(tm_tables::kIsometricLatitudeCoefficients, d, t2, eta2);
  const double phi = LatitudeFromIsometric(psi, e, ep2, kIsometricMaxPasses, kIsometricTolerance);
  const double dLambda = (1 / c1) * SeriesSum(tm_tables::kLongitudeCoefficients, d, t2, eta2);
  const double lambda = lambda0 + dLambda;
  return {phi, lambda, RadiansToDms(phi).packed, RadiansToDms(lambda).packed};
}

}  // namespace vortan
