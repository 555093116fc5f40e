// The features of a layer on their way through the engine, a chunk at a time, and the layer
// they come from; how messages name a feature and a vertex of it.
#pragma once

#include <ogr_feature.h>
#include <ogrsf_frmts.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/conversion.h"
#include "engine/forms.h"
#include "gis/csv_table.h"
#include "gis/geometry_vertices.h"

namespace vortan::gis {

// Features and vertices converted in one batch call: large enough that the worker pool has work
// for every thread, small enough that a chunk's features stay a few megabytes.
inline constexpr std::size_t kChunkFeatures = 8192;
inline constexpr std::size_t kChunkVertices = 1u << 16;

// A layer of the input, as it is read.
struct InputLayer {
  std::string name;
  OGRLayer* layer = nullptr;  // nullptr for a record file
  const OGRFeatureDefn* schema = nullptr;
  Form from = Form::kHtrs07Tm07;
  bool hasGeometry = true;  // false for an attribute table that stays one
  bool points = false;      // one point per feature in the arrays (records, CSV)
  bool points3D = false;
  bool table = false;  // a CSV table with coordinates in columns
  // A CSV table's columns that hold its geometries as WKT (which GDAL reads as the geometry
  // fields): their text, which must parse whole, is not written as an attribute.
  std::vector<int> wktFields;
  CoordinateColumns columns;
  bool decimalComma = false;  // the table's numbers are written with a comma
  bool keepFids = false;
  std::int64_t total = -1;
};

struct Chunk {
  std::vector<std::unique_ptr<OGRFeature>> features;
  std::vector<std::size_t> first;    // first vertex of each feature, and the end after the last
  std::vector<std::uint64_t> lines;  // the line of a record or a CSV row, 0 where none
  VertexArrays in, out;
  std::vector<PointStatus> status;
  std::vector<char> skip;

  void clear() {
    features.clear();
    first.assign(1, 0);
    lines.clear();
    in.clear();
    skip.clear();
  }
  std::size_t size() const { return features.size(); }
};

// How a message names feature i of the chunk: its layer and FID (and line of a table row), or
// for a record file its line and point id.
std::string FeatureWhere(const std::string& file, const InputLayer& layer, const Chunk& chunk,
                         std::size_t i);
// And vertex v of it, with its position.
std::string VertexWhere(const std::string& file, const InputLayer& layer, const Chunk& chunk,
                        std::size_t i, std::size_t v);

}  // namespace vortan::gis
