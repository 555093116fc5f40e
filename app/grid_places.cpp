#include "app/grid_places.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cmath>
#include <filesystem>

#include "app/utf8_path.h"

namespace vortan {
namespace {

namespace fs = std::filesystem;

bool Readable(const fs::path& path) {
  std::error_code ec;
#ifdef _WIN32
  constexpr int kRead = 4;
  return fs::is_regular_file(path, ec) && ::_waccess(path.c_str(), kRead) == 0;
#else
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
#endif
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return fs::absolute(a, ec).lexically_normal() == fs::absolute(b, ec).lexically_normal();
}

// A grid whose every node lies on the plane through its north-west, south-west and
// north-east nodes.
bool IsPlane(const CorrectionGrid& grid) {
  constexpr double kTolerance = 1e-3;  // centimetres
  const int rows = grid.header.rowCount, columns = grid.header.columnCount;
  if (rows < 2 || columns < 2 ||
      grid.values.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns)) {
    return false;
  }
  const double corner = grid.Value(1, 1);
  const double perRow = (grid.Value(rows, 1) - corner) / (rows - 1);
  const double perColumn = (grid.Value(1, columns) - corner) / (columns - 1);
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= columns; ++j) {
      const double plane = corner + perRow * (i - 1) + perColumn * (j - 1);
      if (!(std::fabs(grid.Value(i, j) - plane) <= kTolerance)) return false;
    }
  }
  return true;
}

}  // namespace

bool AreSyntheticGrids(const GridPair& grids) {
  return grids.dN.header == kSyntheticGridHeader && grids.dE.header == kSyntheticGridHeader &&
         IsPlane(grids.dN) && IsPlane(grids.dE);
}

std::string InstalledGridFolder(const std::string& programFolder) {
  if (programFolder.empty()) return "";
  const fs::path folder = PathOfUtf8(programFolder).lexically_normal();
  const fs::path program = folder.has_filename() ? folder : folder.parent_path();
  if (program.filename() != "vortan-transform" || program.parent_path().filename() != "lib") {
    return "";
  }
  return Utf8OfPath(program.parent_path().parent_path() / "share" / "vortan-transform" /
                    "example-grids");
}

std::vector<GridPlace> LookForGrids(const std::string& currentFolder,
                                    const std::string& programFolder, std::string_view dnName,
                                    std::string_view deName) {
  const GridPlace candidates[] = {
      {currentFolder, "τρέχων φάκελος", "current folder"},
      {programFolder, "φάκελος του προγράμματος", "the program's folder"},
      {InstalledGridFolder(programFolder), "φάκελος καννάβων της εγκατάστασης",
       "the installation's grid folder"},
  };
  std::vector<GridPlace> places;
  for (const GridPlace& candidate : candidates) {
    if (candidate.folder.empty()) continue;
    bool seen = false;
    for (const GridPlace& place : places) {
      seen = seen || SameFolder(PathOfUtf8(place.folder), PathOfUtf8(candidate.folder));
    }
    if (seen) continue;
    GridPlace place = candidate;
    place.dn = Readable(PathOfUtf8(place.folder) / std::string(dnName));
    place.de = Readable(PathOfUtf8(place.folder) / std::string(deName));
    places.push_back(place);
  }
  return places;
}

const GridPlace* FirstWithBoth(const std::vector<GridPlace>& places) {
  for (const GridPlace& place : places) {
    if (place.HoldsBoth()) return &place;
  }
  return nullptr;
}

}  // namespace vortan
