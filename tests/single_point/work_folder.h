// A fresh temporary folder that becomes the current directory for the life of the object, with
// copies of the grid files a test asks for; the previous directory comes back at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vortan::testing {

class WorkFolder {
 public:
  WorkFolder() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "single-point-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    std::filesystem::current_path(path_);
  }
  ~WorkFolder() {
    std::filesystem::current_path(previous_);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  // Copies dN_2km_V1-0.grd and dE_2km_V1-0.grd from a folder.
  void CopyGrids(const std::filesystem::path& from) const {
    for (const char* name : {"dN_2km_V1-0.grd", "dE_2km_V1-0.grd"}) {
      std::filesystem::copy_file(from / name, path_ / name);
    }
  }

  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
  }

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

}  // namespace vortan::testing
