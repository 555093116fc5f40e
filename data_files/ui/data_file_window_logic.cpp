#include "data_files/ui/data_file_window_logic.h"

#include <stdexcept>

#include "core/number_format.h"

namespace vortan {
namespace {

namespace pat = patterns;
namespace dt = data_file_texts;

constexpr std::string_view kBreak = "\r\n";

// The parameter boxes in the order tx, ty, tz, εx, εy, εz, ds.
constexpr std::string_view kParameterBoxes[] = {"Text45", "Text46", "Text47", "Text48",
                                                "Text49", "Text50", "Text51"};
// The boxes of the grid header and grid files, mainland only.
constexpr std::string_view kGridBoxes[] = {"Text1", "Text2", "Text3", "Text4", "Text5",
                                           "Text14", "Text15"};

const std::vector<JobWindow>& JobWindows() {
  static const std::vector<JobWindow> windows = {
      {JobKind::kSflhToSenh, "Command5",
       {{"CD14", "Input GGRS87 (φ,λ,h) coordinate file", "Text21"},
        {"CD15", "Output GGRS87 (E,N,h) coordinate file", "Text22"}}},
      {JobKind::kSenhToHtrs07, "Command1",
       {{"CD10", "Input GGRS87 (E,N,h) coordinate file", "Text17"},
        {"CD11", "Output GGRS87 (φ,λ,h) coordinate file", "Text18"},
        {"CD12", "Output HTRS07 (φ,λ) coordinate file", "Text19"},
        {"CD13", "Output HTRS07 (E,N) coordinate file", "Text20"}}},
      {JobKind::kSflhToSxyz, "Command4",
       {{"CD3", "Input HTRS07 φ,λ,h coordinates file", "Text8"},
        {"CD4", "Output HTRS07 X,Y,Z coordinates file", "Text9"}}},
      {JobKind::kSxyzToGgrs87, "Command2",
       {{"CD5", "Input HTRS07 X,Y,Z coordinates file", "Text10"},
        {"CD6", "Output HTRS07 φ,λ,h coordinates file", "Text11"},
        {"CD7", "Output HTRS07 E,N,scale coordinates file", "Text12"},
        {"CD8", "Output GGRS87 φ,λ coordinates file", "Text13"},
        {"CD9", "Output GGRS87 E,N coordinates file", "Text16"}}},
  };
  return windows;
}

struct PathBoxDefault {
  std::string_view box;
  std::string_view prefix;
  std::string_view mainlandName;
};

// The path boxes as the window opens; the prefixes keep their blanks.
constexpr PathBoxDefault kPathBoxDefaults[] = {
    {"Text8", "Input file  : ", "HTRS07-SFLh.txt"},
    {"Text9", "Output file: ", "HTRS07-SXYZ.txt"},
    {"Text10", "Input file  : ", "HTRS07-SXYZ.txt"},
    {"Text11", "Output file : ", "HTRS07-SFLh.txt"},
    {"Text12", "Output file : ", "HTRS07-SENK.txt"},
    {"Text13", "Output file : ", "GGRS87-SFL.txt"},
    {"Text16", "Output file : ", "GGRS87-SEN.txt"},
    {"Text21", "Input file  : ", "GGRS87-SFLh.txt"},
    {"Text22", "Output file : ", "GGRS87-SENh.txt"},
    {"Text17", "Input file  : ", "GGRS87-SENh.txt"},
    {"Text18", "Output file : ", "GGRS87-SFLh.txt"},
    {"Text19", "Output file : ", "HTRS07-SFL.txt"},
    {"Text20", "Output file : ", "HTRS07-SEN.txt"},
};

std::string Join(std::string_view greek, std::string_view english) {
  std::string text(greek);
  text += kBreak;
  text += kBreak;
  text += english;
  return text;
}

// How many points the output files keep after a job stopped, in Greek.
std::string WrittenGreek(std::uint64_t points) {
  if (points == 0) return "Δεν γράφτηκε κανένα σημείο.";
  if (points == 1) return "Το 1 σημείο που υπολογίστηκε ως εκεί παραμένει στα αρχεία εξόδου.";
  return "Τα " + std::to_string(points) +
         " σημεία που υπολογίστηκαν ως εκεί παραμένουν στα αρχεία εξόδου.";
}

std::string OneLine(std::string text) {
  for (char& ch : text) {
    if (ch == '\n' || ch == '\r') ch = ' ';
  }
  return text;
}

}  // namespace

std::vector<PathBoxText> InitialPathBoxTexts(const RegionProfile& profile) {
  std::vector<PathBoxText> texts;
  for (const PathBoxDefault& d : kPathBoxDefaults) {
    texts.push_back({d.box, std::string(d.prefix) + RegionFileName(profile, d.mainlandName)});
  }
  return texts;
}

const JobWindow& WindowOf(JobKind kind) {
  for (const JobWindow& window : JobWindows()) {
    if (window.kind == kind) return window;
  }
  throw std::logic_error("WindowOf: a job kind without dialogs");
}

std::optional<JobKind> JobOfButton(std::string_view button) {
  for (const JobWindow& window : JobWindows()) {
    if (window.button == button) return window.kind;
  }
  return std::nullopt;
}

DataFileWindowLogic::DataFileWindowLogic(ProgramKind program, const RegionProfile& profile,
                                         Platform& platform, DataFileControls& controls)
    : program_(InfoOf(program)),
      profile_(profile),
      platform_(platform),
      controls_(controls),
      context_(MakeContext(profile, kDataFileBounds)) {}

void DataFileWindowLogic::FormLoad() {
  EnableJobs(false);
  ShowStartupNotice(platform_);
}

void DataFileWindowLogic::EnableJobs(bool enabled) {
  jobsEnabled_ = enabled;
  for (std::string_view button : kJobButtons) controls_.SetEnabled(button, enabled);
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
}

bool DataFileWindowLogic::InitialStep() {
  // The parameters are the region's constants: storing and showing them cannot fail.
  context_.helmert = profile_.helmert;
  ShowParameters();
  if (!profile_.hasGrids) {
    vortan::InitialStep(context_, "", "");
    EnableJobs(true);
    return true;
  }

  const std::string filter(dt::kGridDialogFilter);
  const std::optional<std::string> dn = platform_.OpenFileDialog(
      std::string(dt::kDnGridDialogTitle), filter, kDnGridFileName);
  if (!dn) return jobsEnabled_;
  const std::optional<std::string> de = platform_.OpenFileDialog(
      std::string(dt::kDeGridDialogTitle), filter, kDeGridFileName);
  if (!de) return jobsEnabled_;
  controls_.SetText("Text6", *dn);
  controls_.SetText("Text7", *de);

  // Loaded into a copy, so that a failed load leaves no half-initialised context behind.
  TransformContext loaded = MakeContext(profile_, kDataFileBounds);
  const std::string error = vortan::InitialStep(loaded, *dn, *de);
  if (!error.empty()) {
    context_ = MakeContext(profile_, kDataFileBounds);
    context_.helmert = profile_.helmert;
    EnableJobs(false);
    platform_.ShowMessage(
        std::string(dt::kGridLoadTitle),
        Join("Οι κάνναβοι διορθώσεων δεν φορτώθηκαν. Οι εργασίες μένουν ανενεργές μέχρι να "
             "φορτωθούν και τα δύο αρχεία καννάβων (ΑΡΧΙΚΟ ΒΗΜΑ).",
             "The correction grids were not loaded. " + error +
                 " The jobs stay disabled until both grid files load: run the initial step "
                 "again and choose the dN and the dE grid file."),
        MessageIcon::kWarning, MessageButtons::kOk);
    return false;
  }
  context_ = std::move(loaded);
  ShowGridHeader(context_.grids->dE.header);
  EnableJobs(true);
  return true;
}

std::optional<PreparedJob> DataFileWindowLogic::ChooseFiles(JobKind kind) {
  if (!jobsEnabled_) return std::nullopt;  // the jobs wait for the initial step
  const JobDefinition& definition = DefinitionOf(kind);
  const JobWindow& window = WindowOf(kind);
  const std::string filter(dt::kJobDialogFilter);
  std::vector<std::string> paths;
  for (std::size_t d = 0; d < window.dialogs.size(); ++d) {
    const JobDialog& dialog = window.dialogs[d];
    const std::string title(dialog.title);
    const std::string_view defaultName =
        d == 0 ? definition.input.defaultName : definition.outputs[d - 1].defaultName;
    const std::string preset = RegionFileName(profile_, defaultName);
    const std::optional<std::string> path = d == 0
                                                ? platform_.OpenFileDialog(title, filter, preset)
                                                : platform_.SaveFileDialog(title, filter, preset);
    if (!path) return std::nullopt;
    paths.push_back(*path);
  }
  for (std::size_t d = 0; d < paths.size(); ++d) {
    controls_.SetText(window.dialogs[d].pathBox, paths[d]);
  }
  PreparedJob job{kind, context_, paths.front(), {}};
  job.outputs.assign(paths.begin() + 1, paths.end());
  return job;
}

std::string DataFileWindowLogic::Finish(const JobOutcome& outcome) {
  switch (outcome.status) {
    case JobStatus::kDone:
    case JobStatus::kCancelled:
      break;
    case JobStatus::kOutsideGrid:
      platform_.ShowMessage(std::string(texts::kOutsideGridTitle),
                            std::string(texts::kOutsideGridPointText) + outcome.pointId,
                            MessageIcon::kInformation, MessageButtons::kOkCancel);
      break;
    case JobStatus::kError: {
      std::string where;
      if (!outcome.file.empty()) where = " στο αρχείο " + outcome.file;
      if (outcome.line > 0) where += ", γραμμή " + std::to_string(outcome.line);
      if (!outcome.field.empty()) where += ", πεδίο " + outcome.field;
      platform_.ShowMessage(
          std::string(dt::kJobErrorTitle),
          Join("Η εργασία σταμάτησε λόγω σφάλματος" + where + ". " +
                   WrittenGreek(outcome.pointsWritten),
               outcome.Message()),
          MessageIcon::kWarning, MessageButtons::kOk);
      break;
    }
  }
  return OneLine(outcome.Message());
}

void DataFileWindowLogic::Help() { OpenHelp(platform_, program_.helpFileName); }

}  // namespace vortan
