#include "tools/synthetic_grids.h"

#include <cstdio>
#include <string>

#include "core/cartesian.h"
#include "core/transverse_mercator.h"
#include "transform/grid_file.h"
#include "transform/helmert.h"
#include "transform/region_profile.h"

namespace {

constexpr int kRows = 408;
constexpr int kColumns = 422;
constexpr double kStep = 2000;
constexpr double kSouth = 1846000;  // TM07 Northing, false northing included
constexpr double kWest = 42000;

// The single-point window's default point, in HTRS07 X, Y, Z and in corrected TM87.
constexpr double kDefaultX = 4382064.771, kDefaultY = 2023782.319, kDefaultZ = 4155326.131;
constexpr double kDefaultE87 = 566296.541, kDefaultN87 = 4529332.314;

// Gradients of the field, centimetres per metre of Easting and of Northing.
constexpr double kDeAlongE = 3.0e-5, kDeAlongN = -2.2e-5;
constexpr double kDnAlongE = -1.8e-5, kDnAlongN = 3.4e-5;

struct Affine {
  double atOrigin, alongE, alongN, originE, originN;
  double At(double e, double n) const {
    return atOrigin + alongE * (e - originE) + alongN * (n - originN);
  }
};

bool WriteGrid(const std::string& path, const Affine& field) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fprintf(out, "%d\r\n%d\r\n%.0f\r\n%.0f\r\n%.0f\r\n", kRows, kColumns, kStep, kSouth, kWest);
  // Southern row first, each row from west to east.
  for (int r = 0; r < kRows; ++r) {
    const double n = kSouth + r * kStep;
    for (int c = 0; c < kColumns; ++c) {
      std::fprintf(out, c == 0 ? "%.5f" : " %.5f", field.At(kWest + c * kStep, n));
    }
    std::fputs("\r\n", out);
  }
  return std::fclose(out) == 0;
}

}  // namespace

namespace vortan {

bool WriteSyntheticGrids(const std::string& folder) {
  const RegionProfile& profile = kMainlandProfile;
  const GeodeticParams tm07 = MakeGrs80Params(profile.tm07);
  const GeodeticParams tm87 = MakeGrs80Params(profile.tm87);
  // The default point's TM07 position, where the corrections are interpolated.
  const Geodetic g07 = CartesianToGeodetic(tm07, kDefaultX, kDefaultY, kDefaultZ);
  const GridPoint p07 = TmForward(tm07, g07.latitude, g07.longitude - CentralMeridianRad(tm07));
  // Its uncorrected TM87 position.
  const Cartesian c87 = HelmertTransform(profile.helmert, kDefaultX, kDefaultY, kDefaultZ, +1);
  const Geodetic g87 = CartesianToGeodetic(tm87, c87.x, c87.y, c87.z);
  const GridPoint p87 = TmForward(tm87, g87.latitude, g87.longitude - CentralMeridianRad(tm87));
  const Affine de{(kDefaultE87 - p87.easting) * 100, kDeAlongE, kDeAlongN, p07.easting,
                  p07.northing};
  const Affine dn{(kDefaultN87 - p87.northing) * 100, kDnAlongE, kDnAlongN, p07.easting,
                  p07.northing};
  return WriteGrid(folder + "/" + kDnGridFileName, dn) &&
         WriteGrid(folder + "/" + kDeGridFileName, de);
}

}  // namespace vortan
