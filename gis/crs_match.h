// The CRS of a layer against the five forms: which form it is and whether it may be taken as the
// form that --from names, by the engine's one recognizer (engine/crs_recognition.h) on the
// CRS's WKT, and the CRS written on output, from engine/crs.h.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <ogr_spatialref.h>

#include "engine/forms.h"
#include "gis/form_names.h"
#include "transform/region_profile.h"

namespace vortan::gis {

// The form a CRS is in the region: EPSG:2100 and EPSG:4121, the HTRS07 CRSs this system writes,
// and any CRS with the same datum, ellipsoid and projection constants under another spelling
// (an ESRI .prj, a PROJ string), within the recognizer's one tolerance. Nothing for another CRS.
std::optional<Form> FormOfCrs(const OGRSpatialReference& srs, const RegionProfile& profile);

// Whether a CRS that is none of ours may hold coordinates of the form: the same kind
// (geographic, projected, geocentric) and, for a projection, the form's Transverse Mercator
// constants. Datum and ellipsoid are the user's word (--from).
bool CrsAdmitsForm(const OGRSpatialReference& srs, Form form, const RegionProfile& profile);

// How a message names a CRS: "GGRS87 / Greek Grid (EPSG:2100)".
std::string CrsDisplayName(const OGRSpatialReference& srs);


// The CRS of a form for the output layers, longitude first for the geographic forms: EPSG's
// definition where the form has a code, else the full WKT of engine/crs.h.
std::unique_ptr<OGRSpatialReference> OutputCrs(Form form, const RegionProfile& profile);

}  // namespace vortan::gis
