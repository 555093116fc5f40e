// The main() of a data-file program: the application, the Qt platform and the window.
#pragma once

#include "shell/shell.h"
#include "transform/region_profile.h"

namespace vortan {

int RunDataFileProgram(int argc, char** argv, ProgramKind program, const RegionProfile& profile);

}  // namespace vortan
