// The evaluation of the projections' series tables (core/tm_coefficients.h), laid out at
// compile time: two tables side by side at the same arguments, the sums of
// x^k / k! * P_k(t^2, eta^2) over their orders k.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "core/simd.h"
#include "core/tm_coefficients.h"

namespace vortan::tm_series {

using tm_tables::SeriesRow;

constexpr double Factorial(int k) {
  double r = 1;
  for (int i = 2; i <= k; ++i) r *= i;
  return r;
}

// 1 / k!, a compile-time constant: a multiplication where the series divides by k!.
constexpr double InverseFactorial(int k) { return 1 / Factorial(k); }

// Number of coefficients of a row up to its last non-zero one.
constexpr std::size_t RowLength(const SeriesRow& row) {
  std::size_t n = row.t.size();
  while (n > 0 && row.t[n - 1] == 0) --n;
  return n;
}

// The series are evaluated by Horner's rule: in t^2 within a row, in eta^2 over the rows of one
// order, and in x^2 over the orders, from the highest power down. The tables are constants, so
// the whole evaluation is laid out at compile time: no loops, no search for the rows of an
// order, every coefficient an immediate operand.
//
// The two series of a projection are evaluated side by side, each in its own lane of a pair of
// doubles (lane-wise IEEE operations, the same on every processor): the easting and northing
// series of the forward projection, the isometric-latitude and longitude series of the
// inverse. Each lane goes through exactly the operations of Horner's rule on its own table, as
// if evaluated alone; the shorter table is padded at the top (its missing highest orders, rows
// and coefficients are zeros), where Horner's rule turns a zero into nothing: 0 * y + c is c.

// The orders of a table, counted from the lowest (j = 0): the first row of order j, and the
// size of the table for j at the count.
template <const auto& kRows>
constexpr std::size_t OrderCount() {
  std::size_t n = 0;
  for (std::size_t r = 0; r < kRows.size(); ++r) n += r == 0 || kRows[r].k != kRows[r - 1].k;
  return n;
}

template <const auto& kRows>
constexpr std::size_t OrderBegin(std::size_t j) {
  std::size_t n = 0;
  for (std::size_t r = 0; r < kRows.size(); ++r) {
    if (r == 0 || kRows[r].k != kRows[r - 1].k) {
      if (n == j) return r;
      ++n;
    }
  }
  return kRows.size();
}

// Rows of order j (0 past the table's orders).
template <const auto& kRows>
constexpr std::size_t OrderRows(std::size_t j) {
  return j < OrderCount<kRows>() ? OrderBegin<kRows>(j + 1) - OrderBegin<kRows>(j) : 0;
}

// Coefficients of row i (the row of eta^2i) of order j, 0 where the table has no such row.
template <const auto& kRows>
constexpr std::size_t CellCount(std::size_t j, std::size_t i) {
  return i < OrderRows<kRows>(j) ? RowLength(kRows[OrderBegin<kRows>(j) + i]) : 0;
}

// Coefficient q of row i of order j, 0 beyond the table.
template <const auto& kRows>
constexpr double Cell(std::size_t j, std::size_t i, std::size_t q) {
  return q < CellCount<kRows>(j, i) ? kRows[OrderBegin<kRows>(j) + i].t[q] : 0;
}

// 1 / k! of order j, 0 past the table's orders.
template <const auto& kRows>
constexpr double OrderFactor(std::size_t j) {
  return j < OrderCount<kRows>() ? InverseFactorial(kRows[OrderBegin<kRows>(j)].k) : 0;
}

// The arithmetic of a pair of series, for the plain pair of doubles below and for pairs of
// vectors of lanes (core/lanes.cpp): Pair with lane-wise + and *, Const(a, b) a pair of
// constants, Both(x) and Of(x, y) pairs of values.
struct DoubleOps {
  using Value = double;
  using Pair = simd::Double2;
  static Pair Const(double a, double b) { return Pair{a, b}; }
  static Pair Both(double x) { return Pair{x, x}; }
  static Pair Of(double x, double y) { return Pair{x, y}; }
};

// The meridian arc's series in n = f / (2 - f): the arc is a (a0 phi - a2/2 sin 2phi +
// a4/2 sin 4phi - a6/2 sin 6phi + a8/2 sin 8phi).
struct MeridianArcTerms {
  double a0, a2, a4, a6, a8;
};
inline MeridianArcTerms MeridianArcOf(double f) {
  const double n = f / (2 - f);
  const double n2 = n * n;
  const double n3 = n2 * n;
  const double n4 = n2 * n2;
  const double k = (1 - n) * (1 - n2);
  return {(1 + 9.0 / 4 * n2 + 225.0 / 64 * n4) * k, k * (3 * n + 45.0 / 8 * n3),
          k * (15.0 / 8 * n2 + 105.0 / 32 * n4), n3 * 35 * k / 24, n4 * 315 * k / 256};
}

// The footpoint latitude's iteration in n = f / (2 - f): phi starts at mu = m (1 + n) / (a g),
// and the correction -(-b2 sin 2phi + b4 sin 4phi - b6 sin 6phi + b8 sin 8phi) / g is sin 2phi
// times the cubic k0 + k1 c + k2 c^2 + k3 c^3 in c = cos 2phi (sin 4x = 2 s c, sin 6x =
// s (4 c^2 - 1), sin 8x = 4 s c (2 c^2 - 1) with s, c of 2 phi).
struct FootpointTerms {
  double n, g, k0, k1, k2, k3;
};
inline FootpointTerms FootpointOf(double f) {
  const double nf = f / (2 - f);
  const double n2 = nf * nf;
  const double n3 = n2 * nf;
  const double n4 = n2 * n2;
  const double g = 1 + n2 / 4 + n4 / 64;
  const double b2 = 3.0 / 2 * (nf - n3 / 8);
  const double b4 = 15 * (n2 - n4 / 4) / 16;
  const double b6 = 35 * n3 / 48;
  const double b8 = 315 * n4 / 512;
  const double inverseG = 1 / g;
  return {nf, g, (b2 - b6) * inverseG, (4 * b8 - 2 * b4) * inverseG, 4 * b6 * inverseG,
          -8 * b8 * inverseG};
}

// A start for the footpoint iteration at its limit: the inverse, to n^6, of the iteration's own
// arc series (FootpointTerms: mu = phi - (b2 sin 2phi - b4 sin 4phi + b6 sin 6phi - b8 sin
// 8phi) / g), phi = mu + d2 sin 2mu + d4 sin 4mu + ... + d12 sin 12mu. To n^4 it is the
// rectifying latitude's inverse series; the terms in n^5 and n^6 are those of this truncation
// of the arc, so that the start lies within about 1e-18 rad of the limit (the first omitted
// terms are in n^7, 4e-20) and the first pass finds it there. Laid out as sin 2mu times the
// quintic q0 + q1 c + ... + q5 c^5 in c = cos 2mu (sin 2kx = sin 2x U_k-1(cos 2x), the
// Chebyshev polynomials of the second kind).
struct SineSeriesStart {
  double q0, q1, q2, q3, q4, q5;
};
using FootpointStartTerms = SineSeriesStart;

// The third flattening n = f / (2 - f) and its powers to the sixth.
struct PowersOfN {
  double n1, n2, n3, n4, n5, n6;
};
inline PowersOfN PowersOfNOf(double f) {
  const double n1 = f / (2 - f);
  const double n2 = n1 * n1;
  const double n3 = n2 * n1;
  const double n4 = n2 * n2;
  return {n1, n2, n3, n4, n4 * n1, n3 * n3};
}

// The series s2 sin 2x + s4 sin 4x + ... + s12 sin 12x laid out as sin 2x times the quintic in
// c = cos 2x (above).
inline SineSeriesStart LaidOutInCos2x(double s2, double s4, double s6, double s8, double s10,
                                      double s12) {
  return {s2 - s6 + s10, 2 * s4 - 4 * s8 + 6 * s12, 4 * s6 - 12 * s10, 8 * s8 - 32 * s12,
          16 * s10, 32 * s12};
}

inline FootpointStartTerms FootpointStartOf(double f) {
  const auto [nf, n2, n3, n4, n5, n6] = PowersOfNOf(f);
  const double d2 = 3.0 / 2 * nf - 27.0 / 32 * n3 + 281.0 / 512 * n5;
  const double d4 = 21.0 / 16 * n2 - 55.0 / 32 * n4 + 4097.0 / 4096 * n6;
  const double d6 = 151.0 / 96 * n3 - 2327.0 / 768 * n5;
  const double d8 = 1097.0 / 512 * n4 - 17113.0 / 10240 * n6;
  const double d10 = 1325.0 / 512 * n5;
  const double d12 = 24047.0 / 61440 * n6;
  return LaidOutInCos2x(d2, d4, d6, d8, d10, d12);
}

// A start for the latitude from an isometric latitude psi, at the result to the last bits: the
// conformal latitude chi = 2 atan(exp psi) - pi/2 plus the series in n (Karney 2011, to n^6)
// of the geodetic latitude from the conformal one, h2 sin 2chi + h4 sin 4chi + ... + h12 sin
// 12chi, within 1e-17 rad of the latitude (the first omitted terms are in n^7, 4e-20): a pass
// of the iteration from there moves it in its last bits at most, and the vector lanes take it
// as the latitude. Laid out as FootpointStartTerms, in c = cos 2chi.
using ConformalStartTerms = SineSeriesStart;
inline ConformalStartTerms ConformalStartOf(double f) {
  const auto [nf, n2, n3, n4, n5, n6] = PowersOfNOf(f);
  const double h2 = 2 * nf - 2.0 / 3 * n2 - 2 * n3 + 116.0 / 45 * n4 + 26.0 / 45 * n5 -
                    2854.0 / 675 * n6;
  const double h4 =
      7.0 / 3 * n2 - 8.0 / 5 * n3 - 227.0 / 45 * n4 + 2704.0 / 315 * n5 + 2323.0 / 945 * n6;
  const double h6 = 56.0 / 15 * n3 - 136.0 / 35 * n4 - 1262.0 / 105 * n5 + 73814.0 / 2835 * n6;
  const double h8 = 4279.0 / 630 * n4 - 332.0 / 35 * n5 - 399572.0 / 14175 * n6;
  const double h10 = 4174.0 / 315 * n5 - 144838.0 / 6237 * n6;
  const double h12 = 601676.0 / 22275 * n6;
  return LaidOutInCos2x(h2, h4, h6, h8, h10, h12);
}

// The ellipsoid's constants of the inverse projection of semi-major axis a: the flattening, the
// first eccentricity, the second eccentricity squared, and the quarter meridian as the
// footpoint series measures it (it reaches the pole at m = a g / (1 + n) pi / 2), beyond which
// a Northing has no inverse.
struct InverseTerms {
  double f, e, ep2, quarter;
};
inline InverseTerms InverseOf(double a, double inverseFlattening) {
  constexpr double kHalfPi = 1.5707963267948966;
  const double f = 1 / inverseFlattening;
  const double e2 = f * (2 - f);
  const double n = f / (2 - f);
  return {f, std::sqrt(e2), e2 / ((1 - f) * (1 - f)),
          a * (1 + n * n / 4 + n * n * n * n / 64) / (1 + n) * kHalfPi};
}

#if defined(__GNUC__) || defined(__clang__)
#define VORTAN_SERIES_INLINE inline __attribute__((always_inline))
#else
#define VORTAN_SERIES_INLINE inline
#endif

// The evaluation templates, in this namespace for the plain pair; core/lanes.cpp includes them
// in the namespace of each vector target, for pairs of vectors.
#include "core/detail/tm_series_eval.inc"

}  // namespace vortan::tm_series
