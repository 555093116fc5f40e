#include "gis/crs_match.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "engine/crs.h"

namespace vortan::gis {
namespace {

// GRS80, the ellipsoid of both systems.
constexpr double kGrs80SemiMajor = 6378137.0;
constexpr double kGrs80InverseFlattening = 298.257222101;

// How closely a CRS's constants must agree with the form's: far below any difference between
// two real projections, far above the rounding of a WKT text.
constexpr double kDegreeTolerance = 1e-9;
constexpr double kScaleTolerance = 1e-12;
constexpr double kMetreTolerance = 1e-6;

enum class DatumKind { kGgrs87, kHtrs07, kUnnamed, kOther };

// Letters and digits of a name in lower case: "D_GGRS_1987" and "GGRS 1987" read alike.
std::string Squeezed(const char* name) {
  std::string out;
  for (const char* p = name; p && *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
  }
  return out;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

DatumKind DatumOf(const OGRSpatialReference& srs) {
  const char* authority = srs.GetAuthorityName("DATUM");
  const char* code = srs.GetAuthorityCode("DATUM");
  if (authority && code && std::strcmp(authority, "EPSG") == 0 && std::strcmp(code, "6121") == 0) {
    return DatumKind::kGgrs87;
  }
  // ESRI names datums with a "D_" in front ("D_Unknown_based_on_GRS80_ellipsoid" in the .prj
  // that GDAL and QGIS write for a TM07 defined by its parameters): the name is what follows.
  const char* datum = srs.GetAttrValue("DATUM");
  if (datum && (datum[0] == 'D' || datum[0] == 'd') && datum[1] == '_') datum += 2;
  const std::string name = Squeezed(datum);
  if (Contains(name, "greekgeodeticreferencesystem1987") || Contains(name, "ggrs1987") ||
      Contains(name, "ggrs87")) {
    return DatumKind::kGgrs87;
  }
  if (Contains(name, "hellenicterrestrialreferencesystem2007") || Contains(name, "htrs07") ||
      Contains(name, "htrs2007")) {
    return DatumKind::kHtrs07;
  }
  if (name.empty() || name == "unknown" || name == "dunknown" || name == "unnamed" ||
      name.rfind("unknownbasedongrs", 0) == 0 || name.rfind("notspecifiedbasedongrs", 0) == 0) {
    return DatumKind::kUnnamed;
  }
  return DatumKind::kOther;
}

bool OnGrs80(const OGRSpatialReference& srs) {
  OGRErr err = OGRERR_NONE;
  const double a = srs.GetSemiMajor(&err);
  if (err != OGRERR_NONE) return false;
  const double invf = srs.GetInvFlattening(&err);
  if (err != OGRERR_NONE) return false;
  return std::fabs(a - kGrs80SemiMajor) < 1e-6 &&
         std::fabs(invf - kGrs80InverseFlattening) < 1e-8;
}

bool InDegrees(const OGRSpatialReference& srs) {
  return std::fabs(srs.GetAngularUnits() - kPi / 180.0) < 1e-12;
}

// A Transverse Mercator in metres with the projection's constants and the equator as origin.
bool IsProjection(const OGRSpatialReference& srs, const Projection& p) {
  const char* method = srs.GetAttrValue("PROJECTION");
  if (!method || std::strcmp(method, SRS_PT_TRANSVERSE_MERCATOR) != 0) return false;
  if (std::fabs(srs.GetLinearUnits() - 1.0) > 1e-12) return false;
  return std::fabs(srs.GetNormProjParm(SRS_PP_LATITUDE_OF_ORIGIN, 0.0)) < kDegreeTolerance &&
         std::fabs(srs.GetNormProjParm(SRS_PP_CENTRAL_MERIDIAN, 1e9) - p.centralMeridianDeg) <
             kDegreeTolerance &&
         std::fabs(srs.GetNormProjParm(SRS_PP_SCALE_FACTOR, 1e9) - p.scaleFactor) <
             kScaleTolerance &&
         std::fabs(srs.GetNormProjParm(SRS_PP_FALSE_EASTING, 1e12) - p.falseEasting) <
             kMetreTolerance &&
         std::fabs(srs.GetNormProjParm(SRS_PP_FALSE_NORTHING, 1e12) - p.falseNorthing) <
             kMetreTolerance;
}

bool SameKind(const OGRSpatialReference& srs, Form form) {
  if (form == Form::kHtrs07Xyz) return srs.IsGeocentric() != 0;
  if (IsGeographic(form)) return srs.IsGeographic() != 0 && InDegrees(srs);
  return srs.IsProjected() != 0;
}

}  // namespace

std::optional<Form> FormOfCrs(const OGRSpatialReference& srs, const RegionProfile& profile) {
  const DatumKind datum = DatumOf(srs);
  if (datum == DatumKind::kOther || !OnGrs80(srs)) return std::nullopt;
  const bool htrs07 = datum == DatumKind::kHtrs07;
  const bool ggrs87 = datum == DatumKind::kGgrs87;
  const bool unnamed = datum == DatumKind::kUnnamed;
  if (srs.IsGeocentric()) {
    if (htrs07) return Form::kHtrs07Xyz;
    return std::nullopt;
  }
  if (srs.IsGeographic()) {
    if (!InDegrees(srs)) return std::nullopt;
    if (htrs07) return Form::kHtrs07Geographic;
    if (ggrs87) return Form::kGgrs87Geographic;
    return std::nullopt;
  }
  if (srs.IsProjected()) {
    // On the mainland the false northings of TM07 and TM87 differ, so the constants alone tell
    // the two; an unnamed GRS80 datum is taken at their word.
    if (IsProjection(srs, profile.tm87) && (ggrs87 || unnamed)) return Form::kGgrs87Tm87;
    if (IsProjection(srs, profile.tm07) && (htrs07 || unnamed)) return Form::kHtrs07Tm07;
  }
  return std::nullopt;
}

bool CrsAdmitsForm(const OGRSpatialReference& srs, Form form, const RegionProfile& profile) {
  if (!SameKind(srs, form)) return false;
  if (form == Form::kHtrs07Tm07) return IsProjection(srs, profile.tm07);
  if (form == Form::kGgrs87Tm87) return IsProjection(srs, profile.tm87);
  return true;
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
