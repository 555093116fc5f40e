#include "data_files/job_messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/angles.h"
#include "core/number_format.h"
#include "data_files/jobs.h"
#include "io/display_text.h"
#include "io/files.h"
#include "transform/grid_file.h"

namespace vortan {
namespace job_messages {

Reason RecordBeginsEarlier(std::uint64_t recordLine) {
  const std::string line = std::to_string(recordLine);
  return {" (the record begins on line " + line + "; is a field missing there?)",
          " (η εγγραφή αρχίζει στη γραμμή " + line + "· λείπει εκεί ένα πεδίο;)"};
}

Reason OutOfRange(std::string_view text, int field, double radians) {
  char degrees[32];
  std::snprintf(degrees, sizeof degrees, "%.5f", radians * 180 / kPi);
  const bool latitude = field == 0;
  const std::string quoted = "\"" + DisplayText(text) + "\"";
  return {quoted + " is a " + (latitude ? "latitude" : "longitude") + " of " + degrees + "°, " +
              (latitude ? "beyond ±90°" : "beyond ±180°") +
              ": no point of the Earth has it. Are the columns in the right order (id, "
              "latitude, longitude, height), with angles as DDMMSS.SSSSS, and is the file of "
              "the form the job reads? Correct the field or choose the right file",
          "το " + quoted + " είναι γεωγραφικό " + (latitude ? "πλάτος " : "μήκος ") + degrees +
              "°, πέρα από " + (latitude ? "±90°" : "±180°") +
              ": κανένα σημείο της Γης δεν το έχει. Είναι οι στήλες στη σωστή σειρά (κωδικός, "
              "πλάτος, μήκος, ύψος), με τις γωνίες σε DDMMSS.SSSSS, και είναι το αρχείο της "
              "μορφής που διαβάζει η εργασία; Διορθώστε το πεδίο ή διαλέξτε το σωστό αρχείο"};
}

Reason NumericFault(const char* fault) {
  return {"numeric fault (" + std::string(fault) +
              ") in the computation of this point: its coordinates are far outside the area "
              "the conversion serves; correct or remove it",
          "αριθμητικό σφάλμα (" + FaultNameGreek(fault) +
              ") στον υπολογισμό αυτού του σημείου: οι συντεταγμένες του είναι πολύ έξω από "
              "την περιοχή που εξυπηρετεί ο μετασχηματισμός· διορθώστε ή αφαιρέστε το"};
}

Reason WriteFailure(int error, const std::string& path) {
  if (error == EPIPE) {
    if (path == "-") {
      return {"cannot be written: the program reading standard output has closed it (a broken "
              "pipe, as after | head); the outputs hold complete lines only, the same number in "
              "each. Let the reading program take the whole output, or give an output file "
              "instead of -",
              "δεν γράφεται: το πρόγραμμα που διάβαζε την τυπική έξοδο την έκλεισε (σπασμένη "
              "σωλήνωση, όπως μετά από | head)· τα αρχεία εξόδου έχουν μόνο πλήρεις γραμμές, τον "
              "ίδιο αριθμό το καθένα. Αφήστε το πρόγραμμα που διαβάζει να πάρει όλη την έξοδο, ή "
              "δώστε αρχείο εξόδου αντί για -"};
    }
    return {"cannot be written: the program reading this pipe has closed it (a broken pipe); "
            "the outputs hold complete lines only, the same number in each",
            "δεν γράφεται: το πρόγραμμα που διάβαζε αυτή τη σωλήνωση την έκλεισε· τα αρχεία "
            "εξόδου έχουν μόνο πλήρεις γραμμές, τον ίδιο αριθμό το καθένα"};
  }
  bool full = error == ENOSPC || error == EFBIG;
#if defined(EDQUOT)
  full = full || error == EDQUOT;
#endif
  return {"cannot be written (" + SystemReason(error) + "); the outputs hold complete lines only. " +
              (full ? "Free some space or choose another place, then run the job again"
                    : "Choose another place, then run the job again"),
          "δεν γράφεται (" + SystemReasonGreek(error) +
              ")· τα αρχεία εξόδου έχουν μόνο πλήρεις γραμμές. " +
              (full ? "Ελευθερώστε χώρο ή διαλέξτε άλλη θέση και ξανατρέξτε την εργασία"
                    : "Διαλέξτε άλλη θέση και ξανατρέξτε την εργασία")};
}

std::string GridCoverage(const GridHeader& h, double falseNorthing, double easting,
                         double northing) {
  return "The grid read covers E " + FormatGridField(h.eWest) + " to " +
         FormatGridField(h.eEast()) + ", N " + FormatGridField(h.nSouth) + " to " +
         FormatGridField(h.nNorth()) + " (TM07, the false northing " +
         FormatGridField(falseNorthing) + " included), far from this point at E " +
         FormatNumber(easting, patterns::kMetres) + ", N " +
         FormatNumber(northing, patterns::kMetres) +
         ", which lies inside the area the program serves: is this the grid file you meant?";
}


Reason OutputCount(const std::string& job, std::size_t written, std::size_t given) {
  return {job + " writes " + std::to_string(written) + " output file" +
              (written == 1 ? "" : "s") + ", " + std::to_string(given) + " were given",
          "η εργασία γράφει " + std::to_string(written) + " αρχεία εξόδου, δόθηκαν " +
              std::to_string(given)};
}

Reason InitialStepMissing(bool grids) {
  return {"the initial step has not run: the transformation parameters" +
              std::string(grids ? " and the correction grids are not loaded" : " are not set"),
          "το αρχικό βήμα δεν έχει γίνει: " +
              std::string(grids ? "οι παράμετροι του μετασχηματισμού και οι κάνναβοι "
                                  "διορθώσεων δεν έχουν φορτωθεί"
                                : "οι παράμετροι του μετασχηματισμού δεν έχουν οριστεί")};
}

Reason EmptyInputName() {
  return {"an empty file name was given for the input; name a file",
          "δόθηκε κενό όνομα αρχείου για την είσοδο· δώστε ένα αρχείο"};
}

Reason InputCannotOpen(int error) {
  return {"cannot be opened (" + SystemReason(error) + "); check the name and the folder",
          "δεν ανοίγει (" + SystemReasonGreek(error) + ")· ελέγξτε το όνομα και τον φάκελο"};
}

Reason InputIsFolder() {
  return {"is a folder, not a coordinate file; choose a file",
          "είναι φάκελος, όχι αρχείο συντεταγμένων· διαλέξτε ένα αρχείο"};
}

Reason PartCannotBeRead(std::uint64_t offset, std::uint64_t size) {
  const std::string at = std::to_string(offset), of = std::to_string(size);
  return {"has no part at byte " + at + " (it is a file of " + of +
              " bytes, or one that cannot be read from a given place, such as a pipe); give "
              "a part within the file, or the whole file",
          "δεν έχει τμήμα στο byte " + at + " (είναι αρχείο " + of +
              " bytes, ή αρχείο που δεν διαβάζεται από δοσμένη θέση, όπως ένας αγωγός)· δώστε "
              "τμήμα μέσα στο αρχείο, ή όλο το αρχείο"};
}

Reason PartInsideLine(std::uint64_t offset) {
  const std::string at = std::to_string(offset);
  return {"the part at byte " + at + " begins inside a line; a part must begin at the start "
              "of a line (just after a line break)",
          "το τμήμα στο byte " + at + " αρχίζει μέσα σε γραμμή· ένα τμήμα πρέπει να αρχίζει "
              "στην αρχή γραμμής (αμέσως μετά από αλλαγή γραμμής)"};
}

Reason NoMemoryDuringRecords() {
  return {"not enough memory to go on (the system refused more); the outputs hold "
          "complete lines. Close other programs, or run the job with fewer threads",
          "δεν υπάρχει αρκετή μνήμη για να συνεχίσει (το σύστημα αρνήθηκε)· τα αρχεία "
          "εξόδου έχουν πλήρεις γραμμές. Κλείστε άλλα προγράμματα ή τρέξτε την εργασία "
          "με λιγότερα νήματα"};
}

Reason NoMemoryForJob() {
  return {"not enough memory to run the job (the system refused more); close other "
          "programs, or run the job with fewer threads",
          "δεν υπάρχει αρκετή μνήμη για την εργασία (το σύστημα αρνήθηκε)· κλείστε άλλα "
          "προγράμματα ή τρέξτε την εργασία με λιγότερα νήματα"};
}

}  // namespace job_messages

NoteText OutsideGreeceNote(std::uint64_t count, std::uint64_t total, const NoteText& first,
                           double latitude, double longitude) {
  char where[96];
  std::snprintf(where, sizeof where, "φ %.5f°, λ %.5f°", latitude, longitude);
  char envelope[64];
  std::snprintf(envelope, sizeof envelope, "φ %g° to %g°, λ %g° to %g°", JobNotes::kSouth,
                JobNotes::kNorth, JobNotes::kWest, JobNotes::kEast);
  char envelopeGreek[64];
  std::snprintf(envelopeGreek, sizeof envelopeGreek, "φ %g° έως %g°, λ %g° έως %g°",
                JobNotes::kSouth, JobNotes::kNorth, JobNotes::kWest, JobNotes::kEast);
  const std::string n = std::to_string(count), of = std::to_string(total);
  return {n + " από τα " + of + " σημεία που υπολογίστηκαν " +
              (count == 1 ? "βρίσκεται" : "βρίσκονται") + " έξω από την Ελλάδα (" +
              envelopeGreek + ")· το πρώτο, " + first.greek + ", στο " + where +
              ": είναι οι στήλες στη σωστή σειρά και η μορφή η σωστή;",
          n + " of the " + of + " points converted lie" + (count == 1 ? "s" : "") +
              " outside Greece (" + envelope + "); the first, " + first.english + ", at " +
              where + ": are the columns in the right order and the form right?"};
}

NoteText DecimalDegreesNote(const std::string& field, const NoteText& point,
                            const std::string& text, double value, std::uint64_t count) {
  const std::string typed = DisplayText(text);
  const std::string written = FormatNumber(DecimalDegreesAsPacked(value), patterns::kPacked);
  NoteText note{"το πεδίο " + field + " του σημείου " + point.greek +
                    " δέχεται μοίρες, λεπτά και δεύτερα ως DDMMSS.SSSSS: αν το " + typed +
                    " είναι δεκαδικές μοίρες, γράψτε " + written,
                "field " + field + " of point " + point.english +
                    " takes degrees, minutes and seconds as DDMMSS.SSSSS: if " + typed +
                    " is in decimal degrees, write " + written};
  if (count > 1) {
    const std::string angles = std::to_string(count);
    note.greek += " (" + angles +
                  " γωνίες του αρχείου είναι κάτω από 100, όπως θα ήταν δεκαδικές μοίρες)";
    note.english += " (" + angles + " angles of the file are below 100, as decimal degrees would be)";
  }
  note.greek += ".";
  note.english += ".";
  return note;
}

std::vector<NoteText> JobOutcome::Notes() const {
  std::vector<NoteText> texts;
  auto where = [&](const std::string& id, std::uint64_t line) {
    const std::string at = DisplayText(id) + " (" + input + ", ";
    return NoteText{at + "γραμμή " + std::to_string(line) + ")",
                    at + "line " + std::to_string(line) + ")"};
  };
  if (notes.outsideGreece > 0) {
    texts.push_back(OutsideGreeceNote(notes.outsideGreece, pointsWritten,
                                      where(notes.outsideId, notes.outsideLine),
                                      notes.outsideLatitude, notes.outsideLongitude));
  }
  if (notes.decimalDegrees > 0) {
    texts.push_back(DecimalDegreesNote(notes.degreesField,
                                       where(notes.degreesId, notes.degreesLine),
                                       notes.degreesText, notes.degreesValue,
                                       notes.decimalDegrees));
  }
  return texts;
}

std::vector<std::string> JobOutcome::NoteTexts() const {
  std::vector<std::string> texts;
  for (const NoteText& note : Notes()) texts.push_back(note.english);
  return texts;
}

std::string JobOutcome::Message() const {
  // How many points went where: the same in every output, or per file where they differ.
  auto written = [&] {
    if (!outputsCreated) return std::string("Nothing was written");
    const bool even = std::all_of(linesWritten.begin(), linesWritten.end(),
                                  [&](std::uint64_t n) { return n == pointsWritten; });
    auto points = [](std::uint64_t n) {
      return std::to_string(n) + (n == 1 ? " point" : " points");
    };
    // The outputs named as written, and those that discard their lines.
    auto names = [&](bool discarding) {
      std::vector<std::string> list;
      for (std::size_t i = 0; i < outputs.size(); ++i) {
        if ((i < discarded.size() && discarded[i]) == discarding) {
          list.push_back(FileDisplayName(outputs[i], false));
        }
      }
      std::string s;
      for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) s += i + 1 == list.size() ? " and " : ", ";
        s += list[i];
      }
      return s;
    };
    if (even || linesWritten.size() != outputs.size()) {
      const std::string written = names(false), gone = names(true);
      std::string s = points(pointsWritten) + (written.empty() && !gone.empty() ? " converted"
                                                                                : " written");
      if (!written.empty()) s += " to " + written;
      if (!gone.empty()) {
        s += "; the lines for " + gone +
             " were discarded (the null device)";
      }
      return s;
    }
    std::string s;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
      if (i > 0) s += i + 1 == outputs.size() ? " and " : ", ";
      s += std::to_string(linesWritten[i]) + (linesWritten[i] == 1 ? " line" : " lines") +
           " in " + FileDisplayName(outputs[i], false);
    }
    return s + " (complete lines)";
  };
  const std::string id = DisplayText(pointId);
  switch (status) {
    case JobStatus::kDone:
      return written() + ".";
    case JobStatus::kCancelled:
      if (pointId.empty()) return "Cancelled: " + written() + ".";
      return "Cancelled before point " + id + ": " + written() + ".";
    case JobStatus::kOutsideGrid:
      return "Το σημείο είναι εκτός του καννάβου : " + id + "\nThe point " + id + " (" + file +
             ", line " + std::to_string(line) +
             ") lies outside the correction grid; the job stopped there. " +
             (gridCoverage.empty() ? std::string() : gridCoverage + " ") + written() + ".";
    case JobStatus::kError:
      return Text() + ". " + written() + ".";
  }
  return "";
}

}  // namespace vortan
