// Angle formats: radians inside the core, packed DDMMSS.SSSSS and degrees, minutes, seconds on
// the boundary; and the reading of number texts typed into boxes.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/geodetic_params.h"
#include "core/math_functions.h"

namespace vortan {

// An angle split into whole degrees, whole minutes and seconds, and its packed form
// P = D * 10000 + M * 100 + S.
struct Dms {
  std::int16_t degrees;
  std::int16_t minutes;
  double seconds;
  double packed;
};

// Degrees, minutes, seconds and packed form of an angle in radians. Degrees and minutes are
// formed with Int (towards minus infinity); no carry is made when the seconds round to 60.
// Inline: every point of a job forms two to four of them.
inline Dms RadiansToDms(double radians);

namespace angles_internal {

// Raises the invalid-operation flag (for a whole number outside 16 bits).
std::int16_t OutOfRange(double whole);

// Whole degrees or minutes as a 16-bit integer. Outside its range (or for nan) the conversion
// has no value: it raises the invalid-operation flag, as the processor's own conversion does,
// so that the numeric-fault guard of the caller turns the point into an error.
inline std::int16_t ToInt16(double whole) {
  if (whole >= INT16_MIN && whole <= INT16_MAX) return static_cast<std::int16_t>(whole);
  return OutOfRange(whole);
}

}  // namespace angles_internal

inline Dms RadiansToDms(double radians) {
  const double d = radians * 180 / kPi;
  const double degrees = std::floor(d);
  const double minutes = std::floor((d - degrees) * 60);
  const double seconds = ((d - degrees) * 60 - minutes) * 60;
  math::NoteSplit(d - degrees);
  math::NoteSplit((d - degrees) * 60 - minutes);
  const std::int16_t d16 = angles_internal::ToInt16(degrees);
  const std::int16_t m16 = angles_internal::ToInt16(minutes);
  const std::int32_t whole = std::int32_t{d16} * 10000 + std::int32_t{m16} * 100;
  return {d16, m16, seconds, whole + seconds};
}

struct PackedAngle {
  Dms parts;
  double radians;
};

// Radians of a packed DDMMSS.SSSSS value, read arithmetically (no check that M, S < 60).
PackedAngle PackedToRadians(double packed);

// A value in decimal degrees written as a packed DDMMSS.SSSSS angle: the seconds rounded to
// five decimals first, so that 59.999999 seconds become a whole minute (37.976358 is
// 375834.88880). For the hint that a packed value below 100 is most likely decimal degrees.
double DecimalDegreesAsPacked(double degrees);

// The leading number of a box text: blanks, tabs and line feeds are skipped wherever they
// stand; sign, digits, one "." and an exponent are read up to the first other character; a
// text without a leading number gives 0. A number too large for a double gives +-infinity.
double ParseNumberText(std::string_view text);

// Whether ParseNumberText takes the whole text as its number: nothing but blanks around and
// within it, no exponent left without digits. A text of blanks alone (or none) is whole: it
// reads as 0. "566296.5a1", "7E", "-" and "abc" are not.
bool IsWholeNumberText(std::string_view text);

}  // namespace vortan
