#include "core/angles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/number_format.h"

namespace vortan {
namespace {

const double kPi = 4 * std::atan(1.0);

TEST(RadiansToDms, WholeDegreesAndPackedForm) {
  const double rad = 38 * kPi / 180;
  EXPECT_EQ(rad, 0.6632251157578452);
  const Dms d = RadiansToDms(rad);
  EXPECT_EQ(d.degrees, 38);
  EXPECT_EQ(d.minutes, 0);
  EXPECT_NEAR(d.seconds, 0, 1e-8);
  EXPECT_EQ(FormatNumber(d.packed, patterns::kPacked), "380000.00000");
}

TEST(RadiansToDms, NoCarryWhenSecondsRoundToSixty) {
  const Dms d = RadiansToDms(19.999999999909 * kPi / 180);
  EXPECT_EQ(d.degrees, 19);
  EXPECT_EQ(d.minutes, 59);
  EXPECT_NEAR(d.seconds, 59.99999967, 1e-7);
  EXPECT_NEAR(d.packed, 195959.99999967, 1e-7);
  EXPECT_EQ(FormatNumber(d.packed, patterns::kPacked), "195960.00000");
  EXPECT_EQ(FormatNumber(d.seconds, patterns::kSeconds), "60.00000");
}

TEST(RadiansToDms, NegativeAnglesFollowIntTowardsMinusInfinity) {
  const Dms d = RadiansToDms(-0.5 * kPi / 180);
  EXPECT_EQ(d.degrees, -1);
  EXPECT_EQ(d.minutes, 30);
  EXPECT_NEAR(d.seconds, 0, 1e-9);
  EXPECT_NEAR(d.packed, -7000, 1e-9);
  EXPECT_NEAR(PackedToRadians(-7000).radians * 180 / kPi, -0.5, 1e-15);
}

TEST(PackedToRadians, SplitsPackedValue) {
  const PackedAngle a = PackedToRadians(381530.12345);
  EXPECT_EQ(a.parts.degrees, 38);
  EXPECT_EQ(a.parts.minutes, 15);
  EXPECT_NEAR(a.parts.seconds, 30.12345, 1e-9);
  EXPECT_DOUBLE_EQ(a.radians, (38 + 15.0 / 60 + 30.12345 / 3600) * kPi / 180);
  // Seconds of 60 or more are read arithmetically.
  EXPECT_NEAR(PackedToRadians(380075).radians, PackedToRadians(380115).radians, 1e-15);
}

TEST(ParseNumberText, ReadsTheLeadingNumber) {
  EXPECT_EQ(ParseNumberText("566296.541"), 566296.541);
  EXPECT_EQ(ParseNumberText("6,501"), 6);
  EXPECT_EQ(ParseNumberText(""), 0);
  EXPECT_EQ(ParseNumberText(" 12.5 m"), 12.5);
  EXPECT_EQ(ParseNumberText("1 2\t3\n.5"), 123.5);  // blanks are skipped wherever they stand
  EXPECT_EQ(ParseNumberText("-.25"), -0.25);
  EXPECT_EQ(ParseNumberText("+4"), 4);
  EXPECT_EQ(ParseNumberText("1.5E3"), 1500);
  EXPECT_EQ(ParseNumberText("2e-2x"), 0.02);
  EXPECT_EQ(ParseNumberText("7E"), 7);       // an exponent without digits is not read
  EXPECT_EQ(ParseNumberText("1.2.3"), 1.2);  // a second point ends the number
  EXPECT_EQ(ParseNumberText("abc"), 0);
  EXPECT_EQ(ParseNumberText("h (ελλειψοειδές)"), 0);
  EXPECT_EQ(ParseNumberText("nan"), 0);
  EXPECT_EQ(ParseNumberText("inf"), 0);
  EXPECT_EQ(ParseNumberText("-"), 0);
}

TEST(ParseNumberText, HugeNumbersBecomeInfinity) {
  EXPECT_EQ(ParseNumberText("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseNumberText("-1e999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseNumberText("1e-999"), 0);
  EXPECT_EQ(ParseNumberText("1e308"), 1e308);
}

}  // namespace
}  // namespace vortan
