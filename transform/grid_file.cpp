#include "transform/grid_file.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

#include "core/decimal_text.h"
#include "core/float_chars.h"
#include "io/display_text.h"
#include "io/file_identity.h"
#include "io/files.h"
#include "io/text_source.h"
#include "transform/grid_messages.h"

namespace vortan {
namespace {

using namespace grid_messages;

// Walks the fields of a grid file: separated by commas, blanks, tabs or line breaks. The file
// streams through a small buffer (a field is kept whole across a refill), so that loading a
// grid touches little more memory than the grid itself.
class FieldScanner {
 public:
  explicit FieldScanner(int fd) : source_(fd, kPiece, kPiece) {}
  // The fields of a grid file's bytes held in memory.
  explicit FieldScanner(std::string_view bytes) : source_(bytes.data(), bytes.size()) {}

  // The next field, or an empty view at the end of the file (or at a read error: failed(), or
  // at a field longer than any number: tooLong(), or in a UTF-16 file: utf16()).
  std::string_view Next() {
    if (!started_) {
      started_ = true;
      switch (source_.ReadEncoding()) {
        case TextSource::Encoding::kText:
          break;
        case TextSource::Encoding::kBinary:
          tooLong_ = true;  // NUL bytes or a file of another kind: no text at all
          return std::string_view(source_.data() + source_.begin(),
                                  std::min<std::size_t>(source_.available(), 2));
        case TextSource::Encoding::kUtf16:
          utf16_ = true;
          return {};
        case TextSource::Encoding::kUtf32:
          utf16_ = utf32_ = true;
          return {};
      }
      pos_ = source_.begin();
    }
    for (;;) {
      if (pos_ == source_.end() && !Refill(pos_)) return {};
      const char ch = source_.data()[pos_];
      if (ch == '\n') {
        ++line_;
      } else if (ch == '\r') {
        // A CR LF counts once, at its LF; the LF may still be in the file.
        if (pos_ + 1 == source_.end()) Refill(pos_);
        if (pos_ + 1 >= source_.end() || source_.data()[pos_ + 1] != '\n') ++line_;
      } else if (ch != ' ' && ch != '\t' && ch != ',') {
        break;
      }
      ++pos_;
    }
    std::size_t start = pos_;
    for (;;) {
      if (pos_ == source_.end()) {
        // The field so far moves to the front of the buffer, whether or not more follows.
        const bool more = Refill(start);
        start = source_.begin();
        if (!more) break;
      }
      const char ch = source_.data()[pos_];
      if (ch == ' ' || ch == '\t' || ch == ',' || ch == '\n' || ch == '\r') break;
      ++pos_;
      if (pos_ - start > kMaxField) {
        // No number is this long: /dev/zero or a file of another kind.
        tooLong_ = true;
        break;
      }
    }
    return std::string_view(source_.data() + start, pos_ - start);
  }

  int line() const { return line_; }
  // The start of the buffer that holds the fields returned.
  const char* text() const { return source_.data(); }
  bool failed() const { return source_.failed(); }
  bool tooLong() const { return tooLong_; }
  bool utf16() const { return utf16_; }  // or UTF-32 (utf32())
  bool utf32() const { return utf32_; }
  const NonTextKind& kind() const { return source_.kind(); }

 private:
  static constexpr std::size_t kPiece = 1 << 16;
  static constexpr std::size_t kMaxField = 64;

  // Keeps the bytes from `keep` on (a field read so far, or the CR whose LF is looked for) and
  // reads the next piece behind them; false when nothing more could be read.
  bool Refill(std::size_t keep) {
    source_.Consume(keep);
    const std::size_t offset = pos_ - keep;
    const bool more = source_.Refill();
    pos_ = source_.begin() + offset;
    return more;
  }

  TextSource source_;
  std::size_t pos_ = 0;
  int line_ = 1;
  bool started_ = false;
  bool tooLong_ = false;
  bool utf16_ = false;
  bool utf32_ = false;
};

// A plain decimal number: optional sign, digits with at most one ".", optional exponent; no
// inf, nan or hexadecimal, and within the range of a double. The field lies in a text that
// begins at textStart.
bool ParseGridNumber(const char* textStart, std::string_view field, double& value) {
  if (ReadPlainDecimalInText(textStart, field, value)) return true;
  if (!IsPlainDecimal(field)) return false;
  value = ReadDecimal(field);
  return std::isfinite(value);
}

// How a message names a grid file.
std::string GridName(const std::string& path) { return DisplayFileName(path); }

// The limits a grid is held to, wherever it comes from: a file as it is read (the messages
// name the file, the line, and the field as written) or a pair of grids in memory
// (CheckGridPair). Each check is written once, here; its words are in grid_messages.cpp.

// What is wrong with the header fields (row count, column count, step, southern Northing,
// western Easting) of the grid `name`: a field that is no finite number, counts that are not
// whole numbers from 1 to kMaxGridCount, a step outside kMinGridStep to kMaxGridStep, a corner
// beyond kMaxGridCoordinate. A header far from any TM07 grid would make every point's
// interpolation overflow or lose all precision, a fault that would be blamed on the points.
std::optional<GridError> CheckHeader(const double (&header)[5], const std::string& name) {
  for (int f = 0; f < 5; ++f) {
    if (!std::isfinite(header[f])) {
      return NotANumber(HeaderFieldPlace(name, name, f), FormatGridField(header[f]));
    }
  }
  for (int f = 0; f < 2; ++f) {
    if (header[f] < 1 || header[f] > kMaxGridCount || header[f] != std::floor(header[f])) {
      return HeaderNotWhole(name, f, header);
    }
  }
  if (!(header[2] > 0)) return StepNotPositive(name, header);
  if (header[2] < kMinGridStep || header[2] > kMaxGridStep) return StepOutside(name, header);
  for (int f = 3; f < 5; ++f) {
    if (std::fabs(header[f]) > kMaxGridCoordinate) return CornerBeyond(name, f, header);
  }
  return std::nullopt;
}

// A correction value a grid may hold: a finite number of centimetres within kMaxCorrectionCm.
bool CorrectionFits(double value) {
  return std::isfinite(value) && std::fabs(value) <= kMaxCorrectionCm;
}

// A value that programs which make grids write where they have none (-999, -9999, ...; -32768
// of 16-bit integers; the largest float): no correction, though within the limits a few are.
bool LooksLikeNoData(double value) {
  const double magnitude = std::fabs(value);
  for (double nines = 999; nines <= 99999999; nines = nines * 10 + 9) {
    if (magnitude == nines) return true;
  }
  // The largest float as a text of eight digits reads back as a double a little off it.
  return value == -32768 || value == -32767 ||
         std::fabs(magnitude - static_cast<double>(FLT_MAX)) <= 1e-7 * FLT_MAX;
}

// The dN and dE grids hold different corrections: the same value at every node is one file
// copied under the other's name, which would apply the dN corrections as dE. Grids of zeros
// (no correction at all) are alike by right.
std::optional<GridError> CheckDifferentValues(const CorrectionGrid& dn, const CorrectionGrid& de,
                                              const std::string& dnName,
                                              const std::string& deName) {
  if (dn.values != de.values ||
      std::all_of(dn.values.begin(), dn.values.end(), [](float v) { return v == 0; })) {
    return std::nullopt;
  }
  return SameValues(dnName, deName);
}

// The dN and dE grids share one header: two that differ do not belong together.
std::optional<GridError> CheckSameHeaders(const CorrectionGrid& dn, const CorrectionGrid& de,
                                          const std::string& dnName, const std::string& deName) {
  if (dn.header == de.header) return std::nullopt;
  return HeadersDiffer(dnName, deName);
}

// Opens a grid file for reading (the descriptor, or -1 and the message); its size where it can
// be told, else 0.
int OpenGridFile(const std::string& path, std::size_t& size, GridError& error) {
  const int fd = path.empty() ? -1 : OpenForReading(path);
  if (fd < 0) {
    error = CannotOpen(GridName(path));
    return -1;
  }
  if (IsFolder(fd)) {
    CloseFile(fd);
    error = IsFolder(GridName(path));
    return -1;
  }
  size = static_cast<std::size_t>(RegularFileSize(fd).value_or(0));
  return fd;
}

// The grid of a grid file's fields; name is the file as messages name it, fileSize its size
// where known (else 0).
std::optional<CorrectionGrid> ReadGridFields(FieldScanner& scanner, const std::string& name,
                                             std::size_t fileSize, GridError& error) {
  auto at = [&] { return name + ", line " + std::to_string(scanner.line()); };
  auto atGreek = [&] { return name + ", γραμμή " + std::to_string(scanner.line()); };
  const GridError readError = ReadError(name);
  // A field that is no number: why, in the words of the message; where says where it stands.
  auto unreadable = [&](std::string_view field, const GridError& where) -> GridError {
    if (scanner.failed()) return readError;
    if (scanner.utf16()) {
      return UnicodeEncoding(name, scanner.utf32() ? "UTF-32" : "UTF-16");
    }
    if (scanner.kind().known()) return NotText(name, scanner.kind());
    if (field.find('\0') != std::string_view::npos) return NulBytes(where);
    if (scanner.tooLong()) return FieldTooLong(where);
    return NotANumber(where, field);
  };
  double header[5];
  for (int f = 0; f < 5; ++f) {
    const std::string_view field = scanner.Next();
    if (field.empty() && !scanner.utf16()) {
      if (scanner.failed()) return (error = readError, std::nullopt);
      error = EndsInHeader(at(), atGreek(), f);
      return std::nullopt;
    }
    if (scanner.utf16() || scanner.tooLong() ||
        !ParseGridNumber(scanner.text(), field, header[f])) {
      error = unreadable(field, HeaderFieldPlace(at(), atGreek(), f));
      return std::nullopt;
    }
  }
  if (std::optional<GridError> wrong = CheckHeader(header, name)) {
    error = std::move(*wrong);
    return std::nullopt;
  }
  CorrectionGrid grid;
  grid.header = {static_cast<int>(header[0]), static_cast<int>(header[1]), header[2], header[3],
                 header[4]};
  const int rows = grid.header.rowCount;
  const int columns = grid.header.columnCount;
  const std::size_t total = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  // The values grow as they are read, so that a short file with a large header does not make
  // the program claim the memory of the whole grid first. The file runs from the southern row
  // to the northern one; the rows are turned round once all are read.
  grid.values.reserve(std::min(total, fileSize / 2 + 1));  // a value and its separator
  // How many values each line of values holds: as many lines as the header's column count,
  // each (after the line where the header ends) of its row count, means rows and columns
  // swapped in the header.
  const int headerLine = scanner.line();
  int valueLine = 0, onLine = 0, perLine = -1, lines = 0;
  bool evenLines = true;
  for (std::size_t k = 0; k < total; ++k) {
    const std::string_view field = scanner.Next();
    if (scanner.line() != valueLine) {
      if (valueLine > headerLine) {
        if (perLine < 0) perLine = onLine;
        evenLines = evenLines && onLine == perLine;
      }
      valueLine = scanner.line();
      onLine = 0;
      ++lines;
    }
    ++onLine;
    double value = 0;
    const auto where = [&] { return ValuePlace(at(), atGreek(), k); };
    if (field.empty()) {
      if (scanner.failed()) return (error = readError, std::nullopt);
      error = EndsInValues(at(), atGreek(), k, total);
      return std::nullopt;
    }
    if (scanner.tooLong() || !ParseGridNumber(scanner.text(), field, value)) {
      error = unreadable(field, where());
      return std::nullopt;
    }
    if (LooksLikeNoData(value)) {
      error = NoDataValue(field, k, rows, columns, where());
      return std::nullopt;
    }
    if (!CorrectionFits(value)) {
      error = BadCorrection(value, field, where());
      return std::nullopt;
    }
    grid.values.push_back(static_cast<float>(value));
  }
  if (scanner.failed()) return (error = readError, std::nullopt);
  if (valueLine > headerLine && perLine >= 0) evenLines = evenLines && onLine <= perLine;
  if (evenLines && perLine > 1 && perLine == rows && rows != columns && lines == columns) {
    error = CountsSwapped(name, rows, columns);
    return std::nullopt;
  }
  // After the values: white space, a Ctrl+Z or NUL bytes (which copy /a and some editors add)
  // end the file. More values than the header announces are a file written with decimal
  // commas (each value read as two) or a header that does not belong to the values; other
  // text is named. Either would load wrong corrections.
  auto padding = [](std::string_view field) {
    return field.find_first_not_of(std::string_view("\x1A\0", 2)) == std::string_view::npos;
  };
  std::string_view after = scanner.Next();
  while (!after.empty() && padding(after)) after = scanner.Next();
  if (!after.empty()) {
    double ignored = 0;
    if (!ParseGridNumber(scanner.text(), after, ignored)) {
      const int line = scanner.line();
      std::string text(after);
      while (text.size() < 40) {
        const std::string_view more = scanner.Next();
        if (more.empty() || scanner.line() != line) break;
        text += " " + std::string(more);
      }
      error = TextAfterValues(name, line, total, text);
      return std::nullopt;
    }
    std::size_t extra = 1;
    while (extra <= total && !scanner.tooLong()) {
      const std::string_view more = scanner.Next();
      if (more.empty() || padding(more)) break;
      ++extra;
    }
    error = MoreValues(name, extra, total);
    return std::nullopt;
  }
  // value(i, j) of row i from the north: the k-th value read belongs to row rows - k / columns.
  for (int south = rows - 1, north = 0; north < south; --south, ++north) {
    std::swap_ranges(grid.values.begin() + static_cast<std::ptrdiff_t>(north) * columns,
                     grid.values.begin() + static_cast<std::ptrdiff_t>(north + 1) * columns,
                     grid.values.begin() + static_cast<std::ptrdiff_t>(south) * columns);
  }
  return grid;
}

std::optional<CorrectionGrid> ReadGridFile(const std::string& path, GridError& error) {
  std::size_t fileSize = 0;
  const int fd = OpenGridFile(path, fileSize, error);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { CloseFile(fd); }
  } closer{fd};
  FieldScanner scanner(fd);
  return ReadGridFields(scanner, GridName(path), fileSize, error);
}

std::optional<CorrectionGrid> ReadGridBytes(std::string_view bytes, const std::string& name,
                                            GridError& error) {
  FieldScanner scanner(bytes);
  return ReadGridFields(scanner, DisplayText(name), bytes.size(), error);
}

void Failed(GridLoadResult& result, GridError error) {
  result.error = std::move(error.english);
  result.errorGreek = std::move(error.greek);
}

}  // namespace

std::optional<CorrectionGrid> ReadCorrectionGrid(const std::string& path, std::string& error,
                                                 std::string* errorGreek) {
  GridError e;
  std::optional<CorrectionGrid> grid = ReadGridFile(path, e);
  error = std::move(e.english);
  if (errorGreek) *errorGreek = std::move(e.greek);
  return grid;
}

std::optional<CorrectionGrid> ReadCorrectionGridBytes(std::string_view bytes,
                                                      const std::string& name, std::string& error,
                                                      std::string* errorGreek) {
  GridError e;
  std::optional<CorrectionGrid> grid = ReadGridBytes(bytes, name, e);
  error = std::move(e.english);
  if (errorGreek) *errorGreek = std::move(e.greek);
  return grid;
}

GridLoadResult LoadCorrectionGridBytes(std::string_view dn, const std::string& dnName,
                                       std::string_view de, const std::string& deName) {
  GridLoadResult result;
  GridError error;
  std::optional<CorrectionGrid> dnGrid = ReadGridBytes(dn, dnName, error);
  if (!dnGrid) return (Failed(result, std::move(error)), result);
  std::optional<CorrectionGrid> deGrid = ReadGridBytes(de, deName, error);
  if (!deGrid) return (Failed(result, std::move(error)), result);
  if (std::optional<GridError> wrong =
          CheckSameHeaders(*dnGrid, *deGrid, DisplayText(dnName), DisplayText(deName))) {
    Failed(result, std::move(*wrong));
    return result;
  }
  if (std::optional<GridError> wrong =
          CheckDifferentValues(*dnGrid, *deGrid, DisplayText(dnName), DisplayText(deName))) {
    Failed(result, std::move(*wrong));
    return result;
  }
  result.grids = GridPair{std::move(*dnGrid), std::move(*deGrid)};
  return result;
}

std::vector<std::string> GridFilesNeverOutput(std::vector<std::string> named) {
  named.emplace_back(kDnGridFileName);
  named.emplace_back(kDeGridFileName);
  return named;
}

std::string FormatGridField(double value) {
  // to_chars, not printf: the windows run under the user's locale, whose decimal point may be
  // a comma.
  char buffer[64];
  const auto result = DoubleToChars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 10);
  return std::string(buffer, result.ptr);
}

namespace {

// What a grid file's name says it holds: 'N' for dN, 'E' for dE (the letters d and N or E as a
// word of the name: "dE_2km_V1-0.grd", "grid-de.grd"), 0 when it says neither or both.
char GridNameSays(const std::string& path) {
  std::string stem = std::filesystem::path(path).stem().string();
  for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool n = false, e = false;
  for (std::size_t i = 0; i + 1 < stem.size(); ++i) {
    const bool before = i == 0 || !std::isalnum(static_cast<unsigned char>(stem[i - 1]));
    const bool after = i + 2 == stem.size() || !std::isalpha(static_cast<unsigned char>(stem[i + 2]));
    if (stem[i] != 'd' || !before || !after) continue;
    n = n || stem[i + 1] == 'n';
    e = e || stem[i + 1] == 'e';
  }
  return n == e ? 0 : (n ? 'N' : 'E');
}

}  // namespace

GridLoadResult LoadCorrectionGrids(const std::string& dnPath, const std::string& dePath,
                                   int threads) {
  GridLoadResult result;
  // A dE file given as dN (or the reverse) would apply each correction to the other axis.
  const char dnSays = GridNameSays(dnPath), deSays = GridNameSays(dePath);
  if (dnSays == 'E' || deSays == 'N') {
    Failed(result, NamesSwapped(dnSays == 'E' ? GridName(dnPath) : "",
                                deSays == 'N' ? GridName(dePath) : ""));
    return result;
  }
  // One file for both corrections would apply the dN values as dE.
  if (SameFile(dnPath, dePath)) {
    const std::string as = dnPath == dePath ? "" : GridName(dePath);
    Failed(result, OneFileForBoth(GridName(dnPath), as));
    return result;
  }
  auto read = [](const std::string& path, GridError& error) -> std::optional<CorrectionGrid> {
    try {
      return ReadGridFile(path, error);
    } catch (const std::bad_alloc&) {
      error = NoMemory(GridName(path));
      return std::nullopt;
    }
  };
  // With a second thread allowed, dE is read on it while dN is read here: the load is the
  // longest part of a job's start, and the other processor would wait for it. The outcome is
  // that of reading them one after the other: dN's error first.
  GridError dnError, deError;
  std::optional<CorrectionGrid> de;
  std::exception_ptr deFailure;  // what reading dE threw on its thread
  std::thread deReader;
  struct Joiner {
    std::thread& thread;
    ~Joiner() {
      if (thread.joinable()) thread.join();
    }
  } joiner{deReader};
  if (threads > 1) {
    try {
      deReader = std::thread([&] {
        try {
          de = read(dePath, deError);
        } catch (...) {
          deFailure = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to be had: dE is read afterwards.
    }
  }
  std::optional<CorrectionGrid> dn = read(dnPath, dnError);
  if (deReader.joinable()) {
    deReader.join();
  } else if (dn) {
    de = read(dePath, deError);
  }
  if (!dn) return (Failed(result, std::move(dnError)), result);
  if (deFailure) std::rethrow_exception(deFailure);
  if (!de) return (Failed(result, std::move(deError)), result);
  if (std::optional<GridError> wrong =
          CheckSameHeaders(*dn, *de, GridName(dnPath), GridName(dePath))) {
    Failed(result, std::move(*wrong));
    return result;
  }
  if (std::optional<GridError> wrong =
          CheckDifferentValues(*dn, *de, GridName(dnPath), GridName(dePath))) {
    Failed(result, std::move(*wrong));
    return result;
  }
  result.grids = GridPair{std::move(*dn), std::move(*de)};
  return result;
}

namespace {

// What is wrong with one grid held in memory, named `name` in the messages as a file would be.
std::optional<GridError> CheckGrid(const CorrectionGrid& grid, const std::string& name) {
  const GridHeader& h = grid.header;
  const double header[5] = {static_cast<double>(h.rowCount), static_cast<double>(h.columnCount),
                            h.step, h.nSouth, h.eWest};
  if (std::optional<GridError> wrong = CheckHeader(header, name)) return wrong;
  const int rows = h.rowCount, columns = h.columnCount;
  const std::size_t total = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  if (grid.values.size() != total) {
    return ValueCount(name, grid.values.size(), total, rows, columns);
  }
  // The values in the order of a grid file, so that a message counts them as the file does:
  // the southern row (i = rows) first, each row from west to east.
  std::size_t k = 0;
  for (int i = rows; i >= 1; --i) {
    for (int j = 1; j <= columns; ++j, ++k) {
      const double value = grid.Value(i, j);
      if (CorrectionFits(value) && !LooksLikeNoData(value)) continue;
      const std::string number = std::to_string(k + 1);
      if (LooksLikeNoData(value)) {
        return NoDataValue(FormatGridField(value), k, rows, columns,
                           {name + ", value " + number, name + ", τιμή " + number});
      }
      return BadCorrection(value, FormatGridField(value),
                           {name + ", value " + number, name + ", τιμή " + number});
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<GridError> CheckGridPair(const GridPair& grids) {
  const std::string dn = "the dN grid", de = "the dE grid";
  if (std::optional<GridError> wrong = CheckGrid(grids.dN, dn)) return wrong;
  if (std::optional<GridError> wrong = CheckGrid(grids.dE, de)) return wrong;
  if (std::optional<GridError> wrong = CheckSameHeaders(grids.dN, grids.dE, dn, de)) return wrong;
  return CheckDifferentValues(grids.dN, grids.dE, dn, de);
}

}  // namespace vortan
