#include "gis/form_names.h"

#include "engine/crs.h"

namespace vortan::gis {

std::string FormCrsDisplayName(Form form, const RegionProfile& profile) {
  const CrsDefinition crs = CrsOf(form, profile);
  std::string name = std::string(FormName(form)) + " (" + crs.name;
  if (crs.epsg) name += ", EPSG:" + std::to_string(crs.epsg);
  return name + ")";
}

}  // namespace vortan::gis
