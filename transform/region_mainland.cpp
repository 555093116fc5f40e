// The Greek mainland: TM87 and TM07 on the 24 degree meridian, the seven-parameter
// transformation, completed by the 2 km correction grids.
#include "transform/region_profile.h"

namespace vortan {

const RegionProfile kMainlandProfile{
    "mainland",
    {24, 0.9996, 500000, 0},
    {24, 0.9996, 500000, -2000000},
    {203.437, -73.461, -243.594, -0.170, -0.060, -0.151, -0.294 / 1000000},
    true,
    7,
    "",
    "ΑΡΧΙΚΟ ΒΗΜΑ : Εισαγωγή καννάβων και παραμέτρων >",
};

}  // namespace vortan
