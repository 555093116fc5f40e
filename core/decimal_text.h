// Reading a decimal number text with "." as decimal point, whatever the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/simd.h"

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

// ReadPlainDecimalFast for a field of a text that begins at textStart. A field of digits with at
// most one "." and at most 15 digits (every number of a coordinate file) is read as one whole
// number of its digits (simd::PlainDigits16, all at once where the processor can): that whole
// number divided by the power of ten of its decimals, both exact, is one rounding of the exact
// quotient, the correctly rounded value. Any other field goes to ReadPlainDecimalFast.
[[gnu::always_inline]] inline bool ReadPlainDecimalInText(const char* textStart,
                                                          std::string_view field,
                                                          double& value) {
  const std::size_t size = field.size();
  if (size >= 1 && size <= 16) {
    const char first = field[0];
    const int length = static_cast<int>(size) - (first == '-' || first == '+');
    std::uint64_t whole;
    int decimals;
    if (simd::PlainDigits16(textStart, field.data() + size, length, whole, decimals)) {
      value = static_cast<double>(static_cast<std::int64_t>(whole));
      if (decimals > 0) value /= kExactPowersOfTen[decimals];
      if (first == '-') value = -value;
      return true;
    }
  }
  return ReadPlainDecimalFast(field, value);
}

}  // namespace vortan
