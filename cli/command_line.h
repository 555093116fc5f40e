// The command line of vortan-transform, declared once with CLI11: the options (in the groups of
// the usage text: the tool's, convert's, the GIS datasets'), the four jobs and convert as
// subcommands with their files, the checks of each value and the usage text, all from that one
// declaration.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data_files/job_table.h"
#include "engine/forms.h"
#include "gis/dataset.h"
#include "transform/region_profile.h"

namespace vortan::cli {

// What the command line asks for.
struct Command {
  const JobDefinition* job = nullptr;  // nullptr: convert
  const RegionProfile* profile = nullptr;
  std::string dnPath, dePath;
  int threads = 1;
  bool quiet = false;
  bool keepHeights = false;
  std::optional<Form> from, to;
  std::vector<std::string> files;  // the input, then the outputs
  // GIS datasets only.
  std::string format;
  std::vector<std::string> columns;
  std::optional<gis::OutsidePolicy> outside;
  bool overwrite = false;
  bool recordsIn = false, recordsOut = false;  // which files of convert are record files

  bool convert() const { return job == nullptr; }
  // Whether convert has a GIS dataset on either side of its two files.
  bool dataset() const {
    return convert() && files.size() == 2 && (!recordsIn || !recordsOut);
  }
  // The grid files that no output may be, besides the default ones (GridFilesNeverOutput):
  // those named.
  std::vector<std::string> gridFiles() const;
};

// Reads the arguments into command; the exit status when the program ends here (help, version,
// wrong usage, with what it printed).
std::optional<int> ParseCommandLine(int argc, char** argv, Command& command);

}  // namespace vortan::cli
