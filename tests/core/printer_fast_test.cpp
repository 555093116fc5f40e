// The printer's common cases (one number inline, two at once) give the text of std::to_chars in
// fixed format laid out by the pattern, for every double, whether printed numbers are checked
// or not; and where they are checked, a number is noted (the point computed again) exactly as
// the one-by-one printing notes it.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/math_functions.h"
#include "core/number_format.h"
#include "tests/support/to_chars_text.h"

namespace vortan {
namespace {

using namespace patterns;

std::string ReferenceText(double value, NumberPattern pattern) {
  return support::ToCharsText(value, pattern);
}

constexpr NumberPattern kPatterns[] = {kMetres, kPacked, kScale, kCentimetres, kDegrees,
                                       kCount, kGridStep, kGridCoordinate, kHeight,
                                       kScaleDifference};

// FormatNumber into a buffer with room to spare: the text, and no byte written past the
// room it is given.
std::string Printed(double value, NumberPattern pattern) {
  char buffer[kMaxFormattedLength + 16];
  std::memset(buffer, '#', sizeof buffer);
  const std::size_t n = FormatNumber(value, pattern, buffer);
  for (std::size_t k = kMaxFormattedLength; k < sizeof buffer; ++k) {
    EXPECT_EQ(buffer[k], '#') << value;
  }
  return std::string(buffer, n);
}

std::string PrintedTwo(double a, NumberPattern pa, double b, NumberPattern pb) {
  char buffer[2 * kMaxFormattedLength + 1];
  return std::string(buffer, FormatTwoNumbers(a, pa, b, pb, buffer));
}

// Values whose text the fast paths could get wrong: carries into the next whole number (a
// packed angle's seconds that round to 60 as well: no carry into the minutes), the sign of a value that rounds to zero, no integer
// digit, eight integer digits and the carry to nine, halves, values that are no numbers.
struct Case {
  double value;
  NumberPattern pattern;
  const char* text;
};
constexpr Case kCases[] = {
    {375859.999996, kPacked, "375860.00000"},
    {375859.999994, kPacked, "375859.99999"},
    {-375859.999996, kPacked, "-375860.00000"},
    {0.000004, kPacked, ".00000"},
    {-0.000004, kPacked, "-.00000"},
    {-0.0, kPacked, ".00000"},
    {-0.0004, kMetres, "-.000"},
    {0.0004, kMetres, ".000"},
    {0.0, kMetres, ".000"},
    {-0.0, kMetres, ".000"},
    {0.9996, kMetres, "1.000"},
    {-0.9996, kMetres, "-1.000"},
    {0.25, kMetres, ".250"},
    {0.125, kMetres, ".125"},
    {0.0625, kMetres, ".062"},  // a half: to even
    {0.1875, kMetres, ".188"},  // a half: to even
    {4529332.3145, kMetres, "4529332.315"},  // the binary value lies above the half
    {99999998.9996, kMetres, "99999999.000"},
    {99999999.4, kMetres, "99999999.400"},
    {99999999.9996, kMetres, "100000000.000"},
    {-12345678.5, kMetres, "-12345678.500"},
    {0.9999996, kScale, "1.000000"},
    {0.0000004, kScale, "0.000000"},
    {-0.0000004, kScale, "-0.000000"},
    {1.0003525, kScale, "1.000352"},  // the binary value lies below the half
    {51.61, kHeight, "00051.610"},
    {-0.04, kCentimetres, "-000.0"},
    {2000, kGridStep, "2000."},
    {-0.294e-6, kScaleDifference, "-.000000294"},
    {1e20, kDegrees, "100000000000000000000"},
    {1e15 + 0.5, kMetres, "1000000000000000.500"},
    {std::numeric_limits<double>::quiet_NaN(), kMetres, "nan"},
    {std::numeric_limits<double>::infinity(), kPacked, "inf"},
    {-std::numeric_limits<double>::infinity(), kScale, "-inf"},
};

TEST(PrinterFast, ValuesAtTheEdgesOfItsCases) {
  for (const Case& c : kCases) {
    const std::string expected = c.text;
    EXPECT_EQ(ReferenceText(c.value, c.pattern), expected) << c.value;
    EXPECT_EQ(Printed(c.value, c.pattern), expected) << c.value;
    // As either number of a pair, beside a packed angle.
    EXPECT_EQ(PrintedTwo(c.value, c.pattern, 381530.12345, kPacked),
              expected + ",381530.12345");
    EXPECT_EQ(PrintedTwo(-381530.12345, kPacked, c.value, c.pattern),
              "-381530.12345," + expected);
  }
}

// Values of every kind: the coordinates, packed angles and scale factors of the files and the
// doubles beside them, values of every magnitude, random bit patterns, whole numbers of the
// last decimal shown with a half added and the doubles beside those.
std::vector<double> ManyValues(std::mt19937_64& random, NumberPattern pattern) {
  std::vector<double> values;
  std::uniform_real_distribution<double> metres(-5e6, 5e6), packed(-460000, 460000),
      scale(0.9990, 1.0012), unit(-0.5, 0.5);
  std::uniform_int_distribution<int> power(-12, 12);
  std::uniform_int_distribution<std::int64_t> whole(0, 99999999);
  const double step = std::pow(10.0, -pattern.decimals);
  for (int i = 0; i < 6000; ++i) {
    for (double v : {metres(random), packed(random), scale(random),
                     unit(random) * std::pow(10.0, power(random)),
                     (static_cast<double>(whole(random)) + 0.5) * step,
                     (static_cast<double>(whole(random) % 1000) + 0.5) * step}) {
      values.insert(values.end(), {v, -v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)});
    }
    double bits;
    const std::uint64_t pattern64 = random();
    std::memcpy(&bits, &pattern64, sizeof bits);
    values.push_back(bits);
  }
  return values;
}

TEST(PrinterFast, EveryKindOfValueAsToChars) {
  std::mt19937_64 random(1907);
  for (const NumberPattern& pattern : kPatterns) {
    const std::vector<double> values = ManyValues(random, pattern);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const double v = values[i];
      if (std::fabs(v) > 1e40) continue;  // long texts: the rare path alone
      const std::string expected = ReferenceText(v, pattern);
      ASSERT_EQ(Printed(v, pattern), expected) << std::hexfloat << v;
      const double w = values[(i * 7919 + 3) % values.size()];
      if (std::fabs(w) > 1e40) continue;
      ASSERT_EQ(PrintedTwo(v, pattern, w, kMetres), expected + "," + ReferenceText(w, kMetres))
          << std::hexfloat << v << " " << w;
      ASSERT_EQ(PrintedTwo(w, kPacked, v, pattern), ReferenceText(w, kPacked) + "," + expected)
          << std::hexfloat << w << " " << v;
    }
  }
}

// A number within the margin of a rounding boundary (a half
// of the last decimal shown; zero, where the sign is at stake) is noted. The common cases must
// note exactly what the one-by-one printing (FormatAny) notes: values placed around the margin
// on either side of it, and far from it.
TEST(PrinterFast, NotesWhatTheOneByOnePrintingNotes) {
  const double offsets[] = {0,        1e-9,     1e-7,     1e-6,   2.9e-4, 2.999e-4,
                            3.001e-4, 3.1e-4,   4.4e-4,   4.6e-4, 4.5e-4, 1e-3,
                            0.01,     0.2,      0.4999,   -1e-7,  -2.9e-4, -3.001e-4,
                            -3.1e-4,  -4.4e-4,  -4.6e-4,  -0.2};
  std::mt19937_64 random(88);
  std::uniform_int_distribution<std::int64_t> whole(0, 9999999);
  const auto notedAlone = [](double v, NumberPattern p) {
    char buffer[kMaxFormattedLength];
    math::ResetNoted();
    number_format_internal::FormatAny(v, p, buffer);
    return math::Noted();
  };
  int noted = 0;
  for (const NumberPattern& p : {kMetres, kPacked, kScale, kHeight}) {
    const double step = std::pow(10.0, -p.decimals);
    for (int i = 0; i < 3000; ++i) {
      const std::int64_t w = i < 50 ? 0 : whole(random);
      for (double offset : offsets) {
        for (double v : {(static_cast<double>(w) + 0.5 + offset) * step,
                         (static_cast<double>(w % 7) + offset) * step,
                         -(static_cast<double>(w) + 0.5 + offset) * step}) {
          const bool alone = notedAlone(v, p);
          noted += alone;
          char buffer[2 * kMaxFormattedLength + 1];
          math::ResetNoted();
          FormatNumber(v, p, buffer);
          ASSERT_EQ(math::Noted(), alone) << std::hexfloat << v;
          const double other = 381530.123456;  // far from any boundary
          math::ResetNoted();
          FormatTwoNumbers(v, p, other, kPacked, buffer);
          ASSERT_EQ(math::Noted(), alone) << std::hexfloat << v;
          math::ResetNoted();
          FormatTwoNumbers(other, kMetres, v, p, buffer);
          ASSERT_EQ(math::Noted(), alone) << std::hexfloat << v;
        }
      }
    }
  }
  EXPECT_GT(noted, 1000);  // the table reaches into the margin
}

}  // namespace
}  // namespace vortan
