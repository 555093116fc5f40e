// Points in the columns of a table from a spreadsheet (a CSV file as Excel saves it): which
// columns hold the coordinates, found by name or named by the user; the numbers in them, with
// a decimal point or, in a file whose separator is not the comma (a Greek Excel export), a
// decimal comma; the names of the columns written; and the separator and byte-order mark of
// the file, kept on output. The rules of both conversions of a table, through GDAL
// (dataset.h) and without it (csv_conversion.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/forms.h"

namespace vortan::gis {

struct CsvLayout {
  char separator = ',';  // ',', ';' or '\t'
  bool byteOrderMark = false;
};

// The separator and byte-order mark of a CSV file from the bytes of its header line: the most
// frequent of comma, semicolon and tab outside quotes.
CsvLayout LayoutOfCsv(std::string_view bytes);

// The text of a CSV file as it is to be read, the file read once: in UTF-8, a file that is not
// valid UTF-8 being read as Windows-1253 (the code page of Greek Excel's "CSV (delimited)");
// its layout (LayoutOfCsv); and the line where each of its records begins, as a reader that
// skips empty lines counts them (a quoted cell may hold line breaks). Nothing when the file
// cannot be read.
struct CsvText {
  std::string utf8;
  bool fromWindows1253 = false;
  CsvLayout layout;
  // recordLines[0] is the line of the header, recordLines[k] that of the k-th row after it.
  std::vector<std::uint64_t> recordLines;
};
std::optional<CsvText> ReadCsvText(const std::string& path);

// The columns of the coordinates: x (E, X, longitude), y (N, Y, latitude), z (h, Z) or -1.
struct CoordinateColumns {
  int x = -1, y = -1, z = -1;
};

// Finds the coordinate columns among the column names: the names given (x, y and optionally z,
// compared without regard to case), or else the usual names in English and Greek (E, N, H;
// X, Y, Z; Easting, Northing; lon, lat; Χ, Υ, Η; φ, λ; ...; a unit in brackets after a name is
// allowed). Returns "" or why no single choice exists, naming the columns.
std::string FindCoordinateColumns(const std::vector<std::string>& names,
                                  const std::vector<std::string>& requested,
                                  CoordinateColumns& out);

// A coordinate in a cell: optional sign, digits with at most one decimal mark, an optional
// exponent, blanks around. The decimal mark is the point or, where decimalComma allows it, a
// comma (usedComma tells). Nothing for anything else (an empty cell, text, thousands
// separators, "nan").
std::optional<double> ParseCell(std::string_view cell, bool decimalComma, bool& usedComma);

// Whether the dots of a number may be thousands separators, as Excel writes 1234 and
// 4500000.25 with the separator on where the comma is the decimal mark ("1.234",
// "4.500.000,25"): a dot beside a comma, or one to three digits followed by groups of a dot and
// three digits. "410000.500", "37.97512" and "0.250" hold a decimal point.
bool MayHoldThousandsDots(std::string_view cell);

// The coordinate of a cell of the column named column, into value: "" or what is wrong with the
// cell, to follow the row's place in a message (", column 'E': \"x\" is not a number; ...").
// An empty cell, text, the numbers Excel rounded for its display and, where the decimal mark is
// the comma, dots that may be thousands separators (MayHoldThousandsDots) are refused.
std::string ReadCoordinateCell(std::string_view cell, const std::string& column,
                               bool decimalComma, bool& usedComma, double& value);

// What is wrong with a cell whose text is not UTF-8, to follow the row's place.
std::string NotUtf8Cell(const std::string& column);

// The point of a table row in the engine's units of its form, appended to a, b, c: the columns
// x, y, z hold longitude, latitude (degrees) and height for the geographic forms.
void AppendTablePoint(Form form, const double xyz[3], std::vector<double>& a,
                      std::vector<double>& b, std::vector<double>& c);
// The columns x, y, z of a converted point from the engine's a, b, c.
std::array<double, 3> TablePointColumns(Form form, double a, double b, double c);

// The names of the coordinate columns of a form in a table written out: X, Y, Z; lon, lat, h;
// E, N, h.
std::array<const char*, 3> ColumnNames(Form form);
// The names of the converted coordinate columns of a table written: the names wanted
// (ColumnNames, or the input's own), each made distinct from the other columns written (others)
// and from one another, without regard to case as GDAL compares them: "E" beside an attribute
// "E" becomes "E_2". A column of the input is never overwritten by the coordinates.
std::array<std::string, 3> DistinctColumnNames(const std::array<std::string, 3>& wanted,
                                               const std::vector<std::string>& others);
// The note for a column written under another name than the one wanted (DistinctColumnNames):
// converted coordinates, or a column of the input.
std::string RenamedColumnNote(const std::string& layer, const std::string& wanted,
                              const std::string& given, bool converted);
// Whether a table's coordinate columns take the names of the target form (ColumnNames): where
// the kind of coordinates changes (Cartesian, geographic, projected).
bool RenamesColumns(Form from, Form to);

// Whether a spreadsheet opening a CSV file would take the text of a cell for a formula: it
// begins with "=", "@", a tab or a carriage return, or with "+" or "-" and is no number (nor
// the sign alone).
bool LooksLikeFormula(std::string_view cell);
// The cell as a CSV output writes it: a formula guarded by a leading apostrophe, which makes a
// spreadsheet show it as text; any other cell as it is.
std::string GuardedCell(std::string_view cell);

// The cells of a layer written guarded (GuardedCell): how many, and the first.
struct GuardedCells {
  std::uint64_t count = 0;
  std::string first;  // "file, layer 'l', feature 2 (line 3), column 'id': \"=1+2\""
  // Guards the cell; where names its place for the note, asked only of the first.
  template <class Where>
  std::string Guard(std::string_view cell, Where&& where) {
    if (!LooksLikeFormula(cell)) return std::string(cell);
    if (count++ == 0) first = where();
    return GuardedCell(cell);
  }
  // The note, or "" when no cell was guarded.
  std::string Note() const;
};

// A coordinate for a cell: the shortest text that reads back as the same double, with a decimal
// comma where asked.
std::string FormatCell(double value, bool decimalComma);

}  // namespace vortan::gis
