#include "transform/datum.h"

#include <cmath>


namespace vortan {

TransformContext MakeContext(const RegionProfile& profile, const GridBounds& bounds) {
  TransformContext context;
  context.profile = &profile;
  context.bounds = bounds;
  return context;
}

std::string InitialStep(TransformContext& context, const std::string& dnPath,
                        const std::string& dePath, std::string* errorGreek) {
  context.helmert = context.profile->helmert;
  context.initialised = true;
  if (!context.profile->hasGrids) return "";
  context.grids.reset();
  GridLoadResult loaded = LoadCorrectionGrids(dnPath, dePath);
  if (!loaded.grids) {
    if (errorGreek) *errorGreek = loaded.errorGreek;
    return loaded.error;
  }
  context.grids = std::make_shared<const GridPair>(std::move(*loaded.grids));
  context.dnPath = dnPath;
  context.dePath = dePath;
  return "";
}

std::string InitialStepWithGrids(TransformContext& context, GridPair grids) {
  context.helmert = context.profile->helmert;
  context.initialised = true;
  context.grids.reset();
  context.dnPath.clear();
  context.dePath.clear();
  if (!context.profile->hasGrids) return "";
  for (const CorrectionGrid* grid : {&grids.dN, &grids.dE}) {
    const GridHeader& h = grid->header;
    if (h.rowCount < 1 || h.columnCount < 1 || h.rowCount > kMaxGridCount ||
        h.columnCount > kMaxGridCount || !(h.step > 0) || !std::isfinite(h.nSouth) ||
        !std::isfinite(h.eWest)) {
      return "the grid header (" + std::to_string(h.rowCount) + " rows, " +
             std::to_string(h.columnCount) + " columns, step " + FormatGridField(h.step) +
             ") is not that of a correction grid";
    }
    if (grid->values.size() !=
        static_cast<std::size_t>(h.rowCount) * static_cast<std::size_t>(h.columnCount)) {
      return "the grid holds " + std::to_string(grid->values.size()) + " values, its header " +
             "asks for " + std::to_string(h.rowCount) + " x " + std::to_string(h.columnCount);
    }
    for (float value : grid->values) {
      if (!std::isfinite(value)) return "a grid value is not a finite number";
    }
  }
  if (!(grids.dN.header == grids.dE.header)) {
    return "the dN and dE grids have different headers";
  }
  context.grids = std::make_shared<const GridPair>(std::move(grids));
  return "";
}

}  // namespace vortan
