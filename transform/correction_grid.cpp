#include "transform/correction_grid.h"


namespace vortan {

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
  const double lastRow = h.rowCount - 1, lastColumn = h.columnCount - 1;
  if (u < 0 && u > -kCellRounding) u = 0;
  if (v < 0 && v > -kCellRounding) v = 0;
  if (u > lastRow && u < lastRow + kCellRounding) u = lastRow;
  if (v > lastColumn && v < lastColumn + kCellRounding) v = lastColumn;
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

namespace {

// The bilinear interpolation in a cell of the values at its corners (rows i, i + 1, columns
// j, j + 1), weights t of row i and s of column j + 1; the differences of the corners as the
// grid holds them, in single precision.
float Bilinear(float ij, float i1j, float ij1, float i1j1, double t, double s) {
  const double a = i1j + (ij - i1j) * t;
  const double b = i1j1 + (ij1 - i1j1) * t;
  return static_cast<float>(a + (b - a) * s);
}

}  // namespace

Correction CorrectionInCell(const GridPair& grids, const GridCell& cell) {
  const int i = cell.i, j = cell.j;
  auto bilinear = [&](const CorrectionGrid& g) {
    return Bilinear(g.Value(i, j), g.Value(i + 1, j), g.Value(i, j + 1), g.Value(i + 1, j + 1),
                    cell.t, cell.s);
  };
  return Correction{bilinear(grids.dN), bilinear(grids.dE)};
}

NodeCorrections::NodeCorrections(const GridPair& grids)
    : columnCount(grids.dN.header.columnCount), values(grids.dN.values.size()) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    values[k] = Correction{grids.dN.values[k], grids.dE.values[k]};
  }
}

Correction CorrectionInCell(const NodeCorrections& nodes, const GridCell& cell) {
  const int i = cell.i, j = cell.j;
  const Correction ij = nodes.At(i, j), i1j = nodes.At(i + 1, j), ij1 = nodes.At(i, j + 1),
                   i1j1 = nodes.At(i + 1, j + 1);
  return Correction{Bilinear(ij.dN, i1j.dN, ij1.dN, i1j1.dN, cell.t, cell.s),
                    Bilinear(ij.dE, i1j.dE, ij1.dE, i1j1.dE, cell.t, cell.s)};
}

std::optional<Correction> InterpolateCorrection(const GridPair& grids, double northing,
                                                double easting) {
  const std::optional<GridCell> cell = LocateCorrection(grids.dE.header, northing, easting);
  if (!cell) return std::nullopt;
  return CorrectionInCell(grids, *cell);
}

}  // namespace vortan
