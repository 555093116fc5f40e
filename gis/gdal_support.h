// What the conversion of datasets needs of GDAL around the reading and writing: its messages
// collected while a conversion runs (never printed by GDAL itself), the options under which the
// output is written, the drivers registered once, and how a file and a layer's CRS are told.
#pragma once

#include <cpl_error.h>
#include <ogr_spatialref.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vortan::gis {

// GDAL warnings repeated to the user, at most.
inline constexpr std::size_t kMaxNotes = 12;

// GDAL's messages on this thread while the object lives: the last failure and the first
// distinct warnings.
class ErrorCapture {
 public:
  ErrorCapture();
  ~ErrorCapture();
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  // The last failure GDAL reported since the previous call, or "".
  std::string TakeFailure();
  std::vector<std::string> TakeWarnings();

 private:
  static void CPL_STDCALL Handler(CPLErr kind, CPLErrorNum, const char* message);
  std::string failure_;
  std::vector<std::string> warnings_;
};

// Config options of GDAL for this thread while the output is written: a large SQLite page cache
// (the spatial index of a GeoPackage is built at the end of each layer, and with SQLite's small
// default cache most of that time goes in reading and writing its pages), no waiting for the
// disk after each transaction and the rollback journal in memory. The output is a temporary
// file that is flushed once and renamed only when whole, so a crash meanwhile costs nothing.
class ScopedWriteOptions {
 public:
  ScopedWriteOptions();
  ~ScopedWriteOptions();
  ScopedWriteOptions(const ScopedWriteOptions&) = delete;
  ScopedWriteOptions& operator=(const ScopedWriteOptions&) = delete;

 private:
  void Set(const char* key, const char* value);
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Registers GDAL's drivers, once, with every way to the network closed: GDAL's remote file
// systems (/vsicurl/, /vsis3/, …) open nothing, HTTP requests fail, and the drivers that connect
// on their own or open the datasets a file names (VRT) are not registered.
void RegisterGdal();

// Why the path may not be opened: a URL or a path through one of GDAL's remote file systems,
// anywhere in it (/vsizip//vsicurl/…); nothing for a path on this computer.
std::optional<std::string> NetworkPath(const std::string& path);

// Why the file is not opened as a dataset: it is a GDAL virtual dataset (VRT) whatever its
// name; nothing for any other file.
std::optional<std::string> VirtualDatasetFile(const std::string& path);

// The vector driver that GDAL would take the file for, told from its name and first bytes
// without opening it as a dataset; "" for none.
std::string IdentifiedDriver(const std::string& path);

// The reason GDAL gave, for a message: " (what it said)", or that it said nothing.
std::string GdalReason(const std::string& failure);

// The text in lower case (ASCII).
std::string Lower(std::string text);

// The CRS of a layer, or nullptr where it has none: a GeoPackage says "none" with its two
// undefined systems.
const OGRSpatialReference* DefinedCrs(const OGRSpatialReference* crs);

}  // namespace vortan::gis
