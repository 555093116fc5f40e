// FormatNumber writes the rounded value from whole numbers; the text must be exactly the one
// that std::to_chars gives in fixed format (rounding to nearest on the binary value, ties to
// even), laid out by the pattern. Reading back, the fast path for short plain decimals must give
// the double of std::from_chars.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/decimal_text.h"
#include "core/number_format.h"
#include "tests/support/to_chars_text.h"

namespace vortan {
namespace {

using namespace patterns;

// The plain way: std::to_chars of the double in fixed format, then the pattern's layout.
std::string PlainFormat(double value, NumberPattern pattern) {
  return support::ToCharsText(value, pattern);
}

constexpr NumberPattern kAllPatterns[] = {kMetres,    kPacked,    kSeconds,   kScale,
                                          kCentimetres, kDegrees, kCount,     kGridStep,
                                          kGridCoordinate, kHeight, kScaleDifference};

TEST(NumberFormatReference, RandomValuesOfEveryMagnitudeAsToChars) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> unit(0, 1);
  std::uniform_int_distribution<int> power(-12, 12);
  for (int i = 0; i < 400000; ++i) {
    const double value = (unit(random) - 0.5) * std::pow(10.0, power(random));
    for (const NumberPattern& p : kAllPatterns) {
      ASSERT_EQ(FormatNumber(value, p), PlainFormat(value, p)) << std::hexfloat << value;
    }
  }
}

TEST(NumberFormatReference, RandomBitPatternsAsToChars) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 400000; ++i) {
    double value;
    const std::uint64_t bits = random();
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value) || std::fabs(value) > 1e40) continue;
    for (const NumberPattern& p : {kMetres, kPacked, kScale, kScaleDifference, kCount}) {
      ASSERT_EQ(FormatNumber(value, p), PlainFormat(value, p)) << std::hexfloat << value;
    }
  }
}

TEST(NumberFormatReference, CoordinatesAndTheirNeighboursAsToChars) {
  // Values like those of the files, and the doubles right beside them.
  std::mt19937_64 random(2007);
  std::uniform_real_distribution<double> metres(-5e6, 5e6);
  std::uniform_real_distribution<double> packed(0, 460000);
  for (int i = 0; i < 300000; ++i) {
    for (double v : {metres(random), packed(random)}) {
      for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)}) {
        for (const NumberPattern& p : {kMetres, kPacked, kScale, kHeight}) {
          ASSERT_EQ(FormatNumber(w, p), PlainFormat(w, p)) << std::hexfloat << w;
        }
      }
    }
  }
}

TEST(NumberFormatReference, ExactHalvesRoundToEvenAsToChars) {
  // Values exactly halfway between two shown decimals, and one unit in the last place on
  // either side.
  for (int decimals = 0; decimals <= 9; ++decimals) {
    const NumberPattern p{0, decimals, decimals > 0};
    for (int k = 0; k < 4000; ++k) {
      for (int e = 1; e <= 12; ++e) {
        const double half = (2.0 * k + 1) / std::ldexp(1.0, e);  // exact binary fractions
        for (double w : {half, -half, std::nextafter(half, 0.0), std::nextafter(half, 1e9)}) {
          ASSERT_EQ(FormatNumber(w, p), PlainFormat(w, p)) << std::hexfloat << w;
        }
      }
    }
  }
}

TEST(NumberFormatReference, EdgesOfTheWholeNumberRangeAsToChars) {
  const double edges[] = {0.0,
                          -0.0,
                          std::numeric_limits<double>::denorm_min(),
                          std::numeric_limits<double>::min(),
                          1e-300,
                          0.0005,
                          0.00049999999999999999,
                          0.5e-9,
                          999.9995,
                          9.9999999995,
                          17179869183.999998,
                          17179869184.0,
                          17179869184.000004,
                          1e15,
                          4503599627370495.5,
                          9007199254740993.0,
                          1.7976931348623157e308};
  for (double e : edges) {
    for (double w : {e, -e, std::nextafter(e, 0.0), std::nextafter(e, 1e300)}) {
      for (const NumberPattern& p : kAllPatterns) {
        ASSERT_EQ(FormatNumber(w, p), PlainFormat(w, p)) << std::hexfloat << w;
      }
    }
  }
}

// Two numbers at once are the two alone with a comma between: on coordinates, values of every
// magnitude, halves and their neighbours, the edges of the whole-number range and values that
// are not finite, each pair in its own two patterns (the rare ones included).
TEST(NumberFormatReference, TwoNumbersAtOnceAsEachAlone) {
  std::vector<double> values = {0.0, -0.0, 0.0005, -0.0004, 0.9996, 99999999.4999,
                                99999999.5, 99999999.9996, 1e8, -1e8, 17179869184.0, 1e300,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  for (int k = 0; k < 2000; ++k) {
    for (int e = 1; e <= 12; ++e) {
      const double half = (2.0 * k + 1) / std::ldexp(1.0, e);
      values.insert(values.end(), {half, -half, std::nextafter(half, 0.0)});
    }
  }
  std::mt19937_64 random(16);
  std::uniform_real_distribution<double> unit(-0.5, 0.5), metres(-5e6, 5e6), packed(0, 460000);
  std::uniform_int_distribution<int> power(-12, 12);
  for (int i = 0; i < 100000; ++i) {
    values.insert(values.end(),
                  {unit(random) * std::pow(10.0, power(random)), metres(random), packed(random)});
  }
  constexpr std::size_t kPatterns = std::size(kAllPatterns);
  char out[2 * kMaxFormattedLength + 1];
  for (std::size_t i = 0; i + 1 < values.size(); ++i) {
    const double a = values[i], b = values[(i * 7919 + 1) % values.size()];
    const NumberPattern pa = kAllPatterns[i % kPatterns];
    const NumberPattern pb = kAllPatterns[(i / kPatterns + i) % kPatterns];
    const std::string alone = FormatNumber(a, pa) + "," + FormatNumber(b, pb);
    ASSERT_EQ(std::string(out, FormatTwoNumbers(a, pa, b, pb, out)), alone)
        << std::hexfloat << a << " " << b;
    // The patterns of the files, where the common case applies to both.
    for (const NumberPattern& p : {kMetres, kPacked}) {
      ASSERT_EQ(std::string(out, FormatTwoNumbers(a, p, b, kScale, out)),
                FormatNumber(a, p) + "," + FormatNumber(b, kScale))
          << std::hexfloat << a << " " << b;
    }
  }
}

// ReadPlainDecimalInText on text behind 16 bytes of a record's digits, points and commas (so
// that its window holds bytes before the field), and at the start of its text.
bool ReadInText(const std::string& text, double& value) {
  const std::string record = "7.1,23456.789012," + text;
  double atStart = 0;
  const bool readAtStart = ReadPlainDecimalInText(text.data(), text, atStart);
  const bool read =
      ReadPlainDecimalInText(record.data(), std::string_view(record).substr(17), value);
  EXPECT_EQ(read, readAtStart) << text;
  if (read && readAtStart) {
    EXPECT_EQ(std::memcmp(&value, &atStart, sizeof value), 0) << text;
  }
  return read;
}

// Reading: ReadPlainDecimalFast and ReadPlainDecimalInText against std::from_chars, bit for
// bit, on decimals of every form the files hold (whole, "123.", ".5", leading zeros, up to 17
// digits, past the 15 of the exact path), on the printed values of every pattern, and on
// texts they must refuse.
TEST(NumberFormatReference, PlainDecimalsReadAsFromChars) {
  std::mt19937_64 random(11);
  std::uniform_int_distribution<int> length(1, 17), digit(0, 9), sign(0, 3);
  const auto check = [](const std::string& text) {
    double fast = 0, inText = 0;
    ASSERT_TRUE(ReadPlainDecimalFast(text, fast)) << text;
    ASSERT_TRUE(ReadInText(text, inText)) << text;
    const std::size_t start = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    double plain = 0;
    std::from_chars(text.data() + start, text.data() + text.size(), plain);
    if (text[0] == '-') plain = -plain;
    ASSERT_EQ(std::memcmp(&fast, &plain, sizeof fast), 0) << text;
    ASSERT_EQ(std::memcmp(&inText, &plain, sizeof inText), 0) << text;
  };
  for (int i = 0; i < 400000; ++i) {
    const int s = sign(random);
    std::string text = s == 0 ? "-" : (s == 1 ? "+" : "");
    const int n = length(random);
    const int point = i % 4 == 0 ? -1 : std::uniform_int_distribution<int>(0, n)(random);
    for (int k = 0; k < n; ++k) {
      if (k == point) text += '.';
      text += static_cast<char>('0' + digit(random));
    }
    if (point == n) text += '.';
    check(text);
  }
  std::uniform_real_distribution<double> unit(-1, 1);
  std::uniform_int_distribution<int> power(-10, 10);
  for (int i = 0; i < 100000; ++i) {
    const double value = unit(random) * std::pow(10.0, power(random));
    for (const NumberPattern& p : kAllPatterns) check(FormatNumber(value, p));
  }
  for (const char* text : {"0", "-0", ".0", "0.", "999999999999999", "9007199254740993",
                           "0.000000000000001", "4529332.314", "-.000000294", "1.5e5"}) {
    check(text);
  }
  double value = 0;
  for (const char* text : {"", "-", ".", "-.", "1.2.3", "12a", "+-1", " 1", "0x10", "nan",
                           "1,5", "-1-", "12345678901234.5/"}) {
    EXPECT_FALSE(ReadPlainDecimalFast(text, value)) << text;
    EXPECT_FALSE(ReadInText(text, value)) << text;
  }
}

}  // namespace
}  // namespace vortan
