// What a file that is not text most likely is, from its first bytes: the kinds of file that
// reach a coordinate program by mistake (a spreadsheet workbook instead of its CSV export, an
// archive, a document, a program, a database), so that a message can say what was given and
// what to do instead.
#pragma once

#include <cstddef>
#include <string>

namespace vortan {

struct NonTextKind {
  const char* what = "";  // "an Excel workbook", "a zip archive", ...; "" when none is known
  const char* todo = "";  // what to do instead: "save the sheet as CSV or text", ...
  const char* whatGreek = "";
  const char* todoGreek = "";
  bool known() const { return *what != '\0'; }
};

// The kind of the file that begins with these bytes (as many as were read, up to a few KiB),
// or an unknown kind.
NonTextKind NonTextKindOf(const char* bytes, std::size_t size);

// The bytes a file must begin with for NonTextKindOf to tell its kind, when its first four
// bytes begin one: how many more to read before asking.
std::size_t NonTextBytesWanted(const char* bytes, std::size_t size);

// "this is not a text file (it looks like an Excel workbook): save the sheet as CSV or text",
// or for an unknown kind "this is not a text file (it holds NUL bytes) ...".
std::string NonTextReason(const NonTextKind& kind, const char* whatTheFileShouldBe);
// The same in Greek; whatTheFileShouldBe in Greek, in the accusative ("αρχείο συντεταγμένων").
std::string NonTextReasonGreek(const NonTextKind& kind, const char* whatTheFileShouldBe);

}  // namespace vortan
