#include "data_files/ui/data_file_window_logic.h"

#include <filesystem>
#include <utility>

#include "app/grid_places.h"
#include "core/number_format.h"
#include "io/file_identity.h"

namespace vortan {
namespace {

namespace pat = patterns;
namespace dt = data_file_texts;
namespace fs = std::filesystem;

// Two paths that name one file: the same existing file, or the same path for a file that does
// not exist yet.
bool SamePlace(const std::string& a, const std::string& b) {
  if (SameFile(a, b)) return true;
  std::error_code ec;
  return fs::absolute(a, ec).lexically_normal() == fs::absolute(b, ec).lexically_normal();
}

std::string FolderOf(const std::string& path) {
  std::error_code ec;
  return fs::absolute(path, ec).parent_path().string();
}

}  // namespace

DataFileWindowLogic::DataFileWindowLogic(ProgramKind program, const RegionProfile& profile,
                                         Platform& platform, DataFileControls& controls)
    : program_(InfoOf(program)),
      profile_(profile),
      platform_(platform),
      controls_(controls),
      form_(DataFileForm(profile, program_.helpFileName)),
      context_(MakeContext(profile, kDataFileBounds)) {}

void DataFileWindowLogic::FormLoad() {
  EnableJobs();
  ShowStartupNotice(platform_);
}

bool DataFileWindowLogic::JobEnabled(JobKind kind) const {
  if (!parametersStored_) return false;
  return !DefinitionOf(kind).usesTransform || context_.Ready();
}

void DataFileWindowLogic::EnableJobs() {
  for (std::string_view button : kJobButtons) {
    controls_.SetEnabled(button, JobEnabled(*JobOfButton(button)));
  }
}

void DataFileWindowLogic::SetStatus(const dt::Status& status) {
  controls_.SetText(dt::kStatusLine, status.greek.empty() ? status.english
                                                          : status.greek + "\n" + status.english);
}

void DataFileWindowLogic::ShowParameters() {
  const HelmertParams& p = profile_.helmert;
  const double values[] = {p.tx, p.ty, p.tz, p.ex, p.ey, p.ez, p.ds};
  const int shown = profile_.shownParameterCount;
  for (int k = 0; k < shown; ++k) {
    const NumberPattern pattern = k == 6 ? pat::kScaleDifference : pat::kMetres;
    controls_.SetText(kParameterBoxes[k], FormatNumber(values[k], pattern));
  }
  for (int k = 0; k < shown; ++k) controls_.SetEnabled(kParameterBoxes[k], false);
}

void DataFileWindowLogic::ShowGridHeader(const GridHeader& h) {
  controls_.SetText("Text14", FormatNumber(h.rowCount, pat::kCount));
  controls_.SetText("Text15", FormatNumber(h.columnCount, pat::kCount));
  controls_.SetText("Text1", FormatNumber(h.step, pat::kGridStep));
  controls_.SetText("Text2", FormatNumber(h.nSouth, pat::kGridCoordinate));
  controls_.SetText("Text3", FormatNumber(h.eWest, pat::kGridCoordinate));
  controls_.SetText("Text4", FormatNumber(h.nNorth(), pat::kGridCoordinate));
  controls_.SetText("Text5", FormatNumber(h.eEast(), pat::kGridCoordinate));
  for (std::string_view box : kGridBoxes) controls_.SetEnabled(box, false);
  controls_.SetText(kTestDataLabel, AreSyntheticGrids(*context_.grids)
                                        ? std::string(texts::kTestDataMark)
                                        : std::string());
}

// The header boxes as the window opens: no grid is shown that is not in force.
void DataFileWindowLogic::ClearGridHeader() {
  for (std::string_view box : kGridBoxes) controls_.SetText(box, FindControl(form_, box)->text);
  for (std::string_view box : kGridBoxes) controls_.SetEnabled(box, true);
  controls_.SetText(kTestDataLabel, "");
}

bool DataFileWindowLogic::InitialStep() {
  SetStatus({});
  // The parameters are the region's constants: storing and showing them cannot fail, and the
  // jobs without the transformation can run from now on.
  context_.helmert = profile_.helmert;
  parametersStored_ = true;
  ShowParameters();
  if (!profile_.hasGrids) {
    vortan::InitialStep(context_, "", "");
    EnableJobs();
    SetStatus(dt::ParametersStored());
    return true;
  }
  EnableJobs();

  const std::string filter(dt::kGridDialogFilter);
  std::optional<std::string> paths[2];
  const char* const titles[] = {dt::kDnGridDialogTitle.data(), dt::kDeGridDialogTitle.data()};
  const char* const presets[] = {kDnGridFileName, kDeGridFileName};
  for (int k = 0; k < 2; ++k) {
    paths[k] = platform_.OpenFileDialog({titles[k], filter, presets[k], lastGridFolder_, {}});
    if (!paths[k]) {
      SetStatus(context_.Ready() ? dt::GridChoiceCancelled()
                                 : dt::NoGridChosen(k == 0 ? "dN" : "dE"));
      return context_.Ready();
    }
    lastGridFolder_ = FolderOf(*paths[k]);
  }
  const std::string& dn = *paths[0];
  const std::string& de = *paths[1];
  controls_.SetText("Text6", dn);
  controls_.SetText("Text7", de);

  // Loaded into a copy, so that a failed load leaves no half-initialised context behind.
  TransformContext loaded = MakeContext(profile_, kDataFileBounds);
  std::string errorGreek;
  const std::string error = vortan::InitialStep(loaded, dn, de, &errorGreek);
  if (!error.empty()) {
    context_ = MakeContext(profile_, kDataFileBounds);
    context_.helmert = profile_.helmert;
    gridPaths_.clear();
    ClearGridHeader();
    EnableJobs();
    platform_.ShowMessage(std::string(dt::kGridLoadTitle),
                          dt::GridsNotLoadedText(errorGreek, error), MessageIcon::kWarning,
                          MessageButtons::kOk);
    SetStatus(dt::GridsNotLoaded());
    return false;
  }
  context_ = std::move(loaded);
  gridPaths_ = {dn, de};
  const GridHeader& header = context_.grids->dE.header;
  ShowGridHeader(header);
  EnableJobs();
  SetStatus(dt::GridsLoaded(header.rowCount, header.columnCount,
                            AreSyntheticGrids(*context_.grids)));
  return true;
}

std::optional<Refusal> DataFileWindowLogic::RefuseOutput(
    const std::string& path, const JobWindow& window,
    const std::vector<std::string>& chosen) const {
  auto refusal = [&](dt::RefusedOutput why, std::string_view earlierTitle = "") {
    return Refusal{std::string(dt::kOutputRefusedTitle),
                   dt::RefusedOutputText(path, why, earlierTitle)};
  };
  if (SamePlace(path, chosen.front())) return refusal(dt::RefusedOutput::kJobInput);
  for (std::size_t d = 1; d < chosen.size(); ++d) {
    if (SamePlace(path, chosen[d])) {
      return refusal(dt::RefusedOutput::kEarlierOutput, window.dialogs[d].title);
    }
  }
  for (const std::string& grid : gridPaths_) {
    if (SamePlace(path, grid)) return refusal(dt::RefusedOutput::kGridFile);
  }
  return std::nullopt;
}

std::optional<PreparedJob> DataFileWindowLogic::ChooseFiles(JobKind kind) {
  if (!JobEnabled(kind)) return std::nullopt;  // the job waits for the initial step
  SetStatus({});
  const JobDefinition& definition = DefinitionOf(kind);
  const JobWindow& window = WindowOf(kind);
  const std::string filter(dt::kJobDialogFilter);
  std::vector<std::string> paths;
  for (std::size_t d = 0; d < window.dialogs.size(); ++d) {
    const JobDialog& dialog = window.dialogs[d];
    const std::string_view defaultName =
        d == 0 ? definition.input.defaultName : definition.outputs[d - 1].defaultName;
    FileDialogRequest request{std::string(dialog.title), filter,
                              RegionFileName(profile_, defaultName), lastJobFolder_, {}};
    if (d > 0) {
      request.refuse = [this, &window, &paths](const std::string& path) {
        return RefuseOutput(path, window, paths);
      };
    }
    const std::optional<std::string> path =
        d == 0 ? platform_.OpenFileDialog(request) : platform_.SaveFileDialog(request);
    if (!path) {
      SetStatus(dt::JobCancelled());
      return std::nullopt;
    }
    lastJobFolder_ = FolderOf(*path);
    paths.push_back(*path);
  }
  for (std::size_t d = 0; d < paths.size(); ++d) {
    controls_.SetText(window.dialogs[d].pathBox, paths[d]);
  }
  SetStatus(dt::JobRunning(window.title));
  PreparedJob job{kind, context_, paths.front(), {}};
  job.outputs.assign(paths.begin() + 1, paths.end());
  return job;
}

std::string DataFileWindowLogic::Finish(const JobOutcome& outcome) {
  if (outcome.status == JobStatus::kOutsideGrid) {
    platform_.ShowMessage(std::string(texts::kOutsideGridTitle),
                          std::string(texts::kOutsideGridPointText) + outcome.pointId,
                          MessageIcon::kInformation, MessageButtons::kOkCancel);
  } else if (outcome.status == JobStatus::kError) {
    platform_.ShowMessage(std::string(dt::kJobErrorTitle), dt::JobErrorText(outcome),
                          MessageIcon::kWarning, MessageButtons::kOk);
  }
  // What the job noticed, as the tool says it at the end of a job: a notice and the status.
  const std::string notes = dt::JobNotesText(outcome);
  if (!notes.empty()) {
    platform_.ShowMessage(std::string(dt::kJobNotesTitle), notes, MessageIcon::kInformation,
                          MessageButtons::kOk);
  }
  const dt::Status status = dt::Finished(outcome);
  SetStatus(status);
  return status.greek + "\n" + status.english;
}

void DataFileWindowLogic::Help() { OpenHelp(platform_, program_.helpFileName); }

}  // namespace vortan
