#include "data_files/served_area.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vortan {
namespace {

// A place in the region's TM07, from its latitude and longitude in degrees.
GridPoint InTm07(const RegionProfile& profile, double latitude, double longitude) {
  const GeodeticParams params = MakeGrs80Params(profile.tm07);
  return TmForward(params, latitude * kRadiansPerDegree,
                   longitude * kRadiansPerDegree - CentralMeridianRadByPi(params));
}

struct Place {
  const char* name;
  double latitude, longitude;  // degrees
  bool farFromKastelorizo, farFromGreece;
};

// Far from a region by where the place lies, whichever region's TM07 it was converted into.
TEST(FarFromRegion, ByThePlacesAroundTheRegions) {
  const Place places[] = {
      {"Kastelorizo town", 36.149, 29.594, false, false},
      {"Strongyli", 36.105, 29.636, false, false},
      {"the sea 25 km south of the island", 35.92, 29.6, false, false},
      {"Rhodes town", 36.43, 28.22, true, false},
      {"Athens", 37.97, 23.73, true, false},
      {"Ioannina", 39.66, 20.85, true, false},
      {"Belgrade", 44.82, 20.46, true, true},
      {"Alexandria", 31.2, 29.92, true, true},
      {"latitude and longitude swapped", 23.73, 37.97, true, true},
  };
  for (const Place& p : places) {
    const GridPoint k = InTm07(kKastelorizoProfile, p.latitude, p.longitude);
    EXPECT_EQ(FarFromRegion(kKastelorizoProfile, k.easting, k.northing), p.farFromKastelorizo)
        << p.name;
    const GridPoint m = InTm07(kMainlandProfile, p.latitude, p.longitude);
    EXPECT_EQ(FarFromRegion(kMainlandProfile, m.easting, m.northing), p.farFromGreece) << p.name;
  }
}

// A position with no latitude (beyond a quarter meridian) is far from every region.
TEST(FarFromRegion, APositionBeyondTheProjectionIsFar) {
  EXPECT_TRUE(FarFromRegion(kKastelorizoProfile, 500000, 1e9));
  EXPECT_TRUE(FarFromRegion(kMainlandProfile, 500000, 1e9));
  EXPECT_TRUE(FarFromRegion(kMainlandProfile, NAN, 4000000));
}

// The outline of the islands closes on its corners, which read back as the islands' box.
TEST(OutlineInTm07, HasTheCornersOfTheBox) {
  const std::vector<GridPoint> outline = OutlineInTm07(kKastelorizoProfile, kKastelorizoIslands, 8);
  ASSERT_EQ(outline.size(), 32u);
  const GeodeticParams params = MakeGrs80Params(kKastelorizoProfile.tm07);
  const double corners[4][2] = {{36.09, 29.49}, {36.09, 29.65}, {36.17, 29.65}, {36.17, 29.49}};
  for (int c = 0; c < 4; ++c) {
    const TmInverseResult back = TmInverse(params, outline[8 * c].easting, outline[8 * c].northing);
    EXPECT_NEAR(back.latitude * kDegreesPerRadian, corners[c][0], 1e-9) << c;
    EXPECT_NEAR(back.longitude * kDegreesPerRadian, corners[c][1], 1e-9) << c;
  }
}

}  // namespace
}  // namespace vortan
