// Where an output dataset is written so that it appears only whole: a temporary folder beside
// the target, in which the dataset is made under the target's own file name (a Shapefile with
// its .shx, .dbf, .prj and .cpg, a GML with its .xsd, a folder of Shapefiles); when every
// feature is written the files are flushed to the disk and renamed into place, replacing the
// target's old files; on any stop the folder goes and the target is untouched.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vortan::gis {

// The files of an output path that a dataset written there would replace: the path itself
// and, for a Shapefile or a GML file, the sidecar files of its name.
std::vector<std::string> OutputFamily(const std::string& target);

// Why the output may not be written, or nothing: an output that is (or whose sidecar is, or
// whose folder holds) one of the files read, or one of the correction grids (which are never
// outputs, whether or not this conversion reads them); a file of a Shapefile other than its
// .shp (.dbf, .shx, .prj, ...); an existing output without overwrite.
std::optional<std::string> RefusedOutput(const std::string& target,
                                         const std::vector<std::string>& filesRead,
                                         const std::vector<std::string>& grids, bool overwrite,
                                         bool& needsOverwrite);

// Why standard output may not be written, or nothing: it is redirected to one of the files
// read (`... - >> in.gpkg`) or to a correction grid.
std::optional<std::string> RefusedStandardOutput(const std::vector<std::string>& filesRead,
                                                 const std::vector<std::string>& grids);

class OutputPlace {
 public:
  OutputPlace() = default;
  ~OutputPlace();
  OutputPlace(const OutputPlace&) = delete;
  OutputPlace& operator=(const OutputPlace&) = delete;

  // Makes the temporary folder beside the target; "" or why it cannot be made.
  std::string Prepare(const std::string& target);
  // Where the dataset is to be created: the target's file name inside the temporary folder.
  const std::string& path() const { return path_; }
  // The temporary folder.
  const std::string& folder() const { return folder_; }
  // Flushes every file made to the disk and renames it into place; "" or what went wrong (a
  // file the disk did not take whole is never put in place; after a failed rename the target's
  // files are as before where the system allowed).
  std::string Commit();
  // Removes everything made.
  void Discard();

 private:
  std::string target_, folder_, path_;
  bool committed_ = false;
};

}  // namespace vortan::gis
