#include "transform/datum.h"

#include "core/cartesian.h"
#include <cmath>

#include "core/transverse_mercator.h"

namespace vortan {

TransformContext MakeContext(const RegionProfile& profile, const GridBounds& bounds) {
  TransformContext context;
  context.profile = &profile;
  context.bounds = bounds;
  return context;
}

std::string InitialStep(TransformContext& context, const std::string& dnPath,
                        const std::string& dePath) {
  context.helmert = context.profile->helmert;
  context.initialised = true;
  if (!context.profile->hasGrids) return "";
  context.grids.reset();
  GridLoadResult loaded = LoadCorrectionGrids(dnPath, dePath);
  if (!loaded.grids) return loaded.error;
  context.grids = std::make_shared<const GridPair>(std::move(*loaded.grids));
  return "";
}

namespace {

// The grid correction at a TM07 position: zero where the region has no grids; nothing when the
// position fails the extent test or lies outside the grid that was read.
std::optional<Correction> CorrectionAt(const TransformContext& context, double e07, double n07) {
  if (!context.profile->hasGrids) return Correction{0, 0};
  if (!InsideGridBounds(context.bounds, e07, n07, context.profile->tm07.falseNorthing)) {
    return std::nullopt;
  }
  if (!context.grids) return std::nullopt;
  return InterpolateCorrection(*context.grids, n07, e07);
}

}  // namespace

ForwardChainResult Htrs07ToGgrs87(const TransformContext& context, double x07, double y07,
                                  double z07, double e07, double n07) {
  ForwardChainResult r;
  // The extent test and the grid cell come first, at the TM07 position; the corrections are
  // read from the cell only when they are added, so that the grid values travel into the cache
  // while the point goes through Helmert and the projection (nothing in between depends on
  // them).
  std::optional<GridCell> cell;
  if (context.profile->hasGrids) {
    if (!InsideGridBounds(context.bounds, e07, n07, context.profile->tm07.falseNorthing) ||
        !context.grids) {
      r.status = ChainStatus::kOutsideGrid;
      return r;
    }
    cell = LocateCorrection(context.grids->dE.header, n07, e07);
    if (!cell) {
      r.status = ChainStatus::kOutsideGrid;
      return r;
    }
    PrefetchCorrection(*context.grids, *cell);
  }
  const Cartesian c87 = HelmertTransform(context.helmert, x07, y07, z07, +1);
  const GeodeticParams tm87 = MakeGrs80Params(context.profile->tm87);
  const Geodetic g87 = CartesianToGeodetic(tm87, c87.x, c87.y, c87.z);
  r.h87 = g87.height;
  const GridPoint p = TmForward(tm87, g87.latitude, g87.longitude - CentralMeridianRad(tm87));
  const Correction correction =
      cell ? CorrectionInCell(*context.grids, *cell) : Correction{0, 0};
  r.dN = correction.dN;
  r.dE = correction.dE;
  r.e87 = p.easting + r.dE / 100.0;
  r.n87 = p.northing + r.dN / 100.0;
  const TmInverseResult back = TmInverse(tm87, r.e87, r.n87);
  r.phi87 = back.latitude;
  r.lambda87 = back.longitude;
  r.packedPhi87 = back.packedLatitude;
  r.packedLambda87 = back.packedLongitude;
  return r;
}

BackChainResult Ggrs87ToHtrs07(const TransformContext& context, double phi87, double lambda87,
                               double h) {
  BackChainResult r;
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  const Cartesian c87 = GeodeticToCartesian(tm07, phi87, lambda87, h);
  const Cartesian c07 = HelmertTransform(context.helmert, c87.x, c87.y, c87.z, -1);
  const Geodetic g07 = CartesianToGeodetic(tm07, c07.x, c07.y, c07.z);
  r.h07 = g07.height;
  const double pi = 4 * std::atan(1.0);
  const GridPoint p =
      TmForward(tm07, g07.latitude, g07.longitude - tm07.centralMeridianDeg * pi / 180);
  const std::optional<Correction> correction = CorrectionAt(context, p.easting, p.northing);
  if (!correction) {
    r.status = ChainStatus::kOutsideGrid;
    return r;
  }
  r.e07 = p.easting - correction->dE / 100.0;
  r.n07 = p.northing - correction->dN / 100.0;
  r.dE = -correction->dE;
  r.dN = -correction->dN;
  const TmInverseResult back = TmInverse(tm07, r.e07, r.n07);
  r.phi07 = back.latitude;
  r.lambda07 = back.longitude;
  r.packedPhi07 = back.packedLatitude;
  r.packedLambda07 = back.packedLongitude;
  return r;
}

}  // namespace vortan
