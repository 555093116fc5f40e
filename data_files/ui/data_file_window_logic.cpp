#include "data_files/ui/data_file_window_logic.h"

#include <filesystem>
#include <stdexcept>
#include <utility>

#include "app/bilingual.h"
#include "core/number_format.h"
#include "io/file_identity.h"

namespace vortan {
namespace {

namespace pat = patterns;
namespace dt = data_file_texts;
namespace fs = std::filesystem;


// The parameter boxes in the order tx, ty, tz, εx, εy, εz, ds.
constexpr std::string_view kParameterBoxes[] = {"Text45", "Text46", "Text47", "Text48",
                                                "Text49", "Text50", "Text51"};
// The boxes of the grid header and grid files, mainland only.
constexpr std::string_view kGridBoxes[] = {"Text1", "Text2", "Text3", "Text4", "Text5",
                                           "Text14", "Text15"};

const std::vector<JobWindow>& JobWindows() {
  static const std::vector<JobWindow> windows = {
      {JobKind::kSflhToSenh, "Command5",
       "Βήμα 4: ΕΓΣΑ87 (φ,λ,h) σε (E,N,h) - Step 4: GGRS87 (φ,λ,h) to (E,N,h)",
       {{"CD14", "Input GGRS87 (φ,λ,h) coordinate file", "Text21"},
        {"CD15", "Output GGRS87 (E,N,h) coordinate file", "Text22"}}},
      {JobKind::kSenhToHtrs07, "Command1",
       "Βήμα 5: ΕΓΣΑ87 (E,N,h) σε HTRS07 (φ,λ) και (E,N) - Step 5: GGRS87 (E,N,h) to HTRS07",
       {{"CD10", "Input GGRS87 (E,N,h) coordinate file", "Text17"},
        {"CD11", "Output GGRS87 (φ,λ,h) coordinate file", "Text18"},
        {"CD12", "Output HTRS07 (φ,λ) coordinate file", "Text19"},
        {"CD13", "Output HTRS07 (E,N) coordinate file", "Text20"}}},
      {JobKind::kSflhToSxyz, "Command4",
       "Βήμα 2: HTRS07 (φ,λ,h) σε (X,Y,Z) - Step 2: HTRS07 (φ,λ,h) to (X,Y,Z)",
       {{"CD3", "Input HTRS07 φ,λ,h coordinates file", "Text8"},
        {"CD4", "Output HTRS07 X,Y,Z coordinates file", "Text9"}}},
      {JobKind::kSxyzToGgrs87, "Command2",
       "Βήμα 3: HTRS07 (X,Y,Z) σε ΕΓΣΑ87 (φ,λ) και (E,N) - Step 3: HTRS07 (X,Y,Z) to GGRS87",
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


// How many points the output files keep after a job stopped, in Greek.
std::string WrittenGreek(std::uint64_t points) {
  if (points == 0) return "Δεν γράφτηκε κανένα σημείο.";
  if (points == 1) return "Το 1 σημείο που υπολογίστηκε ως εκεί παραμένει στα αρχεία εξόδου.";
  return "Τα " + std::to_string(points) +
         " σημεία που υπολογίστηκαν ως εκεί παραμένουν στα αρχεία εξόδου.";
}

std::string Count(std::uint64_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// "a", "a και b", "a, b και c" (with "and" in English).
std::string List(const std::vector<std::string>& items, std::string_view conjunction) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " " + std::string(conjunction) + " " : ", ";
    text += items[i];
  }
  return text;
}

// How the status line names the files of a job: by file name, or by full path where two of
// them share a name.
std::vector<std::string> ShownNames(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  for (const std::string& path : paths) names.push_back(fs::path(path).filename().string());
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t j = 0; j < names.size(); ++j) {
      if (i != j && names[i] == names[j]) return paths;
    }
  }
  return names;
}

std::string ShownName(const std::string& path) { return fs::path(path).filename().string(); }

// The lines each output holds, Greek and English: "300 γραμμές σε καθένα από τα a, b και c" when
// all hold as many, the count of each file otherwise, naming those that hold the line of the
// point the job stopped at.
std::pair<std::string, std::string> LinesInOutputs(const JobOutcome& o) {
  if (!o.outputsCreated || o.outputs.empty()) {
    return {"Κανένα αρχείο εξόδου δεν γράφτηκε.", "No output file was written."};
  }
  std::vector<std::uint64_t> lines = o.linesWritten;
  lines.resize(o.outputs.size(), o.pointsWritten);
  const std::vector<std::string> names = ShownNames(o.outputs);
  bool same = true;
  for (std::uint64_t n : lines) same = same && n == lines.front();
  if (same) {
    if (names.size() == 1) {
      return {Count(lines.front(), "γραμμή", "γραμμές") + " στο " + names.front() + ".",
              Count(lines.front(), "line", "lines") + " in " + names.front() + "."};
    }
    return {Count(lines.front(), "γραμμή", "γραμμές") + " σε καθένα από τα " +
                List(names, "και") + ".",
            Count(lines.front(), "line", "lines") + " in each of " + List(names, "and") + "."};
  }
  std::vector<std::string> greek, english;
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string g = names[i] + " " + Count(lines[i], "γραμμή", "γραμμές");
    std::string e = names[i] + " " + Count(lines[i], "line", "lines");
    if (lines[i] > o.pointsWritten && !o.pointId.empty()) {
      g += " (με τη γραμμή του " + o.pointId + ")";
      e += " (with the line of " + o.pointId + ")";
    }
    greek.push_back(g);
    english.push_back(e);
  }
  return {"Γραμμές στα αρχεία εξόδου: " + List(greek, "και") + ".",
          "Lines in the output files: " + List(english, "and") + "."};
}

// "in.txt, γραμμή 6, πεδίο φ" and "in.txt, line 6, field φ".
std::pair<std::string, std::string> Where(const JobOutcome& o) {
  std::string greek = o.file.empty() ? "" : ShownName(o.file);
  std::string english = greek;
  if (o.line > 0) {
    greek += (greek.empty() ? "" : ", ") + std::string("γραμμή ") + std::to_string(o.line);
    english += (english.empty() ? "" : ", ") + std::string("line ") + std::to_string(o.line);
  }
  if (!o.field.empty()) {
    greek += ", πεδίο " + o.field;
    english += ", field " + o.field;
  }
  return {greek, english};
}

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

std::string ProgressText(const JobProgress& p) {
  std::string greek = "Υπολογίστηκαν " + Count(p.pointsDone, "σημείο", "σημεία");
  std::string english = Count(p.pointsDone, "point", "points") + " done";
  if (p.bytesTotal > 0) {
    const double share =
        100.0 * static_cast<double>(p.bytesRead) / static_cast<double>(p.bytesTotal);
    const std::string percent = FormatNumber(share, NumberPattern::Of("0.0")) + " %";
    greek += ", " + percent + " του αρχείου εισόδου";
    english += ", " + percent + " of the input read";
  }
  return greek + "\n" + english;
}

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

void DataFileWindowLogic::SetStatus(const std::string& greek, const std::string& english) {
  controls_.SetText(dt::kStatusLine, greek.empty() ? english : greek + "\n" + english);
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

// The header boxes as the window opens: no grid is shown that is not in force.
void DataFileWindowLogic::ClearGridHeader() {
  for (std::string_view box : kGridBoxes) controls_.SetText(box, "");
  controls_.SetText("Text14", "γραμμές");
  controls_.SetText("Text15", "στήλες");
  for (std::string_view box : kGridBoxes) controls_.SetEnabled(box, true);
}

bool DataFileWindowLogic::InitialStep() {
  SetStatus("", "");
  // The parameters are the region's constants: storing and showing them cannot fail, and the
  // jobs without the transformation can run from now on.
  context_.helmert = profile_.helmert;
  parametersStored_ = true;
  ShowParameters();
  if (!profile_.hasGrids) {
    vortan::InitialStep(context_, "", "");
    EnableJobs();
    SetStatus("Οι παράμετροι αποθηκεύτηκαν: όλες οι εργασίες είναι διαθέσιμες.",
              "The parameters are stored: every job is ready.");
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
      const std::string which = k == 0 ? "dN" : "dE";
      if (context_.Ready()) {
        SetStatus("Η επιλογή καννάβου ακυρώθηκε: οι κάνναβοι που είχαν φορτωθεί παραμένουν σε "
                  "ισχύ.",
                  "The choice of grid was cancelled: the grids loaded before stay in force.");
      } else {
        SetStatus("Δεν επιλέχθηκε κάνναβος " + which +
                      ": οι κάνναβοι δεν φορτώθηκαν. Τα βήματα 2 και 4 είναι διαθέσιμα· για τα "
                      "βήματα 3 και 5 πατήστε ξανά το ΑΡΧΙΚΟ ΒΗΜΑ και επιλέξτε και τα δύο "
                      "αρχεία καννάβων.",
                  "No " + which +
                      " grid was chosen: the grids are not loaded. Steps 2 and 4 are ready; for "
                      "steps 3 and 5 press ΑΡΧΙΚΟ ΒΗΜΑ again and choose both grid files.");
      }
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
    platform_.ShowMessage(
        std::string(dt::kGridLoadTitle),
        Bilingual("Οι κάνναβοι διορθώσεων δεν φορτώθηκαν. " + errorGreek +
             " Οι εργασίες των βημάτων 3 και 5 μένουν ανενεργές μέχρι να φορτωθούν και τα δύο "
             "αρχεία καννάβων: τρέξτε ξανά το ΑΡΧΙΚΟ ΒΗΜΑ και διαλέξτε το αρχείο dN και το "
             "αρχείο dE. Τα βήματα 2 και 4 είναι διαθέσιμα.",
             "The correction grids were not loaded. " + error +
                 " The jobs of steps 3 and 5 stay disabled until both grid files load: run the "
                 "initial step again and choose the dN and the dE grid file. Steps 2 and 4 are "
                 "ready."),
        MessageIcon::kWarning, MessageButtons::kOk);
    SetStatus("Οι κάνναβοι δεν φορτώθηκαν: τα βήματα 3 και 5 μένουν ανενεργά.",
              "The grids were not loaded: steps 3 and 5 stay disabled.");
    return false;
  }
  context_ = std::move(loaded);
  gridPaths_ = {dn, de};
  const GridHeader& header = context_.grids->dE.header;
  ShowGridHeader(header);
  EnableJobs();
  SetStatus("Οι κάνναβοι φορτώθηκαν (" + Count(header.rowCount, "γραμμή", "γραμμές") + ", " +
                Count(header.columnCount, "στήλη", "στήλες") +
                "): όλες οι εργασίες είναι διαθέσιμες.",
            "The grids are loaded (" + Count(header.rowCount, "row", "rows") + ", " +
                Count(header.columnCount, "column", "columns") + "): every job is ready.");
  return true;
}

std::optional<Refusal> DataFileWindowLogic::RefuseOutput(
    const std::string& path, const JobWindow& window,
    const std::vector<std::string>& chosen) const {
  auto refusal = [&](const std::string& greek, const std::string& english) {
    return Refusal{std::string(dt::kOutputRefusedTitle),
                   Bilingual("Το αρχείο " + path + " " + greek +
                            ": δεν μπορεί να γραφτεί ως αρχείο εξόδου. Επιλέξτε άλλο όνομα.",
                        "The file " + path + " " + english +
                            ": it cannot be an output. Choose another name.")};
  };
  if (SamePlace(path, chosen.front())) {
    return refusal("είναι το αρχείο εισόδου της εργασίας", "is the input of this job");
  }
  for (std::size_t d = 1; d < chosen.size(); ++d) {
    if (SamePlace(path, chosen[d])) {
      const std::string title(window.dialogs[d].title);
      return refusal("είναι ήδη αρχείο εξόδου της εργασίας (" + title + ")",
                     "is already an output of this job (" + title + ")");
    }
  }
  for (const std::string& grid : gridPaths_) {
    if (SamePlace(path, grid)) {
      return refusal("είναι αρχείο καννάβου του αρχικού βήματος",
                     "is a grid file of the initial step");
    }
  }
  return std::nullopt;
}

std::optional<PreparedJob> DataFileWindowLogic::ChooseFiles(JobKind kind) {
  if (!JobEnabled(kind)) return std::nullopt;  // the job waits for the initial step
  SetStatus("", "");
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
      SetStatus("Η εργασία ακυρώθηκε: κανένα αρχείο δεν άνοιξε ούτε γράφτηκε.",
                "The job was cancelled: no file was opened or written.");
      return std::nullopt;
    }
    lastJobFolder_ = FolderOf(*path);
    paths.push_back(*path);
  }
  for (std::size_t d = 0; d < paths.size(); ++d) {
    controls_.SetText(window.dialogs[d].pathBox, paths[d]);
  }
  SetStatus("Εκτελείται: " + std::string(window.title), "");
  PreparedJob job{kind, context_, paths.front(), {}};
  job.outputs.assign(paths.begin() + 1, paths.end());
  return job;
}

std::string DataFileWindowLogic::Finish(const JobOutcome& outcome) {
  const auto [linesGreek, linesEnglish] = LinesInOutputs(outcome);
  const auto [whereGreek, whereEnglish] = Where(outcome);
  std::string greek, english;
  switch (outcome.status) {
    case JobStatus::kDone: {
      const std::vector<std::string> names = ShownNames(outcome.outputs);
      greek = "Ολοκληρώθηκε: " + Count(outcome.pointsWritten, "σημείο γράφτηκε", "σημεία γράφτηκαν") +
              (names.size() == 1 ? " στο " : " στα ") + List(names, "και") + ".";
      english = "Done: " + Count(outcome.pointsWritten, "point", "points") + " written to " +
                List(names, "and") + ".";
      break;
    }
    case JobStatus::kCancelled:
      greek = "Η εργασία ακυρώθηκε" +
              (outcome.pointId.empty() ? "" : " πριν από το σημείο " + outcome.pointId) + ". " +
              linesGreek;
      english = "Cancelled" +
                (outcome.pointId.empty() ? "" : " before point " + outcome.pointId) + ". " +
                linesEnglish;
      break;
    case JobStatus::kOutsideGrid:
      platform_.ShowMessage(std::string(texts::kOutsideGridTitle),
                            std::string(texts::kOutsideGridPointText) + outcome.pointId,
                            MessageIcon::kInformation, MessageButtons::kOkCancel);
      greek = "Η εργασία σταμάτησε στο σημείο " + outcome.pointId +
              (whereGreek.empty() ? "" : " (" + whereGreek + ")") +
              ", που είναι εκτός του καννάβου. " + linesGreek;
      english = "The job stopped at the point " + outcome.pointId +
                (whereEnglish.empty() ? "" : " (" + whereEnglish + ")") +
                ", which lies outside the correction grid. " + linesEnglish;
      break;
    case JobStatus::kError: {
      std::string where;
      if (!outcome.file.empty()) where = " στο αρχείο " + outcome.file;
      if (outcome.line > 0) where += ", γραμμή " + std::to_string(outcome.line);
      if (!outcome.field.empty()) where += ", πεδίο " + outcome.field;
      platform_.ShowMessage(
          std::string(dt::kJobErrorTitle),
          Bilingual("Η εργασία σταμάτησε λόγω σφάλματος" + where + ": " + outcome.reasonGreek +
                        ". " + WrittenGreek(outcome.pointsWritten),
                    outcome.Message()),
          MessageIcon::kWarning, MessageButtons::kOk);
      greek = "Η εργασία σταμάτησε λόγω σφάλματος" +
              (whereGreek.empty() ? "" : " (" + whereGreek + ")") + ": " + outcome.reasonGreek +
              ". " + linesGreek;
      english = "The job stopped at an error" +
                (whereEnglish.empty() ? "" : " (" + whereEnglish + ")") + ": " + outcome.reason +
                ". " + linesEnglish;
      break;
    }
  }
  SetStatus(greek, english);
  return greek + "\n" + english;
}

void DataFileWindowLogic::Help() { OpenHelp(platform_, program_.helpFileName); }

}  // namespace vortan
