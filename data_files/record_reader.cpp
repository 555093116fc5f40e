#include "data_files/record_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vortan {
namespace {

constexpr std::size_t kChunk = 256u << 10;           // bytes per read, once the buffer has grown
constexpr std::size_t kFirstBuffer = 64u << 10;      // a small file touches no more memory
constexpr std::size_t kMaxRecordBytes = 64u << 20;    // a record longer than this is refused


}  // namespace

RecordReader::RecordReader(int fd, const std::array<std::string_view, 3>& fieldNames)
    : fd_(fd), fieldNames_(fieldNames), buffer_(kFirstBuffer) {}

bool RecordReader::ReadSystemError() {
  error_ = {line_, "", std::string("read error: ") + std::strerror(errno)};
  return false;
}

// Moves the unconsumed bytes to the front and reads one more chunk. False at the end of input
// or on a read error.
bool RecordReader::Refill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // The buffer doubles until a whole chunk fits behind the bytes kept (two chunks for a file
  // of short records; more for a record longer than that).
  if (buffer_.size() - end_ < kChunk) {
    if (buffer_.size() >= kMaxRecordBytes) return false;
    buffer_.resize(buffer_.size() * 2);
  }
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ReadSystemError();
    if (n == 0) {
      eof_ = true;
      return false;
    }
    end_ += static_cast<std::size_t>(n);
    return true;
  }
}

// Scans one record from buffer_[begin_, end_). On kNeedMore only the white space before the
// record has been consumed.
RecordReader::Scan RecordReader::ScanRecord(RecordBatch& batch) {
  constexpr int kEof = -1;
  constexpr int kMore = -2;
  const char* data = buffer_.data();
  std::size_t p = begin_;
  std::uint64_t line = line_;
  auto at = [&](std::size_t i) -> int {
    if (i < end_) return static_cast<unsigned char>(data[i]);
    return eof_ ? kEof : kMore;
  };
  // Consumes the line break at p; false when a CR ends the buffer and an LF may follow.
  auto consumeBreak = [&]() -> bool {
    if (data[p] == '\r') {
      const int next = at(p + 1);
      if (next == kMore) return false;
      if (next == '\n') ++p;
    }
    ++p;
    ++line;
    return true;
  };
  auto commit = [&]() {
    consumed_ += p - begin_;
    begin_ = p;
    line_ = line;
  };

  // White space and blank lines before the record (or after the last one).
  for (;;) {
    const int c = at(p);
    if (c == ' ' || c == '\t') {
      ++p;
    } else if (c == '\r' || c == '\n') {
      if (!consumeBreak()) {
        commit();
        return Scan::kNeedMore;
      }
    } else {
      break;
    }
  }
  commit();
  if (at(p) == kMore) return Scan::kNeedMore;
  if (at(p) == kEof) return Scan::kEnd;

  const std::uint64_t recordLine = line;
  RawRecord record{};
  // The record's bytes are copied into the batch in one piece once it is complete; its fields
  // are ranges of that copy.
  const std::size_t recordStart = p;
  const std::size_t textBase = batch.text.size();
  auto keep = [&](std::size_t from, std::size_t length, std::uint64_t fieldLine) {
    return FieldText{static_cast<std::uint32_t>(textBase + (from - recordStart)),
                     static_cast<std::uint32_t>(length), fieldLine};
  };
  auto fail = [&](std::string field, std::string reason) {
    error_ = {line, std::move(field), std::move(reason)};
    return Scan::kError;
  };
  // Consumes the comma or line break that ends a field; false when more input is needed.
  auto endField = [&]() -> bool {
    const int c = at(p);
    if (c == ',') ++p;
    else if (c == '\r' || c == '\n') return consumeBreak();
    return c != kMore;
  };

  // The id.
  while (at(p) == ' ' || at(p) == '\t') ++p;
  if (at(p) == kMore) return Scan::kNeedMore;
  if (at(p) == '"') {
    const std::size_t from = ++p;
    const std::uint64_t idLine = line;
    for (;;) {
      const int c = at(p);
      if (c == kMore) return Scan::kNeedMore;
      // A quoted id ends on its own line: an id with a line break in it would break every
      // output line it is written into, and a forgotten closing quote would swallow the
      // records below it.
      if (c == kEof || c == '\r' || c == '\n') {
        line = idLine;
        return fail("id", "the id begins with a double quote that is never closed on its line; "
                          "close the quote or remove it");
      }
      if (c == '"') break;
      ++p;
    }
    record.id = keep(from, p - from, idLine);
    ++p;  // the closing quote
    while (at(p) == ' ' || at(p) == '\t') ++p;
    const int c = at(p);
    if (c == kMore) return Scan::kNeedMore;
    if (c != ',' && c != '\r' && c != '\n' && c != kEof) {
      return fail("id", "text follows the closing double quote of the id; put a comma after "
                        "the quoted id");
    }
  } else {
    const std::size_t from = p;
    for (;;) {
      const int c = at(p);
      if (c == kMore) return Scan::kNeedMore;
      if (c == kEof || c == ',' || c == '\r' || c == '\n') break;
      ++p;
    }
    record.id = keep(from, p - from, line);
  }
  if (!endField()) return Scan::kNeedMore;

  // The three numbers.
  for (int n = 0; n < 3; ++n) {
    for (;;) {
      const int c = at(p);
      if (c == ' ' || c == '\t') {
        ++p;
      } else if (c == '\r' || c == '\n') {
        if (!consumeBreak()) return Scan::kNeedMore;
      } else {
        break;
      }
    }
    if (at(p) == kMore) return Scan::kNeedMore;
    if (at(p) == kEof) {
      line = recordLine;
      return fail(std::string(fieldNames_[n]),
                  "the file ends inside the record that begins on line " +
                      std::to_string(recordLine) + ": field " + std::string(fieldNames_[n]) +
                      " is missing; complete or remove that record");
    }
    const std::size_t from = p;
    const std::uint64_t fieldLine = line;
    for (;;) {
      const int c = at(p);
      if (c == kMore) return Scan::kNeedMore;
      if (c == kEof || c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n') break;
      ++p;
    }
    std::size_t to = p;
    while (at(p) == ' ' || at(p) == '\t') ++p;
    int c = at(p);
    if (c == kMore) return Scan::kNeedMore;
    if (c != ',' && c != '\r' && c != '\n' && c != kEof) {
      // Text after the number on the same field: the whole field is what the user sees.
      while ((c = at(p)) != ',' && c != '\r' && c != '\n' && c != kEof) {
        if (c == kMore) return Scan::kNeedMore;
        ++p;
      }
      to = p;
      while (to > from && (data[to - 1] == ' ' || data[to - 1] == '\t')) --to;
    }
    record.numbers[n] = keep(from, to - from, fieldLine);
    const bool comma = at(p) == ',';
    if (!endField()) return Scan::kNeedMore;
    if (n == 2 && comma) {
      // Commas after the last field ("P1,1,2,3,") are tolerated when the line ends there.
      std::size_t q = p;
      while (at(q) == ' ' || at(q) == '\t' || at(q) == ',') ++q;
      if (at(q) == kMore) return Scan::kNeedMore;
      if (at(q) == '\r' || at(q) == '\n') {
        p = q;
        if (!consumeBreak()) return Scan::kNeedMore;
      } else if (at(q) == kEof) {
        p = q;
      }
    }
  }
  if (textBase + (p - recordStart) > UINT32_MAX / 2) return fail("", "record too long");
  batch.text.append(data + recordStart, p - recordStart);
  batch.records.push_back(record);
  commit();
  return Scan::kRecord;
}

bool RecordReader::ReadBatch(RecordBatch& batch, std::size_t maxRecords) {
  batch.text.clear();
  batch.records.clear();
  if (failed()) return false;
  while (batch.records.size() < maxRecords) {
    switch (ScanRecord(batch)) {
      case Scan::kRecord:
        break;
      case Scan::kEnd:
        return false;
      case Scan::kError:
        return false;
      case Scan::kNeedMore:  // nothing of the record is in the batch yet
        if (!Refill()) {
          if (failed()) return false;
          if (!eof_) {
            error_ = {line_, "", "a record longer than 64 MiB: this is not a coordinate file"};
            return false;
          }
        }
        break;
    }
  }
  return true;
}

}  // namespace vortan
