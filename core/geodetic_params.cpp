#include "core/geodetic_params.h"

#include <cmath>

namespace vortan {

void SetGrs80(GeodeticParams& params) {
  params.semiMajorAxis = kGrs80SemiMajorAxis;
  params.inverseFlattening = kGrs80InverseFlattening;
  params.flattening = 1.0 / kGrs80InverseFlattening;
}

void SetProjection(GeodeticParams& params, const Projection& projection) {
  params.centralMeridianDeg = projection.centralMeridianDeg;
  params.scaleFactor = projection.scaleFactor;
  params.falseEasting = projection.falseEasting;
  params.falseNorthing = projection.falseNorthing;
}

GeodeticParams MakeGrs80Params(const Projection& projection) {
  GeodeticParams params;
  SetGrs80(params);
  SetProjection(params, projection);
  return params;
}

double CentralMeridianRad(const GeodeticParams& params) {
  return params.centralMeridianDeg / kDegreesPerRadian;
}

double CentralMeridianRadByPi(const GeodeticParams& params) {
  return params.centralMeridianDeg * kPi / 180;
}

}  // namespace vortan
