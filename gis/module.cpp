// The symbol the tool looks up in the module.
#include <gdal.h>

#include "gis/module.h"

namespace {

bool IsVectorDataset(const std::string& path) {
  CPLPushErrorHandler(CPLQuietErrorHandler);
  GDALAllRegister();
  const GDALDriverH driver = GDALIdentifyDriverEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr);
  CPLPopErrorHandler();
  return driver != nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default")))
const vortan::gis::ModuleInterface vortan_gis_module = {
    vortan::gis::kModuleVersion, &vortan::gis::ConvertDataset, &IsVectorDataset};
