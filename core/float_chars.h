// Doubles read from and written as text exactly as std::from_chars and std::to_chars do, "."
// as decimal point whatever the locale, correctly rounded: the one place that knows whether
// the standard library has the floating-point overloads. Where it has them (libstdc++), these
// are those calls; where it has not (the libc++ of Emscripten 3.1.6), the same results come
// from fast_float for reading and from the C library's exact printf for writing.
#pragma once

#include <charconv>
#include <system_error>

namespace vortan {

#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
inline constexpr bool kStandardFloatChars = true;
#else
inline constexpr bool kStandardFloatChars = false;
#endif

namespace float_chars_internal {

// The portable paths, in every build (the tests hold them against the standard library's).
// Like std::from_chars in the general format: the value unchanged and result_out_of_range for
// a number beyond the range of a double or one that is not zero but rounds to zero.
std::from_chars_result PortableFromChars(const char* first, const char* last, double& value);
// Like std::to_chars: the shortest text that reads back as value, fixed or scientific,
// whichever is shorter (fixed on a tie).
std::to_chars_result PortableToChars(char* first, char* last, double value);
// Like std::to_chars with a format and a precision (printf's %.Nf, %.Ne and %.Ng).
std::to_chars_result PortableToChars(char* first, char* last, double value,
                                     std::chars_format format, int precision);

}  // namespace float_chars_internal

// std::from_chars(first, last, value): a decimal number in the general format.
inline std::from_chars_result DoubleFromChars(const char* first, const char* last,
                                              double& value) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
  return std::from_chars(first, last, value);
#else
  return float_chars_internal::PortableFromChars(first, last, value);
#endif
}

// std::to_chars(first, last, value): the shortest text that reads back as value.
inline std::to_chars_result DoubleToChars(char* first, char* last, double value) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
  return std::to_chars(first, last, value);
#else
  return float_chars_internal::PortableToChars(first, last, value);
#endif
}

// std::to_chars(first, last, value, format, precision).
inline std::to_chars_result DoubleToChars(char* first, char* last, double value,
                                          std::chars_format format, int precision) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
  return std::to_chars(first, last, value, format, precision);
#else
  return float_chars_internal::PortableToChars(first, last, value, format, precision);
#endif
}

}  // namespace vortan
