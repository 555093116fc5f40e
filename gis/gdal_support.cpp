#include "gis/gdal_support.h"

#include <cpl_conv.h>
#include <cpl_http.h>
#include <cpl_vsi.h>
#include <cpl_vsi_virtual.h>
#include <gdal.h>
#include <gdal_priv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <string_view>

#include "io/display_text.h"

namespace vortan::gis {

ErrorCapture::ErrorCapture() { CPLPushErrorHandlerEx(&Handler, this); }
ErrorCapture::~ErrorCapture() { CPLPopErrorHandler(); }

std::string ErrorCapture::TakeFailure() {
  std::string f;
  f.swap(failure_);
  return f;
}

std::vector<std::string> ErrorCapture::TakeWarnings() {
  std::vector<std::string> w;
  w.swap(warnings_);
  return w;
}

void CPL_STDCALL ErrorCapture::Handler(CPLErr kind, CPLErrorNum, const char* message) {
  auto* self = static_cast<ErrorCapture*>(CPLGetErrorHandlerUserData());
  const std::string text = message ? DisplayText(message) : "";
  if (kind >= CE_Failure) {
    self->failure_ = text;
  } else if (kind == CE_Warning) {
    if (self->warnings_.size() < kMaxNotes &&
        std::find(self->warnings_.begin(), self->warnings_.end(), text) ==
            self->warnings_.end()) {
      self->warnings_.push_back(text);
    }
  }
}

ScopedWriteOptions::ScopedWriteOptions() {
  Set("OGR_SQLITE_CACHE", "512");
  Set("OGR_SQLITE_SYNCHRONOUS", "OFF");
  Set("OGR_SQLITE_JOURNAL", "MEMORY");
}

ScopedWriteOptions::~ScopedWriteOptions() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    CPLSetThreadLocalConfigOption(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
  }
}

void ScopedWriteOptions::Set(const char* key, const char* value) {
  const char* old = CPLGetThreadLocalConfigOption(key, nullptr);
  saved_.emplace_back(key, old ? std::optional<std::string>(old) : std::nullopt);
  CPLSetThreadLocalConfigOption(key, value);
}

namespace {

// The drivers that reach other computers or programs on their own (database clients, web
// services, GPSBabel) or open the datasets that a file names (VRT): a coordinate file given to
// this program is read from this computer, and nothing it holds makes the program connect
// anywhere.
constexpr const char* kDriversNotOpened[] = {
    "OGR_VRT",    "VRT",         "HTTP",      "WFS",        "OAPIF",    "CSW",
    "WMS",        "WMTS",        "WCS",       "DAAS",       "EEDA",     "EEDAI",
    "OGCAPI",     "STACTA",      "STACIT",    "PLSCENES",   "PLMOSAIC", "NGW",
    "CARTO",      "AmigoCloud",  "Elasticsearch", "GPSBabel", "PostgreSQL", "MySQL",
    "MSSQLSpatial", "ODBC",      "OCI",       "MongoDBv3",  "GNMDatabase", "PostGISRaster",
};

// The prefixes of GDAL's file systems that are not on this computer (/vsicurl/, /vsis3/, …),
// found when the drivers are registered.
std::vector<std::string>& RemotePrefixes() {
  static std::vector<std::string> prefixes;
  return prefixes;
}

constexpr std::string_view kNetworkOff =
    "network access is off: this program reads and writes files on this computer only";

// A remote file system's stand-in: nothing opens, nothing exists.
void* RefuseOpen(void*, const char*, const char*) {
  CPLError(CE_Failure, CPLE_OpenFailed, "%s", std::string(kNetworkOff).c_str());
  errno = EACCES;
  return nullptr;
}

int RefuseStat(void*, const char*, VSIStatBufL*, int) {
  errno = ENOENT;
  return -1;
}

CPLHTTPResult* RefuseFetch(const char* url, CSLConstList, GDALProgressFunc, void*,
                           CPLHTTPFetchWriteFunc, void*, void*) {
  CPLError(CE_Failure, CPLE_AppDefined, "%s (%s)", std::string(kNetworkOff).c_str(),
           url ? url : "");
  auto* result = static_cast<CPLHTTPResult*>(CPLCalloc(1, sizeof(CPLHTTPResult)));
  result->nStatus = 1;
  result->pszErrBuf = CPLStrdup(std::string(kNetworkOff).c_str());
  return result;
}

// Closes every way GDAL has to the network: the remote file systems refuse to open anything,
// HTTP requests fail at once, and the drivers of kDriversNotOpened are not registered.
void CloseTheNetwork() {
  char** prefixes = VSIGetFileSystemsPrefixes();
  for (char** p = prefixes; p && *p; ++p) {
    const std::string prefix = *p;
    // GDAL's own remote file systems; this program's own (checked writes) are local.
    if (prefix.rfind("/vsi", 0) != 0 || VSIIsLocal((prefix + "x").c_str())) continue;
    RemotePrefixes().push_back(Lower(prefix));
    // GDAL drops a handler it replaces without freeing it; this program keeps it, never used,
    // for the life of the process, so that nothing is lost track of.
    static auto* replaced = new std::vector<VSIFilesystemHandler*>;
    replaced->push_back(VSIFileManager::GetHandler(prefix.c_str()));
    VSIFilesystemPluginCallbacksStruct* callbacks = VSIAllocFilesystemPluginCallbacksStruct();
    callbacks->open = &RefuseOpen;
    callbacks->stat = &RefuseStat;
    VSIInstallPluginHandler(prefix.c_str(), callbacks);
    VSIFreeFilesystemPluginCallbacksStruct(callbacks);
  }
  CSLDestroy(prefixes);
  CPLHTTPSetFetchCallback(&RefuseFetch, nullptr);
  for (const char* name : kDriversNotOpened) {
    if (GDALDriverH driver = GDALGetDriverByName(name)) {
      GDALDeregisterDriver(driver);
      GDALDestroyDriver(driver);
    }
  }
}

}  // namespace

void RegisterGdal() {
  static std::once_flag once;
  std::call_once(once, [] {
    GDALAllRegister();
    CloseTheNetwork();
  });
}

std::optional<std::string> NetworkPath(const std::string& path) {
  RegisterGdal();
  const std::string lower = Lower(path);
  const bool remote =
      lower.find("://") != std::string::npos ||
      std::any_of(RemotePrefixes().begin(), RemotePrefixes().end(), [&](const std::string& p) {
        return lower.find(p) != std::string::npos;
      });
  if (!remote) return std::nullopt;
  return DisplayText(path) +
         ": a network address; this program reads and writes files on this computer only, "
         "so that no coordinate leaves it: download the file and give the copy's name";
}

std::optional<std::string> VirtualDatasetFile(const std::string& path) {
  VSILFILE* file = VSIFOpenL(path.c_str(), "rb");
  if (!file) return std::nullopt;
  char head[1024] = {};
  const std::size_t n = VSIFReadL(head, 1, sizeof head - 1, file);
  VSIFCloseL(file);
  const std::string_view text(head, n);
  if (text.find("<OGRVRTDataSource") == std::string_view::npos &&
      text.find("<VRTDataset") == std::string_view::npos) {
    return std::nullopt;
  }
  return DisplayText(path) +
         ": a GDAL virtual dataset (VRT), which reads the files or network addresses written "
         "in it; this program does not open VRT files: convert the files it names instead";
}

std::string IdentifiedDriver(const std::string& path) {
  RegisterGdal();
  CPLPushErrorHandler(CPLQuietErrorHandler);
  const GDALDriverH driver = GDALIdentifyDriverEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr);
  CPLPopErrorHandler();
  return driver ? GDALGetDescription(driver) : "";
}

std::string GdalReason(const std::string& failure) {
  return failure.empty() ? " (GDAL gave no reason: check the folder and the free space)"
                         : " (" + failure + ")";
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const OGRSpatialReference* DefinedCrs(const OGRSpatialReference* crs) {
  if (!crs) return nullptr;
  const std::string name = Lower(crs->GetName() ? crs->GetName() : "");
  if (!crs->GetAuthorityCode(nullptr) &&
      (name == "undefined geographic srs" || name == "undefined cartesian srs")) {
    return nullptr;
  }
  return crs;
}

}  // namespace vortan::gis
