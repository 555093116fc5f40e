// Transverse Mercator projection (Gauss-Krüger) on the ellipsoid of the parameter block.
//
// What it computes, and from which formulas:
// - MeridianArc: the meridian arc from the equator by Helmert's series in the third flattening
//   n = f / (2 - f), to n^4, in the form with the factor (1 - n)(1 - n^2) (F. R. Helmert, Die
//   mathematischen und physikalischen Theorien der höheren Geodäsie, vol. 1, 1880).
// - TmForward: E and N as power series in the longitude difference, E to the 15th power and N to
//   the 14th, each term (cos phi * dLambda)^k / k! times a polynomial in t^2 = tan^2 phi and
//   eta^2 = e'^2 cos^2 phi: the Gauss-Krüger series in the form of the textbook formulae
//   (G. Redfearn, "Transverse Mercator formulae", Empire Survey Review 9(69), 1948, carried on
//   to higher orders), with the integer coefficients of the printed tables of
//   core/tm_coefficients.h, used as printed (each order truncated in eta^2 as its rows are).
// - TmScaleConvergence: the point scale factor and tan gamma by the shorter series of the same
//   kind; TmPointScale at a longitude.
// - TmInverse: not the inverse series in E, but (1) the footpoint latitude by a fixed-point
//   iteration on the rectifying form of the meridian arc (the factor 1 / (1 + n), sines to 8 phi;
//   a different truncation from MeridianArc's, which the pair tolerates), (2) the isometric
//   latitude psi = ln(tan(pi/4 + phi/2) ((1 - e sin phi) / (1 + e sin phi))^(e/2)) of the
//   footpoint (J. P. Snyder, Map Projections: A Working Manual, USGS Professional Paper 1395,
//   1987, eq. 3-7), (3) its correction by a series in D = x / (k0 N1) to D^14, and the longitude
//   by a series to D^15, (4) the latitude of the corrected psi by an iteration that averages a
//   Newton and a Halley step. Both iterations stop at kFootpointTolerance, kIsometricTolerance
//   or their pass limits; at Greek latitudes the footpoint takes six or seven passes and the
//   latitude three or four.
//
// Accuracy: within 0.2 mm of the exact projection (GeographicLib's TransverseMercatorExact,
// tests/core/geographiclib_crosscheck_test.cpp) forward and back over phi 34 to 42 degrees and
// dLambda -4.5 to 4.5 degrees; forward then back gives the latitude and longitude again to
// 1e-13 rad.
//
// Where the code departs from a straight transcription of the formulae, the numbers stay the
// same or move in the last bits only, as each routine's comment says: both series tables are
// evaluated side by side with the same operations in the same order (core/detail/
// tm_series.h); cos phi and tan phi are formed once where two routines take them
// (TmForwardScale), or from a known tangent (TmForwardOfTan); several inverses run side by side
// with their passes interleaved (TmInverses). The vector lanes (core/lanes.h) state the same
// formulae once more over vectors, because they start the footpoint iteration from a series
// value and take the latitude of the corrected psi from its series in n, where the plain
// routines keep the iterations' own starts and passes; tm_series.h and the
// elementary functions (core/detail/elementary_kernels.inc) are shared by both.
#pragma once

#include <array>
#include <cstddef>

#include "core/geodetic_params.h"

namespace vortan {

// The inverse's iterations: tolerances (radians) and pass limits.
inline constexpr double kFootpointTolerance = 1e-15;
inline constexpr int kFootpointMaxPasses = 20;
inline constexpr double kIsometricTolerance = 1e-15;
inline constexpr int kIsometricMaxPasses = 25;

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

// The point scale factor at latitude phi and longitude lambda (radians; the longitude itself):
// the difference from the central meridian taken with lambda0 / rho, as the windows' scale box
// has it, for every front end that shows the scale of a point it did not project.
double TmPointScale(const GeodeticParams& params, double phi, double lambda);

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
