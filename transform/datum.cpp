#include "transform/datum.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/cartesian.h"
#include "core/transverse_mercator.h"

namespace vortan {

TransformContext MakeContext(const RegionProfile& profile, const GridBounds& bounds) {
  TransformContext context;
  context.profile = &profile;
  context.bounds = bounds;
  return context;
}

std::string InitialStep(TransformContext& context, const std::string& dnPath,
                        const std::string& dePath, std::string* errorGreek) {
  context.helmert = context.profile->helmert;
  context.initialised = true;
  if (!context.profile->hasGrids) return "";
  context.grids.reset();
  GridLoadResult loaded = LoadCorrectionGrids(dnPath, dePath);
  if (!loaded.grids) {
    if (errorGreek) *errorGreek = loaded.errorGreek;
    return loaded.error;
  }
  context.grids = std::make_shared<const GridPair>(std::move(*loaded.grids));
  context.dnPath = dnPath;
  context.dePath = dePath;
  return "";
}

std::string InitialStepWithGrids(TransformContext& context, GridPair grids) {
  context.helmert = context.profile->helmert;
  context.initialised = true;
  context.grids.reset();
  context.dnPath.clear();
  context.dePath.clear();
  if (!context.profile->hasGrids) return "";
  for (const CorrectionGrid* grid : {&grids.dN, &grids.dE}) {
    const GridHeader& h = grid->header;
    if (h.rowCount < 1 || h.columnCount < 1 || h.rowCount > kMaxGridCount ||
        h.columnCount > kMaxGridCount || !(h.step > 0) || !std::isfinite(h.nSouth) ||
        !std::isfinite(h.eWest)) {
      return "the grid header (" + std::to_string(h.rowCount) + " rows, " +
             std::to_string(h.columnCount) + " columns, step " + FormatGridField(h.step) +
             ") is not that of a correction grid";
    }
    if (grid->values.size() !=
        static_cast<std::size_t>(h.rowCount) * static_cast<std::size_t>(h.columnCount)) {
      return "the grid holds " + std::to_string(grid->values.size()) + " values, its header " +
             "asks for " + std::to_string(h.rowCount) + " x " + std::to_string(h.columnCount);
    }
    for (float value : grid->values) {
      if (!std::isfinite(value)) return "a grid value is not a finite number";
    }
  }
  if (!(grids.dN.header == grids.dE.header)) {
    return "the dN and dE grids have different headers";
  }
  context.grids = std::make_shared<const GridPair>(std::move(grids));
  return "";
}

namespace {

// The extent test at a TM07 position and the grid cell there, whose values are asked into the
// cache at once: in the forward chain they are read only when the correction is added, after
// Helmert and the TM87 projection, which do not depend on them.
struct CellLookup {
  bool inside = false;
  std::optional<GridCell> cell;  // none where the region has no grids
};

CellLookup FindCell(const TransformContext& context, double e07, double n07) {
  CellLookup lookup;
  if (!context.profile->hasGrids) {
    lookup.inside = true;
    return lookup;
  }
  if (!InsideGridBounds(context.bounds, e07, n07, context.profile->tm07.falseNorthing) ||
      !context.grids) {
    return lookup;
  }
  lookup.cell = LocateCorrection(context.grids->dE.header, n07, e07);
  if (!lookup.cell) return lookup;
  PrefetchCorrection(*context.grids, *lookup.cell);
  lookup.inside = true;
  return lookup;
}

// The correction of a position found inside: zero where the region has no grids.
Correction CorrectionOf(const TransformContext& context, const CellLookup& lookup) {
  return lookup.cell ? CorrectionInCell(*context.grids, *lookup.cell) : Correction{0, 0};
}

// The grid correction at a TM07 position; nothing when the position fails the extent test or
// lies outside the grid that was read.
std::optional<Correction> CorrectionAt(const TransformContext& context, double e07, double n07) {
  const CellLookup lookup = FindCell(context, e07, n07);
  if (!lookup.inside) return std::nullopt;
  return CorrectionOf(context, lookup);
}

// The forward chain from the GGRS87 height and TM87 position of the point on: the correction
// added, and the GGRS87 latitude and longitude of the corrected position.
void CorrectForward(const TransformContext& context, const CellLookup& lookup, double h87,
                    const GridPoint& p, ForwardChainResult& r) {
  r.h87 = h87;
  const Correction correction = CorrectionOf(context, lookup);
  r.e87Uncorrected = p.easting;
  r.n87Uncorrected = p.northing;
  r.dN = correction.dN;
  r.dE = correction.dE;
  r.e87 = p.easting + r.dE / 100.0;
  r.n87 = p.northing + r.dN / 100.0;
}

void SetGgrs87Geographic(const TmInverseResult& back, ForwardChainResult& r) {
  r.phi87 = back.latitude;
  r.lambda87 = back.longitude;
  r.packedPhi87 = back.packedLatitude;
  r.packedLambda87 = back.packedLongitude;
}

void FinishForward(const TransformContext& context, const GeodeticParams& tm87,
                   const CellLookup& lookup, double h87, const GridPoint& p, bool geographic,
                   ForwardChainResult& r) {
  CorrectForward(context, lookup, h87, p, r);
  if (geographic) SetGgrs87Geographic(TmInverse(tm87, r.e87, r.n87), r);
}

// Htrs07PointToGgrs87 up to the grid correction: everything that does not wait for the grid
// values, which the cell lookup asks into the cache.
struct ForwardStart {
  CellLookup lookup;
  GridPoint p87;
  double h87 = 0;
};

// The projections of a point from its two conversions (HTRS07, and GGRS87 after Helmert), with
// sin and cos of the latitudes from the tangents that the conversions end with.
ForwardStart ProjectHtrs07Point(const TransformContext& context, const GeodeticParams& tm07,
                                const GeodeticParams& tm87, const Geodetic& g07,
                                double tan07, const Geodetic& g87, double tan87,
                                Htrs07PointResult& r) {
  ForwardStart start;
  r.htrs07 = g07;
  r.tm07 =
      TmForwardScaleOfTan(tm07, g07.latitude, tan07, g07.longitude - CentralMeridianRad(tm07));
  start.lookup = FindCell(context, r.tm07.easting, r.tm07.northing);
  if (!start.lookup.inside) {
    r.ggrs87.status = ChainStatus::kOutsideGrid;
    return start;
  }
  start.p87 = TmForwardOfTan(tm87, g87.latitude, tan87, g87.longitude - CentralMeridianRad(tm87));
  start.h87 = g87.height;
  return start;
}

ForwardStart StartHtrs07Point(const TransformContext& context, const GeodeticParams& tm07,
                              const GeodeticParams& tm87, double x07, double y07, double z07,
                              Htrs07PointResult& r) {
  const Cartesian c87 = HelmertTransform(context.helmert, x07, y07, z07, +1);
  std::array<double, 2> tanLatitudes;
  const std::array<Geodetic, 2> g =
      CartesianToGeodeticPair(tm07, Cartesian{x07, y07, z07}, c87, tanLatitudes);
  return ProjectHtrs07Point(context, tm07, tm87, g[0], tanLatitudes[0], g[1], tanLatitudes[1],
                            r);
}

// StartHtrs07Point of two points, their four conversions side by side.
void StartHtrs07Points(const TransformContext& context, const GeodeticParams& tm07,
                       const GeodeticParams& tm87, const Xyz& first, const Xyz& second,
                       Htrs07PointResult* r, ForwardStart* start) {
  const Cartesian a07{first[0], first[1], first[2]}, b07{second[0], second[1], second[2]};
  const Cartesian a87 = HelmertTransform(context.helmert, a07.x, a07.y, a07.z, +1);
  const Cartesian b87 = HelmertTransform(context.helmert, b07.x, b07.y, b07.z, +1);
  std::array<double, 4> tans;
  const std::array<Geodetic, 4> g = CartesianToGeodeticQuad(tm07, {a07, a87, b07, b87}, tans);
  start[0] = ProjectHtrs07Point(context, tm07, tm87, g[0], tans[0], g[1], tans[1], r[0]);
  start[1] = ProjectHtrs07Point(context, tm07, tm87, g[2], tans[2], g[3], tans[3], r[1]);
}

}  // namespace

ForwardChainResult Htrs07ToGgrs87(const TransformContext& context, double x07, double y07,
                                  double z07, double e07, double n07, bool geographic) {
  ForwardChainResult r;
  // The extent test and the grid cell come first, at the TM07 position.
  const CellLookup lookup = FindCell(context, e07, n07);
  if (!lookup.inside) {
    r.status = ChainStatus::kOutsideGrid;
    return r;
  }
  const Cartesian c87 = HelmertTransform(context.helmert, x07, y07, z07, +1);
  const GeodeticParams tm87 = MakeGrs80Params(context.profile->tm87);
  const Geodetic g87 = CartesianToGeodetic(tm87, c87.x, c87.y, c87.z);
  const GridPoint p = TmForward(tm87, g87.latitude, g87.longitude - CentralMeridianRad(tm87));
  FinishForward(context, tm87, lookup, g87.height, p, geographic, r);
  return r;
}

Htrs07PointResult Htrs07PointToGgrs87(const TransformContext& context, double x07, double y07,
                                      double z07, bool geographic) {
  Htrs07PointResult r;
  // Both ellipsoids are GRS80: one block serves the two conversions.
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  const GeodeticParams tm87 = MakeGrs80Params(context.profile->tm87);
  const ForwardStart start = StartHtrs07Point(context, tm07, tm87, x07, y07, z07, r);
  if (start.lookup.inside) {
    FinishForward(context, tm87, start.lookup, start.h87, start.p87, geographic, r.ggrs87);
  }
  return r;
}

void Htrs07PointsToGgrs87(const TransformContext& context, const Xyz* xyz, std::size_t n,
                          Htrs07PointResult* out) {
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  const GeodeticParams tm87 = MakeGrs80Params(context.profile->tm87);
  // Every point of a group up to its grid correction first, so that the cells asked into the
  // cache have arrived when the corrections are added; then the inverse TM87 of the corrected
  // positions, four at a time (TmInverses).
  constexpr std::size_t kGroup = 8;
  ForwardStart starts[kGroup];
  for (std::size_t b = 0; b < n; b += kGroup) {
    const std::size_t m = std::min(kGroup, n - b);
    std::size_t inside[kGroup];
    std::size_t insideCount = 0;
    for (std::size_t k = 0; k < m; k += 2) {
      if (k + 1 < m) {
        out[b + k] = Htrs07PointResult{};
        out[b + k + 1] = Htrs07PointResult{};
        StartHtrs07Points(context, tm07, tm87, xyz[b + k], xyz[b + k + 1], out + b + k,
                          starts + k);
      } else {
        out[b + k] = Htrs07PointResult{};
        const Xyz& v = xyz[b + k];
        starts[k] = StartHtrs07Point(context, tm07, tm87, v[0], v[1], v[2], out[b + k]);
      }
    }
    for (std::size_t k = 0; k < m; ++k) {
      if (starts[k].lookup.inside) inside[insideCount++] = k;
    }
    for (std::size_t q = 0; q < insideCount; ++q) {
      const std::size_t k = inside[q];
      CorrectForward(context, starts[k].lookup, starts[k].h87, starts[k].p87, out[b + k].ggrs87);
    }
    double e87[kGroup], n87[kGroup];
    for (std::size_t q = 0; q < insideCount; ++q) {
      e87[q] = out[b + inside[q]].ggrs87.e87;
      n87[q] = out[b + inside[q]].ggrs87.n87;
    }
    TmInverseResult back[kGroup];
    TmInverses(tm87, e87, n87, insideCount, back);
    for (std::size_t q = 0; q < insideCount; ++q) {
      SetGgrs87Geographic(back[q], out[b + inside[q]].ggrs87);
    }
  }
}

BackChainResult Ggrs87ToHtrs07(const TransformContext& context, double phi87, double lambda87,
                               double h, bool geographic) {
  BackChainResult r;
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  const Cartesian c87 = GeodeticToCartesian(tm07, phi87, lambda87, h);
  const Cartesian c07 = HelmertTransform(context.helmert, c87.x, c87.y, c87.z, -1);
  const Geodetic g07 = CartesianToGeodetic(tm07, c07.x, c07.y, c07.z);
  r.h07 = g07.height;
  const GridPoint p = TmForward(tm07, g07.latitude, g07.longitude - CentralMeridianRadByPi(tm07));
  r.e07Uncorrected = p.easting;
  r.n07Uncorrected = p.northing;
  const std::optional<Correction> correction = CorrectionAt(context, p.easting, p.northing);
  if (!correction) {
    r.status = ChainStatus::kOutsideGrid;
    return r;
  }
  r.e07 = p.easting - correction->dE / 100.0;
  r.n07 = p.northing - correction->dN / 100.0;
  r.dE = -correction->dE;
  r.dN = -correction->dN;
  if (!geographic) return r;
  const TmInverseResult back = TmInverse(tm07, r.e07, r.n07);
  r.phi07 = back.latitude;
  r.lambda07 = back.longitude;
  r.packedPhi07 = back.packedLatitude;
  r.packedLambda07 = back.packedLongitude;
  return r;
}

}  // namespace vortan
