#include "core/angles.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "core/decimal_text.h"
#include "core/geodetic_params.h"
#include "core/numeric_guard.h"

namespace vortan {
namespace angles_internal {

std::int16_t OutOfRange(double whole) {
  RaiseNumericFault(NumericFault::kInvalid);
  return whole > 0 ? INT16_MAX : INT16_MIN;
}

}  // namespace angles_internal

using angles_internal::ToInt16;

PackedAngle PackedToRadians(double packed) {
  // Int, rounding towards minus infinity.
  const double degrees = std::floor(packed / 10000);
  const double minutes = std::floor((packed - degrees * 10000) / 100);
  const double seconds = (packed - degrees * 10000) - minutes * 100;
  const double radians = ((degrees + minutes / 60) + seconds / 3600) * kPi / 180;
  return {{ToInt16(degrees), ToInt16(minutes), seconds, packed}, radians};
}

namespace {

// The leading number of a box text as ParseNumberText reads it, and whether it takes the whole
// text: every character but the blanks belongs to it (an exponent without digits does not).
struct LeadingNumber {
  double value;
  bool whole;
};

LeadingNumber ReadLeadingNumber(std::string_view text) {
  std::string number;
  bool digits = false, point = false, exponent = false, exponentDigits = false;
  std::size_t exponentStart = 0;
  bool rest = false;  // a character that is not part of the number follows it
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
      rest = true;
      break;
    }
  }
  if (!digits) return {0, number.empty() && !rest};
  const bool whole = !rest && (!exponent || exponentDigits);
  if (exponent && !exponentDigits) number.resize(exponentStart);
  return {ReadDecimal(number), whole};
}

}  // namespace

double ParseNumberText(std::string_view text) { return ReadLeadingNumber(text).value; }

bool IsWholeNumberText(std::string_view text) { return ReadLeadingNumber(text).whole; }

double DecimalDegreesAsPacked(double degrees) {
  const double magnitude = std::fabs(degrees);
  const double total = std::round(magnitude * 3600 * 1e5) / 1e5;
  const double d = std::floor(total / 3600);
  const double m = std::floor((total - d * 3600) / 60);
  const double s = total - d * 3600 - m * 60;
  return std::copysign(d * 10000 + m * 100 + s, degrees);
}

}  // namespace vortan
