#include "core/angles.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/decimal_text.h"
#include "core/geodetic_params.h"

namespace vortan {
namespace {

// Whole degrees or minutes as a 16-bit integer. Outside its range (or for nan) the conversion
// has no value: it raises the invalid-operation flag, as the processor's own conversion does,
// so that the numeric-fault guard of the caller turns the point into an error.
std::int16_t ToInt16(double whole) {
  if (whole >= INT16_MIN && whole <= INT16_MAX) return static_cast<std::int16_t>(whole);
  std::feraiseexcept(FE_INVALID);
  return whole > 0 ? INT16_MAX : INT16_MIN;
}

}  // namespace

double IntFloor(double x) { return std::floor(x); }

Dms RadiansToDms(double radians) {
  const double d = radians * 180 / kPi;
  const double degrees = IntFloor(d);
  const double minutes = IntFloor((d - degrees) * 60);
  const double seconds = ((d - degrees) * 60 - minutes) * 60;
  const std::int16_t d16 = ToInt16(degrees);
  const std::int16_t m16 = ToInt16(minutes);
  const std::int32_t whole = std::int32_t{d16} * 10000 + std::int32_t{m16} * 100;
  return {d16, m16, seconds, whole + seconds};
}

PackedAngle PackedToRadians(double packed) {
  const double degrees = IntFloor(packed / 10000);
  const double minutes = IntFloor((packed - degrees * 10000) / 100);
  const double seconds = (packed - degrees * 10000) - minutes * 100;
  const double radians = ((degrees + minutes / 60) + seconds / 3600) * kPi / 180;
  return {{ToInt16(degrees), ToInt16(minutes), seconds, packed}, radians};
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
  return ReadDecimal(number);
}

}  // namespace vortan
