// Geodetic latitude, longitude, height and Earth-centred Cartesian X, Y, Z on the ellipsoid of
// the parameter block.
//
// GeodeticToCartesian is the closed formula (X, Y from (N + h) cos phi, Z from ((1 - e^2) N + h)
// sin phi, N the prime vertical radius of curvature). CartesianToGeodetic is Bowring's
// iteration (B. R. Bowring, "Transformation from spatial to geographical coordinates", Survey
// Review 23(181), 1976) written on the reduced latitude beta, carried as t = tan beta: each pass
// replaces tan beta by (b / a) tan phi of the latitude that Bowring's formula gives from the
// current beta. The count is fixed (kBowringPasses), with no tolerance: the iteration converges
// fast, and six passes from the start value t = Z / ((b / a) p) give back a point's latitude to
// 1e-15 rad and its height to 1e-8 m (tests/core). The passes end early only where a pass has
// left every t exactly as it was (after two or three on the Earth's surface): the passes left
// would change nothing, so the last bits are the six passes' and depend on no tolerance. The
// height is the
// signed distance to the ellipsoid point of reduced latitude beta, the longitude atan(Y / X)
// (between -90 and 90 degrees: the area served has X > 0).
#pragma once

#include <array>
#include <cstddef>

#include "core/geodetic_params.h"

namespace vortan {

// The passes of Bowring's iteration in CartesianToGeodetic (and its lanes).
inline constexpr int kBowringPasses = 6;

struct Cartesian {
  double x, y, z;  // metres
};

struct Geodetic {
  double latitude;   // radians
  double longitude;  // radians
  double height;     // metres, ellipsoidal
};

// X, Y, Z (metres) of latitude, longitude (radians) and ellipsoidal height h (metres).
Cartesian GeodeticToCartesian(const GeodeticParams& params, double phi, double lambda, double h);

// Latitude, longitude (radians) and ellipsoidal height (metres) of X, Y, Z by six passes of
// Bowring's iteration on the reduced latitude. On the polar axis (X = Y = 0) the division by
// zero is a numeric fault for the caller's guard.
Geodetic CartesianToGeodetic(const GeodeticParams& params, double x, double y, double z);

// CartesianToGeodetic of two points at once: the same numbers as two calls, with the two
// iterations interleaved so that they run side by side.
std::array<Geodetic, 2> CartesianToGeodeticPair(const GeodeticParams& params,
                                                const Cartesian& first, const Cartesian& second);

// CartesianToGeodetic of the n points c[k] into g[k], four at a time side by side (the same
// numbers as n calls); with tanLatitudes, also the tangent of each latitude as the iteration
// ends with it (the latitude is its arc tangent), for the projections that go on from it.
void CartesianToGeodetics(const GeodeticParams& params, const Cartesian* c, std::size_t n,
                          Geodetic* g, double* tanLatitudes = nullptr);

}  // namespace vortan
