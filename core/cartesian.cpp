#include "core/cartesian.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/math_functions.h"
#include "core/numeric_guard.h"

namespace vortan {

Cartesian GeodeticToCartesian(const GeodeticParams& params, double phi, double lambda, double h) {
  const double f = params.flattening;
  const double e2 = 2 * f - f * f;
  double sinPhi, cosPhi, sinLambda, cosLambda;
  const math::Functions fn;
  fn.SinCos(phi, sinPhi, cosPhi);
  fn.SinCos(lambda, sinLambda, cosLambda);
  const double w = std::sqrt(1 - sinPhi * sinPhi * e2);
  const double n = params.semiMajorAxis / w;
  const Cartesian c{(n + h) * cosPhi * cosLambda, (n + h) * cosPhi * sinLambda,
                    ((1 - e2) * n + h) * sinPhi};
  NoteResults(c.x, c.y, c.z);
  return c;
}

namespace {

// CartesianToGeodetic of n points side by side: the passes of the iterations are interleaved,
// so that the processor overlaps the chains of square roots and divisions of the points.
// Each point goes through exactly the operations of a conversion of its own.
template <std::size_t n>
std::array<Geodetic, n> ToGeodetic(const GeodeticParams& params,
                                   const std::array<Cartesian, n>& c, double* tanLatitudes) {
  const double a = params.semiMajorAxis;
  const double q = 1 - 1 / params.inverseFlattening;  // b / a
  const double aE2 = a * (1 - q * q);                 // a e^2
  double p[n], t[n];
  for (std::size_t k = 0; k < n; ++k) {
    p[k] = std::sqrt(c[k].y * c[k].y + c[k].x * c[k].x);
    t[k] = c[k].z / (q * p[k]);
  }
  // A pass that leaves every t as it was leaves it so in every pass after it: the passes end
  // there, with the bits of all kBowringPasses.
  for (int pass = 0; pass < kBowringPasses; ++pass) {
    bool same = true;
    for (std::size_t k = 0; k < n; ++k) {
      const double s = std::sqrt(1 + t[k] * t[k]);
      const double ts = t[k] / s;
      const double next = (q * c[k].z + aE2 * (ts * ts * ts)) / (p[k] - aE2 / (s * s * s));
      same = same && next == t[k];
      t[k] = next;
    }
    if (same) break;
  }
  std::array<Geodetic, n> g;
  const math::Functions fn;
  for (std::size_t k = 0; k < n; ++k) {
    const double x = c[k].x, y = c[k].y, z = c[k].z;
    const double s = std::sqrt(1 + t[k] * t[k]);
    const double dz = z - t[k] * (q * a) / s;
    const double dp = p[k] - a / s;
    double h = std::sqrt(dz * dz + dp * dp);
    if (dp <= 0) h = -h;
    // atan(Y / X) holds for the eastern hemisphere (X > 0); elsewhere the quadrant comes from
    // the signs of X and Y, so that a point is never given a longitude 180 degrees away.
    const double lambda = x > 0 ? fn.Atan(y / x) : math::Atan2(y, x);
    const double tanLatitude = t[k] / q;
    if (tanLatitudes) tanLatitudes[k] = tanLatitude;
    NoteResults(tanLatitude, lambda, h);
    g[k] = {fn.Atan(tanLatitude), lambda, h};
  }
  return g;
}

}  // namespace

Geodetic CartesianToGeodetic(const GeodeticParams& params, double x, double y, double z) {
  return ToGeodetic<1>(params, {Cartesian{x, y, z}}, nullptr)[0];
}

std::array<Geodetic, 2> CartesianToGeodeticPair(const GeodeticParams& params,
                                                const Cartesian& first,
                                                const Cartesian& second) {
  return ToGeodetic<2>(params, {first, second}, nullptr);
}

void CartesianToGeodetics(const GeodeticParams& params, const Cartesian* c, std::size_t n,
                          Geodetic* g, double* tanLatitudes) {
  std::size_t k = 0;
  for (; k + 4 <= n; k += 4) {
    const std::array<Geodetic, 4> four =
        ToGeodetic<4>(params, {c[k], c[k + 1], c[k + 2], c[k + 3]},
                      tanLatitudes ? tanLatitudes + k : nullptr);
    std::copy(four.begin(), four.end(), g + k);
  }
  for (; k < n; ++k) {
    g[k] = ToGeodetic<1>(params, {c[k]}, tanLatitudes ? tanLatitudes + k : nullptr)[0];
  }
}

}  // namespace vortan
