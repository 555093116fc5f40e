#include "core/angles.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vortan {
namespace {

constexpr double Pi() { return 3.141592653589793238462643383279502884; }

}  // namespace

double IntFloor(double x) { return std::floor(x); }

Dms RadiansToDms(double radians) {
  // pi = 4 atan(1) in double precision is the same double as the literal above.
  const double d = radians * 180 / Pi();
  const double degrees = IntFloor(d);
  const double minutes = IntFloor((d - degrees) * 60);
  const double seconds = ((d - degrees) * 60 - minutes) * 60;
  const std::int32_t whole = static_cast<std::int32_t>(degrees) * 10000 +
                             static_cast<std::int32_t>(minutes) * 100;
  return {static_cast<std::int16_t>(degrees), static_cast<std::int16_t>(minutes), seconds,
          whole + seconds};
}

PackedAngle PackedToRadians(double packed) {
  const double degrees = IntFloor(packed / 10000);
  const double minutes = IntFloor((packed - degrees * 10000) / 100);
  const double seconds = (packed - degrees * 10000) - minutes * 100;
  const double radians = ((degrees + minutes / 60) + seconds / 3600) * Pi() / 180;
  return {{static_cast<std::int16_t>(degrees), static_cast<std::int16_t>(minutes), seconds,
           packed},
          radians};
}

double ParseNumberText(std::string_view text) {
  std::string number;
  bool digits = false, point = false, exponent = false, exponentDigits = false;
  std::size_t exponentStart = 0;
  for (char ch : text) {
    if (ch == ' ' || ch == '\t' || ch == '\n') continue;
    if ((ch == '+' || ch == '-') && number.empty()) {
      number += ch;
    } else if (ch >= '0' && ch <= '9') {
      number += ch;
      (exponent ? exponentDigits : digits) = true;
    } else if (ch == '.' && !point && !exponent) {
      number += ch;
      point = true;
    } else if ((ch == 'E' || ch == 'e') && digits && !exponent) {
      exponentStart = number.size();
      number += 'e';
      exponent = true;
    } else if ((ch == '+' || ch == '-') && exponent && number.size() == exponentStart + 1) {
      number += ch;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  if (exponent && !exponentDigits) number.resize(exponentStart);
  std::string_view view = number;
  bool negative = false;
  if (view.front() == '+' || view.front() == '-') {
    negative = view.front() == '-';
    view.remove_prefix(1);
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    // Either too large (infinity) or too small (zero); tell them apart by the exponent.
    const double magnitude = std::strtod(std::string(view).c_str(), nullptr);
    value = std::isinf(magnitude) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

}  // namespace vortan
