// What went wrong and where, in one form for every reader, writer and job: the file, the line
// and the field at fault (each where it applies) and the reason, which says what to do, in
// English and in Greek (the windows give both). A front end turns it into its own message: the
// tool into a line on standard error, a window into a message box, Python into an exception.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vortan {

// The name of a numeric fault ("overflow", "division by zero", "invalid operation", ...) or of
// a coordinate out of range, in Greek.
std::string FaultNameGreek(std::string_view fault);

struct Problem {
  std::string file;        // as messages name it; "" when no file is at fault
  std::uint64_t line = 0;  // 0 when no line applies
  std::string field;       // "" when no field applies
  std::string reason;      // "" when nothing went wrong
  std::string reasonGreek;  // the reason in Greek, the same facts

  bool failed() const { return !reason.empty(); }
  // "file, line N, field F: reason", each part where it applies.
  std::string Text() const {
    std::string where = file;
    if (line > 0) where += (where.empty() ? "line " : ", line ") + std::to_string(line);
    if (!field.empty()) where += (where.empty() ? "field " : ", field ") + field;
    return where.empty() ? reason : where + ": " + reason;
  }
  // The same in Greek: "file, γραμμή N, πεδίο F: λόγος".
  std::string TextGreek() const {
    std::string where = file;
    if (line > 0) where += (where.empty() ? "γραμμή " : ", γραμμή ") + std::to_string(line);
    if (!field.empty()) where += (where.empty() ? "πεδίο " : ", πεδίο ") + field;
    return where.empty() ? reasonGreek : where + ": " + reasonGreek;
  }
};

}  // namespace vortan
