// The seven-parameter (Helmert) transformation of Earth-centred Cartesian coordinates between
// HTRS07 and GGRS87, small-angle form, coordinate-frame rotation convention.
#pragma once

#include "core/cartesian.h"
#include "core/geodetic_params.h"

namespace vortan {

// The parameters for the direction HTRS07 -> GGRS87.
struct HelmertParams {
  double tx = 0, ty = 0, tz = 0;  // translations, metres
  double ex = 0, ey = 0, ez = 0;  // rotations, arc-seconds
  double ds = 0;                  // scale difference, pure number (ppm / 1000000)
};

// X', Y', Z' of X, Y, Z (metres). sign +1 is HTRS07 -> GGRS87; -1 applies all seven parameters
// negated (the way back, not an exact inverse). The rotations are not scaled by (1 + ds).
// Inline: the chains' loops over a block take it point after point.
inline Cartesian HelmertTransform(const HelmertParams& params, double x, double y, double z,
                                  int sign) {
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
