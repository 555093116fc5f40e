// Tables and attributes through vortan-transform convert that are never dropped or misread: no
// column overwritten by the converted coordinates, no thousands separator read as a decimal
// point, no WKT read by its prefix or turned into an empty cell, no formula handed to a
// spreadsheet, no escape sequence of a column name handed to the terminal, and the points far
// outside Greece noted as the record jobs note them. A CSV table goes through GDAL (the tool)
// and through the conversion without GDAL (the browser's); both give the same bytes and notes.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "gis/csv_conversion.h"
#include "gis/csv_table.h"
#include "gis/geometry_vertices.h"
#include "gis_fixture.h"

namespace vortan {
namespace {

using namespace gistest;

class Tables : public GisConvert {
 protected:
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(Path(name), std::ios::binary) << text;
  }

  // The table converted without GDAL into out: its outcome (the message and notes).
  gis::DatasetOutcome WithoutGdal(const std::string& in, const std::string& out, Form from, Form to,
                                  const std::vector<std::string>& columns = {}) {
    gis::DatasetRequest request;
    request.profile = &kMainlandProfile;
    request.input = Path(in);
    request.output = Path(out);
    request.from = from;
    request.to = to;
    request.columns = columns;
    return gis::ConvertCsvTable(context_, request);
  }

  // Whether err_ holds every note of the outcome.
  void ExpectSameNotes(const gis::DatasetOutcome& outcome) const {
    for (const std::string& note : outcome.notes) {
      std::string inFolder = note;
      // The tool ran in the folder and names the file without it.
      for (std::size_t at; (at = inFolder.find(folder_.string() + "/")) != std::string::npos;) {
        inFolder.erase(at, folder_.string().size() + 1);
      }
      EXPECT_NE(err_.find("note: " + inFolder), std::string::npos) << inFolder << "\n" << err_;
    }
  }
};

// A column of the name a converted coordinate takes, or of the name of an earlier column, keeps
// its values: the converted coordinates (or the later column) are written beside it under a
// name of their own, and a note says so.
TEST_F(Tables, NoColumnIsOverwrittenByAnother) {
  struct Case {
    const char* name;
    std::string text;
    const char* options;
    std::string header;  // of the table written
    const char* kept;    // a value of the input that must be in it
  };
  const Case cases[] = {
      {"lonlat", "id,lon,lat,E\r\nP1,23.7,37.9,text\r\n",
       "--columns lon,lat --from htrs07-geographic --to htrs07-tm07", "id,E_2,N,E", ",text"},
      {"xy", "x;y;e;n\r\n23,7;37,9;εδώ;εκεί\r\n",
       "--columns x,y --from htrs07-geographic --to ggrs87-tm87", "E_2;N_2;e;n", ";εδώ;εκεί"},
      {"twice", "a,a,E,N\r\n1,2,476000,4200000\r\n", "--from ggrs87-tm87 --to ggrs87-tm87",
       "a,a_2,E,N", "1,2,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = std::string(c.name) + ".csv";
    Write(in, c.text);
    ASSERT_EQ(Run("convert --overwrite " + std::string(c.options) + " " + in + " out.csv"), 0)
        << err_;
    const std::string written = ReadFile(Path("out.csv"));
    EXPECT_EQ(written.substr(0, written.find("\r\n")), c.header) << written;
    EXPECT_NE(written.find(c.kept), std::string::npos) << written;
    EXPECT_NE(err_.find(" written as '"), std::string::npos) << err_;
  }
  // Without GDAL, the same bytes and notes.
  const Case& c = cases[0];
  Write("lonlat.csv", c.text);
  ASSERT_EQ(Run("convert " + std::string(c.options) + " lonlat.csv gdal.csv"), 0) << err_;
  const gis::DatasetOutcome outcome = WithoutGdal("lonlat.csv", "plain.csv",
                                                  Form::kHtrs07Geographic, Form::kHtrs07Tm07,
                                                  {"lon", "lat"});
  ASSERT_EQ(outcome.status, gis::DatasetStatus::kDone) << outcome.message;
  EXPECT_EQ(ReadFile(Path("plain.csv")), ReadFile(Path("gdal.csv")));
  ExpectSameNotes(outcome);

  // Points of a dataset with an attribute E, into a table: the attribute stays.
  {
    GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
    GDALDatasetUniquePtr ds(gpkg->Create(Path("e.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* layer = NewLayer(*ds, "points", Form::kGgrs87Tm87, wkbPoint);
    OGRFieldDefn e("E", OFTString);
    ASSERT_EQ(layer->CreateField(&e), OGRERR_NONE);
    OGRFeature f(layer->GetLayerDefn());
    f.SetField("E", "ανατολικά");
    f.SetGeometryDirectly(new OGRPoint(476000, 4200000));
    ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
  }
  ASSERT_EQ(Run("convert --to ggrs87-tm87 e.gpkg e.csv"), 0) << err_;
  EXPECT_EQ(ReadFile(Path("e.csv")), "E_2,N,E\r\n476000,4200000,ανατολικά\r\n");
}

// Where the comma is the decimal mark (a table not separated by commas), a dot that may be a
// thousands separator is refused naming the line and column; a dot that cannot be one is the
// decimal point, as before.
TEST_F(Tables, ThousandsSeparatorsAreNotDecimalPoints) {
  struct Cell {
    const char* text;
    bool thousands;
  };
  const Cell cells[] = {
      {"1.234", true},        {"4.500.000", true},   {"-12.345", true},
      {"410.000,50", true},   {"4.500.000,25", true}, {"12.34", false},
      {"410000.500", false},  {"37.97512", false},   {"0.250", false},
      {"1.2345", false},      {"410000,5", false},   {"4500000", false},
  };
  for (const Cell& c : cells) {
    EXPECT_EQ(gis::MayHoldThousandsDots(c.text), c.thousands) << c.text;
  }
  for (const char* bad : {"1.234", "410.000,50"}) {
    SCOPED_TRACE(bad);
    Write("greek.csv", std::string("id;E;N\r\nP1;476000;4200000\r\nP2;") + bad + ";4200000\r\n");
    EXPECT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 greek.csv out.csv"), 1);
    EXPECT_NE(err_.find("greek.csv, layer 'greek', feature 2 (line 3), column 'E': \"" +
                        std::string(bad) + "\" has a dot"),
              std::string::npos)
        << err_;
    EXPECT_NE(err_.find("a thousands separator?"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(Path("out.csv")));
    const gis::DatasetOutcome outcome =
        WithoutGdal("greek.csv", "out.csv", Form::kGgrs87Tm87, Form::kGgrs87Tm87);
    EXPECT_EQ(outcome.status, gis::DatasetStatus::kError);
    EXPECT_NE(outcome.message.find("column 'E': \"" + std::string(bad) + "\" has a dot"),
              std::string::npos)
        << outcome.message;
  }
  // In a table separated by commas the dot is the decimal point, whatever follows it.
  Write("plain.csv", "id,E,N,h\r\nP1,476000.5,4200000,1.234\r\n");
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 plain.csv out.csv"), 0) << err_;
  EXPECT_EQ(ReadFile(Path("out.csv")), "id,E,N,h\r\nP1,476000.5,4200000,1.234\r\n");
}

// A WKT cell parses whole or its row is refused, naming the line and the column; with
// --outside skip the row is left out and a note says so. A WKT that parses whole converts as
// before, and an empty cell is a feature without geometry.
TEST_F(Tables, WktParsesWholeOrTheRowIsRefused) {
  const char* const bad[] = {
      "POINT (48O000 4200000)",             // a letter O for a zero
      "POINT (480000,4200000)",             // a comma for a blank
      "LINESTRING (480000 4200000, 480001",  // unfinished
      "POINT (480000 4200000 1 2 3)",       // five coordinates
      "POINT (480000 4200000) 7",           // something after it
      "POINT (480000 4200000e)",            // a number cut short
  };
  for (const char* wkt : bad) {
    SCOPED_TRACE(wkt);
    fs::remove(Path("out.gpkg"));
    Write("w.csv", "id,WKT\r\nP1,\"POINT (476000 4200000)\"\r\nP2,\"" + std::string(wkt) +
                       "\"\r\nP3,\"POINT (476100 4200100)\"\r\n");
    EXPECT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 w.csv out.gpkg"), 1);
    EXPECT_NE(err_.find("w.csv, layer 'w', feature 2 (line 3), column 'WKT': \"" +
                        std::string(wkt) + "\""),
              std::string::npos)
        << err_;
    EXPECT_FALSE(fs::exists(Path("out.gpkg")));
    ASSERT_EQ(Run("convert --outside skip --from ggrs87-tm87 --to htrs07-tm07 w.csv out.gpkg "
                  "--overwrite"),
              0)
        << err_;
    EXPECT_NE(err_.find("note: layer 'w': 1 row is left out"), std::string::npos) << err_;
    const std::vector<Vertex> points = ReadPoints(Path("out.gpkg"));
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].id, "P1");
    EXPECT_EQ(points[1].id, "P3");
  }
  // Whole geometries, and no geometry: converted, and the WKT column is no attribute.
  Write("good.csv",
        "WKT;id\r\n"
        "POINT Z (476000 4200000 10);a\r\n"
        "LINESTRING (476000 4200000, 476100.5 4200100.25);b\r\n"
        "POLYGON ((476000 4200000, 476100 4200000, 476100 4200100, 476000 4200000));c\r\n"
        "MULTIPOINT (476000 4200000, 476100 4200100);d\r\n"
        ";e\r\n");
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 good.csv good.gpkg"), 0) << err_;
  GDALDatasetUniquePtr ds(GDALDataset::Open(Path("good.gpkg").c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(ds);
  OGRLayer* layer = ds->GetLayer(0);
  EXPECT_EQ(layer->GetLayerDefn()->GetFieldCount(), 1);
  const std::size_t vertices[] = {1, 2, 4, 2, 0};
  std::size_t k = 0;
  for (const auto& f : *layer) {
    ASSERT_LT(k, 5u);
    const OGRGeometry* g = f->GetGeometryRef();
    gis::VertexArrays arrays;
    if (g) {
      const std::unique_ptr<OGRGeometry> copy(g->clone());
      ASSERT_TRUE(gis::GatherVertices(*copy, Form::kHtrs07Tm07, arrays));
    }
    EXPECT_EQ(arrays.size(), vertices[k]) << k;
    ++k;
  }
  EXPECT_EQ(k, 5u);
  const auto e = Engine(Form::kGgrs87Tm87, Form::kHtrs07Tm07, 476000, 4200000, 10);
  const std::vector<Vertex> points = ReadPoints(Path("good.gpkg"));
  ASSERT_EQ(points.size(), 1u);
  EXPECT_NEAR(points[0].x, e[0], kMicrometre);
  EXPECT_NEAR(points[0].y, e[1], kMicrometre);
  EXPECT_NEAR(points[0].z, e[2], kMicrometre);
}

// Text cells that a spreadsheet would run as formulas are written guarded by an apostrophe in
// CSV outputs, with a note; numbers with a sign are no formulas; record files stay byte for
// byte.
TEST_F(Tables, FormulasAreGuardedInCsvOutputs) {
  struct Cell {
    const char* text;
    const char* written;  // in the CSV output
  };
  const Cell cells[] = {
      {"=1+2", "'=1+2"},         {"@SUM(A1)", "'@SUM(A1)"}, {"+30 210 1234567", "'+30 210 1234567"},
      {"-x", "'-x"},             {"=5", "'=5"},             {"-12.5", "-12.5"},
      {"+5", "+5"},              {"a=b", "a=b"},            {"'=x", "'=x"},
      {"-", "-"},                {"\tx", "\"'\tx\""},
  };
  std::string table = "id,E,N\r\n";
  std::string expected = "id,E,N\r\n";
  std::string records;
  for (const Cell& c : cells) {
    table += std::string(c.text) + ",476000,4200000\r\n";
    expected += std::string(c.written) + ",476000,4200000\r\n";
  }
  Write("ids.csv", table);
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 ids.csv gdal.csv"), 0) << err_;
  EXPECT_EQ(ReadFile(Path("gdal.csv")), expected);
  EXPECT_NE(err_.find("note: 6 cells that a spreadsheet would run as a formula"),
            std::string::npos)
      << err_;
  EXPECT_NE(err_.find("the first: ids.csv, layer 'ids', feature 1 (line 2), column 'id': \"=1+2\""),
            std::string::npos)
      << err_;
  const gis::DatasetOutcome outcome =
      WithoutGdal("ids.csv", "plain.csv", Form::kGgrs87Tm87, Form::kGgrs87Tm87);
  ASSERT_EQ(outcome.status, gis::DatasetStatus::kDone) << outcome.message;
  EXPECT_EQ(ReadFile(Path("plain.csv")), expected);
  ExpectSameNotes(outcome);

  // Ids of a record file: guarded in a CSV output, as they are in a record file.
  Write("ids.txt", "=1+2,476000.000,4200000.000,0.000\r\n-12.5,476000.000,4200000.000,0.000\r\n");
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 ids.txt ids-out.csv"), 0) << err_;
  const std::string csv = ReadFile(Path("ids-out.csv"));
  EXPECT_NE(csv.find(",'=1+2\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",-12.5\r\n"), std::string::npos) << csv;
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 ids.txt ids-out.txt"), 0) << err_;
  EXPECT_EQ(ReadFile(Path("ids-out.txt")),
            "=1+2,476000.000,4200000.000,.000\r\n-12.5,476000.000,4200000.000,.000\r\n");
  EXPECT_EQ(err_.find("formula"), std::string::npos) << err_;
}

// Escape sequences in the column names of a table are shown escaped in every message.
TEST_F(Tables, ColumnNamesAreEscapedInMessages) {
  Write("esc.csv", "a\x1B]0;owned\x07,b\r\n1,2\r\n");
  const std::string shown = "'a\\x1B]0;owned\\x07'";
  for (const char* options : {"", "--columns x,b "}) {
    SCOPED_TRACE(options);
    EXPECT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 " + std::string(options) +
                  "esc.csv out.csv"),
              2);
    EXPECT_NE(err_.find(shown), std::string::npos) << err_;
    EXPECT_EQ(err_.find('\x1B'), std::string::npos) << err_;
  }
  const gis::DatasetOutcome outcome =
      WithoutGdal("esc.csv", "out.csv", Form::kGgrs87Tm87, Form::kHtrs07Tm07);
  EXPECT_NE(outcome.message.find(shown), std::string::npos) << outcome.message;
  EXPECT_EQ(outcome.message.find('\x1B'), std::string::npos) << outcome.message;
}

// Points far outside Greece, and packed angles below 100 in a record file, are noted as the
// record jobs note them, the first named; the conversion is done (exit 0).
TEST_F(Tables, FarPointsAreNoted) {
  // TM07 E, N of a point in Greece, and of one at 22.9° N.
  Write("far.csv", "id,E,N\r\nP1,566446.108,2529618.096\r\nP2,566446.108,529618.096\r\n");
  for (const char* to : {"htrs07-xyz", "htrs07-geographic"}) {
    SCOPED_TRACE(to);
    const std::string out = std::string("far-") + to + ".csv";
    ASSERT_EQ(Run("convert --from htrs07-tm07 --to " + std::string(to) + " far.csv " + out), 0)
        << err_;
    EXPECT_NE(err_.find("note: 1 of the 2 points converted lies outside Greece (φ 33° to 43°, λ "
                        "18° to 31°); the first, far.csv, layer 'far', feature 2 (line 3), at "
                        "φ 22.87310°, λ 24.64776°: are the columns in the right order and the "
                        "form right?"),
              std::string::npos)
        << err_;
  }
  const gis::DatasetOutcome outcome =
      WithoutGdal("far.csv", "plain.csv", Form::kHtrs07Tm07, Form::kHtrs07Xyz);
  ASSERT_EQ(outcome.status, gis::DatasetStatus::kDone) << outcome.message;
  ASSERT_EQ(Run("convert --from htrs07-tm07 --to htrs07-xyz far.csv gdal.csv"), 0) << err_;
  ExpectSameNotes(outcome);
  // Points in Greece: no note.
  Write("near.csv", "id,lon,lat\r\nP1,23.7,37.9\r\n");
  ASSERT_EQ(Run("convert --from ggrs87-geographic --to ggrs87-tm87 near.csv near.gpkg"), 0)
      << err_;
  EXPECT_EQ(err_.find("outside Greece"), std::string::npos) << err_;
  // A record file of decimal degrees where packed angles belong, into a dataset.
  Write("degrees.txt", "P1,37.9,23.7,100\r\nP2,375400,234200,100\r\n");
  ASSERT_EQ(Run("convert --from ggrs87-geographic --to ggrs87-tm87 degrees.txt degrees.gpkg"), 0)
      << err_;
  EXPECT_NE(err_.find("note: field φ of point P1 (degrees.txt, line 1) takes degrees, minutes "
                      "and seconds as DDMMSS.SSSSS: if 37.9 is in decimal degrees, write "
                      "375400.00000 (2 angles of the file are below 100, as decimal degrees "
                      "would be)."),
            std::string::npos)
      << err_;
  EXPECT_NE(err_.find("note: 1 of the 2 points converted lies outside Greece"), std::string::npos)
      << err_;
}

}  // namespace
}  // namespace vortan
