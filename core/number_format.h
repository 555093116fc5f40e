// The fixed number format patterns of the system, always with "." as decimal point:
// ".000" (metres), ".00000" (packed angles, seconds), "0.000000" (scale factor), "000.0"
// (corrections in cm), "00" (degrees, minutes), "000" (grid counts), "0000." and "00000."
// (grid header), "00000.000" (heights), ".000000000" (scale difference).
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/math_functions.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vortan {

struct NumberPattern {
  int integerDigits;  // zeros before the point: the minimum count of integer digits
  int decimals;       // digits after the point
  bool point;         // whether the point is printed (also with no decimals: "0000.")

  // Reads a pattern text such as ".000" or "0000." (only "0" and one ".").
  static constexpr NumberPattern Of(std::string_view pattern) {
    NumberPattern p{0, 0, false};
    for (char ch : pattern) {
      if (ch == '.') {
        p.point = true;
      } else if (p.point) {
        ++p.decimals;
      } else {
        ++p.integerDigits;
      }
    }
    return p;
  }
};

namespace patterns {
inline constexpr NumberPattern kMetres = NumberPattern::Of(".000");
inline constexpr NumberPattern kPacked = NumberPattern::Of(".00000");
inline constexpr NumberPattern kSeconds = NumberPattern::Of(".00000");
inline constexpr NumberPattern kScale = NumberPattern::Of("0.000000");
inline constexpr NumberPattern kCentimetres = NumberPattern::Of("000.0");
inline constexpr NumberPattern kDegrees = NumberPattern::Of("00");
inline constexpr NumberPattern kCount = NumberPattern::Of("000");
inline constexpr NumberPattern kGridStep = NumberPattern::Of("0000.");
inline constexpr NumberPattern kGridCoordinate = NumberPattern::Of("00000.");
inline constexpr NumberPattern kHeight = NumberPattern::Of("00000.000");
inline constexpr NumberPattern kScaleDifference = NumberPattern::Of(".000000000");
}  // namespace patterns

// Longest text FormatNumber writes: a sign, 309 integer digits, a point and the decimals.
inline constexpr std::size_t kMaxFormattedLength = 352;

// Writes value with the pattern into out (room for kMaxFormattedLength characters; bytes of
// that room past the returned length may be overwritten) and returns the length. Rounds to
// the decimals shown (to nearest, on the exact binary value); a negative value that rounds to
// zero keeps its sign ("-.000"). Non-finite values are written as "nan", "inf" or "-inf"
// (callers never pass them).
inline std::size_t FormatNumber(double value, NumberPattern pattern, char* out);

std::string FormatNumber(double value, NumberPattern pattern);

namespace number_format_internal {

// Every case of FormatNumber.
std::size_t FormatAny(double value, NumberPattern pattern, char* out);

inline constexpr std::uint64_t kDecimalScales[] = {1,      10,      100,      1000,     10000,
                                                 100000, 1000000, 10000000, 100000000};

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

#if defined(__SSE2__) && defined(__x86_64__)
// Eight 16-bit lanes of k that the compiler does not see as a constant: it would turn a
// multiplication by it into a chain of shifts and additions, four or five instructions for one.
[[gnu::always_inline]] inline __m128i Opaque16(short k) {
  __m128i v = _mm_set1_epi16(k);
  asm("" : "+x"(v));
  return v;
}
#endif

// The digit lanes of two numbers below 10^8 at once, DigitLanes(a) and DigitLanes(b), with
// SSE2 where there is SSE2: the same steps in 64-, 32- and 16-bit vector lanes. a / 10000 is
// a * 0xD1B71759 >> 45 (exact for every 32-bit a); x / 100 for x < 10^4 is (4x * 5243 >> 16)
// >> 5, x / 10 for x < 100 is x * 6554 >> 16.
[[gnu::always_inline]] inline void DigitLanesOfTwo(std::uint64_t a, std::uint64_t b,
                                                   std::uint64_t& lanesA, std::uint64_t& lanesB) {
#if defined(__SSE2__) && defined(__x86_64__)
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
  const __m128i tens = _mm_mulhi_epu16(pairs, _mm_set1_epi16(6554));
  const __m128i digits = _mm_or_si128(
      tens, _mm_slli_epi16(_mm_sub_epi16(pairs, _mm_mullo_epi16(tens, Opaque16(10))), 8));
  lanesA = static_cast<std::uint64_t>(_mm_cvtsi128_si64(digits));
  lanesB = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(digits, digits)));
#else
  lanesA = DigitLanes(a);
  lanesB = DigitLanes(b);
#endif
}

// Writes the last count (1 to 8) of the eight digits in lanes at out; the word written may
// reach 8 bytes past out.
[[gnu::always_inline]] inline void StoreLastDigits(char* out, std::uint64_t lanes,
                                                   std::size_t count) {
  const std::uint64_t word = (lanes + 0x3030303030303030ull) >> (8 * (8 - count));
  std::memcpy(out, &word, sizeof word);
}

// Whether FormatNumber's common case serves the pattern: at most eight decimals and eight
// integer zeros, on a little-endian machine.
constexpr bool CommonPattern(NumberPattern pattern) {
  return std::endian::native == std::endian::little && pattern.decimals <= 8 &&
         pattern.integerDigits <= 8 && pattern.decimals >= 0 && pattern.integerDigits >= 0;
}

// Writes a number of the common case from the digit lanes of its integer part and of its
// decimals (as a whole number of the last decimal shown): the sign, the integer part without
// its zeros in front (none for 0) or the pattern's zeros, the point and the decimals. The
// zeros in front are the lowest bytes of the lanes that are zero. Returns the length.
[[gnu::always_inline]] inline std::size_t StoreNumber(char* out, bool negative,
                                                      std::uint64_t lanes,
                                                      std::uint64_t fractionLanes,
                                                      NumberPattern pattern) {
  std::size_t n = 0;
  out[0] = '-';
  n += negative;
  std::size_t integerLength =
      lanes != 0 ? 8 - static_cast<std::size_t>(std::countr_zero(lanes)) / 8 : 0;
  if (integerLength < static_cast<std::size_t>(pattern.integerDigits)) {
    integerLength = static_cast<std::size_t>(pattern.integerDigits);
  }
  if (integerLength > 0) StoreLastDigits(out + n, lanes, integerLength);
  n += integerLength;
  if (pattern.point) out[n++] = '.';
  const std::size_t decimals = static_cast<std::size_t>(pattern.decimals);
  if (decimals > 0) StoreLastDigits(out + n, fractionLanes, decimals);
  return n + decimals;
}

}  // namespace number_format_internal

// The common case inline, so that the pattern of the caller is a constant there: a value whose
// integer part has at most eight digits, with at most eight decimals and eight integer zeros
// (coordinates, angles, scale factors), from whole numbers. The integer part is round(x) with
// the decimals as a whole number of the last decimal shown; the fraction is exact, and its
// product with the power of ten is within 2^-53 * 10^8 of the exact product, so unless that
// lies next to a half both round to the same whole number. Next to a half, and for every other
// case, FormatAny decides on the exact binary value.
[[gnu::always_inline]] inline std::size_t FormatNumber(double value, NumberPattern pattern,
                                                     char* out) {
  namespace internal = number_format_internal;
  const double magnitude = std::fabs(value);
  if (!internal::CommonPattern(pattern) || !(magnitude < 1e8)) {
    return internal::FormatAny(value, pattern, out);
  }
  const std::size_t decimals = static_cast<std::size_t>(pattern.decimals);
  const std::int64_t scale = static_cast<std::int64_t>(internal::kDecimalScales[decimals]);
  std::int64_t whole = static_cast<std::int64_t>(magnitude);
  const double scaledFraction =
      (magnitude - static_cast<double>(whole)) * static_cast<double>(scale);
  // The scaled fraction rounds up where what its truncation leaves is above a half; next to a
  // half FormatAny decides.
  std::int64_t fraction = static_cast<std::int64_t>(scaledFraction);
  const double rest = scaledFraction - static_cast<double>(fraction);
  math::NoteRounding(whole, scale, scaledFraction, rest);
  if (std::fabs(rest - 0.5) < 1e-6) return internal::FormatAny(value, pattern, out);
#if defined(__SSE2__) && defined(__x86_64__)
  // Away from a half that is the nearest whole number, the conversion's own rounding (the
  // processor's rounding to nearest, which nothing here changes): the digits need not wait
  // for the truncation and the test.
  fraction = _mm_cvtsd_si64(_mm_set_sd(scaledFraction));
#else
  fraction += rest > 0.5 ? 1 : 0;  // no branch: up or down is random
#endif
  if (fraction == scale) {
    fraction = 0;
    ++whole;
    if (whole == 100000000) return internal::FormatAny(value, pattern, out);
  }
  std::uint64_t lanes;
  std::uint64_t fractionLanes;
  internal::DigitLanesOfTwo(static_cast<std::uint64_t>(whole), static_cast<std::uint64_t>(fraction),
                            lanes, fractionLanes);
  return internal::StoreNumber(out, value < 0, lanes, fractionLanes, pattern);
}

namespace number_format_internal {
// FormatNumber(a, pa), "," and FormatNumber(b, pb): a call, so that FormatTwoNumbers does not
// set up the arguments of its rare cases in its common one.
[[gnu::noinline]] inline std::size_t FormatOneByOne(double a, NumberPattern pa, double b,
                                                    NumberPattern pb, char* out) {
  std::size_t n = FormatNumber(a, pa, out);
  out[n++] = ',';
  return n + FormatNumber(b, pb, out + n);
}
}  // namespace number_format_internal

// Two numbers at once, as FormatNumber(a, pa), "," and FormatNumber(b, pb) write them (out
// has room for 2 * kMaxFormattedLength + 1 characters), with the same operations: where
// there is SSE2, the whole and fraction parts of both in the two lanes of one register, and
// the digits of all four in two. The pairs of a line (latitude and longitude, easting and
// northing) take about a fifth less time this way. Returns the length.
[[gnu::always_inline]] inline std::size_t FormatTwoNumbers(double a, NumberPattern pa, double b,
                                                         NumberPattern pb, char* out) {
  namespace internal = number_format_internal;
#if defined(__SSE2__) && defined(__x86_64__)
  if (!internal::CommonPattern(pa) || !internal::CommonPattern(pb)) {
    return internal::FormatOneByOne(a, pa, b, pb, out);
  }
  const __m128d signBit = _mm_set1_pd(-0.0);
  const __m128d half = _mm_set1_pd(0.5);
  const __m128d value = _mm_set_pd(b, a);
  const __m128d magnitude = _mm_andnot_pd(signBit, value);
  if (_mm_movemask_pd(_mm_cmplt_pd(magnitude, _mm_set1_pd(1e8))) != 3) {
    return internal::FormatOneByOne(a, pa, b, pb, out);
  }
  const int scaleA = static_cast<int>(internal::kDecimalScales[pa.decimals]);
  const int scaleB = static_cast<int>(internal::kDecimalScales[pb.decimals]);
  const __m128d scale = _mm_set_pd(scaleB, scaleA);
  // Truncations of values below 10^8 to 32-bit integers, as FormatNumber's to 64-bit ones.
  __m128i whole = _mm_cvttpd_epi32(magnitude);
  const __m128d scaledFraction =
      _mm_mul_pd(_mm_sub_pd(magnitude, _mm_cvtepi32_pd(whole)), scale);
  // The scaled fractions rounded as in FormatNumber, by the conversion's own rounding.
  __m128i fraction = _mm_cvtpd_epi32(scaledFraction);
  const __m128d rest =
      _mm_sub_pd(scaledFraction, _mm_cvtepi32_pd(_mm_cvttpd_epi32(scaledFraction)));
  const __m128d nearHalf =
      _mm_cmplt_pd(_mm_andnot_pd(signBit, _mm_sub_pd(rest, half)), _mm_set1_pd(1e-6));
  if (_mm_movemask_pd(nearHalf) != 0) return internal::FormatOneByOne(a, pa, b, pb, out);
  // A fraction rounded up to the scale carries into the whole part (the lanes are -1 there).
  const __m128i carry = _mm_cmpeq_epi32(fraction, _mm_set_epi32(0, 0, scaleB, scaleA));
  fraction = _mm_andnot_si128(carry, fraction);
  whole = _mm_sub_epi32(whole, carry);
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(whole, _mm_set1_epi32(100000000))) & 0xFF) {
    return internal::FormatOneByOne(a, pa, b, pb, out);
  }
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
  const __m128i belowHundred =
      _mm_sub_epi16(quads, _mm_mullo_epi16(hundreds, internal::Opaque16(100)));
  const auto digits = [](__m128i pairs) {
    const __m128i tens = _mm_mulhi_epu16(pairs, _mm_set1_epi16(6554));
    return _mm_or_si128(
        tens,
        _mm_slli_epi16(_mm_sub_epi16(pairs, _mm_mullo_epi16(tens, internal::Opaque16(10))), 8));
  };
  const __m128i wholeDigits = digits(_mm_unpacklo_epi16(hundreds, belowHundred));
  const __m128i fractionDigits = digits(_mm_unpackhi_epi16(hundreds, belowHundred));
  const int negative = _mm_movemask_pd(_mm_cmplt_pd(value, _mm_setzero_pd()));
  std::size_t n = internal::StoreNumber(
      out, (negative & 1) != 0, static_cast<std::uint64_t>(_mm_cvtsi128_si64(wholeDigits)),
      static_cast<std::uint64_t>(_mm_cvtsi128_si64(fractionDigits)), pa);
  out[n++] = ',';
  return n + internal::StoreNumber(
                 out + n, (negative & 2) != 0,
                 static_cast<std::uint64_t>(
                     _mm_cvtsi128_si64(_mm_unpackhi_epi64(wholeDigits, wholeDigits))),
                 static_cast<std::uint64_t>(
                     _mm_cvtsi128_si64(_mm_unpackhi_epi64(fractionDigits, fractionDigits))),
                 pb);
#else
  return internal::FormatOneByOne(a, pa, b, pb, out);
#endif
}

}  // namespace vortan
