#include "transform/correction_grid.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/decimal_text.h"
#include "core/float_chars.h"
#include "io/display_text.h"
#include "io/file_identity.h"
#include "io/files.h"
#include "io/text_source.h"

namespace vortan {
namespace {

// Walks the fields of a grid file: separated by commas, blanks, tabs or line breaks. The file
// streams through a small buffer (a field is kept whole across a refill), so that loading a
// grid touches little more memory than the grid itself.
class FieldScanner {
 public:
  explicit FieldScanner(int fd) : source_(fd, kPiece, kPiece) {}

  // The next field, or an empty view at the end of the file (or at a read error: failed(), or
  // at a field longer than any number: tooLong(), or in a UTF-16 file: utf16()).
  std::string_view Next() {
    if (!started_) {
      started_ = true;
      switch (source_.ReadEncoding()) {
        case TextSource::Encoding::kText:
          break;
        case TextSource::Encoding::kBinary:
          tooLong_ = true;  // NUL bytes: no text at all
          return std::string_view(source_.data() + source_.begin(),
                                  std::min<std::size_t>(source_.available(), 2));
        case TextSource::Encoding::kUtf16:
          utf16_ = true;
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
#if defined(__SSE2__)
    // A field of fewer than sixteen bytes with sixteen in the buffer: its end is the first
    // separator among them, found by comparisons on all of them at once.
    if (pos_ + 16 <= source_.end()) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source_.data() + pos_));
      const auto is = [&v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
      const __m128i separator =
          _mm_or_si128(_mm_or_si128(_mm_or_si128(is(' '), is(',')), is('\t')),
                       _mm_or_si128(is('\n'), is('\r')));
      const unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(separator));
      if (ends != 0) {
        pos_ += static_cast<std::size_t>(__builtin_ctz(ends));
        return std::string_view(source_.data() + start, pos_ - start);
      }
    }
#endif
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
  bool utf16() const { return utf16_; }

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

// Opens a grid file for reading (the descriptor, or -1 and the message); its size where it can
// be told, else 0.
int OpenGridFile(const std::string& path, std::size_t& size, std::string& error) {
  const int fd = path.empty() ? -1 : OpenForReading(path);
  if (fd < 0) {
    error = GridName(path) + ": cannot be opened (missing or unreadable). Put the grid file "
                             "there or choose another.";
    return -1;
  }
  if (IsFolder(fd)) {
    CloseFile(fd);
    error = GridName(path) + ": is a folder, not a grid file. Choose the grid file itself.";
    return -1;
  }
  size = static_cast<std::size_t>(RegularFileSize(fd).value_or(0));
  return fd;
}

}  // namespace

std::optional<CorrectionGrid> ReadCorrectionGrid(const std::string& path, std::string& error) {
  std::size_t fileSize = 0;
  const int fd = OpenGridFile(path, fileSize, error);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { CloseFile(fd); }
  } closer{fd};
  FieldScanner scanner(fd);
  const std::string name = GridName(path);
  auto at = [&] { return name + ", line " + std::to_string(scanner.line()); };
  auto quoted = [](std::string_view field) {
    return "\"" + DisplayText(field.substr(0, 40)) + (field.size() > 40 ? "..." : "") + "\"";
  };
  // A field that is no number: why, in the words of the message.
  auto unreadable = [&](std::string_view field, const std::string& where) -> std::string {
    if (scanner.failed()) return name + ": read error.";
    if (scanner.utf16()) {
      return name + ": the file is in UTF-16 (Unicode) encoding; save it as plain text (UTF-8 or "
                    "ANSI).";
    }
    if (field.find('\0') != std::string_view::npos) {
      return where + ": the file holds NUL bytes; it is no text file and no correction grid "
                     "file.";
    }
    if (scanner.tooLong()) {
      return where + ": a field of more than 64 characters, which no number has. This is not a "
                     "correction grid file.";
    }
    return where + ": " + quoted(field) + " is not a number.";
  };
  static constexpr const char* kHeaderNames[] = {"row count", "column count", "step",
                                                 "southern Northing", "western Easting"};
  double header[5];
  for (int f = 0; f < 5; ++f) {
    const std::string_view field = scanner.Next();
    if (field.empty() && !scanner.utf16()) {
      if (scanner.failed()) return (error = name + ": read error.", std::nullopt);
      error = at() + ": the file ends before the " + kHeaderNames[f] + " of the header.";
      return std::nullopt;
    }
    if (scanner.utf16() || scanner.tooLong() ||
        !ParseGridNumber(scanner.text(), field, header[f])) {
      error = unreadable(field, at() + ", header field " + kHeaderNames[f]);
      return std::nullopt;
    }
  }
  CorrectionGrid grid;
  for (int f = 0; f < 2; ++f) {
    if (header[f] < 1 || header[f] > kMaxGridCount || header[f] != std::floor(header[f])) {
      error = name + ", header: the " + kHeaderNames[f] + " " + FormatGridField(header[f]) +
              " is not a whole number from 1 to " + std::to_string(kMaxGridCount) +
              ". This is not a correction grid file.";
      return std::nullopt;
    }
  }
  if (!(header[2] > 0)) {
    error = name + ", header: the step " + FormatGridField(header[2]) +
            " is not positive. This is not a correction grid file.";
    return std::nullopt;
  }
  // A header far from any TM07 grid would make every point's interpolation overflow or lose
  // all precision, a fault that would be blamed on the points: it is refused here.
  if (header[2] < kMinGridStep || header[2] > kMaxGridStep) {
    error = name + ", header: the step " + FormatGridField(header[2]) + " m is outside " +
            FormatGridField(kMinGridStep) + " to " + FormatGridField(kMaxGridStep) +
            " m. This is not a correction grid file.";
    return std::nullopt;
  }
  for (int f = 3; f < 5; ++f) {
    if (std::fabs(header[f]) > kMaxGridCoordinate) {
      error = name + ", header: the " + kHeaderNames[f] + " " + FormatGridField(header[f]) +
              " m lies beyond any TM07 coordinate (at most " +
              FormatGridField(kMaxGridCoordinate) + " m). This is not a correction grid file.";
      return std::nullopt;
    }
  }
  grid.header = {static_cast<int>(header[0]), static_cast<int>(header[1]), header[2], header[3],
                 header[4]};
  const int rows = grid.header.rowCount;
  const int columns = grid.header.columnCount;
  const std::size_t total = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  // The values grow as they are read, so that a short file with a large header does not make
  // the program claim the memory of the whole grid first. The file runs from the southern row
  // to the northern one; the rows are turned round once all are read.
  grid.values.reserve(std::min(total, fileSize / 2 + 1));  // a value and its separator
  for (std::size_t k = 0; k < total; ++k) {
    const std::string_view field = scanner.Next();
    double value = 0;
    const auto where = [k] { return ", value " + std::to_string(k + 1); };
    if (field.empty()) {
      if (scanner.failed()) return (error = name + ": read error.", std::nullopt);
      error = at() + ": the file ends after " + std::to_string(k) + " of the " +
              std::to_string(total) + " correction values that its header announces.";
      return std::nullopt;
    }
    if (scanner.tooLong() || !ParseGridNumber(scanner.text(), field, value)) {
      error = unreadable(field, at() + where());
      return std::nullopt;
    }
    if (std::fabs(value) > kMaxCorrectionCm) {
      error = at() + where() + ": " + quoted(field) +
              " is too large for a correction in centimetres: the corrections between the two "
              "systems are a few tens of centimetres, and this file allows at most " +
              FormatGridField(kMaxCorrectionCm) +
              " cm (10 m). Is the file written with decimal commas (-31,49559 read as two "
              "values)? Use the grid file as it was published.";
      return std::nullopt;
    }
    grid.values.push_back(static_cast<float>(value));
  }
  if (scanner.failed()) return (error = name + ": read error.", std::nullopt);
  // More values than the header announces: a file written with decimal commas (each value read
  // as two) or a header that does not belong to the values. Either would load wrong corrections.
  if (!scanner.Next().empty()) {
    std::size_t extra = 1;
    while (extra <= total && !scanner.tooLong() && !scanner.Next().empty()) ++extra;
    error = name + ": the file holds " +
            (extra <= total ? std::to_string(extra) : "more than " + std::to_string(total)) +
            " more values than the " + std::to_string(total) +
            " its header announces. Is it written with decimal commas (-11,75 read as two "
            "values)? Use the grid file as it was published.";
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

std::string FormatGridField(double value) {
  // to_chars, not printf: the windows run under the user's locale, whose decimal point may be
  // a comma.
  char buffer[64];
  const auto result = DoubleToChars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 10);
  return std::string(buffer, result.ptr);
}

GridLoadResult LoadCorrectionGrids(const std::string& dnPath, const std::string& dePath) {
  GridLoadResult result;
  // One file for both corrections would apply the dN values as dE.
  if (SameFile(dnPath, dePath)) {
    result.error = GridName(dnPath) + " is given for both the dN and the dE grid" +
                   (dnPath == dePath ? "" : " (as " + GridName(dePath) + ")") +
                   ": they are two files. Choose the dN file and the dE file.";
    return result;
  }
  // Where there is more than one core, dE is read on a thread of its own while dN is read
  // here. The outcome is that of reading them one after the other: dN's error first.
  std::optional<CorrectionGrid> de;
  std::string deError;
  std::thread deReader;
  if (std::thread::hardware_concurrency() > 1) {
    try {
      deReader = std::thread([&] {
        try {
          de = ReadCorrectionGrid(dePath, deError);
        } catch (const std::bad_alloc&) {
          deError = GridName(dePath) + ": not enough memory to load it.";
        }
      });
    } catch (const std::system_error&) {
      // No thread to be had: read dE afterwards.
    }
  }
  std::optional<CorrectionGrid> dn;
  try {
    dn = ReadCorrectionGrid(dnPath, result.error);
  } catch (const std::bad_alloc&) {
    result.error = GridName(dnPath) + ": not enough memory to load it.";
  }
  if (deReader.joinable()) {
    deReader.join();
  } else if (dn) {
    de = ReadCorrectionGrid(dePath, deError);
  }
  if (!dn) return result;
  if (!de) {
    result.error = deError;
    return result;
  }
  if (!(dn->header == de->header)) {
    result.error = "The headers of " + GridName(dnPath) + " and " + GridName(dePath) +
                   " differ (rows, columns, step or south-west corner): the two files do not "
                   "belong together. Choose the dN and dE files of one grid.";
    return result;
  }
  result.grids = GridPair{std::move(*dn), std::move(*de)};
  return result;
}

bool InsideGridBounds(const GridBounds& bounds, double easting, double northing,
                      double falseNorthing) {
  const double n = northing - falseNorthing;
  return bounds.nMin <= n && n <= bounds.nMax && bounds.eMin <= easting && easting <= bounds.eMax;
}

std::optional<GridCell> LocateCorrection(const GridHeader& h, double northing, double easting) {
  const double step = h.step;
  const double fromNorth = h.nNorth() - northing;
  const double fromWest = easting - h.eWest;
  double u = fromNorth / step;
  double v = fromWest / step;
  // A position beyond the first or last row or column by no more than rounding (the extent
  // test's N + 2000000 computed as 3846000 while N is the southern row less one unit of the
  // last place) uses the cell at the edge.
  constexpr double kRounding = 1e-9;  // of a cell: 2 micrometres on a 2 km grid
  const double lastRow = h.rowCount - 1, lastColumn = h.columnCount - 1;
  if (u < 0 && u > -kRounding) u = 0;
  if (v < 0 && v > -kRounding) v = 0;
  if (u > lastRow && u < lastRow + kRounding) u = lastRow;
  if (v > lastColumn && v < lastColumn + kRounding) v = lastColumn;
  // A cell needs rows i, i + 1 and columns j, j + 1 inside the grid.
  if (!(u >= 0 && u <= lastRow && v >= 0 && v <= lastColumn)) return std::nullopt;
  if (h.rowCount < 2 || h.columnCount < 2) return std::nullopt;
  // u and v are not negative here: the conversion to int is their floor.
  int i = static_cast<int>(u) + 1;
  int j = static_cast<int>(v) + 1;
  // On the southern row or the eastern column the last cell serves.
  if (i > h.rowCount - 1) i = h.rowCount - 1;
  if (j > h.columnCount - 1) j = h.columnCount - 1;
  const double t = (i * step - fromNorth) / step;  // 0 at row i + 1, 1 at row i
  const double s = (fromWest - (j - 1) * step) / step;  // 0 at column j, 1 at column j + 1
  return GridCell{i, j, t, s};
}

void PrefetchCorrection(const GridPair& grids, const GridCell& cell) {
  for (const CorrectionGrid* g : {&grids.dN, &grids.dE}) {
    const std::size_t columns = static_cast<std::size_t>(g->header.columnCount);
    // value(i, j) and value(i, j + 1), then the same of row i + 1.
    const float* corner = g->values.data() + static_cast<std::size_t>(cell.i - 1) * columns +
                          static_cast<std::size_t>(cell.j - 1);
    __builtin_prefetch(corner);
    __builtin_prefetch(corner + 1);
    __builtin_prefetch(corner + columns);
    __builtin_prefetch(corner + columns + 1);
  }
}

Correction CorrectionInCell(const GridPair& grids, const GridCell& cell) {
  const int i = cell.i, j = cell.j;
  const double t = cell.t, s = cell.s;
  auto bilinear = [&](const CorrectionGrid& g) {
    const double a = g.Value(i + 1, j) + (g.Value(i, j) - g.Value(i + 1, j)) * t;
    const double b = g.Value(i + 1, j + 1) + (g.Value(i, j + 1) - g.Value(i + 1, j + 1)) * t;
    return static_cast<float>(a + (b - a) * s);
  };
  return Correction{bilinear(grids.dN), bilinear(grids.dE)};
}

std::optional<Correction> InterpolateCorrection(const GridPair& grids, double northing,
                                                double easting) {
  const std::optional<GridCell> cell = LocateCorrection(grids.dE.header, northing, easting);
  if (!cell) return std::nullopt;
  return CorrectionInCell(grids, *cell);
}

}  // namespace vortan
