// The fixed number format patterns of the system, always with "." as decimal point:
// ".000" (metres), ".00000" (packed angles, seconds), "0.000000" (scale factor), "000.0"
// (corrections in cm), "00" (degrees, minutes), "000" (grid counts), "0000." and "00000."
// (grid header), "00000.000" (heights), ".000000000" (scale difference).
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/math_functions.h"
#include "core/simd.h"

namespace vortan {

struct NumberPattern {
  int integerDigits;  // zeros before the point: the minimum count of integer digits
  int decimals;       // digits after the point
  bool point;         // whether the point is printed (also with no decimals: "0000.")

  // Reads a pattern text such as ".000" or "0000." (only "0" and one ".").
  static constexpr NumberPattern Of(std::string_view pattern) {
    NumberPattern p{0, 0, false};
    for (char ch : pattern) {
      if (ch == '.') {
        p.point = true;
      } else if (p.point) {
        ++p.decimals;
      } else {
        ++p.integerDigits;
      }
    }
    return p;
  }
};

namespace patterns {
inline constexpr NumberPattern kMetres = NumberPattern::Of(".000");
inline constexpr NumberPattern kPacked = NumberPattern::Of(".00000");
inline constexpr NumberPattern kSeconds = NumberPattern::Of(".00000");
inline constexpr NumberPattern kScale = NumberPattern::Of("0.000000");
inline constexpr NumberPattern kCentimetres = NumberPattern::Of("000.0");
inline constexpr NumberPattern kDegrees = NumberPattern::Of("00");
inline constexpr NumberPattern kCount = NumberPattern::Of("000");
inline constexpr NumberPattern kGridStep = NumberPattern::Of("0000.");
inline constexpr NumberPattern kGridCoordinate = NumberPattern::Of("00000.");
inline constexpr NumberPattern kHeight = NumberPattern::Of("00000.000");
inline constexpr NumberPattern kScaleDifference = NumberPattern::Of(".000000000");
}  // namespace patterns

// Longest text FormatNumber writes: a sign, 309 integer digits, a point and the decimals.
inline constexpr std::size_t kMaxFormattedLength = 352;

// Writes value with the pattern into out (room for kMaxFormattedLength characters; bytes of
// that room past the returned length may be overwritten) and returns the length. Rounds to
// the decimals shown (to nearest, on the exact binary value); a negative value that rounds to
// zero keeps its sign ("-.000"). Non-finite values are written as "nan", "inf" or "-inf"
// (callers never pass them).
inline std::size_t FormatNumber(double value, NumberPattern pattern, char* out);

std::string FormatNumber(double value, NumberPattern pattern);

// A coordinate as a message quotes it: with the given decimals (at least one integer digit),
// or, beyond any coordinate (1e300 from a broken file, which would take 300 digits), in short
// exponential form with nine significant digits ("1e+300"); "nan", "inf", "-inf" as such.
std::string MessageCoordinate(double value, int decimals);

namespace number_format_internal {

// Every case of FormatNumber.
std::size_t FormatAny(double value, NumberPattern pattern, char* out);

inline constexpr std::uint64_t kDecimalScales[] = {1,      10,      100,      1000,     10000,
                                                 100000, 1000000, 10000000, 100000000};

// Whether FormatNumber's common case serves the pattern: at most eight decimals and eight
// integer zeros, on a little-endian machine.
constexpr bool CommonPattern(NumberPattern pattern) {
  return std::endian::native == std::endian::little && pattern.decimals <= 8 &&
         pattern.integerDigits <= 8 && pattern.decimals >= 0 && pattern.integerDigits >= 0;
}

inline constexpr std::uint64_t kZeroCharacters = 0x3030303030303030ull;

// Writes a number of the common case from the eight ASCII digits of its integer part (the
// first in the lowest byte; `zeros` of them, 0 to 8, are zeros in front) and the eight of its
// decimals (as a whole number of the last decimal shown): the sign, the integer part without
// its zeros in front or with the pattern's zeros, the point and the decimals, as one word of
// eight bytes for the integer part and one for the point and up to seven decimals. The words
// may reach 8 bytes past the returned length. Returns the length.
[[gnu::always_inline]] inline std::size_t StoreText(char* out, bool negative,
                                                    std::uint64_t integerText, unsigned zeros,
                                                    std::uint64_t fractionText,
                                                    NumberPattern pattern) {
  out[0] = '-';
  std::size_t n = negative;
  // The zeros in front that are not shown (the pattern's zeros are).
  const unsigned shownAtMost = 8u - static_cast<unsigned>(pattern.integerDigits);
  const unsigned hidden =
      pattern.integerDigits == 0 || zeros < shownAtMost ? zeros : shownAtMost;
  // With no integer digit the word is written whole and then overwritten by what follows.
  const std::uint64_t integerWord = integerText >> ((8 * hidden) & 63);
  std::memcpy(out + n, &integerWord, sizeof integerWord);
  n += 8 - hidden;
  const std::size_t decimals = static_cast<std::size_t>(pattern.decimals);
  if (pattern.point && decimals < 8) {
    // The point in the lowest byte, the decimals above it (none: the point alone).
    const std::uint64_t word =
        decimals == 0 ? std::uint64_t{'.'}
                      : (fractionText >> (8 * (8 - decimals))) << 8 | std::uint64_t{'.'};
    std::memcpy(out + n, &word, sizeof word);
    return n + 1 + decimals;
  }
  if (pattern.point) out[n++] = '.';
  if (decimals > 0) {
    const std::uint64_t word = fractionText >> ((8 * (8 - decimals)) & 63);
    std::memcpy(out + n, &word, sizeof word);
  }
  return n + decimals;
}

// StoreText from the digit lanes (simd::DigitLanes) of the integer part and of the decimals.
[[gnu::always_inline]] inline std::size_t StoreNumber(char* out, bool negative,
                                                      std::uint64_t lanes,
                                                      std::uint64_t fractionLanes,
                                                      NumberPattern pattern) {
  // The zeros in front are the lowest bytes of the lanes that are zero.
  const unsigned zeros =
      lanes != 0 ? static_cast<unsigned>(std::countr_zero(lanes)) / 8 : 8;
  return StoreText(out, negative, lanes + kZeroCharacters, zeros,
                   fractionLanes + kZeroCharacters, pattern);
}

// The margin from a half within which FormatTwoNumbers leaves the rounding to FormatNumber (one
// by one): far wider than the double rounding of the scaled fraction, and a little wider than
// the margin within which FormatNumber notes a number where printed numbers are checked
// (math::NoteRounding), so that every number it would note is printed by it, and the pairs
// need not ask whether numbers are checked. A whole part of 0 with a scaled fraction below it
// (the sign of "-.000" at stake) goes there too.
inline constexpr double kFastMargin = 1.5 * math::kBoundaryMargin;
}  // namespace number_format_internal

// The common case inline, so that the pattern of the caller is a constant there: a value whose
// integer part has at most eight digits, with at most eight decimals and eight integer zeros
// (coordinates, angles, scale factors), from whole numbers. The integer part is round(x) with
// the decimals as a whole number of the last decimal shown; the fraction is exact, and its
// product with the power of ten is within 2^-53 * 10^8 of the exact product, so unless that
// lies next to a half both round to the same whole number. Next to a half, and for every other
// case, FormatAny decides on the exact binary value.
[[gnu::always_inline]] inline std::size_t FormatNumber(double value, NumberPattern pattern,
                                                     char* out) {
  namespace internal = number_format_internal;
  const double magnitude = std::fabs(value);
  if (!internal::CommonPattern(pattern) || !(magnitude < 1e8)) {
    return internal::FormatAny(value, pattern, out);
  }
  const std::size_t decimals = static_cast<std::size_t>(pattern.decimals);
  const std::int64_t scale = static_cast<std::int64_t>(internal::kDecimalScales[decimals]);
  std::int64_t whole = static_cast<std::int64_t>(magnitude);
  const double scaledFraction =
      (magnitude - static_cast<double>(whole)) * static_cast<double>(scale);
  // The scaled fraction rounds up where what its truncation leaves is above a half; next to a
  // half FormatAny decides.
  std::int64_t fraction = static_cast<std::int64_t>(scaledFraction);
  const double rest = scaledFraction - static_cast<double>(fraction);
  math::NoteRounding(whole, scale, scaledFraction, rest);
  if (std::fabs(rest - 0.5) < 1e-6) return internal::FormatAny(value, pattern, out);
  fraction = simd::NearestWhole(scaledFraction, fraction, rest);
  if (fraction == scale) {
    fraction = 0;
    ++whole;
    if (whole == 100000000) return internal::FormatAny(value, pattern, out);
  }
  std::uint64_t lanes;
  std::uint64_t fractionLanes;
  simd::DigitLanesOfTwo(static_cast<std::uint64_t>(whole), static_cast<std::uint64_t>(fraction),
                        lanes, fractionLanes);
  return internal::StoreNumber(out, value < 0, lanes, fractionLanes, pattern);
}

namespace number_format_internal {
// FormatNumber(a, pa), "," and FormatNumber(b, pb): a call, so that FormatTwoNumbers does not
// set up the arguments of its rare cases in its common one.
[[gnu::noinline]] inline std::size_t FormatOneByOne(double a, NumberPattern pa, double b,
                                                    NumberPattern pb, char* out) {
  std::size_t n = FormatNumber(a, pa, out);
  out[n++] = ',';
  return n + FormatNumber(b, pb, out + n);
}
}  // namespace number_format_internal

// Two numbers at once, as FormatNumber(a, pa), "," and FormatNumber(b, pb) write them (out
// has room for 2 * kMaxFormattedLength + 1 characters), with the same operations: where the
// processor can, the whole and fraction parts of both side by side and the digit texts of all
// four at once (simd::FixedPartsOfTwo), every rare case behind one test. The pairs of a line
// (latitude and longitude, easting and northing) take about a fifth less time this way.
// Returns the length.
[[gnu::always_inline]] inline std::size_t FormatTwoNumbers(double a, NumberPattern pa, double b,
                                                         NumberPattern pb, char* out) {
  namespace internal = number_format_internal;
  std::uint64_t text[4];
  unsigned zeroDigits;
  int negative;
  if (!internal::CommonPattern(pa) || !internal::CommonPattern(pb) ||
      !simd::FixedPartsOfTwo(a, b, static_cast<int>(internal::kDecimalScales[pa.decimals]),
                             static_cast<int>(internal::kDecimalScales[pb.decimals]),
                             internal::kFastMargin, text, zeroDigits, negative)) {
    return internal::FormatOneByOne(a, pa, b, pb, out);
  }
  // The zeros in front: the zero digits up to the first other one (bit 8 stops the count).
  const unsigned otherDigits = ~zeroDigits;
  const unsigned zerosA = static_cast<unsigned>(std::countr_zero(otherDigits | 0x100u));
  const unsigned zerosB = static_cast<unsigned>(std::countr_zero((otherDigits >> 8) | 0x100u));
  std::size_t n = internal::StoreText(out, (negative & 1) != 0, text[0], zerosA, text[2], pa);
  out[n++] = ',';
  return n + internal::StoreText(out + n, (negative & 2) != 0, text[1], zerosB, text[3], pb);
}

}  // namespace vortan
