// However a job of the command-line tool is stopped (a signal, a pipe whose reader has gone),
// its outputs hold complete lines, the same number in each, and the tool says why it stopped
// with the status a shell expects; and no correction grid is ever an output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/folder_test.h"

namespace vortan {
namespace {

const std::string kGrids = std::string(VORTAN_TEST_DATA) + "/reference/grids/";
const std::string kTool = VORTAN_CLI;
const std::string kGridOptions =
    "--dn '" + kGrids + "dN_2km_V1-0.grd' --de '" + kGrids + "dE_2km_V1-0.grd' ";
// An endless SXYZ input: the job can only end by being stopped.
const std::string kEndless = "yes 'P1,4382064.771,2023782.319,4155326.131' | ";

class Stops : public support::FolderTest {
 protected:
  // Runs a shell script in the test folder; its exit status.
  int Shell(const std::string& script) {
    const int status = std::system(("cd '" + folder_.string() + "' && " + script).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The lines of each output, checking that each ends with a whole CR LF line.
  std::vector<std::size_t> CompleteLines(const std::vector<std::string>& names) const {
    std::vector<std::size_t> counts;
    for (const std::string& name : names) {
      const std::string text = Read(Path(name));
      if (!text.empty()) {
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << name;
      }
      counts.push_back(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    }
    return counts;
  }
};

// SIGTERM (timeout, a scheduler, a shutdown) and SIGHUP (a closed terminal) stop a job as
// Ctrl+C does: after the point it computes, with the same complete lines in every output.
TEST_F(Stops, SigtermAndSighupStopAJobWithTheSameCompleteLinesInEveryOutput) {
  struct Case {
    const char* signal;
    int status;
    const char* says;
  };
  for (const Case& c : {Case{"TERM", 143, "stopped by SIGTERM"},
                        Case{"HUP", 129, "stopped by SIGHUP"}}) {
    SCOPED_TRACE(c.signal);
    const int status = Shell(
        "rm -f a b c d; " + kEndless + "'" + kTool + "' " + kGridOptions +
        "sxyz-to-ggrs87 - a b c d 2>err & pid=$!; "
        "while [ ! -s d ]; do sleep 0.02; done; kill -" + c.signal + " $pid; wait $pid");
    EXPECT_EQ(status, c.status);
    const std::vector<std::size_t> lines = CompleteLines({"a", "b", "c", "d"});
    EXPECT_GT(lines[0], 0u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), lines[0]), 4);
    const std::string err = Read(Path("err"));
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_NE(err.find(std::to_string(lines[0]) + " points written"), std::string::npos) << err;
  }
}

// A closed pipe is a write error: exit 1, the other outputs cut back to the same lines, and a
// message that says standard output was closed (not that the disk is full).
TEST_F(Stops, AClosedPipeIsAWriteErrorThatNamesStandardOutput) {
  const int status = Shell("{ " + kEndless + "'" + kTool + "' " + kGridOptions +
                           "sxyz-to-ggrs87 - a - c d 2>err; echo $? >status; } | head -1 >/dev/null");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Read(Path("status")), "1\n");
  const std::vector<std::size_t> lines = CompleteLines({"a", "c", "d"});
  EXPECT_EQ(std::count(lines.begin(), lines.end(), lines[0]), 3);
  const std::string err = Read(Path("err"));
  EXPECT_NE(err.find("standard output: cannot be written: the program reading standard output "
                     "has closed it"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("free some space"), std::string::npos) << err;
  EXPECT_EQ(err.find("Free some space"), std::string::npos) << err;
}

// A correction grid is never an output, whether the job reads it or not: the grids named with
// --dn and --de, and the default names in the current folder, which a mainland run reads.
TEST_F(Stops, NoJobOrConversionWritesOverAGrid) {
  Write("in.txt", "A,380000,240000,1\r\n");
  const std::string grid = "-0.29,-0.31,-0.30\r\n";
  Write("dE_2km_V1-0.grd", grid);
  Write("mine_dN.grd", grid);
  for (const std::string& arguments :
       {std::string("sflh-to-sxyz in.txt dE_2km_V1-0.grd"),
        std::string("--region kastelorizo sflh-to-senh in.txt ./dE_2km_V1-0.grd"),
        std::string("--dn mine_dN.grd sflh-to-senh in.txt mine_dN.grd"),
        std::string("convert --from htrs07-geographic --to htrs07-xyz in.txt dE_2km_V1-0.grd")}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(Shell("'" + kTool + "' " + arguments + " 2>err"), 1);
    const std::string err = Read(Path("err"));
    EXPECT_NE(err.find("is the correction grid"), std::string::npos) << err;
    EXPECT_NE(err.find("Nothing was written"), std::string::npos) << err;
  }
  EXPECT_EQ(Read(Path("dE_2km_V1-0.grd")), grid);
  EXPECT_EQ(Read(Path("mine_dN.grd")), grid);
}

}  // namespace
}  // namespace vortan
