// A synthetic pair of correction grids, dN_2km_V1-0.grd and dE_2km_V1-0.grd.
//
// THESE GRIDS ARE SYNTHETIC TEST DATA, NOT THE OFFICIAL CORRECTIONS. For real work the user
// supplies the official grid files.
//
// They cover the extent of the single-point program's bounds (408 rows, 422 columns, step
// 2000 m, south-west node at TM07 N 1846000, E 42000) with an affine field of a few tens of
// centimetres. Bilinear interpolation reproduces an affine field exactly, and the field is
// chosen so that the single-point window's default HTRS07 point X, Y, Z transforms into its
// default TM87 point E 566296.541, N 4529332.314.
#pragma once

#include <string>

namespace vortan {

// Writes both grids into the folder; false when one cannot be written.
bool WriteSyntheticGrids(const std::string& folder);

}  // namespace vortan
