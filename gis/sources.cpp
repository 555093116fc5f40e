#include "gis/sources.h"

#include <cpl_string.h>
#include <cpl_vsi.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string_view>

#include "core/float_chars.h"
#include "core/numeric_guard.h"
#include "data_files/jobs.h"
#include "data_files/record_reader.h"
#include "data_files/records.h"
#include "gis/crs_match.h"
#include "gis/format_traits.h"
#include "io/display_text.h"
#include "io/files.h"

namespace vortan::gis {
namespace {

namespace fs = std::filesystem;

// What is wrong with the WKT text of a CSV cell, or nullptr where it is empty or one whole
// geometry: GDAL reads "POINT (48O000 4200000)" as the point (48 4200000), and reads no
// geometry at all from a WKT it cannot parse; here every number must be read in full, and be
// one of the geometry's coordinates, and nothing may follow the geometry.
const char* WktFault(const char* text) {
  const std::string_view all(text);
  if (all.find_first_not_of(" \t\r\n") == std::string_view::npos) return nullptr;
  const char* rest = text;
  OGRGeometry* parsed = nullptr;
  const OGRErr error = OGRGeometryFactory::createFromWkt(&rest, nullptr, &parsed);
  std::unique_ptr<OGRGeometry> geometry(parsed);
  if (error != OGRERR_NONE || !geometry) return "is no WKT geometry that can be read";
  if (std::string_view(rest).find_first_not_of(" \t\r\n") != std::string_view::npos) {
    return "goes on after its geometry";
  }
  // The numbers of the text, each read whole.
  std::size_t numbers = 0;
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = std::min(all.find_first_of(" \t\r\n(),", at), all.size());
    if (end == at) {
      ++at;
      continue;
    }
    const std::string token(all.substr(at, end - at));
    const char c = token[0];
    if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') {
      double value = 0;
      const auto r = DoubleFromChars(token.data() + (c == '+' ? 1 : 0),
                                     token.data() + token.size(), value);
      if (r.ec != std::errc() || r.ptr != token.data() + token.size()) {
        return "holds a coordinate that is not a number";
      }
      ++numbers;
    }
    at = end;
  }
  VertexArrays vertices;
  if (!GatherVertices(*geometry, Form::kHtrs07Tm07, vertices)) return nullptr;
  if (numbers != vertices.size() * static_cast<std::size_t>(geometry->CoordinateDimension())) {
    return "holds more or fewer coordinates than its geometry takes";
  }
  return nullptr;
}

// The features of a GDAL layer, their vertices from their geometries or, for a CSV table, from
// the coordinate columns.
class GdalSource : public Source {
 public:
  // separator: a CSV table's; rowLines: the line where each row of a CSV table begins
  // (ReadCsvText), or nullptr.
  GdalSource(std::string file, ErrorCapture& errors, char separator,
             const std::vector<std::uint64_t>* rowLines, bool skipBadWkt,
             std::vector<std::string>& notes)
      : file_(std::move(file)), errors_(errors), separator_(separator), rowLines_(rowLines),
        skipBadWkt_(skipBadWkt), notes_(notes) {}

  bool Next(InputLayer& layer, Chunk& chunk, std::optional<Stop>& stop) override {
    chunk.clear();
    while (chunk.size() < kChunkFeatures && chunk.in.size() < kChunkVertices) {
      std::unique_ptr<OGRFeature> f(layer.layer->GetNextFeature());
      if (!f) {
        if (const std::string note = badWkt_.Note(layer.name); !note.empty()) {
          notes_.push_back(note);
          badWkt_ = {};
        }
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
      const bool csvRow = layer.table || !layer.wktFields.empty();
      // A row of empty cells (",,,", as Excel writes its formatted empty rows) is no feature,
      // like a blank line.
      if (layer.table && EmptyRow(*f)) continue;
      chunk.features.push_back(std::move(f));
      chunk.lines.push_back(csvRow ? RowLine(chunk.features.back()->GetFID()) : 0);
      const std::size_t i = chunk.size() - 1;
      if (!layer.wktFields.empty() && !WholeWkt(layer, chunk, i, stop)) {
        if (stop) return false;
        chunk.features.pop_back();  // left out: --outside skip
        chunk.lines.pop_back();
        continue;
      }
      if (layer.table) {
        if (!TableVertex(layer, chunk, i, stop)) return false;
      } else if (!GeometryVertices(layer, chunk, i, stop)) {
        return false;
      }
      chunk.first.push_back(chunk.in.size());
    }
    return true;
  }

 private:
  bool GeometryVertices(const InputLayer& layer, Chunk& chunk, std::size_t i,
                        std::optional<Stop>& stop) {
    OGRFeature& feature = *chunk.features[i];
    for (int g = 0; g < feature.GetGeomFieldCount(); ++g) {
      OGRGeometry* geometry = feature.GetGeomFieldRef(g);
      if (!geometry) continue;
      if (layer.from == Form::kHtrs07Xyz && !geometry->Is3D() && !geometry->IsEmpty()) {
        stop = Stop{DatasetStatus::kError,
                    FeatureWhere(file_, layer, chunk, i) +
                        ": a 2D geometry cannot hold X, Y, Z; give the form of its coordinates "
                        "with --from"};
        return false;
      }
      if (!GatherVertices(*geometry, layer.from, chunk.in)) {
        stop = Stop{DatasetStatus::kError,
                    FeatureWhere(file_, layer, chunk, i) + ": its geometry type " +
                        OGRGeometryTypeToName(geometry->getGeometryType()) +
                        " is not one this program converts; convert it to lines or polygons "
                        "first"};
        return false;
      }
    }
    return true;
  }

  bool TableVertex(InputLayer& layer, Chunk& chunk, std::size_t i, std::optional<Stop>& stop) {
    OGRFeature& f = *chunk.features[i];
    for (int k = 0; k < f.GetFieldCount(); ++k) {
      if (f.IsFieldSetAndNotNull(k) && !CPLIsUTF8(f.GetFieldAsString(k), -1)) {
        stop = Stop{DatasetStatus::kError, FeatureWhere(file_, layer, chunk, i) +
                                               NotUtf8Cell(f.GetFieldDefnRef(k)->GetNameRef())};
        return false;
      }
    }
    double v[3] = {0, 0, 0};
    const int columns[3] = {layer.columns.x, layer.columns.y, layer.columns.z};
    for (int c = 0; c < 3; ++c) {
      if (columns[c] < 0) continue;
      const char* cell = f.IsFieldSetAndNotNull(columns[c]) ? f.GetFieldAsString(columns[c]) : "";
      const std::string error =
          ReadCoordinateCell(cell, f.GetFieldDefnRef(columns[c])->GetNameRef(), separator_ != ',',
                             layer.decimalComma, v[c]);
      if (!error.empty()) {
        stop = Stop{DatasetStatus::kError, FeatureWhere(file_, layer, chunk, i) + error};
        return false;
      }
    }
    AppendTablePoint(layer.from, v, chunk.in.a, chunk.in.b, chunk.in.c);
    return true;
  }

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

  // Whether the WKT cells of feature i parse whole, every number of them read in full into its
  // geometry: true; else false, with a stop or (skipBadWkt_) the feature noted as left out.
  bool WholeWkt(const InputLayer& layer, const Chunk& chunk, std::size_t i,
                std::optional<Stop>& stop) {
    const OGRFeature& f = *chunk.features[i];
    for (int k : layer.wktFields) {
      const char* text = f.IsFieldSetAndNotNull(k) ? f.GetFieldAsString(k) : "";
      const char* why = WktFault(text);
      if (!why) continue;
      const std::string where = FeatureWhere(file_, layer, chunk, i) + ", column " +
                                Quote(f.GetFieldDefnRef(k)->GetNameRef()) + ": \"" +
                                DisplayText(text) + "\" " + why;
      if (skipBadWkt_) {
        badWkt_.Add(where);
        return false;
      }
      stop = Stop{DatasetStatus::kError,
                  where + "; correct the cell (a geometry such as POINT (480000.5 4200000.25), "
                          "numbers with a decimal point, blanks between the coordinates, "
                          "commas between the points), or give --outside skip to leave the "
                          "row out"};
      return false;
    }
    return true;
  }

  // The rows left out for their WKT, by layer.
  struct LeftOut {
    std::uint64_t count = 0;
    std::string first;
    void Add(const std::string& where) {
      if (count++ == 0) first = where;
    }
    std::string Note(const std::string& layer) const {
      if (count == 0) return "";
      return "layer " + Quote(layer) + ": " + std::to_string(count) +
             (count == 1 ? " row is" : " rows are") +
             " left out, as --outside skip says, for a WKT geometry that does not parse whole; "
             "the first: " + first;
    }
  };

  std::string file_;
  ErrorCapture& errors_;
  char separator_;
  const std::vector<std::uint64_t>* rowLines_;
  bool skipBadWkt_;
  std::vector<std::string>& notes_;
  LeftOut badWkt_;
  std::uint64_t done_ = 0;
};

// The records of a record file, through the system's own record reader: one point feature per
// record with the id in the attribute `id`.
class RecordSource : public Source {
 public:
  RecordSource(std::string file, int fd, Form from, std::vector<std::string>& notes)
      : file_(std::move(file)), fd_(fd), names_(CoordinateNames(from)), reader_(fd, names_),
        schema_(new OGRFeatureDefn("points")), notes_(notes) {
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
        for (int k = 0; k < 2; ++k) {
          if (PackedBelowHundred(v[k]) && degrees_.count++ == 0) {
            degrees_.point = DisplayText(batch_.Field(r.id)) + " (" + DisplayText(file_) +
                             ", line " + std::to_string(r.numbers[k].line) + ")";
            degrees_.field = std::string(names_[k]);
            degrees_.text = std::string(batch_.Field(r.numbers[k]));
            degrees_.value = v[k];
          }
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
      if (degrees_.count > 0) {
        notes_.push_back(DecimalDegreesNote(degrees_.field, {degrees_.point, degrees_.point},
                                            degrees_.text, degrees_.value, degrees_.count)
                             .english);
      }
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
  std::vector<std::string>& notes_;
  // Packed angles below 100, as the record jobs note them: how many, and the first.
  struct {
    std::uint64_t count = 0;
    std::string point, field, text;
    double value = 0;
  } degrees_;
  std::uint64_t records_ = 0;
  bool ended_ = false;
};

// Whether a Shapefile dataset has a layer that GDAL reads without recoding and whose text is
// not UTF-8.
bool UnrecodedNonUtf8Text(GDALDataset& dataset) {
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

// The form of a layer from its CRS and --from: the CRS's form where it is one of ours (and
// --from agrees), else --from (where the CRS may hold it).
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
  const std::string forms = " (" + FormNameList() + ")";
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

}  // namespace

DatasetInput::DatasetInput(const DatasetRequest& request, const RegionProfile& profile,
                           ErrorCapture& errors, std::vector<std::string>& notes)
    : request_(request), profile_(profile), errors_(errors), notes_(notes) {}

DatasetInput::~DatasetInput() = default;

DatasetInput::MemoryFileRemover::~MemoryFileRemover() {
  if (!path.empty()) VSIUnlink(path.c_str());
}

std::optional<Stop> DatasetInput::Open() {
  return request_.recordsIn ? OpenRecords() : OpenDataset();
}

std::optional<Stop> DatasetInput::OpenRecords() {
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
      return Stop{DatasetStatus::kError, DisplayText(request_.input) + ": cannot be opened (" +
                                             SystemReason(errno) + ")"};
    }
    filesRead_.push_back(request_.input);
  }
  auto records = std::make_unique<RecordSource>(request_.input, fd, *request_.from, notes_);
  InputLayer layer;
  layer.name = request_.input == "-" ? "points" : fs::path(request_.input).stem().string();
  layer.schema = records->schema();
  layer.from = *request_.from;
  layer.points = true;
  layer.points3D = true;
  layers_.push_back(layer);
  source_ = std::move(records);
  return std::nullopt;
}

// A table from a spreadsheet: its text read once (the line of each row, the separator and
// byte-order mark, Windows-1253 recoded), every cell given by GDAL as the text it is, the
// coordinates parsed here (with decimal commas where the separator allows them), a WKT column
// as geometry.
void DatasetInput::OpenTable(unsigned flags) {
  CPLStringList options;
  options.SetNameValue("AUTODETECT_TYPE", "NO");
  // A WKT column is read as the geometry and kept as text, which must parse whole.
  options.SetNameValue("KEEP_GEOM_COLUMNS", "YES");
  options.SetNameValue("HEADERS", "YES");
  options.SetNameValue("EMPTY_STRING_AS_NULL", "NO");
  csvText_ = ReadCsvText(request_.input);
  // A table that is not UTF-8 is Greek Excel's "CSV (delimited)", in Windows-1253: GDAL reads
  // it in UTF-8 from memory, under the file's own name (which names the layer).
  std::string open = request_.input;
  if (csvText_ && csvText_->fromWindows1253) {
    memoryPath_ = "/vsimem/vortan-input/" + fs::path(request_.input).filename().string();
    VSILFILE* file = VSIFileFromMemBuffer(
        memoryPath_.c_str(), reinterpret_cast<GByte*>(csvText_->utf8.data()),
        static_cast<vsi_l_offset>(csvText_->utf8.size()), FALSE);
    if (file) {
      VSIFCloseL(file);
      open = memoryPath_;
      notes_.push_back(RecodedNote(request_.input));
    } else {
      memoryPath_.clear();
    }
  }
  const char* const csvOnly[] = {"CSV", nullptr};
  dataset_.reset(GDALDataset::Open(open.c_str(), flags, csvOnly, options.List()));
  if (csvText_) csvLayout_ = csvText_->layout;
}

std::optional<Stop> DatasetInput::OpenDataset() {
  const unsigned flags = GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR;
  if (TraitsOf(IdentifiedDriver(request_.input)).table) {
    OpenTable(flags);
  } else {
    dataset_.reset(GDALDataset::Open(request_.input.c_str(), flags));
    // A table that GDAL's identification missed: opened again as a table.
    if (dataset_ && TraitsOf(dataset_->GetDriver()->GetDescription()).table) {
      dataset_.reset();
      OpenTable(flags);
    }
  }
  // A .dbf that names no code page GDAL knows (no .cpg, or "ANSI 1253") is read byte for byte;
  // Greek text that is not UTF-8 then is Windows-1253, the code page of Greek Shapefiles.
  if (dataset_ && TraitsOf(dataset_->GetDriver()->GetDescription()).dbfCodePage &&
      UnrecodedNonUtf8Text(*dataset_)) {
    dataset_.reset();
    CPLStringList options;
    options.SetNameValue("ENCODING", "CP1253");
    dataset_.reset(GDALDataset::Open(request_.input.c_str(), flags, nullptr, options.List()));
    notes_.push_back(DisplayText(request_.input) +
                     ": its .dbf names no code page (.cpg) and its text is not UTF-8: read as "
                     "Windows-1253 (Greek), written in UTF-8");
  }
  if (!dataset_) {
    std::error_code ec;
    const std::string failure = errors_.TakeFailure();
    if (!fs::exists(request_.input, ec)) {
      return Stop{DatasetStatus::kError, DisplayText(request_.input) +
                                             ": cannot be opened (no such file or folder)"};
    }
    if (std::optional<std::string> why = VirtualDatasetFile(request_.input)) {
      return Stop{DatasetStatus::kError, *why};
    }
    return Stop{DatasetStatus::kError,
                DisplayText(request_.input) + ": is no GIS dataset that GDAL reads" +
                    (failure.empty() ? std::string() : " (" + failure + ")") +
                    "; record files of this program end in .txt"};
  }
  if (memoryPath_.empty()) {
    char** list = dataset_->GetFileList();
    for (char** p = list; p && *p; ++p) filesRead_.emplace_back(*p);
    CSLDestroy(list);
  }
  if (filesRead_.empty()) filesRead_.push_back(request_.input);
  if (std::optional<Stop> stop = AddLayers()) return stop;
  source_ = std::make_unique<GdalSource>(request_.input, errors_,
                                         csvLayout_ ? csvLayout_->separator : ',',
                                         csvText_ ? &csvText_->recordLines : nullptr,
                                         request_.outside == OutsidePolicy::kSkip, notes_);
  return std::nullopt;
}

std::optional<Stop> DatasetInput::AddLayers() {
  const FormatTraits traits = TraitsOf(dataset_->GetDriver()->GetDescription());
  bool anyTable = false;
  for (int i = 0; i < dataset_->GetLayerCount(); ++i) {
    OGRLayer* l = dataset_->GetLayer(i);
    InputLayer layer;
    layer.layer = l;
    layer.name = l->GetName();
    layer.schema = l->GetLayerDefn();
    layer.total = l->GetFeatureCount(FALSE);
    layer.keepFids = (l->GetFIDColumn() && *l->GetFIDColumn()) || traits.keepsFids;
    const OGRSpatialReference* crs = nullptr;
    if (layer.schema->GetGeomFieldCount() > 0) {
      crs = DefinedCrs(layer.schema->GetGeomFieldDefn(0)->GetSpatialRef());
      // GeoJSON and KML are WGS 84 by definition, and GDAL says so of every such file, also
      // of one that names no CRS: that says nothing of the coordinates in it.
      if (crs && traits.wgs84ByDefinition) {
        const char* code = crs->GetAuthorityCode(nullptr);
        if (code && (std::string(code) == "4326" || std::string(code) == "4979")) crs = nullptr;
      }
      for (int g = 1; g < layer.schema->GetGeomFieldCount(); ++g) {
        const OGRSpatialReference* other =
            DefinedCrs(layer.schema->GetGeomFieldDefn(g)->GetSpatialRef());
        if ((other == nullptr) != (crs == nullptr) || (other && !other->IsSame(crs))) {
          return Stop{DatasetStatus::kError,
                      DisplayText(request_.input) + ", layer " + Quote(layer.name) +
                          ": its geometry fields are in different CRSs; convert them one at a "
                          "time"};
        }
      }
      // A table's WKT columns (GDAL's geometry fields, "WKT" or "_WKT..."), kept as text.
      for (int k = 0; csvLayout_ && k < layer.schema->GetFieldCount(); ++k) {
        const std::string name = Lower(layer.schema->GetFieldDefn(k)->GetNameRef());
        if (name == "wkt" || name.rfind("_wkt", 0) == 0) layer.wktFields.push_back(k);
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
              LayerForm(request_.input, layer, crs, request_, profile_, notes_)) {
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

}  // namespace vortan::gis
