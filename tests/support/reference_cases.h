// The jobs whose outputs tests/data/reference holds: every job of both regions, for the tests
// that run each one (in-process, through the tool, through the Windows .exe) against its files.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "data_files/job_table.h"
#include "transform/region_profile.h"

namespace vortan::support {

struct ReferenceCase {
  const RegionProfile* profile;
  JobKind kind;
};

inline const auto kReferenceCases = ::testing::Values(
    ReferenceCase{&kMainlandProfile, JobKind::kSflhToSenh},
    ReferenceCase{&kMainlandProfile, JobKind::kSenhToHtrs07},
    ReferenceCase{&kMainlandProfile, JobKind::kSflhToSxyz},
    ReferenceCase{&kMainlandProfile, JobKind::kSxyzToGgrs87},
    ReferenceCase{&kKastelorizoProfile, JobKind::kSflhToSenh},
    ReferenceCase{&kKastelorizoProfile, JobKind::kSenhToHtrs07},
    ReferenceCase{&kKastelorizoProfile, JobKind::kSflhToSxyz},
    ReferenceCase{&kKastelorizoProfile, JobKind::kSxyzToGgrs87});

// "mainland_sflh_to_senh": a test name of the region and the job.
inline std::string ReferenceCaseName(const ::testing::TestParamInfo<ReferenceCase>& info) {
  std::string name = std::string(info.param.profile->name) + "_" +
                     std::string(DefinitionOf(info.param.kind).cliName);
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  return name;
}

}  // namespace vortan::support
