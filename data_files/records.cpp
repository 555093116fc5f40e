#include "data_files/records.h"

#include <cmath>

#include "core/angles.h"
#include "core/decimal_text.h"

namespace vortan {

std::string_view LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kSFLh: return "SFLh";
    case Layout::kSENh: return "SENh";
    case Layout::kSXYZ: return "SXYZ";
    case Layout::kSFL: return "SFL";
    case Layout::kSEN: return "SEN";
    case Layout::kSENk: return "SENk";
  }
  return "";
}

LatLon PackedPairToRadians(double packedLatitude, double packedLongitude) {
  return {PackedToRadians(packedLatitude).radians, PackedToRadians(packedLongitude).radians};
}

std::optional<double> ParseFieldNumber(std::string_view text, std::string& reason) {
  if (text.empty()) {
    reason = "the field is empty";
    return std::nullopt;
  }
  std::string_view body = text;
  bool negative = false;
  if (body.front() == '+' || body.front() == '-') {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  // Grammar: digits [ "." digits ] | "." digits, then optional exponent.
  std::size_t i = 0, mantissaDigits = 0;
  while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++mantissaDigits;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++mantissaDigits;
  }
  bool valid = mantissaDigits > 0;
  if (valid && i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++exponentDigits;
    valid = exponentDigits > 0;
  }
  if (!valid || i != body.size()) {
    reason = "\"" + std::string(text.substr(0, 40)) + (text.size() > 40 ? "..." : "") +
             "\" is not a number (write it with digits and \".\" as decimal point)";
    return std::nullopt;
  }
  const double value = ReadDecimal(body);
  if (std::isinf(value)) {
    reason = "\"" + std::string(text.substr(0, 40)) + (text.size() > 40 ? "..." : "") +
             "\" is too large a number for a coordinate; correct the field";
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace vortan
