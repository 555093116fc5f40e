// The texts the data-file window writes: the titles and filters of its dialogs, its message
// boxes, the progress dialog's text and the status line under the jobs. Each says what
// happened, where (file, line, field, point) and what to do, in Greek and in English.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data_files/jobs.h"

namespace vortan::data_file_texts {

inline constexpr std::string_view kGridDialogFilter = "Text files *.grd(*.grd)|*.grd";
inline constexpr std::string_view kDnGridDialogTitle = "Input N-correction grid";
inline constexpr std::string_view kDeGridDialogTitle = "Input E-correction grid";
inline constexpr std::string_view kJobDialogFilter = "Text files *.txt(*.txt)|*.txt";
inline constexpr std::string_view kGridLoadTitle = "Φόρτωση καννάβων - Grid files";
inline constexpr std::string_view kJobErrorTitle = "Σφάλμα αρχείου - File error";
inline constexpr std::string_view kOutputRefusedTitle = "Αρχείο εξόδου - Output file";
// The status line while nothing has been done.
inline constexpr std::string_view kStatusIdle = "";
// The progress dialog's text while a job stops after its current point.
inline constexpr std::string_view kCancelling =
    "Ακύρωση μετά το τρέχον σημείο...\nCancelling after the current point...";

// A line of the status line: the Greek sentence and the English one. The line shows them on
// two lines (the English alone where the Greek is empty).
struct Status {
  std::string greek, english;
};

// The progress dialog's text: points done and, where the input's size is known, the share of
// it read; Greek, a line break, English.
std::string ProgressText(const JobProgress& progress);

// The initial step of Kastelorizo, which has no grids: the parameters are all a job needs.
Status ParametersStored();

// A grid dialog cancelled: with grids loaded before, they stay in force; without, the grid
// jobs wait. which is "dN" or "dE".
Status GridChoiceCancelled();
Status NoGridChosen(std::string_view which);

// The grids did not load: the message box (the loader's reason, Greek and English) and the
// status line.
std::string GridsNotLoadedText(std::string_view reasonGreek, std::string_view reason);
Status GridsNotLoaded();

// The grids loaded: their size, and whether they are the synthetic test grids.
Status GridsLoaded(int rows, int columns, bool synthetic = false);

// Why a save dialog refuses a path: the job's input, one of its outputs chosen before (named
// by its dialog's title), a grid file in force.
enum class RefusedOutput { kJobInput, kEarlierOutput, kGridFile };
std::string RefusedOutputText(std::string_view path, RefusedOutput why,
                              std::string_view earlierTitle = "");

// A job's dialog cancelled; a job started (the job in words).
Status JobCancelled();
Status JobRunning(std::string_view jobTitle);

// The message box of a job stopped by an error: where, why, what the outputs keep.
std::string JobErrorText(const JobOutcome& outcome);

// The status line of a finished job: done with the points written and the files, or cancelled,
// stopped outside the grid or at an error, with the lines each output holds; then what the job
// noticed (JobOutcome::Notes), as the tool prints it.
Status Finished(const JobOutcome& outcome);

// What a job noticed in its points (angles below 100 that look like decimal degrees, points far
// outside Greece), as a notice after the job: its title and text, Greek then English; "" when
// it noticed nothing.
inline constexpr std::string_view kJobNotesTitle = "Σημειώσεις εργασίας - Job notes";
std::string JobNotesText(const JobOutcome& outcome);

}  // namespace vortan::data_file_texts
