// Where the mainland single-point program looks for its two correction grid files: the current
// folder first, then the program's own folder, then the folder in which an installation keeps
// the grids. A program started from the desktop menu runs in the home folder, so the first
// place alone is not enough.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "transform/correction_grid.h"

namespace vortan {

// The control of both windows that marks, in red beside the grid header, that the grids in
// force are the synthetic test grids (AreSyntheticGrids).
inline constexpr std::string_view kTestDataLabel = "TestData";

struct GridPlace {
  std::string folder;
  std::string_view greek;    // what the folder is, for the messages: "τρέχων φάκελος"
  std::string_view english;  // "current folder"
  bool dn = false;           // the dN file is there, a readable regular file
  bool de = false;           // likewise the dE file
  bool HoldsBoth() const { return dn && de; }
};

// The installed grid folder of a program in PREFIX/lib/vortan-transform:
// PREFIX/share/vortan-transform/example-grids. "" for a program folder elsewhere (a build).
std::string InstalledGridFolder(const std::string& programFolder);

// The places in the order they are searched, each with what it holds of the two files. A
// folder that is reached twice (a program started in its own folder) is listed once.
std::vector<GridPlace> LookForGrids(const std::string& currentFolder,
                                    const std::string& programFolder, std::string_view dnName,
                                    std::string_view deName);

// The first place that holds both files, or null.
const GridPlace* FirstWithBoth(const std::vector<GridPlace>& places);

// The header of the synthetic grids that the build writes (tools/synthetic_grids.cpp) and an
// installation keeps as example-grids: test data, not the official corrections.
inline constexpr GridHeader kSyntheticGridHeader{408, 422, 2000, 1846000, 42000};

// Whether grids are those synthetic ones, wherever they were found: both have their header,
// and each is one plane, every node within a hundredth of a millimetre of the plane through
// three corners. The synthetic field is a plane; no measured correction field is.
bool AreSyntheticGrids(const GridPair& grids);

}  // namespace vortan
