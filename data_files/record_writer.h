// The writing of output lines: the fields of a record joined by "," with no spaces, ended by
// CR LF, numbers by their format patterns. An id is written exactly as it was read, unless it
// holds a comma, a double quote or a line break: then it is written quoted, CSV style, with an
// inner quote doubled, so that the line reads back as the same record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/number_format.h"
#include "data_files/records.h"

namespace vortan {

// Whether an id must be quoted to read back as one field.
inline bool IdNeedsQuotes(std::string_view id) {
  return id.find_first_of(",\"\r\n") != std::string_view::npos;
}

// The id as it is written: itself, or quoted with its inner quotes doubled (into scratch).
inline std::string_view WrittenId(std::string_view id, bool needsQuotes, std::string& scratch) {
  if (!needsQuotes) return id;
  scratch.assign(1, '"');
  for (char ch : id) {
    if (ch == '"') scratch += '"';
    scratch += ch;
  }
  scratch += '"';
  return scratch;
}

// The lines for one output file. Its memory stays from one batch to the next.
class LineBuffer {
 public:
  // Room for n more characters behind the current end.
  char* Room(std::size_t n) {
    if (data_.size() - size_ < n) data_.resize(std::max(2 * data_.size(), size_ + n));
    return data_.data() + size_;
  }
  void Grow(std::size_t n) { size_ += n; }
  void EndLine() { ++lines_; }
  void Clear() {
    size_ = 0;
    lines_ = 0;
  }
  // Gives back memory beyond what a batch of ordinary records needs.
  void Shrink(std::size_t keep) {
    if (data_.size() > keep && size_ <= keep) {
      data_.resize(keep);
      data_.shrink_to_fit();
    }
  }
  const char* data() const { return data_.data(); }
  std::size_t size() const { return size_; }
  std::uint64_t lines() const { return lines_; }

 private:
  std::vector<char> data_;
  std::size_t size_ = 0;
  std::uint64_t lines_ = 0;
};

// One output line printed straight into a LineBuffer.
class LineOut {
 public:
  explicit LineOut(LineBuffer& out) : out_(out) {}
  // The id as it is written (WrittenId).
  LineOut& Id(std::string_view written) {
    const std::string_view id = written;
    if (!id.empty()) std::memcpy(out_.Room(id.size()), id.data(), id.size());
    out_.Grow(id.size());
    return *this;
  }
  // Inlined into each line of a task, where the pattern is a constant: the printing of the
  // number then knows its decimals and zeros.
  [[gnu::always_inline]] LineOut& Number(double value, NumberPattern pattern) {
    char* at = out_.Room(kMaxFormattedLength + 1);
    at[0] = ',';
    out_.Grow(1 + FormatNumber(value, pattern, at + 1));
    return *this;
  }
  void End() {
    char* at = out_.Room(2);
    at[0] = '\r';
    at[1] = '\n';
    out_.Grow(2);
    out_.EndLine();
  }

 private:
  LineBuffer& out_;
};

}  // namespace vortan
