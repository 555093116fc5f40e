// The evaluation of the projections' series tables (core/tm_coefficients.h), laid out at
// compile time: two tables side by side at the same arguments, the sums of
// x^k / k! * P_k(t^2, eta^2) over their orders k.
#pragma once

#include <algorithm>
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

// The evaluation templates, in this namespace for the plain pair; core/lanes.cpp includes them
// in the namespace of each vector target, for pairs of vectors.
#include "core/detail/tm_series_eval.inc"

}  // namespace vortan::tm_series
