// VORTAN_TRANSFORM_Single-Point_V1-0: one point typed into the window, mainland profile.
#include "single_point/ui/single_point_window.h"
#include "transform/region_profile.h"

int main(int argc, char** argv) {
  return vortan::RunSinglePointProgram(argc, argv, vortan::kMainlandProfile,
                                       vortan::ProgramKind::kSinglePointMainland);
}
