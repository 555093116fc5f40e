// The datum chain with zero grid corrections against PROJ's cct, an independent
// implementation: Helmert in the coordinate-frame convention, then geographic, then
// Transverse Mercator, both directions, over a net of points covering Greece.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "core/cartesian.h"
#include "core/transverse_mercator.h"
#include "engine/conversion.h"
#include "tests/support/folder_test.h"
#include "transform/datum.h"

namespace vortan {
namespace {

const double kPi = 4 * std::atan(1.0);

const std::string kHelmert =
    "+proj=helmert +x=203.437 +y=-73.461 +z=-243.594 +rx=-0.170 +ry=-0.060 +rz=-0.151 "
    "+s=-0.294 +convention=coordinate_frame";
const std::string kTm87 = "+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=0 +ellps=GRS80";
const std::string kTm07 =
    "+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=-2000000 +ellps=GRS80";

// Runs cct with the pipeline on the lines of input; one output row of numbers per line.
std::vector<std::vector<double>> Cct(const std::string& pipeline, const std::string& input) {
  // A folder per call: ctest runs the tests of this file side by side.
  const support::TempFolder folder(support::CurrentTestName());
  const std::string path = folder.Write("input.txt", input);
  const std::string command = std::string(CCT_EXECUTABLE) + " -d 6 " + pipeline + " " + path;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::vector<std::vector<double>> rows;
  if (!pipe) return rows;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream in(line);
    std::vector<double> row;
    double v;
    while (in >> v) row.push_back(v);
    if (!row.empty()) rows.push_back(row);
  }
  ::pclose(pipe);
  return rows;
}

struct Net {
  std::vector<Cartesian> htrs07;
  std::string text;
};

Net GreekNet() {
  Net net;
  const GeodeticParams grs80 = MakeGrs80Params(kMainlandProfile.tm07);
  for (double lat = 34.9; lat <= 41.7; lat += 0.4) {
    for (double lon = 19.6; lon <= 28.2; lon += 0.4) {
      const Cartesian c = GeodeticToCartesian(grs80, lat * kPi / 180, lon * kPi / 180, 350);
      net.htrs07.push_back(c);
      char buffer[128];
      std::snprintf(buffer, sizeof buffer, "%.4f %.4f %.4f\n", c.x, c.y, c.z);
      net.text += buffer;
    }
  }
  return net;
}

TransformContext ZeroCorrections() {
  static RegionProfile noGrids = [] {
    RegionProfile p = kMainlandProfile;
    p.hasGrids = false;
    return p;
  }();
  TransformContext context = MakeContext(noGrids, kDataFileBounds);
  InitialStep(context, "", "");
  return context;
}

TEST(ProjCrossCheck, Htrs07CartesianToTm87) {
  const Net net = GreekNet();
  const auto rows = Cct("+proj=pipeline +step " + kHelmert +
                            " +step +inv +proj=cart +ellps=GRS80 +step " + kTm87,
                        net.text);
  ASSERT_EQ(rows.size(), net.htrs07.size()) << "cct did not answer every point";
  const TransformContext context = ZeroCorrections();
  double worst = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Cartesian& c = net.htrs07[i];
    const PointResult r =
        Conversion(context, Form::kHtrs07Xyz, Form::kGgrs87Tm87).Chain(Xyz{c.x, c.y, c.z}.data());
    worst = std::max(worst, std::hypot(r.ggrs87.easting - rows[i][0],
                                       r.ggrs87.northing - rows[i][1]));
  }
  std::printf("largest difference from cct, HTRS07 X,Y,Z to TM87: %.4f mm over %zu points\n",
              worst * 1000, rows.size());
  EXPECT_LT(worst, 1e-3);
}

TEST(ProjCrossCheck, Tm87ToHtrs07Tm07) {
  const Net net = GreekNet();
  // The TM87 positions of the net, from cct itself.
  const auto tm87 = Cct("+proj=pipeline +step " + kHelmert +
                            " +step +inv +proj=cart +ellps=GRS80 +step " + kTm87,
                        net.text);
  ASSERT_EQ(tm87.size(), net.htrs07.size());
  std::string input;
  for (const auto& row : tm87) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%.4f %.4f %.4f\n", row[0], row[1], row[2]);
    input += buffer;
  }
  const auto tm07 = Cct("+proj=pipeline +step +inv " + kTm87 +
                            " +step +proj=cart +ellps=GRS80 +step +inv " + kHelmert +
                            " +step +inv +proj=cart +ellps=GRS80 +step " + kTm07,
                        input);
  ASSERT_EQ(tm07.size(), tm87.size());
  const TransformContext context = ZeroCorrections();
  double worst = 0;
  for (std::size_t i = 0; i < tm07.size(); ++i) {
    const PointResult r = Conversion(context, Form::kGgrs87Tm87, Form::kHtrs07Tm07)
                              .Chain(Xyz{tm87[i][0], tm87[i][1], tm87[i][2]}.data());
    worst = std::max(worst, std::hypot(r.htrs07.easting - tm07[i][0],
                                       r.htrs07.northing - tm07[i][1]));
  }
  std::printf("largest difference from cct, TM87 E,N,h to HTRS07 TM07: %.4f mm over %zu points\n",
              worst * 1000, tm07.size());
  EXPECT_LT(worst, 1e-3);
}

}  // namespace
}  // namespace vortan
