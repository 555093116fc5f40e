// The conversion between any two forms: where a job writes the same values, convert writes
// the same characters; TM07 E, N, h to GGRS87 as the single-point window's Command5 shows it;
// every ordered pair returns by its reverse; the height rule; arrays like single points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "core/cartesian.h"
#include "core/number_format.h"
#include "data_files/jobs.h"
#include "engine/conversion.h"
#include "core/angles.h"
#include "tests/support/folder_test.h"
#if VORTAN_SINGLE_POINT
#include "single_point/conversions.h"
#include "tests/single_point/scripted_platform.h"
#endif

namespace vortan {
namespace {

const std::string kReference = std::string(VORTAN_TEST_DATA) + "/reference/";

TransformContext Initialised(const RegionProfile& profile) {
  TransformContext context = MakeContext(profile, kDataFileBounds);
  const std::string grids = kReference + "grids/";
  EXPECT_EQ(InitialStep(context, grids + kDnGridFileName, grids + kDeGridFileName), "");
  return context;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2) {
    lines.push_back(text.substr(from, at - from));
  }
  return lines;
}

std::string DropLastField(const std::string& line) { return line.substr(0, line.rfind(',')); }

class ConvertFiles : public support::FolderTest {
 protected:
  std::string Convert(const TransformContext& context, Form from, Form to,
                      const std::string& input, bool keepHeights = false) {
    const Conversion conversion(context, from, to, keepHeights);
    const JobOutcome outcome = RunConversion(conversion, input, Path("out.txt"));
    EXPECT_EQ(outcome.status, JobStatus::kDone) << outcome.Message();
    return Read(Path("out.txt"));
  }
};

// Where a job writes the values of a form, convert writes the same characters.
TEST_F(ConvertFiles, WritesTheCharactersOfTheJobs) {
  struct Case {
    Form from, to;
    const char* input;     // mainland name of the input in the reference folder
    const char* expected;  // the job's output with the same values
    bool dropConverted, dropExpected;  // compare without the last field
  };
  const Case cases[] = {
      {Form::kHtrs07Xyz, Form::kHtrs07Geographic, "HTRS07-SXYZ.txt",
       "expected-sxyz-to-ggrs87.HTRS07-SFLh.txt", false, false},
      {Form::kHtrs07Xyz, Form::kHtrs07Tm07, "HTRS07-SXYZ.txt",
       "expected-sxyz-to-ggrs87.HTRS07-SENk.txt", true, true},
      {Form::kHtrs07Xyz, Form::kGgrs87Geographic, "HTRS07-SXYZ.txt",
       "expected-sxyz-to-ggrs87.GGRS87-SFL.txt", true, false},
      {Form::kHtrs07Xyz, Form::kGgrs87Tm87, "HTRS07-SXYZ.txt",
       "expected-sxyz-to-ggrs87.GGRS87-SEN.txt", true, false},
      {Form::kHtrs07Geographic, Form::kHtrs07Xyz, "HTRS07-SFLh.txt",
       "expected-sflh-to-sxyz.HTRS07-SXYZ.txt", false, false},
      {Form::kGgrs87Geographic, Form::kGgrs87Tm87, "GGRS87-SFLh.txt",
       "expected-sflh-to-senh.GGRS87-SENh.txt", false, false},
      {Form::kGgrs87Tm87, Form::kGgrs87Geographic, "GGRS87-SENh.txt",
       "expected-senh-to-htrs07.GGRS87-SFLh.txt", false, false},
      {Form::kGgrs87Tm87, Form::kHtrs07Geographic, "GGRS87-SENh.txt",
       "expected-senh-to-htrs07.HTRS07-SFL.txt", true, false},
      {Form::kGgrs87Tm87, Form::kHtrs07Tm07, "GGRS87-SENh.txt",
       "expected-senh-to-htrs07.HTRS07-SEN.txt", true, false},
  };
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    const TransformContext context = Initialised(*profile);
    const std::string folder = kReference + std::string(profile->name) + "/";
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(profile->name) + " " + std::string(FormName(c.from)) + " -> " +
                   std::string(FormName(c.to)));
      const std::vector<std::string> converted = Lines(
          Convert(context, c.from, c.to, folder + RegionFileName(*profile, c.input)));
      const std::string expectedName = c.expected;
      const std::string prefix = expectedName.substr(0, expectedName.find('.') + 1);
      const std::vector<std::string> expected = Lines(
          Read(folder + prefix + RegionFileName(*profile, expectedName.substr(prefix.size()))));
      ASSERT_EQ(converted.size(), expected.size());
      ASSERT_GT(expected.size(), 100u);
      for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(c.dropConverted ? DropLastField(converted[i]) : converted[i],
                  c.dropExpected ? DropLastField(expected[i]) : expected[i])
            << "line " << i + 1;
      }
    }
  }
}

// Across the datum the points go to the chain in blocks: a point that stops the conversion in
// the middle of a block leaves the lines of the points before it, as the whole file gives them,
// and names its own line.
TEST_F(ConvertFiles, AStopInsideABlockKeepsThePointsBeforeIt) {
  struct Case {
    Form from, to;
    const char* input;
    const char* bad;  // the record that stops the conversion
    JobStatus status;
  };
  const Case cases[] = {
      {Form::kGgrs87Tm87, Form::kHtrs07Tm07, "GGRS87-SENh.txt", "PX,100000.000,1000000.000,1.000",
       JobStatus::kOutsideGrid},
      {Form::kHtrs07Geographic, Form::kGgrs87Tm87, "HTRS07-SFLh.txt",
       "PX,950000.00000,231010.00000,1.000", JobStatus::kError},
      {Form::kHtrs07Xyz, Form::kGgrs87Geographic, "HTRS07-SXYZ.txt", "PX,1e308,1e308,1e308",
       JobStatus::kError},
  };
  const TransformContext context = Initialised(kMainlandProfile);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FormName(c.from)) + " -> " + std::string(FormName(c.to)));
    const std::vector<std::string> whole =
        Lines(Convert(context, c.from, c.to, kReference + "mainland/" + c.input));
    const std::string records = Read(kReference + "mainland/" + c.input);
    std::string input;
    std::size_t at = 0;
    for (int k = 0; k < 11; ++k) at = records.find("\r\n", at) + 2;
    input = records.substr(0, at) + c.bad + "\r\n" + records.substr(at);
    const Conversion conversion(context, c.from, c.to);
    const JobOutcome outcome = RunConversion(conversion, Write("in.txt", input), Path("out.txt"));
    EXPECT_EQ(outcome.status, c.status) << outcome.Message();
    EXPECT_EQ(outcome.pointsWritten, 11u);
    EXPECT_NE(outcome.Message().find("line 12"), std::string::npos) << outcome.Message();
    const std::vector<std::string> written = Lines(Read(Path("out.txt")));
    ASSERT_EQ(written.size(), 11u);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), whole.begin()));
  }
}

// Every ordered pair of forms, on the reference points of both regions: there and back again
// lands on the point (the way back is no exact inverse: within 5 mm and 0.0002" across the
// datum; to the last printed digit within one system).
TEST(ConvertPairs, EveryPairReturnsByItsReverse) {
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    const TransformContext context = Initialised(*profile);
    // The reference points as HTRS07 X, Y, Z, and the same points in every form.
    std::vector<std::array<double, 3>> xyz;
    std::istringstream in(support::ReadFile(kReference + std::string(profile->name) + "/" +
                                          RegionFileName(*profile, "HTRS07-SXYZ.txt")));
    const GeodeticParams grs80 = MakeGrs80Params(profile->tm07);
    for (std::string line; std::getline(in, line);) {
      std::array<double, 3> v{};
      const std::size_t at = line.rfind(',', line.rfind(',', line.rfind(',') - 1) - 1);
      std::sscanf(line.c_str() + at + 1, "%lf,%lf,%lf", &v[0], &v[1], &v[2]);
      // The series of the projections return a point near their central meridians only.
      const double lambda = CartesianToGeodetic(grs80, v[0], v[1], v[2]).longitude * 180 / kPi;
      const double west = profile->hasGrids ? 19.5 : 26, east = profile->hasGrids ? 28.5 : 31;
      if (lambda > west && lambda < east) xyz.push_back(v);
    }
    ASSERT_GT(xyz.size(), 100u);
    for (Form from : kAllForms) {
      const Conversion toFrom(context, Form::kHtrs07Xyz, from);
      for (Form to : kAllForms) {
        if (from == to) continue;
        SCOPED_TRACE(std::string(profile->name) + " " + std::string(FormName(from)) + " -> " +
                     std::string(FormName(to)));
        const Conversion there(context, from, to), back(context, to, from);
        const bool across = there.acrossDatum();
        const double metres = across ? 5e-3 : 1e-6;
        const double radians = across ? 1e-9 : 1e-12;
        for (const auto& point : xyz) {
          double a[3], b[3], c[3];
          ASSERT_TRUE(toFrom.Point(point.data(), a).ok());
          const PointOutcome o1 = there.Point(a, b);
          ASSERT_TRUE(o1.ok());
          ASSERT_TRUE(back.Point(b, c).ok());
          for (int k = 0; k < 3; ++k) {
            const bool angle = IsGeographic(from) && k < 2;
            EXPECT_NEAR(c[k], a[k], angle ? radians : metres) << k;
          }
        }
      }
    }
  }
}

#if VORTAN_SINGLE_POINT
// TM07 E, N, h to GGRS87 gives what the single-point window's Command5 shows: the same
// E, N and latitude, longitude to the last printed digit.
TEST(ConvertPairs, Tm07ToGgrs87ShowsWhatCommand5Shows) {
  support::WorkFolder folder;
  folder.CopyGrids(kReference + "grids");
  BoxMap boxes;
  testing::RecordingPlatform platform;
  SinglePointConversions window(kMainlandProfile, boxes, platform);
  ASSERT_EQ(window.Command3_Click().status, OutcomeStatus::kDone);
  const TransformContext context = Initialised(kMainlandProfile);
  const Conversion toTm87(context, Form::kHtrs07Tm07, Form::kGgrs87Tm87);
  const Conversion toGeographic(context, Form::kHtrs07Tm07, Form::kGgrs87Geographic);
  int compared = 0;
  for (double e = 150000.5; e <= 800000; e += 50000) {
    for (double n = 1900000.25; n <= 2600000; n += 50000) {
      boxes.SetText("Text11", FormatNumber(e, patterns::kMetres));
      boxes.SetText("Text12", FormatNumber(n, patterns::kMetres));
      boxes.SetText("Text10", "123.4");
      const double in[3] = {e, n, 123.4};
      double en[3], ll[3];
      const PointOutcome o = toTm87.Point(in, en);
      ASSERT_EQ(o.ok(), toGeographic.Point(in, ll).ok());
      ASSERT_EQ(window.Command5_Click().status,
                o.ok() ? OutcomeStatus::kDone : OutcomeStatus::kOutsideGrid);
      if (!o.ok()) continue;
      ++compared;
      EXPECT_EQ(boxes.Text("Text22"), FormatNumber(en[0], patterns::kMetres));
      EXPECT_EQ(boxes.Text("Text23"), FormatNumber(en[1], patterns::kMetres));
      const Dms phi = RadiansToDms(ll[0]), lambda = RadiansToDms(ll[1]);
      EXPECT_EQ(boxes.Text("Text38"), FormatNumber(phi.seconds, patterns::kSeconds));
      EXPECT_EQ(boxes.Text("Text40"), FormatNumber(lambda.seconds, patterns::kSeconds));
    }
  }
  EXPECT_GT(compared, 100);
}
#endif

// The default point of the single-point window: HTRS07 h 51.610 m is GGRS87 h 6.501 m, both
// ways; --keep-heights copies the input height.
TEST(ConvertPairs, HeightsAcrossTheDatum) {
  const TransformContext mainland = Initialised(kMainlandProfile);
  const double xyz[3] = {4382064.771, 2023782.319, 4155326.131};
  {
    const TransformContext* c = &mainland;
    double g07[3], g87[3], back[3], kept[3];
    ASSERT_TRUE(Conversion(*c, Form::kHtrs07Xyz, Form::kHtrs07Geographic).Point(xyz, g07).ok());
    EXPECT_EQ(FormatNumber(g07[2], patterns::kMetres), "51.610");
    ASSERT_TRUE(Conversion(*c, Form::kHtrs07Geographic, Form::kGgrs87Geographic).Point(g07, g87).ok());
    EXPECT_EQ(FormatNumber(g87[2], patterns::kMetres), "6.501");
    ASSERT_TRUE(Conversion(*c, Form::kGgrs87Geographic, Form::kHtrs07Tm07).Point(g87, back).ok());
    EXPECT_EQ(FormatNumber(back[2], patterns::kMetres), "51.610");
    ASSERT_TRUE(Conversion(*c, Form::kHtrs07Xyz, Form::kGgrs87Tm87, true).Point(xyz, kept).ok());
    EXPECT_EQ(kept[2], g07[2]);
    ASSERT_TRUE(Conversion(*c, Form::kGgrs87Geographic, Form::kHtrs07Xyz, true).Point(g87, kept).ok());
    double keptGeo[3];
    ASSERT_TRUE(Conversion(*c, Form::kHtrs07Xyz, Form::kHtrs07Geographic).Point(kept, keptGeo).ok());
    EXPECT_NEAR(keptGeo[2], g87[2], 1e-6);
  }
}

// The batch call gives each point what the single-point call gives, on one thread and two; a
// point outside the grid is NaN with its status, and a NaN in is a NaN out.
TEST(ConvertBatch, ArraysLikeSinglePoints) {
  const TransformContext context = Initialised(kMainlandProfile);
  const Conversion conversion(context, Form::kHtrs07Tm07, Form::kGgrs87Tm87);
  const std::size_t n = 20000;
  std::vector<double> e(n), north(n), h(n);
  for (std::size_t i = 0; i < n; ++i) {
    e[i] = 100000 + static_cast<double>(i % 200) * 3500;
    north[i] = 1800000 + static_cast<double>(i / 200) * 8000;
    h[i] = static_cast<double>(i % 7) * 100;
  }
  h[5] = std::nan("");
  for (int threads : {1, 2}) {
    std::vector<double> oe(n), on(n), oh(n);
    std::vector<PointStatus> status(n);
    BatchOptions options;
    options.threads = threads;
    const BatchOutcome outcome = ConvertBatch(conversion, e, north, h, oe, on, oh, status, options);
    EXPECT_EQ(outcome.completed, n);
    ASSERT_TRUE(outcome.firstFailure);
    std::size_t failures = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double in[3] = {e[i], north[i], h[i]};
      double out[3] = {0, 0, 0};
      const PointOutcome o = conversion.Point(in, out);
      ASSERT_EQ(status[i], o.status) << i;
      if (o.ok()) {
        ASSERT_EQ(oe[i], out[0]);
        ASSERT_EQ(on[i], out[1]);
        ASSERT_EQ(oh[i], out[2]);
      } else {
        ASSERT_TRUE(std::isnan(oe[i]) && std::isnan(on[i]) && std::isnan(oh[i]));
        if (o.status != PointStatus::kNoValue) ++failures;
      }
    }
    EXPECT_EQ(status[5], PointStatus::kNoValue);
    EXPECT_EQ(outcome.failures, failures);
    EXPECT_GT(failures, 0u);
    // With stopAtFirst the batch ends at the first failure in input order.
    options.stopAtFirst = true;
    const BatchOutcome stop = ConvertBatch(conversion, e, north, h, oe, on, oh, {}, options);
    EXPECT_EQ(stop.completed, *outcome.firstFailure);
    EXPECT_EQ(stop.firstFailure, outcome.firstFailure);
  }
}

}  // namespace
}  // namespace vortan
