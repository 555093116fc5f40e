// The symbol the tool looks up in the module.
#include "gis/gdal_support.h"
#include "gis/module.h"

namespace {

bool IsVectorDataset(const std::string& path) {
  return !vortan::gis::IdentifiedDriver(path).empty();
}

}  // namespace

extern "C" __attribute__((visibility("default")))
const vortan::gis::ModuleInterface vortan_gis_module = {
    vortan::gis::kModuleVersion, &vortan::gis::ConvertDataset, &IsVectorDataset};
