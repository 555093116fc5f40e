// The converted features into a new GDAL dataset, written as the output format's traits say
// (format_traits.h): layers, fields, geometries in the target CRS, the format's limits said
// before anything is written; the dataset made under a temporary name and put in place only
// when whole (output_place.h).
#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gis/csv_table.h"
#include "gis/dataset.h"
#include "gis/checked_writes.h"
#include "gis/format_traits.h"
#include "gis/gdal_support.h"
#include "gis/output_place.h"
#include "gis/sink.h"

namespace vortan::gis {

// The GDAL driver of the output: request.format, else the one of the output's extension.
std::optional<Stop> FindOutputDriver(const DatasetRequest& request, GDALDriver*& driver);

// Whether the output format can hold the conversion of an input of so many layers: nothing or
// the stop that says what to write instead. The notes say what the format leaves out that the
// user needs to read the file again (its CRS).
std::optional<Stop> CheckOutputFormat(const FormatTraits& traits, const DatasetRequest& request,
                                      std::size_t inputLayers, const RegionProfile& profile,
                                      std::vector<std::string>& notes);

class GdalSink : public Sink {
 public:
  // csvIn: the layout of a CSV table read, which a CSV output keeps.
  GdalSink(GDALDriver* driver, const DatasetRequest& request, const RegionProfile& profile,
           ErrorCapture& errors, std::vector<std::string>& notes,
           const std::optional<CsvLayout>& csvIn);
  ~GdalSink() override;

  // Creates the dataset in its temporary place.
  std::optional<Stop> Open();

  std::optional<Stop> BeginLayer(const InputLayer& in) override;
  std::optional<Stop> Write(const InputLayer& in, Chunk& chunk) override;
  std::optional<Stop> EndLayer(const InputLayer& in) override;
  std::optional<Stop> Finish(const std::atomic<bool>* cancel) override;

 private:
  struct OutLayer {
    OGRLayer* layer = nullptr;
    std::vector<int> inputFields;  // output field of each input field, -1 where none
    int layerField = -1;           // the field naming the layer (FormatTraits::layerNameField)
    bool tableOut = false;         // a CSV table in, the same table out
    bool pointColumns = false;     // points out as a table
    int coordinateColumns = 0;     // its coordinate columns, the first 2 or 3
  };

  std::optional<Stop> CreateLayer(const InputLayer& in);
  std::optional<Stop> Begin();
  std::optional<Stop> WriteStop() const;
  void Note(const std::string& note);
  OGRwkbGeometryType MixedLayerType(const InputLayer& in);
  void WriteCodePage(const InputLayer& in, OGRFeature& out);
  void GuardFormulas(const InputLayer& in, const Chunk& chunk, std::size_t i, OGRFeature& out);
  std::optional<Stop> CheckTextWidths(const InputLayer& in, const Chunk& chunk, std::size_t i,
                                      const OGRFeature& out) const;
  void MapFields(const InputLayer& in);
  std::optional<Stop> WriteGeometries(const InputLayer& in, Chunk& chunk, std::size_t i,
                                      OGRFeature& out);

  GDALDriver* driver_;
  std::string name_;
  FormatTraits traits_;
  std::string target_;
  const DatasetRequest& request_;
  const RegionProfile& profile_;
  ErrorCapture& errors_;
  std::vector<std::string>& notes_;
  std::optional<CsvLayout> csvIn_;
  OutputPlace place_;
  CheckedFolder checked_;  // every write of the dataset's files
  GDALDatasetUniquePtr dataset_;
  std::unique_ptr<OGRSpatialReference> crs_;
  OutLayer current_;
  std::optional<OutLayer> shared_;  // FormatTraits::oneLayer: every input layer into it
  bool transaction_ = false;
  int layers_ = 0;
  std::string codePageHeader_;  // a DXF header declaring the Greek code page, in GDAL's memory
  bool greek_ = false;          // the texts are written in Windows-1253
  GuardedCells guarded_;        // of the layer being written (a CSV output)
};

}  // namespace vortan::gis
