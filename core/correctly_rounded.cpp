// Correctly rounded sine, cosine, arctangent, exponential and logarithms: each value is computed
// as a double-double (about 104 bits) and rounded once. Double-double arithmetic from exact
// products (Veltkamp's split and Dekker's product, no fused multiply-add) and exact sums
// (Knuth's two-sum), in plain double operations only (SSE2 on x86-64: nothing here depends on
// the x87 control word); sine and cosine by a reduction by pi / 2 and their Taylor series, the
// exponential by a reduction by ln 2 and its Taylor series, the arctangent near zero by its
// series and elsewhere by one Newton step from a value good to a few units of the last place
// (ArctangentStart), which doubles its bits; the logarithm likewise by one Newton step from
// LogarithmStart (the starts are the core's own functions). A result is wrong only where the
// exact value lies within about 2^-100 of it of a rounding boundary. The reference computation
// of every build, and the arguments the own functions leave to it (core/math_functions.h); the
// C library is called only for arguments no chain passes (sine and cosine beyond 2^20, the
// exponential beyond +-708, non-finite numbers, the logarithm of zero, of negative or of
// subnormal numbers).
#include <cmath>
#include <limits>

#include "core/math_functions.h"

namespace vortan::math {
namespace internal {
constinit thread_local bool exact = false;
constinit thread_local bool nearBoundary = false;
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

// The integer nearest x (|x| < 2^51) by adding and taking away 1.5 * 2^52, in the rounding of
// the double operations themselves (MinGW's nearbyint is x87 code).
double NearestInteger(double x) {
  constexpr double kShifter = 0x1.8p52;
  return (x + kShifter) - kShifter;
}

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

// sin r and cos r for |r| <= pi / 4 by their Taylor series (to r^27 and r^28).
void SinCosSeries(DD r, DD& s, DD& c) {
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

// The tables of sin a, cos a and e^a at a = j / 64: the arguments of the series below are then
// at most 1/128 (plus the error of a reduction), and eight terms reach 2^-110.
constexpr double kTableStep = 64;
constexpr int kSinCosEntries = 52;  // up to pi / 4
constexpr int kExpEntries = 24;     // up to ln 2 / 2, both signs
struct Tables {
  DD sine[kSinCosEntries], cosine[kSinCosEntries];
  DD exp[2 * kExpEntries + 1];  // e^((j - kExpEntries) / 64)
  Tables() {
    for (int j = 0; j < kSinCosEntries; ++j) SinCosSeries(DD{j / kTableStep}, sine[j], cosine[j]);
    const InverseFactorials& f = Factorials();
    for (int j = -kExpEntries; j <= kExpEntries; ++j) {
      const DD a{j / kTableStep};
      DD sum{0};
      for (int n = kTerms - 1; n >= 0; --n) sum = sum * a + f.value[n];
      exp[j + kExpEntries] = sum;
    }
  }
};
const Tables& TheTables() {
  static const Tables t;
  return t;
}

// sin b and cos b for |b| <= 1/128 (and a little): the terms from b^8 on, below 2^-70 of the
// value, in double precision.
void SinCosTiny(DD b, DD& s, DD& c) {
  const InverseFactorials& f = Factorials();
  const DD b2 = b * b;
  const double x2 = b2.hi;
  const double sinTail = (f.value[13].hi * x2 - f.value[11].hi) * x2 + f.value[9].hi;
  const double cosTail = ((-f.value[14].hi * x2 + f.value[12].hi) * x2 - f.value[10].hi) * x2 +
                         f.value[8].hi;
  DD sinSum{sinTail}, cosSum{cosTail};
  for (int n = 7; n >= 1; n -= 2) {
    sinSum = sinSum * b2 + ((n / 2) % 2 == 0 ? f.value[n] : -f.value[n]);
  }
  for (int n = 6; n >= 0; n -= 2) {
    cosSum = cosSum * b2 + ((n / 2) % 2 == 0 ? f.value[n] : -f.value[n]);
  }
  s = sinSum * b;
  c = cosSum;
}

// sin r and cos r for |r| <= pi / 4: r = a + b with a = j / 64 from the tables.
void SinCosSmall(DD r, DD& s, DD& c) {
  const double j = NearestInteger(r.hi * kTableStep);
  const int index = static_cast<int>(std::fabs(j));
  const Tables& t = TheTables();
  const DD sa = j < 0 ? -t.sine[index] : t.sine[index];
  const DD& ca = t.cosine[index];
  DD sb, cb;
  SinCosTiny(r - DD{j / kTableStep}, sb, cb);
  s = sa * cb + ca * sb;
  c = ca * cb - sa * sb;
}

// sin x and cos x as double-doubles, for |x| < 2^20.
void SinCos(double x, DD& s, DD& c) {
  const double k = NearestInteger(x / kPiOver2[0]);
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

// ln 2 in three parts.
constexpr double kLn2[] = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56, 0x1.7b57a079a1934p-111};
constexpr double kExpLimit = 708;  // beyond it the result overflows or is subnormal

// e^r for |r| <= ln 2 / 2 (and a little): r = a + b with a = j / 64 from the table, e^b by its
// Taylor series, the terms from b^7 on, below 2^-60 of the value, in double precision.
DD ExpSmall(DD r) {
  const InverseFactorials& f = Factorials();
  const double j = NearestInteger(r.hi * kTableStep);
  const DD b = r - DD{j / kTableStep};
  const double x = b.hi;
  double tail = 0;
  for (int n = 12; n >= 7; --n) tail = tail * x + f.value[n].hi;
  DD sum{tail};
  for (int n = 6; n >= 0; --n) sum = sum * b + f.value[n];
  return TheTables().exp[static_cast<int>(j) + kExpEntries] * sum;
}

// ln m for m in [sqrt(1/2), sqrt(2)], good to two units of the last place: the core's own
// logarithm (core/elementary.cpp).
double LogarithmStart(double m) { return OwnLog(m); }

// ln of m (in [sqrt(1/2), sqrt(2)], a double-double) plus exponent ln 2: one Newton step from
// y0 = LogarithmStart, ln m = y0 + ln(1 + u) with u = m e^-y0 - 1 (|u| < 2^-50, so that
// ln(1 + u) = u - u^2 / 2 to 2^-150).
double LogarithmOf(DD m, int exponent) {
  const double y0 = LogarithmStart(m.hi);
  const DD u = m * ExpSmall(DD{-y0}) - DD{1};
  const DD lnM = DD{y0} + (u - DD{0.5} * u * u);
  const double k = exponent;
  const DD kLn2Sum = TwoProduct(k, kLn2[0]) + (TwoProduct(k, kLn2[1]) + DD{k * kLn2[2]});
  return Round(kLn2Sum + lnM);
}

// m and exponent with x = m 2^exponent and m in [sqrt(1/2), sqrt(2)), for a positive normal x.
double Mantissa(double x, int& exponent) {
  double m = std::frexp(x, &exponent);
  if (m < 0.70710678118654752) {
    m *= 2;
    --exponent;
  }
  return m;
}

// atan x good to a unit of the last place: the core's own arctangent (core/elementary.cpp).
double ArctangentStart(double x) { return OwnAtan(x); }

// atan2(y, x) from ArctangentStart, as good.
double Arctangent2Start(double y, double x) {
  if (std::fabs(y) <= std::fabs(x)) {
    const double t = ArctangentStart(y / x);
    if (x > 0) return t;
    return y >= 0 ? t + 2 * kPiOver2[0] : t - 2 * kPiOver2[0];
  }
  const double t = ArctangentStart(x / y);
  return y > 0 ? kPiOver2[0] - t : -kPiOver2[0] - t;
}

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

void CorrectlyRoundedSinCos(double x, double& s, double& c) {
  if (Special(x) || std::fabs(x) >= kReducibleLimit) {
    s = CorrectlyRoundedSin(x);
    c = CorrectlyRoundedCos(x);
    return;
  }
  DD sd, cd;
  SinCos(x, sd, cd);
  s = Round(sd);
  c = Round(cd);
}

// Near zero by the series; elsewhere a Newton step on f(t) = sin t - x cos t, whose derivative
// is cos t + x sin t = 1 / cos t at the root, from the library's arctangent.
double CorrectlyRoundedAtan(double x) {
  if (Special(x)) return std::atan(x);
  if (std::fabs(x) < 0.015625) return Round(AtanSeries(DD{x}));
  if (std::fabs(x) > 1e300) return std::atan(x);
  const double t0 = ArctangentStart(x);
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
  const double t0 = Arctangent2Start(y, x);
  DD s, c;
  SinCos(t0, s, c);
  const DD f = DD{x} * s - DD{y} * c;
  const DD slope = DD{x} * c + DD{y} * s;
  return Round(DD{t0} - f / slope);
}

// e^x = 2^k e^r with r = x - k ln 2 (ln 2 in three parts, the products exact).
double CorrectlyRoundedExp(double x) {
  if (!std::isfinite(x) || std::fabs(x) > kExpLimit) return std::exp(x);
  const double k = NearestInteger(x / kLn2[0]);
  DD r = DD{x} - TwoProduct(k, kLn2[0]);
  r = r - TwoProduct(k, kLn2[1]);
  r = r - DD{k * kLn2[2]};
  return std::ldexp(Round(ExpSmall(r)), static_cast<int>(k));
}

double CorrectlyRoundedLog(double x) {
  if (!std::isfinite(x) || !(x >= std::numeric_limits<double>::min())) return std::log(x);
  int exponent = 0;
  const double m = Mantissa(x, exponent);
  return LogarithmOf(DD{m}, exponent);
}

// ln(1 + x) with 1 + x as an exact double-double, scaled by a power of two.
double CorrectlyRoundedLog1p(double x) {
  if (!std::isfinite(x) || !(x > -1) || std::fabs(x) > 1e300) return std::log1p(x);
  if (std::fabs(x) < 1e-300) return x;
  const DD sum = TwoSum(1, x);
  int exponent = 0;
  const double m = Mantissa(sum.hi, exponent);
  return LogarithmOf(DD{m, std::ldexp(sum.lo, -exponent)}, exponent);
}

}  // namespace vortan::math
