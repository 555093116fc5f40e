// The 2 km correction grids dE, dN (centimetres) on a square mesh in TM07 coordinates: the
// grid file format, loading, the extent test and the bilinear interpolation.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vortan {

struct GridHeader {
  int rowCount = 0;     // rows along Northing
  int columnCount = 0;  // columns along Easting
  double step = 0;      // metres
  double nSouth = 0;    // TM07 Northing of the southern row, false northing included
  double eWest = 0;     // TM07 Easting of the western column
  double nNorth() const { return nSouth + (rowCount - 1) * step; }
  double eEast() const { return eWest + (columnCount - 1) * step; }
  bool operator==(const GridHeader&) const = default;
};

struct CorrectionGrid {
  GridHeader header;
  // value(i, j) at values[(i - 1) * columnCount + (j - 1)]: row i counted from the north,
  // column j from the west.
  std::vector<float> values;
  float Value(int i, int j) const {
    return values[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(header.columnCount) +
                  static_cast<std::size_t>(j - 1)];
  }
};

// Both grids of a region; they share one header.
struct GridPair {
  CorrectionGrid dN;
  CorrectionGrid dE;
};

inline constexpr const char* kDnGridFileName = "dN_2km_V1-0.grd";
inline constexpr const char* kDeGridFileName = "dE_2km_V1-0.grd";

// What a grid file may hold. A real 2 km grid of Greece has a few hundred rows and columns, a
// step of 2000 m, corners within a few thousand kilometres of the origin of TM07, and
// corrections of a few tens of centimetres; anything far beyond is no correction grid (a file
// with decimal commas, another kind of file) and is refused at load, naming the value.
inline constexpr int kMaxGridCount = 20000;
inline constexpr double kMinGridStep = 1;                // metres
inline constexpr double kMaxGridStep = 100000;           // metres
inline constexpr double kMaxGridCoordinate = 10000000;   // metres, south-west corner
inline constexpr double kMaxCorrectionCm = 1000;         // 10 m

struct GridLoadResult {
  std::optional<GridPair> grids;  // set when both files loaded
  std::string error;              // what is wrong, naming the file and the position
  std::string errorGreek;         // the same in Greek
};

// Reads one grid file: five header fields, then rowCount * columnCount values, southern row
// first, each row from west to east; fields separated by commas, blanks or line breaks.
// On failure returns nothing and sets error.
// errorGreek, where given, receives the error in Greek.
std::optional<CorrectionGrid> ReadCorrectionGrid(const std::string& path, std::string& error,
                                                 std::string* errorGreek = nullptr);

// Reads one grid from the bytes of a grid file held in memory, as ReadCorrectionGrid reads the
// file; name stands for the file in the messages.
std::optional<CorrectionGrid> ReadCorrectionGridBytes(std::string_view bytes,
                                                      const std::string& name, std::string& error,
                                                      std::string* errorGreek = nullptr);

// Loads the dN and dE grids from the bytes of their files, as LoadCorrectionGrids loads the
// files; the names stand for them in the messages.
GridLoadResult LoadCorrectionGridBytes(std::string_view dn, const std::string& dnName,
                                       std::string_view de, const std::string& deName);

// Loads the dN and dE grid files. Both must read completely and carry the same header;
// otherwise nothing is loaded and error says which file and why.
GridLoadResult LoadCorrectionGrids(const std::string& dnPath, const std::string& dePath);

// The extent a program accepts, in TM07 Northing without the false northing and Easting.
struct GridBounds {
  double nMin, nMax, eMin, eMax;
};
inline constexpr GridBounds kSinglePointBounds{3846000, 4659000, 42000, 883000};
inline constexpr GridBounds kDataFileBounds{3846000, 4655000, 42000, 881000};

// Inside when nMin <= N - falseNorthing <= nMax and eMin <= E <= eMax, bounds inclusive; E, N
// are TM07 coordinates as TmForward gives them.
bool InsideGridBounds(const GridBounds& bounds, double easting, double northing,
                      double falseNorthing);

struct Correction {
  float dN;  // centimetres
  float dE;  // centimetres
};

// A header value as the error messages show it.
std::string FormatGridField(double value);

// Bilinear interpolation of both grids at TM07 N, E. Nothing when the point lies outside the
// grid that was read (a point on the southern row or the eastern column uses the last cell).
std::optional<Correction> InterpolateCorrection(const GridPair& grids, double northing,
                                                double easting);

// InterpolateCorrection in two steps, so that the grid values can be fetched into the cache
// while other work of the point goes on: the cell that holds TM07 N, E with the weights in it
// (nothing outside the grid), then the interpolation in that cell.
struct GridCell {
  int i, j;  // rows i, i + 1 (from the north) and columns j, j + 1 (from the west)
  double t;  // weight of row i (0 at row i + 1)
  double s;  // weight of column j + 1 (0 at column j)
};
std::optional<GridCell> LocateCorrection(const GridHeader& header, double northing,
                                         double easting);
// Asks the processor to bring the corners of the cell in both grids into its cache.
void PrefetchCorrection(const GridPair& grids, const GridCell& cell);
Correction CorrectionInCell(const GridPair& grids, const GridCell& cell);

}  // namespace vortan
