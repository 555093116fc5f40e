// The sine, cosine and arctangent of the core, in one place. The results of the tool and the
// desktop programs are those of glibc's functions. Another C library (musl, in the WebAssembly
// build) differs from glibc in the last bit of some calls in a hundred (an arctangent in four),
// which changes a printed digit about once in a million lines. There the functions can be
// switched to correctly rounded ones (double-double arithmetic), which glibc's equal in all
// but about one call in a thousand: a point whose printed numbers lie so close to a rounding
// boundary that those last bits could decide a digit is computed again with them
// (RecomputeExactly below; the printer and the angle splitting note such numbers). The
// exponential and the logarithms stay the library's: musl's already equal glibc's in all but
// about one call in a thousand (the same algorithms), as near as correctly rounded ones would.
// With glibc nothing is switched or noted, and each function is the library's.
#pragma once

#include <cmath>
#include <cstdint>

namespace vortan::math {

#if defined(__EMSCRIPTEN__)
inline constexpr bool kCheckedFunctions = true;
#else
inline constexpr bool kCheckedFunctions = false;
#endif

// Correctly rounded functions (in every build, so that the tests compare them with glibc's).
double CorrectlyRoundedSin(double x);
double CorrectlyRoundedCos(double x);
double CorrectlyRoundedAtan(double x);
double CorrectlyRoundedAtan2(double y, double x);

namespace internal {
// Whether the correctly rounded functions are in force, and whether a number computed since
// the last reset was near a rounding boundary (WebAssembly build only; one thread there).
extern bool exact;
extern bool nearBoundary;
}  // namespace internal

inline double Sin(double x) {
  if constexpr (kCheckedFunctions) {
    if (internal::exact) return CorrectlyRoundedSin(x);
  }
  return std::sin(x);
}
inline double Cos(double x) {
  if constexpr (kCheckedFunctions) {
    if (internal::exact) return CorrectlyRoundedCos(x);
  }
  return std::cos(x);
}
inline double Atan(double x) {
  if constexpr (kCheckedFunctions) {
    if (internal::exact) return CorrectlyRoundedAtan(x);
  }
  return std::atan(x);
}
inline double Atan2(double y, double x) {
  if constexpr (kCheckedFunctions) {
    if (internal::exact) return CorrectlyRoundedAtan2(y, x);
  }
  return std::atan2(y, x);
}
// How close, in units of the last digit shown, a printed number may come to a rounding
// boundary (or, for its sign, to zero) before its point is computed again: the last bits of
// the functions move the numbers of a point by less than 1e-5 of a last digit, the iterations'
// tolerance by less than 3e-5.
inline constexpr double kBoundaryMargin = 3e-4;
// The same for whole degrees and minutes split off an angle, in degrees or minutes: the last
// bits move an angle by less than 1e-13 degrees.
inline constexpr double kSplitMargin = 1e-9;

// A number to be printed: its whole part, the scale of its last digit shown (10^decimals), its
// fraction times that scale and what the truncation of that leaves (`rest`, 0.5 the rounding
// boundary). Near zero its sign ("-.000") is at stake too.
inline void NoteRounding(std::int64_t whole, std::int64_t scale, double scaledFraction,
                         double rest) {
  if constexpr (kCheckedFunctions) {
    if (std::fabs(rest - 0.5) < kBoundaryMargin ||
        (whole == 0 && scaledFraction < kBoundaryMargin)) {
      internal::nearBoundary = true;
    }
  } else {
    (void)whole;
    (void)scale;
    (void)scaledFraction;
    (void)rest;
  }
}
// A whole number split off (degrees, minutes) whose fraction is `fraction` (0 and 1 the
// boundaries).
inline void NoteSplit(double fraction) {
  if constexpr (kCheckedFunctions) {
    if (fraction < kSplitMargin || fraction > 1 - kSplitMargin) internal::nearBoundary = true;
  } else {
    (void)fraction;
  }
}

// Forgets what was noted; whether something was noted since.
inline void ResetNoted() {
  if constexpr (kCheckedFunctions) internal::nearBoundary = false;
}
inline bool Noted() {
  if constexpr (kCheckedFunctions) return internal::nearBoundary;
  return false;
}

// Runs `compute` with the correctly rounded functions in force (where the functions are
// checked; elsewhere there is nothing to do again and it is not called).
template <typename F>
void RecomputeExactly(F&& compute) {
  if constexpr (kCheckedFunctions) {
    internal::exact = true;
    try {
      compute();
    } catch (...) {
      internal::exact = false;
      throw;
    }
    internal::exact = false;
    internal::nearBoundary = false;
  }
}

}  // namespace vortan::math
