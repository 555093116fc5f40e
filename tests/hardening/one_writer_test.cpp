// One writer per output, and stops that stop: a second job that would write a file another job
// is writing is refused and writes nothing; a stop signal ends a job that waits for a pipe, a
// FIFO or a terminal at once, with the status a shell expects and complete lines; what a killed
// conversion left behind goes with the next run in its folder; and on Windows no path names a
// stream inside a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "data_files/jobs.h"
#include "data_files/output_files.h"
#include "io/files.h"
#include "tests/support/folder_test.h"
#include "transform/datum.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#endif

namespace vortan {
namespace {

// A colon is a drive's only where it follows the drive letter at the start (after a \\?\ or
// \\.\ prefix too): anywhere else, NTFS takes the name before it as a file and the rest as a
// stream inside that file.
TEST(PathRule, AColonAfterTheDriveLetterNamesAStreamOfAFile) {
  const struct {
    const char* path;
    bool stream;
  } cases[] = {
      {"in.txt:s", true},
      {"in.txt::$DATA", true},
      {"C:\\data\\in.txt:s", true},
      {"C:\\data\\in.txt::$DATA", true},
      {"\\\\?\\C:\\data\\in.txt:s", true},
      {"\\\\server\\share\\in.txt:s", true},
      {"1:in.txt", true},
      {":in.txt", true},
      {"in.txt", false},
      {"C:in.txt", false},
      {"C:\\data\\in.txt", false},
      {"c:/data/in.txt", false},
      {"\\\\?\\C:\\data\\in.txt", false},
      {"\\\\.\\C:\\data\\in.txt", false},
      {"\\\\server\\share\\in.txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ColonInNameOf(c.path), c.stream) << c.path;
  }
}

#if defined(_WIN32)

const std::string kSflh = "P1,380000.00000,240000.00000,1.000\r\n";

// The Windows build opens no stream of a file, as an input or an output: the message names the
// path and says why.
TEST(PathRule, TheWindowsBuildOpensNoStreamOfAFile) {
  support::TempFolder temp(support::CurrentTestName());
  const std::string in = temp.Write("in.txt", kSflh);
  const TransformContext context = MakeContext(kKastelorizoProfile, kDataFileBounds);
  for (const auto& [input, output] : {std::pair{in, in + ":s"}, std::pair{in, in + "::$DATA"},
                                      std::pair{in + ":s", temp.Path("out.txt")}}) {
    const JobOutcome outcome = RunJob(JobKind::kSflhToSenh, context, input, {output});
    const std::string message = outcome.Message();
    SCOPED_TRACE(message);
    EXPECT_EQ(outcome.status, JobStatus::kError);
    EXPECT_NE(message.find(input == in ? output : input), std::string::npos);
    EXPECT_NE(message.find("holds a colon"), std::string::npos);
    EXPECT_NE(message.find("Nothing was written"), std::string::npos);
  }
  EXPECT_EQ(support::ReadFile(in), kSflh);
}

#endif

}  // namespace
}  // namespace vortan
