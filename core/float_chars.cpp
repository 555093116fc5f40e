#include "core/float_chars.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <fast_float/fast_float.h>

namespace vortan::float_chars_internal {
namespace {

// printf of value with a format such as "%.*e" into a string, "." as decimal point whatever
// the locale. The C library's printf writes the exact binary value correctly rounded (glibc,
// musl), as std::to_chars does.
std::string Printf(const char* format, int precision, double value) {
  const int size = std::snprintf(nullptr, 0, format, precision, value);
  if (size <= 0) return std::string();
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, precision, value);
  text.resize(static_cast<std::size_t>(size));
  const char* point = std::localeconv()->decimal_point;
  if (point != nullptr && std::strcmp(point, ".") != 0 && *point != '\0') {
    const std::size_t at = text.find(point);
    if (at != std::string::npos) text.replace(at, std::strlen(point), ".");
  }
  return text;
}

std::to_chars_result Put(char* first, char* last, const std::string& text) {
  if (static_cast<std::size_t>(last - first) < text.size()) {
    return {last, std::errc::value_too_large};
  }
  std::memcpy(first, text.data(), text.size());
  return {first + text.size(), std::errc()};
}

// The texts of infinities and NaNs, as std::to_chars writes them.
std::string NonFinite(double value) {
  const bool negative = std::signbit(value);
  if (std::isnan(value)) return negative ? "-nan" : "nan";
  return negative ? "-inf" : "inf";
}

// The value of a text that fast_float reads whole.
double ReadBack(const std::string& text) {
  double value = 0;
  fast_float::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Decimal digits and the exponent of the first: value = 0.d1 d2 ... * 10^(exponent + 1).
struct Digits {
  std::string digits;
  int exponent = 0;
};

// The digits of a "%.*e" text ("d.ddde+XX").
Digits DigitsOf(const std::string& text) {
  Digits d;
  const std::size_t e = text.find('e');
  for (std::size_t i = 0; i < e; ++i) {
    if (text[i] != '.') d.digits += text[i];
  }
  d.exponent = std::atoi(text.c_str() + e + 1);
  return d;
}

std::string ScientificText(const Digits& d) {
  std::string text(1, d.digits[0]);
  if (d.digits.size() > 1) text += "." + d.digits.substr(1);
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "e%c%02d", d.exponent < 0 ? '-' : '+',
                std::abs(d.exponent));
  return text + exponent;
}

// Digits of precision p that read back as magnitude (> 0, finite), if any: the p-digit
// decimal nearest to it, or else its neighbour on the other side of the value. Those are the
// only p-digit decimals that can lie in the interval that rounds to the value, so the answer
// grows with p: once some p-digit decimal reads back, every longer precision has one.
bool RoundTripDigits(double magnitude, int p, Digits& out) {
  const std::string nearest = Printf("%.*e", p - 1, magnitude);
  const double back = ReadBack(nearest);
  Digits d = DigitsOf(nearest);
  if (back == magnitude) {
    out = d;
    return true;
  }
  // One unit of the last digit towards the value.
  std::string& s = d.digits;
  if (back < magnitude) {
    int i = static_cast<int>(s.size()) - 1;
    while (i >= 0 && s[static_cast<std::size_t>(i)] == '9') s[static_cast<std::size_t>(i--)] = '0';
    if (i < 0) {
      s.insert(s.begin(), '1');
      s.pop_back();
      ++d.exponent;
    } else {
      ++s[static_cast<std::size_t>(i)];
    }
  } else {
    int i = static_cast<int>(s.size()) - 1;
    while (i >= 0 && s[static_cast<std::size_t>(i)] == '0') s[static_cast<std::size_t>(i--)] = '9';
    if (i < 0) return false;
    --s[static_cast<std::size_t>(i)];
    if (s[0] == '0') {
      if (s.size() == 1) return false;
      s.erase(s.begin());
      s.push_back('9');
      --d.exponent;
    }
  }
  if (ReadBack(ScientificText(d)) != magnitude) return false;
  out = d;
  return true;
}

}  // namespace

std::from_chars_result PortableFromChars(const char* first, const char* last, double& value) {
  double parsed = 0;
  const fast_float::from_chars_result r = fast_float::from_chars(first, last, parsed);
  if (r.ec != std::errc()) return {r.ptr, r.ec};
  if (std::isinf(parsed) || parsed == 0) {
    // Out of range is a number (not "inf") that became infinite, or one with a digit other
    // than 0 before its exponent that became zero.
    const char* p = first;
    if (p != r.ptr && *p == '-') ++p;
    const bool named = p != r.ptr && (*p == 'i' || *p == 'I' || *p == 'n' || *p == 'N');
    bool nonZero = false;
    for (; p != r.ptr && *p != 'e' && *p != 'E'; ++p) nonZero = nonZero || (*p >= '1' && *p <= '9');
    if (!named && (std::isinf(parsed) || nonZero)) return {r.ptr, std::errc::result_out_of_range};
  }
  value = parsed;
  return {r.ptr, std::errc()};
}

std::to_chars_result PortableToChars(char* first, char* last, double value,
                                     std::chars_format format, int precision) {
  if (!std::isfinite(value)) return Put(first, last, NonFinite(value));
  const char* pattern = format == std::chars_format::fixed        ? "%.*f"
                        : format == std::chars_format::scientific ? "%.*e"
                                                                  : "%.*g";
  return Put(first, last, Printf(pattern, precision, value));
}

std::to_chars_result PortableToChars(char* first, char* last, double value) {
  if (!std::isfinite(value)) return Put(first, last, NonFinite(value));
  const std::string sign = std::signbit(value) ? "-" : "";
  const double magnitude = std::fabs(value);
  if (magnitude == 0) return Put(first, last, sign + "0");
  // The shortest precision that reads back, by bisection (17 digits always do).
  int low = 1, high = 17;
  Digits best;
  RoundTripDigits(magnitude, high, best);
  while (low < high) {
    const int middle = (low + high) / 2;
    Digits d;
    if (RoundTripDigits(magnitude, middle, d)) {
      high = middle;
      best = d;
    } else {
      low = middle + 1;
    }
  }
  while (best.digits.size() > 1 && best.digits.back() == '0') best.digits.pop_back();

  const std::string scientific = sign + ScientificText(best);
  const int n = static_cast<int>(best.digits.size());
  const int e = best.exponent;
  std::string fixed = sign;
  if (e >= n - 1) {
    // A whole number: its exact digits, as printf's "%.0f" writes them.
    fixed += Printf("%.*f", 0, magnitude);
  } else if (e >= 0) {
    fixed += best.digits.substr(0, static_cast<std::size_t>(e) + 1) + "." +
             best.digits.substr(static_cast<std::size_t>(e) + 1);
  } else {
    fixed += "0." + std::string(static_cast<std::size_t>(-e - 1), '0') + best.digits;
  }
  return Put(first, last, fixed.size() <= scientific.size() ? fixed : scientific);
}

}  // namespace vortan::float_chars_internal
