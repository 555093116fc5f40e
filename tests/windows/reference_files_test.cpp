// vortan-transform.exe writes the reference files byte for byte: every job of both regions,
// with the reference grids on the mainland.
#include <gtest/gtest.h>

#include "data_files/job_table.h"
#include "tests/support/reference_cases.h"
#include "tool_runner.h"
#include "transform/region_profile.h"

namespace vortan::windows {
namespace {

class ReferenceFiles : public ToolFolder,
                       public testing::WithParamInterface<support::ReferenceCase> {};

TEST_P(ReferenceFiles, TheExeWritesThemByteForByte) {
  const RegionProfile& profile = *GetParam().profile;
  const JobDefinition& job = DefinitionOf(GetParam().kind);
  const fs::path reference = TestData() / "reference";
  const fs::path folder = reference / std::string(profile.name);
  std::vector<std::wstring> arguments = {
      L"--region", fs::path(std::string(profile.name)).wstring(),
      L"--dn", (reference / "grids" / "dN_2km_V1-0.grd").wstring(),
      L"--de", (reference / "grids" / "dE_2km_V1-0.grd").wstring(),
      fs::path(std::string(job.cliName)).wstring(),
      (folder / RegionFileName(profile, job.input.defaultName)).wstring()};
  for (const JobFile& file : job.outputs) {
    arguments.push_back(fs::path(RegionFileName(profile, file.defaultName)).wstring());
  }
  const ToolResult result = Run(arguments);
  ASSERT_EQ(result.status, 0u) << result.err;
  for (const JobFile& file : job.outputs) {
    const std::string name = RegionFileName(profile, file.defaultName);
    const std::string expected =
        ReadFile(folder / ("expected-" + std::string(job.cliName) + "." + name));
    ASSERT_FALSE(expected.empty()) << name;
    EXPECT_TRUE(ReadFile(folder_ / name) == expected) << name << " differs from the reference";
  }
}

INSTANTIATE_TEST_SUITE_P(BothRegions, ReferenceFiles, support::kReferenceCases,
                         support::ReferenceCaseName);

}  // namespace
}  // namespace vortan::windows
