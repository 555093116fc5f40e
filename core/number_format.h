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

// Writes the last count (1 to 8) of the eight digits in lanes at out; the word written may
// reach 8 bytes past out.
[[gnu::always_inline]] inline void StoreLastDigits(char* out, std::uint64_t lanes,
                                                   std::size_t count) {
  const std::uint64_t word = (lanes + 0x3030303030303030ull) >> (8 * (8 - count));
  std::memcpy(out, &word, sizeof word);
}

// Whether FormatNumber's common case serves the pattern: at most eight decimals and eight
// integer zeros, on a little-endian machine.
constexpr bool CommonPattern(NumberPattern pattern) {
  return std::endian::native == std::endian::little && pattern.decimals <= 8 &&
         pattern.integerDigits <= 8 && pattern.decimals >= 0 && pattern.integerDigits >= 0;
}

// Writes a number of the common case from the digit lanes of its integer part and of its
// decimals (as a whole number of the last decimal shown): the sign, the integer part without
// its zeros in front (none for 0) or the pattern's zeros, the point and the decimals. The
// zeros in front are the lowest bytes of the lanes that are zero. Returns the length.
[[gnu::always_inline]] inline std::size_t StoreNumber(char* out, bool negative,
                                                      std::uint64_t lanes,
                                                      std::uint64_t fractionLanes,
                                                      NumberPattern pattern) {
  std::size_t n = 0;
  out[0] = '-';
  n += negative;
  std::size_t integerLength =
      lanes != 0 ? 8 - static_cast<std::size_t>(std::countr_zero(lanes)) / 8 : 0;
  if (integerLength < static_cast<std::size_t>(pattern.integerDigits)) {
    integerLength = static_cast<std::size_t>(pattern.integerDigits);
  }
  if (integerLength > 0) StoreLastDigits(out + n, lanes, integerLength);
  n += integerLength;
  if (pattern.point) out[n++] = '.';
  const std::size_t decimals = static_cast<std::size_t>(pattern.decimals);
  if (decimals > 0) StoreLastDigits(out + n, fractionLanes, decimals);
  return n + decimals;
}

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
// processor can, the whole and fraction parts of both side by side and the digits of all four
// at once (simd::FixedPartsOfTwo). The pairs of a line (latitude and longitude, easting and
// northing) take about a fifth less time this way. Returns the length.
[[gnu::always_inline]] inline std::size_t FormatTwoNumbers(double a, NumberPattern pa, double b,
                                                         NumberPattern pb, char* out) {
  namespace internal = number_format_internal;
  std::uint64_t lanes[4];
  int negative;
  // One near a rounding boundary goes one by one, whose printing notes it.
  if (!internal::CommonPattern(pa) || !internal::CommonPattern(pb) ||
      !simd::FixedPartsOfTwo(a, b, static_cast<int>(internal::kDecimalScales[pa.decimals]),
                             static_cast<int>(internal::kDecimalScales[pb.decimals]),
                             math::kBoundaryMargin, true, lanes,
                             negative)) {
    return internal::FormatOneByOne(a, pa, b, pb, out);
  }
  std::size_t n = internal::StoreNumber(out, (negative & 1) != 0, lanes[0], lanes[2], pa);
  out[n++] = ',';
  return n + internal::StoreNumber(out + n, (negative & 2) != 0, lanes[1], lanes[3], pb);
}

}  // namespace vortan
