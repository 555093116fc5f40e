// What differs between the regions the programs serve: projection constants, the seven
// transformation parameters, whether correction grids exist, and the region's texts. Each
// region's profile is a constant in its own source file; a program links exactly one.
#pragma once

#include <string>
#include <string_view>

#include "core/geodetic_params.h"
#include "transform/helmert.h"

namespace vortan {

struct RegionProfile {
  std::string_view name;  // "mainland", "kastelorizo"
  Projection tm87;        // GGRS87 projection
  Projection tm07;        // HTRS07 projection
  HelmertParams helmert;  // HTRS07 -> GGRS87
  bool hasGrids;          // correction grids dE, dN exist
  int shownParameterCount;     // parameter boxes the initial step fills (7 or 3)
  std::string_view fileNameInfix;  // inserted after the first hyphen of default file names
  std::string_view initialStepCaption;
};

// Defined in region_mainland.cpp and region_kastelorizo.cpp respectively.
extern const RegionProfile kMainlandProfile;
extern const RegionProfile kKastelorizoProfile;

// A default coordinate-file name of the region: "GGRS87-SENh.txt" becomes
// "GGRS87-KAST-SENh.txt" on Kastelorizo.
std::string RegionFileName(const RegionProfile& profile, std::string_view mainlandName);

}  // namespace vortan
