// The part of Google Highway that core/lanes.cpp takes, for WebAssembly SIMD (-msimd128): two
// doubles a vector, with the operations lanes.cpp calls under Highway's names and with the
// results of Highway's x86 operations (IEEE arithmetic lane by lane, Round to nearest even, Min
// as the processor's), so that the kernels of lanes.cpp compile here unchanged. Highway 1.0.3,
// Debian's, has no vectors of doubles on its WebAssembly target.
//
// WebAssembly keeps no floating-point exception flags: a division here raises in software the
// flag a processor's would (the compiler's check of divisions, core/numeric_guard.cpp, sees
// scalar divisions only), and lanes.cpp notes its results (NoteLanes).
#pragma once

#if !defined(__wasm_simd128__)
#error "core/detail/wasm_lanes.h needs WebAssembly SIMD (-msimd128)"
#endif

#include <wasm_simd128.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/numeric_guard.h"

#define HWY_NAMESPACE N_WASM128
#define HWY_MAX_BYTES 16
#define HWY_ONCE 1
#define HWY_BEFORE_NAMESPACE() static_assert(true)
#define HWY_AFTER_NAMESPACE() static_assert(true)

namespace hwy::N_WASM128 {

template <typename T>
struct ScalableTag {};
using Tag = ScalableTag<double>;

struct Vec2 {
  v128_t raw;
};
struct Mask2 {
  v128_t raw;
};
template <typename D>
using Vec = Vec2;
template <typename D>
using Mask = Mask2;

inline constexpr std::size_t Lanes(Tag) { return 2; }

inline Vec2 Set(Tag, double x) { return {wasm_f64x2_splat(x)}; }
inline Vec2 Zero(Tag) { return {wasm_f64x2_const_splat(0.0)}; }
inline Vec2 LoadU(Tag, const double* p) { return {wasm_v128_load(p)}; }
inline Vec2 Load(Tag, const double* p) { return {wasm_v128_load(p)}; }
inline void StoreU(Vec2 v, Tag, double* p) { wasm_v128_store(p, v.raw); }
inline void Store(Vec2 v, Tag, double* p) { wasm_v128_store(p, v.raw); }

inline Vec2 operator+(Vec2 a, Vec2 b) { return {wasm_f64x2_add(a.raw, b.raw)}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {wasm_f64x2_sub(a.raw, b.raw)}; }
inline Vec2 operator*(Vec2 a, Vec2 b) { return {wasm_f64x2_mul(a.raw, b.raw)}; }

// The lanes of a division by zero raise what the scalar division raises there: a finite
// non-zero dividend division by zero, a zero one invalid operation, any other nothing.
[[gnu::noinline, gnu::cold]] inline void DivisionByZeroLanes(Vec2 a, Vec2 b) {
  for (int k = 0; k < 2; ++k) {
    const double dividend = k == 0 ? wasm_f64x2_extract_lane(a.raw, 0)
                                   : wasm_f64x2_extract_lane(a.raw, 1);
    const double divisor = k == 0 ? wasm_f64x2_extract_lane(b.raw, 0)
                                  : wasm_f64x2_extract_lane(b.raw, 1);
    if (divisor != 0 || !std::isfinite(dividend)) continue;
    vortan::RaiseNumericFault(dividend == 0 ? vortan::NumericFault::kInvalid
                                            : vortan::NumericFault::kDivisionByZero);
  }
}
inline Vec2 operator/(Vec2 a, Vec2 b) {
  if (wasm_v128_any_true(wasm_f64x2_eq(b.raw, wasm_f64x2_const_splat(0.0)))) {
    DivisionByZeroLanes(a, b);
  }
  return {wasm_f64x2_div(a.raw, b.raw)};
}

inline Mask2 operator<(Vec2 a, Vec2 b) { return {wasm_f64x2_lt(a.raw, b.raw)}; }
inline Mask2 operator<=(Vec2 a, Vec2 b) { return {wasm_f64x2_le(a.raw, b.raw)}; }
inline Mask2 operator>(Vec2 a, Vec2 b) { return {wasm_f64x2_gt(a.raw, b.raw)}; }
inline Mask2 operator>=(Vec2 a, Vec2 b) { return {wasm_f64x2_ge(a.raw, b.raw)}; }
inline Mask2 Eq(Vec2 a, Vec2 b) { return {wasm_f64x2_eq(a.raw, b.raw)}; }
inline Mask2 Ge(Vec2 a, Vec2 b) { return {wasm_f64x2_ge(a.raw, b.raw)}; }

inline Vec2 Abs(Vec2 v) { return {wasm_f64x2_abs(v.raw)}; }
inline Vec2 Neg(Vec2 v) { return {wasm_f64x2_neg(v.raw)}; }
inline Vec2 Sqrt(Vec2 v) { return {wasm_f64x2_sqrt(v.raw)}; }
inline Vec2 Floor(Vec2 v) { return {wasm_f64x2_floor(v.raw)}; }
// To the nearest whole number, ties to even.
inline Vec2 Round(Vec2 v) { return {wasm_f64x2_nearest(v.raw)}; }
// a < b ? a : b, lane by lane (b where either is NaN), as x86's minimum.
inline Vec2 Min(Vec2 a, Vec2 b) { return {wasm_f64x2_pmin(b.raw, a.raw)}; }
// The magnitude of magnitude with the sign of sign.
inline Vec2 CopySign(Vec2 magnitude, Vec2 sign) {
  return {wasm_v128_bitselect(sign.raw, magnitude.raw, wasm_f64x2_const_splat(-0.0))};
}

inline Mask2 IsNaN(Vec2 v) { return {wasm_f64x2_ne(v.raw, v.raw)}; }
inline Mask2 IsFinite(Vec2 v) {
  return {wasm_f64x2_lt(wasm_f64x2_abs(v.raw), wasm_f64x2_splat(HUGE_VAL))};
}

inline Mask2 MaskFromVec(Vec2 v) { return {v.raw}; }
inline Mask2 And(Mask2 a, Mask2 b) { return {wasm_v128_and(a.raw, b.raw)}; }
inline Mask2 Or(Mask2 a, Mask2 b) { return {wasm_v128_or(a.raw, b.raw)}; }
// Not a, and b.
inline Mask2 AndNot(Mask2 a, Mask2 b) { return {wasm_v128_andnot(b.raw, a.raw)}; }
inline Mask2 Not(Mask2 m) { return {wasm_v128_not(m.raw)}; }
inline bool AllTrue(Tag, Mask2 m) { return wasm_i64x2_all_true(m.raw); }
inline bool AllFalse(Tag, Mask2 m) { return !wasm_v128_any_true(m.raw); }

inline Vec2 IfThenElse(Mask2 m, Vec2 yes, Vec2 no) {
  return {wasm_v128_bitselect(yes.raw, no.raw, m.raw)};
}
inline Vec2 IfThenElseZero(Mask2 m, Vec2 yes) { return {wasm_v128_and(m.raw, yes.raw)}; }
inline Vec2 IfThenZeroElse(Mask2 m, Vec2 no) { return {wasm_v128_andnot(no.raw, m.raw)}; }

// Two 64-bit unsigned whole numbers, for the bits of the doubles (the exponential's power of
// two, the logarithm's exponent).
struct UTag {};
template <typename D>
using RebindToUnsigned = UTag;
struct Vec2U {
  v128_t raw;
};
inline Vec2U Set(UTag, std::uint64_t x) { return {wasm_i64x2_splat(static_cast<std::int64_t>(x))}; }
inline Vec2U BitCast(UTag, Vec2 v) { return {v.raw}; }
inline Vec2 BitCast(Tag, Vec2U v) { return {v.raw}; }
inline Vec2U And(Vec2U a, Vec2U b) { return {wasm_v128_and(a.raw, b.raw)}; }
inline Vec2U Or(Vec2U a, Vec2U b) { return {wasm_v128_or(a.raw, b.raw)}; }
template <int kBits>
Vec2U ShiftLeft(Vec2U v) {
  return {wasm_i64x2_shl(v.raw, kBits)};
}
template <int kBits>
Vec2U ShiftRight(Vec2U v) {
  return {wasm_u64x2_shr(v.raw, kBits)};
}

}  // namespace hwy::N_WASM128
