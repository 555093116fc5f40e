#include "io/file_kind.h"

#include <cstring>
#include <string_view>

namespace vortan {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

constexpr std::size_t kZipLook = 4096;  // a workbook names its parts in its first entries

}  // namespace

std::size_t NonTextBytesWanted(const char* bytes, std::size_t size) {
  const std::string_view b(bytes, size);
  return StartsWith(b, "PK\x03\x04") ? kZipLook : 16;
}

NonTextKind NonTextKindOf(const char* bytes, std::size_t size) {
  const std::string_view b(bytes, size);
  if (StartsWith(b, "PK\x03\x04") || StartsWith(b, "PK\x05\x06")) {
    if (b.find("xl/") != std::string_view::npos) {
      return {"an Excel workbook", "save the sheet as CSV or text", "βιβλίο εργασίας του Excel",
              "αποθηκεύστε το φύλλο ως CSV ή κείμενο"};
    }
    if (b.find("opendocument.spreadsheet") != std::string_view::npos) {
      return {"a LibreOffice or OpenOffice spreadsheet", "save the sheet as CSV or text",
              "υπολογιστικό φύλλο του LibreOffice ή του OpenOffice",
              "αποθηκεύστε το φύλλο ως CSV ή κείμενο"};
    }
    if (b.find("word/") != std::string_view::npos ||
        b.find("opendocument.text") != std::string_view::npos) {
      return {"a word processor document", "save the coordinates as plain text",
              "έγγραφο επεξεργαστή κειμένου", "αποθηκεύστε τις συντεταγμένες ως απλό κείμενο"};
    }
    return {"a zip archive", "take the coordinate file out of the archive first", "αρχείο zip",
            "βγάλτε πρώτα το αρχείο συντεταγμένων από το zip"};
  }
  if (StartsWith(b, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    return {"an Excel 97-2003 workbook or an old Office document",
            "save the sheet as CSV or text",
            "βιβλίο εργασίας του Excel 97-2003 ή παλιό έγγραφο του Office",
            "αποθηκεύστε το φύλλο ως CSV ή κείμενο"};
  }
  if (StartsWith(b, "%PDF")) {
    return {"a PDF document", "take the coordinates from the program that made it, as text",
            "έγγραφο PDF", "πάρτε τις συντεταγμένες ως κείμενο από το πρόγραμμα που το έφτιαξε"};
  }
  if (StartsWith(b, "\x7F" "ELF") || StartsWith(b, "MZ")) {
    return {"a program", "choose the coordinate file", "πρόγραμμα",
            "διαλέξτε το αρχείο συντεταγμένων"};
  }
  if (StartsWith(b, std::string_view("SQLite format 3\0", 16))) {
    return {"a GeoPackage or SQLite database",
            "convert it with convert, which reads GIS datasets, or export the points as text",
            "βάση GeoPackage ή SQLite",
            "μετατρέψτε τη με το convert, που διαβάζει αρχεία GIS, ή εξαγάγετε τα σημεία ως "
            "κείμενο"};
  }
  if (StartsWith(b, "\x1F\x8B")) {
    return {"a gzip-compressed file", "decompress it first", "αρχείο συμπιεσμένο με gzip",
            "αποσυμπιέστε το πρώτα"};
  }
  if (StartsWith(b, "\x89PNG") || StartsWith(b, "\xFF\xD8\xFF") || StartsWith(b, "GIF8")) {
    return {"an image", "choose the coordinate file", "εικόνα",
            "διαλέξτε το αρχείο συντεταγμένων"};
  }
  return {};
}

std::string NonTextReason(const NonTextKind& kind, const char* whatTheFileShouldBe) {
  if (!kind.known()) {
    return std::string("this is not a text file (it holds NUL bytes) and no ") +
           whatTheFileShouldBe + "; choose the " + whatTheFileShouldBe;
  }
  return std::string("this is not a text file (it looks like ") + kind.what + "): " + kind.todo;
}

std::string NonTextReasonGreek(const NonTextKind& kind, const char* whatTheFileShouldBe) {
  if (!kind.known()) {
    return std::string("αυτό δεν είναι αρχείο κειμένου (περιέχει bytes NUL) ούτε ") +
           whatTheFileShouldBe + "· διαλέξτε το " + whatTheFileShouldBe;
  }
  return std::string("αυτό δεν είναι αρχείο κειμένου (μοιάζει με ") + kind.whatGreek + "): " +
         kind.todoGreek;
}

}  // namespace vortan
