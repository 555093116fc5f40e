// Which file a path or an open file is: the device and the file number of the file system, so
// that two names of one file (links, "./" spellings, standard input or output redirected to
// it) are told to be the same file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vortan {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool regular = false;    // a regular file (not a device, a pipe or a folder)
  bool characterDevice = false;  // a terminal, the null device and the like
  bool nullDevice = false;  // the null device, which any number of outputs may share
  bool operator==(const FileIdentity& other) const {
    return device == other.device && file == other.file;
  }
};

// The file a path names (links followed); nothing when it does not exist or cannot be told.
std::optional<FileIdentity> IdentityOfPath(const std::string& path);

// The file an open descriptor refers to; nothing when it cannot be told.
std::optional<FileIdentity> IdentityOfDescriptor(int fd);

// Whether two paths name one existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace vortan
