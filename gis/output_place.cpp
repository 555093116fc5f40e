#include "gis/output_place.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "io/display_text.h"
#include "io/file_identity.h"
#include "io/files.h"
#include "io/process.h"

namespace vortan::gis {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The sidecar extensions of the formats that spread over several files.
const std::vector<std::string>& SidecarsOf(const std::string& extension) {
  static const std::vector<std::string> kShapefile = {".shx", ".dbf", ".prj", ".cpg",
                                                      ".qix", ".sbn", ".sbx", ".qpj",
                                                      ".shp.xml", ".aih", ".ain", ".atx"};
  static const std::vector<std::string> kGml = {".xsd", ".gfs"};
  static const std::vector<std::string> kNone;
  if (extension == ".shp" || extension == ".dbf") return kShapefile;
  if (extension == ".gml") return kGml;
  return kNone;
}

// Flushes a file or a folder to the disk: 0, or the system's error where the disk did not take
// what was written to a file (a folder is flushed as far as its file system can).
int SyncPath(const std::string& path, bool folder) {
  const int fd = ::open(path.c_str(), (folder ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  if (folder || error == EINVAL || error == EROFS) error = 0;  // no flush on this file system
  return error;
}

// Flushes every file below a folder; the first file that the disk did not take, with the error.
std::optional<std::pair<fs::path, int>> SyncTree(const fs::path& path) {
  std::error_code ec;
  std::optional<std::pair<fs::path, int>> failed;
  if (fs::is_directory(path, ec)) {
    for (const auto& entry : fs::directory_iterator(path, ec)) {
      std::optional<std::pair<fs::path, int>> f = SyncTree(entry.path());
      if (!failed) failed = f;
    }
    SyncPath(path.string(), true);
  } else if (const int error = SyncPath(path.string(), false)) {
    failed = std::make_pair(path, error);
  }
  return failed;
}

bool Inside(const fs::path& file, const FileIdentity& folder) {
  std::error_code ec;
  fs::path p = fs::absolute(file, ec);
  for (fs::path parent = p.parent_path(); !parent.empty(); parent = parent.parent_path()) {
    const std::optional<FileIdentity> id = IdentityOfPath(parent.string());
    if (id && *id == folder) return true;
    if (parent == parent.root_path()) break;
  }
  return false;
}

// The temporary folders are named ".vortan-output-PID-XXXXXX": PID the process that made it.
constexpr std::string_view kPlacePrefix = ".vortan-output-";

// The process that made a temporary folder of that name; 0 for any other name.
long PlaceMaker(const std::string& name) {
  if (name.rfind(kPlacePrefix, 0) != 0) return 0;
  const std::string rest = name.substr(kPlacePrefix.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string::npos || dash > 9 || rest.size() != dash + 7) return 0;
  long id = 0;
  for (std::size_t i = 0; i < dash; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(rest[i]))) return 0;
    id = id * 10 + (rest[i] - '0');
  }
  for (std::size_t i = dash + 1; i < rest.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(rest[i]))) return 0;
  }
  return id;
}

// Removes the temporary folders in parent that a run of this program left when it was killed
// (SIGKILL, a power cut): folders of this user, named by a process that no longer runs. A
// folder of a process that runs, of another user, or of another name stays.
void RemoveLeftPlaces(const fs::path& parent) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(parent, ec)) {
    const long maker = PlaceMaker(entry.path().filename().string());
    if (maker == 0 || ProcessRuns(maker)) continue;
    struct stat st {};
    if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid()) {
      continue;
    }
    std::error_code removing;
    fs::remove_all(entry.path(), removing);
  }
}

}  // namespace

std::vector<std::string> OutputFamily(const std::string& target) {
  std::vector<std::string> family = {target};
  const fs::path path(target);
  const std::string extension = Lower(path.extension().string());
  const std::string stem = (path.parent_path() / path.stem()).string();
  for (const std::string& sidecar : SidecarsOf(extension)) {
    // Shapefile tools write the sidecars in either case.
    family.push_back(stem + sidecar);
    std::string upper = sidecar;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    family.push_back(stem + upper);
  }
  if (extension == ".shp") family.push_back(stem + ".SHP");
  return family;
}

std::optional<std::string> RefusedOutput(const std::string& target,
                                         const std::vector<std::string>& filesRead,
                                         const std::vector<std::string>& grids, bool overwrite,
                                         bool& needsOverwrite) {
  needsOverwrite = false;
  const std::vector<std::string> family = OutputFamily(target);
  for (const std::string& grid : grids) {
    const std::optional<FileIdentity> gridId = IdentityOfPath(grid);
    if (!gridId) continue;
    for (const std::string& out : family) {
      const std::optional<FileIdentity> outId = IdentityOfPath(out);
      if (outId && *outId == *gridId) {
        return DisplayText(target) + " is the correction grid " + DisplayText(grid) +
               (out == target ? std::string() : " (its file " + DisplayText(out) + ")") +
               ": a grid is never an output; name another output";
      }
    }
  }
  for (const std::string& read : filesRead) {
    const std::optional<FileIdentity> readId = IdentityOfPath(read);
    if (!readId) continue;
    for (const std::string& out : family) {
      const std::optional<FileIdentity> outId = IdentityOfPath(out);
      if (outId && *outId == *readId) {
        return DisplayText(target) + " is the input" +
               (out == target ? std::string() : " (its file " + DisplayText(out) + " is " +
                                                    DisplayText(read) + ")") +
               ": name another output, the input is never written";
      }
    }
    const std::optional<FileIdentity> targetId = IdentityOfPath(target);
    std::error_code ec;
    if (targetId && fs::is_directory(target, ec) && Inside(read, *targetId)) {
      return DisplayText(target) + " is the folder of the input " + DisplayText(read) +
             ": name another output, the input is never written";
    }
  }
  // A Shapefile is written by naming its .shp: an output named after another of its files
  // would be written in place of that one file (or as a table alone) beside the Shapefile's
  // other files, which would no longer read together.
  const fs::path targetPath(target);
  const std::string extension = Lower(targetPath.extension().string());
  const std::vector<std::string>& sidecars = SidecarsOf(".shp");
  if (std::find(sidecars.begin(), sidecars.end(), extension) != sidecars.end()) {
    const std::string shp = (targetPath.parent_path() / targetPath.stem()).string() + ".shp";
    return DisplayText(target) + " names a file of a Shapefile (the " + extension +
           " beside its .shp): name the .shp (" + DisplayText(shp) +
           ") to write a Shapefile, or give the output another extension (.txt for a record "
           "file)";
  }
  bool exists = false;
  for (const std::string& out : family) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(out, ec))) exists = true;
  }
  if (exists && !overwrite) {
    needsOverwrite = true;
    return DisplayText(target) +
           " already exists: give --overwrite to replace it, or name another output";
  }
  return std::nullopt;
}

std::optional<std::string> RefusedStandardOutput(const std::vector<std::string>& filesRead,
                                                 const std::vector<std::string>& grids) {
  const std::optional<FileIdentity> out = IdentityOfDescriptor(kStandardOutput);
  // A terminal, a pipe or the null device is none of the files read.
  if (!out || !out->regular) return std::nullopt;
  for (const std::string& grid : grids) {
    const std::optional<FileIdentity> gridId = IdentityOfPath(grid);
    if (gridId && *gridId == *out) {
      return "standard output is the correction grid " + DisplayText(grid) +
             ": a grid is never an output; redirect standard output to another file";
    }
  }
  for (const std::string& read : filesRead) {
    const std::optional<FileIdentity> readId = IdentityOfPath(read);
    if (readId && *readId == *out) {
      return "standard output is the input " + DisplayText(read) +
             " (redirected to it): the input is never written; redirect standard output to "
             "another file, or name the output file instead of -";
    }
  }
  return std::nullopt;
}

OutputPlace::~OutputPlace() {
  if (!committed_) Discard();
}

std::string OutputPlace::Prepare(const std::string& target) {
  target_ = target;
  fs::path path(target);
  while (!path.empty() && !path.has_filename()) path = path.parent_path();  // "out/" is "out"
  fs::path parent = path.parent_path();
  if (parent.empty()) parent = ".";
  RemoveLeftPlaces(parent);
  std::string pattern =
      (parent / (std::string(kPlacePrefix) + std::to_string(CurrentProcessId()) + "-XXXXXX"))
          .string();
  if (!::mkdtemp(pattern.data())) {
    return DisplayText(parent.string()) +
           ": no temporary folder can be made there for the output (" + SystemReason(errno) +
           "); name an output in a folder you can write";
  }
  folder_ = pattern;
  path_ = (fs::path(folder_) / path.filename()).string();
  return "";
}

std::string OutputPlace::Commit() {
  std::error_code ec;
  const fs::path folder(folder_);
  const fs::path parent = folder.parent_path();
  if (const std::optional<std::pair<fs::path, int>> failed = SyncTree(folder)) {
    const std::string file = failed->first.filename().string();
    return DisplayText(target_) +
           (file == fs::path(target_).filename().string()
                ? std::string()
                : " (its file " + DisplayText(file) + ")") +
           ": cannot be written (" + SystemReason(failed->second) +
           "); nothing was put in place: make room on the device or name an output elsewhere";
  }
  // The old files of the target that the new dataset does not replace (a stale .qix index, an
  // .xsd of another schema) would no longer match it: they go, after the new files are whole.
  std::vector<fs::path> made;
  for (const auto& entry : fs::directory_iterator(folder, ec)) made.push_back(entry.path());
  if (ec) return DisplayText(folder_) + ": cannot be read back (" + ec.message() + ")";
  std::sort(made.begin(), made.end());
  for (const fs::path& file : made) {
    const fs::path destination = parent / file.filename();
    const bool folderThere = fs::is_directory(fs::symlink_status(destination, ec));
    if (fs::is_directory(file, ec) && folderThere) {
      // A folder of Shapefiles into an existing folder: file by file, so that the other files
      // in it stay; each Shapefile replaces the one of its name with all its sidecars.
      std::vector<fs::path> inner;
      for (const auto& entry : fs::directory_iterator(file, ec)) inner.push_back(entry.path());
      for (const fs::path& f : inner) {
        const fs::path to = destination / f.filename();
        fs::rename(f, to, ec);
        if (ec) return DisplayText(to.string()) + ": cannot be written (" + ec.message() + ")";
      }
      for (const fs::path& f : inner) {
        for (const std::string& old : OutputFamily((destination / f.filename()).string())) {
          const bool replaced = std::any_of(inner.begin(), inner.end(), [&](const fs::path& m) {
            return m.filename() == fs::path(old).filename();
          });
          if (!replaced) fs::remove(old, ec);
        }
      }
      SyncPath(destination.string(), true);
      continue;
    }
    if (folderThere) {
      return DisplayText(destination.string()) +
             ": is a folder, and a file cannot replace it; name another output";
    }
    fs::rename(file, destination, ec);
    if (ec) {
      return DisplayText(destination.string()) + ": cannot be written (" + ec.message() + ")";
    }
  }
  for (const std::string& old : OutputFamily(target_)) {
    const fs::path name = fs::path(old).filename();
    const bool replaced = std::any_of(made.begin(), made.end(), [&](const fs::path& m) {
      return m.filename() == name;
    });
    if (!replaced) fs::remove(parent / name, ec);
  }
  SyncPath(parent.string(), true);
  committed_ = true;
  fs::remove_all(folder, ec);
  return "";
}

void OutputPlace::Discard() {
  if (folder_.empty()) return;
  std::error_code ec;
  fs::remove_all(folder_, ec);
  folder_.clear();
}

}  // namespace vortan::gis
