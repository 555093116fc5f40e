#include "data_files/record_reader.h"

#include <array>
#include <bit>

#include "core/decimal_text.h"
#include "core/simd.h"
#include "data_files/record_messages.h"

namespace vortan {
namespace {

constexpr std::size_t kChunk = 256u << 10;       // bytes per read, once the buffer has grown
constexpr std::size_t kFirstBuffer = 64u << 10;  // a small file touches no more memory

constexpr int kEof = -1;
constexpr int kMore = -2;

bool Blank(int c) { return c == ' ' || c == '\t'; }
bool Break(int c) { return c == '\r' || c == '\n'; }
// White space between records: blanks, line breaks, and the form feed and Ctrl-Z that some
// editors leave at the end of a file.
bool Between(int c) { return Blank(c) || Break(c) || c == '\f' || c == 0x1A; }

// What a byte is to the scan of a plain line (TakePlainLine).
enum class ByteKind : unsigned char { kPlain, kComma, kBreak, kOther };

constexpr std::array<ByteKind, 256> ByteKinds() {
  std::array<ByteKind, 256> kinds{};
  kinds[','] = ByteKind::kComma;
  kinds['\r'] = kinds['\n'] = ByteKind::kBreak;
  kinds['"'] = kinds[';'] = kinds['\t'] = kinds[' '] = ByteKind::kOther;
  return kinds;
}
constexpr std::array<ByteKind, 256> kByteKinds = ByteKinds();

// The byte loop of the plain-line scan sixteen bytes at a time, while sixteen are in the
// buffer: the bytes that are not plain found all at once (simd::MatchMask16), the first three
// commas taken. True with q at the byte that ends the scan (a line break, another kind, or a
// fourth comma); false with q where fewer than sixteen bytes are left, for the byte loop to go
// on from.
bool ScanSixteenAtATime(const char* data, std::size_t end, std::size_t& q, std::size_t* commas,
                        std::size_t& count) {
  for (; q + 16 <= end; q += 16) {
    const unsigned commaBits = simd::MatchMask16<','>(data + q);
    unsigned special = commaBits | simd::MatchMask16<'\r', '\n', '"', ';', '\t', ' '>(data + q);
    while (special != 0) {
      const unsigned bit = static_cast<unsigned>(std::countr_zero(special));
      if ((commaBits >> bit & 1u) == 0 || count == 3) {
        q += bit;
        return true;
      }
      commas[count++] = q + bit;
      special &= special - 1;
    }
  }
  return false;
}

}  // namespace

bool BeginsWithRecord(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return false;
  text.remove_prefix(start);
  std::string_view line = text.substr(0, text.find_first_of("\r\n"));
  // The id: quoted (to its closing quote) or up to the first comma.
  std::size_t comma;
  if (line.front() == '"') {
    const std::size_t close = line.find('"', 1);
    if (close == std::string_view::npos) return false;
    comma = line.find(',', close);
  } else {
    comma = line.find(',');
  }
  if (comma == std::string_view::npos) return false;
  line.remove_prefix(comma + 1);
  for (int n = 0; n < 3; ++n) {
    const std::size_t end = line.find(',');
    std::string_view field = line.substr(0, end);
    while (!field.empty() && Blank(field.front())) field.remove_prefix(1);
    while (!field.empty() && Blank(field.back())) field.remove_suffix(1);
    if (!IsPlainDecimal(field)) return false;
    if (n < 2 && end == std::string_view::npos) return false;
    line.remove_prefix(end == std::string_view::npos ? line.size() : end + 1);
  }
  // Nothing but empty fields after the last number.
  return line.find_first_not_of(", \t") == std::string_view::npos;
}

RecordReader::RecordReader(int fd, const std::array<std::string_view, 3>& fieldNames)
    : source_(fd, kFirstBuffer, kChunk), fieldNames_(fieldNames) {}

namespace {

// The scan of one record over the bytes of the source not yet consumed: the place it has come
// to, the line of that place, and what the byte at a place is (kEof past the end of the input,
// kMore past the end of the buffer, where more must be read first). Nothing of the source is
// consumed but by Commit; a scan that needs more input is given up and made again once more
// has been read.
class RecordCursor {
 public:
  enum class Step { kOn, kEnd, kNeedMore, kError };

  RecordCursor(TextSource& source, std::uint64_t& line, Problem& error)
      : source_(source),
        committedLine_(line),
        error_(error),
        data_(source.data()),
        end_(source.end()),
        eof_(source.atEnd()),
        p_(source.begin()),
        line_(line) {}

  int At(std::size_t i) const {
    if (i < end_) return static_cast<unsigned char>(data_[i]);
    return eof_ ? kEof : kMore;
  }
  int Here() const { return At(p_); }
  std::size_t pos() const { return p_; }
  std::uint64_t line() const { return line_; }
  const char* data() const { return data_; }
  std::size_t end() const { return end_; }
  bool eof() const { return eof_; }

  void Advance(std::size_t n = 1) { p_ += n; }
  void MoveTo(std::size_t p) { p_ = p; }
  // Past the line break that ends before p.
  void PastBreak(std::size_t p) {
    p_ = p;
    ++line_;
  }
  void SkipBlanks() {
    while (Blank(Here())) ++p_;
  }
  // Consumes the line break here; false when a CR ends the buffer and an LF may follow.
  bool ConsumeBreak() {
    if (data_[p_] == '\r') {
      const int next = At(p_ + 1);
      if (next == kMore) return false;
      if (next == '\n') ++p_;
    }
    ++p_;
    ++line_;
    return true;
  }
  // Consumes the comma or line break that ends a field; false when more input is needed.
  bool EndField() {
    const int c = Here();
    if (c == ',') ++p_;
    else if (Break(c)) return ConsumeBreak();
    return c != kMore;
  }

  // The record begins here; its bytes will follow textBase bytes of the batch's text.
  void BeginRecord(std::size_t textBase) {
    recordStart_ = p_;
    recordLine_ = line_;
    textBase_ = textBase;
  }
  std::size_t recordStart() const { return recordStart_; }
  std::uint64_t recordLine() const { return recordLine_; }
  std::size_t textBase() const { return textBase_; }
  // A field of the record at [from, from + length) of the input, as a range of the record's
  // copy in the batch.
  FieldText Keep(std::size_t from, std::size_t length, std::uint64_t fieldLine) const {
    return FieldText{static_cast<std::uint32_t>(textBase_ + (from - recordStart_)),
                     static_cast<std::uint32_t>(length), fieldLine};
  }

  // Everything before here is consumed, up to this line.
  void Commit() {
    source_.Consume(p_);
    committedLine_ = line_;
  }
  Step Fail(Problem problem) {
    error_ = std::move(problem);
    return Step::kError;
  }

 private:
  TextSource& source_;
  std::uint64_t& committedLine_;
  Problem& error_;
  const char* const data_;
  const std::size_t end_;
  const bool eof_;
  std::size_t p_;
  std::uint64_t line_;
  std::size_t recordStart_ = 0;
  std::uint64_t recordLine_ = 0;
  std::size_t textBase_ = 0;
};

using Step = RecordCursor::Step;

// White space and blank lines before the record (or after the last one), and lines of empty
// fields only (",,,", as a spreadsheet writes its formatted empty rows): consumed. kOn where a
// record begins, kEnd at the end of the input.
Step SkipToRecord(RecordCursor& c) {
  for (;;) {
    const int ch = c.Here();
    if (Break(ch)) {
      if (!c.ConsumeBreak()) {
        c.Commit();
        return Step::kNeedMore;
      }
    } else if (ch >= 0 && Between(ch)) {
      c.Advance();
    } else if (ch == ',') {
      std::size_t q = c.pos();
      while (c.At(q) == ',' || Blank(c.At(q))) ++q;
      if (c.At(q) == kMore) {
        c.Commit();
        return Step::kNeedMore;
      }
      if (!Break(c.At(q)) && c.At(q) != kEof) break;  // a record whose id is empty
      c.MoveTo(q);
    } else {
      break;
    }
  }
  c.Commit();
  if (c.Here() == kMore) return Step::kNeedMore;
  if (c.Here() == kEof) return Step::kEnd;
  return Step::kOn;
}

// The common record: one line "id,number,number,number", no field empty, no blank, quote,
// semicolon or tab in it, in the buffer with its line break. One pass over its bytes finds the
// three commas and the break, and the record is the one the full scan (ScanFullRecord) makes of
// it. False, with nothing done, for any other line.
bool TakePlainLine(RecordCursor& c, RecordBatch& batch) {
  const char* const data = c.data();
  const std::size_t end = c.end();
  const std::size_t p = c.pos();
  std::size_t commas[3];
  std::size_t count = 0;
  std::size_t q = p;
  bool ended = ScanSixteenAtATime(data, end, q, commas, count);  // q at the byte that ends it
  for (; !ended && q < end; ++q) {
    const ByteKind kind = kByteKinds[static_cast<unsigned char>(data[q])];
    if (kind == ByteKind::kPlain) continue;
    if (kind == ByteKind::kComma && count < 3) {
      commas[count++] = q;
      continue;
    }
    ended = true;
    break;
  }
  const bool plain = !ended || kByteKinds[static_cast<unsigned char>(data[q])] == ByteKind::kBreak;
  if (!plain || q >= end || count != 3 || commas[0] <= p || commas[1] <= commas[0] + 1 ||
      commas[2] <= commas[1] + 1 || q <= commas[2] + 1) {
    return false;
  }
  std::size_t next = q + 1;  // past the line break
  if (data[q] == '\r') {
    if (next < end) {
      if (data[next] == '\n') ++next;
    } else if (!c.eof()) {
      return false;  // an LF may follow
    }
  }
  const std::size_t textBase = batch.text.size();
  if (textBase + (next - p) > UINT32_MAX / 2) return false;
  const std::uint64_t line = c.line();
  auto field = [&](std::size_t from, std::size_t to) {
    return FieldText{static_cast<std::uint32_t>(textBase + (from - p)),
                     static_cast<std::uint32_t>(to - from), line};
  };
  RawRecord record{};
  record.id = field(p, commas[0]);
  record.numbers[0] = field(commas[0] + 1, commas[1]);
  record.numbers[1] = field(commas[1] + 1, commas[2]);
  record.numbers[2] = field(commas[2] + 1, q);
  batch.text.append(data + p, next - p);
  batch.records.push_back(record);
  c.PastBreak(next);
  return true;
}

// A quoted id: from its opening quote here to its closing quote, across line breaks, with ""
// for a quote inside; its value, which is not a plain range of the record's bytes, goes to
// value. Then blanks, up to the comma or line break that ends it.
Step ScanQuotedId(RecordCursor& c, RawRecord& record, std::string& value) {
  c.Advance();  // the opening quote
  for (;;) {
    const int ch = c.Here();
    if (ch == kMore) return Step::kNeedMore;
    if (ch == kEof) return c.Fail(record_messages::UnclosedQuote(c.recordLine()));
    if (ch == '"') {
      const int next = c.At(c.pos() + 1);
      if (next == kMore) return Step::kNeedMore;
      if (next != '"') break;
      value += '"';
      record.idNeedsQuotes = true;
      c.Advance(2);
    } else if (Break(ch)) {
      const std::size_t from = c.pos();
      if (!c.ConsumeBreak()) return Step::kNeedMore;
      value.append(c.data() + from, c.pos() - from);
      record.idNeedsQuotes = true;
    } else {
      if (ch == ',') record.idNeedsQuotes = true;
      value += static_cast<char>(ch);
      c.Advance();
    }
  }
  c.Advance();  // the closing quote
  c.SkipBlanks();
  const int ch = c.Here();
  if (ch == kMore) return Step::kNeedMore;
  if (ch != ',' && !Break(ch) && ch != kEof) {
    if (c.line() > c.recordLine()) {
      return c.Fail(record_messages::QuoteClosedLater(c.recordLine(), c.line()));
    }
    return c.Fail(record_messages::TextAfterQuote(c.line()));
  }
  return Step::kOn;
}

// An unquoted id: up to the next comma or line break. A semicolon or a tab that separates more
// text in it is another separator, unless the commas make a record of the line:
// "P;1,384000.123,4201234.500,12.5" is a record with the id "P;1".
Step ScanPlainId(RecordCursor& c, RawRecord& record) {
  const std::size_t from = c.pos();
  std::size_t separator = 0;  // a semicolon or tab inside the id, 1 + its place
  for (;;) {
    const int ch = c.Here();
    if (ch == kMore) return Step::kNeedMore;
    if (ch == kEof || ch == ',' || Break(ch)) break;
    if ((ch == ';' || ch == '\t') && separator == 0) separator = c.pos() - from + 1;
    if (ch == '"') record.idNeedsQuotes = true;
    c.Advance();
  }
  record.id = c.Keep(from, c.pos() - from, c.line());
  if (separator == 0) return Step::kOn;
  if (c.Here() == ',') {
    int commas = 0;
    for (std::size_t q = c.pos() + 1;; ++q) {
      const int ch = c.At(q);
      if (ch == kMore) return Step::kNeedMore;
      if (ch == kEof || Break(ch)) break;
      if (ch == ',') ++commas;
    }
    if (commas >= 2) return Step::kOn;
  }
  const std::string_view id(c.data() + from, c.pos() - from);
  if (id.find_first_not_of(" \t;", separator) == std::string_view::npos) return Step::kOn;
  return c.Fail(record_messages::OtherSeparator(c.line(), id[separator - 1]));
}

// A numeric field here: up to the first blank, comma or line break; text after the number on
// the same field makes the whole field, as the user sees it. Ends at the comma or line break
// after the field (or the end of the input).
Step ScanNumber(RecordCursor& c, FieldText& field) {
  const std::size_t from = c.pos();
  const std::uint64_t fieldLine = c.line();
  for (;;) {
    const int ch = c.Here();
    if (ch == kMore) return Step::kNeedMore;
    if (ch == kEof || Blank(ch) || ch == ',' || Break(ch)) break;
    c.Advance();
  }
  std::size_t to = c.pos();
  c.SkipBlanks();
  int ch = c.Here();
  if (ch == kMore) return Step::kNeedMore;
  if (ch != ',' && !Break(ch) && ch != kEof) {
    while ((ch = c.Here()) != ',' && !Break(ch) && ch != kEof) {
      if (ch == kMore) return Step::kNeedMore;
      c.Advance();
    }
    to = c.pos();
    while (to > from && Blank(static_cast<unsigned char>(c.data()[to - 1]))) --to;
  }
  field = c.Keep(from, to - from, fieldLine);
  return Step::kOn;
}

// After the last field the line must end: commas after it ("P1,1,2,3,", as spreadsheets
// write) are tolerated, but a next record may not begin in the middle of the line, where it
// would be cut out of fields that belong to something else. Consumes the line break.
Step EndRecordLine(RecordCursor& c, const RawRecord& record,
                   const std::array<std::string_view, 3>& names) {
  if (c.Here() == ',') {
    std::size_t q = c.pos() + 1;
    while (Blank(c.At(q)) || c.At(q) == ',') ++q;
    if (c.At(q) == kMore) return Step::kNeedMore;
    if (!Break(c.At(q)) && c.At(q) != kEof) {
      // Count the fields that follow on the line, for the message.
      std::size_t extra = 0;
      bool inField = false;
      for (std::size_t r = q;; ++r) {
        const int d = c.At(r);
        if (d == kMore) return Step::kNeedMore;
        if (d == kEof || Break(d)) break;
        if (d == ',') {
          inField = false;
        } else if (!Blank(d) && !inField) {
          inField = true;
          ++extra;
        }
      }
      // The first two numbers with the comma between them, as the line holds them: a number
      // written with a decimal comma, where the commas are decimal ones.
      const std::size_t first = record.numbers[0].offset - c.textBase() + c.recordStart();
      const std::size_t last = record.numbers[1].offset + record.numbers[1].length -
                               c.textBase() + c.recordStart();
      const std::string_view found(c.data() + first, last - first);
      return c.Fail(
          record_messages::MidLine(record, c.recordLine(), c.line(), extra, names, found));
    }
    c.MoveTo(q);
  }
  if (Break(c.Here()) && !c.ConsumeBreak()) return Step::kNeedMore;
  return Step::kOn;
}

// The three numbers after the id, each after blanks and line breaks, and the end of the line.
Step ScanNumbers(RecordCursor& c, RawRecord& record,
                 const std::array<std::string_view, 3>& names) {
  for (int n = 0; n < 3; ++n) {
    for (;;) {
      const int ch = c.Here();
      if (Blank(ch)) {
        c.Advance();
      } else if (Break(ch)) {
        if (!c.ConsumeBreak()) return Step::kNeedMore;
      } else {
        break;
      }
    }
    if (c.Here() == kMore) return Step::kNeedMore;
    if (c.Here() == kEof) {
      return c.Fail(record_messages::FileEndsInRecord(c.recordLine(), names[n]));
    }
    if (const Step step = ScanNumber(c, record.numbers[n]); step != Step::kOn) return step;
    if (n < 2 && !c.EndField()) return Step::kNeedMore;
  }
  return EndRecordLine(c, record, names);
}

// Any record that is not a plain line: its id (quoted or not), its three numbers, the end of
// its line. The record's bytes are copied into the batch in one piece once it is complete; its
// fields are ranges of that copy, and a quoted id's value follows it.
Step ScanFullRecord(RecordCursor& c, RecordBatch& batch,
                    const std::array<std::string_view, 3>& names) {
  RawRecord record{};
  c.BeginRecord(batch.text.size());
  c.SkipBlanks();
  if (c.Here() == kMore) return Step::kNeedMore;
  std::string quotedValue;
  const bool quoted = c.Here() == '"';
  Step step = quoted ? ScanQuotedId(c, record, quotedValue) : ScanPlainId(c, record);
  if (step != Step::kOn) return step;
  if (!c.EndField()) return Step::kNeedMore;
  step = ScanNumbers(c, record, names);
  if (step != Step::kOn) return step;
  const std::size_t length = c.pos() - c.recordStart();
  if (c.textBase() + length + quotedValue.size() > UINT32_MAX / 2) {
    return c.Fail(record_messages::RecordTooLong(c.line()));
  }
  batch.text.append(c.data() + c.recordStart(), length);
  if (quoted) {
    record.id = FieldText{static_cast<std::uint32_t>(batch.text.size()),
                          static_cast<std::uint32_t>(quotedValue.size()), c.recordLine()};
    batch.text += quotedValue;
  }
  batch.records.push_back(record);
  c.Commit();
  return Step::kOn;
}

// Scans one record from the unconsumed bytes of the source into the batch: kOn with the
// record, kEnd at the end of the input, kError with error set. On kNeedMore only the white
// space before the record has been consumed.
Step ScanRecord(TextSource& source, std::uint64_t& line, Problem& error,
                const std::array<std::string_view, 3>& names, RecordBatch& batch) {
  RecordCursor cursor(source, line, error);
  const Step step = SkipToRecord(cursor);
  if (step != Step::kOn) return step;
  if (TakePlainLine(cursor, batch)) {
    cursor.Commit();
    return Step::kOn;
  }
  return ScanFullRecord(cursor, batch, names);
}

}  // namespace

bool RecordReader::Start() {
  if (started_) return !failed();
  started_ = true;
  // The encoding, told by the first bytes: a UTF-8 byte-order mark is skipped.
  switch (source_.ReadEncoding()) {
    case TextSource::Encoding::kText:
      break;
    case TextSource::Encoding::kBinary:
      error_ = record_messages::NotText(source_.kind());
      return false;
    case TextSource::Encoding::kUtf16:
      error_ = record_messages::Unicode("UTF-16");
      return false;
    case TextSource::Encoding::kUtf32:
      error_ = record_messages::Unicode("UTF-32");
      return false;
  }
  if (source_.failed()) {
    error_ = record_messages::ReadFailure(1, source_.error());
    return false;
  }
  return true;
}

bool RecordReader::ReadBatch(RecordBatch& batch, std::size_t maxRecords, std::size_t maxBytes) {
  batch.text.clear();
  batch.records.clear();
  if (failed()) return false;
  if (!started_ && !Start()) return false;
  while (batch.records.size() < maxRecords && batch.text.size() < maxBytes) {
    switch (ScanRecord(source_, line_, error_, fieldNames_, batch)) {
      case Step::kOn:
        break;
      case Step::kEnd:
      case Step::kError:
        return false;
      case Step::kNeedMore: {  // nothing of the record is in the batch yet
        // A long record is scanned again only once its bytes have doubled, so that a record
        // arriving in small pieces (through a pipe) costs linear time.
        const std::size_t partial = source_.available();
        if (partial > kMaxRecordBytes) {
          error_ = record_messages::RecordOverLimit(line_);
          return false;
        }
        do {
          if (!source_.Refill()) {
            if (source_.failed()) {
              error_ = record_messages::ReadFailure(line_, source_.error());
              return false;
            }
            break;  // the end of the input: the record is scanned to its end
          }
        } while (source_.available() < 2 * partial && source_.available() <= kMaxRecordBytes);
        break;
      }
    }
  }
  return true;
}

}  // namespace vortan
