// Number texts at the edges of the double range, and angles whose degrees or minutes do not fit
// the 16-bit integers of the packed form.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <string>

#include "core/angles.h"
#include "core/decimal_text.h"
#include "core/numeric_guard.h"
#include "data_files/records.h"

namespace vortan {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// A value's size is its order of magnitude, not the sign of its exponent: 1 followed by 400
// zeros times 10^-50 is 1e350, far beyond a double, and 0.000...1 with 400 zeros is tiny.
TEST(NumberTexts, OutOfRangeIsJudgedByTheOrderOfMagnitude) {
  const std::string huge = "1" + std::string(400, '0') + "e-50";
  const std::string tiny = "0." + std::string(400, '0') + "1";
  const std::string tinyWithExponent = "0.0001e-330";

  EXPECT_EQ(ParseNumberText(huge), kInf);
  EXPECT_EQ(ParseNumberText("-" + huge), -kInf);
  EXPECT_EQ(ParseNumberText(tiny), 0.0);
  EXPECT_EQ(ParseNumberText(tinyWithExponent), 0.0);
  EXPECT_EQ(ParseNumberText("1e99999999999999999999999"), kInf);
  EXPECT_EQ(ParseNumberText("1e-99999999999999999999999"), 0.0);
  EXPECT_EQ(ParseNumberText("1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(ParseNumberText("1.7976931348623159e308"), kInf);
  EXPECT_EQ(ParseNumberText("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());

  std::string reason;
  EXPECT_FALSE(ParseFieldNumber(huge, reason).has_value());
  EXPECT_NE(reason.find("too large"), std::string::npos) << reason;
  reason.clear();
  const std::optional<double> small = ParseFieldNumber(tiny, reason);
  ASSERT_TRUE(small.has_value()) << reason;
  EXPECT_EQ(*small, 0.0);
  EXPECT_EQ(ParseFieldNumber("1e308", reason), 1e308);
  EXPECT_FALSE(ParseFieldNumber("1e309", reason).has_value());
  EXPECT_FALSE(ParseFieldNumber("-1e309", reason).has_value());
}

// The exact value of a long decimal text is what counts, not where its point stands.
TEST(NumberTexts, ReadDecimalAgreesAcrossNotations) {
  const std::string hundredZeros(100, '0');
  EXPECT_EQ(ReadDecimal("1" + hundredZeros), 1e100);
  EXPECT_EQ(ReadDecimal("0." + hundredZeros + "1e201"), 1e100);
  EXPECT_EQ(ReadDecimal("-0.000" + hundredZeros + "25e104"), -2.5);
  EXPECT_TRUE(IsPlainDecimal("-.5E+3"));
  EXPECT_TRUE(IsPlainDecimal("12."));
  for (const char* bad : {"", "-", ".", "e5", "1e", "1e+", "1.2.3", "0x10", "nan", "inf",
                          "1,5", " 1", "1 ", "+-1", "1e5.0"}) {
    EXPECT_FALSE(IsPlainDecimal(bad)) << bad;
  }
}

// Degrees or minutes beyond the 16-bit integers have no packed form: the conversion raises the
// invalid-operation flag for the numeric-fault guard instead of an undefined conversion.
TEST(PackedAngles, DegreesBeyondSixteenBitsAreANumericFault) {
  {
    NumericGuard guard;
    const PackedAngle a = PackedToRadians(1e9);  // 100000 degrees
    EXPECT_FALSE(guard.Clean());
    EXPECT_EQ(guard.Fault(), "invalid operation");
    EXPECT_EQ(a.parts.degrees, 32767);
  }
  {
    NumericGuard guard;
    RadiansToDms(std::nan(""));
    EXPECT_FALSE(guard.Clean());
  }
  {
    NumericGuard guard;
    RadiansToDms(1e300);
    EXPECT_FALSE(guard.Clean());
  }
  {
    // The largest degrees that fit, and their packed form, stay exact and raise nothing.
    NumericGuard guard;
    const PackedAngle a = PackedToRadians(-327670000.5);
    EXPECT_TRUE(guard.Clean()) << guard.Fault();
    EXPECT_EQ(a.parts.degrees, -32768);
    const Dms d = RadiansToDms(-0.5 * std::acos(-1.0) / 180);
    EXPECT_EQ(d.degrees, -1);
    EXPECT_EQ(d.minutes, 30);
    EXPECT_TRUE(guard.Clean()) << guard.Fault();
  }
}

}  // namespace
}  // namespace vortan
