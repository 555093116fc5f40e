#include "gis/dataset.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "core/angles.h"
#include "core/numeric_guard.h"
#include "data_files/jobs.h"
#include "data_files/record_reader.h"
#include "data_files/record_writer.h"
#include "data_files/records.h"
#include "engine/conversion.h"
#include "engine/crs.h"
#include "engine/worker_pool.h"
#include "gis/crs_match.h"
#include "gis/csv_table.h"
#include "gis/geometry_vertices.h"
#include "gis/module.h"
#include "gis/output_place.h"
#include "io/display_text.h"
#include "io/files.h"
#include "io/text_encoding.h"

namespace vortan::gis {
namespace {

namespace fs = std::filesystem;

// Features and vertices converted in one batch call: large enough that the worker pool has work
// for every thread, small enough that a chunk's features stay a few megabytes.
constexpr std::size_t kChunkFeatures = 8192;
constexpr std::size_t kChunkVertices = 1u << 16;

// GDAL warnings repeated to the user, at most.
constexpr std::size_t kMaxNotes = 12;

// ---------------------------------------------------------------------------------------------
// GDAL's messages: collected while a conversion runs, never printed by GDAL itself.

class ErrorCapture {
 public:
  ErrorCapture() { CPLPushErrorHandlerEx(&Handler, this); }
  ~ErrorCapture() { CPLPopErrorHandler(); }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  // The last failure GDAL reported since the previous call, or "".
  std::string TakeFailure() {
    std::string f;
    f.swap(failure_);
    return f;
  }
  std::vector<std::string> TakeWarnings() {
    std::vector<std::string> w;
    w.swap(warnings_);
    return w;
  }

 private:
  static void CPL_STDCALL Handler(CPLErr kind, CPLErrorNum, const char* message) {
    auto* self = static_cast<ErrorCapture*>(CPLGetErrorHandlerUserData());
    const std::string text = message ? DisplayText(message) : "";
    if (kind >= CE_Failure) {
      self->failure_ = text;
    } else if (kind == CE_Warning) {
      if (self->warnings_.size() < kMaxNotes &&
          std::find(self->warnings_.begin(), self->warnings_.end(), text) ==
              self->warnings_.end()) {
        self->warnings_.push_back(text);
      }
    }
  }
  std::string failure_;
  std::vector<std::string> warnings_;
};

// Config options of GDAL for this thread while the output is written: a large SQLite page cache
// (the spatial index of a GeoPackage is built at the end of each layer, and with SQLite's small
// default cache most of that time goes in reading and writing its pages), no waiting for the
// disk after each transaction and the rollback journal in memory. The output is a temporary
// file that is flushed once and renamed only when whole, so a crash meanwhile costs nothing.
class ScopedWriteOptions {
 public:
  ScopedWriteOptions() {
    Set("OGR_SQLITE_CACHE", "512");
    Set("OGR_SQLITE_SYNCHRONOUS", "OFF");
    Set("OGR_SQLITE_JOURNAL", "MEMORY");
  }
  ~ScopedWriteOptions() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      CPLSetThreadLocalConfigOption(it->first.c_str(),
                                    it->second ? it->second->c_str() : nullptr);
    }
  }
  ScopedWriteOptions(const ScopedWriteOptions&) = delete;
  ScopedWriteOptions& operator=(const ScopedWriteOptions&) = delete;

 private:
  void Set(const char* key, const char* value) {
    const char* old = CPLGetThreadLocalConfigOption(key, nullptr);
    saved_.emplace_back(key, old ? std::optional<std::string>(old) : std::nullopt);
    CPLSetThreadLocalConfigOption(key, value);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

void RegisterGdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Quote(const std::string& text) { return "'" + DisplayText(text) + "'"; }

std::string Coordinate(double value, bool angle) {
  char buffer[64];
  // A value far beyond any coordinate (1e300 in a broken file) in scientific notation.
  if (!(std::fabs(value) < 1e12)) {
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
  } else {
    std::snprintf(buffer, sizeof buffer, angle ? "%.9f" : "%.3f", value);
  }
  return buffer;
}

// ---------------------------------------------------------------------------------------------
// What stops a conversion.

struct Stop {
  DatasetStatus status = DatasetStatus::kError;
  std::string message;
};

// ---------------------------------------------------------------------------------------------
// The output drivers by extension.

std::string KnownExtensions() {
  std::string all;
  for (const DriverByExtension& d : kDatasetExtensions) all += (all.empty() ? "" : ", ") + std::string(d.extension);
  return all;
}

// ---------------------------------------------------------------------------------------------
// A chunk of features on their way through the engine.

struct Chunk {
  std::vector<std::unique_ptr<OGRFeature>> features;
  std::vector<std::size_t> first;  // first vertex of each feature, and the end after the last
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

// A layer of the input, as it is read.
struct InputLayer {
  std::string name;
  OGRLayer* layer = nullptr;            // nullptr for a record file
  const OGRFeatureDefn* schema = nullptr;
  Form from = Form::kHtrs07Tm07;
  bool hasGeometry = true;              // false for an attribute table that stays one
  bool points = false;                  // one point per feature in the arrays (records, CSV)
  bool points3D = false;
  bool table = false;                   // a CSV table with coordinates in columns
  CoordinateColumns columns;
  bool decimalComma = false;            // the table's numbers are written with a comma
  bool keepFids = false;
  std::int64_t total = -1;
};

// How a message names a feature and a vertex of it.
std::string FeatureWhere(const std::string& file, const InputLayer& layer, const Chunk& chunk,
                         std::size_t i) {
  std::string where = DisplayText(file);
  if (layer.layer) {
    where += ", layer " + Quote(layer.name) + ", feature " +
             std::to_string(chunk.features[i]->GetFID());
  } else {
    const OGRFeature& f = *chunk.features[i];
    where += ", line " + std::to_string(chunk.lines[i]) + ", point " +
             DisplayText(f.GetFieldAsString(0));
    return where;
  }
  if (chunk.lines[i]) where += " (line " + std::to_string(chunk.lines[i]) + ")";
  return where;
}

std::string VertexWhere(const std::string& file, const InputLayer& layer, const Chunk& chunk,
                        std::size_t i, std::size_t v) {
  std::string where = FeatureWhere(file, layer, chunk, i);
  if (!layer.points) where += ", vertex " + std::to_string(v - chunk.first[i] + 1);
  const auto names = CoordinateNames(layer.from);
  const bool geographic = IsGeographic(layer.from);
  const double x = geographic ? chunk.in.b[v] * 180.0 / kPi : chunk.in.a[v];
  const double y = geographic ? chunk.in.a[v] * 180.0 / kPi : chunk.in.b[v];
  where += geographic ? " (λ " + Coordinate(x, true) + "°, φ " + Coordinate(y, true) + "°)"
                      : " (" + std::string(names[0]) + " " + Coordinate(x, false) + ", " +
                            std::string(names[1]) + " " + Coordinate(y, false) + ")";
  return where;
}

// ---------------------------------------------------------------------------------------------
// Sources: where the features come from.

class Source {
 public:
  virtual ~Source() = default;
  // Fills the chunk with the next features of the layer and their vertices in the units of
  // the layer's form; false at the end of the layer or at a stop (stop then says why).
  virtual bool Next(InputLayer& layer, Chunk& chunk, std::optional<Stop>& stop) = 0;
};

// The features of a GDAL layer, their vertices from their geometries or, for a CSV table, from
// the coordinate columns.
class GdalSource : public Source {
 public:
  GdalSource(std::string file, ErrorCapture& errors) : file_(std::move(file)), errors_(errors) {}

  bool Next(InputLayer& layer, Chunk& chunk, std::optional<Stop>& stop) override {
    chunk.clear();
    while (chunk.size() < kChunkFeatures && chunk.in.size() < kChunkVertices) {
      std::unique_ptr<OGRFeature> f(layer.layer->GetNextFeature());
      if (!f) {
        const std::string failure = errors_.TakeFailure();
        if (!failure.empty()) {
          stop = Stop{DatasetStatus::kError, DisplayText(file_) + ", layer " + Quote(layer.name) +
                                                 ": cannot be read after " +
                                                 std::to_string(done_) + " features (" + failure +
                                                 ")"};
        }
        return false;
      }
      ++done_;
      // A row of empty cells (",,,", as Excel writes its formatted empty rows) is no feature,
      // like a blank line.
      if (layer.table && EmptyRow(*f)) continue;
      chunk.features.push_back(std::move(f));
      chunk.lines.push_back(layer.table ? RowLine(chunk.features.back()->GetFID()) : 0);
      const std::size_t i = chunk.size() - 1;
      if (layer.table) {
        if (!TableVertex(layer, chunk, i, stop)) return false;
      } else {
        OGRFeature& feature = *chunk.features[i];
        for (int g = 0; g < feature.GetGeomFieldCount(); ++g) {
          OGRGeometry* geometry = feature.GetGeomFieldRef(g);
          if (!geometry) continue;
          if (layer.from == Form::kHtrs07Xyz && !geometry->Is3D() && !geometry->IsEmpty()) {
            stop = Stop{DatasetStatus::kError,
                        FeatureWhere(file_, layer, chunk, i) +
                            ": a 2D geometry cannot hold X, Y, Z; give the form of its "
                            "coordinates with --from"};
            return false;
          }
          if (!GatherVertices(*geometry, layer.from, chunk.in)) {
            stop = Stop{DatasetStatus::kError,
                        FeatureWhere(file_, layer, chunk, i) + ": its geometry type " +
                            OGRGeometryTypeToName(geometry->getGeometryType()) +
                            " is not one this program converts; convert it to lines or "
                            "polygons first"};
            return false;
          }
        }
      }
      chunk.first.push_back(chunk.in.size());
    }
    return true;
  }

 private:
  bool TableVertex(InputLayer& layer, Chunk& chunk, std::size_t i, std::optional<Stop>& stop) {
    OGRFeature& f = *chunk.features[i];
    for (int k = 0; k < f.GetFieldCount(); ++k) {
      if (f.IsFieldSetAndNotNull(k) && !CPLIsUTF8(f.GetFieldAsString(k), -1)) {
        stop = Stop{DatasetStatus::kError,
                    FeatureWhere(file_, layer, chunk, i) + ", column " +
                        Quote(f.GetFieldDefnRef(k)->GetNameRef()) +
                        ": the text is not UTF-8 (a file saved as Windows-1253?); save the "
                        "sheet from Excel as \"CSV UTF-8\" and convert it again"};
        return false;
      }
    }
    double v[3] = {0, 0, 0};
    const int columns[3] = {layer.columns.x, layer.columns.y, layer.columns.z};
    for (int c = 0; c < 3; ++c) {
      if (columns[c] < 0) continue;
      const char* cell = f.IsFieldSetAndNotNull(columns[c]) ? f.GetFieldAsString(columns[c]) : "";
      bool comma = false;
      if (IsExcelRoundedNumber(cell)) {
        stop = Stop{DatasetStatus::kError,
                    FeatureWhere(file_, layer, chunk, i) + ", column " +
                        Quote(f.GetFieldDefnRef(columns[c])->GetNameRef()) + ": " +
                        ExcelRoundedReason(cell)};
        return false;
      }
      const std::optional<double> value = ParseCell(cell, separator_ != ',', comma);
      if (!value) {
        stop = Stop{DatasetStatus::kError,
                    FeatureWhere(file_, layer, chunk, i) + ", column " +
                        Quote(f.GetFieldDefnRef(columns[c])->GetNameRef()) + ": " +
                        (*cell ? "\"" + DisplayText(cell) + "\" is not a number" : std::string("the cell is empty")) +
                        "; correct the cell (digits with a decimal point" +
                        (separator_ != ',' ? std::string(" or comma") : std::string()) + ")"};
        return false;
      }
      if (comma) layer.decimalComma = true;
      v[c] = *value;
    }
    if (IsGeographic(layer.from)) {
      chunk.in.a.push_back(v[1] * kPi / 180.0);
      chunk.in.b.push_back(v[0] * kPi / 180.0);
    } else {
      chunk.in.a.push_back(v[0]);
      chunk.in.b.push_back(v[1]);
    }
    chunk.in.c.push_back(v[2]);
    return true;
  }

 public:
  char separator_ = ',';
  // The line where each row of a CSV table begins (ReadCsvText), or nothing.
  const std::vector<std::uint64_t>* rowLines_ = nullptr;

 private:
  static bool EmptyRow(const OGRFeature& f) {
    for (int k = 0; k < f.GetFieldCount(); ++k) {
      if (!f.IsFieldSetAndNotNull(k)) continue;
      for (const char* c = f.GetFieldAsString(k); *c; ++c) {
        if (*c != ' ' && *c != '\t') return false;
      }
    }
    return true;
  }
  // The line of the row whose FID (counted from 1 after the header) is given.
  std::uint64_t RowLine(GIntBig fid) const {
    if (rowLines_ && fid >= 0 && static_cast<std::size_t>(fid) < rowLines_->size()) {
      return (*rowLines_)[static_cast<std::size_t>(fid)];
    }
    return static_cast<std::uint64_t>(fid) + 1;
  }

  std::string file_;
  ErrorCapture& errors_;
  std::uint64_t done_ = 0;
};

// The records of a record file, through the system's own record reader: one point feature per
// record with the id in the attribute `id`.
class RecordSource : public Source {
 public:
  RecordSource(std::string file, int fd, Form from)
      : file_(std::move(file)), fd_(fd), names_(CoordinateNames(from)), reader_(fd, names_),
        schema_(new OGRFeatureDefn("points")) {
    schema_->Reference();
    schema_->SetGeomType(wkbNone);
    OGRFieldDefn id("id", OFTString);
    schema_->AddFieldDefn(&id);
  }
  ~RecordSource() override {
    schema_->Release();
    if (fd_ != kStandardInput) CloseFile(fd_);
  }
  const OGRFeatureDefn* schema() const { return schema_; }
  std::uint64_t bytesConsumed() const { return reader_.bytesConsumed(); }

  bool Next(InputLayer& layer, Chunk& chunk, std::optional<Stop>& stop) override {
    chunk.clear();
    if (ended_) return false;
    const bool more = reader_.ReadBatch(batch_, kChunkFeatures);
    for (const RawRecord& r : batch_.records) {
      double v[3];
      for (int k = 0; k < 3; ++k) {
        std::string reason;
        const std::optional<double> value = ParseFieldNumber(batch_.Field(r.numbers[k]), reason);
        if (!value) {
          stop = Stop{DatasetStatus::kError, DisplayText(file_) + ", line " +
                                                 std::to_string(r.numbers[k].line) + ", field " +
                                                 std::string(names_[k]) + ": " + reason};
          return false;
        }
        v[k] = *value;
      }
      if (IsGeographic(layer.from)) {
        NumericGuard guard;
        const LatLon ll = PackedPairToRadians(v[0], v[1]);
        if (!guard.Clean()) {
          stop = Stop{DatasetStatus::kError, DisplayText(file_) + ", line " +
                                                 std::to_string(r.numbers[0].line) +
                                                 ": a numeric fault (" + guard.FaultName() +
                                                 ") in reading the angles"};
          return false;
        }
        v[0] = ll.latitude;
        v[1] = ll.longitude;
      }
      auto f = std::make_unique<OGRFeature>(schema_);
      const std::string id(batch_.Field(r.id));
      f->SetField(0, id.c_str());
      f->SetFID(static_cast<GIntBig>(++records_));
      chunk.features.push_back(std::move(f));
      chunk.lines.push_back(r.id.line);
      chunk.in.a.push_back(v[0]);
      chunk.in.b.push_back(v[1]);
      chunk.in.c.push_back(v[2]);
      chunk.first.push_back(chunk.in.size());
    }
    if (!more) {
      ended_ = true;
      if (reader_.failed()) {
        const ReadError& e = reader_.error();
        std::string where = DisplayText(file_);
        if (e.line) where += ", line " + std::to_string(e.line);
        if (!e.field.empty()) where += ", field " + e.field;
        stop = Stop{DatasetStatus::kError, where + ": " + e.reason};
        return false;
      }
    }
    return !chunk.features.empty();
  }

 private:
  std::string file_;
  int fd_;
  std::array<std::string_view, 3> names_;
  RecordReader reader_;
  RecordBatch batch_;
  OGRFeatureDefn* schema_;
  std::uint64_t records_ = 0;
  bool ended_ = false;
};

// ---------------------------------------------------------------------------------------------
// Sinks: where the converted features go.

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

// The names of the coordinate columns of a form in a table written out.
std::array<const char*, 3> ColumnNames(Form form) {
  if (form == Form::kHtrs07Xyz) return {"X", "Y", "Z"};
  if (IsGeographic(form)) return {"lon", "lat", "h"};
  return {"E", "N", "h"};
}

int KindOf(Form form) { return form == Form::kHtrs07Xyz ? 0 : IsGeographic(form) ? 1 : 2; }

// What an output format holds of what a conversion carries, as GDAL writes it.
struct FormatTraits {
  const char* driver;
  bool measures;  // M values
  bool surfaces;  // TINs, polyhedral surfaces and triangles
};
constexpr FormatTraits kFormatTraits[] = {
    {"GPKG", true, true},     {"ESRI Shapefile", true, true}, {"FlatGeobuf", true, true},
    {"GML", false, true},     {"CSV", true, true},            {"GeoJSON", false, false},
    {"GeoJSONSeq", false, false}, {"KML", false, false},      {"LIBKML", false, false},
    {"DXF", false, false},
};
FormatTraits TraitsOf(const std::string& driver) {
  for (const FormatTraits& t : kFormatTraits) {
    if (driver == t.driver) return t;
  }
  return {"", true, true};  // another driver: what GDAL says when it cannot
}

// A TIN, a polyhedral surface or a triangle, or a collection that holds one.
const char* SurfaceIn(const OGRGeometry& g) {
  switch (wkbFlatten(g.getGeometryType())) {
    case wkbTIN: return "a TIN";
    case wkbPolyhedralSurface: return "a polyhedral surface";
    case wkbTriangle: return "a triangle";
    case wkbGeometryCollection:
    case wkbMultiPolygon:
    case wkbMultiSurface: {
      const OGRGeometryCollection& c = *g.toGeometryCollection();
      for (int i = 0; i < c.getNumGeometries(); ++i) {
        if (const char* s = SurfaceIn(*c.getGeometryRef(i))) return s;
      }
      return nullptr;
    }
    default: return nullptr;
  }
}

// The reason GDAL gave, for a message: " (what it said)", or that it said nothing.
std::string GdalReason(const std::string& failure) {
  return failure.empty() ? " (GDAL gave no reason: check the folder and the free space)"
                         : " (" + failure + ")";
}

class GdalSink : public Sink {
 public:
  GdalSink(GDALDriver* driver, std::string target, const DatasetRequest& request,
           const RegionProfile& profile, ErrorCapture& errors, std::vector<std::string>& notes,
           const std::optional<CsvLayout>& csvIn)
      : driver_(driver), name_(driver->GetDescription()), target_(std::move(target)),
        request_(request), profile_(profile), errors_(errors), notes_(notes), csvIn_(csvIn) {
    const FormatTraits traits = TraitsOf(name_);
    measures_ = traits.measures;
    surfaces_ = traits.surfaces;
    shapefile_ = name_ == "ESRI Shapefile";
  }

  ~GdalSink() override {
    // An unfinished dataset is closed before its temporary folder goes.
    dataset_.reset();
    if (!dxfHeader_.empty()) VSIUnlink(dxfHeader_.c_str());
  }

  std::optional<Stop> Open() {
    const std::string error = place_.Prepare(target_);
    if (!error.empty()) return Stop{DatasetStatus::kError, error};
    CPLStringList options;
    if (name_ == "DXF") {
      // GDAL's DXF header declares the code page ANSI_1252, where Greek layer names and texts
      // cannot stand: the file declares ANSI_1253 (Greek) and its texts are written in it.
      if (const char* header = CPLFindFile("gdal", "header.dxf")) {
        std::ifstream in(header, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t at = text.find("ANSI_1252");
        if (at != std::string::npos) {
          text.replace(at, 9, "ANSI_1253");
          dxfHeader_ = "/vsimem/vortan-dxf-header-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".dxf";
          VSILFILE* file = VSIFOpenL(dxfHeader_.c_str(), "wb");
          if (file && VSIFWriteL(text.data(), 1, text.size(), file) == text.size()) {
            options.SetNameValue("HEADER", dxfHeader_.c_str());
            dxfGreek_ = true;
          }
          if (file) VSIFCloseL(file);
        }
      }
    }
    dataset_.reset(
        driver_->Create(place_.path().c_str(), 0, 0, 0, GDT_Unknown, options.List()));
    if (!dataset_) {
      return Stop{DatasetStatus::kError, DisplayText(target_) + ": cannot be created as " +
                                             name_ + GdalReason(errors_.TakeFailure())};
    }
    crs_ = OutputCrs(request_.to, profile_);
    if (!crs_) {
      return Stop{DatasetStatus::kError, "the CRS of " + std::string(FormName(request_.to)) +
                                             " cannot be made" + GdalReason(errors_.TakeFailure())};
    }
    return std::nullopt;
  }

  std::optional<Stop> BeginLayer(const InputLayer& in) override {
    current_ = {};
    const bool dxf = name_ == "DXF";
    if (dxf && shared_) {
      current_ = *shared_;
      current_.inputFields.clear();
      MapFields(in);
      return Begin();
    }
    OGRwkbGeometryType type = wkbNone;
    if (in.points) {
      type = in.points3D || request_.to == Form::kHtrs07Xyz ? wkbPoint25D : wkbPoint;
    } else if (in.hasGeometry && in.schema->GetGeomFieldCount() > 0) {
      type = in.schema->GetGeomFieldDefn(0)->GetType();
      if (name_ == "FlatGeobuf" && type == wkbUnknown && in.layer) type = MixedLayerType(in);
      if (request_.to == Form::kHtrs07Xyz && type != wkbUnknown) type = wkbSetZ(type);
    }
    current_.tableOut = in.table && name_ == "CSV";
    // Points go into a CSV file as a table with the coordinates in the first columns, the
    // numbers written in full (GDAL's own X, Y, Z columns round them to 15 digits).
    current_.pointColumns = name_ == "CSV" && !in.table && type != wkbNone &&
                            wkbFlatten(type) == wkbPoint;
    const bool columns3D = wkbHasZ(type);
    if (current_.tableOut || current_.pointColumns) type = wkbNone;

    CPLStringList options;
    OGRSpatialReference* crs = crs_.get();
    if (name_ == "GPKG") {
      if (in.layer && in.layer->GetFIDColumn() && *in.layer->GetFIDColumn()) {
        options.SetNameValue("FID", in.layer->GetFIDColumn());
      }
      if (in.layer && in.layer->GetGeometryColumn() && *in.layer->GetGeometryColumn()) {
        options.SetNameValue("GEOMETRY_NAME", in.layer->GetGeometryColumn());
      }
    } else if (name_ == "FlatGeobuf") {
      // FlatGeobuf's spatial index sorts the features along a curve: without it they keep
      // their order.
      options.SetNameValue("SPATIAL_INDEX", "NO");
    } else if (name_ == "ESRI Shapefile") {
      options.SetNameValue("ENCODING", "UTF-8");
      // Text fields are made 254 bytes wide (a field of the input's width in characters may
      // need twice its bytes in UTF-8) and cut back to their longest text when closed.
      options.SetNameValue("RESIZE", "YES");
    } else if (name_ == "CSV") {
      if (type != wkbNone) {
        const OGRwkbGeometryType flat = wkbFlatten(type);
        options.SetNameValue("GEOMETRY", flat == wkbPoint ? (wkbHasZ(type) ? "AS_XYZ" : "AS_XY")
                                                          : "AS_WKT");
      }
      options.SetNameValue("LINEFORMAT", "CRLF");
      options.SetNameValue("STRING_QUOTING", "IF_NEEDED");
      if (csvIn_) {
        options.SetNameValue("SEPARATOR", csvIn_->separator == ';'    ? "SEMICOLON"
                                          : csvIn_->separator == '\t' ? "TAB"
                                                                      : "COMMA");
        if (csvIn_->byteOrderMark) options.SetNameValue("WRITE_BOM", "YES");
      }
    } else if (name_ == "KML" || dxf) {
      // KML is longitude, latitude by definition and a CRS given to the driver would make it
      // reproject through PROJ; DXF has no CRS at all.
      crs = nullptr;
    }
    if (type == wkbNone) crs = nullptr;
    std::string layerName = in.name;
    OGRLayer* out = dataset_->CreateLayer(layerName.c_str(), crs, type, options.List());
    if (!out) {
      std::string failure = errors_.TakeFailure();
      if (name_ == "ESRI Shapefile" && layers_ > 0 &&
          Lower(fs::path(target_).extension().string()) == ".shp") {
        failure = "a .shp file holds one layer; name a folder as the output with --format "
                  "\"ESRI Shapefile\" for one Shapefile per layer";
      }
      return Stop{DatasetStatus::kError, DisplayText(target_) + ": the layer " + Quote(in.name) +
                                             " cannot be created (" + failure + ")"};
    }
    ++layers_;
    current_.layer = out;
    if (current_.pointColumns) {
      const std::array<const char*, 3> names = ColumnNames(request_.to);
      current_.coordinateColumns = columns3D || request_.to == Form::kHtrs07Xyz ? 3 : 2;
      for (int c = 0; c < current_.coordinateColumns; ++c) {
        OGRFieldDefn column(names[static_cast<std::size_t>(c)], OFTString);
        if (out->CreateField(&column) != OGRERR_NONE) {
          return Stop{DatasetStatus::kError, DisplayText(target_) + ": the column " +
                                                 Quote(names[static_cast<std::size_t>(c)]) +
                                                 " cannot be made" + GdalReason(errors_.TakeFailure())};
        }
      }
    }
    current_.layerField = dxf ? out->GetLayerDefn()->GetFieldIndex("Layer") : -1;
    // Further geometry fields where the driver can hold them.
    if (in.hasGeometry && !in.points && !current_.tableOut) {
      for (int g = 1; g < in.schema->GetGeomFieldCount(); ++g) {
        const OGRGeomFieldDefn* defn = in.schema->GetGeomFieldDefn(g);
        OGRGeomFieldDefn copy(defn->GetNameRef(), request_.to == Form::kHtrs07Xyz
                                                      ? wkbSetZ(defn->GetType())
                                                      : defn->GetType());
        copy.SetSpatialRef(crs);
        if (!out->TestCapability(OLCCreateGeomField) || out->CreateGeomField(&copy) != OGRERR_NONE) {
          Note("layer " + Quote(in.name) + ": the geometry field " + Quote(defn->GetNameRef()) +
               " is not written (" + name_ + " holds one geometry per feature)");
        }
      }
    }
    MapFields(in);
    if (dxf) shared_ = current_;
    return Begin();
  }

  std::optional<Stop> Write(const InputLayer& in, Chunk& chunk) override {
    OGRFeatureDefn* defn = current_.layer->GetLayerDefn();
    const bool make3D = request_.to == Form::kHtrs07Xyz;
    for (std::size_t i = 0; i < chunk.size(); ++i) {
      if (chunk.skip[i]) continue;
      OGRFeature& f = *chunk.features[i];
      OGRFeature out(defn);
      out.SetFieldsFrom(&f, current_.inputFields.data(), TRUE);
      const std::size_t v = chunk.first[i];
      if (current_.tableOut) {
        const int columns[3] = {in.columns.x, in.columns.y, in.columns.z};
        const bool geographic = IsGeographic(request_.to);
        const double values[3] = {geographic ? chunk.out.b[v] * 180.0 / kPi : chunk.out.a[v],
                                  geographic ? chunk.out.a[v] * 180.0 / kPi : chunk.out.b[v],
                                  chunk.out.c[v]};
        for (int c = 0; c < 3; ++c) {
          if (columns[c] < 0 || current_.inputFields[static_cast<std::size_t>(columns[c])] < 0) continue;
          out.SetField(current_.inputFields[static_cast<std::size_t>(columns[c])],
                       FormatCell(values[c], in.decimalComma).c_str());
        }
      } else if (current_.pointColumns) {
        if (chunk.first[i + 1] > v) {
          const bool geographic = IsGeographic(request_.to);
          const double values[3] = {geographic ? chunk.out.b[v] * 180.0 / kPi : chunk.out.a[v],
                                    geographic ? chunk.out.a[v] * 180.0 / kPi : chunk.out.b[v],
                                    chunk.out.c[v]};
          for (int c = 0; c < current_.coordinateColumns; ++c) {
            if (c == 2 && !make3D && !(in.points ? in.points3D : f.GetGeometryRef()->Is3D())) continue;
            out.SetField(c, FormatCell(values[c], false).c_str());
          }
        }
      } else if (in.points) {
        if (defn->GetGeomFieldCount() > 0) {
          auto point = std::make_unique<OGRPoint>(0.0, 0.0);
          if (in.points3D) point->set3D(TRUE);
          ScatterVertices(*point, request_.to, make3D, chunk.out, v);
          point->assignSpatialReference(defn->GetGeomFieldDefn(0)->GetSpatialRef());
          out.SetGeomFieldDirectly(0, point.release());
        }
      } else {
        std::size_t at = v;
        for (int g = 0; g < f.GetGeomFieldCount(); ++g) {
          OGRGeometry* geometry = f.GetGeomFieldRef(g);
          if (!geometry) continue;
          if (const char* surface = surfaces_ ? nullptr : SurfaceIn(*geometry)) {
            return Stop{DatasetStatus::kError,
                        FeatureWhere(request_.input, in, chunk, i) + ": its geometry, " +
                            surface + ", cannot be held by " + name_ +
                            " (it would be written as none): write GeoPackage (.gpkg), "
                            "FlatGeobuf (.fgb), GML or a Shapefile, which hold it"};
          }
          at = ScatterVertices(*geometry, request_.to, make3D, chunk.out, at);
          if (g >= defn->GetGeomFieldCount()) continue;
          // The geometry moves into the target CRS with its vertices: it must not keep the
          // input's (a GML writes each geometry's own srsName).
          geometry->assignSpatialReference(defn->GetGeomFieldDefn(g)->GetSpatialRef());
          if (!measures_ && geometry->IsMeasured()) {
            Note("layer " + Quote(in.name) + ": the M values of its geometries are not kept (" +
                 name_ + " holds none); write GeoPackage, FlatGeobuf or a Shapefile to keep "
                 "them");
          }
          out.SetGeomFieldDirectly(g, f.StealGeometry(g));
        }
      }
      if (in.keepFids) out.SetFID(f.GetFID());
      if (f.GetStyleString()) out.SetStyleString(f.GetStyleString());
      if (current_.layerField >= 0 &&
          (!out.IsFieldSetAndNotNull(current_.layerField) ||
           !*out.GetFieldAsString(current_.layerField))) {
        out.SetField(current_.layerField, in.name.c_str());
      }
      if (dxfGreek_) ToWindows1253(in, out);
      if (shapefile_) {
        if (std::optional<Stop> stop = CheckTextWidths(in, chunk, i, out)) return stop;
      }
      // A driver that writes a feature without all of it (a geometry it cannot hold written as
      // none) says so only as an error message.
      const bool created = current_.layer->CreateFeature(&out) == OGRERR_NONE;
      const std::string failure = errors_.TakeFailure();
      if (!created || !failure.empty()) {
        return Stop{DatasetStatus::kError,
                    DisplayText(target_) + ": " + FeatureWhere(request_.input, in, chunk, i) +
                        " cannot be written as " + name_ + GdalReason(failure)};
      }
    }
    return std::nullopt;
  }

  std::optional<Stop> EndLayer(const InputLayer& in) override {
    if (transaction_) {
      transaction_ = false;
      if (dataset_->CommitTransaction() != OGRERR_NONE) {
        return Stop{DatasetStatus::kError, DisplayText(target_) + ": the layer " +
                                               Quote(in.name) + " cannot be written" +
                                               GdalReason(errors_.TakeFailure())};
      }
    }
    if (current_.layer->SyncToDisk() != OGRERR_NONE) {
      return Stop{DatasetStatus::kError, DisplayText(target_) + ": the layer " + Quote(in.name) +
                                             " cannot be written" +
                                             GdalReason(errors_.TakeFailure())};
    }
    return std::nullopt;
  }

  std::optional<Stop> Finish(const std::atomic<bool>* cancel) override {
    // Closing writes what the driver kept back (a GeoPackage's spatial index, the end of a
    // GeoJSON or KML file); GDAL reports a failure then only as an error message.
    errors_.TakeFailure();
    GDALDataset* dataset = dataset_.release();
    GDALClose(dataset);
    const std::string failure = errors_.TakeFailure();
    if (!failure.empty()) {
      return Stop{DatasetStatus::kError,
                  DisplayText(target_) + ": cannot be written" + GdalReason(failure)};
    }
    // Ctrl+C while the driver finished the file (a GeoPackage's spatial index takes seconds).
    if (cancel && cancel->load()) return Stop{DatasetStatus::kCancelled, "nothing written"};
    const std::string error = place_.Commit();
    if (!error.empty()) return Stop{DatasetStatus::kError, error};
    return std::nullopt;
  }

 private:
  struct OutLayer {
    OGRLayer* layer = nullptr;
    std::vector<int> inputFields;  // output field of each input field, -1 where none
    int layerField = -1;           // DXF's "Layer"
    bool tableOut = false;         // a CSV table in, the same table out
    bool pointColumns = false;     // points out as a CSV table
    int coordinateColumns = 0;     // its coordinate columns, the first 2 or 3
  };

  std::optional<Stop> Begin() {
    if (dataset_->TestCapability(ODsCTransactions) && dataset_->StartTransaction() == OGRERR_NONE) {
      transaction_ = true;
    }
    return std::nullopt;
  }

  void Note(const std::string& note) {
    if (std::find(notes_.begin(), notes_.end(), note) == notes_.end()) notes_.push_back(note);
  }

  // A layer of any geometry type into FlatGeobuf, which holds one set of dimensions per layer:
  // the Z and M that any of its geometries has, found by reading them (the 2D geometries of a
  // layer with Z then get Z 0, which a note says).
  OGRwkbGeometryType MixedLayerType(const InputLayer& in) {
    bool anyZ = false, anyM = false, allZ = true, allM = true;
    in.layer->ResetReading();
    for (std::unique_ptr<OGRFeature> f(in.layer->GetNextFeature()); f;
         f.reset(in.layer->GetNextFeature())) {
      const OGRGeometry* g = f->GetGeometryRef();
      if (!g || g->IsEmpty()) continue;
      anyZ = anyZ || g->Is3D();
      anyM = anyM || g->IsMeasured();
      allZ = allZ && g->Is3D();
      allM = allM && g->IsMeasured();
    }
    in.layer->ResetReading();
    if ((anyZ && !allZ) || (anyM && !allM)) {
      Note("layer " + Quote(in.name) + ": FlatGeobuf holds one set of dimensions per layer, and "
           "the layer's geometries differ: those without " +
           std::string(anyZ && !allZ ? (anyM && !allM ? "Z or M" : "Z") : "M") +
           " are written with 0 there; write a GeoPackage to keep each as it is");
    }
    return OGR_GT_SetModifier(wkbUnknown, anyZ, anyM);
  }

  // The texts of a DXF feature in the code page the file declares.
  void ToWindows1253(const InputLayer& in, OGRFeature& out) {
    for (int k = 0; k < out.GetFieldCount(); ++k) {
      if (out.GetFieldDefnRef(k)->GetType() != OFTString || !out.IsFieldSetAndNotNull(k)) continue;
      const char* text = out.GetFieldAsString(k);
      if (IsAscii(text)) continue;
      bool lossless = true;
      const std::string greek = Utf8ToWindows1253(text, lossless);
      if (!lossless) {
        Note("layer " + Quote(in.name) + ": characters that the DXF's code page, Greek " +
             "ANSI_1253, cannot hold are written as ? (in " +
             Quote(out.GetFieldDefnRef(k)->GetNameRef()) + ")");
      }
      out.SetField(k, greek.c_str());
    }
  }
  static bool IsAscii(const char* text) {
    for (; *text; ++text) {
      if (static_cast<unsigned char>(*text) >= 0x80) return false;
    }
    return true;
  }

  // A .dbf text field holds 254 bytes, and in UTF-8 a Greek letter takes two: a longer text
  // would be cut, so the conversion stops naming it.
  std::optional<Stop> CheckTextWidths(const InputLayer& in, const Chunk& chunk, std::size_t i,
                                      const OGRFeature& out) const {
    for (int k = 0; k < out.GetFieldCount(); ++k) {
      if (out.GetFieldDefnRef(k)->GetType() != OFTString || !out.IsFieldSetAndNotNull(k)) continue;
      const std::size_t bytes = std::strlen(out.GetFieldAsString(k));
      if (bytes <= kDbfTextBytes) continue;
      return Stop{DatasetStatus::kError,
                  FeatureWhere(request_.input, in, chunk, i) + ", attribute " +
                      Quote(out.GetFieldDefnRef(k)->GetNameRef()) + ": its text takes " +
                      std::to_string(bytes) + " bytes in UTF-8, more than the " +
                      std::to_string(kDbfTextBytes) +
                      " a Shapefile's .dbf field holds (a Greek letter takes two): write a "
                      "GeoPackage (.gpkg) or FlatGeobuf (.fgb), which hold any text, or "
                      "shorten it"};
    }
    return std::nullopt;
  }
  static constexpr std::size_t kDbfTextBytes = 254;

  void MapFields(const InputLayer& in) {
    OGRLayer* out = current_.layer;
    const int n = in.schema->GetFieldCount();
    current_.inputFields.assign(static_cast<std::size_t>(n), -1);
    const bool renameColumns = current_.tableOut && KindOf(in.from) != KindOf(request_.to);
    const std::array<const char*, 3> targetNames = ColumnNames(request_.to);
    for (int k = 0; k < n; ++k) {
      const OGRFieldDefn* defn = in.schema->GetFieldDefn(k);
      int coordinate = -1;
      if (in.table) {
        if (k == in.columns.x) coordinate = 0;
        if (k == in.columns.y) coordinate = 1;
        if (k == in.columns.z) coordinate = 2;
      }
      // The coordinate columns of a table become the geometry, unless the output is a table.
      if (coordinate >= 0 && !current_.tableOut) continue;
      OGRFieldDefn copy(defn);
      if (coordinate >= 0 && renameColumns) copy.SetName(targetNames[static_cast<std::size_t>(coordinate)]);
      if (shapefile_ && copy.GetType() == OFTString) copy.SetWidth(static_cast<int>(kDbfTextBytes));
      OGRFeatureDefn* outDefn = out->GetLayerDefn();
      const int existing = outDefn->GetFieldIndex(copy.GetNameRef());
      if (existing >= 0) {
        current_.inputFields[static_cast<std::size_t>(k)] = existing;
        continue;
      }
      if (out->CreateField(&copy, TRUE) == OGRERR_NONE) {
        current_.inputFields[static_cast<std::size_t>(k)] = outDefn->GetFieldCount() - 1;
      } else {
        errors_.TakeFailure();
        Note("layer " + Quote(in.name) + ": the attribute " + Quote(defn->GetNameRef()) +
             " is not written (" + name_ + " cannot hold it)");
      }
    }
  }

  GDALDriver* driver_;
  std::string name_;
  std::string target_;
  const DatasetRequest& request_;
  const RegionProfile& profile_;
  ErrorCapture& errors_;
  std::vector<std::string>& notes_;
  std::optional<CsvLayout> csvIn_;
  OutputPlace place_;
  GDALDatasetUniquePtr dataset_;
  std::unique_ptr<OGRSpatialReference> crs_;
  OutLayer current_;
  std::optional<OutLayer> shared_;  // DXF: every input layer into the one layer it has
  bool transaction_ = false;
  int layers_ = 0;
  bool measures_ = true, surfaces_ = true;  // FormatTraits of the output
  std::string dxfHeader_;  // the DXF header with the Greek code page, in GDAL's memory files
  bool dxfGreek_ = false;  // the DXF's texts are written in Windows-1253
  bool shapefile_ = false;
};

// Point features into a record file of the target form's layout, written as the record jobs
// write it; the id from the attribute `id`, else the FID.
class RecordSink : public Sink {
 public:
  RecordSink(std::string target, Form to) : target_(std::move(target)), to_(to) {}
  ~RecordSink() override {
    if (fd_ >= 0 && fd_ != kStandardOutput) CloseFile(fd_);
  }

  std::optional<Stop> Open() {
    if (target_ == "-") {
      fd_ = kStandardOutput;
      return std::nullopt;
    }
    const std::string error = place_.Prepare(target_);
    if (!error.empty()) return Stop{DatasetStatus::kError, error};
    const OpenedOutput opened = OpenForWriting(place_.path());
    if (opened.fd < 0) {
      return Stop{DatasetStatus::kError, DisplayText(target_) + ": cannot be written (" +
                                             SystemReason(opened.error) + ")"};
    }
    fd_ = opened.fd;
    return std::nullopt;
  }

  std::optional<Stop> BeginLayer(const InputLayer&) override { return std::nullopt; }

  std::optional<Stop> Write(const InputLayer& in, Chunk& chunk) override {
    lines_.Clear();
    const NumberPattern* p = PatternsOf(LayoutOf(to_));
    std::string scratch;
    for (std::size_t i = 0; i < chunk.size(); ++i) {
      if (chunk.skip[i]) continue;
      OGRFeature& f = *chunk.features[i];
      if (!in.points) {
        const OGRGeometry* g = f.GetGeometryRef();
        if (!g || wkbFlatten(g->getGeometryType()) != wkbPoint || g->IsEmpty()) {
          return Stop{DatasetStatus::kError,
                      FeatureWhere(in_, in, chunk, i) + ": a record file holds points, and this " +
                          (g ? std::string("is a ") + OGRGeometryTypeToName(g->getGeometryType())
                             : std::string("feature has no geometry")) +
                          "; write lines and polygons to a GIS dataset (.gpkg, .shp, ...)"};
        }
      }
      const int idField = f.GetFieldIndex("id");
      const std::string id = idField >= 0 && f.IsFieldSetAndNotNull(idField)
                                 ? std::string(f.GetFieldAsString(idField))
                                 : std::to_string(f.GetFID());
      const std::size_t v = chunk.first[i];
      double values[3] = {chunk.out.a[v], chunk.out.b[v], chunk.out.c[v]};
      if (IsGeographic(to_)) {
        values[0] = RadiansToDms(values[0]).packed;
        values[1] = RadiansToDms(values[1]).packed;
      }
      LineOut(lines_).Id(WrittenId(id, IdNeedsQuotes(id), scratch))
          .Number(values[0], p[0]).Number(values[1], p[1]).Number(values[2], p[2]).End();
    }
    std::size_t written = 0;
    if (lines_.size() && !WriteAll(fd_, lines_.data(), lines_.size(), written)) {
      return Stop{DatasetStatus::kError, FileDisplayName(target_, false) +
                                             ": cannot be written (" + SystemReason(errno) + ")"};
    }
    return std::nullopt;
  }

  std::optional<Stop> EndLayer(const InputLayer&) override { return std::nullopt; }

  std::optional<Stop> Finish(const std::atomic<bool>* cancel) override {
    if (fd_ == kStandardOutput) return std::nullopt;
    const int fd = fd_;
    fd_ = -1;
    if (!CloseFile(fd)) {
      return Stop{DatasetStatus::kError, DisplayText(target_) + ": cannot be written (" +
                                             SystemReason(errno) + ")"};
    }
    if (cancel && cancel->load()) return Stop{DatasetStatus::kCancelled, "nothing written"};
    const std::string error = place_.Commit();
    if (!error.empty()) return Stop{DatasetStatus::kError, error};
    return std::nullopt;
  }

  std::string in_;

 private:
  std::string target_;
  Form to_;
  int fd_ = -1;
  OutputPlace place_;
  LineBuffer lines_;
};

// ---------------------------------------------------------------------------------------------
// The form of each layer.

// The CRS of a layer, or nullptr where it has none: a GeoPackage says "none" with its two
// undefined systems.
const OGRSpatialReference* Defined(const OGRSpatialReference* crs) {
  if (!crs) return nullptr;
  const std::string name = Lower(crs->GetName() ? crs->GetName() : "");
  if (!crs->GetAuthorityCode(nullptr) &&
      (name == "undefined geographic srs" || name == "undefined cartesian srs")) {
    return nullptr;
  }
  return crs;
}

std::optional<Stop> LayerForm(const std::string& file, InputLayer& layer,
                              const OGRSpatialReference* crs, const DatasetRequest& request,
                              const RegionProfile& profile, std::vector<std::string>& notes) {
  const std::optional<Form> found = crs ? FormOfCrs(*crs, profile) : std::nullopt;
  const bool known = found.has_value();
  const Form knownForm = found.value_or(Form::kHtrs07Xyz);
  const std::string where = DisplayText(file) + ", layer " + Quote(layer.name);
  if (request.from) {
    if (known && knownForm != *request.from) {
      return Stop{DatasetStatus::kError,
                  where + " is in " + CrsDisplayName(*crs) + ", which is " +
                      FormCrsDisplayName(knownForm, profile) + ", but --from says " +
                      FormCrsDisplayName(*request.from, profile) +
                      ": leave out --from to take the form of the CRS, or correct it"};
    }
    if (!known && crs && !CrsAdmitsForm(*crs, *request.from, profile)) {
      return Stop{DatasetStatus::kError,
                  where + " is in " + CrsDisplayName(*crs) + ", which cannot hold " +
                      FormCrsDisplayName(*request.from, profile) +
                      " coordinates as --from says: convert it into one of the five forms "
                      "first, or correct --from"};
    }
    if (!known && crs) {
      notes.push_back("layer " + Quote(layer.name) + ": its CRS " + CrsDisplayName(*crs) +
                      " is taken as " + FormCrsDisplayName(*request.from, profile) +
                      ", as --from says");
    }
    layer.from = *request.from;
    return std::nullopt;
  }
  if (known) {
    layer.from = knownForm;
    return std::nullopt;
  }
  const std::string forms =
      " (htrs07-xyz, htrs07-geographic, htrs07-tm07, ggrs87-geographic, ggrs87-tm87)";
  const std::string region =
      profile.hasGrids ? "" : " in the region " + std::string(profile.name);
  if (crs) {
    return Stop{DatasetStatus::kUsage,
                where + " is in " + CrsDisplayName(*crs) +
                    ", which is not the CRS of any of the five forms" + region +
                    ": give --from FORM if its coordinates are one of them" + forms};
  }
  return Stop{DatasetStatus::kUsage,
              where + " has no CRS: give the form of its coordinates with --from FORM" + forms};
}

// ---------------------------------------------------------------------------------------------
// The conversion.

class Run {
 public:
  Run(const TransformContext& context, const DatasetRequest& request)
      : context_(context), request_(request), profile_(*context.profile) {}

  DatasetOutcome Go() {
    RegisterGdal();
    ScopedWriteOptions writeOptions;
    if (std::optional<Stop> stop = Convert()) {
      outcome_.status = stop->status;
      outcome_.message = stop->message;
    }
    for (const std::string& w : errors_.TakeWarnings()) {
      if (outcome_.notes.size() < kMaxNotes) outcome_.notes.push_back("GDAL: " + w);
    }
    return std::move(outcome_);
  }

 private:
  std::optional<Stop> Convert() {
    const bool recordIn = request_.recordsIn;
    const bool recordOut = request_.recordsOut;
    if (recordIn && recordOut) {
      return Stop{DatasetStatus::kUsage, "both files are record files: that is the record convert"};
    }
    if (!request_.columns.empty() && request_.columns.size() != 2 && request_.columns.size() != 3) {
      return Stop{DatasetStatus::kUsage, "--columns names two or three columns: X,Y or X,Y,Z"};
    }

    // The input and its layers.
    std::vector<std::string> filesRead;
    std::unique_ptr<RecordSource> records;
    if (recordIn) {
      if (!request_.from) {
        return Stop{DatasetStatus::kUsage,
                    "a record file has no CRS: give the form of its points with --from FORM"};
      }
      if (!request_.columns.empty()) {
        return Stop{DatasetStatus::kUsage, "--columns goes with CSV tables, not record files"};
      }
      int fd = kStandardInput;
      if (request_.input != "-") {
        fd = OpenForReading(request_.input);
        if (fd < 0) {
          return Stop{DatasetStatus::kError, DisplayText(request_.input) +
                                                 ": cannot be opened (" + SystemReason(errno) +
                                                 ")"};
        }
        filesRead.push_back(request_.input);
      }
      records = std::make_unique<RecordSource>(request_.input, fd, *request_.from);
      InputLayer layer;
      layer.name = request_.input == "-" ? "points" : fs::path(request_.input).stem().string();
      layer.schema = records->schema();
      layer.from = *request_.from;
      layer.points = true;
      layer.points3D = true;
      layers_.push_back(layer);
    } else {
      if (std::optional<Stop> stop = OpenInput(filesRead)) return stop;
    }

    // The output.
    GDALDriver* driver = nullptr;
    if (!recordOut) {
      if (std::optional<Stop> stop = OutputDriver(driver)) return stop;
      const std::string driverName = driver->GetDescription();
      if (driverName == "KML" && request_.to != Form::kHtrs07Geographic) {
        return Stop{DatasetStatus::kUsage,
                    "KML holds longitude and latitude on WGS 84 only: convert to "
                    "htrs07-geographic (ETRS89, which KML viewers show in place), or write "
                    "another format"};
      }
      const std::string extension = Lower(fs::path(request_.output).extension().string());
      if (driverName == "ESRI Shapefile" && extension == ".shp" && layers_.size() > 1) {
        return Stop{DatasetStatus::kUsage,
                    DisplayText(request_.input) + " has " + std::to_string(layers_.size()) +
                        " layers and a .shp file holds one: name a folder as the output with "
                        "--format \"ESRI Shapefile\" (one Shapefile per layer), or write a "
                        "GeoPackage"};
      }
      if (driverName == "ESRI Shapefile" && request_.to == Form::kHtrs07Xyz) {
        return Stop{DatasetStatus::kUsage,
                    "a Shapefile cannot hold X, Y, Z: its .prj holds no geocentric CRS, so the "
                    "points would read back as a projection; write a GeoPackage (.gpkg), "
                    "FlatGeobuf (.fgb) or CSV (.csv) instead"};
      }
      // The formats that hold no CRS of the target (GeoJSON holds only WGS 84 longitude and
      // latitude, which HTRS07's are within centimetres; GML names a CRS by its EPSG code):
      // the user needs --from to read the file again.
      const CrsDefinition target = CrsOf(request_.to, profile_);
      std::string what;
      if (driverName == "DXF") what = "DXF holds no CRS";
      if (driverName == "KML") what = "KML names no CRS";
      if (driverName == "CSV") what = "CSV holds no CRS";
      if ((driverName == "GeoJSON" || driverName == "GeoJSONSeq") &&
          request_.to != Form::kHtrs07Geographic) {
        what = "GeoJSON holds no CRS but WGS 84 longitude and latitude (GDAL's \"crs\" member "
               "is read by few programs)";
      }
      if (driverName == "GML" && target.epsg == 0) {
        what = "GML names a CRS by its EPSG code only, and " + target.name +
               " has none: the file holds no CRS";
      }
      if (!what.empty()) {
        outcome_.notes.push_back(what + ": the coordinates written are " +
                                 FormCrsDisplayName(request_.to, profile_) +
                                 "; give --from " + std::string(FormName(request_.to)) +
                                 " when you convert the file again");
      }
    }

    // The engine for each input form; the grids are read now that the forms are known.
    std::set<Form> forms;
    for (const InputLayer& layer : layers_) {
      if (layer.hasGeometry || layer.points) forms.insert(layer.from);
    }
    for (Form from : forms) {
      if (request_.prepare) {
        const std::string error = request_.prepare(from);
        if (!error.empty()) return Stop{DatasetStatus::kError, error};
      }
      // Coordinates are written with every digit of the double: the plain routines, so that a
      // file comes out the same on every processor and in the browser.
      conversions_.emplace(from, Conversion(context_, from, request_.to, request_.keepHeights,
                                            Routines::kPlain));
    }
    std::vector<std::string> grids = request_.gridFiles;
    if (!context_.dnPath.empty()) grids.push_back(context_.dnPath);
    if (!context_.dePath.empty()) grids.push_back(context_.dePath);
    if (request_.output != "-") {
      bool needsOverwrite = false;
      if (std::optional<std::string> refused = RefusedOutput(
              request_.output, filesRead, grids, request_.overwrite, needsOverwrite)) {
        return Stop{needsOverwrite ? DatasetStatus::kUsage : DatasetStatus::kError, *refused};
      }
    }

    std::unique_ptr<Sink> sink;
    if (recordOut) {
      auto recordSink = std::make_unique<RecordSink>(request_.output, request_.to);
      recordSink->in_ = request_.input;
      if (std::optional<Stop> stop = recordSink->Open()) return stop;
      sink = std::move(recordSink);
    } else {
      auto gdalSink = std::make_unique<GdalSink>(driver, request_.output, request_, profile_,
                                                 errors_, outcome_.notes, csvLayout_);
      if (std::optional<Stop> stop = gdalSink->Open()) return stop;
      sink = std::move(gdalSink);
    }

    WorkerPool pool(std::max(1, request_.threads));
    outcome_.threadsUsed = pool.threads();
    std::int64_t total = 0;
    for (const InputLayer& layer : layers_) {
      if (layer.total < 0) total = -1;
      if (total >= 0) total += layer.total;
    }
    progress_.featuresTotal = total;

    GdalSource gdalSource(request_.input, errors_);
    if (csvLayout_) gdalSource.separator_ = csvLayout_->separator;
    if (csvText_) gdalSource.rowLines_ = &csvText_->recordLines;
    Source& source = records ? static_cast<Source&>(*records) : gdalSource;
    for (InputLayer& layer : layers_) {
      if (std::optional<Stop> stop = sink->BeginLayer(layer)) return stop;
      if (std::optional<Stop> stop = CopyLayer(layer, source, *sink, pool)) return stop;
      if (std::optional<Stop> stop = sink->EndLayer(layer)) return stop;
      ++outcome_.layers;
    }
    if (request_.cancel && request_.cancel->load()) {
      return Stop{DatasetStatus::kCancelled, "nothing written"};
    }
    if (std::optional<Stop> stop = sink->Finish(request_.cancel)) return stop;
    return std::nullopt;
  }

  // Whether a Shapefile dataset has a layer that GDAL reads without recoding and whose text is
  // not UTF-8.
  static bool UnrecodedNonUtf8Text(GDALDataset& dataset) {
    for (int i = 0; i < dataset.GetLayerCount(); ++i) {
      OGRLayer* layer = dataset.GetLayer(i);
      const char* encoding = layer->GetMetadataItem("SOURCE_ENCODING", "SHAPEFILE");
      if (encoding && *encoding) continue;
      layer->ResetReading();
      bool bad = false;
      for (std::unique_ptr<OGRFeature> f(layer->GetNextFeature()); f && !bad;
           f.reset(layer->GetNextFeature())) {
        for (int k = 0; k < f->GetFieldCount() && !bad; ++k) {
          if (f->GetFieldDefnRef(k)->GetType() == OFTString && f->IsFieldSetAndNotNull(k)) {
            bad = !CPLIsUTF8(f->GetFieldAsString(k), -1);
          }
        }
      }
      layer->ResetReading();
      if (bad) return true;
    }
    return false;
  }

  std::optional<Stop> OpenInput(std::vector<std::string>& filesRead) {
    const unsigned flags = GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR;
    input_.reset(GDALDataset::Open(request_.input.c_str(), flags));
    if (input_ && std::string(input_->GetDriver()->GetDescription()) == "CSV") {
      // A table from a spreadsheet: every cell read as the text it is, the coordinates parsed
      // here (with decimal commas where the separator allows them), a WKT column as geometry.
      input_.reset();
      CPLStringList options;
      options.SetNameValue("AUTODETECT_TYPE", "NO");
      options.SetNameValue("KEEP_GEOM_COLUMNS", "NO");
      options.SetNameValue("HEADERS", "YES");
      options.SetNameValue("EMPTY_STRING_AS_NULL", "NO");
      // A table that is not UTF-8 is Greek Excel's "CSV (delimited)", in Windows-1253: GDAL
      // reads it in UTF-8 from memory, under the file's own name (which names the layer).
      csvText_ = ReadCsvText(request_.input);
      std::string open = request_.input;
      if (csvText_ && csvText_->fromWindows1253) {
        csvMemoryPath_ = "/vsimem/vortan-input/" + fs::path(request_.input).filename().string();
        VSILFILE* file = VSIFileFromMemBuffer(
            csvMemoryPath_.c_str(), reinterpret_cast<GByte*>(csvText_->utf8.data()),
            static_cast<vsi_l_offset>(csvText_->utf8.size()), FALSE);
        if (file) {
          VSIFCloseL(file);
          open = csvMemoryPath_;
          outcome_.notes.push_back(DisplayText(request_.input) +
                                   " is not UTF-8: its text is read as Windows-1253 (Greek "
                                   "Excel's \"CSV (delimited)\") and written in UTF-8");
        } else {
          csvMemoryPath_.clear();
        }
      }
      input_.reset(GDALDataset::Open(open.c_str(), flags, nullptr, options.List()));
      csvLayout_ = SniffCsv(request_.input);
    }
    // A .dbf that names no code page GDAL knows (no .cpg, or "ANSI 1253") is read byte for byte;
    // Greek text that is not UTF-8 then is Windows-1253, the code page of Greek Shapefiles.
    if (input_ && std::string(input_->GetDriver()->GetDescription()) == "ESRI Shapefile" &&
        UnrecodedNonUtf8Text(*input_)) {
      input_.reset();
      CPLStringList options;
      options.SetNameValue("ENCODING", "CP1253");
      input_.reset(GDALDataset::Open(request_.input.c_str(), flags, nullptr, options.List()));
      outcome_.notes.push_back(DisplayText(request_.input) +
                               ": its .dbf names no code page (.cpg) and its text is not UTF-8: "
                               "read as Windows-1253 (Greek), written in UTF-8");
    }
    if (!input_) {
      std::error_code ec;
      const std::string failure = errors_.TakeFailure();
      if (!fs::exists(request_.input, ec)) {
        return Stop{DatasetStatus::kError, DisplayText(request_.input) +
                                               ": cannot be opened (no such file or folder)"};
      }
      return Stop{DatasetStatus::kError,
                  DisplayText(request_.input) + ": is no GIS dataset that GDAL reads" +
                      (failure.empty() ? std::string() : " (" + failure + ")") +
                      "; record files of this program end in .txt"};
    }
    if (csvMemoryPath_.empty()) {
      char** list = input_->GetFileList();
      for (char** p = list; p && *p; ++p) filesRead.emplace_back(*p);
      CSLDestroy(list);
    }
    if (filesRead.empty()) filesRead.push_back(request_.input);

    bool anyTable = false;
    for (int i = 0; i < input_->GetLayerCount(); ++i) {
      OGRLayer* l = input_->GetLayer(i);
      InputLayer layer;
      layer.layer = l;
      layer.name = l->GetName();
      layer.schema = l->GetLayerDefn();
      layer.total = l->GetFeatureCount(FALSE);
      layer.keepFids = (l->GetFIDColumn() && *l->GetFIDColumn()) ||
                       std::string(input_->GetDriver()->GetDescription()) == "GeoJSON";
      const OGRSpatialReference* crs = nullptr;
      if (layer.schema->GetGeomFieldCount() > 0) {
        crs = Defined(layer.schema->GetGeomFieldDefn(0)->GetSpatialRef());
        // GeoJSON and KML are WGS 84 by definition, and GDAL says so of every such file, also
        // of one that names no CRS: that says nothing of the coordinates in it.
        const std::string driver = input_->GetDriver()->GetDescription();
        if (crs && (driver == "GeoJSON" || driver == "GeoJSONSeq" || driver == "KML" ||
                    driver == "LIBKML")) {
          const char* code = crs->GetAuthorityCode(nullptr);
          if (code && (std::string(code) == "4326" || std::string(code) == "4979")) crs = nullptr;
        }
        for (int g = 1; g < layer.schema->GetGeomFieldCount(); ++g) {
          const OGRSpatialReference* other = Defined(layer.schema->GetGeomFieldDefn(g)->GetSpatialRef());
          if ((other == nullptr) != (crs == nullptr) || (other && !other->IsSame(crs))) {
            return Stop{DatasetStatus::kError,
                        DisplayText(request_.input) + ", layer " + Quote(layer.name) +
                            ": its geometry fields are in different CRSs; convert them one at "
                            "a time"};
          }
        }
      } else if (csvLayout_) {
        std::vector<std::string> names;
        for (int k = 0; k < layer.schema->GetFieldCount(); ++k) {
          names.emplace_back(layer.schema->GetFieldDefn(k)->GetNameRef());
        }
        const std::string error = FindCoordinateColumns(names, request_.columns, layer.columns);
        if (!error.empty()) {
          return Stop{DatasetStatus::kUsage, DisplayText(request_.input) + ": " + error};
        }
        layer.table = true;
        layer.points = true;
        layer.points3D = layer.columns.z >= 0;
        anyTable = true;
      } else {
        layer.hasGeometry = false;  // an attribute table: copied as it is
      }
      if (layer.hasGeometry) {
        if (std::optional<Stop> stop =
                LayerForm(request_.input, layer, crs, request_, profile_, outcome_.notes)) {
          return stop;
        }
      }
      layers_.push_back(layer);
    }
    if (!request_.columns.empty() && !anyTable) {
      return Stop{DatasetStatus::kUsage,
                  "--columns goes with CSV tables that hold the coordinates in columns; " +
                      DisplayText(request_.input) + " has geometries"};
    }
    if (layers_.empty()) {
      return Stop{DatasetStatus::kError, DisplayText(request_.input) + ": holds no layer"};
    }
    return std::nullopt;
  }

  std::optional<Stop> OutputDriver(GDALDriver*& driver) {
    std::string name = request_.format;
    if (name.empty()) {
      const std::string extension = Lower(fs::path(request_.output).extension().string());
      for (const DriverByExtension& d : kDatasetExtensions) {
        if (extension == d.extension) name = d.driver;
      }
      if (name.empty()) {
        return Stop{DatasetStatus::kUsage,
                    "the format of the output " + DisplayText(request_.output) +
                        " is not told by its extension (" + KnownExtensions() +
                        ", or .txt for a record file): give --format DRIVER (a GDAL vector "
                        "driver such as GPKG or \"ESRI Shapefile\")"};
      }
    }
    driver = GetGDALDriverManager()->GetDriverByName(name.c_str());
    if (!driver || !driver->GetMetadataItem(GDAL_DCAP_VECTOR) ||
        !driver->GetMetadataItem(GDAL_DCAP_CREATE)) {
      return Stop{DatasetStatus::kUsage, "--format " + Quote(name) +
                                             " is no GDAL driver that writes vector datasets "
                                             "(ogrinfo --formats lists them)"};
    }
    return std::nullopt;
  }

  // Reads, converts and writes the layer chunk by chunk. The engine converts one chunk on its
  // own thread (and the pool) while this thread reads the next chunk through GDAL and writes
  // the one before: reading and writing a dataset cost as much as the computation.
  std::optional<Stop> CopyLayer(InputLayer& layer, Source& source, Sink& sink, WorkerPool& pool) {
    if (layer.layer) layer.layer->ResetReading();
    const Conversion* conversion = nullptr;
    if (auto it = conversions_.find(layer.from); it != conversions_.end()) conversion = &it->second;
    Chunk chunks[2];
    std::optional<Stop> stop;
    // Reads the next chunk; false at the end of the layer (or at a stop).
    auto read = [&](Chunk& chunk) {
      if (request_.cancel && request_.cancel->load()) {
        stop = Stop{DatasetStatus::kCancelled, "nothing written"};
        return false;
      }
      const bool more = source.Next(layer, chunk, stop);
      if (stop) return false;
      chunk.skip.assign(chunk.size(), 0);
      return more || chunk.size() > 0;
    };
    auto convert = [&](Chunk& chunk) -> std::future<BatchOutcome> {
      const std::size_t n = chunk.in.size();
      if (n == 0 || !conversion) return {};
      chunk.out.a.resize(n);
      chunk.out.b.resize(n);
      chunk.out.c.resize(n);
      chunk.status.resize(n);
      return std::async(std::launch::async, [&chunk, conversion, &pool, this] {
        BatchOptions options;
        options.pool = &pool;
        options.cancel = request_.cancel;
        return ConvertBatch(*conversion, chunk.in.a, chunk.in.b, chunk.in.c, chunk.out.a,
                            chunk.out.b, chunk.out.c, chunk.status, options);
      });
    };

    int current = 0;
    bool have = read(chunks[current]);
    if (stop) return stop;
    std::future<BatchOutcome> computing = have ? convert(chunks[current]) : std::future<BatchOutcome>();
    while (have) {
      Chunk& chunk = chunks[current];
      Chunk& next = chunks[1 - current];
      const bool haveNext = chunk.size() > 0 && read(next);
      // The computation of this chunk ends before anything returns: it works on its arrays.
      if (computing.valid()) {
        const BatchOutcome batch = computing.get();
        if (batch.cancelled) return Stop{DatasetStatus::kCancelled, "nothing written"};
        if (std::optional<Stop> s = Check(layer, chunk)) return s;
        outcome_.pointsConverted += chunk.in.size();
      }
      if (stop) return stop;
      std::future<BatchOutcome> nextComputing =
          haveNext ? convert(next) : std::future<BatchOutcome>();
      if (std::optional<Stop> s = sink.Write(layer, chunk)) return s;
      for (std::size_t i = 0; i < chunk.size(); ++i) {
        if (!chunk.skip[i]) ++outcome_.featuresWritten;
      }
      progress_.featuresDone += chunk.size();
      progress_.pointsDone = outcome_.pointsConverted;
      if (request_.progress) request_.progress(progress_);
      computing = std::move(nextComputing);
      have = haveNext;
      current = 1 - current;
    }
    return std::nullopt;
  }

  // The points that failed: a stop, or with --outside skip the features left out.
  std::optional<Stop> Check(const InputLayer& layer, Chunk& chunk) {
    for (std::size_t i = 0; i < chunk.size(); ++i) {
      for (std::size_t v = chunk.first[i]; v < chunk.first[i + 1]; ++v) {
        const PointStatus s = chunk.status[v];
        if (s == PointStatus::kDone) continue;
        const std::string where = VertexWhere(request_.input, layer, chunk, i, v);
        if (s == PointStatus::kOutsideGrid) {
          if (request_.outside == OutsidePolicy::kSkip) {
            chunk.skip[i] = 1;
            outcome_.skipped.push_back({layer.name, chunk.features[i]->GetFID()});
            break;
          }
          return Stop{DatasetStatus::kOutsideGrid,
                      where + ": outside the correction grid. Nothing was written; give "
                              "--outside skip to leave out the features outside the grid"};
        }
        if (s == PointStatus::kOutOfRange) {
          const int bad = GeographicOutOfRange(chunk.in.a[v], chunk.in.b[v]);
          return Stop{DatasetStatus::kError,
                      where + ": a " + RangeFault(bad) +
                          " is no point of the Earth: are the coordinates " +
                          FormCrsDisplayName(layer.from, profile_) +
                          ", with latitude and longitude in their places? Correct the geometry "
                          "or give the right --from"};
        }
        if (s == PointStatus::kNoValue) {
          return Stop{DatasetStatus::kError,
                      where + ": a coordinate is not a number (NaN); correct the geometry"};
        }
        return Stop{DatasetStatus::kError, where + ": the conversion fails there (a numeric "
                                                   "fault); the coordinates are not " +
                                               FormCrsDisplayName(layer.from, profile_)};
      }
    }
    return std::nullopt;
  }

  const TransformContext& context_;
  const DatasetRequest& request_;
  const RegionProfile& profile_;
  ErrorCapture errors_;
  DatasetOutcome outcome_;
  // A CSV table read into memory (before input_, which may read it and goes first).
  std::optional<CsvText> csvText_;
  std::string csvMemoryPath_;  // where GDAL reads it, when it was recoded
  struct MemoryFileRemover {
    std::string& path;
    ~MemoryFileRemover() {
      if (!path.empty()) VSIUnlink(path.c_str());
    }
  } memoryFileRemover_{csvMemoryPath_};
  GDALDatasetUniquePtr input_;
  std::optional<CsvLayout> csvLayout_;
  std::vector<InputLayer> layers_;
  std::map<Form, Conversion> conversions_;
  DatasetProgress progress_;
};

}  // namespace

DatasetOutcome ConvertDataset(const TransformContext& context, const DatasetRequest& request) {
  Run run(context, request);
  return run.Go();
}

}  // namespace vortan::gis
