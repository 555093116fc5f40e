#include "gis/csv_table.h"

#include <algorithm>
#include <cmath>

#include "core/float_chars.h"
#include "core/geodetic_params.h"
#include "data_files/records.h"
#include "gis/conversion_messages.h"
#include "io/display_text.h"
#include "io/files.h"
#include "io/text_encoding.h"

namespace vortan::gis {
namespace {

// Lower case for ASCII and Greek letters, without the Greek accents, and without blanks, dots,
// underscores and hyphens: "Γεωγρ. Μήκος" reads as "γεωγρμηκος", "Easting (m)" as "easting".
std::string Normalised(std::string_view name) {
  // A unit in brackets at the end goes.
  const std::size_t bracket = name.find_first_of("([");
  if (bracket != std::string_view::npos && bracket > 0) name = name.substr(0, bracket);
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == ' ' || c == '.' || c == '_' || c == '-' || c == '\t') continue;
    if (c < 0x80) {
      out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      continue;
    }
    if ((c == 0xCE || c == 0xCF) && i + 1 < name.size()) {
      const unsigned code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(name[i + 1]) & 0x3Fu);
      unsigned lower = code;
      if (code >= 0x391 && code <= 0x3A9) lower = code + 0x20;  // capitals
      switch (code) {                                          // accented vowels
        case 0x386: case 0x3AC: lower = 0x3B1; break;
        case 0x388: case 0x3AD: lower = 0x3B5; break;
        case 0x389: case 0x3AE: lower = 0x3B7; break;
        case 0x38A: case 0x3AF: lower = 0x3B9; break;
        case 0x38C: case 0x3CC: lower = 0x3BF; break;
        case 0x38E: case 0x3CD: lower = 0x3C5; break;
        case 0x38F: case 0x3CE: lower = 0x3C9; break;
        default: break;
      }
      out += static_cast<char>(0xC0 | (lower >> 6));
      out += static_cast<char>(0x80 | (lower & 0x3F));
      ++i;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

// The usual names of each coordinate, normalised. E, N in Greek letters (Ε, Ν) and X, Y, H in
// Greek letters (Χ, Υ, Η) are what a Greek keyboard types.
const std::vector<std::string> kXNames = {
    "x", "e", "easting", "east", "lon", "long", "lng", "longitude", "lambda", "λ", "χ", "ε",
    "μηκος", "γεωγραφικομηκος", "γεωγρμηκος"};
const std::vector<std::string> kYNames = {
    "y", "n", "northing", "north", "lat", "latitude", "phi", "φ", "υ", "ν",
    "πλατος", "γεωγραφικοπλατος", "γεωγρπλατος"};
const std::vector<std::string> kZNames = {
    "z", "h", "height", "elevation", "elev", "alt", "altitude", "ellipsoidalheight", "η", "ζ",
    "υψος", "υψομετρο", "ελλειψοειδεςυψος"};

bool Listed(const std::vector<std::string>& list, const std::string& name) {
  for (const std::string& n : list) {
    if (n == name) return true;
  }
  return false;
}

std::string Quoted(const std::vector<std::string>& names, const std::vector<int>& columns) {
  std::string out;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) out += i + 1 == columns.size() ? " and " : ", ";
    out += Quote(names[static_cast<std::size_t>(columns[i])]);
  }
  return out;
}

// The bytes of a file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes) {
  const int fd = OpenForReading(path);
  if (fd < 0) return false;
  char buffer[1 << 16];
  for (;;) {
    const long long n = ReadSome(fd, buffer, sizeof buffer);
    if (n < 0) {
      CloseFile(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  CloseFile(fd);
  return true;
}

}  // namespace

std::optional<CsvText> ReadCsvText(const std::string& path) {
  CsvText csv;
  if (!ReadWholeFile(path, csv.utf8)) return std::nullopt;
  csv.layout = LayoutOfCsv(csv.utf8);
  if (!IsValidUtf8(csv.utf8)) {
    csv.utf8 = Windows1253ToUtf8(csv.utf8);
    csv.fromWindows1253 = true;
  }
  const std::string& t = csv.utf8;
  std::uint64_t line = 1;
  bool quoted = false;
  bool start = true;  // at the start of a line outside quotes: a record may begin
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
      ++line;
      if (!quoted) start = true;
      continue;
    }
    if (start) {
      csv.recordLines.push_back(line);
      start = false;
    }
    if (c == '"') quoted = !quoted;
  }
  return csv;
}

CsvLayout LayoutOfCsv(std::string_view bytes) {
  const std::string_view line = bytes.substr(0, bytes.find('\n'));
  CsvLayout layout;
  if (line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) layout.byteOrderMark = true;
  std::size_t commas = 0, semicolons = 0, tabs = 0;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == ',') ++commas;
    if (c == ';') ++semicolons;
    if (c == '\t') ++tabs;
  }
  if (semicolons > commas && semicolons >= tabs) layout.separator = ';';
  else if (tabs > commas && tabs > semicolons) layout.separator = '\t';
  return layout;
}

std::string FindCoordinateColumns(const std::vector<std::string>& names,
                                  const std::vector<std::string>& requested,
                                  CoordinateColumns& out) {
  out = {};
  if (!requested.empty()) {
    int* slots[3] = {&out.x, &out.y, &out.z};
    for (std::size_t r = 0; r < requested.size() && r < 3; ++r) {
      std::vector<int> found;
      for (std::size_t i = 0; i < names.size(); ++i) {
        if (Normalised(names[i]) == Normalised(requested[r])) found.push_back(static_cast<int>(i));
      }
      if (found.empty()) {
        std::string all;
        for (std::size_t i = 0; i < names.size(); ++i) all += (i ? ", " : "") + Quote(names[i]);
        return "no column is named " + Quote(requested[r]) + " (the columns are " + all + ")";
      }
      if (found.size() > 1) return "the columns " + Quoted(names, found) + " both match " + Quote(requested[r]);
      *slots[r] = found[0];
    }
    return "";
  }
  std::vector<int> xs, ys, zs;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string n = Normalised(names[i]);
    if (Listed(kXNames, n)) xs.push_back(static_cast<int>(i));
    if (Listed(kYNames, n)) ys.push_back(static_cast<int>(i));
    if (Listed(kZNames, n)) zs.push_back(static_cast<int>(i));
  }
  const char* hint = ": name the coordinate columns with --columns X,Y[,Z] (their names in "
                     "the header, easting or longitude first)";
  if (xs.empty() || ys.empty()) {
    std::string all;
    for (std::size_t i = 0; i < names.size(); ++i) all += (i ? ", " : "") + Quote(names[i]);
    return "no coordinate columns found among " + all + hint;
  }
  if (xs.size() > 1) return "the columns " + Quoted(names, xs) + " could each be the first coordinate" + hint;
  if (ys.size() > 1) return "the columns " + Quoted(names, ys) + " could each be the second coordinate" + hint;
  if (zs.size() > 1) return "the columns " + Quoted(names, zs) + " could each be the height" + hint;
  out.x = xs[0];
  out.y = ys[0];
  out.z = zs.empty() ? -1 : zs[0];
  return "";
}

std::optional<double> ParseCell(std::string_view cell, bool decimalComma, bool& usedComma) {
  while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t')) cell.remove_prefix(1);
  while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t' || cell.back() == '\r')) {
    cell.remove_suffix(1);
  }
  if (cell.empty()) return std::nullopt;
  std::string text(cell);
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  std::size_t digits = 0, marks = 0;
  bool comma = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' || (c == ',' && decimalComma)) {
      if (++marks > 1) return std::nullopt;
      if (c == ',') {
        comma = true;
        text[i] = '.';
      }
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j >= text.size() || text[j] < '0' || text[j] > '9') return std::nullopt;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    i = j;
  }
  if (i != text.size()) return std::nullopt;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  double value = 0;
  const auto r = DoubleFromChars(begin, text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  usedComma = usedComma || comma;
  return value;
}

bool MayHoldThousandsDots(std::string_view cell) {
  while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t')) cell.remove_prefix(1);
  while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t' || cell.back() == '\r')) {
    cell.remove_suffix(1);
  }
  if (cell.find('.') == std::string_view::npos) return false;
  if (cell.find(',') != std::string_view::npos) return true;  // "410.000,50"
  if (!cell.empty() && (cell.front() == '+' || cell.front() == '-')) cell.remove_prefix(1);
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  // One to three digits, the first not a lone 0, then groups of a dot and three digits.
  std::size_t lead = 0;
  while (lead < cell.size() && digit(cell[lead])) ++lead;
  if (lead == 0 || lead > 3 || lead == cell.size() || cell[lead] != '.' ||
      (lead == 1 && cell[0] == '0')) {
    return false;
  }
  for (std::size_t i = lead; i < cell.size(); i += 4) {
    if (cell[i] != '.' || i + 3 >= cell.size() ||
        !(digit(cell[i + 1]) && digit(cell[i + 2]) && digit(cell[i + 3]))) {
      return false;
    }
  }
  return true;
}

std::string ReadCoordinateCell(std::string_view cell, const std::string& column,
                               bool decimalComma, bool& usedComma, double& value) {
  const std::string where = ", column " + Quote(column) + ": ";
  if (IsExcelRoundedNumber(cell)) return where + ExcelRoundedReason(cell);
  if (decimalComma && MayHoldThousandsDots(cell)) {
    return where + "\"" + DisplayText(cell) +
           "\" has a dot where the decimal mark of this table is the comma (its columns are "
           "not separated by commas, as Greek Excel saves them): a thousands separator? Save the "
           "sheet with the column's numbers unformatted (no 1000 separator) and convert it "
           "again; if the dot is a decimal point, write it as a comma";
  }
  const std::optional<double> parsed = ParseCell(cell, decimalComma, usedComma);
  if (!parsed) {
    return where +
           (!cell.empty() ? "\"" + DisplayText(cell) + "\" is not a number"
                          : std::string("the cell is empty")) +
           "; correct the cell (digits with a decimal point" +
           (decimalComma ? std::string(" or comma") : std::string()) + ")";
  }
  value = *parsed;
  return "";
}

std::string NotUtf8Cell(const std::string& column) {
  return ", column " + Quote(column) +
         ": the text is not UTF-8 (a file saved as Windows-1253?); save the sheet from Excel as "
         "\"CSV UTF-8\" and convert it again";
}

void AppendTablePoint(Form form, const double xyz[3], std::vector<double>& a,
                      std::vector<double>& b, std::vector<double>& c) {
  if (IsGeographic(form)) {
    a.push_back(xyz[1] * kRadiansPerDegree);
    b.push_back(xyz[0] * kRadiansPerDegree);
  } else {
    a.push_back(xyz[0]);
    b.push_back(xyz[1]);
  }
  c.push_back(xyz[2]);
}

std::array<double, 3> TablePointColumns(Form form, double a, double b, double c) {
  if (IsGeographic(form)) return {b * kDegreesPerRadian, a * kDegreesPerRadian, c};
  return {a, b, c};
}

std::array<const char*, 3> ColumnNames(Form form) {
  if (form == Form::kHtrs07Xyz) return {"X", "Y", "Z"};
  if (IsGeographic(form)) return {"lon", "lat", "h"};
  return {"E", "N", "h"};
}

bool RenamesColumns(Form from, Form to) {
  const auto kind = [](Form form) { return form == Form::kHtrs07Xyz ? 0 : IsGeographic(form) ? 1 : 2; };
  return kind(from) != kind(to);
}

std::array<std::string, 3> DistinctColumnNames(const std::array<std::string, 3>& wanted,
                                               const std::vector<std::string>& others) {
  const auto same = [](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
      if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
  };
  std::vector<std::string> taken = others;
  std::array<std::string, 3> names;
  for (std::size_t c = 0; c < 3; ++c) {
    if (wanted[c].empty()) continue;
    std::string name = wanted[c];
    for (int n = 2; std::any_of(taken.begin(), taken.end(),
                                [&](const std::string& t) { return same(t, name); });
         ++n) {
      name = wanted[c] + "_" + std::to_string(n);
    }
    taken.push_back(name);
    names[c] = name;
  }
  return names;
}

std::string RenamedColumnNote(const std::string& layer, const std::string& wanted,
                              const std::string& given, bool converted) {
  return "layer " + Quote(layer) + ": " +
         (converted ? "the converted coordinates " + Quote(wanted) + " are"
                    : "a column " + Quote(wanted) + " is") +
         " written as " +
         Quote(given) + ", for another column has its name (without regard to case); no "
         "column is dropped or overwritten";
}

bool LooksLikeFormula(std::string_view cell) {
  if (cell.empty()) return false;
  switch (cell.front()) {
    case '=': case '@': case '\t': case '\r': return true;
    case '+': case '-': {
      // A dash alone ("no value") is text to a spreadsheet.
      bool comma = false;
      return cell.size() > 1 && !ParseCell(cell, true, comma);
    }
    default: return false;
  }
}

std::string GuardedCell(std::string_view cell) {
  if (!LooksLikeFormula(cell)) return std::string(cell);
  return "'" + std::string(cell);
}

std::string GuardedCells::Note() const {
  if (count == 0) return "";
  return std::to_string(count) + (count == 1 ? " cell" : " cells") +
         " that a spreadsheet would run as a formula (beginning with =, +, -, @, a tab or a "
         "carriage return) " + (count == 1 ? "is" : "are") +
         " written with a leading apostrophe, which makes a spreadsheet show " +
         (count == 1 ? "it" : "them") + " as text; the first: " + first +
         ". The apostrophe stays part of the text where the file is read as data";
}

std::string FormatCell(double value, bool decimalComma) {
  char buffer[64];
  const auto r = DoubleToChars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, r.ptr);
  if (decimalComma) {
    for (char& c : text) {
      if (c == '.') c = ',';
    }
  }
  return text;
}

}  // namespace vortan::gis
