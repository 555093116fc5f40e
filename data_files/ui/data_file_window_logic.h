// What the data-file window does, without the window: the initial step with its grid dialogs,
// the dialogs of each job and the path boxes they fill, and the message that a job's outcome
// becomes. The window hands every click to this class; it reaches its controls through
// DataFileControls and the system through the platform layer, so that a test can drive it with
// a plain map of boxes and scripted dialogs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data_files/jobs.h"
#include "data_files/ui/form.h"
#include "data_files/ui/messages.h"
#include "app/platform.h"
#include "app/programs.h"
#include "transform/datum.h"

namespace vortan {

// The controls of the data-file window as the logic sees them: named boxes and buttons.
class DataFileControls {
 public:
  virtual ~DataFileControls() = default;
  virtual void SetText(std::string_view control, const std::string& text) = 0;
  virtual void SetEnabled(std::string_view control, bool enabled) = 0;
};

// A job with its files chosen and a snapshot of the transformation context: it can run on any
// thread while the window goes on.
struct PreparedJob {
  JobKind kind;
  TransformContext context;
  std::string input;
  std::vector<std::string> outputs;

  JobOutcome Run(const JobOptions& options) const {
    return RunJob(kind, context, input, outputs, options);
  }
};

// The progress dialog's text, as the window and the browser page show it.
using data_file_texts::ProgressText;

class DataFileWindowLogic {
 public:
  DataFileWindowLogic(ProgramKind program, const RegionProfile& profile, Platform& platform,
                      DataFileControls& controls);

  // Form_Load: the notice on the decimal separator; the job buttons wait for the initial step.
  void FormLoad();

  // Command3, the initial step: stores and shows the transformation parameters, which enables
  // the jobs that need nothing else (Command4, Command5), and, where the region has grids, asks
  // for the two grid files (CD1, CD2), loads them, shows their header and enables the jobs that
  // need them (Command1, Command2). A cancelled grid dialog keeps the grids in force, if any,
  // and says so in the status line; a grid file that cannot be loaded is reported with its name
  // and the reason, the header boxes are cleared and the grid jobs stay disabled until a load
  // succeeds. Returns whether every job is enabled.
  bool InitialStep();

  // The dialogs of a job, input first, each starting in the folder of the job file chosen last
  // in this run. A save dialog refuses the job's input, its earlier outputs and the loaded grid
  // files before it asks to replace anything. On success the path boxes show the chosen paths
  // and the prepared job is returned; a cancelled dialog cancels the job, nothing is written
  // anywhere. A job whose button is disabled shows no dialog and returns nothing.
  std::optional<PreparedJob> ChooseFiles(JobKind kind);

  // Turns a finished job into what the user sees: a message box for a point outside the grid
  // and for an error, a notice of what the job noticed (decimal degrees, points outside
  // Greece), and the status line (returned): the count of lines in each output, the notes.
  std::string Finish(const JobOutcome& outcome);

  // Command6, the help button.
  void Help();

  // Whether the job's button is enabled: after the initial step, and for the jobs that use the
  // transformation once the grids are loaded.
  bool JobEnabled(JobKind kind) const;

  const TransformContext& context() const { return context_; }
  const ProgramInfo& program() const { return program_; }
  const RegionProfile& profile() const { return profile_; }
  // The controls of the window, as it creates them.
  const std::vector<DataFileControl>& form() const { return form_; }

 private:
  void EnableJobs();
  void SetStatus(const data_file_texts::Status& status);
  void ShowParameters();
  void ShowGridHeader(const GridHeader& header);
  void ClearGridHeader();
  std::optional<Refusal> RefuseOutput(const std::string& path, const JobWindow& window,
                                      const std::vector<std::string>& chosen) const;

  const ProgramInfo& program_;
  const RegionProfile& profile_;
  Platform& platform_;
  DataFileControls& controls_;
  std::vector<DataFileControl> form_;
  TransformContext context_;
  bool parametersStored_ = false;
  std::vector<std::string> gridPaths_;  // the grid files in force
  std::string lastJobFolder_;           // folder of the job file chosen last
  std::string lastGridFolder_;          // folder of the grid file chosen last
};

}  // namespace vortan
