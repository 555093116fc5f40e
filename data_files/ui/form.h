// The controls of the data-file window: name, kind, caption or initial text and hover text,
// for the region of the program, in the order the window creates them; the file dialogs of
// each job with the boxes that show their paths. The window is built from these tables, and the
// logic resets the grid header to the initial texts when no grid is in force.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data_files/job_table.h"
#include "app/grid_places.h"
#include "transform/region_profile.h"

namespace vortan {

enum class DataFileControlKind {
  kPicture,
  kLabel,
  kButton,
  kBox,      // a number the initial step shows
  kPathBox,  // a file of a job (read-only)
  kThreads,  // the number of threads a job computes on
  kGroup,
};

struct DataFileControl {
  std::string_view name;  // the Qt object name, "Text45"
  DataFileControlKind kind;
  std::string text;       // caption of a label, button or group; initial text of a box
  std::string_view tip;   // hover text, "" for none
};

// Every control of the window of the profile's region; the help button's hover text is the
// program's manual.
std::vector<DataFileControl> DataFileForm(const RegionProfile& profile,
                                          std::string_view helpFileName);

// The control of that name, or null when the window has none.
const DataFileControl* FindControl(const std::vector<DataFileControl>& form,
                                   std::string_view name);

// The initial texts of the path boxes, with the region's default file names: "Input file  : "
// followed by the name, "GGRS87-SENh.txt" becoming "GGRS87-KAST-SENh.txt" on Kastelorizo.
struct PathBoxText {
  std::string_view box;
  std::string text;
};
std::vector<PathBoxText> InitialPathBoxTexts(const RegionProfile& profile);

// One file dialog of a job: the input first (an open dialog), then the outputs (save dialogs)
// in the order the job takes them.
struct JobDialog {
  std::string_view dialog;   // "CD14"
  std::string_view title;
  std::string_view pathBox;  // the box that shows the chosen path, "Text21"
};

// What the window shows of a job: its button, the job in words (the progress dialog's title)
// and its dialogs.
struct JobWindow {
  JobKind kind;
  std::string_view button;  // "Command5"
  std::string_view title;   // "Βήμα 4: ... - Step 4: ..."
  std::vector<JobDialog> dialogs;
};

const JobWindow& WindowOf(JobKind kind);

// The job that a window button starts ("Command5" -> kSflhToSenh); nothing for other names.
std::optional<JobKind> JobOfButton(std::string_view button);

// The four job buttons, in the order of the window.
inline constexpr std::string_view kJobButtons[] = {"Command4", "Command2", "Command5",
                                                   "Command1"};

namespace data_file_texts {
// The line under the jobs: what the last action did, Greek, a line break, English. Empty while
// nothing has been done.
inline constexpr std::string_view kStatusLine = "StatusLine";
}  // namespace data_file_texts

// The parameters' captions and boxes in the order tx, ty, tz, εx, εy, εz, ds.
inline constexpr std::string_view kParameterCaptions[] = {
    "Label22", "Label23", "Label24", "Label25", "Label26", "Label27", "Label28"};
inline constexpr std::string_view kParameterBoxes[] = {"Text45", "Text46", "Text47", "Text48",
                                                       "Text49", "Text50", "Text51"};
// The boxes of the grid header and grid files, mainland only.
inline constexpr std::string_view kGridBoxes[] = {"Text1", "Text2", "Text3", "Text4", "Text5",
                                                  "Text14", "Text15"};

}  // namespace vortan
