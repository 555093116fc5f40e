#include "transform/helmert.h"

#include "core/geodetic_params.h"

namespace vortan {

Cartesian HelmertTransform(const HelmertParams& params, double x, double y, double z, int sign) {
  const double rho = kPi / 3600 / 180;  // radians per arc-second
  const double s = sign;
  const double tx = s * params.tx, ty = s * params.ty, tz = s * params.tz;
  const double ex = s * params.ex, ey = s * params.ey, ez = s * params.ez;
  const double ds = s * params.ds;
  return {((1 + ds) * x + tx) + (ez * y - ey * z) * rho,
          ((1 + ds) * y + ty) + (-ez * x + ex * z) * rho,
          ((1 + ds) * z + tz) + (ey * x - ex * y) * rho};
}

}  // namespace vortan
