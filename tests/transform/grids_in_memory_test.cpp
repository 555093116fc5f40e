// Grids handed over in memory (a pickled Transformer restoring its grids, the C library's
// grids from bytes) are held to the limits of a grid file: each limit refuses the pair in the
// initial step with the file's words, and the same grid written as a file is refused for the
// same reason.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "transform/correction_grid.h"
#include "transform/datum.h"
#include "transform/grid_file.h"

namespace vortan {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// 3 rows, 4 columns on the 2 km step of the mainland grid, corrections of a few centimetres.
GridPair SmallPair() {
  GridPair pair;
  for (CorrectionGrid* g : {&pair.dN, &pair.dE}) {
    g->header = {3, 4, 2000, 1846000, 42000};
    // dE differs from dN: a grid that is a copy of the other is refused.
    const float slope = g == &pair.dN ? 0.5f : 0.25f;
    for (int k = 0; k < 12; ++k) g->values.push_back(static_cast<float>(k) * slope - 3.0f);
  }
  return pair;
}

// A grid of SmallPair as its file holds it: the header, then the values from the southern row
// up (the 3 x 4 values as they are held, whatever the header has been changed to).
std::string AsFile(const CorrectionGrid& g) {
  const GridHeader& h = g.header;
  std::string text = FormatGridField(h.rowCount) + " " + FormatGridField(h.columnCount) + " " +
                     FormatGridField(h.step) + " " + FormatGridField(h.nSouth) + " " +
                     FormatGridField(h.eWest) + "\n";
  for (int south = 2; south >= 0; --south) {
    for (int k = 4 * south; k < 4 * south + 4; ++k) text += FormatGridField(g.values[k]) + " ";
    text += "\n";
  }
  return text;
}

struct Row {
  const char* rule;
  std::function<void(GridPair&)> change;
  const char* says;  // part of the message; "" when the pair is taken
  bool asFile;       // the same grid can be written as a file
};

TEST(GridsInMemory, EachLimitOfAGridFileHoldsInTheInitialStep) {
  const Row rows[] = {
      {"a sound pair", [](GridPair&) {}, "", true},
      {"the largest corrections", [](GridPair& p) {
         p.dN.values[0] = 1000;
         p.dE.values[11] = -1000;
       }, "", true},
      {"the widest step and corner", [](GridPair& p) {
         p.dN.header.step = p.dE.header.step = 100000;
         p.dN.header.nSouth = p.dE.header.nSouth = 10000000;
       }, "", true},
      {"no rows", [](GridPair& p) { p.dN.header.rowCount = 0; },
       "the dN grid, header: the row count 0 is not a whole number from 1 to 20000.", true},
      {"too many columns", [](GridPair& p) { p.dE.header.columnCount = 20001; },
       "the dE grid, header: the column count 20001 is not a whole number from 1 to 20000.",
       true},
      {"a step of zero", [](GridPair& p) { p.dN.header.step = 0; },
       "the dN grid, header: the step 0 is not positive.", true},
      {"a negative step", [](GridPair& p) { p.dE.header.step = -2000; },
       "the dE grid, header: the step -2000 is not positive.", true},
      {"a step below a metre", [](GridPair& p) { p.dN.header.step = 0.5; },
       "the step 0.5 m is outside 1 to 100000 m.", true},
      {"a step beyond 100 km", [](GridPair& p) { p.dN.header.step = 100001; },
       "the step 100001 m is outside 1 to 100000 m.", true},
      {"a step that is no number", [](GridPair& p) { p.dN.header.step = kNan; },
       "header field step: \"nan\" is not a number.", true},
      {"a southern row beyond TM07", [](GridPair& p) { p.dN.header.nSouth = 10000001; },
       "the southern Northing 10000001 m lies beyond any TM07 coordinate", true},
      {"a western column beyond TM07", [](GridPair& p) { p.dE.header.eWest = -2e7; },
       "the dE grid, header: the western Easting -20000000 m lies beyond", true},
      {"an infinite corner", [](GridPair& p) { p.dE.header.eWest = kInf; },
       "header field western Easting: \"inf\" is not a number.", true},
      // The values are counted as the file holds them: the second of the southern row is the
      // second value.
      {"a correction beyond 10 m", [](GridPair& p) { p.dN.values[8 + 1] = 1000.5f; },
       "value 2: \"1000.5\" is too large for a correction in centimetres", true},
      {"a correction that is no number", [](GridPair& p) { p.dE.values[4] = NAN; },
       "value 5: \"nan\" is not a number.", true},
      {"an infinite correction", [](GridPair& p) { p.dE.values[3] = -INFINITY; },
       "value 12: \"-inf\" is not a number.", true},
      {"fewer values than the header", [](GridPair& p) { p.dN.values.pop_back(); },
       "the dN grid: the grid holds 11 correction values, where its header announces 12 (3 x 4).",
       false},
      {"two headers", [](GridPair& p) { p.dE.header.eWest += 2000; },
       "The headers of the dN grid and the dE grid differ", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.rule);
    GridPair pair = SmallPair();
    row.change(pair);
    TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
    ASSERT_EQ(InitialStepWithGrids(context, SmallPair()), "");
    ASSERT_TRUE(context.Ready());
    const std::string error = InitialStepWithGrids(context, pair);
    const std::string says = row.says;
    if (says.empty()) {
      EXPECT_EQ(error, "");
      EXPECT_TRUE(context.Ready());
    } else {
      EXPECT_NE(error.find(says), std::string::npos) << error;
      EXPECT_FALSE(context.Ready());  // the grids taken before are unloaded
      EXPECT_EQ(context.grids, nullptr);
    }
    if (!row.asFile) continue;
    const GridLoadResult file = LoadCorrectionGridBytes(AsFile(pair.dN), "the dN grid",
                                                        AsFile(pair.dE), "the dE grid");
    if (says.empty()) {
      EXPECT_TRUE(file.grids) << file.error;
    } else {
      EXPECT_FALSE(file.grids);
      EXPECT_NE(file.error.find(says), std::string::npos) << file.error;
    }
  }
}

}  // namespace
}  // namespace vortan
