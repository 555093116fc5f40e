#include "transform/grid_messages.h"

#include <cmath>
#include <string>

#include "io/display_text.h"

namespace vortan::grid_messages {
namespace {

const char* const kNotAGrid = " This is not a correction grid file.";
const char* const kNotAGridGreek = " Αυτό δεν είναι αρχείο καννάβου διορθώσεων.";
constexpr const char* kHeaderNames[] = {"row count", "column count", "step", "southern Northing",
                                        "western Easting"};
constexpr const char* kHeaderNamesGreek[] = {
    "το πλήθος γραμμών", "το πλήθος στηλών", "το βήμα", "η βόρεια συντεταγμένη του νότου",
    "η ανατολική συντεταγμένη της δύσης"};

// A field as a message quotes it (its first 40 characters).
std::string Quoted(std::string_view field) {
  return "\"" + DisplayText(field.substr(0, 40)) + (field.size() > 40 ? "..." : "") + "\"";
}

// Where value k of a grid file (counted from 0, southern row first) stands in the grid: row i
// counted from the north, column j from the west.
std::string GridNode(std::size_t k, int rows, int columns) {
  const std::size_t perRow = static_cast<std::size_t>(columns);
  return "row " + std::to_string(rows - static_cast<long long>(k / perRow)) +
         " from the north, column " + std::to_string(k % perRow + 1) + " from the west";
}

std::string GridNodeGreek(std::size_t k, int rows, int columns) {
  const std::size_t perRow = static_cast<std::size_t>(columns);
  return "γραμμή " + std::to_string(rows - static_cast<long long>(k / perRow)) +
         " από βορρά, στήλη " + std::to_string(k % perRow + 1) + " από δύση";
}

}  // namespace

// A field that is no number, at the place `where` names.
GridError NotANumber(const GridError& where, std::string_view field) {
  return {where.english + ": " + Quoted(field) + " is not a number.",
          where.greek + ": το " + Quoted(field) + " δεν είναι αριθμός."};
}

// Where a header field stands: in a file at its line, in memory in the grid.
GridError HeaderFieldPlace(const std::string& at, const std::string& atGreek, int f) {
  return {at + ", header field " + kHeaderNames[f],
          atGreek + ", πεδίο επικεφαλίδας (" + kHeaderNamesGreek[f] + ")"};
}

// Why a correction value that does not fit (CorrectionFits), written as text, is refused at
// the place `where` names.
GridError BadCorrection(double value, std::string_view text, const GridError& where) {
  if (!std::isfinite(value)) return NotANumber(where, text);
  return {where.english + ": " + Quoted(text) +
              " is too large for a correction in centimetres: the corrections between the two "
              "systems are a few tens of centimetres, and this file allows at most " +
              FormatGridField(kMaxCorrectionCm) +
              " cm (10 m). Is the file written with decimal commas (-31,49559 read as two "
              "values)? Use the grid file as it was published.",
          where.greek + ": το " + Quoted(text) +
              " είναι πολύ μεγάλο για διόρθωση σε εκατοστά: οι διορθώσεις μεταξύ των δύο "
              "συστημάτων είναι λίγες δεκάδες εκατοστά, και αυτό το αρχείο δέχεται το πολύ " +
              FormatGridField(kMaxCorrectionCm) +
              " cm (10 m). Είναι γραμμένο με δεκαδικά κόμματα (το -31,49559 διαβάζεται ως δύο "
              "τιμές); Χρησιμοποιήστε το αρχείο του καννάβου όπως δημοσιεύτηκε."};
}

// Why value k (counted from 0 in the order of a grid file), written as text, is refused at the
// place `where` names, as a no-data value (LooksLikeNoData).
GridError NoDataValue(std::string_view text, std::size_t k, int rows, int columns,
                      const GridError& where) {
  return {where.english + " (" + GridNode(k, rows, columns) + "): " + Quoted(text) +
              " looks like a no-data value, which programs that make grids write where they "
              "have no correction, not a correction in centimetres. A correction grid has a "
              "correction at every node: use the grid file as it was published.",
          where.greek + " (" + GridNodeGreek(k, rows, columns) + "): το " + Quoted(text) +
              " μοιάζει με τιμή «χωρίς δεδομένα», που γράφουν τα προγράμματα καννάβων όπου "
              "δεν έχουν διόρθωση, όχι με διόρθωση σε εκατοστά. Ένας κάνναβος διορθώσεων έχει "
              "διόρθωση σε κάθε κόμβο: χρησιμοποιήστε το αρχείο του καννάβου όπως "
              "δημοσιεύτηκε."};
}

GridError HeaderNotWhole(const std::string& name, int f, const double (&header)[5]) {
  return GridError{name + ", header: the " + kHeaderNames[f] + " " +
                           FormatGridField(header[f]) + " is not a whole number from 1 to " +
                           std::to_string(kMaxGridCount) + "." + kNotAGrid,
                       name + ", επικεφαλίδα: " + kHeaderNamesGreek[f] + " " +
                           FormatGridField(header[f]) + " δεν είναι ακέραιος από 1 έως " +
                           std::to_string(kMaxGridCount) + "." + kNotAGridGreek};
}

GridError StepNotPositive(const std::string& name, const double (&header)[5]) {
  return GridError{name + ", header: the step " + FormatGridField(header[2]) +
                         " is not positive." + kNotAGrid,
                     name + ", επικεφαλίδα: το βήμα " + FormatGridField(header[2]) +
                         " δεν είναι θετικό." + kNotAGridGreek};
}

GridError StepOutside(const std::string& name, const double (&header)[5]) {
  const std::string range =
        FormatGridField(kMinGridStep) + " to " + FormatGridField(kMaxGridStep) + " m.";
    return GridError{name + ", header: the step " + FormatGridField(header[2]) +
                         " m is outside " + range + kNotAGrid,
                     name + ", επικεφαλίδα: το βήμα " + FormatGridField(header[2]) +
                         " m είναι έξω από το διάστημα " + FormatGridField(kMinGridStep) +
                         " έως " + FormatGridField(kMaxGridStep) + " m." + kNotAGridGreek};
}

GridError CornerBeyond(const std::string& name, int f, const double (&header)[5]) {
  return GridError{name + ", header: the " + kHeaderNames[f] + " " +
                           FormatGridField(header[f]) +
                           " m lies beyond any TM07 coordinate (at most " +
                           FormatGridField(kMaxGridCoordinate) + " m)." + kNotAGrid,
                       name + ", επικεφαλίδα: " + kHeaderNamesGreek[f] + " " +
                           FormatGridField(header[f]) +
                           " m είναι πέρα από κάθε συντεταγμένη TM07 (το πολύ " +
                           FormatGridField(kMaxGridCoordinate) + " m)." + kNotAGridGreek};
}

GridError SameValues(const std::string& dnName, const std::string& deName) {
  return GridError{dnName + " and " + deName +
                       " hold the same correction at every node: one is a copy of the other, "
                       "and its corrections would be applied to both axes. Choose the dN file "
                       "and the dE file of the grid as they were published.",
                   "Τα " + dnName + " και " + deName +
                       " έχουν την ίδια διόρθωση σε κάθε κόμβο: το ένα είναι αντίγραφο του "
                       "άλλου, και οι διορθώσεις του θα εφαρμόζονταν και στους δύο άξονες. "
                       "Διαλέξτε τα αρχεία dN και dE του καννάβου όπως δημοσιεύτηκαν."};
}

GridError HeadersDiffer(const std::string& dnName, const std::string& deName) {
  return GridError{"The headers of " + dnName + " and " + deName +
                       " differ (rows, columns, step or south-west corner): the two files do "
                       "not belong together. Choose the dN and dE files of one grid.",
                   "Οι επικεφαλίδες των " + dnName + " και " + deName +
                       " διαφέρουν (γραμμές, στήλες, βήμα ή νοτιοδυτική γωνία): τα δύο αρχεία "
                       "δεν ανήκουν μαζί. Διαλέξτε τα αρχεία dN και dE ενός καννάβου."};
}

GridError CannotOpen(const std::string& name) {
  return {name + ": cannot be opened (missing or unreadable). Put the grid file "
                              "there or choose another.",
             name + ": δεν ανοίγει (λείπει ή δεν διαβάζεται). Βάλτε εκεί το αρχείο "
                              "του καννάβου ή διαλέξτε άλλο."};
}

GridError IsFolder(const std::string& name) {
  return {name + ": is a folder, not a grid file. Choose the grid file itself.",
             name + ": είναι φάκελος, όχι αρχείο καννάβου. Διαλέξτε το ίδιο το αρχείο "
                              "του καννάβου."};
}

GridError ReadError(const std::string& name) {
  return {name + ": read error.", name + ": σφάλμα ανάγνωσης."};
}

GridError UnicodeEncoding(const std::string& name, const char* unicode) {
  return {name + ": the file is in " + unicode +
                  " (Unicode) encoding; save it as plain text (UTF-8 or ANSI).",
              name + ": το αρχείο είναι σε κωδικοποίηση " + unicode +
                  " (Unicode)· αποθηκεύστε το ως απλό κείμενο (UTF-8 ή ANSI)."};
}

GridError NotText(const std::string& name, const NonTextKind& kind) {
  return {name + ": " + NonTextReason(kind, "correction grid file") + ".",
              name + ": " + NonTextReasonGreek(kind, "αρχείο καννάβου διορθώσεων") +
                  "."};
}

GridError NulBytes(const GridError& where) {
  return {where.english + ": the file holds NUL bytes; it is no text file and no correction "
                              "grid file.",
              where.greek + ": το αρχείο περιέχει bytes NUL· δεν είναι αρχείο κειμένου ούτε "
                            "αρχείο καννάβου διορθώσεων."};
}

GridError FieldTooLong(const GridError& where) {
  return {where.english + ": a field of more than 64 characters, which no number has. This "
                              "is not a correction grid file.",
              where.greek + ": πεδίο με περισσότερους από 64 χαρακτήρες, που κανένας αριθμός "
                            "δεν έχει. Αυτό δεν είναι αρχείο καννάβου διορθώσεων."};
}

GridError EndsInHeader(const std::string& at, const std::string& atGreek, int f) {
  return {at + ": the file ends before the " + kHeaderNames[f] + " of the header.",
               atGreek + ": το αρχείο τελειώνει πριν από την επικεφαλίδα (λείπει " +
                   kHeaderNamesGreek[f] + ")."};
}

GridError EndsInValues(const std::string& at, const std::string& atGreek, std::size_t k,
                       std::size_t total) {
  return {at + ": the file ends after " + std::to_string(k) + " of the " +
                   std::to_string(total) + " correction values that its header announces.",
               atGreek + ": το αρχείο τελειώνει μετά από " + std::to_string(k) + " από τις " +
                   std::to_string(total) + " τιμές διορθώσεων που δηλώνει η επικεφαλίδα του."};
}

GridError CountsSwapped(const std::string& name, int rows, int columns) {
  return {name + ": every line of values holds " + std::to_string(rows) +
                 " values, the header's row count, where a row of the grid holds its column "
                 "count, " + std::to_string(columns) +
                 ": the row and column counts of the header look swapped. Use the grid file as "
                 "it was published.",
             name + ": κάθε γραμμή τιμών έχει " + std::to_string(rows) +
                 " τιμές, όσο το πλήθος γραμμών της επικεφαλίδας, ενώ μια γραμμή του καννάβου "
                 "έχει όσες τιμές το πλήθος στηλών, " + std::to_string(columns) +
                 ": τα πλήθη γραμμών και στηλών της επικεφαλίδας φαίνονται αντεστραμμένα. "
                 "Χρησιμοποιήστε το αρχείο του καννάβου όπως δημοσιεύτηκε."};
}

GridError TextAfterValues(const std::string& name, int line, std::size_t total,
                          const std::string& text) {
  return {name + ", line " + std::to_string(line) + ": text after the " +
                   std::to_string(total) + " values: " + Quoted(text) +
                   ". A grid file holds its header and its values only; use the grid file as "
                   "it was published.",
               name + ", γραμμή " + std::to_string(line) + ": κείμενο μετά τις " +
                   std::to_string(total) + " τιμές: " + Quoted(text) +
                   ". Ένα αρχείο καννάβου έχει μόνο την επικεφαλίδα και τις τιμές του· "
                   "χρησιμοποιήστε το όπως δημοσιεύτηκε."};
}

GridError MoreValues(const std::string& name, std::size_t extra, std::size_t total) {
  return {name + ": the file holds " +
                 (extra <= total ? std::to_string(extra) : "more than " + std::to_string(total)) +
                 " more values than the " + std::to_string(total) +
                 " its header announces. Is it written with decimal commas (-11,75 read as two "
                 "values)? Use the grid file as it was published.",
             name + ": το αρχείο έχει " +
                 (extra <= total ? std::to_string(extra)
                                 : "περισσότερες από " + std::to_string(total)) +
                 " τιμές πάνω από τις " + std::to_string(total) +
                 " που δηλώνει η επικεφαλίδα του. Είναι γραμμένο με δεκαδικά κόμματα (το -11,75 "
                 "διαβάζεται ως δύο τιμές); Χρησιμοποιήστε το αρχείο του καννάβου όπως "
                 "δημοσιεύτηκε."};
}

GridError NamesSwapped(const std::string& dnName, const std::string& deName) {
  std::string which, whichGreek;
  if (!dnName.empty()) {
    which = dnName + ", given as the dN grid, is named as a dE grid";
    whichGreek = "το " + dnName + ", δοσμένο ως κάνναβος dN, έχει όνομα καννάβου dE";
  }
  if (!deName.empty()) {
    which += std::string(which.empty() ? "" : ", and ") + deName +
             ", given as the dE grid, is named as a dN grid";
    whichGreek += std::string(whichGreek.empty() ? "" : ", και ") + "το " + deName +
                  ", δοσμένο ως κάνναβος dE, έχει όνομα καννάβου dN";
  }
  return {which + ": the two look swapped. Give the dN file as the dN grid and the dE "
                          "file as the dE grid.",
                  whichGreek + ": τα δύο φαίνονται αντεστραμμένα. Δώστε το αρχείο dN ως "
                               "κάνναβο dN και το αρχείο dE ως κάνναβο dE."};
}

GridError OneFileForBoth(const std::string& name, const std::string& as) {
  return {name + " is given for both the dN and the dE grid" +
                      (as.empty() ? "" : " (as " + as + ")") +
                      ": they are two files. Choose the dN file and the dE file.",
                  "Το " + name + " δόθηκε και για τον κάνναβο dN και για τον dE" +
                      (as.empty() ? "" : " (ως " + as + ")") +
                      ": είναι δύο αρχεία. Διαλέξτε το αρχείο dN και το αρχείο dE."};
}

GridError NoMemory(const std::string& name) {
  return {name + ": not enough memory to load it.",
          name + ": δεν υπάρχει αρκετή μνήμη για να φορτωθεί."};
}

GridError ValueCount(const std::string& name, std::size_t held, std::size_t total, int rows,
                     int columns) {
  const std::string heldText = std::to_string(held), announced =
      std::to_string(total) + " (" + std::to_string(rows) + " x " + std::to_string(columns) + ")";
  return GridError{name + ": the grid holds " + heldText + " correction values, where its header "
                          "announces " + announced + ".",
                   name + ": ο κάνναβος έχει " + heldText + " τιμές διορθώσεων, ενώ η επικεφαλίδα "
                          "του δηλώνει " + announced + "."};
}

GridError ValuePlace(const std::string& at, const std::string& atGreek, std::size_t k) {
  return {at + ", value " + std::to_string(k + 1), atGreek + ", τιμή " + std::to_string(k + 1)};
}

}  // namespace vortan::grid_messages
