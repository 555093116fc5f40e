// Every chain of the system, once: the way from each entry form of a point through the datum
// transformation, in the fixed order of steps, under the numeric-fault guard. Each function
// returns every value that a window or a job shows or writes of the point, and how far the
// point got: the stages it completed and, on a failure, the stage that failed and why.
//
// A stage completes as a whole or not at all; the values of a stage are valid only when the
// result says the stage completed. The windows show, and the jobs write, exactly the values of
// the completed stages.
#pragma once

#include <cstdint>

#include "transform/datum.h"

namespace vortan {

enum class PointStatus : std::uint8_t {
  kDone,
  kOutsideGrid,  // the TM07 position fails the extent test or lies outside the grids read
  kFault,        // a numeric fault (overflow, division by zero, invalid operation)
  kNoValue,      // an input coordinate is NaN: the output is NaN, and that is no failure
  kOutOfRange,   // an input latitude beyond 90 degrees or longitude beyond 180 degrees
};

// The stages of the chains, each named after what it produces.
enum class Stage : std::uint8_t {
  kNone = 0,
  kHtrs07Geographic,  // HTRS07 latitude, longitude (radians, packed) and height
  kHtrs07Xyz,         // HTRS07 X, Y, Z
  kTm07,              // HTRS07 TM07 E, N (uncorrected) and point scale factor
  kGgrs87Geographic,  // GGRS87 latitude, longitude (radians, packed) of the entry point
  kTm87,              // GGRS87 TM87 E, N of the entry point
  kDatum,             // the datum transformation with its grid correction, either way
};

// The HTRS07 values of a point.
struct Htrs07Values {
  double x = 0, y = 0, z = 0;  // metres
  double latitude = 0, longitude = 0;  // radians
  double packedLatitude = 0, packedLongitude = 0;  // DDMMSS.SSSSS
  double height = 0;  // ellipsoidal, metres: the input's forward, Helmert's on the way back
  double easting = 0, northing = 0;  // TM07, metres (corrected on the way back)
  double scale = 0;  // TM07 point scale factor (forward chains from X, Y, Z and from phi, lambda)
};

// The GGRS87 values of a point.
struct Ggrs87Values {
  double latitude = 0, longitude = 0;  // radians
  double packedLatitude = 0, packedLongitude = 0;  // DDMMSS.SSSSS
  double height = 0;  // ellipsoidal, metres
  double easting = 0, northing = 0;  // TM87, metres (corrected in the forward chains)
};

struct PointResult {
  PointStatus status = PointStatus::kDone;
  Stage failed = Stage::kNone;  // the stage that failed, kNone when done
  const char* fault = "";       // "overflow", "division by zero", "invalid operation"
  std::uint8_t completed = 0;   // the stages completed, a bit each
  Htrs07Values htrs07;
  Ggrs87Values ggrs87;  // the height: Helmert's in the forward chains, the input's on the way back
  // The datum step: the TM position before the correction (TM87 forward, TM07 on the way
  // back; on the way back also the TM07 position refused outside the grid, which forward is
  // htrs07.easting, northing), and the corrections in centimetres as shown (the grid values
  // forward, negated on the way back).
  double uncorrectedEasting = 0, uncorrectedNorthing = 0;
  float dE = 0, dN = 0;

  bool Completed(Stage stage) const {
    return (completed & (1u << static_cast<unsigned>(stage))) != 0;
  }
  bool ok() const { return status == PointStatus::kDone; }
};

// The forward chains: with geographic false the GGRS87 latitude and longitude of the corrected
// position are left out (zero), for a caller that needs only the TM87 E, N and the height.
//
// HTRS07 to GGRS87 (Htrs07ToGgrs87), from X, Y, Z: HTRS07 latitude, longitude, height; TM07
// E, N and scale factor; then the datum step, its extent test at that TM07 position.
// Stages: kHtrs07Geographic, kTm07, kDatum.
PointResult Htrs07XyzToGgrs87(const TransformContext& context, double x, double y, double z,
                              bool geographic = true);

// Htrs07XyzToGgrs87 (geographic) of n points, each result that of its own call: the chain of
// Htrs07PointsToGgrs87, the fault flags tested once a group of points.
void Htrs07XyzToGgrs87Block(const TransformContext& context, const Xyz* xyz, std::size_t n,
                            PointResult* out);

// From HTRS07 latitude, longitude (radians) and height: X, Y, Z; the TM07 position of the given
// latitude and longitude; then the datum step. Stages: kHtrs07Xyz, kTm07, kDatum.
PointResult Htrs07GeographicToGgrs87(const TransformContext& context, double latitude,
                                     double longitude, double h, bool geographic = true);

// From TM07 E, N, h: the extent test at the given E, N first (outside: nothing completes);
// latitude, longitude by the inverse TM07; X, Y, Z; then the datum step at the given E, N.
// Stages: kHtrs07Geographic, kHtrs07Xyz, kDatum.
PointResult Htrs07Tm07ToGgrs87(const TransformContext& context, double easting,
                               double northing, double h, bool geographic = true);

// What the way back computes beyond the HTRS07 TM07 position and latitude, longitude.
struct BackOptions {
  bool withXyz = false;      // HTRS07 X, Y, Z of the result (stage kHtrs07Xyz)
  bool keepHeight = false;   // the HTRS07 height is the input height, not Helmert's
  bool withTm87 = true;      // from latitude, longitude: their TM87 E, N (stage kTm87)
  bool htrs07Geographic = true;  // HTRS07 latitude, longitude of the corrected TM07 position
};

// GGRS87 to HTRS07 (Ggrs87ToHtrs07), from TM87 E, N, h: latitude, longitude by the inverse
// TM87, then the way back. Stages: kGgrs87Geographic, kDatum (and kHtrs07Xyz when asked).
PointResult Ggrs87Tm87ToHtrs07(const TransformContext& context, double easting, double northing,
                               double h, const BackOptions& options = {});

// From GGRS87 latitude, longitude (radians) and height: TM87 E, N of the point, then the way
// back. Stages: kTm87 (unless left out), kDatum (and kHtrs07Xyz when asked).
PointResult Ggrs87GeographicToHtrs07(const TransformContext& context, double latitude,
                                     double longitude, double h, const BackOptions& options = {});

}  // namespace vortan
