// Coordinate record layouts of the data files, the reading of their fields and the writing of
// their lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/number_format.h"

namespace vortan {

// Layouts, named after the default file names. Every input layout has four fields: an id and
// three numbers.
enum class Layout { kSFLh, kSENh, kSXYZ, kSFL, kSEN, kSENk };

std::string_view LayoutName(Layout layout);

struct LatLon {
  double latitude;   // radians
  double longitude;  // radians
};

// Latitude and longitude in radians of a packed DDMMSS.SSSSS pair.
LatLon PackedPairToRadians(double packedLatitude, double packedLongitude);

// Reads one numeric field of a coordinate file: optional sign, digits with at most one ".",
// optional exponent. Returns nothing and sets reason for anything else (an empty field, text,
// "nan", "inf", hexadecimal, or a number too large for a double).
std::optional<double> ParseFieldNumber(std::string_view text, std::string& reason);

// Builds one output line: fields joined by "," with no spaces, ended by CR LF.
class LineBuilder {
 public:
  explicit LineBuilder(std::string& out) : out_(out) {}
  LineBuilder& Id(std::string_view id) {
    out_.append(id);
    return *this;
  }
  LineBuilder& Number(double value, NumberPattern pattern) {
    char buffer[kMaxFormattedLength + 1];
    buffer[0] = ',';
    out_.append(buffer, 1 + FormatNumber(value, pattern, buffer + 1));
    return *this;
  }
  void End() { out_.append("\r\n", 2); }

 private:
  std::string& out_;
};

}  // namespace vortan
