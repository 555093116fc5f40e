#include "engine/crs.h"

#include "core/float_chars.h"

namespace vortan {
namespace {

std::string Number(double value) {
  char buffer[64];
  const auto r = DoubleToChars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

const char* kDegree = "ANGLEUNIT[\"degree\",0.0174532925199433]";
const char* kMetre = "LENGTHUNIT[\"metre\",1]";

std::string Datum(bool htrs07) {
  return htrs07 ? std::string("DATUM[\"Hellenic Terrestrial Reference System 2007\","
                              "ELLIPSOID[\"GRS 1980\",6378137,298.257222101,") +
                      kMetre + "]]"
                : std::string("DATUM[\"Greek Geodetic Reference System 1987\","
                              "ELLIPSOID[\"GRS 1980\",6378137,298.257222101,") +
                      kMetre + "]]";
}

std::string Geographic(bool htrs07) {
  const std::string name = htrs07 ? "HTRS07" : "GGRS87";
  return "GEOGCRS[\"" + name + "\"," + Datum(htrs07) + ",PRIMEM[\"Greenwich\",0," + kDegree +
         "],CS[ellipsoidal,2],AXIS[\"geodetic latitude (Lat)\",north,ORDER[1]," + kDegree +
         "],AXIS[\"geodetic longitude (Lon)\",east,ORDER[2]," + kDegree + "]" +
         (htrs07 ? "" : ",ID[\"EPSG\",4121]") + "]";
}

std::string BaseGeographic(bool htrs07) {
  const std::string name = htrs07 ? "HTRS07" : "GGRS87";
  return "BASEGEOGCRS[\"" + name + "\"," + Datum(htrs07) + ",PRIMEM[\"Greenwich\",0," +
         kDegree + "]" + (htrs07 ? "" : ",ID[\"EPSG\",4121]") + "]";
}

std::string Projected(const std::string& name, bool htrs07, const Projection& p, int epsg) {
  return "PROJCRS[\"" + name + "\"," + BaseGeographic(htrs07) + ",CONVERSION[\"" + name +
         "\",METHOD[\"Transverse Mercator\",ID[\"EPSG\",9807]],"
         "PARAMETER[\"Latitude of natural origin\",0," + kDegree + ",ID[\"EPSG\",8801]],"
         "PARAMETER[\"Longitude of natural origin\"," + Number(p.centralMeridianDeg) + "," +
         kDegree + ",ID[\"EPSG\",8802]],"
         "PARAMETER[\"Scale factor at natural origin\"," + Number(p.scaleFactor) +
         ",SCALEUNIT[\"unity\",1],ID[\"EPSG\",8805]],"
         "PARAMETER[\"False easting\"," + Number(p.falseEasting) + "," + kMetre +
         ",ID[\"EPSG\",8806]],"
         "PARAMETER[\"False northing\"," + Number(p.falseNorthing) + "," + kMetre +
         ",ID[\"EPSG\",8807]]],"
         "CS[Cartesian,2],AXIS[\"easting (X)\",east,ORDER[1]," + kMetre +
         "],AXIS[\"northing (Y)\",north,ORDER[2]," + kMetre + "]" +
         (epsg ? ",ID[\"EPSG\"," + std::to_string(epsg) + "]" : std::string()) + "]";
}

}  // namespace

CrsDefinition CrsOf(Form form, const RegionProfile& profile) {
  const bool mainland = profile.hasGrids;
  const std::string suffix = mainland ? "" : " Kastelorizo";
  switch (form) {
    case Form::kHtrs07Xyz:
      return {0, "HTRS07",
              "GEODCRS[\"HTRS07\"," + Datum(true) + ",PRIMEM[\"Greenwich\",0," + kDegree +
                  "],CS[Cartesian,3],AXIS[\"(X)\",geocentricX,ORDER[1]," + kMetre +
                  "],AXIS[\"(Y)\",geocentricY,ORDER[2]," + kMetre +
                  "],AXIS[\"(Z)\",geocentricZ,ORDER[3]," + kMetre + "]]"};
    case Form::kHtrs07Geographic:
      return {0, "HTRS07", Geographic(true)};
    case Form::kGgrs87Geographic:
      return {4121, "GGRS87", Geographic(false)};
    case Form::kHtrs07Tm07:
      return {0, "HTRS07 / TM07" + suffix, Projected("HTRS07 / TM07" + suffix, true, profile.tm07, 0)};
    case Form::kGgrs87Tm87:
      if (mainland) {
        return {2100, "GGRS87 / Greek Grid", Projected("GGRS87 / Greek Grid", false, profile.tm87, 2100)};
      }
      return {0, "GGRS87 / TM87" + suffix, Projected("GGRS87 / TM87" + suffix, false, profile.tm87, 0)};
  }
  return {};
}

}  // namespace vortan
