// The fixed number format patterns of the system, always with "." as decimal point:
// ".000" (metres), ".00000" (packed angles, seconds), "0.000000" (scale factor), "000.0"
// (corrections in cm), "00" (degrees, minutes), "000" (grid counts), "0000." and "00000."
// (grid header), "00000.000" (heights), ".000000000" (scale difference).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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
// that room past the returned length may be overwritten) and returns the length. Rounds to the decimals shown (to nearest, on the exact binary value); a
// negative value that rounds to zero keeps its sign ("-.000"). Non-finite values are written
// as "nan", "inf" or "-inf" (callers never pass them).
std::size_t FormatNumber(double value, NumberPattern pattern, char* out);

std::string FormatNumber(double value, NumberPattern pattern);

}  // namespace vortan
