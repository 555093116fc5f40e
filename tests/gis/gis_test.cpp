// GIS datasets through vortan-transform convert: the reference points through every format
// (read, written, read back), every vertex against the engine and the record-file convert, the
// structure and attributes of polygons with holes, multi-lines and 3D points, the CRS rules, the
// CSV tables of Excel, the all-or-nothing output and --outside skip. The fixtures are made with
// GDAL itself from the reference points.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "gis_fixture.h"

namespace vortan {
namespace {

using namespace gistest;

// The reference points in every format: written, read back, converted to the reference values
// of the independent implementation, and every vertex equal to the record-file convert.
TEST_F(GisConvert, EveryFormatCarriesTheReferencePoints) {
  const std::string input = kReference + "mainland/GGRS87-SENh.txt";
  const std::vector<Record> ggrs87 = ReadRecords(input);
  const std::vector<Record> reference =
      ReadRecords(kReference + "mainland/expected-senh-to-htrs07.HTRS07-SEN.txt");
  ASSERT_EQ(ggrs87.size(), 300u);
  ASSERT_EQ(reference.size(), ggrs87.size());
  // The record-file convert of the same points.
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 '" + input + "' record.txt"), 0)
      << err_;
  const std::string recordText = ReadFile(Path("record.txt"));
  // A record file into a GeoPackage, one point feature per record with its id.
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 '" + input + "' points.gpkg"), 0)
      << err_;

  struct Format {
    const char* extension;
    Form form;        // of the file written from the GeoPackage
    bool keepsCrs;    // reads back with a CRS of ours
    bool keepsIds;    // the attribute id survives
  };
  const Format formats[] = {
      {"gpkg", Form::kGgrs87Tm87, true, true},  {"shp", Form::kGgrs87Tm87, true, true},
      {"geojson", Form::kGgrs87Tm87, true, true}, {"fgb", Form::kGgrs87Tm87, true, true},
      {"gml", Form::kGgrs87Tm87, true, true},   {"csv", Form::kGgrs87Tm87, false, true},
      {"dxf", Form::kGgrs87Tm87, false, false}, {"kml", Form::kHtrs07Geographic, false, true},
  };
  for (const Format& f : formats) {
    SCOPED_TRACE(f.extension);
    const std::string written = std::string("in.") + f.extension;
    ASSERT_EQ(Run("convert --to " + std::string(FormName(f.form)) + " points.gpkg " + written), 0)
        << err_;
    const std::string from = f.keepsCrs ? "" : "--from " + std::string(FormName(f.form)) + " ";
    // To a record file: the reference values of TM07 E, N, the record convert's characters.
    fs::remove(Path("back.txt"));
    ASSERT_EQ(Run("convert " + from + "--to htrs07-tm07 " + written + " back.txt"), 0) << err_;
    const std::vector<Record> back = ReadRecords(Path("back.txt"));
    ASSERT_EQ(back.size(), reference.size());
    for (std::size_t i = 0; i < back.size(); ++i) {
      if (f.keepsIds) {
        EXPECT_EQ(back[i].id, reference[i].id);
      }
      EXPECT_NEAR(back[i].v[0], reference[i].v[0], 0.0015) << reference[i].id;
      EXPECT_NEAR(back[i].v[1], reference[i].v[1], 0.0015) << reference[i].id;
    }
    if (f.form == Form::kGgrs87Tm87 && f.keepsIds) {
      EXPECT_EQ(ReadFile(Path("back.txt")), recordText);
    }
    // To a dataset of the same format: every vertex is the engine's value of the point read.
    const std::string converted = std::string("tm07.") + f.extension;
    if (f.form == Form::kGgrs87Tm87) {
      ASSERT_EQ(Run("convert " + from + "--to htrs07-tm07 " + written + " " + converted), 0)
          << err_;
      const char* csv[] = {"X_POSSIBLE_NAMES=E", "Y_POSSIBLE_NAMES=N", "Z_POSSIBLE_NAMES=h",
                           nullptr};
      const std::vector<Vertex> out =
          ReadPoints(Path(converted), std::string(f.extension) == "csv" ? csv : nullptr);
      ASSERT_EQ(out.size(), ggrs87.size());
      for (std::size_t i = 0; i < out.size(); ++i) {
        const auto e = Engine(Form::kGgrs87Tm87, Form::kHtrs07Tm07, ggrs87[i].v[0],
                              ggrs87[i].v[1], ggrs87[i].v[2]);
        EXPECT_NEAR(out[i].x, e[0], kMicrometre) << ggrs87[i].id;
        EXPECT_NEAR(out[i].y, e[1], kMicrometre) << ggrs87[i].id;
        EXPECT_NEAR(out[i].z, e[2], kMicrometre) << ggrs87[i].id;
        EXPECT_TRUE(out[i].has3D);
      }
    }
  }
  ExpectNoTemporaryLeft();
}

// A polygon with a hole, a multi-line, a curve polygon, a collection and 3D points keep their structure, their attributes
// (Greek text included) and their FIDs; 2D stays 2D; the output carries EPSG:2100.
TEST_F(GisConvert, StructureAttributesAndFidsSurvive) {
  {
    GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
    GDALDatasetUniquePtr ds(gpkg->Create(Path("in.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* parcels = NewLayer(*ds, "parcels", Form::kHtrs07Tm07, wkbPolygon);
    OGRFieldDefn name("όνομα", OFTString), area("area", OFTReal), count("count", OFTInteger);
    parcels->CreateField(&name);
    parcels->CreateField(&area);
    parcels->CreateField(&count);
    OGRFeature parcel(parcels->GetLayerDefn());
    OGRGeometry* polygon = nullptr;
    OGRGeometryFactory::createFromWkt(
        "POLYGON ((400000 2200000,400100 2200000,400100 2200100,400000 2200100,400000 2200000),"
        "(400040 2200040,400060 2200040,400060 2200060,400040 2200040))",
        nullptr, &polygon);
    parcel.SetGeometryDirectly(polygon);
    parcel.SetField(0, "Οικόπεδο Αγίου Νικολάου");
    parcel.SetField(1, 10000.5);
    parcel.SetField(2, 7);
    parcel.SetFID(42);
    ASSERT_EQ(parcels->CreateFeature(&parcel), OGRERR_NONE);

    OGRLayer* roads = NewLayer(*ds, "roads", Form::kHtrs07Tm07, wkbMultiLineString);
    OGRFeature road(roads->GetLayerDefn());
    OGRGeometry* lines = nullptr;
    OGRGeometryFactory::createFromWkt(
        "MULTILINESTRING ((500000 2300000,500500 2300500),(501000 2301000,501100 2301100,"
        "501200 2301000))",
        nullptr, &lines);
    road.SetGeometryDirectly(lines);
    ASSERT_EQ(roads->CreateFeature(&road), OGRERR_NONE);

    OGRLayer* curves = NewLayer(*ds, "curves", Form::kHtrs07Tm07, wkbCurvePolygon);
    OGRFeature curve(curves->GetLayerDefn());
    OGRGeometry* curved = nullptr;
    OGRGeometryFactory::createFromWkt(
        "CURVEPOLYGON (COMPOUNDCURVE (CIRCULARSTRING (450000 2250000,450050 2250050,450100 "
        "2250000),(450100 2250000,450000 2250000)))",
        nullptr, &curved);
    curve.SetGeometryDirectly(curved);
    ASSERT_EQ(curves->CreateFeature(&curve), OGRERR_NONE);

    OGRLayer* mixed = NewLayer(*ds, "mixed", Form::kHtrs07Tm07, wkbGeometryCollection);
    OGRFeature collection(mixed->GetLayerDefn());
    OGRGeometry* both = nullptr;
    OGRGeometryFactory::createFromWkt(
        "GEOMETRYCOLLECTION (POINT (460000 2260000),LINESTRING (460000 2260000,460100 2260100))",
        nullptr, &both);
    collection.SetGeometryDirectly(both);
    ASSERT_EQ(mixed->CreateFeature(&collection), OGRERR_NONE);

    OGRLayer* points = NewLayer(*ds, "points", Form::kHtrs07Tm07, wkbPoint25D);
    OGRFeature point(points->GetLayerDefn());
    point.SetGeometryDirectly(new OGRPoint(600000, 2400000, 250.0));
    ASSERT_EQ(points->CreateFeature(&point), OGRERR_NONE);
  }
  for (bool keepHeights : {false, true}) {
    SCOPED_TRACE(keepHeights);
    fs::remove(Path("out.gpkg"));
    ASSERT_EQ(Run(std::string("convert --to ggrs87-tm87 ") + (keepHeights ? "--keep-heights " : "") +
                  "in.gpkg out.gpkg"),
              0)
        << err_;
    GDALDatasetUniquePtr in(GDALDataset::Open(Path("in.gpkg").c_str(), GDAL_OF_VECTOR));
    GDALDatasetUniquePtr out(GDALDataset::Open(Path("out.gpkg").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    ASSERT_EQ(out->GetLayerCount(), 5);
    for (int l = 0; l < 5; ++l) {
      OGRLayer* a = in->GetLayer(l);
      OGRLayer* b = out->GetLayer(l);
      SCOPED_TRACE(a->GetName());
      EXPECT_STREQ(a->GetName(), b->GetName());
      EXPECT_EQ(a->GetGeomType(), b->GetGeomType());
      ASSERT_TRUE(b->GetSpatialRef());
      EXPECT_STREQ(b->GetSpatialRef()->GetAuthorityCode(nullptr), "2100");
      std::unique_ptr<OGRFeature> fa(a->GetNextFeature()), fb(b->GetNextFeature());
      ASSERT_TRUE(fa && fb);
      EXPECT_EQ(fa->GetFID(), fb->GetFID());
      for (int k = 0; k < fa->GetFieldCount(); ++k) {
        EXPECT_STREQ(fa->GetFieldAsString(k), fb->GetFieldAsString(k));
      }
      OGRGeometry* ga = fa->GetGeometryRef();
      OGRGeometry* gb = fb->GetGeometryRef();
      EXPECT_EQ(ga->getGeometryType(), gb->getGeometryType());
      // Every vertex as its WKT lists it: the same parts, each vertex converted.
      auto numbers = [](const OGRGeometry* g) {
        std::string wkt = g->exportToWkt();
        for (char& c : wkt) {
          if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-')) c = ' ';
        }
        std::vector<double> v;
        std::istringstream in(wkt);
        for (double x; in >> x;) v.push_back(x);
        return v;
      };
      const std::string wa = ga->exportToWkt(), wb = gb->exportToWkt();
      EXPECT_EQ(wa.substr(0, wa.find('(')), wb.substr(0, wb.find('(')));
      EXPECT_EQ(std::count(wa.begin(), wa.end(), '('), std::count(wb.begin(), wb.end(), '('));
      const std::vector<double> na = numbers(ga), nb = numbers(gb);
      ASSERT_EQ(na.size(), nb.size());
      const std::size_t dims = ga->Is3D() ? 3 : 2;
      EXPECT_EQ(ga->Is3D(), gb->Is3D());
      for (std::size_t i = 0; i + dims <= na.size(); i += dims) {
        const auto e = Engine(Form::kHtrs07Tm07, Form::kGgrs87Tm87, na[i], na[i + 1],
                              dims == 3 ? na[i + 2] : 0.0, keepHeights);
        EXPECT_NEAR(nb[i], e[0], kMicrometre);
        EXPECT_NEAR(nb[i + 1], e[1], kMicrometre);
        if (dims == 3) {
          EXPECT_NEAR(nb[i + 2], keepHeights ? na[i + 2] : e[2], kMicrometre);
        }
      }
      if (l == 0) {
        EXPECT_EQ(gb->toPolygon()->getNumInteriorRings(), 1);
      }
      if (l == 1) {
        EXPECT_EQ(gb->toMultiLineString()->getNumGeometries(), 2);
      }
    }
  }
  // One Shapefile per layer into a folder; the .prj identifies as EPSG:2100 and the .cpg says
  // UTF-8, and the Greek text reads back.
  // (A Shapefile holds no collections: the layers it can hold, copied with ogr2ogr.)
  ASSERT_EQ(std::system(("ogr2ogr '" + Path("flat.gpkg") + "' '" + Path("in.gpkg") +
                         "' parcels roads points").c_str()),
            0);
  ASSERT_EQ(Run("convert --to ggrs87-tm87 --format 'ESRI Shapefile' flat.gpkg shapes"), 0) << err_;
  EXPECT_TRUE(fs::exists(Path("shapes/roads.shp")) && fs::exists(Path("shapes/points.shp")));
  EXPECT_EQ(Run("convert --to ggrs87-tm87 --format 'ESRI Shapefile' in.gpkg shapes2"), 1);
  EXPECT_NE(err_.find("the layer 'mixed' cannot be created"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(Path("shapes2")));
  EXPECT_EQ(ReadFile(Path("shapes/parcels.cpg")), "UTF-8");
  OGRSpatialReference prj;
  ASSERT_EQ(prj.importFromESRI(std::vector<char*>{ReadFile(Path("shapes/parcels.prj")).data(),
                                                  nullptr}.data()),
            OGRERR_NONE);
  int matches = 0;
  int* confidence = nullptr;
  OGRSpatialReferenceH* found = prj.FindMatches(nullptr, &matches, &confidence);
  ASSERT_GE(matches, 1);
  EXPECT_STREQ(OGRSpatialReference::FromHandle(found[0])->GetAuthorityCode(nullptr), "2100");
  EXPECT_GE(confidence[0], 90);
  OSRFreeSRSArray(found);
  CPLFree(confidence);
  GDALDatasetUniquePtr shp(GDALDataset::Open(Path("shapes/parcels.shp").c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(shp);
  std::unique_ptr<OGRFeature> f(shp->GetLayer(0)->GetNextFeature());
  EXPECT_STREQ(f->GetFieldAsString(0), "Οικόπεδο Αγίου Νικολάου");
  ExpectNoTemporaryLeft();
}

// A Shapefile whose .cpg says Windows-1253 is read as Greek text.
TEST_F(GisConvert, ShapefileCodePageIsHonoured) {
  {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    GDALDatasetUniquePtr ds(driver->Create(Path("greek.shp").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    const char* options[] = {"ENCODING=CP1253", nullptr};
    OGRSpatialReference srs;
    srs.importFromEPSG(2100);
    OGRLayer* layer = ds->CreateLayer("greek", &srs, wkbPoint, const_cast<char**>(options));
    OGRFieldDefn name("name", OFTString);
    layer->CreateField(&name);
    OGRFeature f(layer->GetLayerDefn());
    f.SetField(0, "Θεσσαλονίκη");
    f.SetGeometryDirectly(new OGRPoint(410000, 4500000));
    ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
  }
  ASSERT_EQ(ReadFile(Path("greek.cpg")).rfind("1253"), ReadFile(Path("greek.cpg")).size() - 4);
  ASSERT_EQ(Run("convert --to htrs07-tm07 greek.shp out.geojson"), 0) << err_;
  EXPECT_NE(ReadFile(Path("out.geojson")).find("Θεσσαλονίκη"), std::string::npos);
}

// The input form from the CRS; no CRS needs --from; a CRS that contradicts --from is refused
// naming both; the geographic output is longitude first with the CRS named HTRS07 or 4121.
TEST_F(GisConvert, CrsRules) {
  auto make = [&](const std::string& name, const OGRSpatialReference* srs, double x, double y) {
    GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
    GDALDatasetUniquePtr ds(gpkg->Create(Path(name).c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* layer = ds->CreateLayer("p", const_cast<OGRSpatialReference*>(srs), wkbPoint);
    OGRFeature f(layer->GetLayerDefn());
    f.SetGeometryDirectly(new OGRPoint(x, y));
    ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
  };
  OGRSpatialReference greekGrid, utm;
  greekGrid.importFromEPSG(2100);
  utm.importFromEPSG(32634);
  make("none.gpkg", nullptr, 410000, 4500000);
  make("egsa.gpkg", &greekGrid, 410000, 4500000);
  make("utm.gpkg", &utm, 410000, 4500000);

  EXPECT_EQ(Run("convert --to htrs07-tm07 none.gpkg a.gpkg"), 2);
  EXPECT_NE(err_.find("has no CRS: give the form of its coordinates with --from"), std::string::npos) << err_;
  EXPECT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 none.gpkg a.gpkg"), 0) << err_;
  EXPECT_EQ(Run("convert --from htrs07-tm07 --to htrs07-geographic egsa.gpkg b.gpkg"), 1);
  EXPECT_NE(err_.find("EPSG:2100"), std::string::npos) << err_;
  EXPECT_NE(err_.find("--from says htrs07-tm07"), std::string::npos) << err_;
  EXPECT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 utm.gpkg c.gpkg"), 1);
  EXPECT_NE(err_.find("WGS 84 / UTM zone 34N (EPSG:32634)"), std::string::npos) << err_;
  EXPECT_EQ(Run("convert --to htrs07-tm07 utm.gpkg c.gpkg"), 2);
  EXPECT_FALSE(fs::exists(Path("b.gpkg")) || fs::exists(Path("c.gpkg")));

  for (Form to : {Form::kHtrs07Geographic, Form::kGgrs87Geographic, Form::kHtrs07Tm07}) {
    SCOPED_TRACE(FormName(to));
    const std::string out = std::string(FormName(to)) + ".gpkg";
    ASSERT_EQ(Run("convert --to " + std::string(FormName(to)) + " egsa.gpkg " + out), 0) << err_;
    GDALDatasetUniquePtr ds(GDALDataset::Open(Path(out).c_str(), GDAL_OF_VECTOR));
    OGRLayer* layer = ds->GetLayer(0);
    const OGRSpatialReference* srs = layer->GetSpatialRef();
    ASSERT_TRUE(srs);
    OGRSpatialReference expected;
    expected.importFromWkt(CrsOf(to, kMainlandProfile).wkt.c_str());
    expected.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    EXPECT_TRUE(srs->IsSame(&expected)) << srs->GetName();
    if (to == Form::kGgrs87Geographic) {
      EXPECT_STREQ(srs->GetAuthorityCode(nullptr), "4121");
    }
    if (to == Form::kHtrs07Geographic) {
      EXPECT_STREQ(srs->GetName(), "HTRS07");
    }
    std::unique_ptr<OGRFeature> f(layer->GetNextFeature());
    const OGRPoint* p = f->GetGeometryRef()->toPoint();
    const auto e = Engine(Form::kGgrs87Tm87, to, 410000, 4500000, 0);
    EXPECT_NEAR(p->getX(), e[0], IsGeographic(to) ? 1e-11 : kMicrometre);
    EXPECT_NEAR(p->getY(), e[1], IsGeographic(to) ? 1e-11 : kMicrometre);
    if (IsGeographic(to)) {
      EXPECT_LT(p->getX(), p->getY());  // longitude 22.9°, latitude 40.6°
    }
    // The file written reads back as its own form.
    ASSERT_EQ(Run("convert --to ggrs87-tm87 " + out + " again.txt --overwrite"), 0) << err_;
    const std::vector<Record> again = ReadRecords(Path("again.txt"));
    ASSERT_EQ(again.size(), 1u);
    // Across the datum a 2D point is computed at h = 0 both ways, and h = 0 in GGRS87 is some
    // 40 m above h = 0 in HTRS07 here: 2 mm of E, N (TwoDimensional... below).
    EXPECT_NEAR(again[0].v[0], 410000, 0.003);
    EXPECT_NEAR(again[0].v[1], 4500000, 0.003);
  }
}

// On Kastelorizo the projections have their own constants and no EPSG code: the output names
// them in full and reads back as its form; EPSG:2100 is none of the region's forms.
TEST_F(GisConvert, KastelorizoProjectionsAreWrittenInFull) {
  const std::string input = kReference + "kastelorizo/HTRS07-KAST-SFLh.txt";
  ASSERT_EQ(Run("--region kastelorizo convert --from htrs07-geographic --to ggrs87-tm87 '" +
                input + "' record.txt"),
            0)
      << err_;
  for (Form to : {Form::kHtrs07Tm07, Form::kGgrs87Tm87}) {
    SCOPED_TRACE(FormName(to));
    const std::string out = std::string(FormName(to)) + ".gpkg";
    ASSERT_EQ(Run("--region kastelorizo convert --from htrs07-geographic --to " +
                  std::string(FormName(to)) + " '" + input + "' " + out),
              0)
        << err_;
    GDALDatasetUniquePtr ds(GDALDataset::Open(Path(out).c_str(), GDAL_OF_VECTOR));
    const OGRSpatialReference* srs = ds->GetLayer(0)->GetSpatialRef();
    ASSERT_TRUE(srs);
    EXPECT_EQ(srs->GetName(), CrsOf(to, kKastelorizoProfile).name);
    EXPECT_EQ(srs->GetAuthorityCode(nullptr), nullptr);
    // The form is taken from the CRS: the record convert's characters come back.
    fs::remove(Path("back.txt"));
    ASSERT_EQ(Run("--region kastelorizo convert --to ggrs87-tm87 " + out + " back.txt"), 0) << err_;
    EXPECT_EQ(ReadFile(Path("back.txt")), ReadFile(Path("record.txt")));
  }
  EXPECT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 record.txt egsa.gpkg"), 0) << err_;
  EXPECT_EQ(Run("--region kastelorizo convert --to htrs07-tm07 egsa.gpkg x.gpkg"), 2);
  EXPECT_NE(err_.find("EPSG:2100), which is not the CRS of any of the five forms in the region "
                      "kastelorizo"),
            std::string::npos)
      << err_;
}

// CSV tables as Excel saves them: comma, semicolon with decimal commas (Greek Excel), tab; with
// and without a byte-order mark; coordinate columns by their usual names or --columns.
TEST_F(GisConvert, CsvTablesFromExcel) {
  struct Case {
    const char* name;
    std::string text;
    const char* columns;
    bool has3D;
  };
  const std::string bom = "\xEF\xBB\xBF";
  const Case cases[] = {
      {"comma", "id,E,N,H,note\r\nP1,410000.5,4500000.25,100,\"a, b\"\r\n", "", true},
      {"greek-excel", bom + "Κωδικός;Χ (m);Υ (m);Η (m);Σχόλιο\r\nP1;410000,5;4500000,25;100;α, β\r\n", "", true},
      {"tab", "id\teasting\tnorthing\nP1\t410000.5\t4500000.25\n", "", false},
      {"named", bom + "name,first,second,third\nP1,410000.5,4500000.25,100\n", "--columns first,second,third ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = std::string(c.name) + ".csv";
    std::ofstream(Path(in), std::ios::binary) << c.text;
    const bool has3D = c.has3D;
    const auto e = Engine(Form::kGgrs87Tm87, Form::kHtrs07Tm07, 410000.5, 4500000.25, has3D ? 100 : 0);
    // Into a GeoPackage: a point with the other columns as attributes.
    const std::string gpkg = std::string(c.name) + ".gpkg";
    ASSERT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 " + std::string(c.columns) + in +
                  " " + gpkg),
              0)
        << err_;
    const std::vector<Vertex> points = ReadPoints(Path(gpkg));
    ASSERT_EQ(points.size(), 1u);
    EXPECT_NEAR(points[0].x, e[0], kMicrometre);
    EXPECT_NEAR(points[0].y, e[1], kMicrometre);
    EXPECT_EQ(points[0].has3D, has3D);
    if (has3D) {
      EXPECT_NEAR(points[0].z, e[2], kMicrometre);
    }
    // Into a CSV table: the same columns, separator, mark and byte-order mark.
    const std::string csv = std::string(c.name) + "-out.csv";
    ASSERT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 " + std::string(c.columns) + in +
                  " " + csv),
              0)
        << err_;
    const std::string text = ReadFile(Path(csv));
    EXPECT_EQ(text.rfind(bom, 0) == 0, c.text.rfind(bom, 0) == 0) << text;
    if (std::string(c.name) == "greek-excel") {
      EXPECT_NE(text.find("Κωδικός;Χ (m);Υ (m);Η (m);Σχόλιο"), std::string::npos) << text;
      EXPECT_NE(text.find("α, β"), std::string::npos) << text;
      std::string cell = std::to_string(e[0]).substr(0, 10);  // "410150.xxx"
      cell[6] = ',';
      EXPECT_NE(text.find(cell), std::string::npos) << text << " " << cell;
    }
  }
  // Bad tables: no coordinate columns, a cell that is not a number, text not in UTF-8.
  std::ofstream(Path("none.csv"), std::ios::binary) << "a,b\n1,2\n";
  EXPECT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 none.csv x.gpkg"), 2);
  EXPECT_NE(err_.find("--columns"), std::string::npos) << err_;
  std::ofstream(Path("text.csv"), std::ios::binary) << "E;N\n410000;4500000\n410000,5;45OOOOO\n";
  EXPECT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 text.csv x.gpkg"), 1);
  EXPECT_NE(err_.find("text.csv, layer 'text', feature 2 (line 3), column 'N': \"45OOOOO\" is not a number"),
            std::string::npos)
      << err_;
  // Greek Excel's "CSV (delimited)" is Windows-1253: its Greek column names are found, its
  // text is written in UTF-8; rows of empty cells are skipped, and lines are counted as the
  // file has them.
  std::ofstream(Path("cp1253.csv"), std::ios::binary)
      << "\xD7;\xD5;\xCF\xED\xEF\xEC\xE1\r\n\r\n410000;4500000;\xC8\xE5\xF3\r\n;;\r\n\r\n"
         "410000;45OOOOO;x\r\n";
  EXPECT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 cp1253.csv x.gpkg"), 1);
  EXPECT_NE(err_.find("not UTF-8: its text is read as Windows-1253"), std::string::npos) << err_;
  EXPECT_NE(err_.find("feature 3 (line 6), column 'Υ'"), std::string::npos) << err_;
  std::ofstream(Path("cp1253.csv"), std::ios::binary)
      << "\xD7;\xD5;\xCF\xED\xEF\xEC\xE1\r\n410000;4500000;\xC8\xE5\xF3\r\n;;\r\n";
  EXPECT_EQ(Run("convert --from ggrs87-tm87 --to htrs07-tm07 cp1253.csv x.gpkg"), 0) << err_;
  {
    GDALDatasetUniquePtr ds(GDALDataset::Open(Path("x.gpkg").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(ds);
    OGRLayer* layer = ds->GetLayer(0);
    ASSERT_EQ(layer->GetFeatureCount(), 1);
    std::unique_ptr<OGRFeature> f(layer->GetNextFeature());
    EXPECT_STREQ(f->GetFieldAsString("Ονομα"), "Θεσ");
  }
  ExpectNoTemporaryLeft();
}

// A vertex outside the grid stops the conversion with exit 3 naming layer, FID and vertex, and
// leaves no output (an existing one untouched); --outside skip leaves out those features and
// says which.
TEST_F(GisConvert, OutsideTheGridAllOrNothing) {
  {
    GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
    GDALDatasetUniquePtr ds(gpkg->Create(Path("in.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* layer = NewLayer(*ds, "lines", Form::kHtrs07Tm07, wkbLineString);
    const char* wkts[] = {"LINESTRING (400000 2200000,400100 2200100)",
                          "LINESTRING (400000 2200000,900000 2200100,400000 2200200)",
                          "LINESTRING (410000 2210000,410100 2210100)",
                          "LINESTRING (950000 2200000,400000 2200000)"};
    for (const char* wkt : wkts) {
      OGRFeature f(layer->GetLayerDefn());
      OGRGeometry* g = nullptr;
      OGRGeometryFactory::createFromWkt(wkt, nullptr, &g);
      f.SetGeometryDirectly(g);
      ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
    }
  }
  std::ofstream(Path("out.gpkg"), std::ios::binary) << "the user's file";
  EXPECT_EQ(Run("convert --to ggrs87-tm87 in.gpkg out.gpkg"), 2);
  EXPECT_NE(err_.find("already exists: give --overwrite"), std::string::npos) << err_;
  EXPECT_EQ(Run("convert --to ggrs87-tm87 --overwrite in.gpkg out.gpkg"), 3);
  EXPECT_NE(err_.find("in.gpkg, layer 'lines', feature 2, vertex 2 (E 900000.000, N 2200100.000): "
                      "outside the correction grid"),
            std::string::npos)
      << err_;
  EXPECT_EQ(ReadFile(Path("out.gpkg")), "the user's file");
  EXPECT_EQ(Run("convert --to ggrs87-tm87 in.gpkg new.gpkg"), 3);
  EXPECT_FALSE(fs::exists(Path("new.gpkg")));
  ExpectNoTemporaryLeft();

  EXPECT_EQ(Run("convert --to ggrs87-tm87 --outside skip --overwrite in.gpkg out.gpkg"), 0) << err_;
  EXPECT_NE(err_.find("2 features were left out, with a vertex outside the correction grid: "
                      "layer 'lines' FID 2, 4."),
            std::string::npos)
      << err_;
  GDALDatasetUniquePtr out(GDALDataset::Open(Path("out.gpkg").c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(out);
  std::vector<long long> fids;
  for (const auto& f : *out->GetLayer(0)) fids.push_back(f->GetFID());
  EXPECT_EQ(fids, (std::vector<long long>{1, 3}));
}

// No output may be the input: the same file by another name, or a Shapefile whose sidecar is
// the input's.
TEST_F(GisConvert, OutputThatIsTheInputIsRefused) {
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 '" + kReference +
                "mainland/GGRS87-SENh.txt' in.shp"),
            0)
      << err_;
  const std::string before = ReadFile(Path("in.dbf"));
  fs::create_symlink(Path("in.shp"), Path("link.shp"));
  EXPECT_EQ(Run("convert --to htrs07-tm07 --overwrite in.shp link.shp"), 1);
  EXPECT_NE(err_.find("is the input"), std::string::npos) << err_;
  EXPECT_EQ(Run("convert --to htrs07-tm07 --overwrite in.shp in.shp"), 1);
  EXPECT_EQ(Run("convert --to htrs07-tm07 --overwrite --format GeoJSON in.shp in.dbf"), 1);
  EXPECT_NE(err_.find("is the input"), std::string::npos) << err_;
  EXPECT_EQ(ReadFile(Path("in.dbf")), before);
  ExpectNoTemporaryLeft();
}

// Nor is any output a correction grid, read or not.
TEST_F(GisConvert, NoOutputIsAGrid) {
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-tm87 '" + kReference +
                "mainland/GGRS87-SENh.txt' in.gpkg"),
            0)
      << err_;
  std::ofstream(Path("dE_2km_V1-0.grd"), std::ios::binary) << "3 2 2000 1846000 42000 1 2 3 4 5 6";
  EXPECT_EQ(Run("convert --to ggrs87-tm87 --format CSV --overwrite in.gpkg dE_2km_V1-0.grd"), 1);
  EXPECT_NE(err_.find("is the correction grid"), std::string::npos) << err_;
  EXPECT_EQ(ReadFile(Path("dE_2km_V1-0.grd")), "3 2 2000 1846000 42000 1 2 3 4 5 6");
}

// A record file is one by its content, whatever its name: a headerless .csv of records, any
// other name that is no GIS dataset, --format records; a .csv with a header is a table.
TEST_F(GisConvert, RecordFilesByAnyName) {
  const std::string record = "P1,566296.541,4529332.314,6.501\r\n";
  const std::string converted = "P1,405444.68271,244714.08889,6.501\r\n";
  for (const char* name : {"in.dat", "points.xyz", "coords", "headerless.csv"}) {
    SCOPED_TRACE(name);
    std::ofstream(Path(name), std::ios::binary) << record;
    ASSERT_EQ(Run(std::string("convert --from ggrs87-tm87 --to ggrs87-geographic ") + name +
                  " out.got"),
              0)
        << err_;
    EXPECT_EQ(ReadFile(Path("out.got")), converted);
  }
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-geographic --format records "
                "headerless.csv out.csv"),
            0)
      << err_;
  EXPECT_EQ(ReadFile(Path("out.csv")), converted);
  std::ofstream(Path("table.csv"), std::ios::binary) << "id,E,N,h\r\n" << record;
  ASSERT_EQ(Run("convert --from ggrs87-tm87 --to ggrs87-geographic table.csv out.txt"), 0) << err_;
  EXPECT_EQ(ReadFile(Path("out.txt")), converted);
}

// SIGTERM and SIGHUP stop a dataset's conversion as Ctrl+C does: nothing is left behind.
TEST_F(GisConvert, ASignalLeavesNoTemporaryOutput) {
  for (const char* signal : {"TERM", "HUP"}) {
    SCOPED_TRACE(signal);
    const std::string script =
        "cd '" + folder_.string() + "' && { yes 'P1,566296.541,4529332.314,6.501' | '" +
        VORTAN_CLI + "' --dn '" + kGrids + "dN_2km_V1-0.grd' --de '" + kGrids +
        "dE_2km_V1-0.grd' convert --from ggrs87-tm87 --to htrs07-tm07 - out.gpkg 2>err & "
        "pid=$!; while ! ls -a | grep -q '^.vortan-output-'; do sleep 0.02; done; sleep 0.2; "
        "kill -" + signal + " $pid; wait $pid; }";
    const int status = std::system(script.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(signal) == "TERM" ? 143 : 129);
    EXPECT_NE(ReadFile(Path("err")).find("nothing was written to out.gpkg"), std::string::npos)
        << ReadFile(Path("err"));
    EXPECT_FALSE(fs::exists(Path("out.gpkg")));
    ExpectNoTemporaryLeft();
  }
}

// A 2D geometry is converted with h = 0. The normals of the two ellipsoids differ by some
// 1e-5 rad over Greece, so a height of h moves E, N by about that times h: the figure that
// docs/formats.md quotes, measured over the reference points.
TEST_F(GisConvert, TwoDimensionalHeightMovesEastingNorthingLittle) {
  const std::vector<Record> points = ReadRecords(kReference + "mainland/GGRS87-SENh.txt");
  ASSERT_EQ(points.size(), 300u);
  double largest = 0;
  for (const Record& r : points) {
    const auto flat = Engine(Form::kGgrs87Tm87, Form::kHtrs07Tm07, r.v[0], r.v[1], 0);
    const auto high = Engine(Form::kGgrs87Tm87, Form::kHtrs07Tm07, r.v[0], r.v[1], 1000);
    largest = std::max(largest, std::hypot(flat[0] - high[0], flat[1] - high[1]));
  }
  std::printf("E, N move by at most %.1f mm for 1000 m of height\n", largest * 1000);
  EXPECT_GT(largest, 0.03);
  EXPECT_LT(largest, 0.06);
}

// The record jobs do not load GDAL: the tool links none of it, and loads the GIS module only for
// a dataset (a record job stays within its few megabytes).
TEST_F(GisConvert, TheToolLinksNoGdal) {
  ASSERT_EQ(std::system(("ldd '" + std::string(VORTAN_CLI) + "' >'" + Path("ldd") + "'").c_str()), 0);
  const std::string libraries = ReadFile(Path("ldd"));
  EXPECT_EQ(libraries.find("libgdal"), std::string::npos) << libraries;
  EXPECT_TRUE(fs::exists(fs::path(VORTAN_CLI).parent_path() / "libvortan-gis.so"));
}

// The GIS module runs the initial step itself once it knows the layers' forms: the grids given
// are read where a layer crosses the datum on the mainland, and only there.
TEST_F(GisConvert, TheGridsAreReadWhereALayerCrossesTheDatum) {
  std::ofstream(Path("points.txt"), std::ios::binary) << "P1,566446.108,2529618.096,51.610\r\n";
  std::ofstream(Path("table.csv"), std::ios::binary) << "id,E,N\r\nP1,566446.108,2529618.096\r\n";
  const std::string missing = "--dn no-dN.grd --de no-dE.grd ";
  const struct {
    std::string arguments;
    int status;
  } cases[] = {
      {missing + "convert --from htrs07-tm07 --to ggrs87-tm87 points.txt a.gpkg", 1},
      {missing + "convert --from htrs07-tm07 --to ggrs87-tm87 table.csv b.csv", 1},
      {missing + "convert --from htrs07-tm07 --to htrs07-geographic points.txt c.gpkg", 0},
      {missing + "convert --from htrs07-tm07 --to htrs07-xyz table.csv d.csv", 0},
      {missing + "--region kastelorizo convert --from htrs07-tm07 --to ggrs87-tm87 table.csv e.csv", 0},
      {"convert --from htrs07-tm07 --to ggrs87-tm87 table.csv f.csv", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(Run(c.arguments), c.status) << err_;
    if (c.status == 1) {
      EXPECT_NE(err_.find("no-dN.grd"), std::string::npos) << err_;
      EXPECT_NE(err_.find("\nThe grids are read from no-dN.grd and no-dE.grd; give other files "
                          "with --dn and --de.\n"),
                std::string::npos)
          << err_;
    }
  }
  EXPECT_FALSE(fs::exists(Path("a.gpkg")) || fs::exists(Path("b.csv")));
}

}  // namespace
}  // namespace vortan
