// The form of a CRS, from its text: which of the five forms (and in which regions) a WKT1,
// WKT2 or ESRI .prj text, an EPSG code ("EPSG:2100", "2100", "urn:ogc:def:crs:EPSG::2100") or a
// PROJ string is, or why it is none. The one recognizer of every front end: the C library, the
// Python package (pyproj objects turned into WKT2 first), the QGIS plugin (a layer's WKT) and
// the tool's GIS layer (the OGR SRS exported to WKT). No GDAL and no PROJ database: the texts
// are read here, and the forms' constants are the region profiles' (engine/crs.h).
//
// A CRS is taken for what it is, not for how it is written: its kind (geocentric, geographic,
// projected), its datum (HTRS07 or GGRS87, or an unnamed datum on GRS80 for a projection whose
// Transverse Mercator constants tell it), its ellipsoid (GRS80), prime meridian (Greenwich),
// units, axes and, for a projection, the Transverse Mercator constants of TM07 or TM87 of a
// region.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/forms.h"

namespace vortan {

// How closely a CRS's constants must agree with the form's: the one tolerance of every front
// end. Each is far below the difference to the nearest other ellipsoid or projection (WGS 84's
// 1/f differs from GRS80's by 1.5e-6, IERS 2003's a by 0.4 m; real projections differ by whole
// degrees, by 1e-4 in scale, by kilometres in false origin) and makes at most a millimetre on
// the ground in the area served, the last digit the output files write: an a within 1 mm of
// GRS80's moves no point by more than 1 mm / 6378137 m x 4,400 km = 0.7 mm. So a CRS that
// writes a = 6378137.0005 (a unit converted to and fro) is GRS80 for every front end: refusing
// it would refuse a CRS whose coordinates are ours to the millimetre.
struct CrsTolerance {
  static constexpr double kSemiMajorMetres = 1e-3;
  static constexpr double kInverseFlattening = 1e-8;
  static constexpr double kDegrees = 1e-9;       // latitude of origin, central meridian: 0.1 mm
  static constexpr double kScale = 1e-10;        // scale factor: 0.4 mm at 4,400 km
  static constexpr double kMetres = 1e-3;        // false easting and northing
  static constexpr double kUnitFactor = 1e-12;   // metre, degree (in radians / 180 x pi)
};

// The kind of a CRS, as far as the forms go.
enum class CrsKind { kUnknown, kGeocentric, kGeographic, kProjected };

// How a text spells a CRS, as far as it was read: none for a text that is neither.
enum class CrsSpelling { kNone, kWkt, kEpsgCode, kProjString };

// What a CRS is: its form and the regions in which it is that form, or why it is none.
struct CrsRecognition {
  CrsSpelling spelling = CrsSpelling::kNone;
  std::optional<Form> form;  // nothing where the CRS is none of the five forms
  unsigned regions = 0;      // bit i: the form in Regions()[i] (1 the mainland, 2 Kastelorizo)
  bool swapped = false;      // its first two axes in the other order than the form's
                             // (longitude before latitude, N before E)
  CrsKind kind = CrsKind::kUnknown;
  // The forms whose coordinates the CRS can hold whatever its datum and ellipsoid (the kind,
  // the units and, for a projection, the form's Transverse Mercator constants): bit
  // FitBit(form, region). A CRS of another datum is taken as such a form at the user's word.
  unsigned fits = 0;
  std::string name;          // the CRS's name ("GGRS87 / Greek Grid"; "EPSG:4326"), or ""
  std::string reason;        // why it is none of the forms, in English ("" for a form)
  std::string reasonGreek;   // the same in Greek

  static constexpr unsigned FitBit(Form form, unsigned region) {
    return 1u << (static_cast<unsigned>(form) * 2u + region);
  }
  // Whether the CRS is a form in the region (an index of Regions()).
  bool InRegion(unsigned region) const { return form && (regions >> region & 1u) != 0; }
};

// The form of a CRS given as text; a text that is no CRS has a reason too, never an exception
// for what the text holds. Texts longer than a megabyte or nested deeper than 32 brackets are
// refused.
CrsRecognition RecognizeCrs(std::string_view text);

// The recognition narrowed to one region (an index of Regions()): a form of another region
// only becomes none with a reason that says whose form it is.
CrsRecognition RecognizeCrsInRegion(std::string_view text, unsigned region);

}  // namespace vortan
