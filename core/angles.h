// Angle formats: radians inside the core, packed DDMMSS.SSSSS and degrees, minutes, seconds on
// the boundary; and the reading of number texts typed into boxes.
#pragma once

#include <cstdint>
#include <string_view>

namespace vortan {

// An angle split into whole degrees, whole minutes and seconds, and its packed form
// P = D * 10000 + M * 100 + S.
struct Dms {
  std::int16_t degrees;
  std::int16_t minutes;
  double seconds;
  double packed;
};

// Int(x): the largest integer not greater than x.
double IntFloor(double x);

// Degrees, minutes, seconds and packed form of an angle in radians. Degrees and minutes are
// formed with Int (towards minus infinity); no carry is made when the seconds round to 60.
Dms RadiansToDms(double radians);

struct PackedAngle {
  Dms parts;
  double radians;
};

// Radians of a packed DDMMSS.SSSSS value, read arithmetically (no check that M, S < 60).
PackedAngle PackedToRadians(double packed);

// The leading number of a box text: blanks, tabs and line feeds are skipped wherever they
// stand; sign, digits, one "." and an exponent are read up to the first other character; a
// text without a leading number gives 0. A number too large for a double gives +-infinity.
double ParseNumberText(std::string_view text);

}  // namespace vortan
