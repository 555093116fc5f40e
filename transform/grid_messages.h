// Why a correction grid (a file, or a pair of grids in memory) is refused, in English and in
// Greek: what is wrong, where (the file, its line, the header field or the value counted as the
// file counts them), and what to do. The checks themselves are in grid_file.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "io/file_kind.h"
#include "transform/grid_file.h"

namespace vortan::grid_messages {

// Places: a header field f (0 row count, 1 column count, 2 step, 3 southern Northing,
// 4 western Easting) at `at`, and value k (from 0, in the order of a file) at `at`.
GridError HeaderFieldPlace(const std::string& at, const std::string& atGreek, int f);
GridError ValuePlace(const std::string& at, const std::string& atGreek, std::size_t k);

// A field at `where`: no number, NUL bytes, longer than any number.
GridError NotANumber(const GridError& where, std::string_view field);
GridError NulBytes(const GridError& where);
GridError FieldTooLong(const GridError& where);
// A correction value written as text that is no finite number or too large, or that looks like
// a no-data value (value k of a grid of rows x columns).
GridError BadCorrection(double value, std::string_view text, const GridError& where);
GridError NoDataValue(std::string_view text, std::size_t k, int rows, int columns,
                      const GridError& where);

// The header of the grid `name`: a count (f 0 or 1) that is no whole number in range, a step
// not positive or out of range, a corner (f 3 or 4) beyond any TM07 coordinate.
GridError HeaderNotWhole(const std::string& name, int f, const double (&header)[5]);
GridError StepNotPositive(const std::string& name, const double (&header)[5]);
GridError StepOutside(const std::string& name, const double (&header)[5]);
GridError CornerBeyond(const std::string& name, int f, const double (&header)[5]);

// The file `name`: cannot be opened, a folder, a read error, Unicode ("UTF-16" or "UTF-32"),
// another kind of file.
GridError CannotOpen(const std::string& name);
GridError IsFolder(const std::string& name);
GridError ReadError(const std::string& name);
GridError UnicodeEncoding(const std::string& name, const char* unicode);
GridError NotText(const std::string& name, const NonTextKind& kind);
// Its end: inside the header (before field f), after k of the total values; text or more values
// after the total values; its lines of rows values, the header's row count, and columns lines.
GridError EndsInHeader(const std::string& at, const std::string& atGreek, int f);
GridError EndsInValues(const std::string& at, const std::string& atGreek, std::size_t k,
                       std::size_t total);
GridError TextAfterValues(const std::string& name, int line, std::size_t total,
                          const std::string& text);
GridError MoreValues(const std::string& name, std::size_t extra, std::size_t total);
GridError CountsSwapped(const std::string& name, int rows, int columns);
// A grid in memory that holds another number of values than its header announces.
GridError ValueCount(const std::string& name, std::size_t held, std::size_t total, int rows,
                     int columns);
GridError NoMemory(const std::string& name);

// The pair: the same values in both, different headers, names that say dE for the dN grid
// (dnName, else empty) or dN for the dE grid (deName, else empty), one file given for both
// (as: the other name it was given under, else empty).
GridError SameValues(const std::string& dnName, const std::string& deName);
GridError HeadersDiffer(const std::string& dnName, const std::string& deName);
GridError NamesSwapped(const std::string& dnName, const std::string& deName);
GridError OneFileForBoth(const std::string& name, const std::string& as);

}  // namespace vortan::grid_messages
