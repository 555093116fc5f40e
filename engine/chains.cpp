#include "engine/chains.h"

#include <algorithm>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"

namespace vortan {
namespace {

// Marks a stage completed.
void Complete(PointResult& r, Stage stage) { r.completed |= 1u << static_cast<unsigned>(stage); }

// Ends a point at a stage that raised a numeric fault.
PointResult& Fault(PointResult& r, Stage stage, const NumericGuard& guard) {
  r.status = PointStatus::kFault;
  r.failed = stage;
  r.fault = guard.FaultName();
  return r;
}

PointResult& OutsideGrid(PointResult& r) {
  r.status = PointStatus::kOutsideGrid;
  r.failed = Stage::kDatum;
  return r;
}

// The way back outside the grid: the TM07 position it refused.
PointResult& OutsideGrid(PointResult& r, const BackChainResult& b) {
  r.uncorrectedEasting = b.e07Uncorrected;
  r.uncorrectedNorthing = b.n07Uncorrected;
  return OutsideGrid(r);
}

void SetGeographic(Htrs07Values& v, double latitude, double longitude, double packedLatitude,
                   double packedLongitude) {
  v.latitude = latitude;
  v.longitude = longitude;
  v.packedLatitude = packedLatitude;
  v.packedLongitude = packedLongitude;
}

// The GGRS87 side of the forward chain.
void SetForward(PointResult& r, const ForwardChainResult& f) {
  r.ggrs87.latitude = f.phi87;
  r.ggrs87.longitude = f.lambda87;
  r.ggrs87.packedLatitude = f.packedPhi87;
  r.ggrs87.packedLongitude = f.packedLambda87;
  r.ggrs87.height = f.h87;
  r.ggrs87.easting = f.e87;
  r.ggrs87.northing = f.n87;
  r.uncorrectedEasting = f.e87Uncorrected;
  r.uncorrectedNorthing = f.n87Uncorrected;
  r.dE = f.dE;
  r.dN = f.dN;
  Complete(r, Stage::kDatum);
}

// The HTRS07 side of the way back.
void SetBack(PointResult& r, const BackChainResult& b, double inputHeight, bool keepHeight) {
  SetGeographic(r.htrs07, b.phi07, b.lambda07, b.packedPhi07, b.packedLambda07);
  r.htrs07.height = keepHeight ? inputHeight : b.h07;
  r.htrs07.easting = b.e07;
  r.htrs07.northing = b.n07;
  r.uncorrectedEasting = b.e07Uncorrected;
  r.uncorrectedNorthing = b.n07Uncorrected;
  r.dE = b.dE;
  r.dN = b.dN;
  Complete(r, Stage::kDatum);
}

// The HTRS07 X, Y, Z of the result of the way back.
Cartesian BackXyz(const GeodeticParams& tm07, const PointResult& r) {
  return GeodeticToCartesian(tm07, r.htrs07.latitude, r.htrs07.longitude, r.htrs07.height);
}

void SetXyz(PointResult& r, const Cartesian& c) {
  r.htrs07.x = c.x;
  r.htrs07.y = c.y;
  r.htrs07.z = c.z;
  Complete(r, Stage::kHtrs07Xyz);
}

}  // namespace

namespace {

// The result of a point of Htrs07XyzToGgrs87 whose chain raised no fault, into r as it is
// made (every member that the point sets is set here, the others are zero).
PointResult& FillFromHtrs07Point(PointResult& r, double x, double y, double z,
                                 const Htrs07PointResult& p, double packedLatitude,
                                 double packedLongitude) {
  r.htrs07.x = x;
  r.htrs07.y = y;
  r.htrs07.z = z;
  SetGeographic(r.htrs07, p.htrs07.latitude, p.htrs07.longitude, packedLatitude,
                packedLongitude);
  r.htrs07.height = p.htrs07.height;
  r.htrs07.easting = p.tm07.easting;
  r.htrs07.northing = p.tm07.northing;
  r.htrs07.scale = p.tm07.scale;
  Complete(r, Stage::kHtrs07Geographic);
  Complete(r, Stage::kTm07);
  if (p.ggrs87.status == ChainStatus::kOutsideGrid) return OutsideGrid(r);
  SetForward(r, p.ggrs87);
  return r;
}

}  // namespace

// The chains compute the whole point first and test the fault flags once; a point that raised
// one (far outside the served area) is computed again step by step, so that it completes
// exactly the stages that come before the step that failed.

PointResult Htrs07XyzToGgrs87(const TransformContext& context, double x, double y, double z,
                              bool geographic) {
  {
    NumericGuard guard;
    const Htrs07PointResult p = Htrs07PointToGgrs87(context, x, y, z, geographic);
    const double packedLatitude = RadiansToDms(p.htrs07.latitude).packed;
    const double packedLongitude = RadiansToDms(p.htrs07.longitude).packed;
    if (guard.Clean()) {
      PointResult r;
      return FillFromHtrs07Point(r, x, y, z, p, packedLatitude, packedLongitude);
    }
  }
  PointResult r;
  r.htrs07.x = x;
  r.htrs07.y = y;
  r.htrs07.z = z;
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  NumericGuard guard;
  const Geodetic g07 = CartesianToGeodetic(tm07, x, y, z);
  const double packedLatitude = RadiansToDms(g07.latitude).packed;
  const double packedLongitude = RadiansToDms(g07.longitude).packed;
  if (!guard.Clean()) return Fault(r, Stage::kHtrs07Geographic, guard);
  SetGeographic(r.htrs07, g07.latitude, g07.longitude, packedLatitude, packedLongitude);
  r.htrs07.height = g07.height;
  Complete(r, Stage::kHtrs07Geographic);
  const GridPointScale p07 =
      TmForwardScale(tm07, g07.latitude, g07.longitude - CentralMeridianRad(tm07));
  if (!guard.Clean()) return Fault(r, Stage::kTm07, guard);
  r.htrs07.easting = p07.easting;
  r.htrs07.northing = p07.northing;
  r.htrs07.scale = p07.scale;
  Complete(r, Stage::kTm07);
  const ForwardChainResult f = Htrs07ToGgrs87(context, x, y, z, p07.easting, p07.northing,
                                              geographic);
  if (!guard.Clean()) return Fault(r, Stage::kDatum, guard);
  if (f.status == ChainStatus::kOutsideGrid) return OutsideGrid(r);
  SetForward(r, f);
  return r;
}

void Htrs07XyzToGgrs87Block(const TransformContext& context, const Xyz* xyz, std::size_t n,
                            PointResult* out) {
  // A group's flags are tested once; a group that raised one is computed again point by point.
  constexpr std::size_t kGroup = 16;
  Htrs07PointResult p[kGroup];
  double packed[kGroup][2];
  for (std::size_t b = 0; b < n; b += kGroup) {
    const std::size_t m = std::min(kGroup, n - b);
    bool clean;
    {
      NumericGuard guard;
      Htrs07PointsToGgrs87(context, xyz + b, m, p);
      for (std::size_t k = 0; k < m; ++k) {
        packed[k][0] = RadiansToDms(p[k].htrs07.latitude).packed;
        packed[k][1] = RadiansToDms(p[k].htrs07.longitude).packed;
      }
      clean = guard.Clean();
    }
    for (std::size_t k = 0; k < m; ++k) {
      const Xyz& v = xyz[b + k];
      if (clean) {
        out[b + k] = PointResult{};
        FillFromHtrs07Point(out[b + k], v[0], v[1], v[2], p[k], packed[k][0], packed[k][1]);
      } else {
        out[b + k] = Htrs07XyzToGgrs87(context, v[0], v[1], v[2]);
      }
    }
  }
}

PointResult Htrs07GeographicToGgrs87(const TransformContext& context, double latitude,
                                     double longitude, double h, bool geographic) {
  PointResult r;
  r.htrs07.latitude = latitude;
  r.htrs07.longitude = longitude;
  r.htrs07.height = h;
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  const double dLambda = longitude - CentralMeridianRad(tm07);
  {
    NumericGuard guard;
    const Cartesian c = GeodeticToCartesian(tm07, latitude, longitude, h);
    const GridPointScale p07 = TmForwardScale(tm07, latitude, dLambda);
    const ForwardChainResult f =
        Htrs07ToGgrs87(context, c.x, c.y, c.z, p07.easting, p07.northing, geographic);
    if (guard.Clean()) {
      SetXyz(r, c);
      r.htrs07.easting = p07.easting;
      r.htrs07.northing = p07.northing;
      r.htrs07.scale = p07.scale;
      Complete(r, Stage::kTm07);
      if (f.status == ChainStatus::kOutsideGrid) return OutsideGrid(r);
      SetForward(r, f);
      return r;
    }
  }
  NumericGuard guard;
  const Cartesian c = GeodeticToCartesian(tm07, latitude, longitude, h);
  if (!guard.Clean()) return Fault(r, Stage::kHtrs07Xyz, guard);
  SetXyz(r, c);
  const GridPointScale p07 = TmForwardScale(tm07, latitude, dLambda);
  if (!guard.Clean()) return Fault(r, Stage::kTm07, guard);
  r.htrs07.easting = p07.easting;
  r.htrs07.northing = p07.northing;
  r.htrs07.scale = p07.scale;
  Complete(r, Stage::kTm07);
  const ForwardChainResult f =
      Htrs07ToGgrs87(context, c.x, c.y, c.z, p07.easting, p07.northing, geographic);
  if (!guard.Clean()) return Fault(r, Stage::kDatum, guard);
  if (f.status == ChainStatus::kOutsideGrid) return OutsideGrid(r);
  SetForward(r, f);
  return r;
}

PointResult Htrs07Tm07ToGgrs87(const TransformContext& context, double easting,
                               double northing, double h, bool geographic) {
  PointResult r;
  r.htrs07.easting = easting;
  r.htrs07.northing = northing;
  r.htrs07.height = h;
  // The extent test comes first, at the given TM07 position.
  if (context.profile->hasGrids &&
      !InsideGridBounds(context.bounds, easting, northing, context.profile->tm07.falseNorthing)) {
    return OutsideGrid(r);
  }
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  NumericGuard guard;
  const TmInverseResult ll = TmInverse(tm07, easting, northing);
  if (!guard.Clean()) return Fault(r, Stage::kHtrs07Geographic, guard);
  SetGeographic(r.htrs07, ll.latitude, ll.longitude, ll.packedLatitude, ll.packedLongitude);
  Complete(r, Stage::kHtrs07Geographic);
  const Cartesian c = GeodeticToCartesian(tm07, ll.latitude, ll.longitude, h);
  if (!guard.Clean()) return Fault(r, Stage::kHtrs07Xyz, guard);
  SetXyz(r, c);
  const ForwardChainResult f =
      Htrs07ToGgrs87(context, c.x, c.y, c.z, easting, northing, geographic);
  if (!guard.Clean()) return Fault(r, Stage::kDatum, guard);
  if (f.status == ChainStatus::kOutsideGrid) return OutsideGrid(r);
  SetForward(r, f);
  return r;
}

PointResult Ggrs87Tm87ToHtrs07(const TransformContext& context, double easting, double northing,
                               double h, const BackOptions& options) {
  PointResult r;
  r.ggrs87.easting = easting;
  r.ggrs87.northing = northing;
  r.ggrs87.height = h;
  const GeodeticParams tm87 = MakeGrs80Params(context.profile->tm87);
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  auto setGgrs87 = [&](const TmInverseResult& g87) {
    r.ggrs87.latitude = g87.latitude;
    r.ggrs87.longitude = g87.longitude;
    r.ggrs87.packedLatitude = g87.packedLatitude;
    r.ggrs87.packedLongitude = g87.packedLongitude;
    Complete(r, Stage::kGgrs87Geographic);
  };
  {
    NumericGuard guard;
    const TmInverseResult g87 = TmInverse(tm87, easting, northing);
    const BackChainResult b =
        Ggrs87ToHtrs07(context, g87.latitude, g87.longitude, h, options.htrs07Geographic);
    if (b.status == ChainStatus::kDone) {
      SetBack(r, b, h, options.keepHeight);
      if (options.withXyz) SetXyz(r, BackXyz(tm07, r));
    }
    if (guard.Clean()) {
      setGgrs87(g87);
      if (b.status == ChainStatus::kOutsideGrid) return OutsideGrid(r, b);
      return r;
    }
    r.completed = 0;
  }
  NumericGuard guard;
  const TmInverseResult g87 = TmInverse(tm87, easting, northing);
  if (!guard.Clean()) return Fault(r, Stage::kGgrs87Geographic, guard);
  setGgrs87(g87);
  const BackChainResult b =
      Ggrs87ToHtrs07(context, g87.latitude, g87.longitude, h, options.htrs07Geographic);
  if (!guard.Clean()) return Fault(r, Stage::kDatum, guard);
  if (b.status == ChainStatus::kOutsideGrid) return OutsideGrid(r, b);
  SetBack(r, b, h, options.keepHeight);
  if (options.withXyz) {
    const Cartesian c = BackXyz(tm07, r);
    if (!guard.Clean()) return Fault(r, Stage::kHtrs07Xyz, guard);
    SetXyz(r, c);
  }
  return r;
}

PointResult Ggrs87GeographicToHtrs07(const TransformContext& context, double latitude,
                                     double longitude, double h, const BackOptions& options) {
  PointResult r;
  r.ggrs87.latitude = latitude;
  r.ggrs87.longitude = longitude;
  r.ggrs87.height = h;
  const GeodeticParams tm87 = MakeGrs80Params(context.profile->tm87);
  const GeodeticParams tm07 = MakeGrs80Params(context.profile->tm07);
  auto setTm87 = [&](const GridPoint& en) {
    r.ggrs87.easting = en.easting;
    r.ggrs87.northing = en.northing;
    Complete(r, Stage::kTm87);
  };
  auto tm87Of = [&] {
    return TmForward(tm87, latitude, longitude - CentralMeridianRadByPi(tm87));
  };
  {
    NumericGuard guard;
    const GridPoint en = options.withTm87 ? tm87Of() : GridPoint{0, 0};
    const BackChainResult b =
        Ggrs87ToHtrs07(context, latitude, longitude, h, options.htrs07Geographic);
    if (b.status == ChainStatus::kDone) {
      SetBack(r, b, h, options.keepHeight);
      if (options.withXyz) SetXyz(r, BackXyz(tm07, r));
    }
    if (guard.Clean()) {
      if (options.withTm87) setTm87(en);
      if (b.status == ChainStatus::kOutsideGrid) return OutsideGrid(r, b);
      return r;
    }
    r.completed = 0;
  }
  NumericGuard guard;
  if (options.withTm87) {
    const GridPoint en = tm87Of();
    if (!guard.Clean()) return Fault(r, Stage::kTm87, guard);
    setTm87(en);
  }
  const BackChainResult b =
      Ggrs87ToHtrs07(context, latitude, longitude, h, options.htrs07Geographic);
  if (!guard.Clean()) return Fault(r, Stage::kDatum, guard);
  if (b.status == ChainStatus::kOutsideGrid) return OutsideGrid(r, b);
  SetBack(r, b, h, options.keepHeight);
  if (options.withXyz) {
    const Cartesian c = BackXyz(tm07, r);
    if (!guard.Clean()) return Fault(r, Stage::kHtrs07Xyz, guard);
    SetXyz(r, c);
  }
  return r;
}

}  // namespace vortan
