// The main() of each desktop program: the application, the Qt platform and the window of one
// region's converter.
#pragma once

#include "app/programs.h"
#include "transform/region_profile.h"

namespace vortan {

int RunDataFileProgram(int argc, char** argv, ProgramKind program, const RegionProfile& profile);
int RunSinglePointProgram(int argc, char** argv, ProgramKind program,
                          const RegionProfile& profile);

}  // namespace vortan
