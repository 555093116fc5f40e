#include "data_files/jobs.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/support/folder_test.h"
#include "tests/support/reference_cases.h"

namespace vortan {
namespace {

const std::string kReference = std::string(VORTAN_TEST_DATA) + "/reference/";

TransformContext Initialised(const RegionProfile& profile) {
  TransformContext context = MakeContext(profile, kDataFileBounds);
  const std::string error = InitialStep(context, kReference + "grids/dN_2km_V1-0.grd",
                                        kReference + "grids/dE_2km_V1-0.grd");
  EXPECT_EQ(error, "");
  return context;
}

class ReferenceFiles : public support::FolderTest,
                       public testing::WithParamInterface<support::ReferenceCase> {};

// Every job of both regions writes exactly the files of the independent implementation.
TEST_P(ReferenceFiles, ByteForByte) {
  const RegionProfile& profile = *GetParam().profile;
  const JobDefinition& job = DefinitionOf(GetParam().kind);
  const std::string folder = kReference + std::string(profile.name) + "/";
  const std::string input = folder + RegionFileName(profile, job.input.defaultName);
  std::vector<std::string> outputs;
  for (const JobFile& file : job.outputs) {
    outputs.push_back(Path(RegionFileName(profile, file.defaultName)));
  }
  const JobOutcome outcome = RunJob(job.kind, Initialised(profile), input, outputs);
  ASSERT_EQ(outcome.status, JobStatus::kDone) << outcome.Message();
  EXPECT_EQ(outcome.pointsWritten, profile.hasGrids ? 300u : 200u);
  for (std::size_t i = 1; i <= job.outputCount(); ++i) {
    const std::string name = RegionFileName(profile, job.outputs[i - 1].defaultName);
    const std::string expected =
        Read(folder + "expected-" + std::string(job.cliName) + "." + name);
    ASSERT_FALSE(expected.empty()) << name;
    EXPECT_TRUE(Read(outputs[i - 1]) == expected) << name << " differs from the reference";
  }
}

INSTANTIATE_TEST_SUITE_P(BothRegions, ReferenceFiles, support::kReferenceCases,
                         support::ReferenceCaseName);

class Jobs : public support::FolderTest {};

TEST_F(Jobs, OutsideTheGridGgrs87ToHtrs07StopsAfterTheGgrs87Line) {
  // The second point lies far north of the grid (TM87 N 4800000).
  const std::string input = Write("in.txt",
                                  "P1,466591.820,4258474.289,593.998\r\n"
                                  "FAR,500000.000,4800000.000,10.000\r\n"
                                  "P3,467294.571,4448728.640,338.202\r\n");
  const JobOutcome outcome =
      RunJob(JobKind::kSenhToHtrs07, Initialised(kMainlandProfile), input,
             {Path("sflh.txt"), Path("sfl.txt"), Path("sen.txt")});
  EXPECT_EQ(outcome.status, JobStatus::kOutsideGrid);
  EXPECT_EQ(outcome.pointId, "FAR");
  EXPECT_EQ(outcome.line, 2u);
  EXPECT_EQ(outcome.pointsWritten, 1u);
  EXPECT_NE(outcome.Message().find("Το σημείο είναι εκτός του καννάβου : FAR"), std::string::npos);
  const std::string sflh = Read(Path("sflh.txt"));
  EXPECT_EQ(sflh.substr(0, 3), "P1,");
  EXPECT_NE(sflh.find("\r\nFAR,"), std::string::npos);
  EXPECT_EQ(std::count(sflh.begin(), sflh.end(), '\n'), 2);
  EXPECT_EQ(Read(Path("sfl.txt")), "P1,382835.62533,233707.36533\r\n");
  EXPECT_EQ(Read(Path("sen.txt")), "P1,466741.722,2258761.635\r\n");
}

TEST_F(Jobs, OutsideTheGridHtrs07ToGgrs87StopsAfterTheHtrs07Lines) {
  const std::string input = Write("in.txt",
                                  "P1,4473350.762,2350872.180,3878941.453\r\n"
                                  "PARIS,4200952.532,168323.291,4780198.091\r\n"
                                  "P3,4406210.550,2195645.213,4041947.223\r\n");
  const std::vector<std::string> outputs = {Path("sflh.txt"), Path("senk.txt"), Path("sfl.txt"),
                                            Path("sen.txt")};
  const JobOutcome outcome =
      RunJob(JobKind::kSxyzToGgrs87, Initialised(kMainlandProfile), input, outputs);
  EXPECT_EQ(outcome.status, JobStatus::kOutsideGrid);
  EXPECT_EQ(outcome.pointId, "PARIS");
  EXPECT_EQ(outcome.pointsWritten, 1u);
  for (const char* name : {"sflh.txt", "senk.txt"}) {
    const std::string text = Read(Path(name));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << name;
    EXPECT_NE(text.find("\r\nPARIS,"), std::string::npos) << name;
  }
  EXPECT_EQ(Read(Path("sfl.txt")), "P1,374133.59347,274316.98712\r\n");
  EXPECT_EQ(Read(Path("sen.txt")), "P1,828145.224,4178237.356\r\n");
}

TEST_F(Jobs, EmptyInputCreatesEmptyOutputs) {
  const JobOutcome outcome = RunJob(JobKind::kSxyzToGgrs87, Initialised(kMainlandProfile),
                                    Write("in.txt", ""),
                                    {Path("a"), Path("b"), Path("c"), Path("d")});
  EXPECT_EQ(outcome.status, JobStatus::kDone);
  EXPECT_EQ(outcome.pointsWritten, 0u);
  for (const char* name : {"a", "b", "c", "d"}) {
    EXPECT_TRUE(std::filesystem::exists(Path(name)));
    EXPECT_EQ(Read(Path(name)), "");
  }
  EXPECT_EQ(outcome.Message(), "0 points written to " + Path("a") + ", " + Path("b") + ", " +
                                   Path("c") + " and " + Path("d") + ".");
}

// Disk space reserved ahead of the writes is given back: an output takes no more blocks than
// its bytes need, whether the job ends or stops at a bad record after several batches.
TEST_F(Jobs, OutputsKeepNoSpaceReservedPastTheirEnd) {
  for (const std::uint64_t badLine : {0u, 9000u}) {
    std::string input;
    for (std::uint64_t i = 1; i <= 20000; ++i) {
      input += "P" + std::to_string(i) + (i == badLine ? ",38x,240000.00000,0\r\n"
                                                       : ",380000.00000,240000.00000,0\r\n");
    }
    const JobOutcome outcome = RunJob(JobKind::kSflhToSenh, Initialised(kMainlandProfile),
                                      Write("in.txt", input), {Path("out.txt")});
    EXPECT_EQ(outcome.pointsWritten, badLine == 0 ? 20000u : badLine - 1);
#if !defined(_WIN32)  // Windows reserves nothing
    struct stat st {};
    ASSERT_EQ(::stat(Path("out.txt").c_str(), &st), 0);
    EXPECT_GT(st.st_size, 0);
    // The file system's own slack: a few blocks.
    EXPECT_LE(st.st_blocks * 512, st.st_size + (64 << 10)) << badLine;
#endif
  }
}

TEST_F(Jobs, CentralMeridianPointsGetTheFalseEastingAndTheScaleFactor) {
  const TransformContext context = Initialised(kMainlandProfile);
  RunJob(JobKind::kSflhToSenh, context, Write("in.txt", "C,380000.00000,240000.00000,0\r\n"),
         {Path("out.txt")});
  EXPECT_EQ(Read(Path("out.txt")).substr(0, 13), "C,500000.000,");
  // X, Y, Z of a point on 24 degrees, via the geographic-to-Cartesian job.
  RunJob(JobKind::kSflhToSxyz, context, Write("g.txt", "C,380000.00000,240000.00000,0\r\n"),
         {Path("xyz.txt")});
  RunJob(JobKind::kSxyzToGgrs87, context, Path("xyz.txt"),
         {Path("sflh.txt"), Path("senk.txt"), Path("sfl.txt"), Path("sen.txt")});
  const std::string senk = Read(Path("senk.txt"));
  EXPECT_EQ(senk.substr(senk.size() - 11), ",0.999600\r\n");
  EXPECT_NE(Read(Path("sflh.txt")).find(",240000.00000,"), std::string::npos);
}

TEST_F(Jobs, OutputsOfOneJobAreInputsOfTheNext) {
  const TransformContext context = Initialised(kMainlandProfile);
  // E,N,h -> GGRS87 phi,lambda,h -> E,N,h gives the input back to the millimetre. (Ids with a
  // comma are written without their quotes, so they would not read back as one id.)
  std::string senh = Read(kReference + "mainland/GGRS87-SENh.txt");
  std::string plain;
  for (std::size_t at = 0; at < senh.size();) {
    const std::size_t end = senh.find('\n', at) + 1;
    if (senh[at] != '"') plain += senh.substr(at, end - at);
    at = end;
  }
  ASSERT_GT(plain.size(), 10000u);
  ASSERT_EQ(RunJob(JobKind::kSenhToHtrs07, context, Write("senh-in.txt", plain),
                   {Path("sflh.txt"), Path("sfl.txt"), Path("sen.txt")})
                .status,
            JobStatus::kDone);
  ASSERT_EQ(RunJob(JobKind::kSflhToSenh, context, Path("sflh.txt"), {Path("senh.txt")}).status,
            JobStatus::kDone);
  // Heights below one metre are written without the leading zero.
  for (std::size_t at; (at = plain.find(",0.")) != std::string::npos;) plain.erase(at + 1, 1);
  for (std::size_t at; (at = plain.find(",-0.")) != std::string::npos;) plain.erase(at + 2, 1);
  EXPECT_TRUE(Read(Path("senh.txt")) == plain);
}

TEST_F(Jobs, NeverDestroysTheInputOrAnotherOutput) {
  const TransformContext context = Initialised(kMainlandProfile);
  const std::string input = Write("in.txt", "A,380000,240000,1\r\n");
  JobOutcome outcome = RunJob(JobKind::kSflhToSenh, context, input, {input});
  EXPECT_EQ(outcome.status, JobStatus::kError);
  EXPECT_NE(outcome.reason.find("is the input"), std::string::npos);
  // The same file under another spelling.
  outcome = RunJob(JobKind::kSflhToSenh, context, input, {(folder_ / "." / "in.txt").string()});
  EXPECT_EQ(outcome.status, JobStatus::kError);
  EXPECT_EQ(Read(input), "A,380000,240000,1\r\n");
  outcome = RunJob(JobKind::kSenhToHtrs07, context, input, {Path("a"), Path("b"), Path("a")});
  EXPECT_EQ(outcome.status, JobStatus::kError);
  EXPECT_NE(outcome.reason.find("two outputs"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Path("a")));  // refused before anything was opened
}

TEST_F(Jobs, AMissingInputCreatesNoOutput) {
  const TransformContext context = Initialised(kMainlandProfile);
  for (JobKind kind : {JobKind::kSflhToSxyz, JobKind::kSflhToSenh}) {
    const JobOutcome outcome = RunJob(kind, context, Path("missing.txt"), {Path("out.txt")});
    EXPECT_EQ(outcome.status, JobStatus::kError);
    EXPECT_EQ(outcome.file, Path("missing.txt"));
    EXPECT_NE(outcome.reason.find("cannot be opened"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));
  }
  const JobOutcome folder = RunJob(JobKind::kSflhToSenh, context, folder_.string(), {Path("o")});
  EXPECT_NE(folder.reason.find("is a folder"), std::string::npos);
  const JobOutcome noFolder = RunJob(JobKind::kSflhToSenh, context,
                                     Write("in.txt", "A,380000,240000,1\r\n"),
                                     {Path("no/such/folder/out.txt")});
  EXPECT_NE(noFolder.reason.find("folder does not exist"), std::string::npos);
}

TEST_F(Jobs, TransformJobsWaitForTheInitialStep) {
  const TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  const JobOutcome outcome =
      RunJob(JobKind::kSenhToHtrs07, context, Write("in.txt", ""), {Path("a"), Path("b"), Path("c")});
  EXPECT_EQ(outcome.status, JobStatus::kError);
  EXPECT_NE(outcome.reason.find("initial step"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Path("a")));
}

TEST_F(Jobs, NumericFaultsStopAtThePoint) {
  const TransformContext context = Initialised(kMainlandProfile);
  const JobOutcome outcome =
      RunJob(JobKind::kSxyzToGgrs87, context,
             Write("in.txt", "P1,4473350.762,2350872.180,3878941.453\r\nPOLE,0,0,6356752.314\r\n"),
             {Path("a"), Path("b"), Path("c"), Path("d")});
  EXPECT_EQ(outcome.status, JobStatus::kError);
  EXPECT_EQ(outcome.pointsWritten, 1u);
  EXPECT_EQ(outcome.line, 2u);
  EXPECT_NE(outcome.reason.find("numeric fault"), std::string::npos);
  const std::string sen = Read(Path("d"));
  EXPECT_EQ(std::count(sen.begin(), sen.end(), '\n'), 1);
}

}  // namespace
}  // namespace vortan
