// The plain routines' sine and cosine, arctangent, exponential and logarithm: the kernels of
// the lanes (core/detail/elementary_kernels.inc) on one lane (core/detail/one_lane.h), so that
// a plain routine and a lane compute the same function to the same bits, in every build.
#include <cmath>
#include <cstddef>
#include <initializer_list>

#include "core/detail/one_lane.h"
#include "core/math_functions.h"

namespace vortan::elementary {
namespace {

namespace hn = one_lane;
using D = hn::Tag;
using V = hn::Vec1;
using M = hn::Mask1;
constexpr std::size_t kMaxLanes = 1;
V K(double x) { return {x}; }

#include "core/detail/elementary_kernels.inc"

}  // namespace
}  // namespace vortan::elementary

namespace vortan::math {

namespace internal {
void ReducedSinCos(double x, double& s, double& c) {
  elementary::V sine, cosine;
  elementary::SinCos(elementary::K(x), sine, cosine);
  s = sine.raw;
  c = cosine.raw;
}
}  // namespace internal

void OwnSinCos(double x, double& s, double& c) {
  // Below pi/4 (latitudes and longitudes in Greece) the reduction by pi/2 leaves x as it is
  // (n = 0, a tail of +0) and the quadrant turns nothing: the kernel alone, to the same bits.
  // Zero is left to the reduction, which makes -0 +0 there.
  const double ax = std::fabs(x);
  if (!(ax < 0.78 && ax > 0)) {
    internal::ReducedSinCos(x, s, c);
    return;
  }
  elementary::V sine, cosine;
  elementary::KernelSinCos(elementary::K(x), elementary::K(0), sine, cosine);
  s = sine.raw;
  c = cosine.raw;
}

double OwnAtan(double x) { return elementary::Atan(elementary::K(x)).raw; }
double OwnExp(double x) { return elementary::Exp(elementary::K(x)).raw; }
double OwnLog(double x) { return elementary::Log(elementary::K(x)).raw; }

}  // namespace vortan::math
