#include "gis/csv_conversion.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/conversion.h"
#include "gis/conversion_messages.h"
#include "gis/csv_table.h"
#include "io/display_text.h"
#include "io/files.h"
#include "io/text_encoding.h"

namespace vortan::gis {
namespace {

// As the GDAL path reads and converts: features a chunk.
constexpr std::size_t kChunkFeatures = 8192;

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

// The names of the columns in a header line: without quotes and blanks around, a column
// without a name called field_N (N from 1), as GDAL names it.
std::vector<std::string> HeaderNames(std::string_view line, char separator) {
  std::vector<std::string> names = SplitFields(line, separator);
  for (std::size_t k = 0; k < names.size(); ++k) {
    std::string name;
    for (char c : names[k]) {
      if (c != '"') name += c;
    }
    name = Trimmed(name);
    names[k] = name.empty() ? "field_" + std::to_string(k + 1) : name;
  }
  return names;
}

DatasetOutcome Stopped(DatasetOutcome outcome, DatasetStatus status, std::string message) {
  outcome.status = status;
  outcome.message = std::move(message);
  return outcome;
}

}  // namespace

bool IsCsvTablePath(const std::string& path) {
  if (path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return extension == ".csv";
}

std::optional<std::vector<std::string>> CsvColumnNames(const std::string& path) {
  const std::optional<CsvText> csv = ReadCsvText(path);
  if (!csv || csv->utf8.empty()) return std::nullopt;
  std::string_view body(csv->utf8);
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  LineReader lines(body);
  std::string line;
  while (lines.Next(line) && line.empty()) {
  }
  return HeaderNames(line, DetectSeparator(line));
}

DatasetOutcome ConvertCsvTable(const TransformContext& context, const DatasetRequest& request) {
  DatasetOutcome outcome;
  const std::string input = DisplayText(request.input);
  std::optional<CsvText> csv = ReadCsvText(request.input);
  if (!csv) {
    return Stopped(outcome, DatasetStatus::kError,
                   input + ": cannot be opened (no such file or folder)");
  }
  if (csv->utf8.empty()) {
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
  if (csv->fromWindows1253) outcome.notes.push_back(RecodedNote(request.input));
  const Form from = *request.from;
  const Form to = request.to;
  const CsvLayout out = csv->layout;
  std::string_view body(csv->utf8);
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);

  // The layer: its name is the file's, without folder and extension.
  std::string layerName = request.input;
  if (const std::size_t slash = layerName.find_last_of("/\\"); slash != std::string::npos) {
    layerName = layerName.substr(slash + 1);
  }
  if (const std::size_t dot = layerName.find_last_of('.'); dot != std::string::npos) {
    layerName = layerName.substr(0, dot);
  }

  LineReader lines(body);
  std::string line;
  while (lines.Next(line) && line.empty()) {
  }
  const char separator = DetectSeparator(line);
  std::vector<std::string> names = HeaderNames(line, separator);
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
  outcome.notes.push_back(NoCrsNote("CSV holds no CRS", to, *context.profile));

  // The columns written: each name once, in the order of the input, the coordinates renamed
  // where the kind of form changes; a later column of an earlier one's name writes into it.
  const bool rename = RenamesColumns(from, to);
  const int coordinateColumn[3] = {columns.x, columns.y, columns.z};
  // The coordinate columns renamed: apart from every other column, which keeps its own.
  std::array<std::string, 3> targetNames;
  if (rename) {
    const std::array<const char*, 3> wanted = ColumnNames(to);
    std::vector<std::string> others;
    for (std::size_t k = 0; k < names.size(); ++k) {
      if (std::find(std::begin(coordinateColumn), std::end(coordinateColumn),
                    static_cast<int>(k)) == std::end(coordinateColumn)) {
        others.push_back(names[k]);
      }
    }
    for (std::size_t c = 0; c < 3; ++c) {
      if (coordinateColumn[c] >= 0) targetNames[c] = wanted[c];
    }
    targetNames = DistinctColumnNames(targetNames, others);
    for (std::size_t c = 0; c < 3; ++c) {
      if (coordinateColumn[c] >= 0 && targetNames[c] != wanted[c]) {
        outcome.notes.push_back(RenamedColumnNote(layerName, wanted[c], targetNames[c], true));
      }
    }
  }
  std::vector<std::string> outputNames;
  std::vector<std::size_t> outputOf(names.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    std::string name = names[k];
    for (int c = 0; c < 3; ++c) {
      if (rename && coordinateColumn[c] == static_cast<int>(k)) name = targetNames[c];
    }
    // A column of the name of an earlier one is written beside it under a name of its own.
    if (const std::string distinct = DistinctColumnNames({name, "", ""}, outputNames)[0];
        distinct != name) {
      outcome.notes.push_back(RenamedColumnNote(layerName, name, distinct, false));
      name = distinct;
    }
    outputOf[k] = outputNames.size();
    outputNames.push_back(name);
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
  std::uint64_t fid = 0;
  auto where = [&](const Row& row) {
    return FeaturePlace(request.input, layerName, static_cast<std::int64_t>(row.fid), row.line);
  };

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
      for (std::size_t k = 0; k < names.size() && k < row.fields.size(); ++k) {
        if (!IsValidUtf8(row.fields[k])) return where(row) + NotUtf8Cell(names[k]);
      }
      double v[3] = {0, 0, 0};
      for (int k = 0; k < 3; ++k) {
        const int column = coordinateColumn[k];
        if (column < 0) continue;
        const std::size_t at = static_cast<std::size_t>(column);
        const std::string_view cell = at < row.fields.size() ? row.fields[at] : std::string_view();
        const std::string error =
            ReadCoordinateCell(cell, names[at], decimalCommas, writeCommas, v[k]);
        if (!error.empty()) return where(row) + error;
      }
      AppendTablePoint(from, v, chunk.a, chunk.b, chunk.c);
    }
    return std::nullopt;
  };

  // As the GDAL path goes: a chunk is converted while the next is read, then checked, then
  // written; the next chunk's decimal commas count for this one's numbers.
  GuardedCells guarded;  // formulas, written as text
  FarPoints far;         // points far outside Greece
  Chunk current, next;
  if (std::optional<std::string> error = read(current)) {
    return Stopped(outcome, DatasetStatus::kError, *error);
  }
  DatasetProgress progress;
  while (!current.rows.empty()) {
    const std::size_t n = current.rows.size();
    std::vector<double> outA(n), outB(n), outC(n);
    std::vector<PointStatus> status(n);
    // All seventeen digits are written: the plain routines' bits, the same in every build
    // (core/math_functions.h).
    ConvertBatch(conversion, current.a, current.b, current.c, outA, outB, outC, status);
    const std::optional<std::string> readError = read(next);
    for (std::size_t i = 0; i < n; ++i) {
      if (status[i] == PointStatus::kDone) continue;
      const Stop stop =
          PointStop(status[i],
                    where(current.rows[i]) + VertexPosition(from, current.a[i], current.b[i]),
                    from, current.a[i], current.b[i], *context.profile);
      return Stopped(outcome, stop.status, stop.message);
    }
    far.Note(context, from, to, current.a, current.b, current.c, outA, outB, status,
             [&](std::size_t i) { return where(current.rows[i]); });
    outcome.pointsConverted += n;
    if (readError) return Stopped(outcome, DatasetStatus::kError, *readError);

    for (std::size_t i = 0; i < n; ++i) {
      std::vector<std::string> cells(outputNames.size());
      const Row& row = current.rows[i];
      for (std::size_t k = 0; k < names.size() && k < row.fields.size(); ++k) {
        cells[outputOf[k]] = row.fields[k];
      }
      const std::array<double, 3> values = TablePointColumns(to, outA[i], outB[i], outC[i]);
      for (int k = 0; k < 3; ++k) {
        if (coordinateColumn[k] < 0) continue;
        cells[outputOf[static_cast<std::size_t>(coordinateColumn[k])]] =
            FormatCell(values[static_cast<std::size_t>(k)], writeCommas);
      }
      for (std::size_t k = 0; k < cells.size(); ++k) {
        if (k > 0) written += out.separator;
        AppendCell(written, guarded.Guard(cells[k], [&] {
          return where(row) + ", column " + Quote(outputNames[k]) + ": \"" +
                 DisplayText(cells[k]) + "\"";
        }));
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
  if (const std::string note = guarded.Note(); !note.empty()) outcome.notes.push_back(note);
  if (const std::string note = far.Text(outcome.pointsConverted); !note.empty()) {
    outcome.notes.push_back(note);
  }

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
