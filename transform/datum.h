// The two datum chains between HTRS07 and GGRS87, in their fixed order of steps, and the
// context that the initial step fills: the region, the seven parameters and the grids.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "core/cartesian.h"
#include "core/transverse_mercator.h"
#include "transform/correction_grid.h"
#include "transform/helmert.h"
#include "transform/region_profile.h"

namespace vortan {

// X, Y, Z of a point, metres.
using Xyz = std::array<double, 3>;

struct TransformContext {
  const RegionProfile* profile = nullptr;
  GridBounds bounds = kDataFileBounds;       // the extent test of the program
  HelmertParams helmert;                     // zero until the initial step
  std::shared_ptr<const GridPair> grids;     // set by the initial step where the region has them
  std::string dnPath, dePath;                // the grid files loaded (no output may be one)
  bool initialised = false;

  // Ready for the chains: parameters stored and, where the region has grids, grids loaded.
  bool Ready() const { return initialised && (!profile->hasGrids || grids != nullptr); }
};

// A context for the region with the bounds of the program; not yet initialised.
TransformContext MakeContext(const RegionProfile& profile, const GridBounds& bounds);

// The initial step: stores the region's seven parameters and, where the region has grids,
// loads them from the two paths. Returns "" or what went wrong (the grids are then unloaded).
// errorGreek, where given, receives what went wrong in Greek.
std::string InitialStep(TransformContext& context, const std::string& dnPath,
                        const std::string& dePath, std::string* errorGreek = nullptr);

// The initial step with grids already in memory (for example sent to another machine with the
// conversion): stores the region's seven parameters and, where the region has grids, takes
// these. Returns "" or what is wrong with them (the grids are then unloaded). No file is read,
// so dnPath and dePath stay empty.
std::string InitialStepWithGrids(TransformContext& context, GridPair grids);

enum class ChainStatus { kDone, kOutsideGrid };

struct ForwardChainResult {
  ChainStatus status = ChainStatus::kDone;
  double e87 = 0, n87 = 0;              // corrected TM87, metres
  double e87Uncorrected = 0, n87Uncorrected = 0;  // TM87 before the correction
  double phi87 = 0, lambda87 = 0;       // from the corrected TM87 position, radians
  double packedPhi87 = 0, packedLambda87 = 0;
  double h87 = 0;                       // GGRS87 ellipsoidal height after Helmert, metres
  float dE = 0, dN = 0;                 // corrections applied, centimetres
};

struct BackChainResult {
  ChainStatus status = ChainStatus::kDone;
  double e07 = 0, n07 = 0;              // corrected TM07, metres
  double e07Uncorrected = 0, n07Uncorrected = 0;  // TM07 before the correction (also outside)
  double phi07 = 0, lambda07 = 0;       // from the corrected TM07 position, radians
  double packedPhi07 = 0, packedLambda07 = 0;
  double h07 = 0;                       // HTRS07 ellipsoidal height after Helmert, metres
  float dE = 0, dN = 0;                 // corrections as shown: the negated grid values, cm
};

// HTRS07 X, Y, Z and its TM07 E, N to corrected TM87 E, N and GGRS87 latitude, longitude. The
// extent test comes first, at the TM07 position; the correction is added on the TM87 side.
// With geographic false the last step, the GGRS87 latitude and longitude of the corrected
// position (an inverse TM87), is left out for a caller that needs only E, N: they stay zero.
ForwardChainResult Htrs07ToGgrs87(const TransformContext& context, double x07, double y07,
                                  double z07, double e07, double n07, bool geographic = true);

// One point of the HTRS07 X, Y, Z batch job: HTRS07 latitude, longitude and height, TM07 E, N
// with the point scale factor, and Htrs07ToGgrs87 of the point: the numbers of those calls one
// after the other to their last bits (the projections take sin and cos of the latitudes from
// the tangents the conversions end with). The two Cartesian-to-geodetic conversions (HTRS07,
// and GGRS87 after Helmert) run side by side, so Helmert and the GGRS87 conversion are
// computed before the extent test, also for a point that then lies outside the grid.
struct Htrs07PointResult {
  Geodetic htrs07;            // latitude, longitude (radians), height (metres)
  GridPointScale tm07;        // uncorrected TM07 E, N (metres) and point scale factor
  ForwardChainResult ggrs87;  // as Htrs07ToGgrs87 gives it
};
Htrs07PointResult Htrs07PointToGgrs87(const TransformContext& context, double x07, double y07,
                                      double z07, bool geographic = true);

// Htrs07PointToGgrs87 (geographic) of n points, each result that of its own call to the last
// bit: the points go through the chain in groups, every point of a group up to its grid
// correction first (the four Cartesian-to-geodetic conversions of two points side by side),
// and the inverse TM87 four at a time, so that the grid values asked into the cache arrive in
// time and the processor overlaps the iterations of four points.
void Htrs07PointsToGgrs87(const TransformContext& context, const Xyz* xyz, std::size_t n,
                          Htrs07PointResult* out);

// GGRS87 latitude, longitude (radians) and height to corrected TM07 E, N and HTRS07 latitude,
// longitude. The correction is interpolated at the uncorrected TM07 position and subtracted.
// With geographic false the HTRS07 latitude and longitude of the corrected position (an
// inverse TM07) are left out: they stay zero.
BackChainResult Ggrs87ToHtrs07(const TransformContext& context, double phi87, double lambda87,
                               double h, bool geographic = true);

}  // namespace vortan
