// The core's own functions (core/math_functions.h): the kernels every build computes with,
// within a unit or two of the last place of the correctly rounded value, their shortcut to the
// same bits; and the correctly rounded exponential and logarithms of the reference computation:
// exact where glibc's round wrongly (correct values from 60-digit arithmetic) and at arguments
// across their range, the library's special values, sine and cosine at once as the two
// functions, and within one unit of the last place of glibc over the ranges of the chains.
#include "core/math_functions.h"
#include "tests/support/ulp.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
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

// The core's own functions (the lanes' kernels on one lane): within a unit in the last place of
// the correctly rounded value over the chains' arguments and the whole range the kernels serve
// (the logarithm two where e ln 2 and its series nearly cancel); beyond it, and at special
// values, the correctly rounded function itself.
TEST(OwnFunctions, KernelsAreWithinAUnitOfTheCorrectlyRounded) {
  struct Range {
    const char* function;
    double low, high;
    int ulps;
  };
  const Range ranges[] = {{"SinCos", 0.3, 1.6, 1}, {"SinCos", -1e5, 1e5, 1},
                          {"Atan", 0.2, 2.5, 1},   {"Atan", -1e6, 1e6, 1},
                          {"Exp", 0.5, 0.9, 1},    {"Exp", -699, 699, 1},
                          {"Log", 1.8, 2.3, 1},    {"Log", 0.5, 1.5, 2},
                          {"Log", 1e-300, 1e300, 1}};
  std::mt19937_64 random(20261211);
  for (const Range& r : ranges) {
    SCOPED_TRACE(std::string(r.function) + " " + std::to_string(r.low));
    std::uniform_real_distribution<double> draw(r.low, r.high);
    for (int i = 0; i < 100000; ++i) {
      const double x = draw(random);
      const std::string f = r.function;
      if (f == "SinCos") {
        double s, c, cs, cc;
        OwnSinCos(x, s, c);
        CorrectlyRoundedSinCos(x, cs, cc);
        ASSERT_LE(UlpDistance(s, cs), r.ulps) << x;
        ASSERT_LE(UlpDistance(c, cc), r.ulps) << x;
      } else if (f == "Atan") {
        ASSERT_LE(UlpDistance(OwnAtan(x), CorrectlyRoundedAtan(x)), r.ulps) << x;
      } else {
        const double mine = f == "Exp" ? OwnExp(x) : OwnLog(x);
        ASSERT_LE(UlpDistance(mine, Call(f, x)), r.ulps) << x;
      }
    }
  }
  for (const double x : {1e6, -3e7, 1e300}) {
    double s, c, cs, cc;
    OwnSinCos(x, s, c);
    CorrectlyRoundedSinCos(x, cs, cc);
    EXPECT_EQ(s, cs);
    EXPECT_EQ(c, cc);
  }
  EXPECT_EQ(OwnExp(710.0), INFINITY);
  EXPECT_EQ(OwnExp(-750.0), CorrectlyRoundedExp(-750.0));
  EXPECT_EQ(OwnLog(0.0), -INFINITY);
  EXPECT_TRUE(std::isnan(OwnLog(-1.0)));
  EXPECT_EQ(OwnLog(1e-310), CorrectlyRoundedLog(1e-310));
}

// Below a quarter turn the sine and cosine skip the reduction, to the reduction's bits.
TEST(OwnFunctions, TheShortcutBelowAQuarterTurnKeepsTheBits) {
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> draw(-0.8, 0.8);
  for (int i = 0; i < 200000; ++i) {
    const double x = i < 4 ? std::array{0.0, -0.0, 1e-300, -5e-324}[i] : draw(random);
    double s, c, rs, rc;
    OwnSinCos(x, s, c);
    internal::ReducedSinCos(x, rs, rc);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(s), std::bit_cast<std::uint64_t>(rs)) << x;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(c), std::bit_cast<std::uint64_t>(rc)) << x;
  }
}

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
