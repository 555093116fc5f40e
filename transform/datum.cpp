#include "transform/datum.h"

#include <optional>

namespace vortan {

TransformContext MakeContext(const RegionProfile& profile, const GridBounds& bounds) {
  TransformContext context;
  context.profile = &profile;
  context.bounds = bounds;
  return context;
}

std::string InitialStep(TransformContext& context, const std::string& dnPath,
                        const std::string& dePath, std::string* errorGreek, int threads) {
  context.helmert = context.profile->helmert;
  context.initialised = true;
  if (!context.profile->hasGrids) return "";
  context.DropGrids();
  GridLoadResult loaded = LoadCorrectionGrids(dnPath, dePath, threads);
  if (!loaded.grids) {
    if (errorGreek) *errorGreek = loaded.errorGreek;
    return loaded.error;
  }
  context.SetGrids(std::move(*loaded.grids));
  context.dnPath = dnPath;
  context.dePath = dePath;
  return "";
}

std::string InitialStepWithGrids(TransformContext& context, GridPair grids) {
  context.helmert = context.profile->helmert;
  context.initialised = true;
  context.DropGrids();
  context.dnPath.clear();
  context.dePath.clear();
  if (!context.profile->hasGrids) return "";
  if (const std::optional<GridError> wrong = CheckGridPair(grids)) return wrong->english;
  context.SetGrids(std::move(grids));
  return "";
}

}  // namespace vortan
