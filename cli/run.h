// What the tool does with a parsed command: a record job or convert on record files through the
// job frame, or convert of a GIS dataset through the GIS module, loaded for it.
#pragma once

#include "cli/command_line.h"

namespace vortan::cli {

// Runs the command and says how it ended; the exit status.
int RunCommand(const Command& command);

}  // namespace vortan::cli
