// Kastelorizo: TM87 on 27 degrees, TM07 on 30 degrees with scale factor 1, three translations
// and no correction grids.
#include "transform/region_profile.h"

namespace vortan {

const RegionProfile kKastelorizoProfile{
    "kastelorizo",
    {27, 0.9996, 500000, 0},
    {30, 1.0, 500000, -2000000},
    {-5.02, -19.885, -12.244, 0, 0, 0, 0},
    false,
    3,
    "KAST-",
    "ΑΡΧΙΚΟ ΒΗΜΑ : Εισαγωγή παραμέτρων >",
};

}  // namespace vortan
