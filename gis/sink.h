// Where the converted features go: a GDAL dataset (gdal_sink.h) or a record file of the system
// (record_sink.h), written layer by layer and put in place only when whole.
#pragma once

#include <atomic>
#include <optional>

#include "gis/chunk.h"
#include "gis/conversion_messages.h"

namespace vortan::gis {

class Sink {
 public:
  virtual ~Sink() = default;
  virtual std::optional<Stop> BeginLayer(const InputLayer& layer) = 0;
  // Writes the features of the chunk that are not skipped, with their converted vertices.
  virtual std::optional<Stop> Write(const InputLayer& layer, Chunk& chunk) = 0;
  virtual std::optional<Stop> EndLayer(const InputLayer& layer) = 0;
  // Closes the output and puts it in place, unless cancel is set by then.
  virtual std::optional<Stop> Finish(const std::atomic<bool>* cancel) = 0;
};

}  // namespace vortan::gis
