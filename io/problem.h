// What went wrong and where, in one form for every reader, writer and job: the file, the line
// and the field at fault (each where it applies) and the reason, which says what to do. A
// front end turns it into its own message: the tool into a line on standard error, a window
// into a message box, Python into an exception.
#pragma once

#include <cstdint>
#include <string>

namespace vortan {

struct Problem {
  std::string file;        // as messages name it; "" when no file is at fault
  std::uint64_t line = 0;  // 0 when no line applies
  std::string field;       // "" when no field applies
  std::string reason;      // "" when nothing went wrong

  bool failed() const { return !reason.empty(); }
  // "file, line N, field F: reason", each part where it applies.
  std::string Text() const {
    std::string where = file;
    if (line > 0) where += (where.empty() ? "line " : ", line ") + std::to_string(line);
    if (!field.empty()) where += (where.empty() ? "field " : ", field ") + field;
    return where.empty() ? reason : where + ": " + reason;
  }
};

}  // namespace vortan
