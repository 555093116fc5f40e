// The sine, cosine, arctangent, exponential and logarithms of the core, in one place, and the
// rule that keeps printed numbers the same whatever computed them.
//
// The plain routines compute with the core's own functions: the kernels of the lanes
// (core/detail/elementary_kernels.inc: the freely distributable libm's sine, cosine and
// arctangent, an exponential and a logarithm of plain operations) on one lane
// (core/elementary.cpp). They are plain IEEE operations in a fixed order, so their last bits
// are the same in every build: glibc on Linux, aarch64, the browser (musl) and the Windows
// build, whose MinGW library computes with x87 instructions whose results depend on the calling
// thread's precision control. No C library function is on their path; the rare arguments the
// kernels do not serve (beyond |x| = 1e5 for the sine and cosine, beyond 700 for the
// exponential, zero, negative, subnormal or special ones) take the correctly rounded ones, as
// do the arctangent of two arguments (a point west of the meridian of Greenwich's plane, X <= 0)
// and ln(1 + x) beyond the series' range: the same in every build too.
//
// The kernels are within about one unit in the last place, as glibc's functions are; the
// reference computation (RecomputeExactly) takes the correctly rounded functions (double-double
// arithmetic, core/correctly_rounded.cpp), in every build. A point whose printed numbers lie so
// close to a rounding boundary that the last bits could decide a digit (the printer, the angle
// splitting and the extent tests note such numbers) is computed again that way, so that the
// files printed are the same whatever the routines (the lanes or the plain ones).
#pragma once

#include <cmath>
#include <cstdint>

namespace vortan::math {

// Correctly rounded functions.
double CorrectlyRoundedSin(double x);
double CorrectlyRoundedCos(double x);
void CorrectlyRoundedSinCos(double x, double& s, double& c);
double CorrectlyRoundedAtan(double x);
double CorrectlyRoundedAtan2(double y, double x);
double CorrectlyRoundedExp(double x);
double CorrectlyRoundedLog(double x);
double CorrectlyRoundedLog1p(double x);

// The core's own functions (core/elementary.cpp): the lanes' kernels on one lane.
void OwnSinCos(double x, double& s, double& c);
double OwnAtan(double x);
double OwnExp(double x);
double OwnLog(double x);

namespace internal {
// Whether the reference computation is in force (the correctly rounded functions, and the
// plain routines instead of the lanes), and whether a number computed since the last reset
// was near a rounding boundary: of the calling thread.
extern thread_local constinit bool exact;
extern thread_local constinit bool nearBoundary;
// OwnSinCos without its shortcut below a quarter turn: the reduction by pi/2 always.
void ReducedSinCos(double x, double& s, double& c);
}  // namespace internal

// Whether the reference computation is in force (RecomputeExactly).
inline bool Exact() { return internal::exact; }

// The functions in force on the calling thread, read once: a routine that calls several takes
// them as one value (in a shared library each read of a thread's variable is a call).
class Functions {
 public:
  Functions() : exact_(internal::exact) {}
  // sin x and cos x of one argument (one reduction and one evaluation).
  void SinCos(double x, double& s, double& c) const {
    if (exact_) {
      CorrectlyRoundedSinCos(x, s, c);
    } else {
      OwnSinCos(x, s, c);
    }
  }
  double Atan(double x) const { return exact_ ? CorrectlyRoundedAtan(x) : OwnAtan(x); }
  double Exp(double x) const { return exact_ ? CorrectlyRoundedExp(x) : OwnExp(x); }
  double Log(double x) const { return exact_ ? CorrectlyRoundedLog(x) : OwnLog(x); }

 private:
  bool exact_;
};

inline void SinCos(double x, double& s, double& c) { Functions().SinCos(x, s, c); }
inline double Sin(double x) {
  double s, c;
  SinCos(x, s, c);
  return s;
}
inline double Cos(double x) {
  double s, c;
  SinCos(x, s, c);
  return c;
}
inline double Atan(double x) { return Functions().Atan(x); }
inline double Atan2(double y, double x) { return CorrectlyRoundedAtan2(y, x); }
inline double Exp(double x) { return Functions().Exp(x); }
inline double Log(double x) { return Functions().Log(x); }
inline double Log1p(double x) { return CorrectlyRoundedLog1p(x); }

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

// Runs `compute` with the reference computation in force: the correctly rounded functions and
// the plain routines instead of the lanes.
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
