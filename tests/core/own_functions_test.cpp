// The correctly rounded exponential and logarithms (core/math_functions.h), which the Windows
// build computes with instead of MinGW's x87 ones: exact where glibc's round wrongly (correct
// values from 60-digit arithmetic) and at arguments across their range, the library's special
// values, sine and cosine at once as the two functions, and within one unit of the last place of glibc over the ranges of the chains, equal
// to it in all but a few calls in a thousand.
#include "core/math_functions.h"
#include "tests/support/ulp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace vortan::math {
namespace {

double Call(const std::string& name, double x) {
  if (name == "Exp") return CorrectlyRoundedExp(x);
  if (name == "Log") return CorrectlyRoundedLog(x);
  return CorrectlyRoundedLog1p(x);
}

double Library(const std::string& name, double x) {
  if (name == "Exp") return std::exp(x);
  if (name == "Log") return std::log(x);
  return std::log1p(x);
}

struct Case {
  const char* function;
  double x;
  double value;  // correctly rounded
};

// The first three of each function are rounded wrongly by glibc.
constexpr Case kCases[] = {
    {"Exp", 0x1.6a00f5a0eb46bp-1, 0x1.0394bd1fa29acp+1},
    {"Exp", 0x1.9af29b2f1195ap-1, 0x1.1d9ebbfe25087p+1},
    {"Exp", 0x1.408890bd78b58p-1, 0x1.dec5009e66c79p+0},
    {"Exp", 0x1.98828e46843f4p+7, 0x1.997bee4406f2dp+294},
    {"Exp", 0x1.25e49188dc004p+9, 0x1.fe67fc8b55e64p+847},
    {"Log", 0x1.228476ca9cb63p+1, 0x1.a3a6fb105cb97p-1},
    {"Log", 0x1.13bb961e1f5f2p+1, 0x1.88e8e5d93dccfp-1},
    {"Log", 0x1.1d4e07e0e4305p+1, 0x1.9a61db975c2f6p-1},
    {"Log", 0x1.2f96ffe986a1ep+636, 0x1.b903197168d6fp+8},
    {"Log", 0x1.5599e7757c255p-951, -0x1.49727f0c749a8p+9},
    {"Log1p", 0x1.60efc9c08ac07p-5, 0x1.598ba082fc7e7p-5},
    {"Log1p", 0x1.8ee06e5e429eep-5, 0x1.8578501363775p-5},
    {"Log1p", 0x1.10718a2ece265p-5, 0x1.0c02db20c8c7bp-5},
    {"Log1p", 0x1.528b9a723f096p+19, 0x1.ae607d1f1f884p+3},
    {"Log1p", 0x1.0d73c3e681817p+18, 0x1.90e4483859b37p+3},
};

TEST(OwnFunctions, RoundToTheNearestDouble) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.function) + " " + std::to_string(c.x));
    EXPECT_EQ(Call(c.function, c.x), c.value);
  }
}

TEST(OwnFunctions, SpecialValuesAreTheLibrarys) {
  const double inf = INFINITY;
  EXPECT_EQ(CorrectlyRoundedExp(0.0), 1.0);
  EXPECT_EQ(CorrectlyRoundedExp(-inf), 0.0);
  EXPECT_EQ(CorrectlyRoundedExp(inf), inf);
  EXPECT_EQ(CorrectlyRoundedLog(1.0), 0.0);
  EXPECT_EQ(CorrectlyRoundedLog(0.0), -inf);
  EXPECT_TRUE(std::isnan(CorrectlyRoundedLog(-1.0)));
  EXPECT_EQ(CorrectlyRoundedLog1p(0.0), 0.0);
  EXPECT_TRUE(std::signbit(CorrectlyRoundedLog1p(-0.0)));
  EXPECT_EQ(CorrectlyRoundedLog1p(-1.0), -inf);
  EXPECT_EQ(CorrectlyRoundedLog1p(1e-310), 1e-310);
  // Beyond the exponential's range the library's overflow and underflow (at run time: the
  // compiler would fold a constant argument).
  volatile double large = 710;
  EXPECT_EQ(CorrectlyRoundedExp(large), inf);
  EXPECT_EQ(CorrectlyRoundedExp(-large), std::exp(-large));
}

TEST(OwnFunctions, SineAndCosineAtOnceAreTheTwoFunctions) {
  std::mt19937_64 random(87);
  std::uniform_real_distribution<double> draw(-7, 7);
  for (int i = 0; i < 10000; ++i) {
    const double x = draw(random);
    double s = 0, c = 0;
    CorrectlyRoundedSinCos(x, s, c);
    ASSERT_EQ(s, CorrectlyRoundedSin(x)) << x;
    ASSERT_EQ(c, CorrectlyRoundedCos(x)) << x;
  }
}

using support::UlpDistance;

TEST(OwnFunctions, AgreeWithGlibcOverTheRangesOfTheChains) {
#if !defined(__GLIBC__)
  GTEST_SKIP() << "the library here is not glibc";
#endif
  struct Range {
    const char* function;
    double low, high;
    int allowed;  // calls in 100,000 that may differ
  };
  // The chains: e^psi of isometric latitudes, ln((1 + sin phi) / cos phi), ln(1 + r) of the
  // steps of the latitude's iteration; then the whole range. glibc's log1p is not as close to
  // correct rounding as its exp and log.
  const Range ranges[] = {{"Exp", 0.5, 0.9, 500},     {"Log", 1.5, 2.5, 500},
                          {"Log1p", -0.05, 0.05, 2000}, {"Exp", -700, 700, 500},
                          {"Log", 1e-300, 1e300, 500}, {"Log1p", -0.9, 1e6, 10000}};
  std::mt19937_64 random(2026);
  for (const Range& r : ranges) {
    SCOPED_TRACE(std::string(r.function) + " " + std::to_string(r.low));
    std::uniform_real_distribution<double> draw(r.low, r.high);
    int differ = 0;
    for (int i = 0; i < 100000; ++i) {
      const double x = draw(random);
      const double mine = Call(r.function, x), library = Library(r.function, x);
      if (mine != library) {
        ++differ;
        ASSERT_LE(UlpDistance(mine, library), 1) << x;
      }
    }
    EXPECT_LT(differ, r.allowed);
  }
}

}  // namespace
}  // namespace vortan::math
