#include "gis/csv_conversion.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geodetic_params.h"
#include "core/math_functions.h"
#include "data_files/records.h"
#include "engine/conversion.h"
#include "gis/csv_table.h"
#include "gis/form_names.h"
#include "io/display_text.h"
#include "io/files.h"
#include "io/text_encoding.h"

namespace vortan::gis {
namespace {

// As the GDAL path reads and converts: features a chunk.
constexpr std::size_t kChunkFeatures = 8192;

std::string Quote(const std::string& text) { return "'" + DisplayText(text) + "'"; }

std::string Coordinate(double value, bool angle) {
  char buffer[64];
  // A value far beyond any coordinate (1e300 in a broken file) in scientific notation.
  if (!(std::fabs(value) < 1e12)) {
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
  } else {
    std::snprintf(buffer, sizeof buffer, angle ? "%.9f" : "%.3f", value);
  }
  return buffer;
}

std::array<const char*, 3> ColumnNames(Form form) {
  if (form == Form::kHtrs07Xyz) return {"X", "Y", "Z"};
  if (IsGeographic(form)) return {"lon", "lat", "h"};
  return {"E", "N", "h"};
}

int KindOf(Form form) { return form == Form::kHtrs07Xyz ? 0 : IsGeographic(form) ? 1 : 2; }

// Whether the bytes are UTF-8: no stray continuation byte, no overlong form, no surrogate, no
// code point above U+10FFFF.
bool IsUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    unsigned code;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      code = c & 0x07;
    } else {
      return false;
    }
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      code = (code << 6) | (d & 0x3F);
    }
    if ((n == 2 && code < 0x800) || (n == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += n + 1;
  }
  return true;
}

// The field separator of the header line as GDAL finds it: the first of comma, semicolon and
// tab outside quotes, a comma where two of them are found, a blank where none is and a blank
// is, else a comma.
char DetectSeparator(std::string_view line) {
  bool inString = false;
  char separator = '\0';
  bool blank = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (!inString && (c == ',' || c == ';' || c == '\t')) {
      if (separator == '\0') {
        separator = c;
      } else if (separator != c) {
        return ',';
      }
    } else if (!inString && c == ' ') {
      blank = true;
    } else if (c == '"') {
      if (!inString || i + 1 >= line.size() || line[i + 1] != '"') {
        inString = !inString;
      } else {
        ++i;
      }
    }
  }
  if (separator == '\0') return blank ? ' ' : ',';
  return separator;
}

// Reads the lines of the table as GDAL does: a line ends at LF, CR LF or CR; a line that ends
// inside quotes goes on with the next, joined by a line feed.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // The next line (without its break); false at the end of the text.
  bool Next(std::string& line) {
    if (at_ >= text_.size()) return false;
    line.clear();
    start_ = next_;
    bool first = true;
    for (;;) {
      if (!first) line += '\n';
      first = false;
      const std::size_t end = text_.find_first_of("\r\n", at_);
      const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
      line.append(text_.substr(at_, stop - at_));
      at_ = stop;
      if (at_ < text_.size()) {
        if (text_[at_] == '\r' && at_ + 1 < text_.size() && text_[at_ + 1] == '\n') ++at_;
        ++at_;
        ++next_;
      }
      if (!OpenQuote(line) || at_ >= text_.size()) return true;
    }
  }
  // The line of the file where the line last returned begins, counted from 1.
  std::uint64_t lineNumber() const { return start_; }

 private:
  // Whether the quotes of the line leave a string open.
  static bool OpenQuote(std::string_view line) {
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '"') continue;
      if (inString && i + 1 < line.size() && line[i + 1] == '"') {
        ++i;
      } else {
        inString = !inString;
      }
    }
    return inString;
  }

  std::string_view text_;
  std::uint64_t start_ = 1, next_ = 1;
  std::size_t at_ = 0;
};

// The fields of a line: a double quote anywhere opens or closes a string (in which the
// separator is text and "" stands for a quote) and is not part of the field. A blank as the
// separator: runs of blanks are one.
std::vector<std::string> SplitFields(std::string_view line, char separator) {
  std::vector<std::string> fields;
  std::string field;
  bool inString = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      if (inString && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        inString = !inString;
      }
    } else if (!inString && c == separator) {
      fields.push_back(std::move(field));
      field.clear();
      if (separator == ' ') {
        while (i + 1 < line.size() && line[i + 1] == ' ') ++i;
      }
    } else {
      field += c;
    }
  }
  fields.push_back(std::move(field));
  return fields;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A cell as the CSV driver writes it: quoted, its quotes doubled, where it holds a separator, a
// quote, a tab or a line break.
void AppendCell(std::string& out, const std::string& cell) {
  if (cell.find_first_of(",;\"\t\r\n") == std::string::npos) {
    out += cell;
    return;
  }
  out += '"';
  for (char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

struct Row {
  std::vector<std::string> fields;
  std::uint64_t fid;
  std::uint64_t line;  // of the file
};

DatasetOutcome Stopped(DatasetOutcome outcome, DatasetStatus status, std::string message) {
  outcome.status = status;
  outcome.message = std::move(message);
  return outcome;
}

bool ReadAll(const std::string& path, std::string& text) {
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
    text.append(buffer, static_cast<std::size_t>(n));
  }
  CloseFile(fd);
  return true;
}

}  // namespace

bool IsCsvTablePath(const std::string& path) {
  if (path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return extension == ".csv";
}

DatasetOutcome ConvertCsvTable(const TransformContext& context, const DatasetRequest& request) {
  DatasetOutcome outcome;
  const std::string input = DisplayText(request.input);
  std::string text;
  if (!ReadAll(request.input, text)) {
    return Stopped(outcome, DatasetStatus::kError,
                   input + ": cannot be opened (no such file or folder)");
  }
  if (text.empty()) {
    return Stopped(outcome, DatasetStatus::kError,
                   input + ": is no GIS dataset that GDAL reads (`" + request.input +
                       "' not recognized as a supported file format.); record files of this "
                       "program end in .txt");
  }
  if (!request.from) {
    return Stopped(outcome, DatasetStatus::kUsage,
                   input + ": a CSV table holds no CRS; give the form of its coordinates");
  }
  // A table that is not UTF-8 is Greek Excel's "CSV (delimited)", in Windows-1253.
  if (!IsUtf8(text)) {
    text = Windows1253ToUtf8(text);
    outcome.notes.push_back(input +
                            " is not UTF-8: its text is read as Windows-1253 (Greek Excel's "
                            "\"CSV (delimited)\") and written in UTF-8");
  }
  const Form from = *request.from;
  const Form to = request.to;
  const std::optional<CsvLayout> layout = SniffCsv(request.input);
  const CsvLayout out = layout.value_or(CsvLayout{});
  std::string_view body(text);
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);

  // The layer: its name is the file's, without folder and extension.
  std::string layerName = request.input;
  if (const std::size_t slash = layerName.find_last_of("/\\"); slash != std::string::npos) {
    layerName = layerName.substr(slash + 1);
  }
  if (const std::size_t dot = layerName.find_last_of('.'); dot != std::string::npos) {
    layerName = layerName.substr(0, dot);
  }
  const std::string layer = ", layer " + Quote(layerName);

  LineReader lines(body);
  std::string line;
  while (lines.Next(line) && line.empty()) {
  }
  const char separator = DetectSeparator(line);
  std::vector<std::string> names = SplitFields(line, separator);
  for (std::size_t k = 0; k < names.size(); ++k) {
    std::string name;
    for (char c : names[k]) {
      if (c != '"') name += c;
    }
    name = Trimmed(name);
    names[k] = name.empty() ? "field_" + std::to_string(k + 1) : name;
  }
  // A WKT column holds geometries, which GDAL reads (lines, polygons): not this path's.
  for (const std::string& name : names) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower == "wkt") {
      return Stopped(outcome, DatasetStatus::kUsage,
                     input + ": its column " + Quote(name) +
                         " holds geometries, which only the command-line tool converts (through "
                         "GDAL); here a table has its coordinates in columns");
    }
  }
  CoordinateColumns columns;
  if (const std::string error = FindCoordinateColumns(names, request.columns, columns);
      !error.empty()) {
    return Stopped(outcome, DatasetStatus::kUsage, input + ": " + error);
  }
  outcome.notes.push_back("CSV holds no CRS: the coordinates written are " +
                          FormCrsDisplayName(to, *context.profile) + "; give --from " +
                          std::string(FormName(to)) + " when you convert the file again");
  if (request.prepare) {
    if (const std::string error = request.prepare(from); !error.empty()) {
      return Stopped(outcome, DatasetStatus::kError, error);
    }
  }

  // The columns written: each name once, in the order of the input, the coordinates renamed
  // where the kind of form changes; a later column of an earlier one's name writes into it.
  const bool rename = KindOf(from) != KindOf(to);
  const std::array<const char*, 3> targetNames = ColumnNames(to);
  const int coordinateColumn[3] = {columns.x, columns.y, columns.z};
  std::vector<std::string> outputNames;
  std::vector<std::size_t> outputOf(names.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    std::string name = names[k];
    for (int c = 0; c < 3; ++c) {
      if (rename && coordinateColumn[c] == static_cast<int>(k)) name = targetNames[c];
    }
    const auto existing = std::find(outputNames.begin(), outputNames.end(), name);
    outputOf[k] = static_cast<std::size_t>(existing - outputNames.begin());
    if (existing == outputNames.end()) outputNames.push_back(name);
  }

  std::string written;
  if (out.byteOrderMark) written += "\xEF\xBB\xBF";
  for (std::size_t k = 0; k < outputNames.size(); ++k) {
    if (k > 0) written += out.separator;
    AppendCell(written, outputNames[k]);
  }
  written += "\r\n";

  // Every digit of the double is written: the plain routines, as the tool's GIS conversion.
  const Conversion conversion(context, from, to, request.keepHeights, Routines::kPlain);
  const bool decimalCommas = out.separator != ',';
  bool writeCommas = false;
  const bool geographic = IsGeographic(from);
  const std::array<std::string_view, 3> fromNames = CoordinateNames(from);
  std::uint64_t fid = 0;

  // A chunk of rows with their coordinates in the units of the form, read and checked; a
  // decimal comma in it makes the table's numbers be written with commas.
  struct Chunk {
    std::vector<Row> rows;
    std::vector<double> a, b, c;
  };
  auto read = [&](Chunk& chunk) -> std::optional<std::string> {
    chunk = Chunk{};
    while (chunk.rows.size() < kChunkFeatures && lines.Next(line)) {
      if (line.empty()) continue;
      ++fid;
      std::vector<std::string> fields = SplitFields(line, separator);
      // A row of empty cells (",,,", Excel's formatted empty rows) is no feature.
      if (std::all_of(fields.begin(), fields.end(), [](const std::string& f) {
            return f.find_first_not_of(" \t") == std::string::npos;
          })) {
        continue;
      }
      chunk.rows.push_back({std::move(fields), fid, lines.lineNumber()});
    }
    for (const Row& row : chunk.rows) {
      const std::string where = input + layer + ", feature " + std::to_string(row.fid) +
                                " (line " + std::to_string(row.line) + ")";
      for (std::size_t k = 0; k < names.size() && k < row.fields.size(); ++k) {
        if (!IsUtf8(row.fields[k])) {
          return where + ", column " + Quote(names[k]) +
                 ": the text is not UTF-8 (a file saved as Windows-1253?); save the sheet from "
                 "Excel as \"CSV UTF-8\" and convert it again";
        }
      }
      double v[3] = {0, 0, 0};
      for (int k = 0; k < 3; ++k) {
        const int column = coordinateColumn[k];
        if (column < 0) continue;
        const std::string& cell = static_cast<std::size_t>(column) < row.fields.size()
                                      ? row.fields[static_cast<std::size_t>(column)]
                                      : std::string();
        bool comma = false;
        if (IsExcelRoundedNumber(cell)) {
          return where + ", column " + Quote(names[static_cast<std::size_t>(column)]) + ": " +
                 ExcelRoundedReason(cell);
        }
        const std::optional<double> value = ParseCell(cell, decimalCommas, comma);
        if (!value) {
          return where + ", column " + Quote(names[static_cast<std::size_t>(column)]) + ": " +
                 (!cell.empty() ? "\"" + DisplayText(cell) + "\" is not a number"
                                : std::string("the cell is empty")) +
                 "; correct the cell (digits with a decimal point" +
                 (decimalCommas ? std::string(" or comma") : std::string()) + ")";
        }
        if (comma) writeCommas = true;
        v[k] = *value;
      }
      if (geographic) {
        chunk.a.push_back(v[1] * kPi / 180.0);
        chunk.b.push_back(v[0] * kPi / 180.0);
      } else {
        chunk.a.push_back(v[0]);
        chunk.b.push_back(v[1]);
      }
      chunk.c.push_back(v[2]);
    }
    return std::nullopt;
  };

  // As the GDAL path goes: a chunk is converted while the next is read, then checked, then
  // written; the next chunk's decimal commas count for this one's numbers.
  Chunk current, next;
  if (std::optional<std::string> error = read(current)) {
    return Stopped(outcome, DatasetStatus::kError, *error);
  }
  const bool geographicOut = IsGeographic(to);
  DatasetProgress progress;
  while (!current.rows.empty()) {
    const std::size_t n = current.rows.size();
    std::vector<double> outA(n), outB(n), outC(n);
    std::vector<PointStatus> status(n);
    // All seventeen digits are written: where the elementary functions are not glibc's, with
    // the correctly rounded ones throughout (core/math_functions.h).
    auto convert = [&] {
      ConvertBatch(conversion, current.a, current.b, current.c, outA, outB, outC, status);
    };
    if constexpr (math::kCheckedFunctions) {
      math::RecomputeExactly(convert);
    } else {
      convert();
    }
    const std::optional<std::string> readError = read(next);
    for (std::size_t i = 0; i < n; ++i) {
      if (status[i] == PointStatus::kDone) continue;
      const double x = geographic ? current.b[i] * 180.0 / kPi : current.a[i];
      const double y = geographic ? current.a[i] * 180.0 / kPi : current.b[i];
      const std::string where =
          input + layer + ", feature " + std::to_string(current.rows[i].fid) + " (line " +
          std::to_string(current.rows[i].line) + ")" +
          (geographic ? " (λ " + Coordinate(x, true) + "°, φ " + Coordinate(y, true) + "°)"
                      : " (" + std::string(fromNames[0]) + " " + Coordinate(x, false) + ", " +
                            std::string(fromNames[1]) + " " + Coordinate(y, false) + ")");
      if (status[i] == PointStatus::kOutsideGrid) {
        return Stopped(outcome, DatasetStatus::kOutsideGrid,
                       where + ": outside the correction grid. Nothing was written; give "
                               "--outside skip to leave out the features outside the grid");
      }
      if (status[i] == PointStatus::kOutOfRange) {
        const int bad = GeographicOutOfRange(current.a[i], current.b[i]);
        return Stopped(outcome, DatasetStatus::kError,
                       where + ": a " + RangeFault(bad) +
                           " is no point of the Earth: are the coordinates " +
                           FormCrsDisplayName(from, *context.profile) +
                           ", with latitude and longitude in their places? Correct the "
                           "geometry or give the right --from");
      }
      return Stopped(outcome, DatasetStatus::kError,
                     where + ": the conversion fails there (a numeric fault); the coordinates "
                             "are not " +
                         FormCrsDisplayName(from, *context.profile));
    }
    outcome.pointsConverted += n;
    if (readError) return Stopped(outcome, DatasetStatus::kError, *readError);

    for (std::size_t i = 0; i < n; ++i) {
      std::vector<std::string> cells(outputNames.size());
      const Row& row = current.rows[i];
      for (std::size_t k = 0; k < names.size() && k < row.fields.size(); ++k) {
        cells[outputOf[k]] = row.fields[k];
      }
      const double values[3] = {geographicOut ? outB[i] * 180.0 / kPi : outA[i],
                                geographicOut ? outA[i] * 180.0 / kPi : outB[i], outC[i]};
      for (int k = 0; k < 3; ++k) {
        if (coordinateColumn[k] < 0) continue;
        cells[outputOf[static_cast<std::size_t>(coordinateColumn[k])]] =
            FormatCell(values[k], writeCommas);
      }
      for (std::size_t k = 0; k < cells.size(); ++k) {
        if (k > 0) written += out.separator;
        AppendCell(written, cells[k]);
      }
      written += "\r\n";
      ++outcome.featuresWritten;
    }
    progress.featuresDone = outcome.featuresWritten;
    progress.pointsDone = outcome.pointsConverted;
    if (request.progress) request.progress(progress);
    if (request.cancel && request.cancel->load()) {
      return Stopped(outcome, DatasetStatus::kCancelled, "nothing written");
    }
    std::swap(current, next);
  }
  outcome.layers = 1;

  // The output, whole.
  const OpenedOutput file = OpenForWriting(request.output);
  std::size_t done = 0;
  if (file.fd < 0 || !Empty(file.fd) || !WriteAll(file.fd, written.data(), written.size(), done) ||
      !CloseFile(file.fd)) {
    RemoveCreated(file);
    return Stopped(outcome, DatasetStatus::kError,
                   DisplayText(request.output) + ": cannot be written (" +
                       SystemReason(file.fd < 0 ? file.error : errno) + ")");
  }
  return outcome;
}

}  // namespace vortan::gis
