// The main() of each Win32 program: the window of one region's converter.
#pragma once

#include "app/programs.h"
#include "transform/region_profile.h"

namespace vortan {

// The resource id of the program's icon (program.rc.in).
inline constexpr int kProgramIconId = 1;

int RunSinglePointWin32(ProgramKind program, const RegionProfile& profile);
int RunDataFilesWin32(ProgramKind program, const RegionProfile& profile);

}  // namespace vortan
