// The parameter block of the computation core: one ellipsoid and one Transverse Mercator
// projection. Callers fill it and pass it by const reference; core routines only read it.
#pragma once

namespace vortan {

// Constants of one Transverse Mercator projection.
struct Projection {
  double centralMeridianDeg;  // longitude of the central meridian, degrees
  double scaleFactor;         // k0 on the central meridian
  double falseEasting;        // metres
  double falseNorthing;       // metres
};

struct GeodeticParams {
  double semiMajorAxis = 0;      // a, metres
  double inverseFlattening = 0;  // 1/f
  double flattening = 0;         // f, always 1 / inverseFlattening
  double centralMeridianDeg = 0;
  double scaleFactor = 0;
  double falseEasting = 0;
  double falseNorthing = 0;
  double pi = 0;                // 4 atan(1)
  double degreesPerRadian = 0;  // 180 / pi
};

inline constexpr double kGrs80SemiMajorAxis = 6378137.0;
inline constexpr double kGrs80InverseFlattening = 298.257222101;

// Sets the GRS80 ellipsoid, pi and degrees per radian; leaves the projection fields alone.
void SetGrs80(GeodeticParams& params);

// Copies all four projection fields into the block.
void SetProjection(GeodeticParams& params, const Projection& projection);

// A block set to GRS80 and the given projection.
GeodeticParams MakeGrs80Params(const Projection& projection);

// The central meridian of the block in radians, as the callers form it (lambda0 / rho).
double CentralMeridianRad(const GeodeticParams& params);

}  // namespace vortan
