// Everything the fast paths take from the compiler or the processor, in one place, each with a
// plain C++ fallback that gives the same results bit for bit: the fallbacks alone are built
// with VORTAN_PORTABLE (and on any compiler or processor that has not what a fast path takes),
// and the whole test suite runs on them too.
//
// - Double2: two doubles with lane-wise IEEE + and *, for the series evaluated side by side.
// - MatchMask16: which of sixteen bytes are one of some characters (the scanners of records
//   and of grid files).
// - PlainDigits16: the digits of a field of at most sixteen bytes as one whole number.
// - DigitLanes, DigitLanesOfTwo: the eight decimal digits of a number below 10^8 at once.
// - NearestWhole: a double rounded to the nearest whole number by the processor's conversion.
// - FixedPartsOfTwo: the digit texts of two numbers of the common format patterns at once
//   (with SSE2, or WebAssembly's SIMD).
// - PrefetchRead, PrefetchWrite: a cache line asked for ahead of its use (a hint only).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#if !defined(VORTAN_PORTABLE) && defined(__SSE2__) && defined(__x86_64__)
#define VORTAN_SSE2 1
#include <emmintrin.h>
#else
#define VORTAN_SSE2 0
#endif

#if !defined(VORTAN_PORTABLE) && defined(__wasm_simd128__)
#define VORTAN_WASM_SIMD 1
#include <wasm_simd128.h>
#else
#define VORTAN_WASM_SIMD 0
#endif

#if !defined(VORTAN_PORTABLE) && defined(__GNUC__)
#define VORTAN_GNU_VECTORS 1
#else
#define VORTAN_GNU_VECTORS 0
#endif

namespace vortan::simd {

// --- Cache lines asked for ahead ---

// The line holding *p fetched for reading (writing) while other work goes on; changes no
// result, and is nothing where the compiler has no such hint.
inline void PrefetchRead(const void* p) {
#if VORTAN_GNU_VECTORS
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}
inline void PrefetchWrite(void* p) {
#if VORTAN_GNU_VECTORS
  __builtin_prefetch(p, 1);
#else
  (void)p;
#endif
}

// --- Two doubles side by side ---

#if VORTAN_GNU_VECTORS
using Double2 = double __attribute__((vector_size(16)));
#else
struct Double2 {
  double lane[2];
  double operator[](std::size_t k) const { return lane[k]; }
};
inline Double2 operator+(Double2 a, Double2 b) { return {a[0] + b[0], a[1] + b[1]}; }
inline Double2 operator*(Double2 a, Double2 b) { return {a[0] * b[0], a[1] * b[1]}; }
#endif

// --- Bytes ---

// Bit k set where p[k] (k = 0 to 15) is one of the characters c.
template <char... c>
[[gnu::always_inline]] inline unsigned MatchMask16(const char* p) {
#if VORTAN_SSE2
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i any = _mm_setzero_si128();
  ((any = _mm_or_si128(any, _mm_cmpeq_epi8(v, _mm_set1_epi8(c)))), ...);
  return static_cast<unsigned>(_mm_movemask_epi8(any));
#elif VORTAN_WASM_SIMD
  const v128_t v = wasm_v128_load(p);
  v128_t any = wasm_i8x16_splat(0);
  ((any = wasm_v128_or(any, wasm_i8x16_eq(v, wasm_i8x16_splat(c)))), ...);
  return static_cast<unsigned>(wasm_i8x16_bitmask(any));
#else
  unsigned mask = 0;
  for (unsigned k = 0; k < 16; ++k) mask |= static_cast<unsigned>(((p[k] == c) || ...)) << k;
  return mask;
#endif
}

namespace detail {

// The shape of a field of `length` bytes that ends at `end` from the mask of the digits among
// the sixteen bytes before end (bit k: byte end - 16 + k): false unless the bytes of the field
// that are not digits are none or one "." and it has 1 to 15 digits; else its digits (count),
// the place of its point among the sixteen (0 where there is none) and the digits after it.
[[gnu::always_inline]] inline bool DigitFieldShape(unsigned isDigit, const char* end, int length,
                                                   int& count, int& point, int& decimals) {
  const unsigned other = (0xFFFFu << (16 - length)) & 0xFFFFu & ~isDigit;
  count = length - (other != 0);
  point = other != 0 ? std::countr_zero(other) : 0;
  if ((other & (other - 1)) != 0 || count < 1 || count > 15 ||
      (other != 0 && end[point - 16] != '.')) {
    return false;
  }
  decimals = other != 0 ? 15 - point : 0;
  return true;
}

}  // namespace detail

// The field of `length` bytes (1 to 16) that ends at `end`, when it is at most fifteen digits
// with at most one "." among them (at least one digit): true, with the digits as one whole
// number and the count of digits after the point. With SSE2 or WebAssembly's SIMD, and sixteen
// readable bytes that end at end (end - readableFrom >= 16), the bytes are read at once: the
// integer digits moved one byte up over the point, the bytes before the field cleared, then
// pairs, fours and eights of digits formed by multiplications.
[[gnu::always_inline]] inline bool PlainDigits16(const char* readableFrom, const char* end,
                                                 int length, std::uint64_t& whole,
                                                 int& decimals) {
#if VORTAN_SSE2
  if (end - readableFrom >= 16) {
    const __m128i digits = _mm_sub_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)), _mm_set1_epi8('0'));
    const unsigned isDigit = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_min_epu8(digits, _mm_set1_epi8(9)), digits)));
    int count, point;
    if (!detail::DigitFieldShape(isDigit, end, length, count, point, decimals)) return false;
    const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    // Up to the point (and byte 0, which is never kept, where there is none) each byte takes
    // the one before it.
    const __m128i upToPoint = _mm_cmplt_epi8(index, _mm_set1_epi8(static_cast<char>(point + 1)));
    __m128i d = _mm_or_si128(_mm_and_si128(upToPoint, _mm_slli_si128(digits, 1)),
                             _mm_andnot_si128(upToPoint, digits));
    d = _mm_and_si128(d, _mm_cmpgt_epi8(index, _mm_set1_epi8(static_cast<char>(15 - count))));
    // Byte 15 holds the units. Pairs in 16-bit lanes, fours in 32-bit, eights in 64-bit.
    const __m128i pairs = _mm_add_epi16(
        _mm_mullo_epi16(_mm_and_si128(d, _mm_set1_epi16(0xFF)), _mm_set1_epi16(10)),
        _mm_srli_epi16(d, 8));
    const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));
    const __m128i eights =
        _mm_add_epi64(_mm_mul_epu32(fours, _mm_set1_epi64x(10000)), _mm_srli_epi64(fours, 32));
    whole = static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights)) * 100000000u +
            static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(eights, eights)));
    return true;
  }
#elif VORTAN_WASM_SIMD
  // The same steps on WebAssembly's SIMD: the byte shift as a shuffle, the fours by its dot
  // product of 16-bit lanes, the eights by 64-bit lanes.
  if (end - readableFrom >= 16) {
    const v128_t digits = wasm_i8x16_sub(wasm_v128_load(end - 16), wasm_i8x16_splat('0'));
    const unsigned isDigit = static_cast<unsigned>(wasm_i8x16_bitmask(
        wasm_i8x16_eq(wasm_u8x16_min(digits, wasm_i8x16_splat(9)), digits)));
    int count, point;
    if (!detail::DigitFieldShape(isDigit, end, length, count, point, decimals)) return false;
    const v128_t index = wasm_i8x16_make(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const v128_t upToPoint = wasm_i8x16_lt(index, wasm_i8x16_splat(static_cast<char>(point + 1)));
    const v128_t shifted = wasm_i8x16_shuffle(wasm_i8x16_splat(0), digits, 0, 16, 17, 18, 19, 20,
                                              21, 22, 23, 24, 25, 26, 27, 28, 29, 30);
    v128_t d = wasm_v128_or(wasm_v128_and(upToPoint, shifted), wasm_v128_andnot(digits, upToPoint));
    d = wasm_v128_and(d, wasm_i8x16_gt(index, wasm_i8x16_splat(static_cast<char>(15 - count))));
    const v128_t pairs = wasm_i16x8_add(
        wasm_i16x8_mul(wasm_v128_and(d, wasm_i16x8_splat(0xFF)), wasm_i16x8_splat(10)),
        wasm_u16x8_shr(d, 8));
    const v128_t fours = wasm_i32x4_dot_i16x8(pairs, wasm_i32x4_splat(0x00010064));
    const v128_t eights =
        wasm_i64x2_add(wasm_i64x2_mul(wasm_v128_and(fours, wasm_i64x2_splat(0xFFFFFFFF)),
                                      wasm_i64x2_splat(10000)),
                       wasm_u64x2_shr(fours, 32));
    whole = static_cast<std::uint64_t>(wasm_i64x2_extract_lane(eights, 0)) * 100000000u +
            static_cast<std::uint64_t>(wasm_i64x2_extract_lane(eights, 1));
    return true;
  }
#else
  (void)readableFrom;
#endif
  std::uint64_t n = 0;
  int count = 0, after = -1;
  for (const char* p = end - length; p < end; ++p) {
    const unsigned digit = static_cast<unsigned>(*p - '0');
    if (digit <= 9) {
      n = n * 10 + digit;
      ++count;
      if (after >= 0) ++after;
    } else if (*p == '.' && after < 0) {
      after = 0;
    } else {
      return false;
    }
  }
  if (count < 1 || count > 15) return false;
  whole = n;
  decimals = after < 0 ? 0 : after;
  return true;
}

// --- Decimal digits ---

// The eight decimal digits of n < 10^8, zeros in front, as the bytes of one 64-bit word in
// memory order (the first digit in the lowest byte), as values 0 to 9, computed on all digits
// at once: the two halves of four digits in 32-bit lanes, then pairs in 16-bit lanes, then
// digits in bytes. Each division is a multiplication and a shift that is exact over the lane's
// range (x / 100 for x < 10^4 as x * 10486 >> 20, x / 10 for x < 100 as x * 103 >> 10).
[[gnu::always_inline]] inline std::uint64_t DigitLanes(std::uint64_t n) {
  std::uint64_t lanes = n / 10000 | (n % 10000) << 32;
  const std::uint64_t hundreds = (lanes * 10486 >> 20) & 0x0000007F0000007Full;
  lanes = hundreds | (lanes - hundreds * 100) << 16;
  const std::uint64_t tens = (lanes * 103 >> 10) & 0x000F000F000F000Full;
  return tens | (lanes - tens * 10) << 8;
}

#if VORTAN_WASM_SIMD
// DigitLanes of the four numbers below 10^8 in the 32-bit lanes of n: those of lanes 0 and 1
// in the 64-bit lanes of first, of lanes 2 and 3 in second. n / 10000 is the 64-bit product
// n * 0xD1B71759 >> 45 (exact for every 32-bit n); then the steps of DigitLanes in 32- and
// 16-bit lanes, whose products need no mask there.
[[gnu::always_inline]] inline void DigitLanesOfFour(v128_t n, v128_t& first, v128_t& second) {
  const v128_t magic = wasm_u32x4_splat(0xD1B71759u);
  const v128_t quotient =
      wasm_i32x4_shuffle(wasm_u64x2_shr(wasm_u64x2_extmul_low_u32x4(n, magic), 45),
                         wasm_u64x2_shr(wasm_u64x2_extmul_high_u32x4(n, magic), 45), 0, 2, 4, 6);
  const v128_t remainder = wasm_i32x4_sub(n, wasm_i32x4_mul(quotient, wasm_i32x4_splat(10000)));
  const auto digits = [](v128_t quads) {
    const v128_t hundreds = wasm_u32x4_shr(wasm_i32x4_mul(quads, wasm_i32x4_splat(10486)), 20);
    const v128_t pairs = wasm_v128_or(
        hundreds,
        wasm_i32x4_shl(wasm_i32x4_sub(quads, wasm_i32x4_mul(hundreds, wasm_i32x4_splat(100))), 16));
    const v128_t tens = wasm_u16x8_shr(wasm_i16x8_mul(pairs, wasm_i16x8_splat(103)), 10);
    return wasm_v128_or(
        tens, wasm_i16x8_shl(wasm_i16x8_sub(pairs, wasm_i16x8_mul(tens, wasm_i16x8_splat(10))), 8));
  };
  first = digits(wasm_i32x4_shuffle(quotient, remainder, 0, 4, 1, 5));
  second = digits(wasm_i32x4_shuffle(quotient, remainder, 2, 6, 3, 7));
}
#endif

#if VORTAN_SSE2
// Eight 16-bit lanes of k that the compiler does not see as a constant: it would turn a
// multiplication by it into a chain of shifts and additions, four or five instructions for one.
[[gnu::always_inline]] inline __m128i Opaque16(short k) {
  __m128i v = _mm_set1_epi16(k);
  asm("" : "+x"(v));
  return v;
}

// The two digits of each number below 100 in the 16-bit lanes of pairs: the tens in the low
// byte of its lane, the units in the high byte.
[[gnu::always_inline]] inline __m128i DigitsOfPairs(__m128i pairs) {
  const __m128i tens = _mm_mulhi_epu16(pairs, _mm_set1_epi16(6554));
  return _mm_or_si128(tens,
                      _mm_slli_epi16(_mm_sub_epi16(pairs, _mm_mullo_epi16(tens, Opaque16(10))), 8));
}
#endif

// DigitLanes(a) and DigitLanes(b) at once: with SSE2 the same steps in 64-, 32- and 16-bit
// vector lanes. a / 10000 is a * 0xD1B71759 >> 45 (exact for every 32-bit a); x / 100 for
// x < 10^4 is (4x * 5243 >> 16) >> 5, x / 10 for x < 100 is x * 6554 >> 16.
[[gnu::always_inline]] inline void DigitLanesOfTwo(std::uint64_t a, std::uint64_t b,
                                                   std::uint64_t& lanesA, std::uint64_t& lanesB) {
#if VORTAN_SSE2
  const __m128i v = _mm_set_epi64x(static_cast<long long>(b), static_cast<long long>(a));
  const __m128i high = _mm_srli_epi64(_mm_mul_epu32(v, _mm_set1_epi64x(0xD1B71759)), 45);
  const __m128i low = _mm_sub_epi32(v, _mm_mul_epu32(high, _mm_set1_epi64x(10000)));
  // Four numbers below 10^4 in the even 16-bit lanes, zeros in the odd ones.
  const __m128i quads = _mm_or_si128(high, _mm_slli_epi64(low, 32));
  const __m128i hundreds =
      _mm_srli_epi16(_mm_mulhi_epu16(_mm_slli_epi16(quads, 2), _mm_set1_epi16(5243)), 5);
  const __m128i pairs = _mm_or_si128(
      hundreds, _mm_slli_epi32(_mm_sub_epi16(quads, _mm_mullo_epi16(hundreds, Opaque16(100))),
                               16));
  const __m128i digits = DigitsOfPairs(pairs);
  lanesA = static_cast<std::uint64_t>(_mm_cvtsi128_si64(digits));
  lanesB = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(digits, digits)));
#else
  lanesA = DigitLanes(a);
  lanesB = DigitLanes(b);
#endif
}

// The whole number nearest x, for a caller that has made sure x is not next to a half: with
// SSE2 by the processor's conversion (its rounding to nearest, which nothing here changes),
// so that the digits need not wait for a test; else from the truncation of x and what it
// leaves (x - truncated).
[[gnu::always_inline]] inline std::int64_t NearestWhole(double x, std::int64_t truncated,
                                                        double rest) {
#if VORTAN_SSE2
  (void)truncated;
  (void)rest;
  return _mm_cvtsd_si64(_mm_set_sd(x));
#else
  (void)x;
  return truncated + (rest > 0.5 ? 1 : 0);  // no branch: up or down is random
#endif
}

// Below this magnitude FixedPartsOfTwo decides: the whole part is at most 99999998, so that a
// carry from the decimals never makes it 10^8.
inline constexpr double kFixedPartsLimit = 99999999.0;

// The texts of two numbers a, b as two fixed-point numbers with scaleA and scaleB (10^decimals,
// at most 10^8) are written, computed at once: the eight ASCII digits of the whole parts
// (zeros in front, the first digit in the lowest byte) in text[0] and text[1], the eight of the
// decimals, rounded to nearest, in text[2] and text[3]; in zeroDigits bit k (k = 0 to 7) set
// where digit k of a's whole part is a zero digit (bit 8 + k for b's), and in negative bit 0
// and bit 1 the signs of a and b. The fraction times the scale is rounded by the conversion's
// own rounding. False where this path does not decide: neither SSE2 nor WebAssembly's SIMD; a
// magnitude of kFixedPartsLimit or more, or nan; a scaled fraction within `margin` of a half;
// a whole part of 0 with a scaled fraction below `margin` (where the sign of "-.000" is at
// stake, and -0.0). The caller then formats the numbers one by one, with the same results.
// Values out of range are refused before any conversion to an integer, so that nothing here
// raises a floating-point exception flag but inexact.
[[gnu::always_inline]] inline bool FixedPartsOfTwo(double a, double b, int scaleA, int scaleB,
                                                   double margin, std::uint64_t text[4],
                                                   unsigned& zeroDigits, int& negative) {
#if VORTAN_SSE2
  // The constants as whole vectors (GCC would load a double and copy it into both lanes).
  alignas(16) static constexpr double kSign[2] = {-0.0, -0.0};
  alignas(16) static constexpr double kLimit[2] = {kFixedPartsLimit, kFixedPartsLimit};
  const __m128d signBit = _mm_load_pd(kSign);
  const __m128d value = _mm_set_pd(b, a);
  const __m128d magnitude = _mm_andnot_pd(signBit, value);
  // Its own test, ahead of the conversions and off their path (nan fails it too).
  if (_mm_movemask_pd(_mm_cmplt_pd(magnitude, _mm_load_pd(kLimit))) != 3) return false;
  const __m128d scale = _mm_set_pd(scaleB, scaleA);
  // Truncations of values below 10^8 to 32-bit integers, as FormatNumber's to 64-bit ones.
  __m128i whole = _mm_cvttpd_epi32(magnitude);
  const __m128d wholeValue = _mm_cvtepi32_pd(whole);
  const __m128d scaledFraction = _mm_mul_pd(_mm_sub_pd(magnitude, wholeValue), scale);
  // The scaled fractions rounded as in FormatNumber, by the conversion's own rounding; how far
  // each lies from that whole number (exactly: 0.5 at a half).
  __m128i fraction = _mm_cvtpd_epi32(scaledFraction);
  const __m128d offset = _mm_andnot_pd(
      signBit, _mm_sub_pd(scaledFraction, _mm_cvtepi32_pd(fraction)));
  // The other cases this path leaves to the caller, in one test: next to a half, a whole part
  // of 0 with a scaled fraction below the margin (whole part plus scaled fraction is at least 1
  // where the whole part is not 0).
  const __m128d refused =
      _mm_or_pd(_mm_cmpgt_pd(offset, _mm_set1_pd(0.5 - margin)),
                _mm_cmplt_pd(_mm_add_pd(scaledFraction, wholeValue), _mm_set1_pd(margin)));
  if (_mm_movemask_pd(refused) != 0) return false;
  // A fraction rounded up to the scale carries into the whole part (the lanes are -1 there).
  const __m128i carry = _mm_cmpeq_epi32(fraction, _mm_set_epi32(-1, -1, scaleB, scaleA));
  fraction = _mm_andnot_si128(carry, fraction);
  whole = _mm_sub_epi32(whole, carry);
  // Each of the four whole numbers below 10^8 (the whole parts, then the fractions, in 32-bit
  // lanes) as its two halves of four digits, in 16-bit lanes: x / 10000 as x * 0xD1B71759 >>
  // 45 (exact for every 32-bit x), in the even lanes and then the odd ones; the quotient
  // (below 10^4) times 10000 as a product of 16-bit halves.
  const __m128i numbers = _mm_unpacklo_epi64(whole, fraction);
  const __m128i magic = _mm_set1_epi64x(0xD1B71759);
  const __m128i high = _mm_or_si128(
      _mm_srli_epi64(_mm_mul_epu32(numbers, magic), 45),
      _mm_slli_epi64(_mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(numbers, 32), magic), 45), 32));
  const __m128i low = _mm_sub_epi32(numbers, _mm_madd_epi16(high, _mm_set1_epi32(10000)));
  const __m128i quads = _mm_or_si128(high, _mm_slli_epi32(low, 16));
  const __m128i hundreds =
      _mm_srli_epi16(_mm_mulhi_epu16(_mm_slli_epi16(quads, 2), _mm_set1_epi16(5243)), 5);
  const __m128i belowHundred = _mm_sub_epi16(quads, _mm_mullo_epi16(hundreds, Opaque16(100)));
  const __m128i wholeDigits = DigitsOfPairs(_mm_unpacklo_epi16(hundreds, belowHundred));
  const __m128i fractionDigits = DigitsOfPairs(_mm_unpackhi_epi16(hundreds, belowHundred));
  zeroDigits = static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(wholeDigits, _mm_setzero_si128())));
  // -0.0 has its sign bit but is refused above (its scaled fraction is 0).
  negative = _mm_movemask_pd(value);
  const __m128i zeroCharacter = _mm_set1_epi8('0');
  const __m128i wholeText = _mm_add_epi8(wholeDigits, zeroCharacter);
  const __m128i fractionText = _mm_add_epi8(fractionDigits, zeroCharacter);
  text[0] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(wholeText));
  text[1] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(wholeText, wholeText)));
  text[2] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(fractionText));
  text[3] = static_cast<std::uint64_t>(
      _mm_cvtsi128_si64(_mm_unpackhi_epi64(fractionText, fractionText)));
  return true;
#elif VORTAN_WASM_SIMD
  // The same steps on the two lanes of WebAssembly's vectors, the whole numbers kept as doubles
  // (WebAssembly's conversions to integers check their range; trunc and nearest do not).
  const v128_t value = wasm_f64x2_make(a, b);
  const v128_t magnitude = wasm_f64x2_abs(value);
  const v128_t limit = wasm_f64x2_splat(kFixedPartsLimit);
  const v128_t scale = wasm_f64x2_make(scaleA, scaleB);
  // WebAssembly has no exception flags: values out of range are computed on and refused below.
  v128_t wholeValue = wasm_f64x2_trunc(magnitude);
  const v128_t scaledFraction = wasm_f64x2_mul(wasm_f64x2_sub(magnitude, wholeValue), scale);
  // Rounded to nearest, ties to even, as the conversion of the processors rounds.
  v128_t fractionValue = wasm_f64x2_nearest(scaledFraction);
  const v128_t offset = wasm_f64x2_abs(wasm_f64x2_sub(scaledFraction, fractionValue));
  const v128_t refused = wasm_v128_or(
      wasm_v128_or(wasm_v128_not(wasm_f64x2_lt(magnitude, limit)),
                   wasm_f64x2_gt(offset, wasm_f64x2_splat(0.5 - margin))),
      wasm_f64x2_lt(wasm_f64x2_add(scaledFraction, wholeValue), wasm_f64x2_splat(margin)));
  if (wasm_v128_any_true(refused)) return false;
  const v128_t carry = wasm_f64x2_eq(fractionValue, scale);
  fractionValue = wasm_v128_andnot(fractionValue, carry);
  wholeValue = wasm_f64x2_add(wholeValue, wasm_v128_and(carry, wasm_f64x2_splat(1.0)));
  // The whole numbers (below 2^32) in the low 32 bits of their sums with 2^52.
  const v128_t twoTo52 = wasm_f64x2_splat(4503599627370496.0);
  v128_t wholeDigits, fractionDigits;
  DigitLanesOfFour(wasm_i32x4_shuffle(wasm_f64x2_add(wholeValue, twoTo52),
                                      wasm_f64x2_add(fractionValue, twoTo52), 0, 2, 4, 6),
                   wholeDigits, fractionDigits);
  zeroDigits = static_cast<unsigned>(
      wasm_i8x16_bitmask(wasm_i8x16_eq(wholeDigits, wasm_i8x16_splat(0))));
  negative = static_cast<int>(wasm_i64x2_bitmask(value));
  const v128_t zeroCharacter = wasm_i8x16_splat('0');
  const v128_t wholeText = wasm_i8x16_add(wholeDigits, zeroCharacter);
  const v128_t fractionText = wasm_i8x16_add(fractionDigits, zeroCharacter);
  text[0] = static_cast<std::uint64_t>(wasm_i64x2_extract_lane(wholeText, 0));
  text[1] = static_cast<std::uint64_t>(wasm_i64x2_extract_lane(wholeText, 1));
  text[2] = static_cast<std::uint64_t>(wasm_i64x2_extract_lane(fractionText, 0));
  text[3] = static_cast<std::uint64_t>(wasm_i64x2_extract_lane(fractionText, 1));
  return true;
#else
  (void)a;
  (void)b;
  (void)scaleA;
  (void)scaleB;
  (void)margin;
  (void)text;
  (void)zeroDigits;
  (void)negative;
  return false;
#endif
}

}  // namespace vortan::simd
