// The context of the chains across the datum (engine/chains.h), as the initial step fills it:
// the region, the seven parameters and the grids.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "transform/correction_grid.h"
#include "transform/grid_file.h"
#include "transform/helmert.h"
#include "transform/region_profile.h"

namespace vortan {

// X, Y, Z of a point, metres.
using Xyz = std::array<double, 3>;

struct TransformContext {
  const RegionProfile* profile = nullptr;
  GridBounds bounds = kDataFileBounds;       // the extent test of the program
  HelmertParams helmert;                     // zero until the initial step
  std::shared_ptr<const GridPair> grids;     // set by the initial step where the region has them
  std::shared_ptr<const NodeCorrections> nodes;  // their values side by side, set with them
  std::string dnPath, dePath;                // the grid files loaded (no output may be one)
  bool initialised = false;

  // Ready for the chains: parameters stored and, where the region has grids, grids loaded.
  bool Ready() const { return initialised && (!profile->hasGrids || grids != nullptr); }
  // The grids and the chains' table of their nodes, set and dropped together.
  void SetGrids(GridPair&& pair) {
    grids = std::make_shared<const GridPair>(std::move(pair));
    nodes = std::make_shared<const NodeCorrections>(*grids);
  }
  void DropGrids() {
    grids.reset();
    nodes.reset();
  }
};

// A context for the region with the bounds of the program; not yet initialised.
TransformContext MakeContext(const RegionProfile& profile, const GridBounds& bounds);

// The initial step: stores the region's seven parameters and, where the region has grids,
// loads them from the two paths. Returns "" or what went wrong (the grids are then unloaded).
// errorGreek, where given, receives what went wrong in Greek. threads: as many as the grids
// may be read on (LoadCorrectionGrids).
std::string InitialStep(TransformContext& context, const std::string& dnPath,
                        const std::string& dePath, std::string* errorGreek = nullptr,
                        int threads = 1);

// The initial step with grids already in memory (for example sent to another machine with the
// conversion): stores the region's seven parameters and, where the region has grids, takes
// these once they pass the checks of a grid file (CheckGridPair). Returns "" or what is wrong
// with them (the grids are then unloaded). No file is read, so dnPath and dePath stay empty.
std::string InitialStepWithGrids(TransformContext& context, GridPair grids);

}  // namespace vortan
