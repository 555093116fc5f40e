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

// Within one program (two jobs of Python's, of a window and a script) the rule is the same: the
// second job is refused, and the file is its own again when the first has closed it.
TEST(OneWriterInOneProgram, ASecondJobIsRefusedUntilTheFirstHasClosedTheOutput) {
  support::TempFolder temp(support::CurrentTestName());
  const auto Path = [&](const std::string& name) { return temp.Path(name); };
  OutputSet first;
  ASSERT_FALSE(first.Open({Path("out.txt")}, {}).has_value());
  OutputSet second;
  const std::optional<OutputError> refused = second.Open({Path("a"), Path("out.txt")}, {});
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->output, 1u);
#if defined(_WIN32)
  const char* const writer = "is being written by another program";  // Windows names none
#else
  const char* const writer = "is being written by another job of this program";
#endif
  EXPECT_NE(refused->reason.find(writer), std::string::npos) << refused->reason;
  EXPECT_FALSE(support::Exists(Path("a")));  // made for the refused job, removed again
  EXPECT_TRUE(first.Close());
  OutputSet third;
  EXPECT_FALSE(third.Open({Path("out.txt")}, {}).has_value());
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

#else

namespace fs = std::filesystem;

const std::string kTool = VORTAN_CLI;
const std::string kGrids = std::string(VORTAN_TEST_DATA) + "/reference/grids/";

class OneWriter : public support::FolderTest {
 protected:
  // Runs a shell script in the test folder; its exit status.
  int Shell(const std::string& script) {
    const std::string line = "cd '" + folder_.string() + "' || exit 99; " + script;
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The lines of a file, checking that it ends with a whole CR LF line.
  std::size_t CompleteLines(const std::string& name) const {
    const std::string text = Read(Path(name));
    if (!text.empty()) {
      EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << name;
    }
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  }
};

// While a job writes out.txt, a second job given out.txt for an output (the same job or another,
// in another program) is refused, naming the file and the process that writes it, and writes
// nothing: out.txt holds the first job's lines alone, complete.
TEST_F(OneWriter, ASecondProgramWritingAnOutputIsRefusedAndWritesNothing) {
  Write("other.txt", "Q9,381000.00000,241000.00000,2.000\r\n");
  // The first job writes its first lines, then waits for more input (for 5 s) while it holds
  // out.txt.
  const int status = Shell(
      "mkfifo feed; '" + kTool + "' sflh-to-senh - out.txt <feed 2>first & pid=$!; "
      "{ yes 'P1,380000.00000,240000.00000,1.000' | head -n 10000; sleep 5; } >feed & "
      "while [ ! -s out.txt ]; do sleep 0.02; done; echo $pid >pid; "
      "'" + kTool + "' sflh-to-senh other.txt out.txt 2>second; echo $? >status; "
      "'" + kTool + "' --region kastelorizo senh-to-htrs07 other.txt a out.txt c 2>third; "
      "echo $? >>status; kill -TERM $pid; wait $pid");
  EXPECT_EQ(status, 143) << Read(Path("first"));
  EXPECT_EQ(Read(Path("status")), "1\n1\n");
  std::string pid = Read(Path("pid"));
  pid.pop_back();
  for (const char* err : {"second", "third"}) {
    const std::string said = Read(Path(err));
    EXPECT_NE(said.find("out.txt: is being written by another program (process " + pid + ")"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("Nothing was written"), std::string::npos) << said;
  }
  EXPECT_FALSE(Exists(Path("a")));
  EXPECT_FALSE(Exists(Path("c")));
  const std::string out = Read(Path("out.txt"));
  EXPECT_GT(CompleteLines("out.txt"), 0u);
  EXPECT_EQ(out.find("Q9"), std::string::npos);
}

// A stop signal ends a job that waits: for its input from a pipe that stays open, for a FIFO
// that no program writes, for an output FIFO that no program reads. It ends at once, with the
// status of the signal and the words that say so, not when the pipe ends (with status 0) or at
// a second signal. A job stopped so has complete lines in every output, the same number.
TEST_F(OneWriter, AStopSignalEndsAJobThatWaitsAtOnce) {
  Write("in.txt", "P1,4500000.000,2000000.000,.250\r\n");
  ASSERT_EQ(Shell("mkfifo unwritten unread"), 0);
  const struct {
    const char* signal;
    const char* command;  // the tool's arguments; its standard input waits for 4 s
    int status;
    const char* says;
  } cases[] = {
      {"TERM", "sflh-to-senh - o.txt", 143, "stopped by SIGTERM"},
      {"INT", "sflh-to-senh - o.txt", 130, "stopped by Ctrl+C"},
      {"HUP", "sflh-to-senh - o.txt", 129, "stopped by SIGHUP"},
      {"TERM", "--region kastelorizo senh-to-htrs07 - a b c", 143, "stopped by SIGTERM"},
      {"TERM", "sflh-to-senh unwritten o.txt", 143, "stopped by SIGTERM"},
      {"TERM", "sflh-to-senh in.txt unread", 143, "stopped by SIGTERM"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.signal) + " " + c.command);
    Shell("rm -f o.txt a b c");
    // The tool's end, in milliseconds after the signal; a tool that outlives the signal by
    // 3 s is killed (status 137). The signal comes 2 s after the start: a tool started under an
    // emulator (the aarch64 build under qemu) on a loaded machine may take more than a second
    // to set its handlers, and a signal before that ends it without its words.
    const int status = Shell(
        "start=$(date +%s%N); { cat in.txt; sleep 4; } | { timeout -s " + std::string(c.signal) +
        " -k 3 --preserve-status 2 '" + kTool + "' " + c.command +
        " 2>err; echo $? >status; date +%s%N >end; }; "
        "echo $(( ($(cat end) - start) / 1000000 - 2000 )) >ms");
    EXPECT_EQ(status, 0);
    const std::string err = Read(Path("err"));
    EXPECT_EQ(Read(Path("status")), std::to_string(c.status) + "\n") << err;
    EXPECT_LT(std::stol(Read(Path("ms"))), 1500) << "the job went on waiting";
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    const std::vector<std::string> outputs =
        std::string(c.command).find(" a b c") != std::string::npos
            ? std::vector<std::string>{"a", "b", "c"}
            : std::vector<std::string>{"o.txt"};
    for (const std::string& name : outputs) {
      if (Exists(Path(name))) {
        EXPECT_EQ(CompleteLines(name), CompleteLines(outputs[0])) << name;
      }
    }
  }
}

// A conversion killed by SIGKILL cannot remove the hidden folder it writes its dataset in; the
// next conversion into that folder does, when the process named in the folder's name no longer
// runs. The folder of a process that runs, and a folder of another name, stay.
TEST_F(OneWriter, TheNextConversionRemovesTheFolderOfAKilledOne) {
  if (!VORTAN_WITH_GIS) GTEST_SKIP() << "this build converts no GIS datasets";
  const std::string convert = "'" + kTool + "' --dn '" + kGrids + "dN_2km_V1-0.grd' --de '" +
                              kGrids + "dE_2km_V1-0.grd' convert --from ggrs87-tm87 --to "
                              "htrs07-tm07 ";
  ASSERT_EQ(Shell("{ yes 'P1,566296.541,4529332.314,6.501' | " + convert +
                  "- out.gpkg 2>err & pid=$!; "
                  "while ! ls -a | grep -q '^.vortan-output-'; do sleep 0.02; done; sleep 0.2; "
                  "kill -KILL $pid; wait $pid; } 2>/dev/null; "
                  "ls -a | grep '^.vortan-output-' >left"),
            0);
  const std::string left = Read(Path("left"));
  ASSERT_EQ(std::count(left.begin(), left.end(), '\n'), 1) << left;
  const std::string killed = left.substr(0, left.size() - 1);
  const std::string running = ".vortan-output-" + std::to_string(::getpid()) + "-Ab12Cd";
  const std::string other = ".vortan-output-Ab12Cd";
  fs::create_directory(Path(running));
  fs::create_directory(Path(other));
  Write("in.txt", "P1,566296.541,4529332.314,6.501\r\n");
  ASSERT_EQ(Shell(convert + "in.txt out.gpkg 2>err"), 0) << Read(Path("err"));
  EXPECT_FALSE(Exists(Path(killed))) << killed;
  EXPECT_TRUE(Exists(Path(running)));
  EXPECT_TRUE(Exists(Path(other)));
  EXPECT_TRUE(Exists(Path("out.gpkg")));
}

#endif

}  // namespace
}  // namespace vortan
