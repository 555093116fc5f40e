#include "data_files/record_messages.h"

#include <string>

#include "io/display_text.h"
#include "io/files.h"

namespace vortan::record_messages {

Problem NotText(const NonTextKind& kind) {
  const bool known = kind.known();
  return {"", 1, "",
          known ? NonTextReason(kind, "coordinate file")
                : "the file begins with NUL bytes: it is no text file and no coordinate file; "
                  "choose the coordinate file",
          known ? NonTextReasonGreek(kind, "αρχείο συντεταγμένων")
                : "το αρχείο αρχίζει με bytes NUL: δεν είναι αρχείο κειμένου ούτε αρχείο "
                  "συντεταγμένων· διαλέξτε το αρχείο συντεταγμένων"};
}

Problem Unicode(std::string_view encoding) {
  const std::string unicode(encoding);
  return {"", 1, "",
          "the file is in " + unicode +
              " (Unicode) encoding; save it as plain text (UTF-8 or ANSI) with one record a "
              "line, then run the job again",
          "το αρχείο είναι σε κωδικοποίηση " + unicode +
              " (Unicode)· αποθηκεύστε το ως απλό κείμενο (UTF-8 ή ANSI) με μία εγγραφή σε "
              "κάθε γραμμή και ξανατρέξτε την εργασία"};
}

Problem ReadFailure(std::uint64_t line, int error) {
  return {"", line, "", "read error (" + SystemReason(error) + ")",
          "σφάλμα ανάγνωσης (" + SystemReasonGreek(error) + ")"};
}

Problem RecordOverLimit(std::uint64_t line) {
  return {"", line, "",
          "a record longer than 1 MiB: no coordinate file has one (is this a coordinate file?)",
          "εγγραφή μεγαλύτερη από 1 MiB: κανένα αρχείο συντεταγμένων δεν έχει τέτοια (είναι "
          "αυτό αρχείο συντεταγμένων;)"};
}

Problem RecordTooLong(std::uint64_t line) {
  return {"", line, "", "record too long", "εγγραφή πολύ μεγάλη"};
}

Problem UnclosedQuote(std::uint64_t recordLine) {
  return {"", recordLine, "id",
          "the id begins with a double quote that is never closed; close the quote or remove it",
          "ο κωδικός αρχίζει με εισαγωγικό που δεν κλείνει ποτέ· κλείστε το εισαγωγικό ή "
          "αφαιρέστε το"};
}

Problem QuoteClosedLater(std::uint64_t recordLine, std::uint64_t closingLine) {
  const std::string closing = std::to_string(closingLine);
  return {"", recordLine, "id",
          "the double quote that opens the id on this line closes only on line " + closing +
              ", and text follows it there: is the closing quote missing? Close the quote on "
              "this line",
          "το εισαγωγικό που ανοίγει τον κωδικό σε αυτή τη γραμμή κλείνει μόλις στη γραμμή " +
              closing +
              ", και εκεί ακολουθεί κείμενο: λείπει το εισαγωγικό που κλείνει; Κλείστε το "
              "εισαγωγικό σε αυτή τη γραμμή"};
}

Problem TextAfterQuote(std::uint64_t line) {
  return {"", line, "id",
          "text follows the closing double quote of the id; put a comma after the quoted id",
          "μετά το εισαγωγικό που κλείνει τον κωδικό ακολουθεί κείμενο· βάλτε κόμμα μετά τον "
          "κωδικό σε εισαγωγικά"};
}

Problem OtherSeparator(std::uint64_t line, char separator) {
  const bool semicolon = separator == ';';
  return {"", line, "id",
          std::string("the fields of this line seem to be separated by ") +
              (semicolon ? "semicolons (;)" : "tabs") +
              ": these files separate fields with commas (,) and write decimals with a point "
              "(.). Save the file with commas between the fields (an id that holds a " +
              (semicolon ? "semicolon" : "tab") + " must be put in double quotes)",
          std::string("τα πεδία αυτής της γραμμής φαίνεται να χωρίζονται με ") +
              (semicolon ? "ελληνικά ερωτηματικά (;)" : "στηλοθέτες (tab)") +
              ": αυτά τα αρχεία χωρίζουν τα πεδία με κόμμα (,) και γράφουν τα δεκαδικά με "
              "τελεία (.). Αποθηκεύστε το αρχείο με κόμματα ανάμεσα στα πεδία (ένας κωδικός "
              "που περιέχει " +
              (semicolon ? "ελληνικό ερωτηματικό" : "στηλοθέτη") + " μπαίνει σε εισαγωγικά)"};
}

Problem FileEndsInRecord(std::uint64_t recordLine, std::string_view field) {
  const std::string name(field);
  const std::string begins = std::to_string(recordLine);
  return {"", recordLine, name,
          "the file ends inside the record that begins on line " + begins + ": field " + name +
              " is missing; complete or remove that record",
          "το αρχείο τελειώνει μέσα στην εγγραφή που αρχίζει στη γραμμή " + begins +
              ": λείπει το πεδίο " + name + "· συμπληρώστε ή αφαιρέστε αυτή την εγγραφή"};
}

Problem MidLine(const RawRecord& record, std::uint64_t recordLine, std::uint64_t line,
                std::size_t extraFields, const std::array<std::string_view, 3>& fieldNames,
                std::string_view commaNumber) {
  const std::string begins = std::to_string(recordLine);
  // The first field that the record took from a later line than its id, where a field seems
  // to be missing: that field is named.
  for (int n = 0; n < 3; ++n) {
    if (record.numbers[n].line <= recordLine) continue;
    const std::string name(fieldNames[n]);
    const std::string from = std::to_string(record.numbers[n].line);
    return {"", line, name,
            "the record that begins on line " + begins + " takes its field " + name +
                " from line " + from +
                ", where more fields follow, so the next record would begin in the middle of "
                "that line: is a field missing on line " + begins +
                "? Each record needs an id and three numbers; complete line " + begins,
            "η εγγραφή που αρχίζει στη γραμμή " + begins + " παίρνει το πεδίο " + name +
                " από τη γραμμή " + from +
                ", όπου ακολουθούν κι άλλα πεδία, και η επόμενη εγγραφή θα άρχιζε στη μέση "
                "εκείνης της γραμμής: λείπει ένα πεδίο στη γραμμή " + begins +
                "; Κάθε εγγραφή χρειάζεται έναν κωδικό και τρεις αριθμούς· συμπληρώστε τη "
                "γραμμή " + begins};
  }
  // All on one line: too many fields for one record.
  const std::string lineText = std::to_string(record.numbers[2].line);
  const std::size_t fields = 4 + extraFields;
  const bool commas = fields >= 6;
  // The number as the line holds it, made safe to show and cut short when long.
  constexpr std::size_t kLongest = 40;
  std::string found = DisplayText(commaNumber.substr(0, kLongest));
  if (commaNumber.size() > kLongest) found += "...";
  const std::string looks =
      commas ? "decimal commas (" + found +
                   " reads as one number written with a comma instead of a point, as a Greek "
                   "spreadsheet exports it)"
             : "an extra column after the height (a code or a note), or a decimal comma";
  const std::string looksGreek =
      commas ? "δεκαδικά με κόμμα (το " + found +
                   " διαβάζεται ως ένας αριθμός γραμμένος με κόμμα αντί για τελεία, όπως τον "
                   "εξάγει ένα ελληνικό υπολογιστικό φύλλο)"
             : "μια επιπλέον στήλη μετά το ύψος (ένας κωδικός ή μια σημείωση) ή ένα δεκαδικό "
               "κόμμα";
  return {"", line, "",
          "line " + lineText + " holds " + std::to_string(fields) +
              " fields, more than the four of one record (an id and three numbers): it looks "
              "like " + looks +
              ". Write decimals with a point (.), keep four fields to a line, and run the job "
              "again",
          "η γραμμή " + lineText + " έχει " + std::to_string(fields) +
              " πεδία, περισσότερα από τα τέσσερα μιας εγγραφής (ένας κωδικός και τρεις "
              "αριθμοί): μοιάζει με " + looksGreek +
              ". Γράψτε τα δεκαδικά με τελεία (.), κρατήστε τέσσερα πεδία σε κάθε γραμμή και "
              "ξανατρέξτε την εργασία"};
}

}  // namespace vortan::record_messages
