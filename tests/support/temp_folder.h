// A fresh folder under the system's temporary folder for the life of an object, removed with
// all it holds at the end (a folder a test made read-only or unreadable included). Each name is
// the process and a count, so that tests running at once never share one; a name given
// (a test's) follows, so that a folder left by a crash says which test made it.
#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "tests/support/files.h"

namespace vortan::support {

class TempFolder {
 public:
  explicit TempFolder(std::string_view name = "") {
    static std::atomic<int> count{0};
#ifdef _WIN32
    const int process = ::_getpid();
#else
    const int process = ::getpid();
#endif
    std::string leaf = "vortan-" + std::to_string(process) + "-" + std::to_string(++count);
    if (!name.empty()) leaf += "-" + std::string(name);
    for (char& c : leaf) {
      if (c == '/' || c == '\\' || c == ':') c = '_';
    }
    path_ = std::filesystem::temp_directory_path() / leaf;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // The path of a file in the folder.
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

  // Writes a file of the folder; returns its path.
  std::string Write(const std::string& name, std::string_view bytes) const {
    WriteFile(path_ / name, bytes);
    return Path(name);
  }

  // Copies both correction grids from a folder, under their own names.
  void CopyGrids(const std::filesystem::path& from) const {
    for (const char* name : kGridFileNames) std::filesystem::copy_file(from / name, path_ / name);
  }

 private:
  std::filesystem::path path_;
};

// A temporary folder that is the current directory for the life of the object (the programs
// look for their grids there); the previous current directory comes back at the end.
class WorkFolder : public TempFolder {
 public:
  explicit WorkFolder(std::string_view name = "")
      : TempFolder(name), previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(path());
  }
  ~WorkFolder() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
  }

 private:
  std::filesystem::path previous_;
};

}  // namespace vortan::support
