#include "core/cartesian.h"

#include <cmath>

namespace vortan {
namespace {

constexpr int kBowringPasses = 6;

}  // namespace

Cartesian GeodeticToCartesian(const GeodeticParams& params, double phi, double lambda, double h) {
  const double f = params.flattening;
  const double e2 = 2 * f - f * f;
  const double sinPhi = std::sin(phi);
  const double cosPhi = std::cos(phi);
  const double w = std::sqrt(1 - sinPhi * sinPhi * e2);
  const double n = params.semiMajorAxis / w;
  return {(n + h) * cosPhi * std::cos(lambda), (n + h) * cosPhi * std::sin(lambda),
          ((1 - e2) * n + h) * sinPhi};
}

Geodetic CartesianToGeodetic(const GeodeticParams& params, double x, double y, double z) {
  const double a = params.semiMajorAxis;
  const double q = 1 - 1 / params.inverseFlattening;  // b / a
  const double aE2 = a * (1 - q * q);                 // a e^2
  const double p = std::sqrt(y * y + x * x);
  double t = z / (q * p);
  for (int pass = 0; pass < kBowringPasses; ++pass) {
    const double s = std::sqrt(1 + t * t);
    const double ts = t / s;
    t = (q * z + aE2 * (ts * ts * ts)) / (p - aE2 / (s * s * s));
  }
  const double s = std::sqrt(1 + t * t);
  const double dz = z - t * (q * a) / s;
  const double dp = p - a / s;
  double h = std::sqrt(dz * dz + dp * dp);
  if (dp <= 0) h = -h;
  // atan(Y / X) holds for the eastern hemisphere (X > 0); elsewhere the quadrant comes from
  // the signs of X and Y, so that a point is never given a longitude 180 degrees away.
  const double lambda = x > 0 ? std::atan(y / x) : std::atan2(y, x);
  return {std::atan(t / q), lambda, h};
}

}  // namespace vortan
