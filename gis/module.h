// The GIS conversion as a module of its own, loaded only when a dataset is converted: GDAL and
// the hundred libraries it brings are then not loaded for the record jobs, which start in a few
// milliseconds and a few megabytes. The tool finds the module beside itself (the build folder)
// or in ../lib/vortan-transform/ (an installation). This header holds no GDAL type.
#pragma once

#include <string>

#include "gis/dataset.h"

namespace vortan::gis {

// What the module exports, under the C name kModuleSymbol.
struct ModuleInterface {
  int version;  // kModuleVersion of the module's build
  DatasetOutcome (*convert)(const DatasetRequest& request);
  // Whether GDAL opens the file as a vector dataset.
  bool (*isDataset)(const std::string& path);
};

inline constexpr int kModuleVersion = 3;

// The GIS formats told by their extensions, and the GDAL driver that writes each.
struct DriverByExtension {
  const char* extension;
  const char* driver;
};
inline constexpr DriverByExtension kDatasetExtensions[] = {
    {".gpkg", "GPKG"},      {".shp", "ESRI Shapefile"}, {".geojson", "GeoJSON"},
    {".json", "GeoJSON"},   {".fgb", "FlatGeobuf"},     {".gml", "GML"},
    {".kml", "KML"},        {".dxf", "DXF"},            {".csv", "CSV"},
};

// What convert takes a file for: a record file of the system (one point a line, SXYZ, SFLh
// or SENh) or a GIS dataset. A record file is "-"; a file named .txt; with --format records;
// a .csv file without a header, whose first line reads as a record; a file of no known GIS
// extension whose first line reads as a record, that is no GIS format by its first bytes, or
// that GDAL does not open. An output is a record file unless --format names a driver or its
// extension names a GIS format.
bool InputIsRecords(const std::string& path, const std::string& format);
bool OutputIsRecords(const std::string& path, const std::string& format);
inline constexpr const char* kModuleSymbol = "vortan_gis_module";
inline constexpr const char* kModuleFileName = "libvortan-gis.so";

// The module's interface, loaded on the first call; nullptr with error saying where it was
// looked for and why it could not be loaded.
const ModuleInterface* LoadModule(std::string& error);

}  // namespace vortan::gis
