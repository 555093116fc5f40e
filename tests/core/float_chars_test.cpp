// The portable reading and writing of doubles (core/float_chars.h), which the WebAssembly build
// uses, gives exactly what the standard library's std::from_chars and std::to_chars give here.
#include "core/float_chars.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vortan {
namespace {

namespace fc = float_chars_internal;

// The standard library the portable paths are held to is libstdc++ on glibc; elsewhere its C
// library's printf may round otherwise, and the portable paths are not used there.
#if defined(__GLIBC__)
#define VORTAN_HOLD_TO_STANDARD(name) name
#else
#define VORTAN_HOLD_TO_STANDARD(name) DISABLED_##name
#endif

std::string Shortest(double v, bool portable) {
  char buffer[64];
  const auto r = portable ? fc::PortableToChars(buffer, buffer + sizeof buffer, v)
                          : std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, r.ptr);
}

std::string Formatted(double v, std::chars_format format, int precision, bool portable) {
  std::vector<char> buffer(400 + static_cast<std::size_t>(precision));
  char* first = buffer.data();
  char* last = first + buffer.size();
  const auto r = portable ? fc::PortableToChars(first, last, v, format, precision)
                          : std::to_chars(first, last, v, format, precision);
  return std::string(first, r.ptr);
}

// Doubles of every kind: random bit patterns (every exponent), numbers of coordinate files,
// whole numbers, powers of two and ten, and the limits.
std::vector<double> Samples() {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.5, 100, 1e15, 1e16, 1e21, 1e22, 1e23,
                                123456789012345678.0, 1180591620717411303424.0, 9007199254740993.0,
                                5e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
                                0.0001, 1e-5, 1e-7, 566446.108, 2529618.096, 0.999654,
                                -7000, 381530.12345, 4382064.771, 1e300, 3.0e-300};
  for (int e = -1074; e <= 1023; e += 7) values.push_back(std::ldexp(1.0, e));
  for (int e = -30; e <= 30; ++e) values.push_back(std::pow(10.0, e));
  std::mt19937_64 random(7);
  for (int i = 0; i < 60000; ++i) {
    std::uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) values.push_back(v);
  }
  std::uniform_real_distribution<double> coordinate(-5e6, 5e6);
  for (int i = 0; i < 60000; ++i) values.push_back(coordinate(random));
  for (int i = 0; i < 2000; ++i) values.push_back(static_cast<double>(random() >> (i % 64)));
  return values;
}

TEST(FloatChars, VORTAN_HOLD_TO_STANDARD(ShortestTextsAreTheStandardLibrarys)) {
  for (double v : Samples()) ASSERT_EQ(Shortest(v, true), Shortest(v, false)) << v;
  for (double v : {INFINITY, -INFINITY}) EXPECT_EQ(Shortest(v, true), Shortest(v, false));
}

TEST(FloatChars, VORTAN_HOLD_TO_STANDARD(FixedScientificAndGeneralTextsAreTheStandardLibrarys)) {
  const std::vector<double> samples = Samples();
  for (std::size_t i = 0; i < samples.size(); i += 3) {
    const double v = samples[i];
    for (int precision : {0, 1, 3, 5, 6, 9, 10, 17}) {
      ASSERT_EQ(Formatted(v, std::chars_format::fixed, precision, true),
                Formatted(v, std::chars_format::fixed, precision, false))
          << v << " " << precision;
      ASSERT_EQ(Formatted(v, std::chars_format::scientific, precision, true),
                Formatted(v, std::chars_format::scientific, precision, false));
      ASSERT_EQ(Formatted(v, std::chars_format::general, precision, true),
                Formatted(v, std::chars_format::general, precision, false));
    }
  }
  // Halves, which round to even on the exact binary value.
  for (double v : {0.125, 0.375, 2.5, 3.5, 1.0625, 1234.5}) {
    for (int precision : {0, 1, 2, 3}) {
      EXPECT_EQ(Formatted(v, std::chars_format::fixed, precision, true),
                Formatted(v, std::chars_format::fixed, precision, false));
    }
  }
  char small[4];
  EXPECT_EQ(fc::PortableToChars(small, small + sizeof small, 12345.0).ec,
            std::errc::value_too_large);
}

TEST(FloatChars, VORTAN_HOLD_TO_STANDARD(ReadingIsTheStandardLibrarys)) {
  std::vector<std::string> texts = {
      "0", "-0", "1", "1.5", ".5", "5.", "1e", "1e+", "1.5x", "1e5", "1E-5", "-2.5e-3", "+1",
      "", "-", ".", "e5", "inf", "-inf", "infinity", "nan", "NaN", "nan(123)", "0x1p3",
      "1e-310", "4.9e-324", "2.4703282292062328e-324", "2.4703282292062327e-324", "1e-400",
      "-1e-400", "1e400", "-1e400", "1.7976931348623157e308", "1.7976931348623159e308",
      "0e999", "0.000e-9999", "123456789012345678901234567890", "566446.108", "  1", "1 2",
      "00012", "9007199254740993", "0.1000000000000000055511151231257827021181583404541015625"};
  std::mt19937_64 random(3);
  for (double v : Samples()) {
    if (texts.size() > 40000) break;
    texts.push_back(Shortest(v, false));
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", static_cast<int>(random() % 20), v);
    texts.push_back(buffer);
  }
  for (const std::string& t : texts) {
    double a = 42, b = 42;
    const auto ra = fc::PortableFromChars(t.data(), t.data() + t.size(), a);
    const auto rb = std::from_chars(t.data(), t.data() + t.size(), b);
    ASSERT_EQ(ra.ec, rb.ec) << t;
    ASSERT_EQ(ra.ptr, rb.ptr) << t;
    ASSERT_TRUE(std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b))) << t;
  }
}

}  // namespace
}  // namespace vortan
