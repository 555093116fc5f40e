// The regions by name, for the front ends that serve both (the command-line tool, Python, the
// C library, the browser page); each desktop program links the one profile of its region.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "transform/region_profile.h"

namespace vortan {

// The regions in the order of their codes (the C library's VORTAN_MAINLAND and
// VORTAN_KASTELORIZO, the browser's 0 and 1).
std::span<const RegionProfile* const> Regions();
// The profile of a region's name; nullptr for a name that is none.
const RegionProfile* FindRegion(std::string_view name);
// The regions' names as messages list them: "mainland or kastelorizo".
std::string RegionNameList();

}  // namespace vortan
