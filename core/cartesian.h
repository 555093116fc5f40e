// Geodetic latitude, longitude, height and Earth-centred Cartesian X, Y, Z on the ellipsoid of
// the parameter block.
#pragma once

#include <array>

#include "core/geodetic_params.h"

namespace vortan {

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

// The same, with the tangent of each latitude as the iteration ends with it (the latitude is
// its arc tangent), for the projections that go on from the latitudes.
std::array<Geodetic, 2> CartesianToGeodeticPair(const GeodeticParams& params,
                                                const Cartesian& first, const Cartesian& second,
                                                std::array<double, 2>& tanLatitudes);

// Four at once, with their tangents: the same numbers as four calls.
std::array<Geodetic, 4> CartesianToGeodeticQuad(const GeodeticParams& params,
                                                const std::array<Cartesian, 4>& c,
                                                std::array<double, 4>& tanLatitudes);

}  // namespace vortan
