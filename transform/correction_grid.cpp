#include "transform/correction_grid.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <system_error>
#include <thread>

#include "core/decimal_text.h"

namespace vortan {
namespace {

// Walks the fields of a grid file: separated by commas, blanks, tabs or line breaks. The file
// streams through a small buffer (a field is kept whole across a refill), so that loading a
// grid touches little more memory than the grid itself.
class FieldScanner {
 public:
  explicit FieldScanner(std::istream& in) : in_(in), buffer_(kPiece) {}

  // The next field, or an empty view at the end of the file (or at a read error: failed()).
  std::string_view Next() {
    for (;;) {
      if (pos_ == end_ && !Refill(pos_)) return {};
      const char ch = buffer_[pos_];
      if (ch == '\n') {
        ++line_;
      } else if (ch == '\r') {
        // A CR LF counts once, at its LF; the LF may still be in the file.
        if (pos_ + 1 == end_) Refill(pos_);
        if (pos_ + 1 >= end_ || buffer_[pos_ + 1] != '\n') ++line_;
      } else if (ch != ' ' && ch != '\t' && ch != ',') {
        break;
      }
      ++pos_;
    }
    std::size_t start = pos_;
    for (;;) {
      if (pos_ == end_) {
        const std::size_t kept = pos_ - start;
        if (!Refill(start)) break;
        start = 0;
        pos_ = kept;
      }
      const char ch = buffer_[pos_];
      if (ch == ' ' || ch == '\t' || ch == ',' || ch == '\n' || ch == '\r') break;
      ++pos_;
    }
    return std::string_view(buffer_.data() + start, pos_ - start);
  }

  int line() const { return line_; }
  bool failed() const { return in_.bad(); }

 private:
  static constexpr std::size_t kPiece = 1 << 16;

  // Keeps buffer_[keep, end_) at the front (a field read so far, or the CR whose LF is looked
  // for) and reads the next piece behind it; false when nothing more could be read.
  bool Refill(std::size_t keep) {
    if (in_.bad() || in_.eof()) return false;
    const std::size_t kept = end_ - keep;
    std::memmove(buffer_.data(), buffer_.data() + keep, kept);
    pos_ -= keep;
    end_ = kept;
    if (buffer_.size() - end_ < kPiece) buffer_.resize(buffer_.size() + kPiece);  // a long field
    in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
    const std::size_t got = static_cast<std::size_t>(in_.gcount());
    end_ += got;
    return got > 0;
  }

  std::istream& in_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  int line_ = 1;
};

// A plain decimal number: optional sign, digits with at most one ".", optional exponent; no
// inf, nan or hexadecimal, and within the range of a double.
bool ParseGridNumber(std::string_view field, double& value) {
  if (ReadPlainDecimalFast(field, value)) return true;
  if (!IsPlainDecimal(field)) return false;
  value = ReadDecimal(field);
  return std::isfinite(value);
}

// Opens a grid file for reading; its size where it can be told, else 0.
bool OpenGridFile(const std::string& path, std::ifstream& in, std::size_t& size,
                  std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = path + ": is a folder, not a grid file. Choose the grid file itself.";
    return false;
  }
  in.open(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be opened (missing or unreadable). Put the grid file there or "
                   "choose another.";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff end = in.tellg();
  in.clear();
  in.seekg(0, std::ios::beg);
  in.clear();
  size = end > 0 ? static_cast<std::size_t>(end) : 0;
  return true;
}

}  // namespace

std::optional<CorrectionGrid> ReadCorrectionGrid(const std::string& path, std::string& error) {
  std::ifstream in;
  std::size_t fileSize = 0;
  if (!OpenGridFile(path, in, fileSize, error)) return std::nullopt;
  FieldScanner scanner(in);
  auto readError = [&] {
    error = path + ": read error.";
    return std::nullopt;
  };
  static constexpr const char* kHeaderNames[] = {"row count", "column count", "step",
                                                 "southern Northing", "western Easting"};
  double header[5];
  for (int f = 0; f < 5; ++f) {
    const std::string_view field = scanner.Next();
    if (field.empty()) {
      if (scanner.failed()) return readError();
      error = path + ", line " + std::to_string(scanner.line()) + ": the file ends before the " +
              kHeaderNames[f] + " of the header.";
      return std::nullopt;
    }
    if (!ParseGridNumber(field, header[f])) {
      if (scanner.failed()) return readError();
      error = path + ", line " + std::to_string(scanner.line()) + ", header field " +
              kHeaderNames[f] + ": \"" + std::string(field.substr(0, 40)) +
              "\" is not a number.";
      return std::nullopt;
    }
  }
  CorrectionGrid grid;
  for (int f = 0; f < 2; ++f) {
    if (header[f] < 1 || header[f] > kMaxGridCount || header[f] != std::floor(header[f])) {
      error = path + ", header: the " + kHeaderNames[f] + " " + FormatGridField(header[f]) +
              " is not a whole number from 1 to " + std::to_string(kMaxGridCount) +
              ". This is not a correction grid file.";
      return std::nullopt;
    }
  }
  if (!(header[2] > 0)) {
    error = path + ", header: the step " + FormatGridField(header[2]) +
            " is not positive. This is not a correction grid file.";
    return std::nullopt;
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
    if (field.empty()) {
      if (scanner.failed()) return readError();
      error = path + ", line " + std::to_string(scanner.line()) + ": the file ends after " +
              std::to_string(k) + " of the " + std::to_string(total) +
              " correction values that its header announces.";
      return std::nullopt;
    }
    if (!ParseGridNumber(field, value)) {
      if (scanner.failed()) return readError();
      error = path + ", line " + std::to_string(scanner.line()) + ", value " +
              std::to_string(k + 1) + ": \"" + std::string(field.substr(0, 40)) +
              "\" is not a number.";
      return std::nullopt;
    }
    if (std::fabs(value) > FLT_MAX) {
      error = path + ", line " + std::to_string(scanner.line()) + ", value " +
              std::to_string(k + 1) + ": \"" + std::string(field.substr(0, 40)) +
              "\" is too large for a correction in centimetres.";
      return std::nullopt;
    }
    grid.values.push_back(static_cast<float>(value));
  }
  if (scanner.failed()) return readError();
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
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 10);
  return std::string(buffer, result.ptr);
}

GridLoadResult LoadCorrectionGrids(const std::string& dnPath, const std::string& dePath) {
  GridLoadResult result;
  // Where there is more than one core, dE is read on a thread of its own while dN is read
  // here. The outcome is that of reading them one after the other: dN's error first.
  std::optional<CorrectionGrid> de;
  std::string deError;
  std::thread deReader;
  if (std::thread::hardware_concurrency() > 1) {
    try {
      deReader = std::thread([&] { de = ReadCorrectionGrid(dePath, deError); });
    } catch (const std::system_error&) {
      // No thread to be had: read dE afterwards.
    }
  }
  std::optional<CorrectionGrid> dn = ReadCorrectionGrid(dnPath, result.error);
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
    result.error = "The headers of " + dnPath + " and " + dePath +
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
  const double u = fromNorth / step;
  const double v = fromWest / step;
  // A cell needs rows i, i + 1 and columns j, j + 1 inside the grid.
  if (!(u >= 0 && u <= h.rowCount - 1 && v >= 0 && v <= h.columnCount - 1)) return std::nullopt;
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
