// Where the features of a conversion come from: the input opened, its layers with the form of
// each, and the source that reads their features chunk by chunk. A GDAL dataset (a CSV table
// from a spreadsheet opened once with the options of a table and its text read once; a
// Shapefile whose .dbf names no code page read as Windows-1253) or a record file of the system,
// whose records become point features with the attribute `id`.
#pragma once

#include <gdal_priv.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gis/chunk.h"
#include "gis/conversion_messages.h"
#include "gis/csv_table.h"
#include "gis/dataset.h"
#include "gis/gdal_support.h"

namespace vortan::gis {

class Source {
 public:
  virtual ~Source() = default;
  // Fills the chunk with the next features of the layer and their vertices in the units of
  // the layer's form; false at the end of the layer or at a stop (stop then says why).
  virtual bool Next(InputLayer& layer, Chunk& chunk, std::optional<Stop>& stop) = 0;
};

class DatasetInput {
 public:
  // Notes on what the user should know go to notes; GDAL's failures are taken from errors.
  DatasetInput(const DatasetRequest& request, const RegionProfile& profile, ErrorCapture& errors,
               std::vector<std::string>& notes);
  ~DatasetInput();
  DatasetInput(const DatasetInput&) = delete;
  DatasetInput& operator=(const DatasetInput&) = delete;

  // Opens the input and finds the form of each layer; nothing or why not.
  std::optional<Stop> Open();

  std::vector<InputLayer>& layers() { return layers_; }
  // The files read (a dataset's sidecar files among them), which no output may be.
  const std::vector<std::string>& filesRead() const { return filesRead_; }
  // The layout of a CSV table read, which its output keeps.
  const std::optional<CsvLayout>& csvLayout() const { return csvLayout_; }
  Source& source() { return *source_; }

 private:
  std::optional<Stop> OpenRecords();
  std::optional<Stop> OpenDataset();
  void OpenTable(unsigned flags);
  std::optional<Stop> AddLayers();

  const DatasetRequest& request_;
  const RegionProfile& profile_;
  ErrorCapture& errors_;
  std::vector<std::string>& notes_;
  // A CSV table read into memory (before dataset_, which may read it and goes first).
  std::optional<CsvText> csvText_;
  std::string memoryPath_;  // where GDAL reads it, when it was recoded
  struct MemoryFileRemover {
    std::string& path;
    ~MemoryFileRemover();
  } memoryFileRemover_{memoryPath_};
  GDALDatasetUniquePtr dataset_;
  std::optional<CsvLayout> csvLayout_;
  std::vector<InputLayer> layers_;
  std::vector<std::string> filesRead_;
  std::unique_ptr<Source> source_;
};

}  // namespace vortan::gis
