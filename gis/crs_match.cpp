#include "gis/crs_match.h"

#include <cctype>
#include <cstring>

#include <cpl_conv.h>

#include "engine/crs.h"
#include "engine/crs_recognition.h"
#include "transform/regions.h"

namespace vortan::gis {
namespace {

// Letters and digits of a name in lower case, to tell the names that say there is none.
std::string Squeezed(const char* name) {
  std::string out;
  for (const char* p = name; p && *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
  }
  return out;
}

// The region's index among Regions(), for the recognizer's masks.
std::optional<unsigned> RegionIndex(const RegionProfile& profile) {
  for (unsigned i = 0; i < Regions().size(); ++i) {
    if (Regions()[i] == &profile || Regions()[i]->name == profile.name) return i;
  }
  return std::nullopt;
}

// The engine's recognizer on the CRS's WKT2 (WKT1 where GDAL cannot write WKT2): the one
// decision of every front end, with its one tolerance.
CrsRecognition Recognized(const OGRSpatialReference& srs) {
  std::string text;
  for (const char* format : {"FORMAT=WKT2_2019", "FORMAT=WKT1"}) {
    char* wkt = nullptr;
    const char* const options[] = {format, nullptr};
    const OGRErr err = srs.exportToWkt(&wkt, options);
    if (err == OGRERR_NONE && wkt) text = wkt;
    CPLFree(wkt);
    if (!text.empty()) break;
  }
  return RecognizeCrs(text);
}

}  // namespace

std::optional<Form> FormOfCrs(const OGRSpatialReference& srs, const RegionProfile& profile) {
  const std::optional<unsigned> region = RegionIndex(profile);
  const CrsRecognition r = Recognized(srs);
  if (!region || !r.InRegion(*region)) return std::nullopt;
  return r.form;
}

bool CrsAdmitsForm(const OGRSpatialReference& srs, Form form, const RegionProfile& profile) {
  const std::optional<unsigned> region = RegionIndex(profile);
  return region && (Recognized(srs).fits & CrsRecognition::FitBit(form, *region)) != 0;
}

std::string CrsDisplayName(const OGRSpatialReference& srs) {
  std::string name = srs.GetName() ? srs.GetName() : "";
  const std::string squeezed = Squeezed(name.c_str());
  if (squeezed.empty() || squeezed == "unknown" || squeezed == "unnamed" ||
      squeezed == "undefined") {
    // A CRS without a name (a .prj of "unknown") is told by its kind.
    const char* method = srs.GetAttrValue("PROJECTION");
    name = srs.IsGeocentric()    ? "an unnamed geocentric CRS"
           : srs.IsProjected()   ? std::string("an unnamed projected CRS") +
                                     (method ? std::string(" (") + method + ")" : "")
           : srs.IsGeographic()  ? "an unnamed geographic CRS"
                                 : "an unnamed CRS";
  }
  const char* authority = srs.GetAuthorityName(nullptr);
  const char* code = srs.GetAuthorityCode(nullptr);
  if (authority && code) name += std::string(" (") + authority + ":" + code + ")";
  return name;
}

std::unique_ptr<OGRSpatialReference> OutputCrs(Form form, const RegionProfile& profile) {
  const CrsDefinition crs = CrsOf(form, profile);
  auto srs = std::make_unique<OGRSpatialReference>();
  OGRErr err = OGRERR_FAILURE;
  if (crs.epsg) err = srs->importFromEPSG(crs.epsg);
  if (err != OGRERR_NONE) err = srs->importFromWkt(crs.wkt.c_str());
  if (err != OGRERR_NONE) return nullptr;
  srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

}  // namespace vortan::gis
