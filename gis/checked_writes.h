// Files that GDAL writes with every write checked. GDAL's text writers (GeoJSON, GeoJSONSeq,
// GML, KML, GPX, FlatGeobuf) go on after a write that the disk did not take (a full disk, the
// file-size limit reached) and close the file cut short without a word. A dataset is therefore
// created under the prefix /.vortan-checked-writes, a file system of GDAL's plugin interface
// that forwards every call to the real file and keeps the first write, flush, truncation or
// close that failed, with the system's error, so that the output is never put in place. SQLite
// (GeoPackage) writes through it only with GDAL's option SQLITE_USE_OGR_VFS.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace vortan::gis {

// A write that the system did not take: the real file and the system's error (0 where it gave
// none).
struct WriteFailure {
  std::string file;
  int error = 0;
};

// The files that GDAL writes inside a folder, checked while the object lives.
class CheckedFolder {
 public:
  CheckedFolder() = default;
  ~CheckedFolder();
  CheckedFolder(const CheckedFolder&) = delete;
  CheckedFolder& operator=(const CheckedFolder&) = delete;

  // Watches the files written inside the folder (an absolute path).
  void Watch(const std::string& folder);

  // The name under which GDAL writes a file (an absolute path) through the checking prefix.
  static std::string CheckedPath(const std::string& path);

  // The first write inside the folder that failed, if any.
  std::optional<WriteFailure> Failure() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace vortan::gis
