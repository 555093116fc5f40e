// The chains on vector lanes against the plain routines, on a dense net over both regions:
// every value within 1e-9 m and 1e-12 rad, the same points outside the grid; the jobs write
// the same files, counting the printed values that differ (at most one in a million).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "data_files/jobs.h"
#include "core/cartesian.h"
#include "core/geodetic_params.h"
#include "core/lanes.h"
#include "core/math_functions.h"
#include "core/transverse_mercator.h"
#include "engine/conversion.h"
#include "tests/support/folder_test.h"
#include "transform/correction_grid.h"
#include "transform/datum.h"

namespace vortan {
namespace {

bool LanesRun() { return std::string(lanes::Target()) != "none"; }

// The target that runs, chosen again at the end of the scope (the tests select each in turn).
class RestoresTarget {
 public:
  RestoresTarget() : was_(lanes::Target()) {}
  ~RestoresTarget() { lanes::SelectTarget(was_.c_str()); }

 private:
  std::string was_;
};

TransformContext Ready(const RegionProfile& profile) {
  TransformContext context = MakeContext(profile, kDataFileBounds);
  const std::string grids = std::string(VORTAN_TEST_DATA) + "/reference/grids/";
  EXPECT_EQ(InitialStep(context, grids + kDnGridFileName, grids + kDeGridFileName), "");
  return context;
}

// HTRS07 latitude, longitude (radians) every 2 km of TM07 over the extent of the mainland grid,
// every 0.005 degrees over Kastelorizo, heights from -60 to 2,940 m.
struct NetPoint {
  double latitude, longitude, height;
};
std::vector<NetPoint> Net(const RegionProfile& profile) {
  std::vector<NetPoint> net;
  int k = 0;
  if (profile.hasGrids) {
    const GeodeticParams tm07 = MakeGrs80Params(profile.tm07);
    const GridBounds& g = kDataFileBounds;
    for (double n = g.nMin + 700; n < g.nMax; n += 2000) {
      for (double e = g.eMin + 300; e < g.eMax; e += 2000) {
        const TmInverseResult r = TmInverse(tm07, e, n + profile.tm07.falseNorthing);
        net.push_back({r.latitude, r.longitude, 10.0 * (k++ % 300) - 60});
      }
    }
  } else {
    for (double lat = 35.9; lat < 36.3; lat += 0.005) {
      for (double lon = 29.3; lon < 29.9; lon += 0.005) {
        net.push_back({lat * kPi / 180, lon * kPi / 180, 10.0 * (k++ % 300) - 60});
      }
    }
  }
  return net;
}

// The entry values of a net point in a form (in GGRS87 as if its latitude and longitude were
// GGRS87's: the same area either way).
Xyz Entry(const RegionProfile& profile, Form form, const NetPoint& p) {
  const Projection& tm = InHtrs07(form) ? profile.tm07 : profile.tm87;
  const GeodeticParams params = MakeGrs80Params(tm);
  switch (form) {
    case Form::kHtrs07Xyz: {
      const Cartesian c = GeodeticToCartesian(params, p.latitude, p.longitude, p.height);
      return {c.x, c.y, c.z};
    }
    case Form::kHtrs07Tm07:
    case Form::kGgrs87Tm87: {
      const GridPoint g =
          TmForward(params, p.latitude, p.longitude - tm.centralMeridianDeg * kPi / 180);
      return {g.easting, g.northing, p.height};
    }
    default: return {p.latitude, p.longitude, p.height};
  }
}

// The net points that both jobs take in (inside the grid read, both ways).
std::vector<NetPoint> JobNet(const TransformContext& context) {
  const RegionProfile& profile = *context.profile;
  const Conversion forward(context, Form::kHtrs07Xyz, Form::kGgrs87Tm87, false, Routines::kPlain);
  const Conversion back(context, Form::kGgrs87Tm87, Form::kHtrs07Tm07, false, Routines::kPlain);
  std::vector<NetPoint> kept;
  for (const NetPoint& p : Net(profile)) {
    double out[3];
    const Xyz x = Entry(profile, Form::kHtrs07Xyz, p), t = Entry(profile, Form::kGgrs87Tm87, p);
    if (forward.Point(x.data(), out).ok() && back.Point(t.data(), out).ok()) kept.push_back(p);
  }
  return kept;
}

// A chain's iterations stop within 1e-15 rad of their limit, 6e-9 m on the ground: two
// evaluations whose functions differ in their last bits end that far apart in metres. Angles
// keep to 1e-12 rad by far.
constexpr double kMetreTolerance = 2e-8;
constexpr double kRadianTolerance = 1e-12;

TEST(Lanes, EveryChainIsThePlainRoutinesWithinTolerances) {
  if (!LanesRun()) GTEST_SKIP() << "no vector target in this build or on this processor";
  const RestoresTarget restore;
  for (const char* target : lanes::Targets()) {
    ASSERT_TRUE(lanes::SelectTarget(target));
    for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
      const TransformContext context = Ready(*profile);
      const std::vector<NetPoint> net = Net(*profile);
      double worstMetres = 0, worstRadians = 0;
      for (Form from : kAllForms) {
        std::vector<Xyz> in;
        for (const NetPoint& p : net) in.push_back(Entry(*profile, from, p));
        for (Form to : kAllForms) {
          if (InHtrs07(from) == InHtrs07(to)) continue;
          std::vector<Xyz> lanes(in.size()), plain(in.size());
          std::vector<PointOutcome> lanesOutcome(in.size()), plainOutcome(in.size());
          Conversion(context, from, to, false, Routines::kLanes)
              .Points(in.data(), in.size(), lanes.data(), lanesOutcome.data());
          Conversion(context, from, to, false, Routines::kPlain)
              .Points(in.data(), in.size(), plain.data(), plainOutcome.data());
          int done = 0;
          for (std::size_t i = 0; i < in.size(); ++i) {
            ASSERT_EQ(lanesOutcome[i].status, plainOutcome[i].status) << i;
            if (!plainOutcome[i].ok()) continue;
            ++done;
            for (int c = 0; c < 3; ++c) {
              const bool angle = IsGeographic(to) && c < 2;
              const double d = std::fabs(lanes[i][c] - plain[i][c]);
              double& worst = angle ? worstRadians : worstMetres;
              worst = std::max(worst, d);
              ASSERT_LE(d, angle ? kRadianTolerance : kMetreTolerance)
                  << target << " " << profile->name << " " << FormName(from) << " -> "
                  << FormName(to) << " " << i;
            }
          }
          EXPECT_GT(done, 0);
        }
      }
      std::printf("%s, %.*s: the lanes within %.3g m and %.3g rad of the plain routines\n",
                  target, static_cast<int>(profile->name.size()), profile->name.data(),
                  worstMetres, worstRadians);
    }
  }
}

// Every vector target gives the same bits for the same point, on every chain: the kernels are
// plain operations in a fixed order, the rare lanes they do not serve the correctly rounded
// functions (the WebAssembly build's two lanes run the same kernels).
TEST(Lanes, EveryTargetGivesTheSameBits) {
  if (lanes::Targets().size() < 2) GTEST_SKIP() << "fewer than two vector targets here";
  const RestoresTarget restore;
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    const TransformContext context = Ready(*profile);
    const std::vector<NetPoint> net = Net(*profile);
    for (Form from : kAllForms) {
      std::vector<Xyz> in;
      for (const NetPoint& p : net) in.push_back(Entry(*profile, from, p));
      for (Form to : kAllForms) {
        if (from == to) continue;
        std::vector<Xyz> first;
        for (const char* target : lanes::Targets()) {
          ASSERT_TRUE(lanes::SelectTarget(target));
          std::vector<Xyz> out(in.size());
          std::vector<PointOutcome> outcome(in.size());
          Conversion(context, from, to, false, Routines::kLanes)
              .Points(in.data(), in.size(), out.data(), outcome.data());
          if (first.empty()) {
            first = out;
            continue;
          }
          for (std::size_t i = 0; i < in.size(); ++i) {
            ASSERT_EQ(std::memcmp(out[i].data(), first[i].data(), sizeof(Xyz)), 0)
                << target << " against " << lanes::Targets()[0] << ", " << profile->name << " "
                << FormName(from) << " -> " << FormName(to) << " point " << i;
          }
        }
      }
    }
  }
}

// The values of two files of records that differ, field by field; -1 when their lines differ
// in number or in their fields.
long DifferentValues(const std::string& a, const std::string& b, long& values) {
  std::istringstream sa(a), sb(b);
  std::string la, lb;
  long differ = 0;
  while (std::getline(sa, la)) {
    if (!std::getline(sb, lb)) return -1;
    std::istringstream fa(la), fb(lb);
    std::string x, y;
    while (std::getline(fa, x, ',')) {
      if (!std::getline(fb, y, ',')) return -1;
      ++values;
      differ += x != y;
    }
    if (std::getline(fb, y, ',')) return -1;
  }
  return std::getline(sb, lb) ? -1 : differ;
}

// The cells of positions at the edges of the grid (on them, beyond by less than the rounding
// and by more), at the bounds of the extent and inside both, on every target, as the extent
// test and LocateCorrection give them: the same cell and weights to the last bit, or none; a
// grid of one row has no cell. A position next to a bound of the extent is noted.
TEST(Lanes, GridCellsAreTheExtentTestAndLocateCorrection) {
  if (!LanesRun()) GTEST_SKIP() << "no vector target in this build or on this processor";
  const RestoresTarget restore;
  const GridHeader grid = Ready(kMainlandProfile).grids->dE.header;
  const double falseNorthing = kMainlandProfile.tm07.falseNorthing;
  const GridBounds& b = kDataFileBounds;
  const double rows = grid.rowCount - 1, columns = grid.columnCount - 1;
  const double near[] = {0, -0.5e-9, -2e-9, 1e-12, 0.5, 1, 7.25, 100.0 / 3, rows - 1e-13, rows,
                         rows + 0.5e-9, rows + 2e-9, columns, columns + 0.5e-9, columns + 2e-9,
                         -1, 1e6};
  std::vector<double> n, e;  // every pair of those, in cells from the north and the west
  for (double u : near) {
    for (double v : near) {
      n.push_back(grid.nNorth() - u * grid.step);
      e.push_back(grid.eWest + v * grid.step);
    }
  }
  for (double d : {0.0, 1e-7, -1e-7}) {  // on the extent's bounds, just inside and outside
    n.insert(n.end(), {b.nMin + falseNorthing - d, b.nMax + falseNorthing + d, 4.2e6, 4.2e6});
    e.insert(e.end(), {4e5, 4e5, b.eMin - d, b.eMax + d});
  }
  const double far = 1e300;
  for (const char* target : lanes::Targets()) {
    ASSERT_TRUE(lanes::SelectTarget(target));
    for (const int rowCount : {grid.rowCount, 1}) {
      for (const GridBounds& bounds : {b, GridBounds{-far, far, -far, far}}) {
        const lanes::Mesh mesh{rowCount, grid.columnCount, grid.step,
                               grid.nSouth + (rowCount - 1) * grid.step, grid.eWest,
                               kCellRounding};
        const lanes::Extent extent{bounds.nMin, bounds.nMax, bounds.eMin, bounds.eMax,
                                   falseNorthing};
        GridHeader header = grid;
        header.rowCount = rowCount;
        std::vector<double> row(n.size()), column(n.size()), t(n.size()), s(n.size());
        lanes::GridCells(mesh, extent, n.size(), n.data(), e.data(), row.data(), column.data(),
                         t.data(), s.data());
        for (std::size_t k = 0; k < n.size(); ++k) {
          const std::optional<GridCell> cell =
              InsideGridBounds(bounds, e[k], n[k], falseNorthing)
                  ? LocateCorrection(header, n[k], e[k])
                  : std::nullopt;
          SCOPED_TRACE(testing::Message() << target << ", rows " << rowCount << ", N " << n[k]
                                          << ", E " << e[k] << ", extent from " << bounds.eMin);
          ASSERT_EQ(row[k] != 0, cell.has_value());
          if (!cell) continue;
          EXPECT_EQ(row[k], cell->i);
          EXPECT_EQ(column[k], cell->j);
          EXPECT_EQ(t[k], cell->t);
          EXPECT_EQ(s[k], cell->s);
        }
      }
    }
    // Noted next to a bound, not inside.
    const lanes::Extent extent{b.nMin, b.nMax, b.eMin, b.eMax, falseNorthing};
    const lanes::Mesh mesh{grid.rowCount, grid.columnCount, grid.step, grid.nNorth(), grid.eWest,
                           kCellRounding};
    for (const double east : {b.eMin, b.eMin + 1}) {
      const double north = 4.2e6;
      double r, c, t, s;
      math::ResetNoted();
      lanes::GridCells(mesh, extent, 1, &north, &east, &r, &c, &t, &s);
      EXPECT_EQ(math::Noted(), east == b.eMin) << target << ", E " << east;
    }
  }
}

class LanesJobs : public support::FolderTest {};

// sxyz-to-ggrs87 and senh-to-htrs07 over the net, with the lanes and with the plain routines.
TEST_F(LanesJobs, WriteThePlainRoutinesFiles) {
  if (!LanesRun()) GTEST_SKIP() << "no vector target in this build or on this processor";
  const RestoresTarget restore;
  for (const char* target : lanes::Targets()) {
    ASSERT_TRUE(lanes::SelectTarget(target));
    for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
      const TransformContext context = Ready(*profile);
      std::string sxyz, senh;
      int k = 0;
      for (const NetPoint& p : JobNet(context)) {
        char line[160];
        const Xyz x = Entry(*profile, Form::kHtrs07Xyz, p);
        std::snprintf(line, sizeof line, "P%d,%.3f,%.3f,%.3f\n", k, x[0], x[1], x[2]);
        sxyz += line;
        const Xyz t = Entry(*profile, Form::kGgrs87Tm87, p);
        std::snprintf(line, sizeof line, "P%d,%.3f,%.3f,%.3f\n", k++, t[0], t[1], t[2]);
        senh += line;
      }
      struct Run {
        JobKind kind;
        std::string input;
        int outputs;
      };
      for (const Run& run : {Run{JobKind::kSxyzToGgrs87, Write("in.sxyz", sxyz), 4},
                             Run{JobKind::kSenhToHtrs07, Write("in.senh", senh), 3}}) {
        std::vector<std::string> files[2];
        for (int plain = 0; plain < 2; ++plain) {
          JobOptions options;
          options.routines = plain == 0 ? Routines::kLanes : Routines::kPlain;
          std::vector<std::string> outputs;
          for (int o = 0; o < run.outputs; ++o) {
            outputs.push_back(Path("out" + std::to_string(plain) + "-" + std::to_string(o)));
          }
          const JobOutcome outcome = RunJob(run.kind, context, run.input, outputs, options);
          ASSERT_EQ(outcome.status, JobStatus::kDone) << outcome.Message();
          for (const std::string& o : outputs) files[plain].push_back(Read(o));
        }
        long values = 0, differ = 0;
        for (int o = 0; o < run.outputs; ++o) {
          const long d = DifferentValues(files[0][o], files[1][o], values);
          ASSERT_GE(d, 0) << "output " << o << " differs in its lines";
          differ += d;
        }
        std::printf("%s, %.*s, job %d: %ld of %ld printed values differ from the plain "
                    "routines'\n",
                    target, static_cast<int>(profile->name.size()), profile->name.data(),
                    static_cast<int>(run.kind), differ, values);
        EXPECT_LE(differ, values / 1000000);
      }
    }
  }
}

}  // namespace
}  // namespace vortan
