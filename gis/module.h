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
  DatasetOutcome (*convert)(const TransformContext& context, const DatasetRequest& request);
};

inline constexpr int kModuleVersion = 1;
inline constexpr const char* kModuleSymbol = "vortan_gis_module";
inline constexpr const char* kModuleFileName = "libvortan-gis.so";

// The module's interface, loaded on the first call; nullptr with error saying where it was
// looked for and why it could not be loaded.
const ModuleInterface* LoadModule(std::string& error);

}  // namespace vortan::gis
