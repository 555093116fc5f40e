// The form of a CRS from its text: every case of the one table of test CRSs (WKT1, WKT2, ESRI
// .prj spellings of every form in both regions, EPSG codes, PROJ strings, texts that are no
// CRS), the region that narrows a form, the forms a CRS of another datum can hold, and texts
// that are refused with a reason in English and Greek, never a crash.
#include <gtest/gtest.h>

#include <string>

#include "engine/crs_recognition.h"
#include "engine/crs.h"
#include "tests/support/crs_cases.h"
#include "transform/regions.h"

namespace vortan {
namespace {

const std::string kCases = std::string(VORTAN_TEST_DATA) + "/crs/cases.tsv";

std::string RegionsText(unsigned regions) {
  std::string text;
  for (unsigned i = 0; i < Regions().size(); ++i) {
    if (regions >> i & 1u) text += (text.empty() ? "" : ",") + std::string(Regions()[i]->name);
  }
  return text.empty() ? "-" : text;
}

TEST(CrsRecognition, EveryCaseOfTheTableGivesItsFormRegionsAxesOrReason) {
  const auto cases = testing::ReadCrsCases(kCases);
  ASSERT_GE(cases.size(), 80u);
  for (const testing::CrsCase& c : cases) {
    SCOPED_TRACE(c.what);
    const CrsRecognition r = RecognizeCrs(c.text);
    EXPECT_EQ(r.form ? std::string(FormName(*r.form)) : "none", c.form) << r.reason;
    EXPECT_EQ(RegionsText(r.regions), c.regions);
    if (r.form) {
      EXPECT_EQ(r.swapped, c.swapped);
    }
    if (!r.form) {
      EXPECT_NE(r.reason.find(c.reason), std::string::npos) << r.reason;
      EXPECT_FALSE(r.reasonGreek.empty());
    } else {
      EXPECT_EQ(r.reason, "");
    }
  }
}

TEST(CrsRecognition, EveryFormIsFoundInTheCrsThisSystemWritesForIt) {
  for (unsigned region = 0; region < Regions().size(); ++region) {
    for (const Form form : kAllForms) {
      const CrsRecognition r = RecognizeCrsInRegion(CrsOf(form, *Regions()[region]).wkt, region);
      EXPECT_EQ(r.form, form) << FormName(form) << " " << Regions()[region]->name << r.reason;
    }
  }
}

TEST(CrsRecognition, AFormOfAnotherRegionIsNoneThereSayingWhose) {
  const CrsRecognition r = RecognizeCrsInRegion("EPSG:2100", 1);
  EXPECT_FALSE(r.form);
  EXPECT_EQ(r.reason, "it is ggrs87-tm87 of mainland, not of kastelorizo");
  EXPECT_NE(r.reasonGreek.find("όχι της kastelorizo"), std::string::npos);
  EXPECT_EQ(RecognizeCrsInRegion("EPSG:4121", 1).form, Form::kGgrs87Geographic);
}

TEST(CrsRecognition, ACrsOfAnotherDatumHoldsTheFormsOfItsKindAndConstants) {
  // ETRS89 with the TM87 constants of the mainland: none, but it can hold TM87 there.
  const CrsRecognition tm = RecognizeCrs(
      "+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=0 +ellps=GRS80 "
      "+towgs84=0,0,0,0,0,0,0 +datum=ETRS89 +units=m");
  EXPECT_FALSE(tm.form);
  EXPECT_EQ(tm.fits, CrsRecognition::FitBit(Form::kGgrs87Tm87, 0));
  // WGS 84 latitude and longitude: both geographic forms in both regions, nothing else.
  const CrsRecognition wgs84 = RecognizeCrs(
      "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
      "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]");
  EXPECT_FALSE(wgs84.form);
  unsigned geographic = 0;
  for (unsigned region = 0; region < 2; ++region) {
    geographic |= CrsRecognition::FitBit(Form::kHtrs07Geographic, region) |
                  CrsRecognition::FitBit(Form::kGgrs87Geographic, region);
  }
  EXPECT_EQ(wgs84.fits, geographic);
  // In feet: no form.
  EXPECT_EQ(RecognizeCrs("+proj=tmerc +lon_0=24 +k=0.9996 +x_0=500000 +ellps=GRS80 +units=ft").fits,
            0u);
}

TEST(CrsRecognition, TheToleranceOfTheEllipsoidIsOneMillimetre) {
  const std::string wkt = CrsOf(Form::kGgrs87Tm87, *Regions()[0]).wkt;
  const auto with = [&](const char* a) {
    std::string text = wkt;
    const std::size_t at = text.find("6378137,");
    text.replace(at, 7, a);
    return RecognizeCrs(text);
  };
  EXPECT_EQ(with("6378137.0009").form, Form::kGgrs87Tm87);
  EXPECT_EQ(with("6378136.9991").form, Form::kGgrs87Tm87);
  EXPECT_FALSE(with("6378137.0011").form);
  EXPECT_NE(with("6378137.0011").reason.find("(GRS 1980: a = 6378137.0011 m, 1/f = 298.257222101) is not GRS 1980 (a = 6378137 m"), std::string::npos);
}

TEST(CrsRecognition, TextsBeyondAnyCrsAreRefusedWithAReason) {
  const std::string huge = "GEOGCS[\"" + std::string((1u << 20) + 1, 'x') + "\"]";
  EXPECT_NE(RecognizeCrs(huge).reason.find("longer than any CRS"), std::string::npos);
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "A[";
  EXPECT_NE(RecognizeCrs(nested).reason.find("nested too deeply"), std::string::npos);
  // Every prefix of a real WKT: a reason, never a crash.
  const std::string wkt = CrsOf(Form::kHtrs07Tm07, *Regions()[1]).wkt;
  for (std::size_t n = 0; n < wkt.size(); n += 7) {
    const CrsRecognition r = RecognizeCrs(wkt.substr(0, n));
    EXPECT_FALSE(r.form) << n;
    EXPECT_FALSE(r.reason.empty()) << n;
  }
}

}  // namespace
}  // namespace vortan
