#include "data_files/record_reader.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "core/decimal_text.h"
#include "core/simd.h"
#include "io/display_text.h"
#include "io/files.h"

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

// What a byte is to the scan of a plain line (ScanRecord).
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

// Scans one record from the unconsumed bytes of the source. On kNeedMore only the white space
// before the record has been consumed.
RecordReader::Scan RecordReader::ScanRecord(RecordBatch& batch) {
  const char* data = source_.data();
  const std::size_t end = source_.end();
  const bool eof = source_.atEnd();
  std::size_t p = source_.begin();
  std::uint64_t line = line_;
  auto at = [&](std::size_t i) -> int {
    if (i < end) return static_cast<unsigned char>(data[i]);
    return eof ? kEof : kMore;
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
    source_.Consume(p);
    line_ = line;
  };
  auto fail = [&](std::string field, std::string reason, std::string greek) {
    error_ = {"", line, std::move(field), std::move(reason), std::move(greek)};
    return Scan::kError;
  };

  // White space and blank lines before the record (or after the last one), and lines of
  // empty fields only (",,,", as a spreadsheet writes its formatted empty rows).
  for (;;) {
    const int c = at(p);
    if (Break(c)) {
      if (!consumeBreak()) {
        commit();
        return Scan::kNeedMore;
      }
    } else if (c >= 0 && Between(c)) {
      ++p;
    } else if (c == ',') {
      std::size_t q = p;
      while (at(q) == ',' || Blank(at(q))) ++q;
      if (at(q) == kMore) {
        commit();
        return Scan::kNeedMore;
      }
      if (!Break(at(q)) && at(q) != kEof) break;  // a record whose id is empty
      p = q;
    } else {
      break;
    }
  }
  commit();
  if (at(p) == kMore) return Scan::kNeedMore;
  if (at(p) == kEof) return Scan::kEnd;

  // The common record: one line "id,number,number,number", no field empty, no blank, quote,
  // semicolon or tab in it, in the buffer with its line break. One pass over its bytes finds
  // the three commas and the break, and the record is the one the full scan below makes of it;
  // any other line is left to the full scan.
  {
    std::size_t commas[3];
    std::size_t count = 0;
    std::size_t q = p;
    bool ended = false;  // q is at the byte that ends the scan
    ended = ScanSixteenAtATime(data, end, q, commas, count);
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
    const bool plain =
        !ended || kByteKinds[static_cast<unsigned char>(data[q])] == ByteKind::kBreak;
    if (plain && q < end && count == 3 && commas[0] > p && commas[1] > commas[0] + 1 &&
        commas[2] > commas[1] + 1 && q > commas[2] + 1) {
      std::size_t next = q + 1;  // past the line break
      bool complete = true;
      if (data[q] == '\r') {
        if (next < end) {
          if (data[next] == '\n') ++next;
        } else if (!eof) {
          complete = false;  // an LF may follow
        }
      }
      const std::size_t textBase = batch.text.size();
      if (complete && textBase + (next - p) <= UINT32_MAX / 2) {
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
        source_.Consume(next);
        line_ = line + 1;
        return Scan::kRecord;
      }
    }
  }

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
  // Consumes the comma or line break that ends a field; false when more input is needed.
  auto endField = [&]() -> bool {
    const int c = at(p);
    if (c == ',') ++p;
    else if (Break(c)) return consumeBreak();
    return c != kMore;
  };

  // The id. A quoted id runs to its closing quote, across line breaks, with "" for a quote
  // inside; its value, which is not a plain range of the record's bytes, follows the record's
  // copy in the batch.
  while (Blank(at(p))) ++p;
  if (at(p) == kMore) return Scan::kNeedMore;
  std::string quotedValue;
  bool quoted = false;
  if (at(p) == '"') {
    quoted = true;
    ++p;
    for (;;) {
      const int c = at(p);
      if (c == kMore) return Scan::kNeedMore;
      if (c == kEof) {
        line = recordLine;
        return fail("id", "the id begins with a double quote that is never closed; close the "
                          "quote or remove it",
                    "ο κωδικός αρχίζει με εισαγωγικό που δεν κλείνει ποτέ· κλείστε το εισαγωγικό "
                    "ή αφαιρέστε το");
      }
      if (c == '"') {
        const int next = at(p + 1);
        if (next == kMore) return Scan::kNeedMore;
        if (next != '"') break;
        quotedValue += '"';
        record.idNeedsQuotes = true;
        p += 2;
      } else if (Break(c)) {
        const std::size_t from = p;
        if (!consumeBreak()) return Scan::kNeedMore;
        quotedValue.append(data + from, p - from);
        record.idNeedsQuotes = true;
      } else {
        if (c == ',') record.idNeedsQuotes = true;
        quotedValue += static_cast<char>(c);
        ++p;
      }
    }
    ++p;  // the closing quote
    while (Blank(at(p))) ++p;
    const int c = at(p);
    if (c == kMore) return Scan::kNeedMore;
    if (c != ',' && !Break(c) && c != kEof) {
      if (line > recordLine) {
        const std::string closing = std::to_string(line);
        line = recordLine;
        return fail("id", "the double quote that opens the id on this line closes only on line " +
                              closing + ", and text follows it there: is the closing quote "
                              "missing? Close the quote on this line",
                    "το εισαγωγικό που ανοίγει τον κωδικό σε αυτή τη γραμμή κλείνει μόλις στη "
                    "γραμμή " + closing + ", και εκεί ακολουθεί κείμενο: λείπει το εισαγωγικό "
                    "που κλείνει; Κλείστε το εισαγωγικό σε αυτή τη γραμμή");
      }
      return fail("id", "text follows the closing double quote of the id; put a comma after "
                        "the quoted id",
                  "μετά το εισαγωγικό που κλείνει τον κωδικό ακολουθεί κείμενο· βάλτε κόμμα μετά "
                  "τον κωδικό σε εισαγωγικά");
    }
  } else {
    const std::size_t from = p;
    std::size_t separator = 0;  // a semicolon or tab inside the id, 1 + its place
    for (;;) {
      const int c = at(p);
      if (c == kMore) return Scan::kNeedMore;
      if (c == kEof || c == ',' || Break(c)) break;
      if ((c == ';' || c == '\t') && separator == 0) separator = p - from + 1;
      if (c == '"') record.idNeedsQuotes = true;
      ++p;
    }
    record.id = keep(from, p - from, line);
    // A semicolon or a tab in the id is another separator only when the commas do not make a
    // record of the line: "P;1,384000.123,4201234.500,12.5" is a record with the id "P;1".
    bool commaRecord = false;
    if (separator > 0 && at(p) == ',') {
      int commas = 0;
      for (std::size_t q = p + 1;; ++q) {
        const int c = at(q);
        if (c == kMore) return Scan::kNeedMore;
        if (c == kEof || Break(c)) break;
        if (c == ',') ++commas;
      }
      commaRecord = commas >= 2;
    }
    if (separator > 0 && !commaRecord) {
      const std::string_view id(data + from, p - from);
      const std::size_t rest = id.find_first_not_of(" \t;", separator);
      if (rest != std::string_view::npos) {
        const bool semicolon = id[separator - 1] == ';';
        return fail("id", std::string("the fields of this line seem to be separated by ") +
                              (semicolon ? "semicolons (;)" : "tabs") +
                              ": these files separate fields with commas (,) and write "
                              "decimals with a point (.). Save the file with commas between "
                              "the fields (an id that holds a " +
                              (semicolon ? "semicolon" : "tab") +
                              " must be put in double quotes)",
                    std::string("τα πεδία αυτής της γραμμής φαίνεται να χωρίζονται με ") +
                        (semicolon ? "ελληνικά ερωτηματικά (;)" : "στηλοθέτες (tab)") +
                        ": αυτά τα αρχεία χωρίζουν τα πεδία με κόμμα (,) και γράφουν τα "
                        "δεκαδικά με τελεία (.). Αποθηκεύστε το αρχείο με κόμματα ανάμεσα στα "
                        "πεδία (ένας κωδικός που περιέχει " +
                        (semicolon ? "ελληνικό ερωτηματικό" : "στηλοθέτη") +
                        " μπαίνει σε εισαγωγικά)");
      }
    }
  }
  if (!endField()) return Scan::kNeedMore;

  // The three numbers.
  for (int n = 0; n < 3; ++n) {
    for (;;) {
      const int c = at(p);
      if (Blank(c)) {
        ++p;
      } else if (Break(c)) {
        if (!consumeBreak()) return Scan::kNeedMore;
      } else {
        break;
      }
    }
    if (at(p) == kMore) return Scan::kNeedMore;
    if (at(p) == kEof) {
      line = recordLine;
      const std::string name(fieldNames_[n]);
      return fail(name, "the file ends inside the record that begins on line " +
                            std::to_string(recordLine) + ": field " + name +
                            " is missing; complete or remove that record",
                  "το αρχείο τελειώνει μέσα στην εγγραφή που αρχίζει στη γραμμή " +
                      std::to_string(recordLine) + ": λείπει το πεδίο " + name +
                      "· συμπληρώστε ή αφαιρέστε αυτή την εγγραφή");
    }
    const std::size_t from = p;
    const std::uint64_t fieldLine = line;
    for (;;) {
      const int c = at(p);
      if (c == kMore) return Scan::kNeedMore;
      if (c == kEof || Blank(c) || c == ',' || Break(c)) break;
      ++p;
    }
    std::size_t to = p;
    while (Blank(at(p))) ++p;
    int c = at(p);
    if (c == kMore) return Scan::kNeedMore;
    if (c != ',' && !Break(c) && c != kEof) {
      // Text after the number on the same field: the whole field is what the user sees.
      while ((c = at(p)) != ',' && !Break(c) && c != kEof) {
        if (c == kMore) return Scan::kNeedMore;
        ++p;
      }
      to = p;
      while (to > from && Blank(static_cast<unsigned char>(data[to - 1]))) --to;
    }
    record.numbers[n] = keep(from, to - from, fieldLine);
    if (n < 2) {
      if (!endField()) return Scan::kNeedMore;
      continue;
    }
    // After the last field the line must end: commas after it ("P1,1,2,3,", as spreadsheets
    // write) are tolerated, but a next record may not begin in the middle of the line, where
    // it would be cut out of fields that belong to something else.
    if (c == ',') {
      std::size_t q = p + 1;
      while (Blank(at(q)) || at(q) == ',') ++q;
      if (at(q) == kMore) return Scan::kNeedMore;
      if (!Break(at(q)) && at(q) != kEof) {
        // Count the fields that follow on the line, for the message.
        std::size_t extra = 0;
        bool inField = false;
        for (std::size_t r = q;; ++r) {
          const int d = at(r);
          if (d == kMore) return Scan::kNeedMore;
          if (d == kEof || Break(d)) break;
          if (d == ',') inField = false;
          else if (!Blank(d) && !inField) {
            inField = true;
            ++extra;
          }
        }
        return fail(MidLineField(record, recordLine), MidLineReason(record, recordLine, extra),
                    MidLineReasonGreek(record, recordLine, extra));
      }
      p = q;
    }
    if (Break(at(p)) && !consumeBreak()) return Scan::kNeedMore;
  }
  const std::size_t length = p - recordStart;
  if (textBase + length + quotedValue.size() > UINT32_MAX / 2) return fail("", "record too long", "εγγραφή πολύ μεγάλη");
  batch.text.append(data + recordStart, length);
  if (quoted) {
    record.id = FieldText{static_cast<std::uint32_t>(batch.text.size()),
                          static_cast<std::uint32_t>(quotedValue.size()), recordLine};
    batch.text += quotedValue;
  }
  batch.records.push_back(record);
  commit();
  return Scan::kRecord;
}

// The field named by a refusal of a record in the middle of a line: the first field that the
// record took from a later line than its id, where a field seems to be missing.
std::string RecordReader::MidLineField(const RawRecord& record, std::uint64_t recordLine) const {
  for (int n = 0; n < 3; ++n) {
    if (record.numbers[n].line > recordLine) return std::string(fieldNames_[n]);
  }
  return "";
}

std::string RecordReader::MidLineReason(const RawRecord& record, std::uint64_t recordLine,
                                        std::size_t extraFields) const {
  const std::string lineText = std::to_string(record.numbers[2].line);
  for (int n = 0; n < 3; ++n) {
    if (record.numbers[n].line <= recordLine) continue;
    return "the record that begins on line " + std::to_string(recordLine) +
           " takes its field " + std::string(fieldNames_[n]) + " from line " +
           std::to_string(record.numbers[n].line) +
           ", where more fields follow, so the next record would begin in the middle of that "
           "line: is a field missing on line " + std::to_string(recordLine) +
           "? Each record needs an id and three numbers; complete line " +
           std::to_string(recordLine);
  }
  const std::size_t fields = 4 + extraFields;
  std::string looks;
  if (fields >= 6) {
    looks = "decimal commas (a number such as 375854,84000 written with a comma instead of a "
            "point, as a Greek spreadsheet exports it)";
  } else {
    looks = "an extra column after the height (a code or a note), or a decimal comma";
  }
  return "line " + lineText + " holds " + std::to_string(fields) +
         " fields, more than the four of one record (an id and three numbers): it looks like " +
         looks + ". Write decimals with a point (.), keep four fields to a line, and run the "
         "job again";
}

std::string RecordReader::MidLineReasonGreek(const RawRecord& record, std::uint64_t recordLine,
                                             std::size_t extraFields) const {
  const std::string lineText = std::to_string(record.numbers[2].line);
  const std::string begins = std::to_string(recordLine);
  for (int n = 0; n < 3; ++n) {
    if (record.numbers[n].line <= recordLine) continue;
    return "η εγγραφή που αρχίζει στη γραμμή " + begins + " παίρνει το πεδίο " +
           std::string(fieldNames_[n]) + " από τη γραμμή " +
           std::to_string(record.numbers[n].line) +
           ", όπου ακολουθούν κι άλλα πεδία, και η επόμενη εγγραφή θα άρχιζε στη μέση εκείνης "
           "της γραμμής: λείπει ένα πεδίο στη γραμμή " + begins +
           "; Κάθε εγγραφή χρειάζεται έναν κωδικό και τρεις αριθμούς· συμπληρώστε τη γραμμή " +
           begins;
  }
  const std::size_t fields = 4 + extraFields;
  const std::string looks =
      fields >= 6 ? "δεκαδικά με κόμμα (ένας αριθμός όπως 375854,84000 γραμμένος με κόμμα "
                    "αντί για τελεία, όπως τον εξάγει ένα ελληνικό υπολογιστικό φύλλο)"
                  : "μια επιπλέον στήλη μετά το ύψος (ένας κωδικός ή μια σημείωση) ή ένα "
                    "δεκαδικό κόμμα";
  return "η γραμμή " + lineText + " έχει " + std::to_string(fields) +
         " πεδία, περισσότερα από τα τέσσερα μιας εγγραφής (ένας κωδικός και τρεις αριθμοί): "
         "μοιάζει με " + looks + ". Γράψτε τα δεκαδικά με τελεία (.), κρατήστε τέσσερα πεδία σε "
         "κάθε γραμμή και ξανατρέξτε την εργασία";
}

bool RecordReader::Start() {
  if (started_) return !failed();
  started_ = true;
  // The encoding, told by the first bytes: a UTF-8 byte-order mark is skipped.
  const TextSource::Encoding encoding = source_.ReadEncoding();
  if (encoding == TextSource::Encoding::kBinary) {
    const bool known = source_.kind().known();
    error_ = {"", 1, "",
              known ? NonTextReason(source_.kind(), "coordinate file")
                    : "the file begins with NUL bytes: it is no text file and no coordinate "
                      "file; choose the coordinate file",
              known ? NonTextReasonGreek(source_.kind(), "αρχείο συντεταγμένων")
                    : "το αρχείο αρχίζει με bytes NUL: δεν είναι αρχείο κειμένου ούτε αρχείο "
                      "συντεταγμένων· διαλέξτε το αρχείο συντεταγμένων"};
    return false;
  }
  if (encoding == TextSource::Encoding::kUtf16 || encoding == TextSource::Encoding::kUtf32) {
    const char* unicode = encoding == TextSource::Encoding::kUtf16 ? "UTF-16" : "UTF-32";
    error_ = {"", 1, "",
              std::string("the file is in ") + unicode +
                  " (Unicode) encoding; save it as plain text (UTF-8 or ANSI) with one record a "
                  "line, then run the job again",
              std::string("το αρχείο είναι σε κωδικοποίηση ") + unicode +
                  " (Unicode)· αποθηκεύστε το ως απλό κείμενο (UTF-8 ή ANSI) με μία εγγραφή σε "
                  "κάθε γραμμή και ξανατρέξτε την εργασία"};
    return false;
  }
  if (source_.failed()) {
    error_ = {"", 1, "", "read error (" + SystemReason(source_.error()) + ")",
              "σφάλμα ανάγνωσης (" + SystemReasonGreek(source_.error()) + ")"};
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
    switch (ScanRecord(batch)) {
      case Scan::kRecord:
        break;
      case Scan::kEnd:
        return false;
      case Scan::kError:
        return false;
      case Scan::kNeedMore: {  // nothing of the record is in the batch yet
        // A long record is scanned again only once its bytes have doubled, so that a record
        // arriving in small pieces (through a pipe) costs linear time.
        const std::size_t partial = source_.available();
        if (partial > kMaxRecordBytes) {
          error_ = {"", line_, "",
                    "a record longer than 1 MiB: no coordinate file has one (is this a "
                    "coordinate file?)",
                    "εγγραφή μεγαλύτερη από 1 MiB: κανένα αρχείο συντεταγμένων δεν έχει τέτοια "
                    "(είναι αυτό αρχείο συντεταγμένων;)"};
          return false;
        }
        do {
          if (!source_.Refill()) {
            if (source_.failed()) {
              error_ = {"", line_, "", "read error (" + SystemReason(source_.error()) + ")",
                        "σφάλμα ανάγνωσης (" + SystemReasonGreek(source_.error()) + ")"};
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
