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
