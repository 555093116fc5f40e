// Correctly rounded sine, cosine and arctangent: each value is computed as a double-double
// (about 104 bits) and rounded once. Double-double arithmetic from exact products (Veltkamp's
// split and Dekker's product, no fused multiply-add) and exact sums (Knuth's two-sum); sine and
// cosine by a reduction by pi / 2 and their Taylor series, the arctangent near zero by its
// series and elsewhere by one Newton step from the C library's value, which doubles its 53
// bits. A result is wrong only where the exact value lies within about 2^-100 of it of a
// rounding boundary. Used where the C library's functions are not glibc's
// (core/math_functions.h).
#include <cmath>
#include <limits>

#include "core/math_functions.h"

namespace vortan::math {
namespace internal {
bool checking = false;
thread_local bool exact = false;
thread_local bool nearBoundary = false;
}  // namespace internal

namespace {

struct DD {
  double hi = 0, lo = 0;
};

DD QuickTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

DD TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// a = hi + lo with hi of 26 bits.
void Split(double a, double& hi, double& lo) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double t = kSplitter * a;
  hi = t - (t - a);
  lo = a - hi;
}

DD TwoProduct(double a, double b) {
  const double p = a * b;
  double ah, al, bh, bl;
  Split(a, ah, al);
  Split(b, bh, bl);
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DD operator+(DD a, DD b) {
  DD s = TwoSum(a.hi, b.hi);
  const DD t = TwoSum(a.lo, b.lo);
  s.lo += t.hi;
  s = QuickTwoSum(s.hi, s.lo);
  s.lo += t.lo;
  return QuickTwoSum(s.hi, s.lo);
}

DD operator-(DD a) { return {-a.hi, -a.lo}; }
DD operator-(DD a, DD b) { return a + (-b); }

DD operator*(DD a, DD b) {
  DD p = TwoProduct(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return QuickTwoSum(p.hi, p.lo);
}

DD operator/(DD a, DD b) {
  const double q1 = a.hi / b.hi;
  DD r = a - DD{q1} * b;
  const double q2 = r.hi / b.hi;
  r = r - DD{q2} * b;
  const double q3 = r.hi / b.hi;
  return DD{q1} + (DD{q2} + DD{q3});
}

double Round(DD a) { return a.hi + a.lo; }

// 1 / n! for n = 0 to kTerms - 1, as double-doubles.
constexpr int kTerms = 32;
struct InverseFactorials {
  DD value[kTerms];
  InverseFactorials() {
    value[0] = {1, 0};
    for (int n = 1; n < kTerms; ++n) value[n] = value[n - 1] / DD{static_cast<double>(n)};
  }
};
const InverseFactorials& Factorials() {
  static const InverseFactorials f;
  return f;
}

// pi / 2 in three parts.
constexpr double kPiOver2[] = {1.5707963267948966, 6.123233995736766e-17, -1.4973849048591698e-33};

// sin r and cos r for |r| <= pi / 4 by their Taylor series.
void SinCosSmall(DD r, DD& s, DD& c) {
  const InverseFactorials& f = Factorials();
  const DD r2 = r * r;
  // Horner's rule from the highest term: sin r = r (1 - r^2/3! + ...), cos r = 1 - r^2/2! + ...
  DD sinSum{0}, cosSum{0};
  for (int n = 27; n >= 1; n -= 2) {
    const DD term = (n / 2) % 2 == 0 ? f.value[n] : -f.value[n];
    sinSum = sinSum * r2 + term;
  }
  for (int n = 28; n >= 0; n -= 2) {
    const DD term = (n / 2) % 2 == 0 ? f.value[n] : -f.value[n];
    cosSum = cosSum * r2 + term;
  }
  s = sinSum * r;
  c = cosSum;
}

// sin x and cos x as double-doubles, for |x| < 2^20.
void SinCos(double x, DD& s, DD& c) {
  const double k = std::nearbyint(x / kPiOver2[0]);
  // x - k pi/2, the products formed exactly.
  DD r = DD{x} - TwoProduct(k, kPiOver2[0]);
  r = r - TwoProduct(k, kPiOver2[1]);
  r = r - DD{k * kPiOver2[2]};
  DD sr, cr;
  SinCosSmall(r, sr, cr);
  const long quadrant = static_cast<long>(k) & 3;
  switch (quadrant) {
    case 0: s = sr; c = cr; break;
    case 1: s = cr; c = -sr; break;
    case 2: s = -sr; c = -cr; break;
    default: s = -cr; c = sr; break;
  }
}

constexpr double kReducibleLimit = 1048576.0;  // 2^20

// atan x for |x| < 2^-6 by its series x - x^3/3 + x^5/5 - ...
DD AtanSeries(DD x) {
  const DD x2 = x * x;
  DD sum{0};
  for (int n = 33; n >= 1; n -= 2) {
    const DD term = DD{((n / 2) % 2 == 0 ? 1.0 : -1.0)} / DD{static_cast<double>(n)};
    sum = sum * x2 + term;
  }
  return sum * x;
}

bool Special(double x) { return !std::isfinite(x) || x == 0; }

}  // namespace

double CorrectlyRoundedSin(double x) {
  if (Special(x) || std::fabs(x) >= kReducibleLimit) return std::sin(x);
  DD s, c;
  SinCos(x, s, c);
  return Round(s);
}

double CorrectlyRoundedCos(double x) {
  if (!std::isfinite(x) || std::fabs(x) >= kReducibleLimit) return std::cos(x);
  DD s, c;
  SinCos(x, s, c);
  return Round(c);
}

// Near zero by the series; elsewhere a Newton step on f(t) = sin t - x cos t, whose derivative
// is cos t + x sin t = 1 / cos t at the root, from the library's arctangent.
double CorrectlyRoundedAtan(double x) {
  if (Special(x)) return std::atan(x);
  if (std::fabs(x) < 0.015625) return Round(AtanSeries(DD{x}));
  if (std::fabs(x) > 1e300) return std::atan(x);
  const double t0 = std::atan(x);
  DD s, c;
  SinCos(t0, s, c);
  const DD f = s - DD{x} * c;
  const DD slope = c + DD{x} * s;
  return Round(DD{t0} - f / slope);
}

// The angle of (x, y): near the x axis on its positive side by the series of y / x; elsewhere a
// Newton step on f(t) = x sin t - y cos t from the library's value.
double CorrectlyRoundedAtan2(double y, double x) {
  if (Special(x) || Special(y)) return std::atan2(y, x);
  const double large = std::fmax(std::fabs(x), std::fabs(y));
  if (large > 1e300 || large < 1e-300) return std::atan2(y, x);
  if (x > 0 && std::fabs(y) < 0.015625 * x) return Round(AtanSeries(DD{y} / DD{x}));
  const double t0 = std::atan2(y, x);
  DD s, c;
  SinCos(t0, s, c);
  const DD f = DD{x} * s - DD{y} * c;
  const DD slope = DD{x} * c + DD{y} * s;
  return Round(DD{t0} - f / slope);
}

}  // namespace vortan::math
