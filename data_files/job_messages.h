// What the record jobs tell the user, in English and in Greek: why a job stops (a field, a
// point, an output, the input, memory) and what to do. The notes on points outside Greece and on
// packed angles below 100, and JobOutcome's texts (jobs.h), are worded in job_messages.cpp too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "transform/correction_grid.h"

namespace vortan::job_messages {

// A reason in English and in Greek.
struct Reason {
  std::string english, greek;
};

// The field was taken from a later line than the record's first: a field may be missing there.
Reason RecordBeginsEarlier(std::uint64_t recordLine);
// A latitude (field 0) or longitude (field 1) of `radians`, beyond its range, typed as text.
Reason OutOfRange(std::string_view text, int field, double radians);
// A point whose computation raised the numeric fault `fault`.
Reason NumericFault(const char* fault);
// An output that could not take its lines (errno error; path "-" is standard output).
Reason WriteFailure(int error, const std::string& path);
// The grid read covers less than the extent of the program where a point outside it lies: what
// it covers and where the point is (TM07, the false northing included).
std::string GridCoverage(const GridHeader& grid, double falseNorthing, double easting,
                         double northing);

// Before the job starts.
Reason OutputCount(const std::string& job, std::size_t written, std::size_t given);
Reason InitialStepMissing(bool grids);
Reason EmptyInputName();
Reason InputCannotOpen(int error);
Reason InputIsFolder();
// A part of the input (JobOptions::part) past the end of the file, of a file that cannot be
// positioned, or one that does not begin at the start of a line.
Reason PartCannotBeRead(std::uint64_t offset, std::uint64_t size);
Reason PartInsideLine(std::uint64_t offset);
// Memory refused during the records, or before or after them.
Reason NoMemoryDuringRecords();
Reason NoMemoryForJob();

}  // namespace vortan::job_messages
