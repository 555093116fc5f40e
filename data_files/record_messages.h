// Why the record reader refuses a coordinate file or one of its records, in English and in
// Greek: each a Problem at the line (and field) it names, without the file, which the job
// names. The reasons say what the text looks like and what to do.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data_files/record_reader.h"
#include "io/file_kind.h"
#include "io/problem.h"

namespace vortan::record_messages {

// The file, at its start.
Problem NotText(const NonTextKind& kind);    // NUL bytes, or a file of another kind
Problem Unicode(std::string_view encoding);  // "UTF-16" or "UTF-32"
Problem ReadFailure(std::uint64_t line, int error);
Problem RecordOverLimit(std::uint64_t line);  // longer than RecordReader::kMaxRecordBytes
Problem RecordTooLong(std::uint64_t line);    // more than a batch's text can index

// A quoted id (recordLine is the line of its opening quote).
Problem UnclosedQuote(std::uint64_t recordLine);
// The closing quote stands on closingLine, a later line, and text follows it there.
Problem QuoteClosedLater(std::uint64_t recordLine, std::uint64_t closingLine);
Problem TextAfterQuote(std::uint64_t line);

// An unquoted id in which separator (a semicolon or a tab) separates more text, and the commas
// do not make a record of the line.
Problem OtherSeparator(std::uint64_t line, char separator);

// The file ends before the numeric field `field` of the record that begins on recordLine.
Problem FileEndsInRecord(std::uint64_t recordLine, std::string_view field);

// A record that would leave the next one to begin in the middle of line `line` (the line of
// its last field), where extraFields more fields follow: either it took a field from a later
// line than its id (a field missing there), or the line holds too many fields (decimal commas,
// an extra column). commaNumber is the text of the first two numbers of the record with the
// comma between them, which the message quotes as the number that a decimal comma split.
Problem MidLine(const RawRecord& record, std::uint64_t recordLine, std::uint64_t line,
                std::size_t extraFields, const std::array<std::string_view, 3>& fieldNames,
                std::string_view commaNumber);

}  // namespace vortan::record_messages
