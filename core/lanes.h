// The core's routines over the lanes of the processor's widest vectors (Google Highway), for the
// chains' blocks: the same formulas, the same iterations under the same rules and tolerances, each
// lane a point. Arithmetic is IEEE lane by lane, as in the plain routines, except that the inverse
// projection divides once where its formulas divide several times by one quantity (the divider,
// shared by the lanes, is the slowest part of the chains), and that its two iterations start from
// series that put them at their limits at once (one pass each, where the plain routines take five
// or six and three or four); the sine, cosine, arc tangent, exponential and logarithm are kernels
// of their own within about one unit in the last place, of plain operations in a fixed order, so
// that every target (and the browser build's two lanes) gives the same bits for the same point,
// and a result may differ from the plain routine's in its last bits, and by what the plain
// footpoint iteration leaves of its tolerance (it stops within 1e-15 rad of its limit): by less
// than 2e-8 of a metre and 1e-14 of a radian over the chains. Where a printed digit could depend on those bits, the
// printing notes it and the point is computed again by the plain routines (core/math_functions.h):
// files come out the same either way.
//
// The target is chosen once, at run time, from what the processor has (AVX-512, AVX2, SSE4 on
// x86-64; WASM128, WebAssembly SIMD, in the browser build; other builds have none,
// core/CMakeLists.txt). Whether a computation runs on the lanes is the caller's choice
// (ChainOptions::lanes, the Routines of a conversion or a job), not a state of the process. For
// comparisons, the environment variable VORTAN_SIMD=off, read once at the start, keeps the plain
// routines in force everywhere; VORTAN_SIMD=AVX2 or SSE4 runs that narrower target where the
// processor has a wider one.
//
// The arrays hold n points (any n); inputs and outputs may not overlap.
#pragma once

#include <cstddef>
#include <vector>

#include "core/geodetic_params.h"

namespace vortan::lanes {

// The vector target that runs ("AVX3", "AVX2", "SSE4"), or "none" where the lanes are
// not built or the processor has none of them.
const char* Target();

// The targets of this build that the processor runs, widest first (empty: none).
std::vector<const char*> Targets();

// Makes the named target, one of Targets(), the one that runs; false, and nothing changed, for
// any other name. For comparisons and the tests: not while another thread converts.
bool SelectTarget(const char* name);

// Whether the lanes can run: a target runs and VORTAN_SIMD=off did not switch them off.
bool Active();

// CartesianToGeodetic of x, y, z: latitude, longitude (radians), height, and the tangent of the
// latitude as the iteration ends with it.
void CartesianToGeodetic(const GeodeticParams& params, std::size_t n, const double* x,
                         const double* y, const double* z, double* latitude, double* longitude,
                         double* height, double* tanLatitude);

// GeodeticToCartesian.
void GeodeticToCartesian(const GeodeticParams& params, std::size_t n, const double* latitude,
                         const double* longitude, const double* height, double* x, double* y,
                         double* z);

// TmForward at latitude phi and longitude difference dLambda; with tanPhi (not null) sin and
// cos of phi from its tangent, as TmForwardOfTan; with scale (not null) also the point scale
// factor, as TmForwardScale.
void TmForward(const GeodeticParams& params, std::size_t n, const double* phi,
               const double* tanPhi, const double* dLambda, double* easting, double* northing,
               double* scale);

// TmInverse: latitude, absolute longitude and both packed (packedLatitude and packedLongitude
// null: not wanted). A position outside the projection's
// domain raises the invalid-operation flag and gives NaN, as TmInverse does.
void TmInverse(const GeodeticParams& params, std::size_t n, const double* easting,
               const double* northing, double* latitude, double* longitude,
               double* packedLatitude, double* packedLongitude);

// RadiansToDms(radians).packed.
void PackedAngles(std::size_t n, const double* radians, double* packed);

// The mesh of a correction grid as its cells are located: rows and columns, the step (metres),
// the TM07 Northing of the northern row and Easting of the western column, and the fraction of
// a cell by which a position beyond an edge counts as on it.
struct Mesh {
  int rowCount, columnCount;
  double step, nNorth, eWest, rounding;
};

// The extent a program accepts, as InsideGridBounds tests it: the TM07 Northing less the false
// northing within nMin..nMax and the Easting within eMin..eMax, bounds inclusive.
struct Extent {
  double nMin, nMax, eMin, eMax, falseNorthing;
};

// The grid cells of n TM07 positions inside the extent, as LocateCorrection finds them: row i
// (from the north) and column j (from the west) of the cell's first corner, whole numbers, 0
// where the position lies outside the extent or the grid; t, the weight of row i, and s, that
// of column j + 1. Where printed numbers are checked, a position next to a bound of the extent
// is noted, as math::NoteComparison notes it.
void GridCells(const Mesh& mesh, const Extent& extent, std::size_t n, const double* northing,
               const double* easting, double* row, double* column, double* t, double* s);

}  // namespace vortan::lanes
