#include "gis/chunk.h"

#include "gis/conversion_messages.h"
#include "io/display_text.h"

namespace vortan::gis {

std::string FeatureWhere(const std::string& file, const InputLayer& layer, const Chunk& chunk,
                         std::size_t i) {
  const OGRFeature& f = *chunk.features[i];
  if (layer.layer) return FeaturePlace(file, layer.name, f.GetFID(), chunk.lines[i]);
  return DisplayText(file) + ", line " + std::to_string(chunk.lines[i]) + ", point " +
         DisplayText(f.GetFieldAsString(0));
}

std::string VertexWhere(const std::string& file, const InputLayer& layer, const Chunk& chunk,
                        std::size_t i, std::size_t v) {
  std::string where = FeatureWhere(file, layer, chunk, i);
  if (!layer.points) where += ", vertex " + std::to_string(v - chunk.first[i] + 1);
  return where + VertexPosition(layer.from, chunk.in.a[v], chunk.in.b[v]);
}

}  // namespace vortan::gis
