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
std::optional<double> ParseFieldNumber(std::string_view text, std::string& reason);

}  // namespace vortan
