// Correction grid files that are not what they should be: each is refused with a message that
// names the file, where in it the fault stands, and what to do; nothing is half loaded.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/support/folder_test.h"
#include "transform/correction_grid.h"
#include "transform/datum.h"

namespace vortan {
namespace {

using support::FolderTest;

class BadGrids : public FolderTest {
 protected:
  // The error of loading dN from text (and dE from a good file).
  std::string Refusal(const std::string& text) {
    const std::string dn = Write("dN.grd", text);
    const std::string de = Write("dE.grd", kGoodDe);
    const GridLoadResult r = LoadCorrectionGrids(dn, de);
    EXPECT_FALSE(r.grids.has_value());
    EXPECT_EQ(r.error.rfind(dn, 0), 0u) << "the message must begin with the file: " << r.error;
    return r.error;
  }
  static constexpr const char* kGood = "3\r\n2\r\n2000\r\n1846000\r\n42000\r\n1 2\r\n3 4\r\n5 6\r\n";
  // The same header with other corrections: a dE grid that is a copy of dN is refused.
  static constexpr const char* kGoodDe =
      "3\r\n2\r\n2000\r\n1846000\r\n42000\r\n6 5\r\n4 3\r\n2 1\r\n";
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
  // A thousands separator splits a field in two: the header shifts, and the western Easting
  // becomes a correction of 420 m.
  EXPECT_NE(LoadCorrectionGrids(Write("sep.grd", "3\r\n2\r\n2,000\r\n1846000\r\n42000\r\n1 2 3 4 5 6\r\n"),
                                Write("dE.grd", kGood))
                .error.find("value 1: \"42000\" is too large for a correction"),
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

// Grids that parse but are wrong are refused where the fault stands, naming file, line and
// value: a correction beyond 10 m (decimal commas split -31,49559 into -31 and 49559; a float
// beyond range would be infinite), more values than the header announces (decimal commas with
// short decimals), a field longer than any number, NUL bytes (/dev/zero), a header far from any
// TM07 grid (whose interpolation would overflow at every point), UTF-16, and one file for both.
TEST_F(BadGrids, GridsThatParseButAreWrongAreRefused) {
  const std::string head = "3\r\n2\r\n2000\r\n1846000\r\n42000\r\n";
  struct Case {
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {head + "1 2\r\n3 4e38\r\n5 6\r\n", "line 7, value 4: \"4e38\" is too large"},
      {head + "-31,49559 -31,4\r\n1 2\r\n3 4\r\n", "value 2: \"49559\" is too large"},
      {head + "1000.5 2\r\n3 4\r\n5 6\r\n", "value 1: \"1000.5\" is too large"},
      {head + "-11,75 -11,63 -11,52\r\n-11,40 -11,29 -11,18\r\n", "holds 6 more values than the 6"},
      {head + "1 2 3 4 5 " + std::string(100, '6'), "more than 64 characters"},
      {std::string(5, '\0') + "1 2", "NUL bytes"},
      {"3\r\n2\r\n1e-320\r\n1846000\r\n42000\r\n1 2 3 4 5 6", "m is outside 1 to 100000 m"},
      {"3\r\n2\r\n2000\r\n3.4e38\r\n42000\r\n1 2 3 4 5 6", "lies beyond any TM07 coordinate"},
      {"\xFF\xFE" "3\0\r\0", "UTF-16"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_NE(Refusal(c.text).find(c.reason), std::string::npos) << Refusal(c.text);
  }
  // The bound itself loads, and so does a grid file with a UTF-8 byte-order mark.
  const GridLoadResult r = LoadCorrectionGrids(
      Write("big.grd", "\xEF\xBB\xBF" + head + "-1000 1000\r\n1 2\r\n3 4\r\n"),
      Write("big2.grd", kGood));
  EXPECT_TRUE(r.grids.has_value()) << r.error;
  // One file for both grids, however it is spelled.
  const GridLoadResult same = LoadCorrectionGrids(Write("one.grd", kGood), folder_.string() + "/./one.grd");
  EXPECT_NE(same.error.find("is given for both the dN and the dE grid"), std::string::npos)
      << same.error;
}

// Grids that load but are wrong: a row and column count swapped (told by the lines of values),
// text after the values; and what an editor leaves after them, which is no fault.
TEST_F(BadGrids, SwappedHeadersAndTextAfterTheValuesAreRefused) {
  const std::string values = "1 2\r\n3 4\r\n5 6\r\n";
  EXPECT_NE(Refusal("2\r\n3\r\n2000\r\n1846000\r\n42000\r\n" + values)
                .find("the row and column counts of the header look swapped"),
            std::string::npos);
  EXPECT_NE(Refusal(std::string(kGood) + "END OF FILE\r\n")
                .find("line 9: text after the 6 values: \"END OF FILE\""),
            std::string::npos);
  for (const std::string& tail : {std::string("\x1A"), std::string("\0\0\0", 3),
                                 std::string("\r\n \t\r\n\x1A\0", 9)}) {
    const GridLoadResult r = LoadCorrectionGrids(Write("dN.grd", kGood + tail), Write("dE.grd", kGoodDe));
    EXPECT_TRUE(r.grids.has_value()) << r.error;
  }
}

// A file named as a dE grid given as dN, or the reverse, is refused as swapped; names that say
// neither are taken as given.
TEST_F(BadGrids, GridFilesNamedForTheOtherCorrectionAreRefusedAsSwapped) {
  struct Case {
    const char* dn;
    const char* de;
    bool refused;
  };
  for (const Case& c : {Case{"dE_2km_V1-0.grd", "dN_2km_V1-0.grd", true},
                        Case{"grid_dE.grd", "other.grd", true},
                        Case{"a.grd", "greece-dn.grd", true},
                        Case{"north.grd", "east.grd", false},
                        Case{"made.grd", "dNdE.grd", false}}) {
    SCOPED_TRACE(std::string(c.dn) + " " + c.de);
    const GridLoadResult r = LoadCorrectionGrids(Write(c.dn, kGood), Write(c.de, kGoodDe));
    EXPECT_EQ(r.grids.has_value(), !c.refused) << r.error;
    if (c.refused) {
      EXPECT_NE(r.error.find("the two look swapped"), std::string::npos) << r.error;
    }
  }
}

TEST_F(BadGrids, DifferentHeadersAreRefusedAndTheInitialStepLeavesNoGrids) {
  const std::string dn = Write("dN.grd", kGood);
  const std::string de = Write("dE.grd", "3\r\n2\r\n1000\r\n1846000\r\n42000\r\n1 2 3 4 5 6\r\n");
  const GridLoadResult r = LoadCorrectionGrids(dn, de);
  EXPECT_FALSE(r.grids.has_value());
  EXPECT_NE(r.error.find("differ"), std::string::npos);

  TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  EXPECT_EQ(InitialStep(context, dn, Write("dE2.grd", kGoodDe)), "");
  EXPECT_TRUE(context.Ready());
  EXPECT_NE(InitialStep(context, dn, de), "");
  EXPECT_FALSE(context.Ready()) << "a failed initial step must not keep the old grids";
}

// Read at the same time on two threads, the grids give what reading them in turn gives: the
// same values, and of two faulty files dN's fault.
TEST_F(BadGrids, TwoThreadsLoadWhatOneLoads) {
  const std::string good = kGood, bad = "3\r\n2\r\n2000\r\n1846000\r\n42000\r\n1 x\r\n";
  const std::string other = "3\r\n2\r\n2000\r\n1846000\r\n42000\r\n6 5 4 3 2 1\r\n";
  for (const auto& [dnText, deText] : {std::pair{good, other}, std::pair{bad, other},
                                       std::pair{good, bad}, std::pair{bad, bad}}) {
    const std::string dn = Write("dN.grd", dnText), de = Write("dE.grd", deText);
    const GridLoadResult one = LoadCorrectionGrids(dn, de, 1), two = LoadCorrectionGrids(dn, de, 2);
    SCOPED_TRACE(one.error);
    EXPECT_EQ(two.error, one.error);
    EXPECT_EQ(two.errorGreek, one.errorGreek);
    ASSERT_EQ(two.grids.has_value(), one.grids.has_value());
    if (one.grids) {
      EXPECT_EQ(two.grids->dN.values, one.grids->dN.values);
      EXPECT_EQ(two.grids->dE.values, one.grids->dE.values);
    } else {
      EXPECT_EQ(one.error.rfind(dnText == bad ? dn : de, 0), 0u);
    }
  }
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
