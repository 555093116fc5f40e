// The coordinate reference system of each form, as GIS files and GeoPandas name it: an EPSG
// code where the installed PROJ database has one (GGRS87 and its TM87 of the mainland), and a
// full WKT2 text in every case. HTRS07 and the Kastelorizo projections have no EPSG code.
#pragma once

#include <string>

#include "engine/forms.h"
#include "transform/region_profile.h"

namespace vortan {

struct CrsDefinition {
  int epsg = 0;       // 0 where the PROJ database has no code
  std::string name;   // "HTRS07 / TM07"
  std::string wkt;    // WKT2 (2019)
};

// The CRS of a form in a region: its projections are the region's TM07 and TM87.
CrsDefinition CrsOf(Form form, const RegionProfile& profile);

}  // namespace vortan
