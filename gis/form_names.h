// How messages name the CRS of a form, without GDAL.
#pragma once

#include <string>

#include "engine/forms.h"
#include "transform/region_profile.h"

namespace vortan::gis {

// How a message names the CRS of a form: "ggrs87-tm87 (GGRS87 / Greek Grid, EPSG:2100)".
std::string FormCrsDisplayName(Form form, const RegionProfile& profile);

}  // namespace vortan::gis
