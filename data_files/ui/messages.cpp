#include "data_files/ui/messages.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "app/bilingual.h"
#include "app/programs.h"
#include "core/number_format.h"

namespace vortan::data_file_texts {
namespace {

namespace fs = std::filesystem;

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

Status ParametersStored() {
  return {"Οι παράμετροι αποθηκεύτηκαν: όλες οι εργασίες είναι διαθέσιμες.",
          "The parameters are stored: every job is ready."};
}

Status GridChoiceCancelled() {
  return {"Η επιλογή καννάβου ακυρώθηκε: οι κάνναβοι που είχαν φορτωθεί παραμένουν σε "
          "ισχύ.",
          "The choice of grid was cancelled: the grids loaded before stay in force."};
}

Status NoGridChosen(std::string_view which) {
  const std::string name(which);
  return {"Δεν επιλέχθηκε κάνναβος " + name +
              ": οι κάνναβοι δεν φορτώθηκαν. Τα βήματα 2 και 4 είναι διαθέσιμα· για τα "
              "βήματα 3 και 5 πατήστε ξανά το ΑΡΧΙΚΟ ΒΗΜΑ και επιλέξτε και τα δύο "
              "αρχεία καννάβων.",
          "No " + name +
              " grid was chosen: the grids are not loaded. Steps 2 and 4 are ready; for "
              "steps 3 and 5 press ΑΡΧΙΚΟ ΒΗΜΑ again and choose both grid files."};
}

std::string GridsNotLoadedText(std::string_view reasonGreek, std::string_view reason) {
  return Bilingual(
      "Οι κάνναβοι διορθώσεων δεν φορτώθηκαν. " + std::string(reasonGreek) +
          " Οι εργασίες των βημάτων 3 και 5 μένουν ανενεργές μέχρι να φορτωθούν και τα δύο "
          "αρχεία καννάβων: τρέξτε ξανά το ΑΡΧΙΚΟ ΒΗΜΑ και διαλέξτε το αρχείο dN και το "
          "αρχείο dE. Τα βήματα 2 και 4 είναι διαθέσιμα.",
      "The correction grids were not loaded. " + std::string(reason) +
          " The jobs of steps 3 and 5 stay disabled until both grid files load: run the "
          "initial step again and choose the dN and the dE grid file. Steps 2 and 4 are "
          "ready.");
}

Status GridsNotLoaded() {
  return {"Οι κάνναβοι δεν φορτώθηκαν: τα βήματα 3 και 5 μένουν ανενεργά.",
          "The grids were not loaded: steps 3 and 5 stay disabled."};
}

Status GridsLoaded(int rows, int columns, bool synthetic) {
  Status status{"Οι κάνναβοι φορτώθηκαν (" + Count(rows, "γραμμή", "γραμμές") + ", " +
                    Count(columns, "στήλη", "στήλες") + "): όλες οι εργασίες είναι διαθέσιμες.",
                "The grids are loaded (" + Count(rows, "row", "rows") + ", " +
                    Count(columns, "column", "columns") + "): every job is ready."};
  if (synthetic) {
    status.greek += " " + std::string(texts::kSyntheticGridsGreek);
    status.english += " " + std::string(texts::kSyntheticGridsEnglish);
  }
  return status;
}

std::string RefusedOutputText(std::string_view path, RefusedOutput why,
                              std::string_view earlierTitle) {
  std::string greek, english;
  switch (why) {
    case RefusedOutput::kJobInput:
      greek = "είναι το αρχείο εισόδου της εργασίας";
      english = "is the input of this job";
      break;
    case RefusedOutput::kEarlierOutput: {
      const std::string title(earlierTitle);
      greek = "είναι ήδη αρχείο εξόδου της εργασίας (" + title + ")";
      english = "is already an output of this job (" + title + ")";
      break;
    }
    case RefusedOutput::kGridFile:
      greek = "είναι αρχείο καννάβου του αρχικού βήματος";
      english = "is a grid file of the initial step";
      break;
  }
  const std::string file(path);
  return Bilingual("Το αρχείο " + file + " " + greek +
                       ": δεν μπορεί να γραφτεί ως αρχείο εξόδου. Επιλέξτε άλλο όνομα.",
                   "The file " + file + " " + english +
                       ": it cannot be an output. Choose another name.");
}

Status JobCancelled() {
  return {"Η εργασία ακυρώθηκε: κανένα αρχείο δεν άνοιξε ούτε γράφτηκε.",
          "The job was cancelled: no file was opened or written."};
}

Status JobRunning(std::string_view jobTitle) {
  return {"Εκτελείται: " + std::string(jobTitle), ""};
}

std::string JobErrorText(const JobOutcome& outcome) {
  std::string where;
  if (!outcome.file.empty()) where = " στο αρχείο " + outcome.file;
  if (outcome.line > 0) where += ", γραμμή " + std::to_string(outcome.line);
  if (!outcome.field.empty()) where += ", πεδίο " + outcome.field;
  return Bilingual("Η εργασία σταμάτησε λόγω σφάλματος" + where + ": " + outcome.reasonGreek +
                       ". " + WrittenGreek(outcome.pointsWritten),
                   outcome.Message());
}

std::string JobNotesText(const JobOutcome& outcome) {
  std::string greek, english;
  for (const NoteText& note : outcome.Notes()) {
    greek += (greek.empty() ? "Σημείωση: " : " Σημείωση: ") + note.greek;
    english += (english.empty() ? "Note: " : " Note: ") + note.english;
  }
  return greek.empty() ? "" : Bilingual(greek, english);
}

namespace {
// How the job ended, without its notes.
Status Ended(const JobOutcome& outcome);
}  // namespace

Status Finished(const JobOutcome& outcome) {
  Status status = Ended(outcome);
  for (const NoteText& note : outcome.Notes()) {
    status.greek += " Σημείωση: " + note.greek;
    status.english += " Note: " + note.english;
  }
  return status;
}

namespace {

Status Ended(const JobOutcome& outcome) {
  const auto [linesGreek, linesEnglish] = LinesInOutputs(outcome);
  const auto [whereGreek, whereEnglish] = Where(outcome);
  switch (outcome.status) {
    case JobStatus::kDone: {
      const std::vector<std::string> names = ShownNames(outcome.outputs);
      return {"Ολοκληρώθηκε: " +
                  Count(outcome.pointsWritten, "σημείο γράφτηκε", "σημεία γράφτηκαν") +
                  (names.size() == 1 ? " στο " : " στα ") + List(names, "και") + ".",
              "Done: " + Count(outcome.pointsWritten, "point", "points") + " written to " +
                  List(names, "and") + "."};
    }
    case JobStatus::kCancelled:
      return {"Η εργασία ακυρώθηκε" +
                  (outcome.pointId.empty() ? "" : " πριν από το σημείο " + outcome.pointId) +
                  (whereGreek.empty() ? "" : " (" + whereGreek + ")") + ". " + linesGreek,
              "Cancelled" +
                  (outcome.pointId.empty() ? "" : " before point " + outcome.pointId) +
                  (whereEnglish.empty() ? "" : " (" + whereEnglish + ")") + ". " +
                  linesEnglish};
    case JobStatus::kOutsideGrid:
      return {"Η εργασία σταμάτησε στο σημείο " + outcome.pointId +
                  (whereGreek.empty() ? "" : " (" + whereGreek + ")") +
                  ", που είναι εκτός του καννάβου. " + linesGreek,
              "The job stopped at the point " + outcome.pointId +
                  (whereEnglish.empty() ? "" : " (" + whereEnglish + ")") +
                  ", which lies outside the correction grid. " + linesEnglish};
    case JobStatus::kError:
      return {"Η εργασία σταμάτησε λόγω σφάλματος" +
                  (whereGreek.empty() ? "" : " (" + whereGreek + ")") + ": " +
                  outcome.reasonGreek + ". " + linesGreek,
              "The job stopped at an error" +
                  (whereEnglish.empty() ? "" : " (" + whereEnglish + ")") + ": " +
                  outcome.reason + ". " + linesEnglish};
  }
  return {};
}

}  // namespace

}  // namespace vortan::data_file_texts
