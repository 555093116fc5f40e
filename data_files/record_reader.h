// Streams the records of a coordinate file, one batch at a time, from large buffered reads.
// A record is an id (text) and three numeric fields. Fields are read as follows:
// - before a field, blanks are skipped; before a numeric field line breaks as well;
// - the id runs to the next comma or line break; an id that begins with a double quote runs to
//   the closing quote instead, which must stand on the same line, and the quotes are not part
//   of it;
// - a numeric field runs to the first blank, comma or line break;
// - the comma or line break that ends a field is consumed with it; line breaks are CR LF, CR or
//   LF, so a record may fill one line or spread over several;
// - blank lines and white space after the last record end the file normally.
// The fields are handed on as texts; turning them into numbers is the job's (so that it can
// happen on several threads).
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vortan {

struct FieldText {
  std::uint32_t offset;  // into the batch's text
  std::uint32_t length;
  std::uint64_t line;    // line of the input where the field stands
};

struct RawRecord {
  FieldText id;
  FieldText numbers[3];
};

struct RecordBatch {
  std::string text;               // the bytes of the batch's records, which hold every field
  std::vector<RawRecord> records;
  std::string_view Field(const FieldText& f) const {
    return std::string_view(text).substr(f.offset, f.length);
  }
};

struct ReadError {
  std::uint64_t line = 0;
  std::string field;   // name of the field ("id", "E", ...), or ""
  std::string reason;
};

class RecordReader {
 public:
  // Reads from an open file descriptor (not owned). fieldNames names the three numeric fields.
  RecordReader(int fd, const std::array<std::string_view, 3>& fieldNames);

  // Fills batch with up to maxRecords records. Returns false when the records end: at the end
  // of the input (error() empty) or at a record that cannot be read (error() says why; the
  // records before it are in the batch).
  bool ReadBatch(RecordBatch& batch, std::size_t maxRecords);

  const ReadError& error() const { return error_; }
  bool failed() const { return !error_.reason.empty(); }
  // Input bytes consumed so far.
  std::uint64_t bytesConsumed() const { return consumed_; }

 private:
  enum class Scan { kRecord, kEnd, kNeedMore, kError };
  Scan ScanRecord(RecordBatch& batch);
  bool Refill();
  bool ReadSystemError();

  int fd_;
  std::array<std::string_view, 3> fieldNames_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unconsumed byte
  std::size_t end_ = 0;    // end of valid data
  bool eof_ = false;
  std::uint64_t line_ = 1;
  std::uint64_t consumed_ = 0;
  ReadError error_;
};

}  // namespace vortan
