// Streams the records of a coordinate file, one batch at a time, from large buffered reads.
// A record is an id (text) and three numeric fields. Fields are read as follows:
// - a UTF-8 byte-order mark at the start of the file is skipped; a UTF-16 file is refused;
// - before a field, blanks are skipped; before a numeric field line breaks as well;
// - the id runs to the next comma or line break; an id that begins with a double quote runs to
//   the closing quote instead (across line breaks, "" standing for a quote in it), and the
//   quotes are not part of it; an unquoted id in which a semicolon or a tab separates more
//   text is refused (a file with the wrong separator), unless the commas after it give the
//   record its three fields ("P;1,384000.123,4201234.500,12.5" has the id "P;1");
// - a numeric field runs to the first blank, comma or line break;
// - the comma or line break that ends a field is consumed with it; line breaks are CR LF, CR or
//   LF, so a record may fill one line or spread over several;
// - after the last field the line ends (commas after it are tolerated): a record that would
//   begin in the middle of a line is refused, naming what it looks like (decimal commas, an
//   extra column, a missing field);
// - blank lines and lines of empty fields (",,,") are skipped; blank lines, white space, form
//   feeds and Ctrl-Z after the last record end the file normally.
// The fields are handed on as texts; turning them into numbers is the job's (so that it can
// happen on several threads).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/problem.h"
#include "io/text_source.h"

namespace vortan {

struct FieldText {
  std::uint32_t offset;  // into the batch's text
  std::uint32_t length;
  std::uint64_t line;    // line of the input where the field stands
};

struct RawRecord {
  FieldText id;
  FieldText numbers[3];
  bool idNeedsQuotes = false;  // the id holds a comma, a quote or a line break
};

struct RecordBatch {
  std::string text;               // the bytes of the batch's records, which hold every field
  std::vector<RawRecord> records;
  std::string_view Field(const FieldText& f) const {
    return std::string_view(text).substr(f.offset, f.length);
  }
};

// Whether a text begins (after a byte-order mark and blank lines) with a line that reads as a
// record: an id and three fields that are numbers, separated by commas. A CSV table's header
// line does not; a record file's first line does.
bool BeginsWithRecord(std::string_view text);

// Where a record could not be read (the file is named by the job).
using ReadError = Problem;

class RecordReader {
 public:
  // Reads from an open file descriptor (not owned). fieldNames names the three numeric fields.
  RecordReader(int fd, const std::array<std::string_view, 3>& fieldNames);

  // The longest record read; a longer one is refused, so that memory stays bounded.
  static constexpr std::size_t kMaxRecordBytes = 1u << 20;

  // Reads the first bytes of the input and tells whether it holds text of a coordinate file:
  // false for a file of another kind or encoding (error() says which), before anything else
  // is done. ReadBatch does it first if it has not been done.
  bool Start();

  // Reads only the next `bytes` of the file, whose first line is numbered firstLine (a part of
  // a larger file that begins at the start of a line; the lines before it are counted by the
  // caller). Before Start.
  void ReadPart(std::uint64_t bytes, std::uint64_t firstLine) {
    source_.Limit(bytes);
    line_ = firstLine;
  }

  // Fills batch with up to maxRecords records, and stops after the record that takes its text
  // to maxBytes. Returns false when the records end: at the end of the input (error() empty)
  // or at a record that cannot be read (error() says why; the records before it are in the
  // batch).
  bool ReadBatch(RecordBatch& batch, std::size_t maxRecords, std::size_t maxBytes = SIZE_MAX);

  const ReadError& error() const { return error_; }
  bool failed() const { return error_.failed(); }
  // Input bytes consumed so far.
  std::uint64_t bytesConsumed() const { return source_.consumed(); }

 private:
  TextSource source_;
  std::array<std::string_view, 3> fieldNames_;
  bool started_ = false;  // the first bytes have been looked at
  std::uint64_t line_ = 1;
  ReadError error_;
};

}  // namespace vortan
