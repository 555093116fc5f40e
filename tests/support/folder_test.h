// The GoogleTest fixture of the tests that write files: a temporary folder per test, named
// after the test, with the helpers to write inputs and read outputs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace vortan::support {

// The running test as "Suite-Name" ("" outside a test).
inline std::string CurrentTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info == nullptr) return "";
  return std::string(info->test_suite_name()) + "-" + info->name();
}

class FolderTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return temp_.Path(name); }
  std::string Write(const std::string& name, std::string_view bytes) const {
    return temp_.Write(name, bytes);
  }
  static std::string Read(const std::filesystem::path& path) { return ReadFile(path); }
  static bool Exists(const std::filesystem::path& path) { return support::Exists(path); }

  TempFolder temp_{CurrentTestName()};
  const std::filesystem::path& folder_ = temp_.path();
};

}  // namespace vortan::support
