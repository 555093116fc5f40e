// The 2 km correction grids dE, dN (centimetres) on a square mesh in TM07 coordinates, as they
// are held in memory: the extent test, the cell that holds a point, and the bilinear
// interpolation. Reading and checking grid files: transform/grid_file.h.
#pragma once

#include <cstddef>
#include <optional>
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

// Bilinear interpolation of both grids at TM07 N, E. Nothing when the point lies outside the
// grid that was read (a point on the southern row or the eastern column uses the last cell).
std::optional<Correction> InterpolateCorrection(const GridPair& grids, double northing,
                                                double easting);

// InterpolateCorrection in two steps, so that the grid values are read only where the
// correction is applied, after other work of the point that does not depend on them: the cell
// that holds TM07 N, E with the weights in it (nothing outside the grid), then the
// interpolation in that cell.
struct GridCell {
  int i, j;  // rows i, i + 1 (from the north) and columns j, j + 1 (from the west)
  double t;  // weight of row i (0 at row i + 1)
  double s;  // weight of column j + 1 (0 at column j)
};
// A position beyond the first or last row or column by no more than this fraction of a cell
// (rounding: 2 micrometres on a 2 km grid) uses the cell at the edge.
inline constexpr double kCellRounding = 1e-9;
std::optional<GridCell> LocateCorrection(const GridHeader& header, double northing,
                                         double easting);
Correction CorrectionInCell(const GridPair& grids, const GridCell& cell);

// Both grids' values node by node, dN beside dE, as the chains read them: a cell's four corners
// of both grids lie on two rows of memory instead of four. The chains interpolate at points
// anywhere on the grid, and in a back chain over points in no order those reads were a tenth
// of the time (docs/performance.md, "The back chain at 1.5 ×").
struct NodeCorrections {
  explicit NodeCorrections(const GridPair& grids);
  int columnCount = 0;
  std::vector<Correction> values;  // node (i, j) at (i - 1) * columnCount + (j - 1)
  const Correction& At(int i, int j) const {
    return values[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(columnCount) +
                  static_cast<std::size_t>(j - 1)];
  }
};
// The same value as CorrectionInCell of the grids the nodes were made of, to the bit.
Correction CorrectionInCell(const NodeCorrections& nodes, const GridCell& cell);

}  // namespace vortan
