#include "data_files/served_area.h"

#include <cmath>

#include "data_files/jobs.h"

namespace vortan {
namespace {

bool IsKastelorizo(const RegionProfile& profile) {
  return profile.name == kKastelorizoProfile.name;
}

constexpr GeographicBox kGreece{JobNotes::kSouth, JobNotes::kNorth, JobNotes::kWest,
                                JobNotes::kEast};

}  // namespace

GeographicBox ServedArea(const RegionProfile& profile) {
  return IsKastelorizo(profile) ? kKastelorizoIslands : kGreece;
}

GeographicBox NearArea(const RegionProfile& profile) {
  if (!IsKastelorizo(profile)) return kGreece;
  const GeographicBox& i = kKastelorizoIslands;
  const double m = kKastelorizoMarginDeg;
  return {i.south - m, i.north + m, i.west - m, i.east + m};
}

bool FarFromRegion(const RegionProfile& profile, double easting, double northing) {
  const TmInverseResult p = TmInverse(MakeGrs80Params(profile.tm07), easting, northing);
  if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude)) return true;
  // The mainland: the jobs' own test of points outside Greece.
  if (!IsKastelorizo(profile)) return OutsideGreece(p.latitude, p.longitude);
  const GeographicBox near = NearArea(profile);
  const double latitude = p.latitude * kDegreesPerRadian;
  const double longitude = p.longitude * kDegreesPerRadian;
  return latitude < near.south || latitude > near.north || longitude < near.west ||
         longitude > near.east;
}

std::vector<GridPoint> OutlineInTm07(const RegionProfile& profile, const GeographicBox& box,
                                     int perSide) {
  const GeodeticParams params = MakeGrs80Params(profile.tm07);
  const double lambda0 = CentralMeridianRadByPi(params);
  const int n = perSide < 1 ? 1 : perSide;
  // The corners anticlockwise from the south-west, as latitude, longitude in degrees.
  const double corners[5][2] = {{box.south, box.west}, {box.south, box.east},
                                {box.north, box.east}, {box.north, box.west},
                                {box.south, box.west}};
  std::vector<GridPoint> outline;
  outline.reserve(static_cast<std::size_t>(4 * n));
  for (int side = 0; side < 4; ++side) {
    for (int k = 0; k < n; ++k) {
      const double t = static_cast<double>(k) / n;
      const double latitude = corners[side][0] + t * (corners[side + 1][0] - corners[side][0]);
      const double longitude = corners[side][1] + t * (corners[side + 1][1] - corners[side][1]);
      outline.push_back(TmForward(params, latitude * kRadiansPerDegree,
                                  longitude * kRadiansPerDegree - lambda0));
    }
  }
  return outline;
}

}  // namespace vortan
