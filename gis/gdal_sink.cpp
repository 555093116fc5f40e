#include "gis/gdal_sink.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/crs.h"
#include "gis/crs_match.h"
#include "gis/module.h"
#include "io/display_text.h"
#include "io/files.h"
#include "io/text_encoding.h"

namespace vortan::gis {
namespace {

namespace fs = std::filesystem;

std::string KnownExtensions() {
  std::string all;
  for (const DriverByExtension& d : kDatasetExtensions) {
    all += (all.empty() ? "" : ", ") + std::string(d.extension);
  }
  return all;
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

bool IsAscii(const char* text) {
  for (; *text; ++text) {
    if (static_cast<unsigned char>(*text) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::optional<Stop> FindOutputDriver(const DatasetRequest& request, GDALDriver*& driver) {
  std::string name = request.format;
  if (name.empty()) {
    const std::string extension = Lower(fs::path(request.output).extension().string());
    for (const DriverByExtension& d : kDatasetExtensions) {
      if (extension == d.extension) name = d.driver;
    }
    if (name.empty()) {
      return Stop{DatasetStatus::kUsage,
                  "the format of the output " + DisplayText(request.output) +
                      " is not told by its extension (" + KnownExtensions() +
                      ", or .txt for a record file): give --format DRIVER (a GDAL vector driver "
                      "such as GPKG or \"ESRI Shapefile\")"};
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

std::optional<Stop> CheckOutputFormat(const FormatTraits& traits, const DatasetRequest& request,
                                      std::size_t inputLayers, const RegionProfile& profile,
                                      std::vector<std::string>& notes) {
  const std::string driver(traits.driver);
  if (traits.onlyHtrs07Geographic && request.to != Form::kHtrs07Geographic) {
    return Stop{DatasetStatus::kUsage,
                driver + " holds longitude and latitude on WGS 84 only: convert to "
                         "htrs07-geographic (ETRS89, which " + driver +
                    " viewers show in place), or write another format"};
  }
  const std::string extension = Lower(fs::path(request.output).extension().string());
  if (traits.singleLayerExtension && extension == traits.singleLayerExtension &&
      inputLayers > 1) {
    return Stop{DatasetStatus::kUsage,
                DisplayText(request.input) + " has " + std::to_string(inputLayers) +
                    " layers and a .shp file holds one: name a folder as the output with "
                    "--format \"ESRI Shapefile\" (one Shapefile per layer), or write a "
                    "GeoPackage"};
  }
  if (!traits.geocentric && request.to == Form::kHtrs07Xyz) {
    return Stop{DatasetStatus::kUsage,
                "a Shapefile cannot hold X, Y, Z: its .prj holds no geocentric CRS, so the "
                "points would read back as a projection; write a GeoPackage (.gpkg), "
                "FlatGeobuf (.fgb) or CSV (.csv) instead"};
  }
  // The formats that hold no CRS of the target (GeoJSON holds only WGS 84 longitude and
  // latitude, which HTRS07's are within centimetres; GML names a CRS by its EPSG code): the
  // user needs --from to read the file again.
  const CrsDefinition target = CrsOf(request.to, profile);
  std::string what;
  switch (traits.crs) {
    case CrsHeld::kAny: break;
    case CrsHeld::kNone: what = traits.noCrs; break;
    case CrsHeld::kWgs84Geographic:
      if (request.to != Form::kHtrs07Geographic) what = traits.noCrs;
      break;
    case CrsHeld::kEpsgCode:
      if (target.epsg == 0) {
        what = driver + " names a CRS by its EPSG code only, and " + target.name +
               " has none: the file holds no CRS";
      }
      break;
  }
  if (!what.empty()) notes.push_back(NoCrsNote(what, request.to, profile));
  return std::nullopt;
}

GdalSink::GdalSink(GDALDriver* driver, const DatasetRequest& request, const RegionProfile& profile,
                   ErrorCapture& errors, std::vector<std::string>& notes,
                   const std::optional<CsvLayout>& csvIn)
    : driver_(driver), name_(driver->GetDescription()), traits_(TraitsOf(name_)),
      target_(request.output), request_(request), profile_(profile), errors_(errors),
      notes_(notes), csvIn_(csvIn) {}

GdalSink::~GdalSink() {
  // An unfinished dataset is closed before its temporary folder goes.
  dataset_.reset();
  if (!codePageHeader_.empty()) VSIUnlink(codePageHeader_.c_str());
}

std::optional<Stop> GdalSink::Open() {
  const std::string error = place_.Prepare(target_);
  if (!error.empty()) return Stop{DatasetStatus::kError, error};
  std::error_code ec;
  const std::string folder = fs::absolute(place_.folder(), ec).lexically_normal().string();
  checked_.Watch(folder);
  const std::string path =
      CheckedFolder::CheckedPath((fs::path(folder) / fs::path(place_.path()).filename()).string());
  CPLStringList options;
  if (traits_.greekCodePage) {
    // GDAL's DXF header declares the code page ANSI_1252, where Greek layer names and texts
    // cannot stand: the file declares ANSI_1253 (Greek) and its texts are written in it.
    if (const char* header = CPLFindFile("gdal", "header.dxf")) {
      std::ifstream in(header, std::ios::binary);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      const std::size_t at = text.find("ANSI_1252");
      if (at != std::string::npos) {
        text.replace(at, 9, "ANSI_1253");
        codePageHeader_ = "/vsimem/vortan-dxf-header-" +
                          std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".dxf";
        VSILFILE* file = VSIFOpenL(codePageHeader_.c_str(), "wb");
        if (file && VSIFWriteL(text.data(), 1, text.size(), file) == text.size()) {
          options.SetNameValue("HEADER", codePageHeader_.c_str());
          greek_ = true;
        }
        if (file) VSIFCloseL(file);
      }
    }
  }
  {
    // SQLite writes a file through GDAL's file systems only with this option.
    const char* old = CPLGetThreadLocalConfigOption("SQLITE_USE_OGR_VFS", nullptr);
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    CPLSetThreadLocalConfigOption("SQLITE_USE_OGR_VFS", "YES");
    dataset_.reset(driver_->Create(path.c_str(), 0, 0, 0, GDT_Unknown, options.List()));
    CPLSetThreadLocalConfigOption("SQLITE_USE_OGR_VFS", saved ? saved->c_str() : nullptr);
  }
  if (!dataset_) {
    if (std::optional<Stop> stop = WriteStop()) return stop;
    return Stop{DatasetStatus::kError, DisplayText(target_) + ": cannot be created as " + name_ +
                                           GdalReason(errors_.TakeFailure())};
  }
  crs_ = OutputCrs(request_.to, profile_);
  if (!crs_) {
    return Stop{DatasetStatus::kError, "the CRS of " + std::string(FormName(request_.to)) +
                                           " cannot be made" + GdalReason(errors_.TakeFailure())};
  }
  return std::nullopt;
}

std::optional<Stop> GdalSink::BeginLayer(const InputLayer& in) {
  current_ = {};
  if (traits_.oneLayer && shared_) {
    current_ = *shared_;
    current_.inputFields.clear();
    MapFields(in);
    return Begin();
  }
  if (std::optional<Stop> stop = CreateLayer(in)) return stop;
  MapFields(in);
  if (traits_.oneLayer) shared_ = current_;
  return Begin();
}

std::optional<Stop> GdalSink::CreateLayer(const InputLayer& in) {
  const bool make3D = request_.to == Form::kHtrs07Xyz;
  OGRwkbGeometryType type = wkbNone;
  if (in.points) {
    type = in.points3D || make3D ? wkbPoint25D : wkbPoint;
  } else if (in.hasGeometry && in.schema->GetGeomFieldCount() > 0) {
    type = in.schema->GetGeomFieldDefn(0)->GetType();
    if (traits_.oneDimensionPerLayer && type == wkbUnknown && in.layer) type = MixedLayerType(in);
    if (make3D && type != wkbUnknown) type = wkbSetZ(type);
  }
  current_.tableOut = in.table && traits_.table;
  // Points go into a table with the coordinates in the first columns, the numbers written in
  // full (GDAL's own X, Y, Z columns of a CSV round them to 15 digits).
  current_.pointColumns =
      traits_.table && !in.table && type != wkbNone && wkbFlatten(type) == wkbPoint;
  const bool columns3D = wkbHasZ(type);
  if (current_.tableOut || current_.pointColumns) type = wkbNone;

  CPLStringList options;
  if (traits_.keepsFidAndGeometryColumn && in.layer) {
    if (in.layer->GetFIDColumn() && *in.layer->GetFIDColumn()) {
      options.SetNameValue("FID", in.layer->GetFIDColumn());
    }
    if (in.layer->GetGeometryColumn() && *in.layer->GetGeometryColumn()) {
      options.SetNameValue("GEOMETRY_NAME", in.layer->GetGeometryColumn());
    }
  }
  for (const char* option : traits_.layerOptions) {
    if (option) options.AddString(option);
  }
  if (traits_.table) {
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
  }
  OGRSpatialReference* crs = traits_.layersWithoutCrs || type == wkbNone ? nullptr : crs_.get();
  OGRLayer* out = dataset_->CreateLayer(in.name.c_str(), crs, type, options.List());
  if (!out) {
    if (std::optional<Stop> stop = WriteStop()) return stop;
    std::string failure = errors_.TakeFailure();
    if (traits_.singleLayerExtension && layers_ > 0 &&
        Lower(fs::path(target_).extension().string()) == traits_.singleLayerExtension) {
      failure = "a .shp file holds one layer; name a folder as the output with --format "
                "\"ESRI Shapefile\" for one Shapefile per layer";
    }
    return Stop{DatasetStatus::kError, DisplayText(target_) + ": the layer " + Quote(in.name) +
                                           " cannot be created (" + failure + ")"};
  }
  ++layers_;
  current_.layer = out;
  if (current_.pointColumns) {
    current_.coordinateColumns = columns3D || make3D ? 3 : 2;
    const std::array<const char*, 3> wanted = ColumnNames(request_.to);
    std::array<std::string, 3> names{wanted[0], wanted[1], wanted[2]};
    if (current_.coordinateColumns == 2) names[2].clear();
    // An attribute of the name of a coordinate column keeps its column.
    std::vector<std::string> attributes;
    for (int k = 0; k < in.schema->GetFieldCount(); ++k) {
      attributes.emplace_back(in.schema->GetFieldDefn(k)->GetNameRef());
    }
    names = DistinctColumnNames(names, attributes);
    for (int c = 0; c < current_.coordinateColumns; ++c) {
      const std::string& name = names[static_cast<std::size_t>(c)];
      if (name != wanted[static_cast<std::size_t>(c)]) {
        Note(RenamedColumnNote(in.name, wanted[static_cast<std::size_t>(c)], name, true));
      }
      OGRFieldDefn column(name.c_str(), OFTString);
      if (out->CreateField(&column) != OGRERR_NONE) {
        return Stop{DatasetStatus::kError, DisplayText(target_) + ": the column " + Quote(name) +
                                               " cannot be made" +
                                               GdalReason(errors_.TakeFailure())};
      }
    }
  }
  current_.layerField =
      traits_.layerNameField ? out->GetLayerDefn()->GetFieldIndex(traits_.layerNameField) : -1;
  // Further geometry fields where the driver can hold them.
  if (in.hasGeometry && !in.points && !current_.tableOut) {
    for (int g = 1; g < in.schema->GetGeomFieldCount(); ++g) {
      const OGRGeomFieldDefn* defn = in.schema->GetGeomFieldDefn(g);
      OGRGeomFieldDefn copy(defn->GetNameRef(),
                            make3D ? wkbSetZ(defn->GetType()) : defn->GetType());
      copy.SetSpatialRef(crs);
      if (!out->TestCapability(OLCCreateGeomField) ||
          out->CreateGeomField(&copy) != OGRERR_NONE) {
        Note("layer " + Quote(in.name) + ": the geometry field " + Quote(defn->GetNameRef()) +
             " is not written (" + name_ + " holds one geometry per feature)");
      }
    }
  }
  return std::nullopt;
}

std::optional<Stop> GdalSink::Write(const InputLayer& in, Chunk& chunk) {
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
      const std::array<double, 3> values =
          TablePointColumns(request_.to, chunk.out.a[v], chunk.out.b[v], chunk.out.c[v]);
      for (int c = 0; c < 3; ++c) {
        if (columns[c] < 0 || current_.inputFields[static_cast<std::size_t>(columns[c])] < 0) {
          continue;
        }
        out.SetField(current_.inputFields[static_cast<std::size_t>(columns[c])],
                     FormatCell(values[static_cast<std::size_t>(c)], in.decimalComma).c_str());
      }
    } else if (current_.pointColumns) {
      if (chunk.first[i + 1] > v) {
        const std::array<double, 3> values =
            TablePointColumns(request_.to, chunk.out.a[v], chunk.out.b[v], chunk.out.c[v]);
        for (int c = 0; c < current_.coordinateColumns; ++c) {
          if (c == 2 && !make3D && !(in.points ? in.points3D : f.GetGeometryRef()->Is3D())) {
            continue;
          }
          out.SetField(c, FormatCell(values[static_cast<std::size_t>(c)], false).c_str());
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
    } else if (std::optional<Stop> stop = WriteGeometries(in, chunk, i, out)) {
      return stop;
    }
    if (in.keepFids) out.SetFID(f.GetFID());
    if (f.GetStyleString()) out.SetStyleString(f.GetStyleString());
    if (current_.layerField >= 0 && (!out.IsFieldSetAndNotNull(current_.layerField) ||
                                     !*out.GetFieldAsString(current_.layerField))) {
      out.SetField(current_.layerField, in.name.c_str());
    }
    if (traits_.table) GuardFormulas(in, chunk, i, out);
    if (greek_) WriteCodePage(in, out);
    if (traits_.textBytes) {
      if (std::optional<Stop> stop = CheckTextWidths(in, chunk, i, out)) return stop;
    }
    // A driver that writes a feature without all of it (a geometry it cannot hold written as
    // none) says so only as an error message.
    const bool created = current_.layer->CreateFeature(&out) == OGRERR_NONE;
    const std::string failure = errors_.TakeFailure();
    if (!created || !failure.empty()) {
      if (std::optional<Stop> stop = WriteStop()) return stop;
      return Stop{DatasetStatus::kError, DisplayText(target_) + ": " +
                                             FeatureWhere(request_.input, in, chunk, i) +
                                             " cannot be written as " + name_ +
                                             GdalReason(failure)};
    }
  }
  // A text driver goes on after a write the disk did not take: the conversion stops at once.
  return WriteStop();
}

// The geometries of feature i with their converted vertices, moved into the output feature.
std::optional<Stop> GdalSink::WriteGeometries(const InputLayer& in, Chunk& chunk, std::size_t i,
                                              OGRFeature& out) {
  OGRFeatureDefn* defn = current_.layer->GetLayerDefn();
  const bool make3D = request_.to == Form::kHtrs07Xyz;
  OGRFeature& f = *chunk.features[i];
  std::size_t at = chunk.first[i];
  for (int g = 0; g < f.GetGeomFieldCount(); ++g) {
    OGRGeometry* geometry = f.GetGeomFieldRef(g);
    if (!geometry) continue;
    if (const char* surface = traits_.surfaces ? nullptr : SurfaceIn(*geometry)) {
      return Stop{DatasetStatus::kError,
                  FeatureWhere(request_.input, in, chunk, i) + ": its geometry, " + surface +
                      ", cannot be held by " + name_ +
                      " (it would be written as none): write GeoPackage (.gpkg), FlatGeobuf "
                      "(.fgb), GML or a Shapefile, which hold it"};
    }
    at = ScatterVertices(*geometry, request_.to, make3D, chunk.out, at);
    if (g >= defn->GetGeomFieldCount()) continue;
    // The geometry moves into the target CRS with its vertices: it must not keep the input's
    // (a GML writes each geometry's own srsName).
    geometry->assignSpatialReference(defn->GetGeomFieldDefn(g)->GetSpatialRef());
    if (!traits_.measures && geometry->IsMeasured()) {
      Note("layer " + Quote(in.name) + ": the M values of its geometries are not kept (" + name_ +
           " holds none); write GeoPackage, FlatGeobuf or a Shapefile to keep them");
    }
    out.SetGeomFieldDirectly(g, f.StealGeometry(g));
  }
  return std::nullopt;
}

std::optional<Stop> GdalSink::EndLayer(const InputLayer& in) {
  if (const std::string note = guarded_.Note(); !note.empty()) Note(note);
  guarded_ = {};
  if (transaction_) {
    transaction_ = false;
    if (dataset_->CommitTransaction() != OGRERR_NONE) {
      if (std::optional<Stop> stop = WriteStop()) return stop;
      return Stop{DatasetStatus::kError, DisplayText(target_) + ": the layer " + Quote(in.name) +
                                             " cannot be written" +
                                             GdalReason(errors_.TakeFailure())};
    }
  }
  if (current_.layer->SyncToDisk() != OGRERR_NONE) {
    if (std::optional<Stop> stop = WriteStop()) return stop;
    return Stop{DatasetStatus::kError, DisplayText(target_) + ": the layer " + Quote(in.name) +
                                           " cannot be written" +
                                           GdalReason(errors_.TakeFailure())};
  }
  return WriteStop();
}

std::optional<Stop> GdalSink::Finish(const std::atomic<bool>* cancel) {
  // Closing writes what the driver kept back (a GeoPackage's spatial index, the end of a
  // GeoJSON or KML file); GDAL reports a failure then only as an error message.
  errors_.TakeFailure();
  GDALDataset* dataset = dataset_.release();
  GDALClose(dataset);
  const std::string failure = errors_.TakeFailure();
  // What the disk did not take, which GDAL's text writers do not say.
  if (std::optional<Stop> stop = WriteStop()) return stop;
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

std::optional<Stop> GdalSink::Begin() {
  if (dataset_->TestCapability(ODsCTransactions) && dataset_->StartTransaction() == OGRERR_NONE) {
    transaction_ = true;
  }
  return std::nullopt;
}

// The stop for a file of the dataset that the disk did not take whole, if any: the output is
// not put in place.
std::optional<Stop> GdalSink::WriteStop() const {
  const std::optional<WriteFailure> failure = checked_.Failure();
  if (!failure) return std::nullopt;
  const std::string file = fs::path(failure->file).filename().string();
  const std::string own = fs::path(target_).filename().string();
  std::error_code ec;
  return Stop{DatasetStatus::kError,
              DisplayText(target_) + (file == own ? "" : " (its file " + DisplayText(file) + ")") +
                  ": cannot be written (" +
                  (failure->error ? SystemReason(failure->error)
                                  : std::string("the system took fewer bytes than were written")) +
                  "); nothing was put in place" +
                  (fs::exists(fs::symlink_status(target_, ec)) ? " and the old output is as it was"
                                                                 : "") +
                  ": make room on the device or name an output elsewhere"};
}

void GdalSink::Note(const std::string& note) {
  if (std::find(notes_.begin(), notes_.end(), note) == notes_.end()) notes_.push_back(note);
}

// A layer of any geometry type into a format that holds one set of dimensions per layer: the Z
// and M that any of its geometries has, found by reading them (the 2D geometries of a layer
// with Z then get Z 0, which a note says).
OGRwkbGeometryType GdalSink::MixedLayerType(const InputLayer& in) {
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
    Note("layer " + Quote(in.name) + ": " + name_ +
         " holds one set of dimensions per layer, and the layer's geometries differ: those "
         "without " +
         std::string(anyZ && !allZ ? (anyM && !allM ? "Z or M" : "Z") : "M") +
         " are written with 0 there; write a GeoPackage to keep each as it is");
  }
  return OGR_GT_SetModifier(wkbUnknown, anyZ, anyM);
}

// The texts of a feature that a spreadsheet would run as formulas, guarded (GuardedCell).
void GdalSink::GuardFormulas(const InputLayer& in, const Chunk& chunk, std::size_t i,
                             OGRFeature& out) {
  for (int k = 0; k < out.GetFieldCount(); ++k) {
    if (out.GetFieldDefnRef(k)->GetType() != OFTString || !out.IsFieldSetAndNotNull(k)) continue;
    const std::string text = out.GetFieldAsString(k);
    const std::string guarded = guarded_.Guard(text, [&] {
      return FeatureWhere(request_.input, in, chunk, i) + ", column " +
             Quote(out.GetFieldDefnRef(k)->GetNameRef()) + ": \"" + DisplayText(text) + "\"";
    });
    if (guarded != text) out.SetField(k, guarded.c_str());
  }
}

// The texts of a feature in the Greek code page the file declares.
void GdalSink::WriteCodePage(const InputLayer& in, OGRFeature& out) {
  for (int k = 0; k < out.GetFieldCount(); ++k) {
    if (out.GetFieldDefnRef(k)->GetType() != OFTString || !out.IsFieldSetAndNotNull(k)) continue;
    const char* text = out.GetFieldAsString(k);
    if (IsAscii(text)) continue;
    bool lossless = true;
    const std::string greek = Utf8ToWindows1253(text, lossless);
    if (!lossless) {
      Note("layer " + Quote(in.name) + ": characters that the " + name_ +
           "'s code page, Greek ANSI_1253, cannot hold are written as ? (in " +
           Quote(out.GetFieldDefnRef(k)->GetNameRef()) + ")");
    }
    out.SetField(k, greek.c_str());
  }
}

// A .dbf text field holds 254 bytes, and in UTF-8 a Greek letter takes two: a longer text
// would be cut, so the conversion stops naming it.
std::optional<Stop> GdalSink::CheckTextWidths(const InputLayer& in, const Chunk& chunk,
                                              std::size_t i, const OGRFeature& out) const {
  for (int k = 0; k < out.GetFieldCount(); ++k) {
    if (out.GetFieldDefnRef(k)->GetType() != OFTString || !out.IsFieldSetAndNotNull(k)) continue;
    const std::size_t bytes = std::strlen(out.GetFieldAsString(k));
    if (bytes <= traits_.textBytes) continue;
    return Stop{DatasetStatus::kError,
                FeatureWhere(request_.input, in, chunk, i) + ", attribute " +
                    Quote(out.GetFieldDefnRef(k)->GetNameRef()) + ": its text takes " +
                    std::to_string(bytes) + " bytes in UTF-8, more than the " +
                    std::to_string(traits_.textBytes) +
                    " a Shapefile's .dbf field holds (a Greek letter takes two): write a "
                    "GeoPackage (.gpkg) or FlatGeobuf (.fgb), which hold any text, or shorten "
                    "it"};
  }
  return std::nullopt;
}

void GdalSink::MapFields(const InputLayer& in) {
  OGRLayer* out = current_.layer;
  const int n = in.schema->GetFieldCount();
  current_.inputFields.assign(static_cast<std::size_t>(n), -1);
  const bool renameColumns = current_.tableOut && RenamesColumns(in.from, request_.to);
  // The coordinate columns renamed: apart from every other column of the table, which keeps
  // its own.
  std::array<std::string, 3> targetNames;
  if (renameColumns) {
    const int columns[3] = {in.columns.x, in.columns.y, in.columns.z};
    const std::array<const char*, 3> wanted = ColumnNames(request_.to);
    std::vector<std::string> others;
    for (int k = 0; k < n; ++k) {
      if (k != in.columns.x && k != in.columns.y && k != in.columns.z) {
        others.emplace_back(in.schema->GetFieldDefn(k)->GetNameRef());
      }
    }
    for (std::size_t c = 0; c < 3; ++c) {
      if (columns[c] >= 0) targetNames[c] = wanted[c];
    }
    targetNames = DistinctColumnNames(targetNames, others);
    for (std::size_t c = 0; c < 3; ++c) {
      if (columns[c] >= 0 && targetNames[c] != wanted[c]) {
        Note(RenamedColumnNote(in.name, wanted[c], targetNames[c], true));
      }
    }
  }
  for (int k = 0; k < n; ++k) {
    const OGRFieldDefn* defn = in.schema->GetFieldDefn(k);
    int coordinate = -1;
    if (in.table) {
      if (k == in.columns.x) coordinate = 0;
      if (k == in.columns.y) coordinate = 1;
      if (k == in.columns.z) coordinate = 2;
    }
    // The coordinate columns of a table become the geometry, unless the output is a table;
    // the text of a WKT column is the geometry's.
    if (coordinate >= 0 && !current_.tableOut) continue;
    if (std::find(in.wktFields.begin(), in.wktFields.end(), k) != in.wktFields.end()) continue;
    OGRFieldDefn copy(defn);
    if (coordinate >= 0 && renameColumns) {
      copy.SetName(targetNames[static_cast<std::size_t>(coordinate)].c_str());
    }
    if (traits_.textBytes && copy.GetType() == OFTString) {
      copy.SetWidth(static_cast<int>(traits_.textBytes));
    }
    OGRFeatureDefn* outDefn = out->GetLayerDefn();
    int existing = outDefn->GetFieldIndex(copy.GetNameRef());
    // A column of the name of an earlier one (a table's header "a,a", or "a,A", which GDAL
    // takes for the same) is written beside it under a name of its own.
    const auto earlier = current_.inputFields.begin() + k;
    if (existing >= 0 && !traits_.oneLayer &&
        std::find(current_.inputFields.begin(), earlier, existing) != earlier) {
      std::vector<std::string> taken;
      for (int f = 0; f < outDefn->GetFieldCount(); ++f) {
        taken.emplace_back(outDefn->GetFieldDefn(f)->GetNameRef());
      }
      const std::string name = DistinctColumnNames({copy.GetNameRef(), "", ""}, taken)[0];
      Note(RenamedColumnNote(in.name, copy.GetNameRef(), name, false));
      copy.SetName(name.c_str());
      existing = -1;
    }
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

}  // namespace vortan::gis
