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
};

// pi as the programs form it, 4 atan(1) in double precision; this literal is the same double
// (a test checks it), so that every routine uses one value without calling atan.
inline constexpr double kPi = 3.141592653589793;
// Degrees to radians and back, for the callers that take or give angles in degrees (the C
// library, Python, the page, GIS datasets); the record files' packed angles have their own.
inline constexpr double kRadiansPerDegree = kPi / 180.0;
inline constexpr double kDegreesPerRadian = 180.0 / kPi;

inline constexpr double kGrs80SemiMajorAxis = 6378137.0;
inline constexpr double kGrs80InverseFlattening = 298.257222101;

// Sets the GRS80 ellipsoid; leaves the projection fields alone.
void SetGrs80(GeodeticParams& params);

// Copies all four projection fields into the block.
void SetProjection(GeodeticParams& params, const Projection& projection);

// A block set to GRS80 and the given projection.
GeodeticParams MakeGrs80Params(const Projection& projection);

// The central meridian of the block in radians. The chains prescribe two spellings: lambda0 / rho
// with rho = 180 / pi (the TM forward steps of the forward chain and of the batch jobs) and
// lambda0 * pi / 180 (TmInverse, the TM forward step of the way back, and the single-point
// GGRS87 phi, lambda, h entry). Both are kept where they stand: for the central meridians of
// both regions they give the same double (a test checks it), but the reference files were
// written with these spellings and any other region's meridian may round differently.
double CentralMeridianRad(const GeodeticParams& params);       // lambda0 / rho
double CentralMeridianRadByPi(const GeodeticParams& params);   // lambda0 * pi / 180

}  // namespace vortan
