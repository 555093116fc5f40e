// Grids and jobs that would give wrong numbers in silence are refused or named: a dE grid that
// is a copy of the dN grid, a no-data value among the corrections, a default grid file as an
// output whatever the region, --dn and --de where no grid is read, a .prj's ESRI name of an
// unnamed GRS80 datum; and a message quotes a coordinate far beyond any in a few characters.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/number_format.h"
#include "data_files/jobs.h"
#include "engine/conversion.h"
#include "tests/support/folder_test.h"
#include "transform/datum.h"
#include "transform/grid_file.h"

namespace vortan {
namespace {

const std::string kGrids = std::string(VORTAN_TEST_DATA) + "/reference/grids/";
const std::string kDn = kGrids + kDnGridFileName;
const std::string kDe = kGrids + kDeGridFileName;
// 3 rows and 2 columns, southern row first.
constexpr const char* kHeader = "3\r\n2\r\n2000\r\n1846000\r\n42000\r\n";

class Round4Grids : public support::FolderTest {};

TEST_F(Round4Grids, ACopyOfTheDnGridAsTheDeGridIsRefusedNamingBoth) {
  const std::string values = std::string(kHeader) + "1 2\r\n3 4\r\n5 6\r\n";
  const std::string dn = Write("dN.grd", values), de = Write("dE-copy.grd", values);
  const GridLoadResult file = LoadCorrectionGrids(dn, de);
  EXPECT_FALSE(file.grids);
  for (const std::string& name : {dn, de, std::string("same correction at every node")}) {
    EXPECT_NE(file.error.find(name), std::string::npos) << file.error;
  }
  const GridLoadResult bytes = LoadCorrectionGridBytes(values, "dN.grd", values, "dE.grd");
  EXPECT_FALSE(bytes.grids);
  EXPECT_NE(bytes.error.find("dN.grd and dE.grd hold the same correction"), std::string::npos)
      << bytes.error;
  const GridLoadResult reference = LoadCorrectionGrids(kDn, kDe);
  ASSERT_TRUE(reference.grids) << reference.error;
  GridPair copied = *reference.grids;
  copied.dE = copied.dN;
  const std::optional<GridError> memory = CheckGridPair(copied);
  ASSERT_TRUE(memory);
  EXPECT_NE(memory->english.find("the dN grid and the dE grid hold the same"),
            std::string::npos);
}

// Grids that differ in one value, and grids of zeros (no correction), load; so do the
// reference grids.
TEST_F(Round4Grids, GridsThatDifferAndGridsOfZerosLoad) {
  const std::string header = kHeader;
  EXPECT_TRUE(LoadCorrectionGrids(Write("dN.grd", header + "1 2 3 4 5 6\r\n"),
                                  Write("dE.grd", header + "1 2 3 4 5 7\r\n"))
                  .grids);
  EXPECT_TRUE(LoadCorrectionGrids(Write("dN0.grd", header + "0 0 0 0 0 0\r\n"),
                                  Write("dE0.grd", header + "0 0 0 -0 0 0\r\n"))
                  .grids);
  const GridLoadResult reference = LoadCorrectionGrids(kDn, kDe);
  EXPECT_TRUE(reference.grids) << reference.error;
  EXPECT_FALSE(CheckGridPair(*reference.grids));
}

// A no-data value among the corrections is refused where it stands: line, value, row from the
// north and column from the west. Value 4 of a 3 x 2 grid is row 2, column 2.
TEST_F(Round4Grids, ANoDataValueIsRefusedNamingItsRowAndColumn) {
  for (const char* noData : {"-999", "-9999", "999", "-99999.0", "-32768", "-3.4028235e38"}) {
    SCOPED_TRACE(noData);
    const std::string dn =
        Write("dN.grd", std::string(kHeader) + "1 2\r\n3 " + noData + "\r\n5 6\r\n");
    const GridLoadResult r = LoadCorrectionGrids(dn, Write("dE.grd", std::string(kHeader) +
                                                                      "6 5\r\n4 3\r\n2 1\r\n"));
    EXPECT_FALSE(r.grids);
    EXPECT_NE(r.error.find(dn + ", line 7, value 4 (row 2 from the north, column 2 from the "
                                "west): \"" + std::string(noData) +
                           "\" looks like a no-data value"),
              std::string::npos)
        << r.error;
  }
  // In memory, counted as a file counts them.
  GridPair grids = *LoadCorrectionGrids(kDn, kDe).grids;
  const int rows = grids.dE.header.rowCount;
  grids.dE.values[static_cast<std::size_t>(rows - 1) * grids.dE.header.columnCount + 1] = -9999;
  const std::optional<GridError> memory = CheckGridPair(grids);
  ASSERT_TRUE(memory);
  EXPECT_NE(memory->english.find("the dE grid, value 2 (row " + std::to_string(rows) +
                                 " from the north, column 2 from the west): \"-9999\" looks "
                                 "like a no-data value"),
            std::string::npos)
      << memory->english;
  // A correction near them is a correction.
  EXPECT_TRUE(LoadCorrectionGrids(Write("dN2.grd", std::string(kHeader) + "1 2 3 -99.9 5 6\r\n"),
                                  Write("dE2.grd", std::string(kHeader) + "1 2 3 998 5 6\r\n"))
                  .grids);
}

// The default grid files in the current folder are never an output, in either region and with
// grids from memory, as the tool holds them: the rule lies below every front end.
TEST_F(Round4Grids, ADefaultGridFileIsNeverAnOutputOfAJob) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder_);
  Write(kDnGridFileName, "the grid\r\n");
  Write(kDeGridFileName, "the grid\r\n");
  const std::string sflh = Write("in.txt", "P1,381530.12345,234512.54321,100.000\r\n");
  TransformContext kastelorizo = MakeContext(kKastelorizoProfile, kDataFileBounds);
  TransformContext mainland = MakeContext(kMainlandProfile, kDataFileBounds);
  ASSERT_EQ(InitialStepWithGrids(mainland, *LoadCorrectionGrids(kDn, kDe).grids), "");
  const std::vector<JobOutcome> outcomes = {
      RunJob(JobKind::kSflhToSxyz, kastelorizo, sflh, {kDnGridFileName}),
      RunConversion(Conversion(kastelorizo, Form::kHtrs07Geographic, Form::kHtrs07Xyz, false),
                    "in.txt", kDeGridFileName),
      RunConversion(Conversion(mainland, Form::kHtrs07Geographic, Form::kGgrs87Tm87, false),
                    "in.txt", "./" + std::string(kDeGridFileName)),
  };
  std::filesystem::current_path(before);
  for (const JobOutcome& outcome : outcomes) {
    EXPECT_EQ(outcome.status, JobStatus::kError);
    EXPECT_NE(outcome.Message().find("which is never an output"), std::string::npos)
        << outcome.Message();
  }
  EXPECT_EQ(Read(Path(kDnGridFileName)), "the grid\r\n");
  EXPECT_EQ(Read(Path(kDeGridFileName)), "the grid\r\n");
}

// Coordinates in messages: normal ones with their decimals, those beyond any coordinate short.
TEST(Round4Messages, ACoordinateBeyondAnyIsQuotedInShortExponentialForm) {
  const struct {
    double value;
    int decimals;
    const char* quoted;
  } cases[] = {
      {412345.6789, 3, "412345.679"},  {-0.25, 3, "-0.250"},
      {38.123456789012, 9, "38.123456789"}, {999999999999.0, 3, "999999999999.000"},
      {1e300, 3, "1e+300"},            {-1.5e200, 9, "-1.5e+200"},
      {1.0 / 3.0 * 1e20, 3, "3.33333333e+19"}, {std::numeric_limits<double>::infinity(), 3, "inf"},
      {std::numeric_limits<double>::quiet_NaN(), 5, "nan"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageCoordinate(c.value, c.decimals), c.quoted);
}

// The tool through the shell: POSIX only (tests/windows runs the tool on Windows).
#ifndef _WIN32
class Round4Cli : public support::FolderTest {
 protected:
  // Runs vortan-transform in the test folder; the exit status, standard error in err_.
  int Run(const std::string& arguments) {
    const std::string command = "cd '" + folder_.string() + "' && '" + VORTAN_CLI + "' " +
                                arguments + " </dev/null >/dev/null 2>'" + Path("stderr") + "'";
    const int status = std::system(command.c_str());
    err_ = Read(Path("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string err_;
};

// On Kastelorizo no grid is read: --dn and --de are said to be ignored (missing files too),
// and the job runs as before.
TEST_F(Round4Cli, KastelorizoSaysThatItReadsNoGrids) {
  Write("in.txt", "P1,381530.12345,234512.54321,100.000\r\n");
  const struct {
    const char* options;
    const char* said;
  } cases[] = {
      {"--dn none.grd --de none.grd", "note: --dn and --de are ignored: the region kastelorizo "
                                      "uses no correction grids"},
      {"--de none.grd", "note: --de is ignored"},
      {"--dn none.grd", "note: --dn is ignored"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    EXPECT_EQ(Run("-q --region kastelorizo " + std::string(c.options) +
                  " sflh-to-sxyz in.txt out.txt"),
              0);
    EXPECT_NE(err_.find(c.said), std::string::npos) << err_;
  }
  EXPECT_EQ(Run("-q --region kastelorizo sflh-to-sxyz in.txt out.txt"), 0);
  EXPECT_EQ(err_.find("note"), std::string::npos) << err_;
}

#if VORTAN_WITH_GIS
// The .prj that GDAL and QGIS write for a TM07 defined by its parameters names its datum
// "D_Unknown_based_on_GRS80_ellipsoid": with the constants of TM07 on GRS80 it is TM07.
TEST_F(Round4Cli, AnEsriUnknownGrs80DatumWithTheConstantsOfTm07IsTm07) {
  Write("in.txt", "P1,412345.678,2201234.567,100.000\r\n");
  ASSERT_EQ(Run("-q convert --from htrs07-tm07 --to htrs07-tm07 in.txt tm07.shp"), 0) << err_;
  const std::string datum =
      "GEOGCS[\"GCS_unknown\",DATUM[\"D_Unknown_based_on_GRS80_ellipsoid\",SPHEROID["
      "\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\","
      "0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\","
      "500000.0],PARAMETER[\"False_Northing\",";
  Write("tm07.prj", "PROJCS[\"unnamed\"," + datum +
                        "-2000000.0],PARAMETER[\"Central_Meridian\",24.0],PARAMETER["
                        "\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT["
                        "\"Meter\",1.0]]");
  EXPECT_EQ(Run("-q --dn '" + kDn + "' --de '" + kDe +
                "' convert --to ggrs87-tm87 --format records tm07.shp out.txt"),
            0)
      << err_;
  // Other constants on the same datum are no form of ours.
  Write("tm07.prj", "PROJCS[\"unnamed\"," + datum +
                        "0.0],PARAMETER[\"Central_Meridian\",21.0],PARAMETER[\"Scale_Factor\","
                        "0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]");
  EXPECT_NE(Run("-q --dn '" + kDn + "' --de '" + kDe +
                "' convert --to ggrs87-tm87 --format records tm07.shp out2.txt"),
            0);
}
#endif  // VORTAN_WITH_GIS
#endif  // _WIN32

}  // namespace
}  // namespace vortan
