#include "core/decimal_text.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <system_error>

#include "core/float_chars.h"

namespace vortan {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsPlainDecimal(std::string_view text) {
  std::size_t i = 0, digits = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == text.size();
}

double ReadDecimal(std::string_view number) {
  bool negative = false;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  double value = 0;
  const auto [end, ec] = DoubleFromChars(number.data(), number.data() + number.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    // Order of magnitude: the power of ten of the first significant digit plus the exponent.
    // Beyond the range it is at least 308, below it at most -324.
    std::int64_t order = 0;
    bool seenPoint = false, significant = false;
    std::size_t i = 0;
    for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
      const char c = number[i];
      if (c == '.') {
        seenPoint = true;
      } else if (!significant) {
        if (c == '0') {
          if (seenPoint) --order;
          continue;
        }
        significant = true;
        if (seenPoint) --order;  // the first significant digit after the point
      } else if (!seenPoint) {
        ++order;
      }
    }
    std::int64_t exponent = 0;
    if (i < number.size()) {
      ++i;
      bool exponentNegative = false;
      if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
        exponentNegative = number[i] == '-';
        ++i;
      }
      for (; i < number.size(); ++i) {
        if (exponent < 1000000000) exponent = exponent * 10 + (number[i] - '0');
      }
      if (exponentNegative) exponent = -exponent;
    }
    const bool overflow = order + exponent > 0;
    value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

namespace {

// The numbers of coordinate files, "566446.108" or ".000000294": digits with at most one
// point, no exponent, at most 15 digits. Their digits as a whole number and the power of ten
// are then both exact doubles, so one division rounds the quotient correctly: the double of
// std::from_chars. False for anything else.
bool ReadShortDecimal(const char* first, const char* last, double& value) {
  if (last - first > 16) return false;
  // The integer digits, then after a point the decimals: two tight loops rather than one that
  // tells digits from the point at every character.
  std::uint64_t digits = 0;
  const char* p = first;
  unsigned d;
  while (p != last && (d = static_cast<unsigned>(static_cast<unsigned char>(*p)) - '0') < 10) {
    digits = digits * 10 + d;
    ++p;
  }
  const std::ptrdiff_t integerCount = p - first;
  std::ptrdiff_t decimals = 0;
  if (p != last) {
    if (*p != '.') return false;
    const char* const fraction = ++p;
    while (p != last && (d = static_cast<unsigned>(static_cast<unsigned char>(*p)) - '0') < 10) {
      digits = digits * 10 + d;
      ++p;
    }
    if (p != last) return false;
    decimals = p - fraction;
  }
  const std::ptrdiff_t count = integerCount + decimals;
  if (count == 0 || count > 15) return false;
  value = static_cast<double>(digits);
  if (decimals > 0) value /= kExactPowersOfTen[decimals];
  return true;
}

}  // namespace

bool ReadPlainDecimalFast(std::string_view text, double& value) {
  const char* first = text.data();
  const char* const last = first + text.size();
  const bool negative = first != last && *first == '-';
  if (first != last && (*first == '-' || *first == '+')) ++first;
  if (first == last || !((*first >= '0' && *first <= '9') || *first == '.')) return false;
  if (ReadShortDecimal(first, last, value)) {
    if (negative) value = -value;
    return true;
  }
  const auto [end, ec] = DoubleFromChars(first, last, value);
  if (ec != std::errc() || end != last) return false;
  if (negative) value = -value;
  return true;
}

}  // namespace vortan
