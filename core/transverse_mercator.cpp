#include "core/transverse_mercator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstddef>
#include <utility>

#include "core/angles.h"
#include "core/math_functions.h"
#include "core/numeric_guard.h"
#include "core/detail/tm_series.h"
#include "core/simd.h"
#include "core/tm_coefficients.h"

namespace vortan {
namespace {


// Highest order of the series tables.
constexpr int kMaxOrder = 15;

using tm_series::SeriesPair;
using Pair = simd::Double2;

static_assert(tm_tables::kEastingCoefficients.back().k == kMaxOrder);
static_assert(tm_tables::kLongitudeCoefficients.back().k == kMaxOrder);

// sin 2x, sin 4x, sin 6x, sin 8x from one sincos by the multiple-angle recurrence.
struct EvenSines {
  double s2, s4, s6, s8;
};

EvenSines EvenMultipleSines(double s2, double c2) {
  const double s4 = 2 * s2 * c2;
  const double c4 = 1 - 2 * s2 * s2;
  return {s2, s4, s4 * c2 + c4 * s2, 2 * s4 * c4};
}

EvenSines EvenMultipleSines(double x) {
  double s2, c2;
  math::SinCos(2 * x, s2, c2);
  return EvenMultipleSines(s2, c2);
}

// sin x and 1 - cos x of a small angle (|x| below 0.01), by as many terms of their series as
// x needs for the last bit of a double beside terms of 1 (the rest left out is below 1e-21):
// to x^9 and x^8 for the first turns of the iterations, the first term or two for the later
// ones, which shrink by a factor of a thousand or more a pass. 1 - cos x is what the turns
// need, without the loss of digits of 1 - c.
inline void SmallSinCos(double x, double& st, double& omc) {
  const double ax = std::fabs(x);
  const double x2 = x * x;
  if (ax < 1e-11) {  // x^2 / 2 < 5e-23
    st = x;
    omc = 0;
  } else if (ax < 1e-6) {  // x^3 / 6 < 1.7e-19, x^4 / 24 < 5e-26
    st = x;
    omc = x2 / 2;
  } else if (ax < 1e-4) {  // x^5 / 120 < 1e-22, x^6 / 720 < 1.4e-27
    st = x - x * x2 / 6;
    omc = x2 * (0.5 - x2 / 24);
  } else {
    constexpr double s3 = -1.0 / 6, s5 = 1.0 / 120, s7 = -1.0 / 5040, s9 = 1.0 / 362880;
    constexpr double c2 = 1.0 / 2, c4 = -1.0 / 24, c6 = 1.0 / 720, c8 = -1.0 / 40320;
    st = x + x * x2 * (s3 + x2 * (s5 + x2 * (s7 + x2 * s9)));
    omc = x2 * (c2 + x2 * (c4 + x2 * (c6 + x2 * c8)));
  }
}

// Turns sin a, cos a on to sin(a + x), cos(a + x) for a small angle x (|x| below 0.01).
inline void Turn(double x, double& s, double& c) {
  double st, omc;
  SmallSinCos(x, st, omc);
  const double sn = s + (c * st - s * omc);
  c = c - (s * st + c * omc);
  s = sn;
}

// ln(1 + r) for |r| below 0.01 by its series to r^9 (the rest is below 1e-21), shorter for the
// small r of the later passes.
double Log1pSmall(double r) {
  const double ar = std::fabs(r);
  if (ar < 1e-6) return r - r * r * (0.5 - r / 3);  // r^4 / 4 < 2.5e-25
  const double r2 = r * r;
  if (ar < 1e-4) return r - r2 * ((0.5 - r / 3) + r2 * (0.25 - r / 5));  // r^6 / 6 < 2e-25
  const double r4 = r2 * r2;
  const double low = (0.5 - r / 3) + r2 * (0.25 - r / 5);
  const double high = (1.0 / 6 - r / 7) + r2 * (0.125 - r / 9);
  return r - r2 * (low + r4 * high);
}

// atanh x for |x| up to the first eccentricity (tm_series::AtanhSeries).
double AtanhSmall(double x) {
  return tm_series::AtanhSeries(x, [](double c) { return c; });
}

// The isometric latitude from sin phi and cos phi: ln|tan(phi/2 + pi/4)| is ln|(1 + sin phi) /
// cos phi|, and ln(((1 - e sin phi)/(1 + e sin phi))^(e/2)) is -e atanh(e sin phi): one
// logarithm where the formula names a tangent, a power and a logarithm.
double IsometricFrom(double s, double c, double e, const math::Functions& fn = {}) {
  return fn.Log(std::fabs((1 + s) / c)) - e * AtanhSmall(e * s);
}

// The meridian arc's series at phi, given sin 2k phi (k = 1 to 4).
double MeridianArcSeries(const GeodeticParams& params, double phi, const EvenSines& s) {
  const tm_series::MeridianArcTerms c = tm_series::MeridianArcOf(params.flattening);
  return params.semiMajorAxis *
         (c.a0 * phi - c.a2 / 2 * s.s2 + c.a4 / 2 * s.s4 - c.a6 / 2 * s.s6 + c.a8 / 2 * s.s8);
}

// MeridianArc with sin 2 phi and cos 2 phi formed from sin phi and cos phi.
double MeridianArcFrom(const GeodeticParams& params, double phi, double s, double c) {
  return MeridianArcSeries(params, phi, EvenMultipleSines(2 * s * c, (c - s) * (c + s)));
}

}  // namespace

double MeridianArc(const GeodeticParams& params, double phi) {
  return MeridianArcSeries(params, phi, EvenMultipleSines(phi));
}

namespace {

// E, N of TmForward, given sin phi, cos phi and tan phi.
GridPoint ForwardFrom(const GeodeticParams& params, double phi, double dLambda, double s,
                      double c, double t) {
  const double a = params.semiMajorAxis;
  const double f = params.flattening;
  const double k0 = params.scaleFactor;
  const double m = MeridianArcFrom(params, phi, s, c);
  const double e2 = f * (2 - f);
  const double ep2 = e2 / ((1 - f) * (1 - f));
  const double eta2 = c * c * ep2;
  const double v2 = 1 + eta2;
  const double n = a / ((1 - f) * std::sqrt(v2));
  const double t2 = t * t;
  const double l = c * dLambda;
  const Pair series =
      SeriesPair<tm_tables::kEastingCoefficients, tm_tables::kNorthingCoefficients>(l, t2, eta2);
  const double east = series[0];
  const double north = series[1];
  const GridPoint g{params.falseEasting + k0 * n * east,
                    params.falseNorthing + k0 * m + k0 * n * t * north};
  NoteResults(g.easting, g.northing);
  return g;
}

// The powers of t^2, eta^2 and l = c dLambda that the scale and convergence series use.
struct ScaleTerms {
  double t2, t4, t6, eta2, eta4, eta6, eta8, v2, l2, l4, l6;
};

ScaleTerms ScaleTermsFrom(const GeodeticParams& params, double dLambda, double c, double t) {
  const double f = params.flattening;
  const double ep2 = f * (2 - f) / ((1 - f) * (1 - f));
  ScaleTerms p;
  p.t2 = t * t;
  p.t4 = p.t2 * p.t2;
  p.t6 = p.t4 * p.t2;
  p.eta2 = ep2 * c * c;
  p.eta4 = p.eta2 * p.eta2;
  p.eta6 = p.eta4 * p.eta2;
  p.eta8 = p.eta4 * p.eta4;
  p.v2 = 1 + p.eta2;
  const double l = c * dLambda;
  p.l2 = l * l;
  p.l4 = p.l2 * p.l2;
  p.l6 = p.l4 * p.l2;
  return p;
}

// Point scale factor k, k0 included.
double ScaleFrom(const GeodeticParams& params, const ScaleTerms& p) {
  const double k = params.scaleFactor *
                   (1 + p.l2 / 2 * p.v2 +
                    p.l4 / 24 *
                        (5 - 4 * p.t2 + 14 * p.eta2 - 28 * p.t2 * p.eta2 + 13 * p.eta4 -
                         48 * p.t2 * p.eta4 + 4 * p.eta6 - 24 * p.t2 * p.eta6) +
                    p.l6 / 720 * (61 - 148 * p.t2 + 16 * p.t4));
  NoteResult(k);
  return k;
}

}  // namespace

GridPoint TmForward(const GeodeticParams& params, double phi, double dLambda) {
  double s, c;
  math::SinCos(phi, s, c);
  return ForwardFrom(params, phi, dLambda, s, c, s / c);
}

double TmPointScale(const GeodeticParams& params, double phi, double lambda) {
  return TmScaleConvergence(params, phi, lambda - CentralMeridianRad(params)).scale;
}

ScaleConvergence TmScaleConvergence(const GeodeticParams& params, double phi, double dLambda) {
  double s, c;
  math::SinCos(phi, s, c);
  const ScaleTerms p = ScaleTermsFrom(params, dLambda, c, s / c);
  const double tanGamma =
      s * dLambda *
      (1 + p.l2 / 3 * (1 + p.t2 + 3 * p.eta2 + 2 * p.eta4) +
       p.l4 / 15 *
           (2 + 4 * p.t2 + 2 * p.t4 + 15 * p.eta2 + 35 * p.eta4 - 40 * p.t2 * p.eta4 +
            33 * p.eta6 - 60 * p.t2 * p.eta6 + 11 * p.eta8 - 24 * p.t2 * p.eta8) +
       17 * p.l6 / 315 * (1 + 3 * p.t2 + 3 * p.t4 + p.t6));
  NoteResult(tanGamma);
  return {math::Atan(tanGamma), ScaleFrom(params, p)};
}

GridPointScale TmForwardScale(const GeodeticParams& params, double phi, double dLambda) {
  double s, c;
  math::SinCos(phi, s, c);
  const double t = s / c;
  const GridPoint g = ForwardFrom(params, phi, dLambda, s, c, t);
  return {g.easting, g.northing, ScaleFrom(params, ScaleTermsFrom(params, dLambda, c, t))};
}

GridPoint TmForwardOfTan(const GeodeticParams& params, double phi, double tanPhi, double dLambda) {
  const double c = 1 / std::sqrt(1 + tanPhi * tanPhi);
  return ForwardFrom(params, phi, dLambda, tanPhi * c, c, tanPhi);
}

GridPointScale TmForwardScaleOfTan(const GeodeticParams& params, double phi, double tanPhi,
                                   double dLambda) {
  const double c = 1 / std::sqrt(1 + tanPhi * tanPhi);
  const GridPoint g = ForwardFrom(params, phi, dLambda, tanPhi * c, c, tanPhi);
  return {g.easting, g.northing, ScaleFrom(params, ScaleTermsFrom(params, dLambda, c, tanPhi))};
}

namespace {

// FootpointLatitude of n arcs side by side: the passes of the iterations are interleaved, so
// that the processor overlaps their chains; each lane goes through exactly the operations of
// an iteration of its own and stops at its own pass.
template <std::size_t n>
void FootpointLatitudes(const double* m, double a, double f, double tolerance, double* out,
                        const math::Functions& fn = {}) {
  // The correction as sin 2phi times a cubic in cos 2phi (tm_series::FootpointOf), its
  // coefficients formed once; the cubic is evaluated in two halves that overlap. Each pass
  // waits for the one before: this is its chain.
  const tm_series::FootpointTerms terms = tm_series::FootpointOf(f);
  const double nf = terms.n, g = terms.g;
  const double k0 = terms.k0, k1 = terms.k1, k2 = terms.k2, k3 = terms.k3;
  double mu[n], phi[n], s2[n], c2[n];
  bool done[n];
  for (std::size_t k = 0; k < n; ++k) {
    mu[k] = m[k] * (1 + nf) / (a * g);
    phi[k] = mu[k];
    // sin 2 phi and cos 2 phi of the first pass by the library; after it, phi moves by less
    // than a hundredth of a radian a pass, and the pair is turned on by that angle.
    fn.SinCos(2 * phi[k], s2[k], c2[k]);
    done[k] = false;
  }
  for (int pass = 1;; ++pass) {
    bool all = true;
    for (std::size_t k = 0; k < n; ++k) {
      if (done[k]) continue;
      const double delta = s2[k] * ((k0 + k1 * c2[k]) + (c2[k] * c2[k]) * (k2 + k3 * c2[k]));
      // The correction of the last pass is not applied.
      if (pass > kFootpointMaxPasses || std::fabs((phi[k] - mu[k]) - delta) < tolerance) {
        out[k] = phi[k];
        done[k] = true;
        continue;
      }
      all = false;
      const double next = delta + mu[k];
      const double turn = 2 * (next - phi[k]);
      if (std::fabs(turn) < 0.01) {
        Turn(turn, s2[k], c2[k]);
      } else {
        fn.SinCos(2 * next, s2[k], c2[k]);
      }
      phi[k] = next;
    }
    if (all) return;
  }
}

}  // namespace

double FootpointLatitude(double m, double a, double f, double tolerance) {
  double phi;
  FootpointLatitudes<1>(&m, a, f, tolerance, &phi);
  return phi;
}

double IsometricLatitude(double phi, double e) {
  double s, c;
  math::SinCos(phi, s, c);
  return IsometricFrom(s, c, e);
}

IsometricTerms IsometricLatitudeTerms(double phi, double e, double ep2) {
  double s, c;
  math::SinCos(phi, s, c);
  const double psi = IsometricFrom(s, c, e);
  const double v2 = 1 + ep2 * c * c;
  const double dpsi = 1 / (v2 * c);
  const double d2psi = s / (c * c) * (3 * v2 - 2) / (v2 * v2);
  return {psi, dpsi, d2psi};
}

namespace {

// LatitudeFromIsometric of n targets side by side, as FootpointLatitudes: each lane exactly the
// operations of an iteration of its own.
template <std::size_t n>
void LatitudesFromIsometric(const double* psiTarget, double e, double ep2, int maxPasses,
                            double tolerance, double* out, const math::Functions& fn = {}) {
  // The starting value 2 atan(E) - pi/2 with E = exp(psiTarget) has sin phi = (E^2 - 1) /
  // (E^2 + 1) and cos phi = 2 E / (E^2 + 1), and ln((1 + sin phi) / cos phi) = ln E is the
  // target itself: the first pass needs neither sin, cos nor a logarithm. Each later pass turns
  // sin phi and cos phi on by its small step (Turn) and carries dLn = ln((1 + sin phi) / cos
  // phi) - psiTarget on by ln((1 + sin phi') / cos phi') - ln((1 + sin phi) / cos phi) =
  // ln(1 + r), r = (cos phi (1 - cos x) + sin x (1 + sin phi)) / ((1 + sin phi) cos phi'), so
  // that psi - psiTarget is formed without the difference of two nearly equal numbers.
  double phi[n], s[n], c[n], dLn[n];
  bool done[n];
  for (std::size_t k = 0; k < n; ++k) {
    const double ex = fn.Exp(psiTarget[k]);
    phi[k] = 2 * fn.Atan(ex) - kPi / 2;
    const double ex2 = ex * ex;
    s[k] = (ex2 - 1) / (ex2 + 1);
    c[k] = 2 * ex / (ex2 + 1);
    dLn[k] = 0;
    done[k] = false;
  }
  for (int counter = 0;; ++counter) {
    bool all = true;
    for (std::size_t k = 0; k < n; ++k) {
      if (done[k]) continue;
      // The terms of IsometricLatitudeTerms with their quotients formed directly: 1 / psi' is
      // V^2 cos phi, and psi'' / psi' is sin phi (3 V^2 - 2) / (V^2 cos phi).
      const double dPsi = dLn[k] - e * AtanhSmall(e * s[k]);  // psi(phi) - psiTarget
      const double v2 = 1 + ep2 * c[k] * c[k];
      const double h = dPsi * (v2 * c[k]);
      const double g = 1 - s[k] * (3 * v2 - 2) / (v2 * c[k]) * h;
      const double newton = phi[k] - h;
      const double halley = phi[k] - h / g;
      const double next = (halley + newton) / 2;
      if (counter > maxPasses || std::fabs(phi[k] - next) < tolerance) {
        out[k] = next;
        done[k] = true;
        continue;
      }
      all = false;
      const double x = next - phi[k];
      if (std::fabs(x) < 0.01) {
        double st, omc;
        SmallSinCos(x, st, omc);
        const double sn = s[k] + (c[k] * st - s[k] * omc);
        const double cn = c[k] - (s[k] * st + c[k] * omc);
        const double r = (c[k] * omc + st * (1 + s[k])) / ((1 + s[k]) * cn);
        dLn[k] += std::fabs(r) < 0.01 ? Log1pSmall(r) : math::Log1p(r);
        s[k] = sn;
        c[k] = cn;
      } else {
        fn.SinCos(next, s[k], c[k]);
        dLn[k] = fn.Log(std::fabs((1 + s[k]) / c[k])) - psiTarget[k];
      }
      phi[k] = next;
    }
    if (all) return;
  }
}

// TmInverse of n positions side by side; without packed, the packed angles are left out (0).
template <std::size_t n, bool packed = true>
void TmInverseLanes(const GeodeticParams& params, const double* easting, const double* northing,
                    TmInverseResult* out) {
  const double a = params.semiMajorAxis;
  const tm_series::InverseTerms terms = tm_series::InverseOf(a, params.inverseFlattening);
  const double f = terms.f, e = terms.e, ep2 = terms.ep2;
  const double lambda0 = CentralMeridianRadByPi(params);
  const double k0 = params.scaleFactor;
  const math::Functions fn;
  double m[n], phi1[n];
  for (std::size_t k = 0; k < n; ++k) m[k] = (northing[k] - params.falseNorthing) / k0;
  FootpointLatitudes<n>(m, a, f, kFootpointTolerance, phi1, fn);
  double psi[n], dLambda[n], phi[n];
  for (std::size_t k = 0; k < n; ++k) {
    const double x = easting[k] - params.falseEasting;
    double s1, c1;
    fn.SinCos(phi1[k], s1, c1);
    const double t1 = s1 / c1;
    const double eta2 = ep2 * c1 * c1;
    const double v2 = 1 + eta2;
    const double n1 = a / ((1 - f) * std::sqrt(v2));
    const double d = x / (k0 * n1);
    const double t2 = t1 * t1;
    const double psi1 = IsometricFrom(s1, c1, e, fn);
    const Pair series =
        SeriesPair<tm_tables::kIsometricLatitudeCoefficients, tm_tables::kLongitudeCoefficients>(
            d, t2, eta2);
    psi[k] = psi1 + (t1 / c1) * series[0];
    dLambda[k] = (1 / c1) * series[1];
  }
  LatitudesFromIsometric<n>(psi, e, ep2, kIsometricMaxPasses, kIsometricTolerance, phi, fn);
  // The domain: a Northing within a quarter meridian of the equator (terms.quarter), and a
  // result on the projection's half of the ellipsoid (|phi| <= 90 degrees, |lambda - lambda0|
  // <= 90 degrees). Beyond it the series give numbers without meaning: the position has no
  // inverse, an invalid operation like the logarithm of a negative number, which the
  // numeric-fault guard reports.
  for (std::size_t k = 0; k < n; ++k) {
    const double lambda = lambda0 + dLambda[k];
    NoteResults(phi[k], lambda);
    if (!(std::fabs(m[k]) <= terms.quarter && std::fabs(phi[k]) <= kPi / 2 &&
          std::fabs(dLambda[k]) <= kPi / 2)) {
      RaiseNumericFault(NumericFault::kInvalid);
      const double nan = std::numeric_limits<double>::quiet_NaN();
      out[k] = {nan, nan, nan, nan};
      continue;
    }
    if constexpr (packed) {
      out[k] = {phi[k], lambda, RadiansToDms(phi[k]).packed, RadiansToDms(lambda).packed};
    } else {
      out[k] = {phi[k], lambda, 0, 0};
    }
  }
}

}  // namespace

double LatitudeFromIsometric(double psiTarget, double e, double ep2, int maxPasses,
                             double tolerance) {
  double phi;
  LatitudesFromIsometric<1>(&psiTarget, e, ep2, maxPasses, tolerance, &phi);
  return phi;
}

TmInverseResult TmInverse(const GeodeticParams& params, double easting, double northing) {
  TmInverseResult r;
  TmInverseLanes<1>(params, &easting, &northing, &r);
  return r;
}

namespace {

template <bool packed>
void TmInversesOf(const GeodeticParams& params, const double* easting, const double* northing,
                  std::size_t n, TmInverseResult* out) {
  std::size_t k = 0;
  for (; k + 4 <= n; k += 4) {
    TmInverseLanes<4, packed>(params, easting + k, northing + k, out + k);
  }
  if (k + 2 <= n) {
    TmInverseLanes<2, packed>(params, easting + k, northing + k, out + k);
    k += 2;
  }
  if (k < n) TmInverseLanes<1, packed>(params, easting + k, northing + k, out + k);
}

}  // namespace

void TmInverses(const GeodeticParams& params, const double* easting, const double* northing,
                std::size_t n, TmInverseResult* out, bool packed) {
  if (packed) {
    TmInversesOf<true>(params, easting, northing, n, out);
  } else {
    TmInversesOf<false>(params, easting, northing, n, out);
  }
}

}  // namespace vortan
