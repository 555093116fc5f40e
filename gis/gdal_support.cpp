#include "gis/gdal_support.h"

#include <cpl_conv.h>
#include <gdal.h>
#include <gdal_priv.h>

#include <algorithm>
#include <cctype>
#include <mutex>

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

void RegisterGdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
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
