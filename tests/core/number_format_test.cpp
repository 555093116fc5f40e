#include "core/number_format.h"

#include <gtest/gtest.h>

namespace vortan {
namespace {

using namespace patterns;

TEST(NumberFormat, MetresOmitAZeroIntegerPart) {
  EXPECT_EQ(FormatNumber(412345.67891, kMetres), "412345.679");
  EXPECT_EQ(FormatNumber(4201234.5, kMetres), "4201234.500");
  EXPECT_EQ(FormatNumber(0.25, kMetres), ".250");
  EXPECT_EQ(FormatNumber(-0.25, kMetres), "-.250");
  EXPECT_EQ(FormatNumber(0, kMetres), ".000");
  EXPECT_EQ(FormatNumber(-0.0004, kMetres), "-.000");  // a negative value keeps its sign
  EXPECT_EQ(FormatNumber(0.9996, kMetres), "1.000");
  EXPECT_EQ(FormatNumber(-1234.5678, kMetres), "-1234.568");
}

TEST(NumberFormat, EveryPatternOfTheSystem) {
  EXPECT_EQ(FormatNumber(381530.12345, kPacked), "381530.12345");
  EXPECT_EQ(FormatNumber(0.999612, kScale), "0.999612");
  EXPECT_EQ(FormatNumber(1.0, kScale), "1.000000");
  EXPECT_EQ(FormatNumber(-11.94, kCentimetres), "-011.9");
  EXPECT_EQ(FormatNumber(17.7, kCentimetres), "017.7");
  EXPECT_EQ(FormatNumber(-0.04, kCentimetres), "-000.0");
  EXPECT_EQ(FormatNumber(5, kDegrees), "05");
  EXPECT_EQ(FormatNumber(40, kDegrees), "40");
  EXPECT_EQ(FormatNumber(0, kDegrees), "00");
  EXPECT_EQ(FormatNumber(3, kCount), "003");
  EXPECT_EQ(FormatNumber(408, kCount), "408");
  EXPECT_EQ(FormatNumber(2000, kGridStep), "2000.");
  EXPECT_EQ(FormatNumber(1846000, kGridCoordinate), "1846000.");
  EXPECT_EQ(FormatNumber(42000, kGridCoordinate), "42000.");
  EXPECT_EQ(FormatNumber(51.61, kHeight), "00051.610");
  EXPECT_EQ(FormatNumber(-0.294 / 1000000, kScaleDifference), "-.000000294");
  EXPECT_EQ(FormatNumber(203.437, kMetres), "203.437");
  EXPECT_EQ(FormatNumber(-0.17, kMetres), "-.170");
  EXPECT_EQ(FormatNumber(9.5, kSeconds), "9.50000");
  EXPECT_EQ(FormatNumber(0.5, kSeconds), ".50000");
}

TEST(NumberFormat, HugeValuesFitTheBuffer) {
  const std::string text = FormatNumber(-1.7976931348623157e308, kHeight);
  EXPECT_LE(text.size(), kMaxFormattedLength);
  EXPECT_EQ(text.substr(0, 4), "-179");
  EXPECT_EQ(text.substr(text.size() - 4), ".000");
}

// The digits of two numbers at once are those of each alone: every number below 10^4 (all the
// values the 16-bit steps see), and numbers up to 10^8 - 1 in steps that cross every carry.
TEST(NumberFormat, DigitsOfTwoNumbersAreTheDigitsOfEach) {
  using simd::DigitLanes;
  using simd::DigitLanesOfTwo;
  const auto check = [](std::uint64_t a, std::uint64_t b) {
    std::uint64_t la = 0, lb = 0;
    DigitLanesOfTwo(a, b, la, lb);
    ASSERT_EQ(la, DigitLanes(a)) << a;
    ASSERT_EQ(lb, DigitLanes(b)) << b;
  };
  for (std::uint64_t n = 0; n < 10000; ++n) check(n, n * 10000 + 9999 - n);
  for (std::uint64_t n = 0; n < 100000000; n += 9973) check(n, 99999999 - n);
  check(99999999, 0);
}

}  // namespace
}  // namespace vortan
