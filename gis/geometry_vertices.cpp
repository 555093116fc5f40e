#include "gis/geometry_vertices.h"

#include "core/geodetic_params.h"

namespace vortan::gis {
namespace {

// Calls onPoint for each point and onCurve for each simple curve (line string, linear ring,
// circular string) of the geometry, in order; false at a type it does not know.
template <typename OnPoint, typename OnCurve>
bool Visit(OGRGeometry& g, OnPoint& onPoint, OnCurve& onCurve) {
  if (g.IsEmpty()) return true;
  switch (wkbFlatten(g.getGeometryType())) {
    case wkbPoint:
      onPoint(*g.toPoint());
      return true;
    case wkbLineString:
    case wkbLinearRing:
    case wkbCircularString:
      onCurve(*g.toSimpleCurve());
      return true;
    case wkbCompoundCurve: {
      OGRCompoundCurve& compound = *g.toCompoundCurve();
      for (int i = 0; i < compound.getNumCurves(); ++i) {
        if (!Visit(*compound.getCurve(i), onPoint, onCurve)) return false;
      }
      return true;
    }
    case wkbPolygon:
    case wkbCurvePolygon:
    case wkbTriangle: {
      OGRCurvePolygon& polygon = *g.toCurvePolygon();
      if (OGRCurve* ring = polygon.getExteriorRingCurve()) {
        if (!Visit(*ring, onPoint, onCurve)) return false;
      }
      for (int i = 0; i < polygon.getNumInteriorRings(); ++i) {
        if (!Visit(*polygon.getInteriorRingCurve(i), onPoint, onCurve)) return false;
      }
      return true;
    }
    case wkbMultiPoint:
    case wkbMultiLineString:
    case wkbMultiPolygon:
    case wkbMultiCurve:
    case wkbMultiSurface:
    case wkbGeometryCollection: {
      OGRGeometryCollection& collection = *g.toGeometryCollection();
      for (int i = 0; i < collection.getNumGeometries(); ++i) {
        if (!Visit(*collection.getGeometryRef(i), onPoint, onCurve)) return false;
      }
      return true;
    }
    case wkbPolyhedralSurface:
    case wkbTIN: {
      OGRPolyhedralSurface& surface = *g.toPolyhedralSurface();
      for (int i = 0; i < surface.getNumGeometries(); ++i) {
        if (!Visit(*surface.getGeometryRef(i), onPoint, onCurve)) return false;
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

bool GatherVertices(OGRGeometry& geometry, Form form, VertexArrays& out) {
  const bool geographic = IsGeographic(form);
  const bool has3D = geometry.Is3D() != 0;
  const std::size_t before = out.size();
  auto add = [&](double x, double y, double z) {
    if (geographic) {
      out.a.push_back(y * kRadiansPerDegree);
      out.b.push_back(x * kRadiansPerDegree);
    } else {
      out.a.push_back(x);
      out.b.push_back(y);
    }
    out.c.push_back(has3D ? z : 0.0);
  };
  auto onPoint = [&](OGRPoint& p) { add(p.getX(), p.getY(), p.getZ()); };
  auto onCurve = [&](OGRSimpleCurve& curve) {
    const int n = curve.getNumPoints();
    for (int i = 0; i < n; ++i) add(curve.getX(i), curve.getY(i), has3D ? curve.getZ(i) : 0.0);
  };
  if (!Visit(geometry, onPoint, onCurve)) {
    out.a.resize(before);
    out.b.resize(before);
    out.c.resize(before);
    return false;
  }
  return true;
}

std::size_t ScatterVertices(OGRGeometry& geometry, Form form, bool make3D, const VertexArrays& in,
                            std::size_t at) {
  const bool geographic = IsGeographic(form);
  if (make3D && !geometry.Is3D()) geometry.set3D(TRUE);
  const bool has3D = geometry.Is3D() != 0;
  auto x = [&](std::size_t i) { return geographic ? in.b[i] * kDegreesPerRadian : in.a[i]; };
  auto y = [&](std::size_t i) { return geographic ? in.a[i] * kDegreesPerRadian : in.b[i]; };
  auto onPoint = [&](OGRPoint& p) {
    p.setX(x(at));
    p.setY(y(at));
    if (has3D) p.setZ(in.c[at]);
    ++at;
  };
  auto onCurve = [&](OGRSimpleCurve& curve) {
    const int n = curve.getNumPoints();
    for (int i = 0; i < n; ++i, ++at) {
      if (has3D) {
        curve.setPoint(i, x(at), y(at), in.c[at]);
      } else {
        curve.setPoint(i, x(at), y(at));
      }
    }
  };
  Visit(geometry, onPoint, onCurve);
  return at;
}

}  // namespace vortan::gis
