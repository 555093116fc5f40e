// The area a region's programs are made for, for a front end that shows it (the page's picture)
// and counts the points of a conversion that lie far from it: on the mainland the envelope of
// Greece of the jobs' note (JobNotes), on Kastelorizo the island group, Ro to Strongyli, with a
// margin around it. Kastelorizo has no grid to refuse a point of another region, so that a
// mainland file converted there gives numbers with no word of warning but this one.
#pragma once

#include <cstddef>
#include <vector>

#include "core/transverse_mercator.h"
#include "transform/region_profile.h"

namespace vortan {

// A parallel-and-meridian box, degrees.
struct GeographicBox {
  double south, north, west, east;
};

// Kastelorizo with Ro (west) and Strongyli (east), rounded outwards to a hundredth of a degree.
inline constexpr GeographicBox kKastelorizoIslands{36.09, 36.17, 29.49, 29.65};
// How far from the islands a point may lie before it is far from them: about 33 km north and
// south, 27 km east and west, the sea and the coast around them.
inline constexpr double kKastelorizoMarginDeg = 0.3;

// The area of a region as it is drawn: the islands on Kastelorizo, the envelope of Greece on
// the mainland.
GeographicBox ServedArea(const RegionProfile& profile);
// The area beyond which a point is far from the region: the islands with their margin on
// Kastelorizo; the envelope of Greece (already generous) on the mainland.
GeographicBox NearArea(const RegionProfile& profile);

// Whether a position in the region's TM07 (metres, false northing included) lies far from the
// region: outside NearArea, or with no latitude at all (beyond the projection's domain).
bool FarFromRegion(const RegionProfile& profile, double easting, double northing);

// The outline of a box in the region's TM07: its corners and perSide - 1 points between each
// two of them along the parallels and meridians, south-west first, anticlockwise.
std::vector<GridPoint> OutlineInTm07(const RegionProfile& profile, const GeographicBox& box,
                                     int perSide);

}  // namespace vortan
