// What a GIS output holds as its readers take it: the target CRS on every geometry, read back by
// GDAL alone; nothing dropped in silence (geometries a format cannot hold, M values, the
// dimensions of a mixed layer, long Greek texts, a .dbf in Windows-1253); and the notes a user
// needs where a format holds less than the conversion gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gis/crs_match.h"
#include "gis_fixture.h"
#include "io/text_encoding.h"

namespace vortan {
namespace {

using namespace gistest;

class OutputRules : public GisConvert {
 protected:
  // The geometries of every feature of a dataset read back by GDAL alone (no .xsd or .gfs
  // beside a GML file): the form of each geometry's CRS, nothing where it has none.
  std::vector<std::optional<Form>> GeometryForms(const std::string& file) {
    for (const char* sidecar : {".xsd", ".gfs"}) {
      fs::remove(Path(fs::path(file).stem().string() + sidecar));
    }
    std::vector<std::optional<Form>> forms;
    GDALDatasetUniquePtr ds(GDALDataset::Open(Path(file).c_str(), GDAL_OF_VECTOR));
    EXPECT_TRUE(ds) << file;
    if (!ds) return forms;
    for (OGRLayer* layer : ds->GetLayers()) {
      for (const auto& f : *layer) {
        const OGRGeometry* g = f->GetGeometryRef();
        if (!g) continue;
        const OGRSpatialReference* srs = g->getSpatialReference();
        if (!srs) srs = layer->GetSpatialRef();
        // GeoJSON without a "crs" member is WGS 84 by definition: that is no CRS of the file.
        const char* code = srs ? srs->GetAuthorityCode(nullptr) : nullptr;
        if (code && std::string(code) == "4326" && fs::path(file).extension() == ".geojson") {
          srs = nullptr;
        }
        forms.push_back(srs ? gis::FormOfCrs(*srs, kMainlandProfile) : std::nullopt);
        if (srs && !forms.back()) forms.back() = Form::kHtrs07Xyz;  // a CRS of no form: wrong
      }
    }
    return forms;
  }
};

// The geometries moved from the input to the output carry the target CRS, or none, in every
// format that holds a CRS.
TEST_F(OutputRules, EveryGeometryCarriesTheTargetCrs) {
  const std::vector<std::string> wkts = {
      "POINT (466591.820 4258474.289)", "LINESTRING (466591 4258474,466700 4258600)",
      "POLYGON ((466000 4258000,467000 4258000,467000 4259000,466000 4258000))"};
  WriteLayer("in.gpkg", "GPKG", "parcels", Form::kGgrs87Tm87, wkbUnknown, wkts);
  WriteLayer("points.gpkg", "GPKG", "points", Form::kGgrs87Tm87, wkbPoint,
             {wkts[0], wkts[0], wkts[0]});
  for (const char* extension : {"gpkg", "shp", "geojson", "fgb", "gml"}) {
    for (Form to : {Form::kHtrs07Tm07, Form::kGgrs87Geographic}) {
      SCOPED_TRACE(std::string(extension) + " " + std::string(FormName(to)));
      const std::string in = std::string(extension) == "shp" ? "points.gpkg" : "in.gpkg";
      const std::string out = std::string("out.") + extension;
      ASSERT_EQ(Run("convert --to " + std::string(FormName(to)) + " --overwrite " + in + " " +
                    out),
                0)
          << err_;
      const std::vector<std::optional<Form>> forms = GeometryForms(out);
      ASSERT_EQ(forms.size(), 3u);
      for (const std::optional<Form>& form : forms) {
        if (form) {
          EXPECT_EQ(FormName(*form), FormName(to));
        }
      }
    }
  }
}

// A geometry the output cannot hold stops the conversion; M values and the dimensions of a
// mixed layer are kept where the format allows, else named; a text too long for a .dbf field
// stops; a .dbf in Windows-1253 without a code page is read as Greek.
TEST_F(OutputRules, NothingIsDroppedInSilence) {
  WriteLayer("tin.gpkg", "GPKG", "surfaces", Form::kGgrs87Tm87, wkbUnknown,
             {"TIN Z (((466000 4258000 1,466100 4258000 1,466000 4258100 1,466000 4258000 1)))"});
  EXPECT_EQ(Run("convert --to ggrs87-tm87 tin.gpkg out.geojson"), 1);
  EXPECT_NE(err_.find("layer 'surfaces', feature 1: its geometry, a TIN, cannot be held by "
                      "GeoJSON"),
            std::string::npos)
      << err_;
  EXPECT_NE(err_.find("FlatGeobuf (.fgb)"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(Path("out.geojson")));

  WriteLayer("mixed.gpkg", "GPKG", "mixed", Form::kGgrs87Tm87, wkbUnknown,
             {"POINT ZM (466591.820 4258474.289 10 7)",
              "LINESTRING (466591 4258474,466700 4258600)"});
  ASSERT_EQ(Run("convert --to htrs07-tm07 mixed.gpkg mixed.fgb"), 0) << err_;
  {
    GDALDatasetUniquePtr ds(GDALDataset::Open(Path("mixed.fgb").c_str(), GDAL_OF_VECTOR));
    std::unique_ptr<OGRFeature> point(ds->GetLayer(0)->GetNextFeature());
    EXPECT_TRUE(point->GetGeometryRef()->Is3D());
    EXPECT_TRUE(point->GetGeometryRef()->IsMeasured());
    EXPECT_EQ(point->GetGeometryRef()->toPoint()->getM(), 7);
  }
  EXPECT_NE(err_.find("FlatGeobuf holds one set of dimensions per layer"), std::string::npos)
      << err_;
  ASSERT_EQ(Run("convert --to htrs07-tm07 mixed.gpkg mixed.geojson"), 0) << err_;
  EXPECT_NE(err_.find("layer 'mixed': the M values of its geometries are not kept (GeoJSON"),
            std::string::npos)
      << err_;

  std::string greek;
  for (int i = 0; i < 201; ++i) greek += "Θ";
  WriteLayer("long.gpkg", "GPKG", "owners", Form::kGgrs87Tm87, wkbPoint,
             {"POINT (466591.820 4258474.289)"}, {greek});
  EXPECT_EQ(Run("convert --to htrs07-tm07 long.gpkg long.shp"), 1);
  EXPECT_NE(err_.find("attribute 'name': its text takes 402 bytes in UTF-8, more than the 254"),
            std::string::npos)
      << err_;

  // A Greek Shapefile whose .dbf names no code page: Windows-1253, read as Greek.
  const char* cp1253[] = {"ENCODING=CP1253", nullptr};
  WriteLayer("greek.shp", "ESRI Shapefile", "greek", Form::kGgrs87Tm87, wkbPoint,
             {"POINT (466591.820 4258474.289)"}, {"Θεσσαλονίκη"}, cp1253);
  fs::remove(Path("greek.cpg"));
  ASSERT_EQ(Run("convert --to htrs07-tm07 greek.shp greek.geojson"), 0) << err_;
  const std::string json = ReadFile(Path("greek.geojson"));
  EXPECT_TRUE(IsValidUtf8(json));
  EXPECT_NE(json.find("Θεσσαλονίκη"), std::string::npos) << json;
  EXPECT_NE(err_.find("names no code page (.cpg) and its text is not UTF-8: read as "
                      "Windows-1253"),
            std::string::npos)
      << err_;
  ExpectNoTemporaryLeft();
}

// The notes and refusals a user needs: formats that hold no CRS of the target, X, Y, Z into a
// Shapefile, Greek DXF layer names, a coordinate far beyond any, a CRS without a name.
TEST_F(OutputRules, NotesAUserNeeds) {
  WriteLayer("in.gpkg", "GPKG", "Σπίτια", Form::kGgrs87Tm87, wkbPoint,
             {"POINT (466591.820 4258474.289)"}, {"Α1"});
  struct Case {
    std::string arguments;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"convert --to htrs07-tm07 in.gpkg a.geojson", 0, "GeoJSON holds no CRS but WGS 84"},
      {"convert --to htrs07-tm07 in.gpkg a.gml", 0,
       "GML names a CRS by its EPSG code only, and HTRS07 / TM07 has none"},
      {"convert --to htrs07-xyz in.gpkg a.shp", 2, "its .prj holds no geocentric CRS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(Run(c.arguments), c.status) << err_;
    EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
  }
  // DXF: the Greek layer names in the code page the file declares.
  ASSERT_EQ(Run("convert --to ggrs87-tm87 in.gpkg a.dxf"), 0) << err_;
  EXPECT_NE(ReadFile(Path("a.dxf")).find("ANSI_1253"), std::string::npos);
  {
    GDALDatasetUniquePtr ds(GDALDataset::Open(Path("a.dxf").c_str(), GDAL_OF_VECTOR));
    std::unique_ptr<OGRFeature> f(ds->GetLayer(0)->GetNextFeature());
    EXPECT_STREQ(f->GetFieldAsString("Layer"), "Σπίτια");
  }
  // A coordinate far beyond any is shown as it is.
  WriteLayer("far.gpkg", "GPKG", "far", Form::kGgrs87Tm87, wkbPoint, {"POINT (1e300 4258474)"});
  EXPECT_EQ(Run("convert --to htrs07-tm07 far.gpkg b.gpkg"), 1);
  EXPECT_NE(err_.find("E 1e+300"), std::string::npos) << err_;
  // A CRS without a name is told by its kind.
  {
    GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
    GDALDatasetUniquePtr ds(gpkg->Create(Path("lcc.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference srs;
    srs.SetProjCS("unknown");
    srs.SetWellKnownGeogCS("WGS84");
    srs.SetLCC(40, 42, 39, 24, 0, 0);
    OGRLayer* layer = ds->CreateLayer("lcc", &srs, wkbPoint);
    OGRFeature f(layer->GetLayerDefn());
    f.SetGeometryDirectly(new OGRPoint(1000, 2000));
    ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
  }
  EXPECT_EQ(Run("convert --to htrs07-tm07 lcc.gpkg c.gpkg"), 2);
  EXPECT_NE(err_.find("is in an unnamed projected CRS (Lambert_Conformal_Conic_2SP), which is "
                      "not the CRS of any of the five forms"),
            std::string::npos)
      << err_;
}

}  // namespace
}  // namespace vortan
