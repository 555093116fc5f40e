#include "transform/regions.h"

#include <array>

namespace vortan {
namespace {

const std::array<const RegionProfile*, 2> kRegions = {&kMainlandProfile, &kKastelorizoProfile};

}  // namespace

std::span<const RegionProfile* const> Regions() { return kRegions; }

const RegionProfile* FindRegion(std::string_view name) {
  for (const RegionProfile* region : kRegions) {
    if (region->name == name) return region;
  }
  return nullptr;
}

std::string RegionNameList() {
  std::string names;
  for (std::size_t i = 0; i < kRegions.size(); ++i) {
    if (i) names += i + 1 == kRegions.size() ? " or " : ", ";
    names += kRegions[i]->name;
  }
  return names;
}

}  // namespace vortan
