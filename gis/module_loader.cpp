#ifndef _WIN32
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <cctype>
#include <filesystem>
#include <mutex>
#include <vector>

#include "gis/module.h"

namespace vortan::gis {

bool IsRecordFilePath(const std::string& path) {
  if (path == "-") return true;
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".txt";
}

#ifdef _WIN32
const ModuleInterface* LoadModule(std::string& error) {
  error =
      "GIS datasets (GeoPackage, Shapefile, GeoJSON, DXF, KML, CSV) are not converted by the "
      "Windows build of vortan-transform, which converts the record files (.txt) only: convert "
      "the points as a .txt record file, or use the Linux build for GIS datasets";
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
