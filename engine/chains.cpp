#include "engine/chains.h"

#include <algorithm>
#include <optional>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"

namespace vortan {

// A block of points on their way through a chain: the results, which the steps fill as they
// go, the points still in the chain (a point leaves it outside the grid), and what one step
// hands to the next of a point.
struct StageChain::Block {
  GeodeticParams tm07, tm87;
  bool keepHeight = false;
  PointResult* out = nullptr;
  std::size_t lanes[kBlock];  // the points still in the chain, in order
  std::size_t count = 0;
  double tan[kBlock];         // the tangent of the latitude the last conversion ended with
  Geodetic geodetic[kBlock];  // the latitude, longitude, height after Helmert
  std::optional<GridCell> cell[kBlock];  // the grid cell of the correction (none: no grids)
};

namespace {

using Block = StageChain::Block;
constexpr std::size_t kBlock = StageChain::kBlock;

void Complete(PointResult& r, Stage stage) { r.completed |= 1u << static_cast<unsigned>(stage); }

// The entry values of a point, as its form gives them.
void Enter(Form from, const Xyz& in, PointResult& r) {
  r = PointResult{};
  switch (from) {
    case Form::kHtrs07Xyz:
      r.htrs07.x = in[0];
      r.htrs07.y = in[1];
      r.htrs07.z = in[2];
      break;
    case Form::kHtrs07Geographic:
      r.htrs07.latitude = in[0];
      r.htrs07.longitude = in[1];
      r.htrs07.height = in[2];
      break;
    case Form::kHtrs07Tm07:
      r.htrs07.easting = in[0];
      r.htrs07.northing = in[1];
      r.htrs07.height = in[2];
      break;
    case Form::kGgrs87Geographic:
      r.ggrs87.latitude = in[0];
      r.ggrs87.longitude = in[1];
      r.ggrs87.height = in[2];
      break;
    case Form::kGgrs87Tm87:
      r.ggrs87.easting = in[0];
      r.ggrs87.northing = in[1];
      r.ggrs87.height = in[2];
      break;
  }
}

// The points that pass `keep` stay in the chain, in order; the others leave it outside the
// grid (they stop at the datum step).
template <typename Keep>
void KeepInside(Block& b, Keep&& keep) {
  std::size_t kept = 0;
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    if (keep(k)) {
      b.lanes[kept++] = k;
    } else {
      b.out[k].status = PointStatus::kOutsideGrid;
      b.out[k].failed = Stage::kDatum;
    }
  }
  b.count = kept;
}

// The latitudes and longitudes, packed too, of the TM positions e(k), n(k), into set(k, result):
// the inverse projections of the block side by side.
template <typename E, typename N, typename Set>
void InverseOf(const GeodeticParams& params, Block& b, E&& e, N&& n, Set&& set) {
  double easting[kBlock], northing[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    easting[q] = e(b.lanes[q]);
    northing[q] = n(b.lanes[q]);
  }
  TmInverseResult r[kBlock];
  TmInverses(params, easting, northing, b.count, r);
  for (std::size_t q = 0; q < b.count; ++q) set(b.lanes[q], r[q]);
}

template <typename V>
void SetGeographic(V& v, const TmInverseResult& r) {
  v.latitude = r.latitude;
  v.longitude = r.longitude;
  v.packedLatitude = r.packedLatitude;
  v.packedLongitude = r.packedLongitude;
}

// --- The steps within HTRS07 ---

// Latitude, longitude (and packed) and height of X, Y, Z, with the tangents of the latitudes.
void Htrs07GeographicOfXyz(const TransformContext&, Block& b) {
  Cartesian c[kBlock];
  Geodetic g[kBlock];
  double tan[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const Htrs07Values& v = b.out[b.lanes[q]].htrs07;
    c[q] = {v.x, v.y, v.z};
  }
  CartesianToGeodetics(b.tm07, c, b.count, g, tan);
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    Htrs07Values& v = b.out[k].htrs07;
    v.latitude = g[q].latitude;
    v.longitude = g[q].longitude;
    v.height = g[q].height;
    v.packedLatitude = RadiansToDms(g[q].latitude).packed;
    v.packedLongitude = RadiansToDms(g[q].longitude).packed;
    b.tan[k] = tan[q];
  }
}

// X, Y, Z of the HTRS07 latitude, longitude and height.
void Htrs07XyzOfGeographic(const TransformContext&, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    Htrs07Values& v = b.out[b.lanes[q]].htrs07;
    const Cartesian c = GeodeticToCartesian(b.tm07, v.latitude, v.longitude, v.height);
    v.x = c.x;
    v.y = c.y;
    v.z = c.z;
  }
}

// TM07 E, N and scale factor of the latitude and longitude.
void Tm07OfGeographic(const TransformContext&, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    Htrs07Values& v = b.out[b.lanes[q]].htrs07;
    const GridPointScale p =
        TmForwardScale(b.tm07, v.latitude, v.longitude - CentralMeridianRad(b.tm07));
    v.easting = p.easting;
    v.northing = p.northing;
    v.scale = p.scale;
  }
}

// The same from the tangents of the latitudes that the conversion from X, Y, Z ended with.
void Tm07OfTan(const TransformContext&, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    Htrs07Values& v = b.out[k].htrs07;
    const GridPointScale p = TmForwardScaleOfTan(b.tm07, v.latitude, b.tan[k],
                                                 v.longitude - CentralMeridianRad(b.tm07));
    v.easting = p.easting;
    v.northing = p.northing;
    v.scale = p.scale;
  }
}

// HTRS07 latitude, longitude (and packed) of TM07 E, N: the given ones, or on the way back the
// corrected ones.
void Htrs07GeographicOfTm07(const TransformContext&, Block& b) {
  InverseOf(
      b.tm07, b, [&](std::size_t k) { return b.out[k].htrs07.easting; },
      [&](std::size_t k) { return b.out[k].htrs07.northing; },
      [&](std::size_t k, const TmInverseResult& r) { SetGeographic(b.out[k].htrs07, r); });
}

// --- The steps within GGRS87 ---

void Ggrs87GeographicOfTm87(const TransformContext&, Block& b) {
  InverseOf(
      b.tm87, b, [&](std::size_t k) { return b.out[k].ggrs87.easting; },
      [&](std::size_t k) { return b.out[k].ggrs87.northing; },
      [&](std::size_t k, const TmInverseResult& r) { SetGeographic(b.out[k].ggrs87, r); });
}

void Tm87OfGeographic(const TransformContext&, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    Ggrs87Values& v = b.out[b.lanes[q]].ggrs87;
    const GridPoint p =
        TmForward(b.tm87, v.latitude, v.longitude - CentralMeridianRadByPi(b.tm87));
    v.easting = p.easting;
    v.northing = p.northing;
  }
}

// --- The datum step ---

// The extent test at a TM07 position and, inside, the grid cell there, whose values are asked
// into the cache at once: they are read only when the correction is applied, after the steps
// in between, which do not depend on them. False outside the extent or the grid read.
bool FindCell(const TransformContext& context, double e07, double n07,
              std::optional<GridCell>& cell) {
  cell.reset();
  if (!context.profile->hasGrids) return true;
  if (!context.grids ||
      !InsideGridBounds(context.bounds, e07, n07, context.profile->tm07.falseNorthing)) {
    return false;
  }
  cell = LocateCorrection(context.grids->dE.header, n07, e07);
  if (!cell) return false;
  PrefetchCorrection(*context.grids, *cell);
  return true;
}

Correction CorrectionOf(const TransformContext& context, const std::optional<GridCell>& cell) {
  return cell ? CorrectionInCell(*context.grids, *cell) : Correction{0, 0};
}

// The extent test alone, first of all, at the given TM07 E, N.
void ExtentOfTm07(const TransformContext& context, Block& b) {
  if (!context.profile->hasGrids) return;
  KeepInside(b, [&](std::size_t k) {
    const Htrs07Values& v = b.out[k].htrs07;
    return InsideGridBounds(context.bounds, v.easting, v.northing,
                            context.profile->tm07.falseNorthing);
  });
}

// Forward: the extent test and the grid cell at the TM07 position.
void CellAtTm07(const TransformContext& context, Block& b) {
  KeepInside(b, [&](std::size_t k) {
    return FindCell(context, b.out[k].htrs07.easting, b.out[k].htrs07.northing, b.cell[k]);
  });
}

// Forward: Helmert to GGRS87, and its latitude, longitude and height with the tangents.
void HelmertForward(const TransformContext& context, Block& b) {
  Cartesian c[kBlock];
  Geodetic g[kBlock];
  double tan[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const Htrs07Values& v = b.out[b.lanes[q]].htrs07;
    c[q] = HelmertTransform(context.helmert, v.x, v.y, v.z, +1);
  }
  CartesianToGeodetics(b.tm87, c, b.count, g, tan);
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    b.geodetic[k] = g[q];
    b.tan[k] = tan[q];
    b.out[k].ggrs87.height = g[q].height;
  }
}

// Forward: TM87 E, N of the GGRS87 latitude and longitude, before the correction.
void Tm87BeforeCorrection(const TransformContext&, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    const Geodetic& g = b.geodetic[k];
    const GridPoint p = TmForward(b.tm87, g.latitude, g.longitude - CentralMeridianRad(b.tm87));
    b.out[k].uncorrectedEasting = p.easting;
    b.out[k].uncorrectedNorthing = p.northing;
  }
}

// The same from the tangents of the GGRS87 latitudes.
void Tm87BeforeCorrectionOfTan(const TransformContext&, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    const Geodetic& g = b.geodetic[k];
    const GridPoint p = TmForwardOfTan(b.tm87, g.latitude, b.tan[k],
                                       g.longitude - CentralMeridianRad(b.tm87));
    b.out[k].uncorrectedEasting = p.easting;
    b.out[k].uncorrectedNorthing = p.northing;
  }
}

// Forward: the correction added to TM87 E, N.
void CorrectTm87(const TransformContext& context, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    PointResult& r = b.out[k];
    const Correction correction = CorrectionOf(context, b.cell[k]);
    r.dN = correction.dN;
    r.dE = correction.dE;
    r.ggrs87.easting = r.uncorrectedEasting + r.dE / 100.0;
    r.ggrs87.northing = r.uncorrectedNorthing + r.dN / 100.0;
  }
}

// Forward: the GGRS87 latitude and longitude of the corrected TM87 position.
void Ggrs87GeographicOfCorrected(const TransformContext& context, Block& b) {
  Ggrs87GeographicOfTm87(context, b);
}

// Back: X, Y, Z on GRS80 of the GGRS87 point, Helmert with the parameters negated, and the
// HTRS07 latitude, longitude and height.
void HelmertBack(const TransformContext& context, Block& b) {
  Cartesian c[kBlock];
  Geodetic g[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const Ggrs87Values& v = b.out[b.lanes[q]].ggrs87;
    const Cartesian c87 = GeodeticToCartesian(b.tm07, v.latitude, v.longitude, v.height);
    c[q] = HelmertTransform(context.helmert, c87.x, c87.y, c87.z, -1);
  }
  CartesianToGeodetics(b.tm07, c, b.count, g);
  for (std::size_t q = 0; q < b.count; ++q) b.geodetic[b.lanes[q]] = g[q];
}

// Back: TM07 E, N of the HTRS07 latitude and longitude, before the correction.
void Tm07BeforeCorrection(const TransformContext&, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    const Geodetic& g = b.geodetic[k];
    const GridPoint p =
        TmForward(b.tm07, g.latitude, g.longitude - CentralMeridianRadByPi(b.tm07));
    b.out[k].uncorrectedEasting = p.easting;
    b.out[k].uncorrectedNorthing = p.northing;
  }
}

// Back: the extent test and the grid cell at the TM07 position before the correction (a point
// that leaves keeps that position, as the refused one).
void CellAtUncorrectedTm07(const TransformContext& context, Block& b) {
  KeepInside(b, [&](std::size_t k) {
    return FindCell(context, b.out[k].uncorrectedEasting, b.out[k].uncorrectedNorthing,
                    b.cell[k]);
  });
}

// Back: the correction subtracted from TM07 E, N (shown negated), and the HTRS07 height.
void CorrectTm07(const TransformContext& context, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.lanes[q];
    PointResult& r = b.out[k];
    const Correction correction = CorrectionOf(context, b.cell[k]);
    r.htrs07.easting = r.uncorrectedEasting - correction.dE / 100.0;
    r.htrs07.northing = r.uncorrectedNorthing - correction.dN / 100.0;
    r.dE = -correction.dE;
    r.dN = -correction.dN;
    r.htrs07.height = b.keepHeight ? r.ggrs87.height : b.geodetic[k].height;
  }
}

}  // namespace

void StageChain::Add(Stage stage, bool completes, void (*run)(const TransformContext&, Block&)) {
  steps_[stepCount_++] = Step{stage, completes, run};
}

StageChain::StageChain(const TransformContext& context, Form from, const ChainOptions& options)
    : context_(context), from_(from), keepHeight_(options.keepHeight) {
  if (InHtrs07(from)) {
    switch (from) {
      case Form::kHtrs07Xyz:
        Add(Stage::kHtrs07Geographic, true, Htrs07GeographicOfXyz);
        Add(Stage::kTm07, true, Tm07OfTan);
        break;
      case Form::kHtrs07Geographic:
        Add(Stage::kHtrs07Xyz, true, Htrs07XyzOfGeographic);
        Add(Stage::kTm07, true, Tm07OfGeographic);
        break;
      default:
        Add(Stage::kDatum, false, ExtentOfTm07);
        Add(Stage::kHtrs07Geographic, true, Htrs07GeographicOfTm07);
        Add(Stage::kHtrs07Xyz, true, Htrs07XyzOfGeographic);
        break;
    }
    Add(Stage::kDatum, false, CellAtTm07);
    Add(Stage::kDatum, false, HelmertForward);
    Add(Stage::kDatum, false,
        from == Form::kHtrs07Xyz ? Tm87BeforeCorrectionOfTan : Tm87BeforeCorrection);
    Add(Stage::kDatum, !options.ggrs87Geographic, CorrectTm87);
    if (options.ggrs87Geographic) Add(Stage::kDatum, true, Ggrs87GeographicOfCorrected);
    return;
  }
  if (from == Form::kGgrs87Tm87) {
    Add(Stage::kGgrs87Geographic, true, Ggrs87GeographicOfTm87);
  } else if (options.withTm87) {
    Add(Stage::kTm87, true, Tm87OfGeographic);
  }
  Add(Stage::kDatum, false, HelmertBack);
  Add(Stage::kDatum, false, Tm07BeforeCorrection);
  Add(Stage::kDatum, false, CellAtUncorrectedTm07);
  Add(Stage::kDatum, !options.htrs07Geographic, CorrectTm07);
  if (options.htrs07Geographic) Add(Stage::kDatum, true, Htrs07GeographicOfTm07);
  if (options.withXyz) Add(Stage::kHtrs07Xyz, true, Htrs07XyzOfGeographic);
}

// The steps run over the whole block under one guard; a block that raised a fault (points far
// outside the served area) runs again point by point, each step under its own test of the
// guard, so that each point completes exactly the stages before the step that failed.
void StageChain::RunBlock(const Xyz* in, std::size_t n, PointResult* out) const {
  Block block;
  block.tm07 = MakeGrs80Params(context_.profile->tm07);
  block.tm87 = MakeGrs80Params(context_.profile->tm87);
  block.keepHeight = keepHeight_;
  block.out = out;
  for (std::size_t k = 0; k < n; ++k) {
    Enter(from_, in[k], out[k]);
    block.lanes[k] = k;
  }
  block.count = n;
  bool clean;
  {
    NumericGuard guard;
    for (std::size_t s = 0; s < stepCount_ && block.count > 0; ++s) {
      const Step& step = steps_[s];
      step.run(context_, block);
      if (step.completes) {
        for (std::size_t q = 0; q < block.count; ++q) Complete(out[block.lanes[q]], step.stage);
      }
    }
    clean = guard.Clean();
  }
  if (clean) return;
  for (std::size_t k = 0; k < n; ++k) RunPoint(in[k], out[k]);
}

void StageChain::RunPoint(const Xyz& in, PointResult& out) const {
  Block block;
  block.tm07 = MakeGrs80Params(context_.profile->tm07);
  block.tm87 = MakeGrs80Params(context_.profile->tm87);
  block.keepHeight = keepHeight_;
  block.out = &out;
  block.lanes[0] = 0;
  block.count = 1;
  Enter(from_, in, out);
  // The values of the stages completed: a stage that fails leaves its own values out.
  PointResult completed = out;
  NumericGuard guard;
  for (std::size_t s = 0; s < stepCount_ && block.count > 0; ++s) {
    const Step& step = steps_[s];
    step.run(context_, block);
    if (!guard.Clean()) {
      out = completed;
      out.status = PointStatus::kFault;
      out.failed = step.stage;
      out.fault = guard.FaultName();
      return;
    }
    if (step.completes) {
      Complete(out, step.stage);
      completed = out;
    }
  }
}

void StageChain::Run(const Xyz* in, std::size_t n, PointResult* out) const {
  for (std::size_t b = 0; b < n; b += kBlock) RunBlock(in + b, std::min(kBlock, n - b), out + b);
}

PointResult StageChain::Run(const Xyz& in) const {
  PointResult r;
  RunBlock(&in, 1, &r);
  return r;
}

PointResult ChainOfPoint(const TransformContext& context, Form from, const Xyz& in,
                         const ChainOptions& options) {
  return StageChain(context, from, options).Run(in);
}

}  // namespace vortan
