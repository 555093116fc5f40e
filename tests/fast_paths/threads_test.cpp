// A job on several threads writes the files of one thread byte for byte, and a point that stops
// the job (outside the grid, a field that is not a number, a numeric fault, a record that
// cannot be read) stops it at the same point, with the same outcome and the same files. The
// inputs are the reference files repeated into many batches, so that the stops fall into
// every position of a batch and of a thread's share of it.
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data_files/jobs.h"
#include "tests/support/folder_test.h"
#include "transform/datum.h"

namespace vortan {
namespace {

const std::string kReference = std::string(VORTAN_TEST_DATA) + "/reference/";

// The lines of a reference input without their line ends.
std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(support::ReadFile(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// `count` records made of the reference lines, each with an id of its own.
std::vector<std::string> Records(const std::string& path, std::size_t count) {
  const std::vector<std::string> lines = Lines(path);
  std::vector<std::string> records;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& line = lines[i % lines.size()];
    const std::string id = "R" + std::to_string(i + 1);
    // A quoted id ("P22, kerb") keeps its quotes and its comma.
    records.push_back(line[0] == '"' ? "\"" + id + " " + line.substr(1)
                                     : id + line.substr(line.find(',')));
  }
  return records;
}

// The first n lines of a text of CR LF lines.
std::string FirstLines(const std::string& text, std::size_t n) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < n; ++i) end = text.find("\r\n", end) + 2;
  return text.substr(0, end);
}

// The files of a job stopped at record `at` hold the lines of the records before it, and the
// lines that the stopped point itself writes before the step that stops it (`own` per output).
void ExpectLinesUpTo(const std::vector<std::string>& stopped, const std::vector<std::string>& full,
                     std::size_t at, const std::vector<std::size_t>& own) {
  ASSERT_EQ(stopped.size(), full.size());
  for (std::size_t i = 0; i < full.size(); ++i) {
    const std::string before = FirstLines(full[i], at);
    EXPECT_EQ(stopped[i].compare(0, before.size(), before), 0)
        << "output " << i << " does not begin with the lines of the records before the stop";
    std::size_t lines = 0;
    for (std::size_t k = 0; (k = stopped[i].find("\r\n", k)) != std::string::npos; k += 2) ++lines;
    EXPECT_EQ(lines, at + own[i]) << "output " << i;
  }
}

std::string Join(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& r : records) text += r + "\r\n";
  return text;
}

class ThreadsLikeOne : public support::FolderTest {
 protected:
  void SetUp() override {
    mainland_ = MakeContext(kMainlandProfile, kDataFileBounds);
    ASSERT_EQ(InitialStep(mainland_, kReference + "grids/dN_2km_V1-0.grd",
                          kReference + "grids/dE_2km_V1-0.grd"),
              "");
    kastelorizo_ = MakeContext(kKastelorizoProfile, kDataFileBounds);
    ASSERT_EQ(InitialStep(kastelorizo_, "", ""), "");
  }
  // Runs the job on `threads` threads into files named after the run; returns the outcome and
  // the texts of the outputs.
  struct Run {
    JobOutcome outcome;
    std::string message;
    std::vector<std::string> files;
    std::vector<JobProgress> progress;
    bool progressElsewhere = false;  // a report came on another thread than the caller's
  };
  Run RunWith(JobKind kind, const TransformContext& context, const std::string& input,
              int threads) {
    // Every run writes into a folder of its own, under the same file names.
    const std::filesystem::path runFolder = folder_ / ("threads" + std::to_string(threads));
    std::filesystem::create_directories(runFolder);
    std::vector<std::string> outputs;
    for (std::size_t i = 0; i < DefinitionOf(kind).outputCount(); ++i) {
      outputs.push_back((runFolder / ("out" + std::to_string(i))).string());
    }
    JobOptions options;
    options.threads = threads;
    Run run;
    const std::thread::id caller = std::this_thread::get_id();
    options.progress = [&](const JobProgress& p) {
      run.progress.push_back(p);
      run.progressElsewhere = run.progressElsewhere || std::this_thread::get_id() != caller;
    };
    run.outcome = RunJob(kind, context, input, outputs, options);
    for (const std::string& o : outputs) run.files.push_back(support::ReadFile(o));
    // The message names the outputs: name them as one thread's run does.
    run.message = run.outcome.Message();
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    const std::string own = separator + ("threads" + std::to_string(threads)) + separator;
    const std::string first = separator + std::string("threads1") + separator;
    for (std::size_t at = 0; (at = run.message.find(own, at)) != std::string::npos;) {
      run.message.replace(at, own.size(), first);
      at += own.size();
    }
    return run;
  }

  // The job on 2, 3 and 8 threads gives the outcome and the files of one thread, which are
  // returned.
  std::vector<std::string> ExpectSameAsOneThread(JobKind kind, const TransformContext& context,
                                                 const std::string& text, JobStatus expected) {
    Write("input.txt", text);
    const Run one = RunWith(kind, context, Path("input.txt"), 1);
    EXPECT_EQ(one.outcome.status, expected) << one.outcome.Message();
    for (int threads : {2, 3, 8}) {
      SCOPED_TRACE("threads " + std::to_string(threads));
      const Run many = RunWith(kind, context, Path("input.txt"), threads);
      EXPECT_EQ(many.outcome.status, one.outcome.status);
      EXPECT_EQ(many.outcome.pointsWritten, one.outcome.pointsWritten);
      EXPECT_EQ(many.outcome.pointId, one.outcome.pointId);
      EXPECT_EQ(many.outcome.file, one.outcome.file);
      EXPECT_EQ(many.outcome.line, one.outcome.line);
      EXPECT_EQ(many.outcome.field, one.outcome.field);
      EXPECT_EQ(many.outcome.reason, one.outcome.reason);
      EXPECT_EQ(many.message, one.message);
      // The progress is told on the calling thread, never going back, and a job done ends
      // with all its points and bytes.
      EXPECT_FALSE(many.progressElsewhere);
      for (std::size_t i = 1; i < many.progress.size(); ++i) {
        EXPECT_LE(many.progress[i - 1].pointsDone, many.progress[i].pointsDone);
        EXPECT_LE(many.progress[i - 1].bytesRead, many.progress[i].bytesRead);
      }
      if (many.outcome.status == JobStatus::kDone && many.progress.empty()) {
        ADD_FAILURE() << "no progress told";
      } else if (many.outcome.status == JobStatus::kDone) {
        EXPECT_EQ(many.progress.back().pointsDone, many.outcome.pointsWritten);
        EXPECT_EQ(many.progress.back().bytesRead, many.progress.back().bytesTotal);
      }
      EXPECT_EQ(many.files.size(), one.files.size());
      for (std::size_t i = 0; i < one.files.size() && i < many.files.size(); ++i) {
        EXPECT_TRUE(many.files[i] == one.files[i]) << "output " << i << " differs";
      }
    }
    return one.files;
  }

  // The files of the job on the records without the stop.
  std::vector<std::string> FullRun(JobKind kind, const std::vector<std::string>& records) {
    Write("full.txt", Join(records));
    return RunWith(kind, mainland_, Path("full.txt"), 1).files;
  }

  TransformContext mainland_;
  TransformContext kastelorizo_;
};

// Enough records for several batches of every thread.
constexpr std::size_t kManyRecords = 20000;

struct JobInput {
  JobKind kind;
  const char* input;  // reference input of the mainland
};

constexpr JobInput kJobs[] = {{JobKind::kSflhToSenh, "mainland/GGRS87-SFLh.txt"},
                              {JobKind::kSenhToHtrs07, "mainland/GGRS87-SENh.txt"},
                              {JobKind::kSflhToSxyz, "mainland/HTRS07-SFLh.txt"},
                              {JobKind::kSxyzToGgrs87, "mainland/HTRS07-SXYZ.txt"}};

TEST_F(ThreadsLikeOne, EveryJobWritesTheFilesOfOneThread) {
  for (const JobInput& job : kJobs) {
    SCOPED_TRACE(job.input);
    ExpectSameAsOneThread(job.kind, mainland_, Join(Records(kReference + job.input, kManyRecords)),
                          JobStatus::kDone);
  }
}

TEST_F(ThreadsLikeOne, KastelorizoJobsWriteTheFilesOfOneThread) {
  ExpectSameAsOneThread(
      JobKind::kSxyzToGgrs87, kastelorizo_,
      Join(Records(kReference + "kastelorizo/HTRS07-KAST-SXYZ.txt", kManyRecords)),
      JobStatus::kDone);
  ExpectSameAsOneThread(
      JobKind::kSenhToHtrs07, kastelorizo_,
      Join(Records(kReference + "kastelorizo/GGRS87-KAST-SENh.txt", kManyRecords)),
      JobStatus::kDone);
}

TEST_F(ThreadsLikeOne, SmallAndEmptyFilesAsOneThread) {
  const std::vector<std::string> records = Records(kReference + "mainland/HTRS07-SXYZ.txt", 300);
  for (std::size_t count : {0u, 1u, 2u, 255u, 256u, 257u, 300u}) {
    SCOPED_TRACE(count);
    ExpectSameAsOneThread(JobKind::kSxyzToGgrs87, mainland_,
                          Join(std::vector<std::string>(records.begin(), records.begin() + count)),
                          JobStatus::kDone);
  }
}

// Positions of a stop: the first record, inside the first batch, at the edges and inside of
// later batches and of a thread's share of one, and the last record.
const std::size_t kStopPositions[] = {0,    1,    2047, 2048,  2049,
                                      6143, 8191, 8192, 13001, kManyRecords - 1};

TEST_F(ThreadsLikeOne, OutsideTheGridStopsAtTheSamePoint) {
  for (std::size_t at : kStopPositions) {
    SCOPED_TRACE(at);
    // HTRS07 X, Y, Z far west of the grid (southern Italy), and TM87 E, N north of it.
    std::vector<std::string> sxyz = Records(kReference + "mainland/HTRS07-SXYZ.txt", kManyRecords);
    const std::vector<std::string> sxyzFull = FullRun(JobKind::kSxyzToGgrs87, sxyz);
    sxyz[at] = "FAR" + std::to_string(at) + ",4640000.000,1160000.000,4220000.000";
    // HTRS07 SFLh and SENk hold the line of the point outside; GGRS87 SFL and SEN do not.
    ExpectLinesUpTo(ExpectSameAsOneThread(JobKind::kSxyzToGgrs87, mainland_, Join(sxyz),
                                          JobStatus::kOutsideGrid),
                    sxyzFull, at, {1, 1, 0, 0});
    std::vector<std::string> senh = Records(kReference + "mainland/GGRS87-SENh.txt", kManyRecords);
    const std::vector<std::string> senhFull = FullRun(JobKind::kSenhToHtrs07, senh);
    senh[at] = "FAR" + std::to_string(at) + ",500000.000,4800000.000,10.000";
    // GGRS87 SFLh holds the line of the point outside; HTRS07 SFL and SEN do not.
    ExpectLinesUpTo(ExpectSameAsOneThread(JobKind::kSenhToHtrs07, mainland_, Join(senh),
                                          JobStatus::kOutsideGrid),
                    senhFull, at, {1, 0, 0});
  }
}

TEST_F(ThreadsLikeOne, AFieldThatIsNoNumberStopsAtTheSamePoint) {
  for (std::size_t at : kStopPositions) {
    SCOPED_TRACE(at);
    std::vector<std::string> sxyz = Records(kReference + "mainland/HTRS07-SXYZ.txt", kManyRecords);
    const std::vector<std::string> sxyzFull = FullRun(JobKind::kSxyzToGgrs87, sxyz);
    sxyz[at] = "BAD,4473350.762,2350872.18x,3878941.453";
    ExpectLinesUpTo(
        ExpectSameAsOneThread(JobKind::kSxyzToGgrs87, mainland_, Join(sxyz), JobStatus::kError),
        sxyzFull, at, {0, 0, 0, 0});
    std::vector<std::string> sflh = Records(kReference + "mainland/GGRS87-SFLh.txt", kManyRecords);
    sflh[at] = "BAD,400554.83830,205601.80284,";
    ExpectSameAsOneThread(JobKind::kSflhToSenh, mainland_, Join(sflh), JobStatus::kError);
  }
}

TEST_F(ThreadsLikeOne, ANumericFaultStopsAtTheSamePoint) {
  for (std::size_t at : kStopPositions) {
    SCOPED_TRACE(at);
    // On the polar axis the latitude divides by zero.
    std::vector<std::string> sxyz = Records(kReference + "mainland/HTRS07-SXYZ.txt", kManyRecords);
    const std::vector<std::string> sxyzFull = FullRun(JobKind::kSxyzToGgrs87, sxyz);
    sxyz[at] = "POLE,0,0,6356752.314";
    ExpectLinesUpTo(
        ExpectSameAsOneThread(JobKind::kSxyzToGgrs87, mainland_, Join(sxyz), JobStatus::kError),
        sxyzFull, at, {0, 0, 0, 0});
    // A latitude whose degrees are far beyond any whole number of 16 bits.
    std::vector<std::string> sflh = Records(kReference + "mainland/HTRS07-SFLh.txt", kManyRecords);
    sflh[at] = "HUGE,1e300,230950.14577,100.000";
    ExpectSameAsOneThread(JobKind::kSflhToSxyz, mainland_, Join(sflh), JobStatus::kError);
  }
}

TEST_F(ThreadsLikeOne, ARecordThatCannotBeReadStopsAtTheSamePoint) {
  for (std::size_t at : kStopPositions) {
    SCOPED_TRACE(at);
    // A quoted id that is never closed: the records before it are written, then the error.
    std::vector<std::string> sxyz = Records(kReference + "mainland/HTRS07-SXYZ.txt", kManyRecords);
    sxyz.resize(at + 1);
    sxyz[at] = "\"OPEN,4473350.762,2350872.180,3878941.453";
    ExpectSameAsOneThread(JobKind::kSxyzToGgrs87, mainland_, Join(sxyz), JobStatus::kError);
    // The file ends inside the last record.
    std::vector<std::string> senh = Records(kReference + "mainland/GGRS87-SENh.txt", kManyRecords);
    senh.resize(at + 1);
    senh[at] = "CUT,466591.820,4258474.289";
    ExpectSameAsOneThread(JobKind::kSenhToHtrs07, mainland_, Join(senh), JobStatus::kError);
  }
}

}  // namespace
}  // namespace vortan
