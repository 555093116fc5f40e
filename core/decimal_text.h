// Reading a decimal number text with "." as decimal point, whatever the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace vortan {

// True when the whole text is a plain decimal: an optional sign, digits with at most one "."
// (at least one digit), and an optional exponent (E or e, an optional sign, digits).
bool IsPlainDecimal(std::string_view text);

// The value of a plain decimal text: an optional sign, digits with at most one ".", and an
// optional exponent; the caller has checked this form (IsPlainDecimal).
// Correctly rounded; a value beyond the range of a double gives +-infinity and one below its
// smallest subnormal gives +-0 (told apart by the decimal order of magnitude, not by the C
// library, whose strtod follows the locale's decimal point).
double ReadDecimal(std::string_view number);

// The fast path for the plain numbers of coordinate and grid files: once the sign is off and
// the text begins with a digit or ".", std::from_chars reads exactly the plain-decimal grammar.
// True, with the value, when it reads the whole text within range; false leaves the text to
// the full rules (IsPlainDecimal, ReadDecimal) of the caller.
bool ReadPlainDecimalFast(std::string_view text, double& value);

// The powers of ten that are exact doubles, 10^0 to 10^15: the divisors of the fast paths.
inline constexpr double kExactPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// ReadPlainDecimalFast for a field of a text that begins at textStart. Where the 16 bytes that
// end with the field are in the text, a field of digits with at most one "." and at most 15
// digits (every number of a coordinate file) has its digits read all at once: in the bytes of
// an SSE2 register, the integer digits moved one byte up over the point, the bytes before the
// field cleared, then pairs, fours and eights of digits formed by multiplications. Like
// ReadShortDecimal, that whole number divided by the power of ten of the decimals, both exact,
// is the correctly rounded value. Any other field goes to ReadPlainDecimalFast.
[[gnu::always_inline]] inline bool ReadPlainDecimalInText(const char* textStart,
                                                          std::string_view field,
                                                          double& value) {
#if defined(__SSE2__) && defined(__x86_64__)
  const std::size_t size = field.size();
  const char* const end = field.data() + size;
  if (size >= 1 && size <= 16 && end - textStart >= 16) {
    const char first = field[0];
    const int length = static_cast<int>(size) - (first == '-' || first == '+');
    const __m128i digits = _mm_sub_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)), _mm_set1_epi8('0'));
    const unsigned isDigit = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_min_epu8(digits, _mm_set1_epi8(9)), digits)));
    // The bytes of the field after its sign that are not digits: none, or one ".".
    const unsigned other = (0xFFFFu << (16 - length)) & 0xFFFFu & ~isDigit;
    const int count = length - (other != 0);  // digits
    const int point = other != 0 ? __builtin_ctz(other) : 0;
    if ((other & (other - 1)) == 0 && count >= 1 && count <= 15 &&
        (other == 0 || end[point - 16] == '.')) {
      const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
      // Up to the point (and byte 0, which is never kept, where there is none) each byte
      // takes the one before it.
      const __m128i upToPoint =
          _mm_cmplt_epi8(index, _mm_set1_epi8(static_cast<char>(point + 1)));
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
      const std::uint64_t whole =
          static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights)) * 100000000u +
          static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(eights, eights)));
      const int decimals = other != 0 ? 15 - point : 0;
      value = static_cast<double>(static_cast<std::int64_t>(whole));
      if (decimals > 0) value /= kExactPowersOfTen[decimals];
      if (first == '-') value = -value;
      return true;
    }
  }
#else
  (void)textStart;
#endif
  return ReadPlainDecimalFast(field, value);
}

}  // namespace vortan
