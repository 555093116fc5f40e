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
using Pair = simd::Double2;

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

template <const auto& kA, const auto& kB, std::size_t j, std::size_t i, std::size_t q>
inline Pair CellPair() {
  constexpr double a = Cell<kA>(j, i, q), b = Cell<kB>(j, i, q);
  return Pair{a, b};
}

// Row i of order j of both tables: sum over q of t[q] (t^2)^q.
template <const auto& kA, const auto& kB, std::size_t j, std::size_t i, std::size_t... q>
inline Pair RowPair([[maybe_unused]] Pair t2, std::index_sequence<q...>) {
  constexpr std::size_t n = std::max(CellCount<kA>(j, i), CellCount<kB>(j, i));
  Pair poly = CellPair<kA, kB, j, i, n - 1>();
  ((poly = poly * t2 + CellPair<kA, kB, j, i, n - 2 - q>()), ...);
  return poly;
}

template <const auto& kA, const auto& kB, std::size_t j, std::size_t i>
inline Pair RowPair(Pair t2) {
  constexpr std::size_t n = std::max(CellCount<kA>(j, i), CellCount<kB>(j, i));
  static_assert(n > 0, "a row of a series table has at least one coefficient");
  return RowPair<kA, kB, j, i>(t2, std::make_index_sequence<n - 1>());
}

// The polynomial P_k(t^2, eta^2) of order j of both tables.
template <const auto& kA, const auto& kB, std::size_t j, std::size_t... i>
inline Pair OrderPair(Pair t2, [[maybe_unused]] Pair eta2, std::index_sequence<i...>) {
  constexpr std::size_t rows = std::max(OrderRows<kA>(j), OrderRows<kB>(j));
  Pair sum = RowPair<kA, kB, j, rows - 1>(t2);
  ((sum = sum * eta2 + RowPair<kA, kB, j, rows - 2 - i>(t2)), ...);
  return sum;
}

// P_k / k! of order j of both tables.
template <const auto& kA, const auto& kB, std::size_t j>
inline Pair TermPair(Pair t2, Pair eta2) {
  constexpr std::size_t rows = std::max(OrderRows<kA>(j), OrderRows<kB>(j));
  constexpr double fa = OrderFactor<kA>(j), fb = OrderFactor<kB>(j);
  return OrderPair<kA, kB, j>(t2, eta2, std::make_index_sequence<rows - 1>()) * Pair{fa, fb};
}

// Horner's rule in x^2 over the orders below j (exclusive), continuing from acc.
template <const auto& kA, const auto& kB, std::size_t j>
inline Pair OrdersBelowPair(Pair acc, Pair x2, Pair t2, Pair eta2) {
  if constexpr (j == 0) {
    return acc;
  } else {
    return OrdersBelowPair<kA, kB, j - 1>(acc * x2 + TermPair<kA, kB, j - 1>(t2, eta2), x2, t2,
                                          eta2);
  }
}

// Sum over the orders k of x^k / k! * P_k(t^2, eta^2) of table kA and of table kB at the same
// x, t^2, eta^2: {sum A, sum B}. All orders of a table have the same parity; the lowest is 1
// (odd series) or 2 (even series).
template <const auto& kA, const auto& kB>
inline Pair SeriesPair(double x, double t2, double eta2) {
  constexpr std::size_t orders = std::max(OrderCount<kA>(), OrderCount<kB>());
  const double x2 = x * x;
  const Pair x2s = {x2, x2}, t2s = {t2, t2}, eta2s = {eta2, eta2};
  const Pair top = TermPair<kA, kB, orders - 1>(t2s, eta2s);
  const Pair acc = OrdersBelowPair<kA, kB, orders - 1>(top, x2s, t2s, eta2s);
  return acc * Pair{kA[0].k == 1 ? x : x2, kB[0].k == 1 ? x : x2};
}

}  // namespace vortan::tm_series
