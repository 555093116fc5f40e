#include "transform/region_profile.h"

namespace vortan {

std::string RegionFileName(const RegionProfile& profile, std::string_view mainlandName) {
  std::string name(mainlandName);
  const std::size_t hyphen = name.find('-');
  if (hyphen != std::string::npos) name.insert(hyphen + 1, profile.fileNameInfix);
  return name;
}

}  // namespace vortan
