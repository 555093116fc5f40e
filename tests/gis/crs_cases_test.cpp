// The tool's GIS path against the one table of test CRSs (tests/data/crs/cases.tsv): every case
// that GDAL reads, as an OGR SRS, is the form of the table in its regions and none elsewhere;
// a CRS of another datum is taken at --from's word only for the forms it can hold.
#include <gtest/gtest.h>

#include <ogr_spatialref.h>

#include "gis/crs_match.h"
#include "tests/support/crs_cases.h"
#include "transform/region_profile.h"

namespace vortan::gis {
namespace {

TEST(GisCrsCases, EveryCaseGdalReadsIsTheFormOfTheTableInItsRegions) {
  const auto cases = testing::ReadCrsCases(std::string(VORTAN_TEST_DATA) + "/crs/cases.tsv");
  ASSERT_GE(cases.size(), 80u);
  std::size_t read = 0;
  for (const testing::CrsCase& c : cases) {
    SCOPED_TRACE(c.what);
    OGRSpatialReference srs;
    if (c.text.empty() || srs.SetFromUserInput(c.text.c_str()) != OGRERR_NONE) continue;
    ++read;
    for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
      const bool here = c.regions.find(profile->name) != std::string::npos;
      const std::optional<Form> form = FormOfCrs(srs, *profile);
      EXPECT_EQ(form ? std::string(FormName(*form)) : "none", here ? c.form : "none")
          << profile->name;
    }
  }
  EXPECT_GE(read, 70u);
}

TEST(GisCrsCases, ACrsOfAnotherDatumAdmitsTheFormsOfItsKindAndConstantsOnly) {
  OGRSpatialReference etrs89Tm87;
  ASSERT_EQ(etrs89Tm87.SetFromUserInput("+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 "
                                        "+y_0=0 +ellps=GRS80 +towgs84=0,0,0 +units=m +no_defs"),
            OGRERR_NONE);
  EXPECT_FALSE(FormOfCrs(etrs89Tm87, kMainlandProfile));
  EXPECT_TRUE(CrsAdmitsForm(etrs89Tm87, Form::kGgrs87Tm87, kMainlandProfile));
  EXPECT_FALSE(CrsAdmitsForm(etrs89Tm87, Form::kHtrs07Tm07, kMainlandProfile));
  EXPECT_FALSE(CrsAdmitsForm(etrs89Tm87, Form::kGgrs87Tm87, kKastelorizoProfile));
  OGRSpatialReference wgs84;
  ASSERT_EQ(wgs84.importFromEPSG(4326), OGRERR_NONE);
  EXPECT_TRUE(CrsAdmitsForm(wgs84, Form::kHtrs07Geographic, kMainlandProfile));
  EXPECT_FALSE(CrsAdmitsForm(wgs84, Form::kHtrs07Xyz, kMainlandProfile));
  EXPECT_FALSE(CrsAdmitsForm(wgs84, Form::kGgrs87Tm87, kMainlandProfile));
}

}  // namespace
}  // namespace vortan::gis
