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

// The coordinate of a cell of the column named column, into value: "" or what is wrong with the
// cell, to follow the row's place in a message (", column 'E': \"x\" is not a number; ...").
// An empty cell, text and the numbers Excel rounded for its display are refused.
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
// Whether a table's coordinate columns take the names of the target form (ColumnNames): where
// the kind of coordinates changes (Cartesian, geographic, projected).
bool RenamesColumns(Form from, Form to);

// A coordinate for a cell: the shortest text that reads back as the same double, with a decimal
// comma where asked.
std::string FormatCell(double value, bool decimalComma);

}  // namespace vortan::gis
