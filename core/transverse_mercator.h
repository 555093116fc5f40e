// Transverse Mercator projection on the ellipsoid of the parameter block: the forward series
// (to the 15th power of the longitude difference), point scale factor and convergence, and the
// inverse through the footpoint and the isometric latitude.
#pragma once

#include <array>
#include <cstddef>

#include "core/geodetic_params.h"

namespace vortan {

struct GridPoint {
  double easting;   // metres
  double northing;  // metres
};

struct ScaleConvergence {
  double convergence;  // gamma, radians
  double scale;        // point scale factor k, k0 included
};

// Grid coordinates and point scale factor of one point.
struct GridPointScale {
  double easting;   // metres
  double northing;  // metres
  double scale;     // point scale factor k, k0 included
};

struct TmInverseResult {
  double latitude;         // radians
  double longitude;        // radians, absolute (central meridian added)
  double packedLatitude;   // DDMMSS.SSSSS
  double packedLongitude;  // DDMMSS.SSSSS
};

struct IsometricTerms {
  double psi;    // isometric latitude
  double dpsi;   // first derivative
  double d2psi;  // second derivative
};

// Meridian arc from the equator to latitude phi (radians), metres.
double MeridianArc(const GeodeticParams& params, double phi);

// Grid coordinates of latitude phi and longitude difference dLambda = lambda - lambda0 (radians).
GridPoint TmForward(const GeodeticParams& params, double phi, double dLambda);

// Grid convergence and point scale factor at phi, dLambda (radians).
ScaleConvergence TmScaleConvergence(const GeodeticParams& params, double phi, double dLambda);

// TmForward and the scale factor of TmScaleConvergence at the same phi, dLambda (radians) in one
// call: the same numbers as the two routines give, with cos phi and tan phi formed once and no
// convergence.
GridPointScale TmForwardScale(const GeodeticParams& params, double phi, double dLambda);

// TmForward and TmForwardScale at a latitude whose tangent is known (as the Cartesian-to-
// geodetic conversion has it): sin phi and cos phi are formed from tanPhi (cos phi =
// 1 / sqrt(1 + tan^2 phi), sin phi = tan phi cos phi) instead of by the library. The numbers
// differ from those of the two routines in the last bits only.
GridPoint TmForwardOfTan(const GeodeticParams& params, double phi, double tanPhi, double dLambda);
GridPointScale TmForwardScaleOfTan(const GeodeticParams& params, double phi, double tanPhi,
                                   double dLambda);

// Latitude and absolute longitude (radians, and packed) of grid coordinates E, N (metres).
// Outside the projection's domain (a Northing farther from the equator than a quarter
// meridian, or a result beyond 90 degrees of latitude or of longitude from the central
// meridian) there is no inverse: the invalid-operation flag is raised and the result is NaN.
TmInverseResult TmInverse(const GeodeticParams& params, double easting, double northing);

// TmInverse of n positions, four at a time side by side (the rest two or one): the passes of
// their iterations interleaved, so that the processor overlaps them; each result is that of
// TmInverse to the last bit. Without packed, the packed angles are not formed (left 0): the
// chains that give latitude and longitude alone skip two splits of an angle a point.
void TmInverses(const GeodeticParams& params, const double* easting, const double* northing,
                std::size_t n, TmInverseResult* out, bool packed = true);

// Latitude (radians) whose meridian arc, by the 1/(1+n) series, is m metres.
double FootpointLatitude(double m, double a, double f, double tolerance);

// Isometric latitude psi(phi) for the first eccentricity e.
double IsometricLatitude(double phi, double e);

// psi, psi' and psi'' at phi, for eccentricity e and second eccentricity squared ep2.
IsometricTerms IsometricLatitudeTerms(double phi, double e, double ep2);

// Latitude (radians) whose isometric latitude is psiTarget, by an averaged Newton/Halley
// iteration.
double LatitudeFromIsometric(double psiTarget, double e, double ep2, int maxPasses,
                             double tolerance);

}  // namespace vortan
