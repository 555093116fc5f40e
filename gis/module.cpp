// The symbol the tool looks up in the module.
#include "gis/module.h"

extern "C" __attribute__((visibility("default")))
const vortan::gis::ModuleInterface vortan_gis_module = {vortan::gis::kModuleVersion,
                                                       &vortan::gis::ConvertDataset};
