#ifndef _WIN32
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <cctype>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <vector>

#include "data_files/record_reader.h"
#include "gis/module.h"
#include "io/file_kind.h"
#include "io/files.h"

namespace vortan::gis {

namespace {

std::string Extension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

bool DatasetExtension(const std::string& extension) {
  for (const DriverByExtension& d : kDatasetExtensions) {
    if (extension == d.extension) return true;
  }
  return false;
}

// The first bytes of a file (nothing when it cannot be read).
std::string FirstBytes(const std::string& path) {
  std::string bytes(4096, '\0');
  const int fd = OpenForReading(path);
  if (fd < 0) return "";
  std::size_t got = 0;
  while (got < bytes.size()) {
    const long long n = ReadSome(fd, bytes.data() + got, bytes.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  CloseFile(fd);
  bytes.resize(got);
  return bytes;
}

// The first bytes of the GIS formats that no record file begins with.
bool DatasetSignature(const std::string& bytes) {
  std::string_view b(bytes);
  if (b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
  if (b.substr(0, 16) == std::string_view("SQLite format 3\0", 16)) return true;  // GeoPackage
  if (b.substr(0, 4) == std::string_view("\0\0\x27\x0A", 4)) return true;          // .shp
  if (b.substr(0, 3) == "fgb") return true;                                         // FlatGeobuf
  const std::size_t first = b.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && (b[first] == '{' || b[first] == '<');
}

}  // namespace

bool InputIsRecords(const std::string& path, const std::string& format) {
  if (path == "-") return true;
  const std::string extension = Extension(path);
  if (extension == ".txt") return true;
  if (DatasetExtension(extension) && extension != ".csv") return false;
  if (format == "records") return true;
  const std::string bytes = FirstBytes(path);
  if (BeginsWithRecord(bytes)) return true;
  if (extension == ".csv") return false;
  // Another name: a GIS format by its first bytes, or one GDAL opens; else a record file, which
  // the reader then names line by line (or as a file of another kind).
  if (DatasetSignature(bytes)) return false;
  if (NonTextKindOf(bytes.data(), bytes.size()).known()) return true;
  std::string error;
  const ModuleInterface* module = LoadModule(error);
  return !(module && module->isDataset(path));
}

bool OutputIsRecords(const std::string& path, const std::string& format) {
  if (format == "records" || path == "-") return true;
  if (!format.empty()) return false;
  return !DatasetExtension(Extension(path));
}

#ifdef _WIN32
const ModuleInterface* LoadModule(std::string& error) {
  error =
      "GIS datasets (GeoPackage, Shapefile, GeoJSON, DXF, KML, CSV) are not converted by the "
      "Windows build of vortan-transform, which converts the record files (.txt) only: convert "
      "the points as a .txt record file, or use the Linux build for GIS datasets";
  return nullptr;
}
#elif defined(VORTAN_WITHOUT_GIS)
const ModuleInterface* LoadModule(std::string& error) {
  error =
      "GIS datasets (GeoPackage, Shapefile, GeoJSON, DXF, KML, CSV) are not converted by this "
      "build of vortan-transform, made without GDAL (VORTAN_BUILD_GIS=OFF), which converts the "
      "record files (.txt) only: convert the points as a .txt record file, or build the project "
      "whole (scripts/build) for GIS datasets";
  return nullptr;
}
#else
const ModuleInterface* LoadModule(std::string& error) {
  static std::mutex mutex;
  static const ModuleInterface* loaded = nullptr;
  std::lock_guard<std::mutex> lock(mutex);
  if (loaded) return loaded;
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  const std::filesystem::path folder = program.parent_path();
  const std::vector<std::filesystem::path> places = {
      folder / kModuleFileName, folder / ".." / "lib" / "vortan-transform" / kModuleFileName};
  std::string tried;
  for (const std::filesystem::path& place : places) {
    if (!std::filesystem::exists(place, ec)) {
      tried += (tried.empty() ? "" : ", ") + place.lexically_normal().string();
      continue;
    }
    void* handle = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = ::dlerror();
      error = place.lexically_normal().string() + " cannot be loaded (" +
              (why ? why : "unknown reason") +
              "): install GDAL with scripts/install-deps (libgdal-dev, gdal-bin)";
      return nullptr;
    }
    const auto* module = static_cast<const ModuleInterface*>(::dlsym(handle, kModuleSymbol));
    if (!module || module->version != kModuleVersion) {
      error = place.lexically_normal().string() +
              " is not the GIS module of this program: build or install them together";
      return nullptr;
    }
    loaded = module;
    return loaded;
  }
  error = "the GIS module " + std::string(kModuleFileName) + " is missing (looked for " + tried +
          "): build the project whole or reinstall it";
  return nullptr;
}

#endif

}  // namespace vortan::gis
