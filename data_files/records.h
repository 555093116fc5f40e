// Coordinate record layouts of the data files and the reading of their numeric fields.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/number_format.h"
#include "engine/forms.h"

namespace vortan {

// Layouts, named after the default file names. Every input layout has four fields: an id and
// three numbers.
enum class Layout { kSFLh, kSENh, kSXYZ, kSFL, kSEN, kSENk };

std::string_view LayoutName(Layout layout);

// The layout in which a coordinate form is read and written: SXYZ for X, Y, Z, SFLh for
// latitude, longitude (packed) and height, SENh for E, N, h.
Layout LayoutOf(Form form);

// The format patterns of the three numbers of a layout (the first three for SFLh, SENh, SXYZ,
// SENk; the first two for SFL and SEN).
const NumberPattern* PatternsOf(Layout layout);

struct LatLon {
  double latitude;   // radians
  double longitude;  // radians
};

// Latitude and longitude in radians of a packed DDMMSS.SSSSS pair.
LatLon PackedPairToRadians(double packedLatitude, double packedLongitude);

// Reads one numeric field of a coordinate file: optional sign, digits with at most one ".",
// optional exponent. Returns nothing and sets reason for anything else (an empty field, text,
// "nan", "inf", hexadecimal, or a number too large for a double).
// Excel's short scientific form (3.84E+05 or 3,84E+05), which Excel writes in a column too
// narrow for the number is refused too: it keeps three significant digits.
std::optional<double> ParseFieldNumber(std::string_view text, std::string& reason);
// The same, with the reason in Greek too.
std::optional<double> ParseFieldNumber(std::string_view text, std::string& reason,
                                       std::string& greek);

// Whether a text is a number in the scientific form Excel shows and saves in a column too
// narrow for it: one digit, at most two decimals after a point or a comma, "E", a sign and two
// digits of an exponent of at least 3, such as 3.84E+05. Such a number has lost every digit
// after its third: 384000.123 became 384000. Nothing else is (1e5 or 3.84e5 are exact texts).
bool IsExcelRoundedNumber(std::string_view text);
// Why such a number is refused, quoting it.
std::string ExcelRoundedReason(std::string_view text);
std::string ExcelRoundedReasonGreek(std::string_view text);

}  // namespace vortan
