// The two readers of number texts against a plain model built on strtod:
// - ParseNumberText (box texts): blanks, tabs and line feeds skipped anywhere, then the longest
//   leading sign, digits, one ".", exponent; no leading number gives 0; too large gives +-inf.
// - ParseFieldNumber (file fields): the whole field must be such a number, and finite, and not
//   in Excel's three-digit scientific form (3.84E+05), which is refused.
// The first byte picks the reader; the rest is the text.
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/angles.h"
#include "data_files/records.h"
#include "fuzz/memory_file.h"

using vortan::fuzz::Broken;

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of s that is a number: sign? (digits "."? digits* | "." digits)
// (e sign? digits)?; 0 when there is none.
std::size_t NumberPrefix(std::string_view s) {
  std::size_t i = 0, digits = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  while (i < s.size() && Digit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && Digit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t exponentStart = j;
    while (j < s.size() && Digit(s[j])) ++j;
    if (j > exponentStart) i = j;
  }
  return i;
}

double Model(const std::string& number) {
  errno = 0;
  return std::strtod(number.c_str(), nullptr);
}

// Same value; below the smallest normal double either may have flushed to zero.
bool Same(double got, double expected) {
  if (got == expected) return std::signbit(got) == std::signbit(expected) || got != 0;
  return std::fabs(expected) < DBL_MIN && got == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    std::string squeezed;
    for (char c : text) {
      if (c != ' ' && c != '\t' && c != '\n') squeezed += c;
    }
    const std::size_t n = NumberPrefix(squeezed);
    const double expected = n == 0 ? 0.0 : Model(squeezed.substr(0, n));
    const double got = vortan::ParseNumberText(text);
    if (std::isnan(got)) Broken("ParseNumberText gave nan");
    if (!Same(got, expected)) {
      Broken("ParseNumberText(\"" + std::string(text.substr(0, 80)) + "\") = " +
             std::to_string(got) + ", expected " + std::to_string(expected));
    }
  } else {
    std::string reason;
    const std::optional<double> got = vortan::ParseFieldNumber(text, reason);
    const std::string field(text);
    const bool number = !field.empty() && NumberPrefix(field) == field.size();
    const double expected = number ? Model(field) : 0.0;
    const bool valid = number && std::isfinite(expected) && !vortan::IsExcelRoundedNumber(field);
    if (got.has_value() != valid) {
      Broken("ParseFieldNumber(\"" + field.substr(0, 80) + "\") " +
             (got ? "accepted" : "refused: " + reason));
    }
    if (got && !Same(*got, expected)) {
      Broken("ParseFieldNumber(\"" + field.substr(0, 80) + "\") = " + std::to_string(*got) +
             ", expected " + std::to_string(expected));
    }
    if (!got && reason.empty()) Broken("a refused field without a reason");
  }
  return 0;
}
