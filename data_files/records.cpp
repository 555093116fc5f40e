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
  // The field as a message quotes it: its first 40 characters.
  const auto quoted = [&] {
    return "\"" + std::string(text.substr(0, 40)) + (text.size() > 40 ? "..." : "") + "\"";
  };
  if (!IsPlainDecimal(text)) {
    reason = quoted() + " is not a number (write it with digits and \".\" as decimal point)";
    return std::nullopt;
  }
  const double value = ReadDecimal(text);
  if (std::isinf(value)) {
    reason = quoted() + " is too large a number for a coordinate; correct the field";
    return std::nullopt;
  }
  return value;
}

}  // namespace vortan
