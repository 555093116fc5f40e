// What each GDAL driver holds of what a conversion carries, and how it is read and written: the
// one table that the reading of a dataset and the GDAL sink consult, by driver name. A driver
// not in the table has the traits of a plain format that holds everything (GDAL then says what
// it cannot do).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace vortan::gis {

// How a format holds the CRS of the coordinates written.
enum class CrsHeld {
  kAny,              // any CRS (GeoPackage, a Shapefile's .prj, FlatGeobuf)
  kEpsgCode,         // a CRS named by its EPSG code only (GML)
  kWgs84Geographic,  // WGS 84 longitude and latitude only (GeoJSON)
  kNone,             // none (DXF, CSV; KML, which is WGS 84 longitude and latitude by definition)
};

struct FormatTraits {
  std::string_view driver;
  // What the format holds.
  bool measures = true;    // M values
  bool surfaces = true;    // TINs, polyhedral surfaces and triangles
  bool geocentric = true;  // X, Y, Z in a geocentric CRS (a Shapefile's .prj holds none)
  CrsHeld crs = CrsHeld::kAny;
  const char* noCrs = "";  // the note's words for a file that holds no CRS of the target
  // Layers are created without a CRS: KML would reproject through PROJ, DXF has none.
  bool layersWithoutCrs = false;
  // Longitude and latitude on WGS 84 only, which htrs07-geographic is within centimetres.
  bool onlyHtrs07Geographic = false;
  // How it is written.
  const char* singleLayerExtension = nullptr;  // a file of this extension holds one layer
  bool oneLayer = false;                 // every input layer goes into the format's one layer
  const char* layerNameField = nullptr;  // the field that names each feature's layer
  bool greekCodePage = false;            // texts in Windows-1253, declared in the header
  bool oneDimensionPerLayer = false;     // one set of Z and M for all of a layer's geometries
  bool table = false;                    // a table whose columns may hold the coordinates
  bool keepsFidAndGeometryColumn = false;  // the input's FID and geometry column names
  std::size_t textBytes = 0;             // at most so many bytes a text field (0: any)
  std::array<const char*, 2> layerOptions{};  // creation options of every layer
  // How it is read.
  bool wgs84ByDefinition = false;  // GDAL says WGS 84 of every file, CRS or none
  bool keepsFids = false;          // the features' ids are their own, kept on output
  bool dbfCodePage = false;        // the text's code page named by a .cpg, or none
};

inline constexpr FormatTraits kFormatTraits[] = {
    {.driver = "GPKG", .keepsFidAndGeometryColumn = true},
    {.driver = "ESRI Shapefile",
     .geocentric = false,
     .singleLayerExtension = ".shp",
     // Text fields are made 254 bytes wide (a field of the input's width in characters may need
     // twice its bytes in UTF-8) and cut back to their longest text when closed.
     .textBytes = 254,
     .layerOptions = {"ENCODING=UTF-8", "RESIZE=YES"},
     .dbfCodePage = true},
    // FlatGeobuf's spatial index sorts the features along a curve: without it they keep their
    // order.
    {.driver = "FlatGeobuf", .oneDimensionPerLayer = true, .layerOptions = {"SPATIAL_INDEX=NO"}},
    {.driver = "GML", .measures = false, .crs = CrsHeld::kEpsgCode},
    {.driver = "CSV", .crs = CrsHeld::kNone, .noCrs = "CSV holds no CRS", .table = true},
    {.driver = "GeoJSON",
     .measures = false,
     .surfaces = false,
     .crs = CrsHeld::kWgs84Geographic,
     .noCrs = "GeoJSON holds no CRS but WGS 84 longitude and latitude (GDAL's \"crs\" member "
              "is read by few programs)",
     .wgs84ByDefinition = true,
     .keepsFids = true},
    {.driver = "GeoJSONSeq",
     .measures = false,
     .surfaces = false,
     .crs = CrsHeld::kWgs84Geographic,
     .noCrs = "GeoJSON holds no CRS but WGS 84 longitude and latitude (GDAL's \"crs\" member "
              "is read by few programs)",
     .wgs84ByDefinition = true},
    {.driver = "KML",
     .measures = false,
     .surfaces = false,
     .crs = CrsHeld::kNone,
     .noCrs = "KML names no CRS",
     .layersWithoutCrs = true,
     .onlyHtrs07Geographic = true,
     .wgs84ByDefinition = true},
    {.driver = "LIBKML", .measures = false, .surfaces = false, .wgs84ByDefinition = true},
    {.driver = "DXF",
     .measures = false,
     .surfaces = false,
     .crs = CrsHeld::kNone,
     .noCrs = "DXF holds no CRS",
     .layersWithoutCrs = true,
     .oneLayer = true,
     .layerNameField = "Layer",
     .greekCodePage = true},
};

// The traits of a driver by its name.
constexpr FormatTraits TraitsOf(std::string_view driver) {
  for (const FormatTraits& t : kFormatTraits) {
    if (driver == t.driver) return t;
  }
  FormatTraits other;
  other.driver = driver;
  return other;
}

}  // namespace vortan::gis
