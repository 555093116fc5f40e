#include "core/number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace vortan {

std::size_t FormatNumber(double value, NumberPattern pattern, char* out) {
  if (!std::isfinite(value)) {
    const char* text = std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return n;
  }
  char digits[kMaxFormattedLength];
  const bool negative = value < 0;
  const auto result = std::to_chars(digits, digits + sizeof digits, std::fabs(value),
                                    std::chars_format::fixed, pattern.decimals);
  // digits holds "I" or "I.DDD" with at least one integer digit.
  const std::size_t length = static_cast<std::size_t>(result.ptr - digits);
  const std::size_t integerLength =
      pattern.decimals > 0 ? length - 1 - static_cast<std::size_t>(pattern.decimals) : length;
  std::size_t n = 0;
  if (negative) out[n++] = '-';
  const bool zeroInteger = integerLength == 1 && digits[0] == '0';
  const std::size_t shownInteger = zeroInteger ? 0 : integerLength;
  for (std::size_t pad = shownInteger; pad < static_cast<std::size_t>(pattern.integerDigits);
       ++pad) {
    out[n++] = '0';
  }
  if (!zeroInteger) {
    std::memcpy(out + n, digits, integerLength);
    n += integerLength;
  }
  if (pattern.point) out[n++] = '.';
  if (pattern.decimals > 0) {
    std::memcpy(out + n, digits + integerLength + 1, static_cast<std::size_t>(pattern.decimals));
    n += static_cast<std::size_t>(pattern.decimals);
  }
  return n;
}

std::string FormatNumber(double value, NumberPattern pattern) {
  char buffer[kMaxFormattedLength];
  return std::string(buffer, FormatNumber(value, pattern, buffer));
}

}  // namespace vortan
