// The sine, cosine, arctangent, exponential and logarithms of the core, in one place. The
// results of the tool and the desktop programs are those of glibc's functions. Another C
// library (musl, in the WebAssembly build) differs from glibc in the last bit of some calls in
// a hundred (an arctangent in four), which changes a printed digit about once in a million
// lines. There the functions can be switched to correctly rounded ones (double-double
// arithmetic), which glibc's equal in all but about one call in a thousand: a point whose
// printed numbers lie so close to a rounding boundary that those last bits could decide a digit
// is computed again with them (RecomputeExactly below; the printer and the angle splitting note
// such numbers). The exponential and the logarithms stay the library's: musl's already equal
// glibc's in all but about one call in a thousand (the same algorithms), as near as correctly
// rounded ones would.
// MinGW-w64's library (the Windows build) computes these functions with x87 instructions
// (fsin, fcos, fpatan, fyl2x, f2xm1; the arctangent is msvcrt.dll's), whose results depend on
// the precision in the calling thread's x87 control word: 53 bits in a thread of a Microsoft
// program, 64 in one that MinGW's start-up code began, and whatever a worker thread was given.
// There every one of them is the correctly rounded one, always (kOwnFunctions): the last bits
// are then the same whatever the caller, the thread or the number of threads, and differ from
// glibc's only where glibc's are not correctly rounded (docs/windows.md gives the figures).
// With glibc the functions are the library's and nothing is switched; where the chains run on
// vector lanes (core/lanes.h), whose functions differ from the library's in the last bits, the
// same noting is in force, and a noted point is computed again by the plain routines. The
// noting is always on, whatever the routines: one rule, no setting (on the plain routines a
// noted point is computed again, to the same result).
#pragma once

#include <cmath>
#include <cstdint>

namespace vortan::math {

#if defined(__EMSCRIPTEN__)
inline constexpr bool kCheckedFunctions = true;
#else
inline constexpr bool kCheckedFunctions = false;
#endif
#if defined(__MINGW32__)
inline constexpr bool kOwnFunctions = true;
#else
inline constexpr bool kOwnFunctions = false;
#endif

// Correctly rounded functions (in every build, so that the tests compare them with glibc's).
double CorrectlyRoundedSin(double x);
double CorrectlyRoundedCos(double x);
void CorrectlyRoundedSinCos(double x, double& s, double& c);
double CorrectlyRoundedAtan(double x);
double CorrectlyRoundedAtan2(double y, double x);
double CorrectlyRoundedExp(double x);
double CorrectlyRoundedLog(double x);
double CorrectlyRoundedLog1p(double x);

namespace internal {
// Whether the reference computation is in force (the correctly rounded functions, and the
// plain routines instead of the lanes), and whether a number computed since the last reset
// was near a rounding boundary: of the calling thread.
extern thread_local bool exact;
extern thread_local bool nearBoundary;
}  // namespace internal

// Whether the reference computation is in force (RecomputeExactly).
inline bool Exact() { return internal::exact; }

inline double Sin(double x) {
  if constexpr (kOwnFunctions) return CorrectlyRoundedSin(x);
  if constexpr (kCheckedFunctions) {
    if (internal::exact) return CorrectlyRoundedSin(x);
  }
  return std::sin(x);
}
inline double Cos(double x) {
  if constexpr (kOwnFunctions) return CorrectlyRoundedCos(x);
  if constexpr (kCheckedFunctions) {
    if (internal::exact) return CorrectlyRoundedCos(x);
  }
  return std::cos(x);
}
// sin x and cos x of one argument (one reduction and one evaluation where they are the core's
// own; elsewhere the two functions, which GCC turns into one sincos call).
inline void SinCos(double x, double& s, double& c) {
  if constexpr (kOwnFunctions) {
    CorrectlyRoundedSinCos(x, s, c);
    return;
  }
  s = Sin(x);
  c = Cos(x);
}
inline double Atan(double x) {
  if constexpr (kOwnFunctions) return CorrectlyRoundedAtan(x);
  if constexpr (kCheckedFunctions) {
    if (internal::exact) return CorrectlyRoundedAtan(x);
  }
  return std::atan(x);
}
inline double Atan2(double y, double x) {
  if constexpr (kOwnFunctions) return CorrectlyRoundedAtan2(y, x);
  if constexpr (kCheckedFunctions) {
    if (internal::exact) return CorrectlyRoundedAtan2(y, x);
  }
  return std::atan2(y, x);
}
inline double Exp(double x) {
  if constexpr (kOwnFunctions) return CorrectlyRoundedExp(x);
  return std::exp(x);
}
inline double Log(double x) {
  if constexpr (kOwnFunctions) return CorrectlyRoundedLog(x);
  return std::log(x);
}
inline double Log1p(double x) {
  if constexpr (kOwnFunctions) return CorrectlyRoundedLog1p(x);
  return std::log1p(x);
}
// How close, in units of the last digit shown, a printed number may come to a rounding
// boundary (or, for its sign, to zero) before its point is computed again: the last bits of
// the functions move the numbers of a point by less than 1e-5 of a last digit, the iterations'
// tolerance by less than 3e-5.
inline constexpr double kBoundaryMargin = 3e-4;
// The same for whole degrees and minutes split off an angle, in degrees or minutes: the last
// bits move an angle by less than 1e-13 degrees.
inline constexpr double kSplitMargin = 1e-9;
// The same for a TM position against the bounds of the extent test, in metres.
inline constexpr double kComparisonMargin = 1e-6;

// A number to be printed: its whole part, the scale of its last digit shown (10^decimals), its
// fraction times that scale and what the truncation of that leaves (`rest`, 0.5 the rounding
// boundary). Near zero its sign ("-.000") is at stake too.
inline void NoteRounding(std::int64_t whole, std::int64_t scale, double scaledFraction,
                         double rest) {
  (void)scale;
  if (std::fabs(rest - 0.5) < kBoundaryMargin ||
      (whole == 0 && scaledFraction < kBoundaryMargin)) {
    internal::nearBoundary = true;
  }
}
// A whole number split off (degrees, minutes) whose fraction is `fraction` (0 and 1 the
// boundaries).
inline void NoteSplit(double fraction) {
  if (fraction < kSplitMargin || fraction > 1 - kSplitMargin) {
    internal::nearBoundary = true;
  }
}
// A number compared with a bound (an extent test): near it, the comparison is at stake.
inline void NoteComparison(double value, double bound) {
  if (std::fabs(value - bound) < kComparisonMargin) internal::nearBoundary = true;
}

// Forgets what was noted; whether something was noted since.
inline void ResetNoted() { internal::nearBoundary = false; }
inline bool Noted() { return internal::nearBoundary; }

// Runs `compute` with the reference computation in force: the correctly rounded functions
// where the functions are checked, the plain routines instead of the lanes.
template <typename F>
void RecomputeExactly(F&& compute) {
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

}  // namespace vortan::math
