#include "transform/correction_grid.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>
#include <filesystem>
#include <string>

#include "tests/support/folder_test.h"
#include "transform/datum.h"

namespace vortan {
namespace {

namespace fs = std::filesystem;

class GridFiles : public support::FolderTest {};

// rows 3, columns 2, step 1000, south 1846000, west 42000; values 1..6 from the south-west.
constexpr const char* kSmallGrid = "3\r\n2\r\n1000\r\n1846000\r\n42000\r\n1 2\r\n3 4\r\n5 6\r\n";

TEST_F(GridFiles, SouthernRowComesFirstInTheFile) {
  std::string error;
  const auto grid = ReadCorrectionGrid(Write("g.grd", kSmallGrid), error);
  ASSERT_TRUE(grid) << error;
  EXPECT_EQ(grid->header.rowCount, 3);
  EXPECT_EQ(grid->header.columnCount, 2);
  EXPECT_EQ(grid->header.nNorth(), 1848000);
  EXPECT_EQ(grid->header.eEast(), 43000);
  EXPECT_EQ(grid->Value(3, 1), 1);  // south-west
  EXPECT_EQ(grid->Value(3, 2), 2);
  EXPECT_EQ(grid->Value(2, 1), 3);
  EXPECT_EQ(grid->Value(1, 1), 5);  // north-west
  EXPECT_EQ(grid->Value(1, 2), 6);
}

// The bytes of a grid file in memory read as the file reads: the same grid, the same messages
// (with the name given for the file).
TEST_F(GridFiles, BytesInMemoryReadAsTheFile) {
  const std::string texts[] = {kSmallGrid, "\xEF\xBB\xBF" "3,2,1000,1846000,42000,1,2,3,4,5,6",
                               "3,2,1000,1846000,42000\r\n1,2,x,4", "3,2,1000,1846000,42000,1,2",
                               "3,2,1000,1846000,42000,1,2,3,4,5,6,7", std::string("\0\0", 2)};
  for (const std::string& text : texts) {
    std::string fileError, bytesError;
    const std::string path = Write("g.grd", text);
    const auto fromFile = ReadCorrectionGrid(path, fileError);
    const auto fromBytes = ReadCorrectionGridBytes(text, path, bytesError);
    ASSERT_EQ(fromFile.has_value(), fromBytes.has_value()) << text;
    if (fromFile) {
      EXPECT_EQ(fromFile->header, fromBytes->header);
      EXPECT_EQ(fromFile->values, fromBytes->values);
    }
    EXPECT_EQ(bytesError, fileError);
  }
  const std::string other = "3,2,1000,1846000,43000,1,2,3,4,5,6";
  const GridLoadResult pair = LoadCorrectionGridBytes(kSmallGrid, "dN", other, "dE");
  EXPECT_FALSE(pair.grids);
  EXPECT_NE(pair.error.find("The headers of dN and dE differ"), std::string::npos) << pair.error;
  EXPECT_TRUE(LoadCorrectionGridBytes(kSmallGrid, "dN", "3,2,1000,1846000,42000,6,5,4,3,2,1", "dE")
                  .grids);
}

TEST_F(GridFiles, FieldsMaySeparateByCommasBlanksOrLineBreaks) {
  std::string error;
  const auto grid = ReadCorrectionGrid(Write("g.grd", "3,2,1000 1846000\n42000\r1,2\n3 4,5\t6"),
                                       error);
  ASSERT_TRUE(grid) << error;
  EXPECT_EQ(grid->Value(1, 2), 6);
  // Fields of 1 to 20 bytes, each separator in turn, with many bytes after them and few.
  const char* separators[] = {" ", ",", "\t", "\n", "\r", "\r\n", " \r\n\t"};
  const char* values[] = {"1", "-2.5", "3.25", "-4.000000", "5.1250000000000",
                          "-6.00000000000000000", "7.5", "8"};
  std::string text = "4 2 1000 1846000 42000";
  for (int k = 0; k < 8; ++k) text += separators[k % 7] + std::string(values[k]);
  const auto mixed = ReadCorrectionGrid(Write("m.grd", text), error);
  ASSERT_TRUE(mixed) << error;
  EXPECT_EQ(mixed->Value(4, 1), 1);
  EXPECT_EQ(mixed->Value(4, 2), -2.5);
  EXPECT_EQ(mixed->Value(3, 1), 3.25);
  EXPECT_EQ(mixed->Value(3, 2), -4);
  EXPECT_EQ(mixed->Value(2, 1), 5.125);
  EXPECT_EQ(mixed->Value(2, 2), -6);
  EXPECT_EQ(mixed->Value(1, 1), 7.5);
  EXPECT_EQ(mixed->Value(1, 2), 8);
  // The lines are counted across every kind of break: the last value stands on line 5.
  EXPECT_FALSE(ReadCorrectionGrid(Write("x.grd", text + "x"), error));
  EXPECT_NE(error.find("line 5, value 8"), std::string::npos) << error;
}

TEST_F(GridFiles, InterpolationAtNodesEdgesAndCentres) {
  const std::string dn = Write("dn.grd", kSmallGrid);
  const std::string de = Write("de.grd", "3 2 1000 1846000 42000 10 20 30 40 50 60");
  const GridLoadResult loaded = LoadCorrectionGrids(dn, de);
  ASSERT_TRUE(loaded.grids) << loaded.error;
  const GridPair& g = *loaded.grids;
  // At a node: that node's value exactly.
  auto at = [&](double n, double e) { return *InterpolateCorrection(g, n, e); };
  EXPECT_EQ(at(1848000, 42000).dN, 5);
  EXPECT_EQ(at(1848000, 42000).dE, 50);
  EXPECT_EQ(at(1847000, 43000).dN, 4);
  // Halfway between two nodes of one row: their mean.
  EXPECT_EQ(at(1848000, 42500).dN, 5.5f);
  EXPECT_EQ(at(1847000, 42500).dE, 35);
  // Halfway between two rows.
  EXPECT_EQ(at(1847500, 42000).dN, 4);
  // Centre of a cell: the mean of its four corners.
  EXPECT_EQ(at(1846500, 42500).dN, 2.5f);
  EXPECT_EQ(at(1847500, 42500).dE, 45);
  // On the southern row and the eastern column the last cell serves.
  EXPECT_EQ(at(1846000, 42000).dN, 1);
  EXPECT_EQ(at(1846000, 43000).dN, 2);
  EXPECT_EQ(at(1846500, 43000).dN, 3);
  // Outside the grid that was read: nothing, never a read outside the values.
  EXPECT_FALSE(InterpolateCorrection(g, 1845999.9, 42500));
  EXPECT_FALSE(InterpolateCorrection(g, 1848000.1, 42500));
  EXPECT_FALSE(InterpolateCorrection(g, 1847000, 41999.9));
  EXPECT_FALSE(InterpolateCorrection(g, 1847000, 43000.1));
}

TEST(GridBounds, EveryBoundIsInclusive) {
  constexpr double fn = -2000000;
  for (const GridBounds& b : {kSinglePointBounds, kDataFileBounds}) {
    EXPECT_TRUE(InsideGridBounds(b, 42000, 3846000 + fn, fn));
    EXPECT_TRUE(InsideGridBounds(b, b.eMax, b.nMax + fn, fn));
    EXPECT_FALSE(InsideGridBounds(b, 41999.999, 4000000 + fn, fn));
    EXPECT_FALSE(InsideGridBounds(b, 500000, 3845999.999 + fn, fn));
    EXPECT_FALSE(InsideGridBounds(b, b.eMax + 0.001, 4000000 + fn, fn));
    EXPECT_FALSE(InsideGridBounds(b, 500000, b.nMax + 0.001 + fn, fn));
  }
  EXPECT_EQ(kSinglePointBounds.nMax, 4659000);
  EXPECT_EQ(kSinglePointBounds.eMax, 883000);
  EXPECT_EQ(kDataFileBounds.nMax, 4655000);
  EXPECT_EQ(kDataFileBounds.eMax, 881000);
  EXPECT_TRUE(InsideGridBounds(kSinglePointBounds, 883000, 4659000 + fn, fn));
  EXPECT_FALSE(InsideGridBounds(kDataFileBounds, 883000, 4659000 + fn, fn));
}

TEST_F(GridFiles, BadFilesAreRefusedNamingFileAndPosition) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"", "ends before the row count"},
      {"3 2 1000", "ends before the southern Northing"},
      {"0 2 1000 1846000 42000", "row count 0 is not a whole number"},
      {"3 -2 1000 1846000 42000", "column count -2"},
      {"3 2.5 1000 1846000 42000 1 2 3", "column count 2.5"},
      {"1000000000 2 1000 1846000 42000", "row count 1000000000"},
      {"3 2 0 1846000 42000 1 2 3 4 5 6", "step 0 is not positive"},
      {"3 2 1000 1846000 42000 1 2 3 4 5", "ends after 5 of the 6 correction values"},
      {"3 2 1000 1846000 42000\n1 2\n3 x4\n5 6", "line 3, value 4: \"x4\" is not a number"},
      {"3 2 1000 1846000 42000 1 2 3 nan 5 6", "\"nan\" is not a number"},
      {"3 2 1000 1846000 42000 1 2 3 1e999 5 6", "\"1e999\" is not a number"},
      {"three 2 1000 1846000 42000", "header field row count: \"three\" is not a number"},
  };
  for (const Case& c : cases) {
    std::string error;
    const std::string path = Write("bad.grd", c.text);
    EXPECT_FALSE(ReadCorrectionGrid(path, error)) << c.text;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_EQ(error.rfind(path, 0), 0u) << error;  // the message starts with the file
  }
  std::string error;
  EXPECT_FALSE(ReadCorrectionGrid((folder_ / "missing.grd").string(), error));
  EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
  EXPECT_FALSE(ReadCorrectionGrid(folder_.string(), error));
  EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
}

TEST_F(GridFiles, DifferentHeadersAreRefusedAndNothingIsHalfLoaded) {
  const std::string dn = Write("dn.grd", kSmallGrid);
  const std::string de = Write("de.grd", "3 2 2000 1846000 42000 1 2 3 4 5 6");
  const GridLoadResult loaded = LoadCorrectionGrids(dn, de);
  EXPECT_FALSE(loaded.grids);
  EXPECT_NE(loaded.error.find("differ"), std::string::npos) << loaded.error;
  // A failed initial step leaves the mainland context without grids: the chains refuse.
  TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  EXPECT_NE(InitialStep(context, dn, de), "");
  EXPECT_FALSE(context.Ready());
  EXPECT_EQ(InitialStep(context, dn, (folder_ / "none.grd").string()).find("none.grd") !=
                std::string::npos,
            true);
  EXPECT_FALSE(context.Ready());
}

TEST(ReferenceGrids, LoadWithTheirHeader) {
  const std::string folder = std::string(VORTAN_TEST_DATA) + "/reference/grids/";
  const GridLoadResult loaded =
      LoadCorrectionGrids(folder + kDnGridFileName, folder + kDeGridFileName);
  ASSERT_TRUE(loaded.grids) << loaded.error;
  const GridHeader& h = loaded.grids->dE.header;
  EXPECT_EQ(h, (GridHeader{408, 422, 2000, 1846000, 42000}));
  EXPECT_EQ(h.nNorth(), 2660000);
  EXPECT_EQ(h.eEast(), 884000);
  EXPECT_EQ(loaded.grids->dN.values.size(), 408u * 422u);
}

// A TM07 position one rounding step south of the southern row passes the extent test (its
// N + 2000000 rounds to 3846000): it takes the correction of the southern row, not an
// out-of-grid stop.
TEST(ReferenceGrids, APositionInsideTheExtentByRoundingUsesTheEdgeCell) {
  const std::string folder = std::string(VORTAN_TEST_DATA) + "/reference/grids/";
  TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  ASSERT_EQ(InitialStep(context, folder + kDnGridFileName, folder + kDeGridFileName), "");
  const double south = std::nextafter(1846000.0, 0.0);
  ASSERT_TRUE(InsideGridBounds(kDataFileBounds, 500000, south, -2000000));
  const std::optional<Correction> edge = InterpolateCorrection(*context.grids, south, 500000);
  const std::optional<Correction> row = InterpolateCorrection(*context.grids, 1846000, 500000);
  ASSERT_TRUE(edge && row);
  EXPECT_NEAR(edge->dN, row->dN, 1e-4);
  EXPECT_NEAR(edge->dE, row->dE, 1e-4);
  // Beyond rounding it stays outside.
  EXPECT_FALSE(InterpolateCorrection(*context.grids, 1846000 - 0.01, 500000));
}

// The chains read both grids from one table, dN beside dE node by node: the same corrections to
// the bit as the grids, in every cell, at its corners, edges and inside.
TEST(ReferenceGrids, TheChainsTableGivesTheGridsCorrections) {
  const std::string folder = std::string(VORTAN_TEST_DATA) + "/reference/grids/";
  TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  ASSERT_EQ(InitialStep(context, folder + kDnGridFileName, folder + kDeGridFileName), "");
  ASSERT_TRUE(context.nodes);
  const GridHeader& h = context.grids->dE.header;
  for (int i = 1; i < h.rowCount; ++i) {
    for (int j = 1; j < h.columnCount; ++j) {
      for (const auto& [t, s] : {std::pair{0.0, 0.0}, {1.0, 1.0}, {0.0, 1.0}, {0.37, 0.81}}) {
        const GridCell cell{i, j, t, s};
        const Correction grids = CorrectionInCell(*context.grids, cell);
        const Correction nodes = CorrectionInCell(*context.nodes, cell);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(nodes.dN), std::bit_cast<std::uint32_t>(grids.dN))
            << i << " " << j << " " << t << " " << s;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(nodes.dE), std::bit_cast<std::uint32_t>(grids.dE))
            << i << " " << j << " " << t << " " << s;
      }
    }
  }
  // Unloading the grids unloads the table.
  context.DropGrids();
  EXPECT_FALSE(context.nodes);
}

}  // namespace
}  // namespace vortan
