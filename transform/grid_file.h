// The correction grid files and the limits a grid is held to: reading a file (five header
// fields, then the values, southern row first), the checks of what a grid may hold, and the
// messages that name the file, the line and the value at fault. The same checks hold a pair of
// grids given from memory (CheckGridPair).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transform/correction_grid.h"

namespace vortan {

inline constexpr const char* kDnGridFileName = "dN_2km_V1-0.grd";
inline constexpr const char* kDeGridFileName = "dE_2km_V1-0.grd";

// The grid files that no output of a job may be: those named (read, or that a run across the
// datum would read) and the default files in the current folder, whatever the region and
// wherever the grids in use came from. Every front end's jobs are held to it.
std::vector<std::string> GridFilesNeverOutput(std::vector<std::string> named);

// What a grid may hold. A real 2 km grid of Greece has a few hundred rows and columns, a step
// of 2000 m, corners within a few thousand kilometres of the origin of TM07, and corrections of
// a few tens of centimetres; anything far beyond is no correction grid (a file with decimal
// commas, another kind of file) and is refused, naming the value.
inline constexpr int kMaxGridCount = 20000;
inline constexpr double kMinGridStep = 1;                // metres
inline constexpr double kMaxGridStep = 100000;           // metres
inline constexpr double kMaxGridCoordinate = 10000000;   // metres, south-west corner
inline constexpr double kMaxCorrectionCm = 1000;         // 10 m

// What is wrong with a grid, in English and in Greek; each names the file or the grid.
struct GridError {
  std::string english, greek;
};

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

// Loads the dN and dE grid files. Both must read completely, carry the same header and hold
// different corrections (a dE file that is a copy of the dN file is refused); otherwise nothing is loaded and error says which file and why. With threads > 1 the two
// files are read at the same time, on this thread and one more; the outcome is the same.
GridLoadResult LoadCorrectionGrids(const std::string& dnPath, const std::string& dePath,
                                   int threads = 1);

// What is wrong with a pair of grids held in memory (restored from a copy, not read from a
// file), by the checks a grid file passes as it is read: the row and column counts, the step,
// the south-west corner, a finite correction within kMaxCorrectionCm at every node and none
// that looks like a no-data value (-999, -9999, ...), one header for both, and two grids that
// are not one copied (the same values at every node, unless all are zero). The messages are those of a file, with "the dN grid" and "the dE grid" for
// the file names, and a value counted in the order of a grid file (southern row first).
// Nothing when the grids may be used.
std::optional<GridError> CheckGridPair(const GridPair& grids);

// A header value as the error messages show it.
std::string FormatGridField(double value);

}  // namespace vortan
