#include "core/number_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/float_chars.h"

namespace vortan {

namespace {

constexpr std::uint64_t kPowersOfTen[] = {1,          10,          100,         1000,
                                          10000,      100000,      1000000,     10000000,
                                          100000000,  1000000000};
constexpr int kMaxFastDecimals = 9;
// Below 2^34 a value times 10^9 still fits into 64 bits.
constexpr double kFastLimit = 17179869184.0;

// round(x * 10^decimals) for 0 <= x < kFastLimit, exactly on the binary value of x, ties to
// even: the rounding that std::to_chars applies in fixed format.
std::uint64_t ScaledRound(double x, int decimals) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int biased = static_cast<int>(bits >> 52);
  // x = mantissa * 2^-shift with a whole mantissa below 2^53; below 2^34 the shift is at least
  // 19 (subnormals: 1074).
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int shift = 1074;
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    shift = 1075 - biased;
  }
  if (shift > 83) return 0;  // less than half of the last decimal shown
  // The product mantissa * 10^decimals (below 2^83) in two words, high and low: the mantissa
  // in halves of 32 bits, each product with 10^decimals (below 2^30) below 2^62.
  const std::uint64_t p = kPowersOfTen[decimals];
  const std::uint64_t lowProduct = (mantissa & 0xFFFFFFFFu) * p;
  const std::uint64_t highProduct = (mantissa >> 32) * p;  // times 2^32
  const std::uint64_t low = lowProduct + (highProduct << 32);
  const std::uint64_t high = (highProduct >> 32) + (low < lowProduct ? 1 : 0);
  // Bit k of the product, and whether any bit below k is set (0 < k < 128).
  const auto bit = [&](int k) {
    return (k >= 64 ? high >> (k - 64) : low >> k) & 1u;
  };
  const auto anyBelow = [&](int k) {
    if (k >= 64) return low != 0 || (k > 64 && (high << (128 - k)) != 0);
    return (low << (64 - k)) != 0;
  };
  const std::uint64_t quotient =
      shift >= 64 ? high >> (shift - 64) : (low >> shift) | (high << (64 - shift));
  // The remainder below 2^shift against the half, 2^(shift - 1).
  if (bit(shift - 1) != 0 && (anyBelow(shift - 1) || (quotient & 1) != 0)) return quotient + 1;
  return quotient;
}

// Writes a number from the texts of its integer part (empty for 0) and of its decimals, with
// the sign, the pattern's zeros in front and its point.
std::size_t Lay(bool negative, const char* integer, std::size_t integerLength,
                const char* fraction, NumberPattern pattern, char* out) {
  std::size_t n = 0;
  if (negative) out[n++] = '-';
  for (std::size_t pad = integerLength; pad < static_cast<std::size_t>(pattern.integerDigits);
       ++pad) {
    out[n++] = '0';
  }
  std::memcpy(out + n, integer, integerLength);
  n += integerLength;
  if (pattern.point) out[n++] = '.';
  std::memcpy(out + n, fraction, static_cast<std::size_t>(pattern.decimals));
  return n + static_cast<std::size_t>(pattern.decimals);
}

}  // namespace

namespace number_format_internal {

std::size_t FormatAny(double value, NumberPattern pattern, char* out) {
  if (!std::isfinite(value)) {
    const char* text = std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return n;
  }
  const bool negative = value < 0;
  const double magnitude = std::fabs(value);
  const std::size_t decimals = static_cast<std::size_t>(pattern.decimals);
  if (magnitude < kFastLimit && pattern.decimals <= kMaxFastDecimals) {
    // The common case, from whole numbers: the integer part, and the decimals as a whole
    // number of the last decimal shown.
    // Signed 64-bit whole numbers: each conversion is one instruction (the values are below
    // 2^34 and 10^9).
    const std::int64_t scale = static_cast<std::int64_t>(kPowersOfTen[decimals]);
    std::int64_t whole = static_cast<std::int64_t>(magnitude);  // the integer part, exactly
    // The fraction is exact; its product with the power of ten is within 2^-53 * 10^9 (about
    // 1e-7) of the exact product, so unless that lies next to a half, both round to the same
    // whole number. Next to a half, the exact product decides.
    const double scaledFraction =
        (magnitude - static_cast<double>(whole)) * static_cast<double>(scale);
    std::int64_t fraction = static_cast<std::int64_t>(scaledFraction);
    const double rest = scaledFraction - static_cast<double>(fraction);
    math::NoteRounding(whole, scale, scaledFraction, rest);
    if (std::fabs(rest - 0.5) < 1e-6) {
      const std::uint64_t scaled = ScaledRound(magnitude, pattern.decimals);  // up to 2^64
      whole = static_cast<std::int64_t>(scaled / kPowersOfTen[decimals]);
      fraction = static_cast<std::int64_t>(scaled % kPowersOfTen[decimals]);
    } else {
      fraction += rest > 0.5 ? 1 : 0;  // no branch: up or down is random
      if (fraction == scale) {
        fraction = 0;
        ++whole;
      }
    }
    if (CommonPattern(pattern) && whole < 100000000) {
      // Coordinates, angles, scale factors: as the inline case writes them.
      std::uint64_t lanes, fractionLanes;
      simd::DigitLanesOfTwo(static_cast<std::uint64_t>(whole), static_cast<std::uint64_t>(fraction),
                            lanes, fractionLanes);
      return StoreNumber(out, negative, lanes, fractionLanes, pattern);
    }
    const std::size_t integerDigits = static_cast<std::size_t>(pattern.integerDigits);
    std::size_t n = 0;
    out[0] = '-';
    n += negative;
    // Otherwise the integer part and the decimals are written by the integer to_chars
    // straight into out: the decimals, zeros in front included, as the digits of
    // scale + fraction, whose leading 1 the point then replaces.
    std::size_t integerLength = 0;
    if (whole != 0) {
      const char* end = std::to_chars(out + n, out + n + 24, whole).ptr;
      integerLength = static_cast<std::size_t>(end - (out + n));
    }
    if (integerLength < integerDigits) {
      const std::size_t pad = integerDigits - integerLength;
      std::memmove(out + n + pad, out + n, integerLength);
      std::memset(out + n, '0', pad);
      integerLength = integerDigits;
    }
    n += integerLength;
    if (decimals > 0) {
      std::to_chars(out + n, out + n + 24, scale + fraction);
      out[n] = '.';
      return n + 1 + decimals;
    }
    if (pattern.point) out[n++] = '.';
    return n;
  }
  char digits[kMaxFormattedLength];
  const auto result = DoubleToChars(digits, digits + sizeof digits, magnitude,
                                    std::chars_format::fixed, pattern.decimals);
  // digits holds "I" or "I.DDD" with at least one integer digit.
  const std::size_t length = static_cast<std::size_t>(result.ptr - digits);
  const std::size_t integerLength = pattern.decimals > 0 ? length - 1 - decimals : length;
  const bool zeroInteger = integerLength == 1 && digits[0] == '0';
  return Lay(negative, digits, zeroInteger ? 0 : integerLength, digits + integerLength + 1,
             pattern, out);
}

}  // namespace number_format_internal

std::string FormatNumber(double value, NumberPattern pattern) {
  char buffer[kMaxFormattedLength];
  return std::string(buffer, FormatNumber(value, pattern, buffer));
}

std::string MessageCoordinate(double value, int decimals) {
  // Far beyond the Earth in metres, and in degrees: no coordinate of the area served.
  constexpr double kBeyondAnyCoordinate = 1e12;
  if (std::isfinite(value) && std::fabs(value) < kBeyondAnyCoordinate) {
    return FormatNumber(value, NumberPattern{1, decimals, decimals > 0});
  }
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[32];
  const auto result = DoubleToChars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 9);
  return std::string(buffer, result.ptr);
}

}  // namespace vortan
