// The text a number pattern gives a double, the plain way, for tests of the printer:
// std::to_chars of the magnitude in fixed format (rounding to nearest on the binary value, ties
// to even), then the pattern's layout: the sign of a negative value, no "0" integer part, the
// pattern's zeros in front, the point.
#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>

#include "core/number_format.h"

namespace vortan::support {

inline std::string ToCharsText(double value, NumberPattern pattern) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char digits[kMaxFormattedLength];
  const auto result = std::to_chars(digits, digits + sizeof digits, std::fabs(value),
                                    std::chars_format::fixed, pattern.decimals);
  const std::string text(digits, result.ptr);
  const std::size_t point = text.find('.');
  std::string integer = text.substr(0, point);
  if (integer == "0") integer.clear();
  std::string out = value < 0 ? "-" : "";
  out.append(integer.size() < static_cast<std::size_t>(pattern.integerDigits)
                 ? static_cast<std::size_t>(pattern.integerDigits) - integer.size()
                 : 0,
             '0');
  out += integer;
  if (pattern.point) out += '.';
  return out + (point == std::string::npos ? "" : text.substr(point + 1));
}

}  // namespace vortan::support
