// The command-line tool's exit status tells the kind of failure: 0 done, 1 an error (the
// message names file, line and field), 2 wrong usage, 3 stopped at a point outside the grid.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/folder_test.h"

namespace vortan {
namespace {

const std::string kGrids = std::string(VORTAN_TEST_DATA) + "/reference/grids/";

class CliExitStatus : public support::FolderTest {
 protected:
  // Runs vortan-transform with arguments (already quoted) in the test folder; returns the exit
  // status and keeps standard error in err_.
  int Run(const std::string& arguments, const std::string& stdinFile = "/dev/null",
          const std::string& before = "") {
    const std::string command = "cd '" + folder_.string() + "' && " + before + "'" + VORTAN_CLI +
                                "' " +
                                arguments + " <'" + stdinFile + "' 2>'" + Path("stderr") + "'" +
                                (arguments.find('>') == std::string::npos ? " >/dev/null" : "");
    const int status = std::system(command.c_str());
    err_ = Read(Path("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Grids() const {
    return "--dn '" + kGrids + "dN_2km_V1-0.grd' --de '" + kGrids + "dE_2km_V1-0.grd' ";
  }
  std::string err_;
};

TEST_F(CliExitStatus, WrongUsageIsTwo) {
  for (const char* arguments :
       {"", "no-such-job in out", "sflh-to-senh in", "sflh-to-senh in a b",
        "--threads 0 sflh-to-senh in out", "--region crete sflh-to-senh in out", "--frobnicate",
        "--dn"}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(Run(arguments), 2);
    EXPECT_NE(err_.find("vortan-transform: "), std::string::npos) << err_;
    EXPECT_NE(err_.find("--help"), std::string::npos) << err_;
  }
  EXPECT_EQ(Run("--help"), 0);
}

TEST_F(CliExitStatus, DoneIsZero) {
  Write("in.txt", "A,380000,240000,1\r\n");
  EXPECT_EQ(Run("sflh-to-senh in.txt out.txt"), 0) << err_;
  EXPECT_EQ(Read(Path("out.txt")), "A,500000.000,4205815.020,1.000\r\n");
  // Standard input to standard output.
  EXPECT_EQ(Run("sflh-to-senh - - >'" + Path("piped.txt") + "'", Path("in.txt")), 0) << err_;
  EXPECT_EQ(Read(Path("piped.txt")), "A,500000.000,4205815.020,1.000\r\n");
}

TEST_F(CliExitStatus, ErrorsAreOneAndNameFileLineAndField) {
  Write("in.txt", "A,380000,240000,1\r\nB,380000,x,1\r\n");
  EXPECT_EQ(Run("sflh-to-senh in.txt out.txt"), 1);
  EXPECT_NE(err_.find("in.txt, line 2, field λ: \"x\" is not a number"), std::string::npos)
      << err_;
  EXPECT_NE(err_.find("1 point written to out.txt"), std::string::npos) << err_;

  EXPECT_EQ(Run("sflh-to-senh missing.txt out.txt"), 1);
  EXPECT_NE(err_.find("missing.txt: cannot be opened"), std::string::npos) << err_;
  EXPECT_EQ(Run("sflh-to-senh in.txt in.txt"), 1);
  EXPECT_NE(err_.find("is the input"), std::string::npos) << err_;
  EXPECT_EQ(Read(Path("in.txt")), "A,380000,240000,1\r\nB,380000,x,1\r\n");
  EXPECT_EQ(Run("sflh-to-senh in.txt /dev/full"), 1);
  EXPECT_NE(err_.find("/dev/full: cannot be written (no space left on the device)"),
            std::string::npos)
      << err_;

  // The grids are looked for in the current folder unless given.
  Write("senh.txt", "P1,466591.820,4258474.289,593.998\r\n");
  EXPECT_EQ(Run("senh-to-htrs07 senh.txt a b c"), 1);
  EXPECT_NE(err_.find("dN_2km_V1-0.grd"), std::string::npos) << err_;
  Write("short.grd", "3\r\n2\r\n2000\r\n");
  Write("short2.grd", "3\r\n2\r\n2000\r\n");
  EXPECT_EQ(Run("--dn short.grd --de short2.grd senh-to-htrs07 senh.txt a b c"), 1);
  EXPECT_NE(err_.find("short.grd, line 4"), std::string::npos) << err_;
}

TEST_F(CliExitStatus, OutsideTheGridIsThreeAndNamesThePoint) {
  Write("senh.txt", "P1,466591.820,4258474.289,593.998\r\nFAR,500000,6000000,10\r\n");
  EXPECT_EQ(Run(Grids() + "senh-to-htrs07 senh.txt a b c"), 3) << err_;
  EXPECT_NE(err_.find("FAR"), std::string::npos) << err_;
  EXPECT_NE(err_.find("senh.txt, line 2"), std::string::npos) << err_;
  EXPECT_EQ(Run(Grids() + "--region kastelorizo senh-to-htrs07 senh.txt a b c"), 0) << err_;
}

// Standard input and output are files like the others: none may be the input, and a file
// opened where standard output was closed is no output of "-".
TEST_F(CliExitStatus, StandardStreamsAreCheckedLikeFiles) {
  const std::string in = "A,380000,240000,1\r\n";
  Write("in.txt", in);
  EXPECT_EQ(Run("sflh-to-senh - in.txt", Path("in.txt")), 1);
  EXPECT_NE(err_.find("is the input (standard input)"), std::string::npos) << err_;
  EXPECT_EQ(Run("sflh-to-senh in.txt - >>in.txt"), 1);
  EXPECT_NE(err_.find("standard output: this output is the input"), std::string::npos) << err_;
  EXPECT_EQ(Read(Path("in.txt")), in);
  EXPECT_EQ(Run("sflh-to-senh in.txt - >&-"), 1);
  EXPECT_NE(err_.find("standard output is closed"), std::string::npos) << err_;
  EXPECT_EQ(Run("sflh-to-senh in.txt out.txt >&-"), 0) << err_;
  EXPECT_EQ(Read(Path("out.txt")), "A,500000.000,4205815.020,1.000\r\n");
}

TEST_F(CliExitStatus, DoubleDashEndsTheOptions) {
  Write("-in.txt", "A,380000,240000,1\r\n");
  EXPECT_EQ(Run("sflh-to-senh -- -in.txt -out.txt"), 0) << err_;
  EXPECT_EQ(Read(Path("-out.txt")), "A,500000.000,4205815.020,1.000\r\n");
  EXPECT_EQ(Run("sflh-to-senh -in.txt -out.txt"), 2);
}

// A file-size limit stops the job like a full disk: exit 1 and complete lines, no signal death.
TEST_F(CliExitStatus, AFileSizeLimitIsAnErrorWithCompleteLines) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "P" + std::to_string(i) + ",380000,240000,1\r\n";
  Write("in.txt", text);
  EXPECT_EQ(Run("sflh-to-senh in.txt out.txt", "/dev/null", "ulimit -f 200 && "), 1) << err_;
  EXPECT_NE(err_.find("cannot be written"), std::string::npos) << err_;
  EXPECT_EQ(Run("sflh-to-senh in.txt - >out2.txt", "/dev/null", "ulimit -f 200 && "), 1) << err_;
  for (const char* name : {"out.txt", "out2.txt"}) {
    const std::string out = Read(Path(name));
    ASSERT_GT(out.size(), 1000u);
    EXPECT_EQ(out.substr(out.size() - 2), "\r\n") << name;
  }
}

TEST_F(CliExitStatus, ConvertNeedsTwoFormsAndTakesOneOutput) {
  Write("in.txt", "P1,566446.108,2529618.096,51.610\r\n");
  for (const char* arguments :
       {"convert in.txt out.txt", "convert --from htrs07-tm07 in.txt out.txt",
        "convert --from htrs07-tm07 --to egsa in.txt out.txt",
        "convert --from htrs07-tm07 --to ggrs87-tm87 in.txt a b",
        "--from htrs07-tm07 sflh-to-senh in.txt out.txt"}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(Run(arguments), 2);
  }
  EXPECT_EQ(Run(Grids() + "convert --from htrs07-tm07 --to ggrs87-tm87 in.txt out.txt"), 0)
      << err_;
  EXPECT_EQ(Read(Path("out.txt")).substr(0, 3), "P1,");
  Write("far.txt", "FAR,500000,6000000,10\r\n");
  EXPECT_EQ(Run(Grids() + "convert --from htrs07-tm07 --to ggrs87-tm87 far.txt out.txt"), 3);
}

}  // namespace
}  // namespace vortan
