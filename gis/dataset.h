// The conversion of GIS datasets: every layer, feature, attribute and vertex of a vector dataset
// that GDAL reads, converted from one coordinate form into another with the engine's batch
// call and written through GDAL into a new dataset. A record file (".txt" or "-") may stand on
// either side: its records become point features with their id in the attribute `id`, and
// point features become records.
//
// The input form comes from each layer's CRS when it is one of ours, else from `from`; a CRS
// that contradicts `from` is refused. The output is written under a temporary name beside the
// target and takes the target's name only when every feature converted: on any stop no output
// is left and an existing one is untouched.
//
// This header holds no GDAL type: the command-line tool includes it and nothing of GDAL.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/forms.h"
#include "transform/region_profile.h"

namespace vortan::gis {

// What to do with a feature that has a vertex outside the correction grid.
enum class OutsidePolicy {
  kStop,  // stop, write nothing (exit 3)
  kSkip,  // leave the feature out and say which
};

struct DatasetProgress {
  std::uint64_t featuresDone = 0;
  std::int64_t featuresTotal = -1;  // -1 where the driver does not know it cheaply
  std::uint64_t pointsDone = 0;     // vertices converted
};

struct DatasetRequest {
  // The region, and the correction grid files that the initial step reads where a layer's form
  // crosses the datum: the conversion runs it once it knows the forms of the input's layers.
  const RegionProfile* profile = nullptr;
  std::string dnPath, dePath;
  std::string input;
  std::string output;
  std::optional<Form> from;  // nothing: from the CRS of each layer
  Form to = Form::kGgrs87Tm87;
  bool keepHeights = false;
  std::string format;                // GDAL driver of the output; "" from the extension
  std::vector<std::string> columns;  // CSV coordinate columns x, y[, z] by name; empty: found
  OutsidePolicy outside = OutsidePolicy::kStop;
  bool overwrite = false;            // an existing output may be replaced
  int threads = 1;
  std::function<void(const DatasetProgress&)> progress;  // called after each chunk
  const std::atomic<bool>* cancel = nullptr;             // stops before the next chunk
  // Correction grid files that the output may not be, whether or not they are read.
  std::vector<std::string> gridFiles;
  // The input, or the output, is a record file of the system rather than a dataset
  // (InputIsRecords, OutputIsRecords).
  bool recordsIn = false, recordsOut = false;
};

enum class DatasetStatus {
  kDone,
  kOutsideGrid,  // stopped at a vertex outside the grid
  kCancelled,
  kError,        // a read, write or data error
  kUsage,        // the command lacks something the data needs (--from, --columns, --overwrite)
};

struct SkippedFeature {
  std::string layer;
  std::int64_t fid;
};

struct DatasetOutcome {
  DatasetStatus status = DatasetStatus::kDone;
  std::string message;             // what happened, where, and what to do
  std::vector<std::string> notes;  // what the user should know of a conversion that went on
  std::uint64_t layers = 0;
  std::uint64_t featuresWritten = 0;
  std::uint64_t pointsConverted = 0;
  std::vector<SkippedFeature> skipped;  // with OutsidePolicy::kSkip
  int threadsUsed = 1;
};

// Converts the dataset (or record file) request.input into request.output.
DatasetOutcome ConvertDataset(const DatasetRequest& request);

// What a failed initial step says on the command line: why, the grid files read, and the
// options that name others (for datasets and record files alike).
std::string GridFilesError(const std::string& error, const std::string& dnPath,
                           const std::string& dePath);

}  // namespace vortan::gis
