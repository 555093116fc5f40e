// The seven-parameter (Helmert) transformation of Earth-centred Cartesian coordinates between
// HTRS07 and GGRS87, small-angle form, coordinate-frame rotation convention.
#pragma once

#include "core/cartesian.h"

namespace vortan {

// The parameters for the direction HTRS07 -> GGRS87.
struct HelmertParams {
  double tx = 0, ty = 0, tz = 0;  // translations, metres
  double ex = 0, ey = 0, ez = 0;  // rotations, arc-seconds
  double ds = 0;                  // scale difference, pure number (ppm / 1000000)
};

// X', Y', Z' of X, Y, Z (metres). sign +1 is HTRS07 -> GGRS87; -1 applies all seven parameters
// negated (the way back, not an exact inverse). The rotations are not scaled by (1 + ds).
Cartesian HelmertTransform(const HelmertParams& params, double x, double y, double z, int sign);

}  // namespace vortan
