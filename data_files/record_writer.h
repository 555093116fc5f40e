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
  // The current end and the end of the memory held: the room there is, without asking for more.
  char* Cursor() { return data_.data() + size_; }
  char* Limit() { return data_.data() + data_.size(); }
  void EndLine() { ++lines_; }
  void Clear() {
    size_ = 0;
    lines_ = 0;
  }
  // Takes back what was written after size() and lines() were these.
  void TakeBack(std::size_t size, std::uint64_t lines) {
    size_ = size;
    lines_ = lines;
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

// The rest of a line after its id: room for up to Left more numbers and the line break, made
// once by LineOut::Id, so that the numbers are printed without asking for room again (the
// checks and the call behind them cost the printing about a tenth of its time). The type
// counts what is left: a line with a fourth number does not compile.
template <int Left>
class LineRest {
 public:
  LineRest(LineBuffer& out, char* start, char* at) : out_(out), start_(start), at_(at) {}
  // Inlined into each line of a task, where the pattern is a constant: the printing of the
  // number then knows its decimals and zeros.
  [[gnu::always_inline]] LineRest<Left - 1> Number(double value, NumberPattern pattern)
    requires(Left >= 1)
  {
    at_[0] = ',';
    at_ += 1 + FormatNumber(value, pattern, at_ + 1);
    return {out_, start_, at_};
  }
  // Two numbers at once (FormatTwoNumbers): the pairs of a line.
  [[gnu::always_inline]] LineRest<Left - 2> Numbers(double a, NumberPattern pa, double b,
                                                    NumberPattern pb)
    requires(Left >= 2)
  {
    at_[0] = ',';
    at_ += 1 + FormatTwoNumbers(a, pa, b, pb, at_ + 1);
    return {out_, start_, at_};
  }
  [[gnu::always_inline]] void End() {
    at_[0] = '\r';
    at_[1] = '\n';
    at_ += 2;
    out_.Grow(static_cast<std::size_t>(at_ - start_));
    out_.EndLine();
  }

 private:
  LineBuffer& out_;
  char* start_;  // the start of the line in the buffer
  char* at_;     // the cursor
};

// One output line printed straight into a LineBuffer: its id, up to three numbers, the line
// break. The line is written at a cursor of its own, with room for a whole line asked once,
// and added to the buffer by End(): the buffer's size is not read and written again for every
// field.
class LineOut {
 public:
  // Room for three numbers of any length and the line break.
  static constexpr std::size_t kLineRoom = 3 * (kMaxFormattedLength + 1) + 2;

  explicit LineOut(LineBuffer& out) : out_(out) {}
  // The id as it is written (WrittenId), with the room for the rest of the line behind it.
  // The line starts in the room the buffer has (ComputeChunk asks for a batch's worth); only
  // the rare growth is a call.
  [[gnu::always_inline]] LineRest<3> Id(std::string_view written) {
    const std::size_t n = written.size();
    char* start = out_.Cursor();
    if (static_cast<std::size_t>(out_.Limit() - start) < n + kLineRoom) {
      start = MoreRoom(out_, n + kLineRoom);
    }
    CopyShort(start, written.data(), n);
    return {out_, start, start + n};
  }

 private:
  [[gnu::noinline]] static char* MoreRoom(LineBuffer& out, std::size_t n) { return out.Room(n); }

  // Copies n bytes (sizeof(Word) <= n <= 2 * sizeof(Word)) as the first and the last word.
  template <class Word>
  [[gnu::always_inline]] static void CopyTwoWords(char* to, const char* from, std::size_t n) {
    Word head, tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
  }
  // Copies n bytes; the short ones (ids) as two overlapping words rather than a call.
  [[gnu::always_inline]] static void CopyShort(char* to, const char* from, std::size_t n) {
    if (n >= 8 && n <= 16) {
      CopyTwoWords<std::uint64_t>(to, from, n);
    } else if (n >= 4 && n < 8) {
      CopyTwoWords<std::uint32_t>(to, from, n);
    } else if (n != 0) {
      std::memcpy(to, from, n);
    }
  }

  LineBuffer& out_;
};

}  // namespace vortan
