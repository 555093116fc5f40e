// A GIS output is whole or not there: a write the disk does not take (the file-size limit here,
// a full disk alike) stops the conversion in every format, naming the output and the cause, and
// leaves the old output byte for byte; an output named after a Shapefile's other files is
// refused, never written beside them; standard output redirected to the input is refused, and
// --format is never passed over for standard output.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "gis_fixture.h"

namespace vortan {
namespace {

using namespace gistest;

// The points written by the runs that fill an output past the file-size limit, and the limit in
// KiB (bash's ulimit -f): every format takes more than 64 KiB for 4000 points.
constexpr int kPoints = 4000;
constexpr int kLimitKiB = 64;

class WrittenWhole : public GisConvert {
 protected:
  // A record file of GGRS87 TM87 points, every one inside the correction grids.
  void WritePoints(const std::string& name, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      text += "P" + std::to_string(i) + "," + std::to_string(466000 + (i % 60) * 10) + ".000," +
              std::to_string(4258000 + (i / 60) * 10) + ".000,10.000\r\n";
    }
    Write(name, text);
  }

  // Runs the tool in the test folder through a shell: the arguments, then what stands after
  // them (redirections, the limit of the file size in KiB or 0 for none). The exit status, with
  // standard error in err_.
  int Shell(const std::string& arguments, const std::string& after, int limitKiB = 0) {
    const std::string tool = std::string("'") + VORTAN_CLI + "' --dn '" + kGrids +
                             "dN_2km_V1-0.grd' --de '" + kGrids + "dE_2km_V1-0.grd' " + arguments;
    const std::string run =
        limitKiB > 0 ? "bash -c \"ulimit -f " + std::to_string(limitKiB) + "; exec " + tool + "\""
                     : tool;
    const std::string command = "cd '" + folder_.string() + "' && " + run + " </dev/null 2>'" +
                                Path("stderr") + "' " + after;
    const int status = std::system(command.c_str());
    err_ = ReadFile(Path("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Every file of the test folder (but standard error) with its bytes.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      if (name != "stderr") files[name] = entry.is_directory() ? "<folder>" : Read(entry.path());
    }
    return files;
  }
};

// Every format the tool writes, and a record file from a dataset: the run that reaches the
// file-size limit exits 1 naming the output and the cause, and the output made before by a good
// run is as it was, with its sidecars (no .xsd, no temporary folder left).
TEST_F(WrittenWhole, AWriteTheDiskDoesNotTakeLeavesTheOldOutput) {
  struct Case {
    const char* output;
    const char* format;
  };
  const Case cases[] = {
      {"out.geojson", ""},  {"out.geojsonl", "--format GeoJSONSeq"},
      {"out.gml", ""},      {"out.kml", ""},
      {"out.gpx", "--format GPX"},
      {"out.csv", ""},      {"out.dxf", ""},
      {"out.shp", ""},      {"out.gpkg", ""},
      {"out.fgb", ""},      {"out.txt", ""},
  };
  WritePoints("few.txt", 3);
  WritePoints("many.txt", kPoints);
  const std::string toGpkg = "convert --from ggrs87-tm87 --to ggrs87-tm87 ";
  ASSERT_EQ(Run(toGpkg + "few.txt few.gpkg"), 0) << err_;
  ASSERT_EQ(Run(toGpkg + "many.txt many.gpkg"), 0) << err_;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    // KML and GPX hold WGS 84 longitude and latitude only.
    const std::string convert =
        "convert --to htrs07-geographic --overwrite " + std::string(c.format) + " ";
    ASSERT_EQ(Run(convert + "few.gpkg " + c.output), 0) << err_;
    const std::map<std::string, std::string> before = Files();
    EXPECT_EQ(Shell(convert + "many.gpkg " + c.output, ">/dev/null", kLimitKiB), 1);
    EXPECT_NE(err_.find(std::string("vortan-transform: ") + c.output), std::string::npos) << err_;
    EXPECT_NE(err_.find("cannot be written (the file has reached the largest size allowed)"),
              std::string::npos)
        << err_;
    EXPECT_EQ(err_.find("written to"), std::string::npos) << err_;
    EXPECT_TRUE(Files() == before);
    ExpectNoTemporaryLeft();
  }
}

// A .dbf, .shx, .prj or .cpg named as the output, as a record file or as a Shapefile, is
// refused, and the Shapefile of its name keeps every file.
TEST_F(WrittenWhole, AShapefileIsWrittenByNamingItsShp) {
  WritePoints("few.txt", 3);
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 few.txt few.gpkg"), 0) << err_;
  ASSERT_EQ(Run("convert --to htrs07-tm07 few.gpkg x.shp"), 0) << err_;
  const std::map<std::string, std::string> before = Files();
  for (const char* name : {"x.dbf", "x.shx", "x.prj", "x.cpg", "x.DBF"}) {
    for (const char* format : {"", "--format 'ESRI Shapefile'", "--format records"}) {
      SCOPED_TRACE(std::string(name) + " " + format);
      EXPECT_EQ(Run("convert --to ggrs87-tm87 --overwrite " + std::string(format) + " few.gpkg " +
                    name),
                1);
      EXPECT_NE(err_.find(std::string(name) + " names a file of a Shapefile"), std::string::npos)
          << err_;
      EXPECT_NE(err_.find("name the .shp (x.shp)"), std::string::npos) << err_;
      EXPECT_TRUE(Files() == before);
    }
  }
}

// Standard output redirected to the dataset read, or to a file of it, is refused before a byte
// is written.
TEST_F(WrittenWhole, StandardOutputThatIsTheInputIsRefused) {
  WritePoints("few.txt", 3);
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 few.txt in.gpkg"), 0) << err_;
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 few.txt in.shp"), 0) << err_;
  const std::map<std::string, std::string> before = Files();
  for (const char* redirect : {">>in.gpkg", "1<>in.gpkg"}) {
    SCOPED_TRACE(redirect);
    EXPECT_EQ(Shell("convert --to htrs07-tm07 in.gpkg -", redirect), 1);
    EXPECT_NE(err_.find("standard output is the input in.gpkg"), std::string::npos) << err_;
  }
  EXPECT_EQ(Shell("convert --to htrs07-tm07 in.shp -", ">>in.dbf"), 1);
  EXPECT_NE(err_.find("standard output is the input"), std::string::npos) << err_;
  EXPECT_TRUE(Files() == before);
  // Standard output to another file is written.
  EXPECT_EQ(Shell("convert --to htrs07-tm07 in.gpkg -", ">>other.txt"), 0) << err_;
  EXPECT_EQ(ReadRecords(Path("other.txt")).size(), 3u);
}

// A GIS format named for standard output is refused (2); --format records is obeyed.
TEST_F(WrittenWhole, AFormatForStandardOutputIsNotPassedOver) {
  WritePoints("few.txt", 3);
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 few.txt in.gpkg"), 0) << err_;
  for (const char* format : {"GPKG", "GeoJSON", "CSV"}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(Shell("convert --to htrs07-tm07 --format " + std::string(format) + " in.gpkg -",
                    ">out.txt"),
              2);
    EXPECT_NE(err_.find("--format " + std::string(format) +
                        " writes a GIS dataset, which is not written to standard output"),
              std::string::npos)
        << err_;
    EXPECT_EQ(ReadFile(Path("out.txt")), "");
  }
  EXPECT_EQ(Shell("convert --to htrs07-tm07 --format records in.gpkg -", ">out.txt"), 0) << err_;
  EXPECT_EQ(ReadRecords(Path("out.txt")).size(), 3u);
}

}  // namespace
}  // namespace vortan
