// The vertices of GDAL geometries as the engine's three arrays, and back: every point of every
// part (points, lines, rings of polygons with their holes, multi-geometries, collections,
// circular strings, compound curves, curve polygons, polyhedral surfaces and TINs) in one fixed
// order of traversal. Geographic forms hold x = longitude, y = latitude in degrees in the
// geometry (the traditional GIS order) and latitude, longitude in radians in the arrays.
#pragma once

#include <cstddef>
#include <vector>

#include <ogr_geometry.h>

#include "engine/forms.h"

namespace vortan::gis {

struct VertexArrays {
  std::vector<double> a, b, c;
  std::size_t size() const { return a.size(); }
  void clear() {
    a.clear();
    b.clear();
    c.clear();
  }
};

// Appends every vertex of the geometry in the units of the form; h = 0 for a 2D geometry.
// False for a geometry type it does not know (nothing is then appended).
bool GatherVertices(OGRGeometry& geometry, Form form, VertexArrays& out);

// Writes the converted vertices, from index `at` of the arrays on, into the geometry in the
// order GatherVertices took them, in the units of the form; a 3D geometry takes the height, a
// 2D one stays 2D unless made3D (X, Y, Z). Returns the index after its last vertex.
std::size_t ScatterVertices(OGRGeometry& geometry, Form form, bool make3D, const VertexArrays& in,
                            std::size_t at);

}  // namespace vortan::gis
