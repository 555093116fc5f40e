#include "engine/chains.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/lanes.h"
#include "core/math_functions.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"

namespace vortan {

// A block of points on their way through a chain: the results, which the steps fill as they
// go, the points still in the chain (a point leaves it outside the grid), and what one step
// hands to the next of a point.
struct StageChain::Block {
  GeodeticParams tm07, tm87;
  bool keepHeight = false;
  bool lanes = false;  // the core routines on vector lanes (core/lanes.h)
  bool shown = true;   // the packed angles and the scale factor too
  PointResult* out = nullptr;
  std::size_t active[kBlock];  // the points still in the chain, in order
  std::size_t count = 0;
  double tan[kBlock];         // the tangent of the latitude the last conversion ended with
  Geodetic geodetic[kBlock];  // the latitude, longitude, height after Helmert
  // The grid cell of the correction, row 0 where there is none (no grids). Not an optional:
  // the compiler zeroes an array of those at every block.
  GridCell cell[kBlock];
};

namespace {

using Block = StageChain::Block;
constexpr std::size_t kBlock = StageChain::kBlock;

void Complete(PointResult& r, Stage stage) { r.completed |= 1u << static_cast<unsigned>(stage); }

// The entry values of n points into fresh results: the three values of each point go into
// the members a, b, c of the system the form is in.
template <typename Values>
void EnterInto(Values PointResult::*system, double Values::*a, double Values::*b,
               double Values::*c, const Xyz* in, std::size_t n, PointResult* out) {
  // Each result constructed as a copy of a fresh one that is never written: zeroing in place,
  // the compiler emits a string instruction for a structure of this size, whose start costs
  // more than the copy (and from a constant it would zero in place again). Constructed, not
  // assigned: out may be storage where no result lives yet.
  static PointResult fresh{};
  for (std::size_t k = 0; k < n; ++k) {
    PointResult& r = *::new (static_cast<void*>(&out[k])) PointResult(fresh);
    Values& v = r.*system;
    v.*a = in[k][0];
    v.*b = in[k][1];
    v.*c = in[k][2];
  }
}

// The entry values of n points, as their form gives them.
void Enter(Form from, const Xyz* in, std::size_t n, PointResult* out) {
  using H = Htrs07Values;
  using G = Ggrs87Values;
  constexpr auto htrs07 = &PointResult::htrs07;
  constexpr auto ggrs87 = &PointResult::ggrs87;
  switch (from) {
    case Form::kHtrs07Xyz: return EnterInto(htrs07, &H::x, &H::y, &H::z, in, n, out);
    case Form::kHtrs07Geographic:
      return EnterInto(htrs07, &H::latitude, &H::longitude, &H::height, in, n, out);
    case Form::kHtrs07Tm07:
      return EnterInto(htrs07, &H::easting, &H::northing, &H::height, in, n, out);
    case Form::kGgrs87Geographic:
      return EnterInto(ggrs87, &G::latitude, &G::longitude, &G::height, in, n, out);
    case Form::kGgrs87Tm87:
      return EnterInto(ggrs87, &G::easting, &G::northing, &G::height, in, n, out);
  }
}

// The points that pass `keep` (asked with the point's place q among those still in the chain
// and its index k in the block) stay in the chain, in order; the others leave it outside the
// grid (they stop at the datum step).
template <typename Keep>
void KeepInside(Block& b, Keep&& keep) {
  std::size_t kept = 0;
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.active[q];
    if (keep(q, k)) {
      b.active[kept++] = k;
    } else {
      b.out[k].status = PointStatus::kOutsideGrid;
      b.out[k].failed = Stage::kDatum;
    }
  }
  b.count = kept;
}

// The core routines over the n points of a block (arrays of the points still in the chain),
// on the vector lanes where the block uses them, else one point after the other.

// Latitude, longitude, height of X, Y, Z, and the tangents of the latitudes (tan may be null).
void Geodetics(const Block& b, const GeodeticParams& p, std::size_t n, const double* x,
               const double* y, const double* z, double* latitude, double* longitude,
               double* height, double* tan) {
  if (b.lanes) {
    lanes::CartesianToGeodetic(p, n, x, y, z, latitude, longitude, height, tan);
    return;
  }
  Cartesian c[kBlock]{};
  Geodetic g[kBlock];
  for (std::size_t q = 0; q < n; ++q) c[q] = {x[q], y[q], z[q]};
  CartesianToGeodetics(p, c, n, g, tan);
  for (std::size_t q = 0; q < n; ++q) {
    latitude[q] = g[q].latitude;
    longitude[q] = g[q].longitude;
    height[q] = g[q].height;
  }
}

void Cartesians(const Block& b, const GeodeticParams& p, std::size_t n, const double* latitude,
                const double* longitude, const double* height, double* x, double* y,
                double* z) {
  if (b.lanes) {
    lanes::GeodeticToCartesian(p, n, latitude, longitude, height, x, y, z);
    return;
  }
  for (std::size_t q = 0; q < n; ++q) {
    const Cartesian c = GeodeticToCartesian(p, latitude[q], longitude[q], height[q]);
    x[q] = c.x;
    y[q] = c.y;
    z[q] = c.z;
  }
}

// TM E, N (and with scale the point scale factor) of latitudes phi and longitude differences
// dLambda; with tan, sin and cos of phi from its tangent.
void Forwards(const Block& b, const GeodeticParams& p, std::size_t n, const double* phi,
              const double* tan, const double* dLambda, double* easting, double* northing,
              double* scale) {
  if (b.lanes) {
    lanes::TmForward(p, n, phi, tan, dLambda, easting, northing, scale);
    return;
  }
  for (std::size_t q = 0; q < n; ++q) {
    GridPointScale r{0, 0, 0};
    if (scale) {
      r = tan ? TmForwardScaleOfTan(p, phi[q], tan[q], dLambda[q])
              : TmForwardScale(p, phi[q], dLambda[q]);
      scale[q] = r.scale;
    } else {
      const GridPoint g =
          tan ? TmForwardOfTan(p, phi[q], tan[q], dLambda[q]) : TmForward(p, phi[q], dLambda[q]);
      r.easting = g.easting;
      r.northing = g.northing;
    }
    easting[q] = r.easting;
    northing[q] = r.northing;
  }
}

// Latitude, longitude and both packed (where the pointers are not null) of TM E, N (the inverse
// projections side by side).
void Inverses(const Block& b, const GeodeticParams& p, std::size_t n, const double* easting,
              const double* northing, double* latitude, double* longitude,
              double* packedLatitude, double* packedLongitude) {
  if (b.lanes) {
    lanes::TmInverse(p, n, easting, northing, latitude, longitude, packedLatitude,
                     packedLongitude);
    return;
  }
  TmInverseResult r[kBlock];
  TmInverses(p, easting, northing, n, r, packedLatitude != nullptr);
  for (std::size_t q = 0; q < n; ++q) {
    latitude[q] = r[q].latitude;
    longitude[q] = r[q].longitude;
    if (packedLatitude) {
      packedLatitude[q] = r[q].packedLatitude;
      packedLongitude[q] = r[q].packedLongitude;
    }
  }
}

void Packs(const Block& b, std::size_t n, const double* radians, double* packed) {
  if (b.lanes) {
    lanes::PackedAngles(n, radians, packed);
    return;
  }
  for (std::size_t q = 0; q < n; ++q) packed[q] = RadiansToDms(radians[q]).packed;
}

// --- The steps within HTRS07 ---

// Latitude, longitude (and packed) and height of X, Y, Z, with the tangents of the latitudes.
void Htrs07GeographicOfXyz(const TransformContext&, Block& b) {
  double x[kBlock], y[kBlock], z[kBlock], lat[kBlock], lon[kBlock], h[kBlock], tan[kBlock];
  double packedLat[kBlock], packedLon[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const Htrs07Values& v = b.out[b.active[q]].htrs07;
    x[q] = v.x;
    y[q] = v.y;
    z[q] = v.z;
  }
  Geodetics(b, b.tm07, b.count, x, y, z, lat, lon, h, tan);
  if (b.shown) {
    Packs(b, b.count, lat, packedLat);
    Packs(b, b.count, lon, packedLon);
  }
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.active[q];
    Htrs07Values& v = b.out[k].htrs07;
    v.latitude = lat[q];
    v.longitude = lon[q];
    v.height = h[q];
    if (b.shown) {
      v.packedLatitude = packedLat[q];
      v.packedLongitude = packedLon[q];
    }
    b.tan[k] = tan[q];
  }
}

// X, Y, Z of the HTRS07 latitude, longitude and height.
void Htrs07XyzOfGeographic(const TransformContext&, Block& b) {
  double lat[kBlock], lon[kBlock], h[kBlock], x[kBlock], y[kBlock], z[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const Htrs07Values& v = b.out[b.active[q]].htrs07;
    lat[q] = v.latitude;
    lon[q] = v.longitude;
    h[q] = v.height;
  }
  Cartesians(b, b.tm07, b.count, lat, lon, h, x, y, z);
  for (std::size_t q = 0; q < b.count; ++q) {
    Htrs07Values& v = b.out[b.active[q]].htrs07;
    v.x = x[q];
    v.y = y[q];
    v.z = z[q];
  }
}

// TM07 E, N and scale factor of the latitude and longitude; with tangents, from the tangents
// of the latitudes that the conversion from X, Y, Z ended with.
void Tm07Of(Block& b, bool withTan) {
  double phi[kBlock], tan[kBlock], dLambda[kBlock], e[kBlock], n[kBlock], k[kBlock];
  const double lambda0 = CentralMeridianRad(b.tm07);
  for (std::size_t q = 0; q < b.count; ++q) {
    const Htrs07Values& v = b.out[b.active[q]].htrs07;
    phi[q] = v.latitude;
    if (withTan) tan[q] = b.tan[b.active[q]];
    dLambda[q] = v.longitude - lambda0;
  }
  Forwards(b, b.tm07, b.count, phi, withTan ? tan : nullptr, dLambda, e, n, b.shown ? k : nullptr);
  for (std::size_t q = 0; q < b.count; ++q) {
    Htrs07Values& v = b.out[b.active[q]].htrs07;
    v.easting = e[q];
    v.northing = n[q];
    if (b.shown) v.scale = k[q];
  }
}
void Tm07OfGeographic(const TransformContext&, Block& b) { Tm07Of(b, false); }
void Tm07OfTan(const TransformContext&, Block& b) { Tm07Of(b, true); }

// Latitude, longitude (and packed) of TM E, N of the points, by set.
template <typename Values>
void GeographicOfTm(Block& b, const GeodeticParams& params, Values PointResult::*system) {
  double e[kBlock]{}, n[kBlock]{}, lat[kBlock], lon[kBlock], packedLat[kBlock], packedLon[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const Values& v = b.out[b.active[q]].*system;
    e[q] = v.easting;
    n[q] = v.northing;
  }
  Inverses(b, params, b.count, e, n, lat, lon, b.shown ? packedLat : nullptr,
           b.shown ? packedLon : nullptr);
  for (std::size_t q = 0; q < b.count; ++q) {
    Values& v = b.out[b.active[q]].*system;
    v.latitude = lat[q];
    v.longitude = lon[q];
    if (b.shown) {
      v.packedLatitude = packedLat[q];
      v.packedLongitude = packedLon[q];
    }
  }
}

// HTRS07 latitude, longitude (and packed) of TM07 E, N: the given ones, or on the way back the
// corrected ones.
void Htrs07GeographicOfTm07(const TransformContext&, Block& b) {
  GeographicOfTm(b, b.tm07, &PointResult::htrs07);
}

// --- The steps within GGRS87 ---

void Ggrs87GeographicOfTm87(const TransformContext&, Block& b) {
  GeographicOfTm(b, b.tm87, &PointResult::ggrs87);
}

void Tm87OfGeographic(const TransformContext&, Block& b) {
  double phi[kBlock], dLambda[kBlock], e[kBlock], n[kBlock];
  const double lambda0 = CentralMeridianRadByPi(b.tm87);
  for (std::size_t q = 0; q < b.count; ++q) {
    const Ggrs87Values& v = b.out[b.active[q]].ggrs87;
    phi[q] = v.latitude;
    dLambda[q] = v.longitude - lambda0;
  }
  Forwards(b, b.tm87, b.count, phi, nullptr, dLambda, e, n, nullptr);
  for (std::size_t q = 0; q < b.count; ++q) {
    Ggrs87Values& v = b.out[b.active[q]].ggrs87;
    v.easting = e[q];
    v.northing = n[q];
  }
}

// --- The datum step ---

// A TM07 position next to the bounds of the extent test: the last bits of the functions could
// decide the test there.
void NoteBounds(const TransformContext& context, double e07, double n07) {
  const GridBounds& g = context.bounds;
  const double n = n07 - context.profile->tm07.falseNorthing;
  math::NoteComparison(e07, g.eMin);
  math::NoteComparison(e07, g.eMax);
  math::NoteComparison(n, g.nMin);
  math::NoteComparison(n, g.nMax);
}

// Inside the extent the program accepts, at a TM07 position (noted where printed numbers are
// checked).
bool InsideExtent(const TransformContext& context, double e07, double n07) {
  NoteBounds(context, e07, n07);
  return InsideGridBounds(context.bounds, e07, n07, context.profile->tm07.falseNorthing);
}

constexpr GridCell kNoCell{0, 0, 0, 0};

// The extent test at a TM07 position and, inside, the grid cell there, whose values are read
// only when the correction is applied, after the steps in between, which do not depend on them
// (the processor loads them while those steps compute; asking for them ahead did not help:
// docs/performance.md, "Choices measured"). False outside the extent or the grid read.
bool FindCell(const TransformContext& context, double e07, double n07, GridCell& cell) {
  cell = kNoCell;
  if (!context.profile->hasGrids) return true;
  if (!context.grids || !InsideExtent(context, e07, n07)) return false;
  const std::optional<GridCell> found = LocateCorrection(context.grids->dE.header, n07, e07);
  if (found) cell = *found;
  return found.has_value();
}

Correction CorrectionOf(const TransformContext& context, const GridCell& cell) {
  return cell.i != 0 ? CorrectionInCell(*context.nodes, cell) : Correction{0, 0};
}

// The extent test alone, first of all, at the given TM07 E, N.
void ExtentOfTm07(const TransformContext& context, Block& b) {
  if (!context.profile->hasGrids) return;
  KeepInside(b, [&](std::size_t, std::size_t k) {
    return InsideExtent(context, b.out[k].htrs07.easting, b.out[k].htrs07.northing);
  });
}

// The extent test and the grid cell at the TM07 positions of the points still in the block
// (position(k) gives E, N), the cells located on the lanes where the block uses them.
template <typename Position>
void CellsAt(const TransformContext& context, Block& b, Position&& position) {
  if (!b.lanes || !context.profile->hasGrids || !context.grids) {
    KeepInside(b, [&](std::size_t, std::size_t k) {
      const auto [e07, n07] = position(k);
      return FindCell(context, e07, n07, b.cell[k]);
    });
    return;
  }
  double e07[kBlock], n07[kBlock], row[kBlock], column[kBlock], t[kBlock], s[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const auto [e, n] = position(b.active[q]);
    e07[q] = e;
    n07[q] = n;
  }
  const GridHeader& h = context.grids->dE.header;
  const lanes::Mesh mesh{h.rowCount, h.columnCount, h.step, h.nNorth(), h.eWest, kCellRounding};
  const GridBounds& g = context.bounds;
  const lanes::Extent extent{g.nMin, g.nMax, g.eMin, g.eMax, context.profile->tm07.falseNorthing};
  lanes::GridCells(mesh, extent, b.count, n07, e07, row, column, t, s);
  KeepInside(b, [&](std::size_t q, std::size_t k) {
    if (row[q] == 0) {
      b.cell[k] = kNoCell;
      return false;
    }
    b.cell[k] = GridCell{static_cast<int>(row[q]), static_cast<int>(column[q]), t[q], s[q]};
    return true;
  });
}

// Forward: the extent test and the grid cell at the TM07 position.
void CellAtTm07(const TransformContext& context, Block& b) {
  CellsAt(context, b, [&](std::size_t k) {
    return std::pair{b.out[k].htrs07.easting, b.out[k].htrs07.northing};
  });
}

// Forward: Helmert to GGRS87, and its latitude, longitude and height with the tangents.
void HelmertForward(const TransformContext& context, Block& b) {
  double x[kBlock], y[kBlock], z[kBlock], lat[kBlock], lon[kBlock], h[kBlock], tan[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const Htrs07Values& v = b.out[b.active[q]].htrs07;
    const Cartesian c = HelmertTransform(context.helmert, v.x, v.y, v.z, +1);
    x[q] = c.x;
    y[q] = c.y;
    z[q] = c.z;
  }
  Geodetics(b, b.tm87, b.count, x, y, z, lat, lon, h, tan);
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.active[q];
    b.geodetic[k] = {lat[q], lon[q], h[q]};
    b.tan[k] = tan[q];
    b.out[k].ggrs87.height = h[q];
  }
}

// The TM position before the correction of the latitudes and longitudes after Helmert: TM87
// forward (central meridian lambda0 / rho; from the tangents of the latitudes where the chain
// began with X, Y, Z), TM07 on the way back (lambda0 * pi / 180).
void BeforeCorrection(Block& b, const GeodeticParams& params, double lambda0, bool withTan) {
  double phi[kBlock], tan[kBlock], dLambda[kBlock], e[kBlock], n[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.active[q];
    phi[q] = b.geodetic[k].latitude;
    if (withTan) tan[q] = b.tan[k];
    dLambda[q] = b.geodetic[k].longitude - lambda0;
  }
  Forwards(b, params, b.count, phi, withTan ? tan : nullptr, dLambda, e, n, nullptr);
  for (std::size_t q = 0; q < b.count; ++q) {
    PointResult& r = b.out[b.active[q]];
    r.uncorrectedEasting = e[q];
    r.uncorrectedNorthing = n[q];
  }
}

// Forward: TM87 E, N of the GGRS87 latitude and longitude, before the correction.
void Tm87BeforeCorrection(const TransformContext&, Block& b) {
  BeforeCorrection(b, b.tm87, CentralMeridianRad(b.tm87), false);
}

// The same from the tangents of the GGRS87 latitudes.
void Tm87BeforeCorrectionOfTan(const TransformContext&, Block& b) {
  BeforeCorrection(b, b.tm87, CentralMeridianRad(b.tm87), true);
}

// Forward: the correction added to TM87 E, N.
void CorrectTm87(const TransformContext& context, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.active[q];
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
// HTRS07 latitude, longitude and height, with the tangents of the latitudes.
void HelmertBack(const TransformContext& context, Block& b) {
  double lat[kBlock], lon[kBlock], h[kBlock], x[kBlock], y[kBlock], z[kBlock], tan[kBlock];
  for (std::size_t q = 0; q < b.count; ++q) {
    const Ggrs87Values& v = b.out[b.active[q]].ggrs87;
    lat[q] = v.latitude;
    lon[q] = v.longitude;
    h[q] = v.height;
  }
  Cartesians(b, b.tm07, b.count, lat, lon, h, x, y, z);
  for (std::size_t q = 0; q < b.count; ++q) {
    const Cartesian c = HelmertTransform(context.helmert, x[q], y[q], z[q], -1);
    x[q] = c.x;
    y[q] = c.y;
    z[q] = c.z;
  }
  Geodetics(b, b.tm07, b.count, x, y, z, lat, lon, h, tan);
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.active[q];
    b.geodetic[k] = {lat[q], lon[q], h[q]};
    b.tan[k] = tan[q];
  }
}

// Back: TM07 E, N of the HTRS07 latitude and longitude, before the correction. The lanes take
// sin and cos of the latitudes from their tangents, as the forward chain from X, Y, Z does (a
// square root and a division instead of a sine and cosine, 1 to 3 % of the back chain); the
// plain routines keep the latitudes' own sine and cosine.
void Tm07BeforeCorrection(const TransformContext&, Block& b) {
  BeforeCorrection(b, b.tm07, CentralMeridianRadByPi(b.tm07), b.lanes);
}

// Back: the extent test and the grid cell at the TM07 position before the correction (a point
// that leaves keeps that position, as the refused one).
void CellAtUncorrectedTm07(const TransformContext& context, Block& b) {
  CellsAt(context, b, [&](std::size_t k) {
    return std::pair{b.out[k].uncorrectedEasting, b.out[k].uncorrectedNorthing};
  });
}

// Back: the correction subtracted from TM07 E, N (shown negated), and the HTRS07 height.
void CorrectTm07(const TransformContext& context, Block& b) {
  for (std::size_t q = 0; q < b.count; ++q) {
    const std::size_t k = b.active[q];
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
    : context_(context), from_(from), keepHeight_(options.keepHeight), lanes_(options.lanes),
      shown_(options.shown) {
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
  block.lanes = lanes_ && lanes::Active() && !math::Exact();
  block.shown = shown_;
  block.out = out;
  Enter(from_, in, n, out);
  for (std::size_t k = 0; k < n; ++k) block.active[k] = k;
  block.count = n;
  bool clean;
  {
    NumericGuard guard;
    for (std::size_t s = 0; s < stepCount_ && block.count > 0; ++s) {
      const Step& step = steps_[s];
      step.run(context_, block);
      if (step.completes) {
        for (std::size_t q = 0; q < block.count; ++q) Complete(out[block.active[q]], step.stage);
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
  block.lanes = lanes_ && lanes::Active() && !math::Exact();
  block.shown = shown_;
  block.out = &out;
  block.active[0] = 0;
  block.count = 1;
  Enter(from_, &in, 1, &out);
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
