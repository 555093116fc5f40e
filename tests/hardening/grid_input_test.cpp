// Correction grid files that are not what they should be: each is refused with a message that
// names the file, where in it the fault stands, and what to do; nothing is half loaded.
#include <gtest/gtest.h>

#include <string>

#include "temp_folder.h"
#include "transform/correction_grid.h"
#include "transform/datum.h"

namespace vortan {
namespace {

using hardening::TempFolder;

class BadGrids : public TempFolder {
 protected:
  // The error of loading dN from text (and dE from a good file).
  std::string Refusal(const std::string& text) {
    const std::string dn = Write("dN.grd", text);
    const std::string de = Write("dE.grd", kGood);
    const GridLoadResult r = LoadCorrectionGrids(dn, de);
    EXPECT_FALSE(r.grids.has_value());
    EXPECT_EQ(r.error.rfind(dn, 0), 0u) << "the message must begin with the file: " << r.error;
    return r.error;
  }
  static constexpr const char* kGood = "3\r\n2\r\n2000\r\n1846000\r\n42000\r\n1 2\r\n3 4\r\n5 6\r\n";
};

TEST_F(BadGrids, MissingFolderEmptyShortAndWrongHeadersAreRefused) {
  EXPECT_NE(LoadCorrectionGrids(Path("none.grd"), Write("dE.grd", kGood)).error.find(
                "cannot be opened"),
            std::string::npos);
  std::filesystem::create_directory(Path("folder.grd"));
  EXPECT_NE(LoadCorrectionGrids(Path("folder.grd"), Write("dE.grd", kGood)).error.find("folder"),
            std::string::npos);

  EXPECT_NE(Refusal("").find("ends before the row count"), std::string::npos);
  EXPECT_NE(Refusal("   \r\n\r\n").find("ends before the row count"), std::string::npos);
  EXPECT_NE(Refusal("3\r\n2\r\n2000\r\n").find("ends before the southern Northing"),
            std::string::npos);
  EXPECT_NE(Refusal("rows 3\r\n").find("header field row count: \"rows\" is not a number"),
            std::string::npos);
  // A thousands separator splits a field in two: the header shifts, and no longer matches the
  // header of the other file.
  EXPECT_NE(LoadCorrectionGrids(Write("sep.grd", "3\r\n2\r\n2,000\r\n1846000\r\n42000\r\n1 2 3 4 5 6\r\n"),
                                Write("dE.grd", kGood))
                .error.find("differ"),
            std::string::npos);
  EXPECT_NE(Refusal("3.5\r\n2\r\n2000\r\n1846000\r\n42000\r\n").find("not a whole number"),
            std::string::npos);
  EXPECT_NE(Refusal("0\r\n2\r\n2000\r\n1846000\r\n42000\r\n").find("row count 0"),
            std::string::npos);
  EXPECT_NE(Refusal("3\r\n2\r\n0\r\n1846000\r\n42000\r\n").find("step 0 is not positive"),
            std::string::npos);
  EXPECT_NE(Refusal("3\r\n2\r\n2000\r\n1e400\r\n42000\r\n").find("\"1e400\" is not a number"),
            std::string::npos);
  EXPECT_NE(Refusal("3\r\n2\r\nnan\r\n1846000\r\n42000\r\n").find("\"nan\" is not a number"),
            std::string::npos);
  EXPECT_NE(Refusal("3\r\n2\r\n2000\r\n1846000\r\n42000\r\n1 2\r\n3 x4\r\n5 6\r\n")
                .find("line 7, value 4: \"x4\" is not a number"),
            std::string::npos);
}

TEST_F(BadGrids, AShortFileSaysHowManyValuesItHolds) {
  EXPECT_NE(Refusal("3\r\n2\r\n2000\r\n1846000\r\n42000\r\n1 2\r\n3\r\n")
                .find("ends after 3 of the 6 correction values"),
            std::string::npos);
}

// A header that announces the largest grid accepted, on a file of a few bytes, is refused at
// the end of the file; the memory of the grid it announces is never claimed.
TEST_F(BadGrids, AHugeHeaderOnAShortFileIsRefusedAtItsEnd) {
  const std::string error = Refusal("20000\r\n20000\r\n2000\r\n1846000\r\n42000\r\n1 2 3\r\n");
  EXPECT_NE(error.find("ends after 3 of the 400000000 correction values"), std::string::npos)
      << error;
}

// A correction beyond the range of the 32-bit floats the grid holds would turn into infinity
// and poison every point near it: it is refused where it stands.
TEST_F(BadGrids, ACorrectionBeyondTheFloatRangeIsRefused) {
  const std::string error =
      Refusal("3\r\n2\r\n2000\r\n1846000\r\n42000\r\n1 2\r\n3 4e38\r\n5 6\r\n");
  EXPECT_NE(error.find("line 7, value 4: \"4e38\" is too large"), std::string::npos) << error;
  // The largest float itself is a value like any other.
  const GridLoadResult r = LoadCorrectionGrids(
      Write("big.grd", "1\r\n2\r\n2000\r\n1846000\r\n42000\r\n-3.4e38 3.4e38\r\n"),
      Write("big2.grd", "1\r\n2\r\n2000\r\n1846000\r\n42000\r\n0 0\r\n"));
  EXPECT_TRUE(r.grids.has_value()) << r.error;
}

TEST_F(BadGrids, DifferentHeadersAreRefusedAndTheInitialStepLeavesNoGrids) {
  const std::string dn = Write("dN.grd", kGood);
  const std::string de = Write("dE.grd", "3\r\n2\r\n1000\r\n1846000\r\n42000\r\n1 2 3 4 5 6\r\n");
  const GridLoadResult r = LoadCorrectionGrids(dn, de);
  EXPECT_FALSE(r.grids.has_value());
  EXPECT_NE(r.error.find("differ"), std::string::npos);

  TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  EXPECT_EQ(InitialStep(context, dn, dn), "");
  EXPECT_TRUE(context.Ready());
  EXPECT_NE(InitialStep(context, dn, de), "");
  EXPECT_FALSE(context.Ready()) << "a failed initial step must not keep the old grids";
}

// The rows of a grid are stored from the north, whatever order they are read in.
TEST_F(BadGrids, RowsReadSouthFirstAreStoredNorthFirst) {
  std::string error;
  const std::optional<CorrectionGrid> g = ReadCorrectionGrid(
      Write("g.grd", "3,2,2000,1846000,42000,1,2,3,4,5,6"), error);
  ASSERT_TRUE(g.has_value()) << error;
  EXPECT_EQ(g->Value(1, 1), 5);
  EXPECT_EQ(g->Value(1, 2), 6);
  EXPECT_EQ(g->Value(2, 1), 3);
  EXPECT_EQ(g->Value(3, 2), 2);
  std::string oddError;
  const std::optional<CorrectionGrid> odd =
      ReadCorrectionGrid(Write("o.grd", "2 1 1 0 0 7 8"), oddError);
  ASSERT_TRUE(odd.has_value()) << oddError;
  EXPECT_EQ(odd->Value(1, 1), 8);
  EXPECT_EQ(odd->Value(2, 1), 7);
}

}  // namespace
}  // namespace vortan
