// The command-line tool's exit status tells the kind of failure: 0 done, 1 an error (the
// message names file, line and field), 2 wrong usage, 3 stopped at a point outside the grid.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "data_files/job_table.h"
#include "engine/forms.h"
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

// Each kind of wrong usage has its own words, and the hint to --help.
TEST_F(CliExitStatus, WrongUsageSaysWhatIsWrong) {
  Write("in.txt", "A,380000,240000,1\r\n");
  const struct {
    const char* arguments;
    const char* said;
  } cases[] = {
      {"", "no job given"},
      {"no-such-job in out", "unknown job 'no-such-job'"},
      {"--threads 2 stray sflh-to-senh in.txt out.txt", "unknown job 'stray'"},
      {"--frobnicate sflh-to-senh in.txt out.txt", "unknown option '--frobnicate'"},
      {"sflh-to-senh -in.txt out.txt", "unknown option '-in.txt'"},
      {"sflh-to-senh in.txt", "sflh-to-senh takes an input file and 1 output file"},
      {"senh-to-htrs07 in.txt a b", "senh-to-htrs07 takes an input file and 3 output files"},
      {"--dn", "--dn needs a file"},
      {"sflh-to-senh in.txt out.txt --de", "--de needs a file"},
      {"--threads", "--threads needs a number"},
      {"--region", "--region needs mainland or kastelorizo"},
      {"convert --to", "--to needs a form"},
      {"convert --to ggrs87-tm87 --outside", "--outside needs stop or skip"},
      {"--threads 0 sflh-to-senh in.txt out.txt",
       "--threads needs a whole number from 1 to 256, not '0'"},
      {"--threads 2x sflh-to-senh in.txt out.txt",
       "--threads needs a whole number from 1 to 256, not '2x'"},
      {"--region crete sflh-to-senh in.txt out.txt",
       "unknown region 'crete' (mainland or kastelorizo)"},
      {"convert --from htrs07-tm07 --to egsa in.txt out.txt",
       "unknown form 'egsa' (htrs07-xyz, htrs07-geographic, htrs07-tm07, ggrs87-geographic, "
       "ggrs87-tm87)"},
      {"--from htrs07-tm07 sflh-to-senh in.txt out.txt",
       "--from, --to and --keep-heights go with convert, not with a job"},
      {"sflh-to-senh --keep-heights in.txt out.txt",
       "--from, --to and --keep-heights go with convert, not with a job"},
      {"sflh-to-senh --overwrite in.txt out.txt",
       "--format, --columns, --outside and --overwrite go with convert on GIS datasets (an "
       "INPUT or OUTPUT that is not a record file)"},
      {"convert --from htrs07-tm07 --to ggrs87-tm87 --outside skip in.txt out.txt",
       "--format, --columns, --outside and --overwrite go with convert on GIS datasets (an "
       "INPUT or OUTPUT that is not a record file)"},
      {"convert --from htrs07-tm07 in.txt out.txt", "convert needs --to FORM"},
      {"convert --to ggrs87-tm87 in.txt out.txt",
       "convert needs --from FORM and --to FORM (a record file has no CRS)"},
      {"convert --to ggrs87-tm87 --outside maybe in.txt x.gpkg",
       "--outside needs stop or skip, not 'maybe'"},
      {"convert --to ggrs87-tm87 --columns E in.txt x.gpkg",
       "--columns needs two or three column names separated by commas, not 'E'"},
      {"convert --to ggrs87-tm87 --columns E,,h in.txt x.gpkg",
       "--columns needs two or three column names separated by commas, not 'E,,h'"},
      {"convert --to ggrs87-tm87 --format '' in.txt x.gpkg",
       "--format needs a GDAL driver name (GPKG, \"ESRI Shapefile\", GeoJSON, ...)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(Run(c.arguments), 2);
    EXPECT_EQ(err_, "vortan-transform: " + std::string(c.said) +
                        "\nTry 'vortan-transform --help'.\n");
  }
}

// The tool's options stand before the job, after it or after the files, convert's before or
// after convert; -- ends the options, and a file of "-" is standard input or output.
TEST_F(CliExitStatus, OptionsStandAnywhere) {
  Write("in.txt", "A,380000,240000,1\r\n");
  for (const char* arguments :
       {"--threads 1 -q sflh-to-senh in.txt out.txt", "sflh-to-senh in.txt out.txt --threads 1",
        "sflh-to-senh --quiet in.txt --threads=2 out.txt", "--threads 3 --threads 1 sflh-to-senh in.txt out.txt",
        "convert --from ggrs87-geographic --to ggrs87-tm87 in.txt out.txt",
        "convert in.txt out.txt --to ggrs87-tm87 --from ggrs87-geographic",
        "--from ggrs87-geographic --to ggrs87-tm87 convert in.txt out.txt",
        "--region kastelorizo sflh-to-senh in.txt out.txt --region mainland",
        "sflh-to-senh -- in.txt out.txt", "sflh-to-senh in.txt - >out.txt"}) {
    SCOPED_TRACE(arguments);
    std::filesystem::remove(Path("out.txt"));
    EXPECT_EQ(Run(arguments), 0) << err_;
    EXPECT_EQ(Read(Path("out.txt")), "A,500000.000,4205815.020,1.000\r\n");
  }
}

// --help lists every job, form and option; --version is the project's.
TEST_F(CliExitStatus, HelpAndVersion) {
  EXPECT_EQ(Run("--help >help.txt"), 0) << err_;
  const std::string help = Read(Path("help.txt"));
  for (const JobDefinition& job : JobDefinitions()) {
    EXPECT_NE(help.find("\n  " + std::string(job.cliName) + "  "), std::string::npos) << job.cliName;
  }
  for (Form form : kAllForms) {
    EXPECT_NE(help.find("\n  " + std::string(FormName(form)) + "  "), std::string::npos)
        << FormName(form);
  }
  for (const char* option : {"--region R", "--dn FILE", "--de FILE", "--threads N", "-q, --quiet",
                             "--from FORM", "--to FORM", "--keep-heights", "--format DRIVER",
                             "--columns X,Y[,Z]", "--outside stop|skip", "--overwrite"}) {
    EXPECT_NE(help.find("\n  " + std::string(option) + " "), std::string::npos) << option;
  }
  EXPECT_EQ(Run("sflh-to-senh in.txt -h >help2.txt"), 0) << err_;
  EXPECT_EQ(Read(Path("help2.txt")), help);
  EXPECT_EQ(Run("--version >version.txt"), 0) << err_;
  EXPECT_EQ(Read(Path("version.txt")), "vortan-transform " VORTAN_PROJECT_VERSION "\n");
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

// A build without GDAL (VORTAN_BUILD_GIS=OFF, the preset dev) converts record files alone: a
// dataset is an error that says so and leaves no file; a record file converts as ever.
TEST_F(CliExitStatus, ABuildWithoutGisSaysThatItConvertsRecordFilesOnly) {
  if (VORTAN_WITH_GIS) GTEST_SKIP() << "this build converts GIS datasets";
  Write("in.txt", "A,380000,240000,1\r\n");
  for (const char* output : {"out.gpkg", "out.shp", "out.csv"}) {
    SCOPED_TRACE(output);
    EXPECT_EQ(Run(std::string("convert --from ggrs87-geographic --to ggrs87-tm87 in.txt ") +
                  output),
              1);
    EXPECT_NE(err_.find("are not converted by this build of vortan-transform, made without "
                        "GDAL (VORTAN_BUILD_GIS=OFF)"),
              std::string::npos)
        << err_;
    EXPECT_FALSE(std::filesystem::exists(Path(output)));
  }
  EXPECT_EQ(Run("convert --from ggrs87-geographic --to ggrs87-tm87 in.txt out.txt"), 0) << err_;
  EXPECT_EQ(Read(Path("out.txt")), "A,500000.000,4205815.020,1.000\r\n");
}

}  // namespace
}  // namespace vortan
