// The part of Google Highway's interface that the elementary kernels take
// (core/detail/elementary_kernels.inc), on one double: the same operations with the results of
// Highway's x86 ones (IEEE arithmetic, Round to nearest even), in plain C++ of every compiler the
// project builds with, so that the plain routines compute with the lanes' kernels and get their
// bits in every build (Linux, aarch64, the portable build, Windows, the browser), without the C
// library's functions.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vortan::one_lane {

template <typename T>
struct ScalableTag {};
using Tag = ScalableTag<double>;

struct Vec1 {
  double raw;
};
struct Mask1 {
  bool raw;
};
template <typename D>
using Vec = Vec1;
template <typename D>
using Mask = Mask1;

inline constexpr std::size_t Lanes(Tag) { return 1; }

inline Vec1 Set(Tag, double x) { return {x}; }
inline Vec1 Zero(Tag) { return {0.0}; }
inline Vec1 Load(Tag, const double* p) { return {*p}; }
inline void Store(Vec1 v, Tag, double* p) { *p = v.raw; }

inline Vec1 operator+(Vec1 a, Vec1 b) { return {a.raw + b.raw}; }
inline Vec1 operator-(Vec1 a, Vec1 b) { return {a.raw - b.raw}; }
inline Vec1 operator*(Vec1 a, Vec1 b) { return {a.raw * b.raw}; }
inline Vec1 operator/(Vec1 a, Vec1 b) { return {a.raw / b.raw}; }

inline Mask1 operator<(Vec1 a, Vec1 b) { return {a.raw < b.raw}; }
inline Mask1 operator<=(Vec1 a, Vec1 b) { return {a.raw <= b.raw}; }
inline Mask1 operator>(Vec1 a, Vec1 b) { return {a.raw > b.raw}; }
inline Mask1 operator>=(Vec1 a, Vec1 b) { return {a.raw >= b.raw}; }
inline Mask1 Eq(Vec1 a, Vec1 b) { return {a.raw == b.raw}; }
inline Mask1 Ge(Vec1 a, Vec1 b) { return {a.raw >= b.raw}; }

inline Vec1 Abs(Vec1 v) { return {std::fabs(v.raw)}; }
inline Vec1 Neg(Vec1 v) { return {-v.raw}; }
inline Vec1 Floor(Vec1 v) { return {std::floor(v.raw)}; }
// To the nearest whole number, ties to even, by the addition of 2^52 (whose sum rounds to a
// whole number in the default rounding), independent of any library's rint.
inline Vec1 Round(Vec1 v) {
  const double a = std::fabs(v.raw);
  if (!(a < 0x1p52)) return v;
  return {std::copysign((a + 0x1p52) - 0x1p52, v.raw)};
}
inline Vec1 CopySign(Vec1 magnitude, Vec1 sign) {
  return {std::copysign(magnitude.raw, sign.raw)};
}

inline Mask1 MaskFromVec(Vec1 v) { return {v.raw != 0}; }
inline Mask1 And(Mask1 a, Mask1 b) { return {a.raw && b.raw}; }
inline Mask1 Or(Mask1 a, Mask1 b) { return {a.raw || b.raw}; }
// Not a, and b.
inline Mask1 AndNot(Mask1 a, Mask1 b) { return {!a.raw && b.raw}; }
inline Mask1 Not(Mask1 m) { return {!m.raw}; }
inline bool AllTrue(Tag, Mask1 m) { return m.raw; }
inline bool AllFalse(Tag, Mask1 m) { return !m.raw; }

inline Vec1 IfThenElse(Mask1 m, Vec1 yes, Vec1 no) { return m.raw ? yes : no; }
inline Vec1 IfThenElseZero(Mask1 m, Vec1 yes) { return m.raw ? yes : Vec1{0.0}; }
inline Vec1 IfThenZeroElse(Mask1 m, Vec1 no) { return m.raw ? Vec1{0.0} : no; }

// A 64-bit unsigned whole number, for the bits of a double.
struct UTag {};
template <typename D>
using RebindToUnsigned = UTag;
struct Vec1U {
  std::uint64_t raw;
};
inline Vec1U Set(UTag, std::uint64_t x) { return {x}; }
inline Vec1U BitCast(UTag, Vec1 v) {
  Vec1U u;
  std::memcpy(&u.raw, &v.raw, sizeof u.raw);
  return u;
}
inline Vec1 BitCast(Tag, Vec1U u) {
  Vec1 v;
  std::memcpy(&v.raw, &u.raw, sizeof v.raw);
  return v;
}
inline Vec1U And(Vec1U a, Vec1U b) { return {a.raw & b.raw}; }
inline Vec1U Or(Vec1U a, Vec1U b) { return {a.raw | b.raw}; }
template <int kBits>
Vec1U ShiftLeft(Vec1U v) {
  return {v.raw << kBits};
}
template <int kBits>
Vec1U ShiftRight(Vec1U v) {
  return {v.raw >> kBits};
}

}  // namespace vortan::one_lane
