// The fixture of the GIS tests: a folder per test, the tool run on it with the test grids, the
// engine's values of a point, and the files GDAL reads back. The fixtures are made with GDAL
// itself from the reference points.
#pragma once

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/geodetic_params.h"
#include "engine/conversion.h"
#include "engine/crs.h"
#include "tests/support/folder_test.h"
#include "transform/datum.h"

namespace vortan::gistest {

namespace fs = std::filesystem;

inline const std::string kReference = std::string(VORTAN_TEST_DATA) + "/reference/";
inline const std::string kGrids = kReference + "grids/";
constexpr double kMicrometre = 1e-6;
constexpr double kDegree = kPi / 180.0;

struct Record {
  std::string id;
  double v[3];
};

inline std::vector<Record> ReadRecords(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<Record> records;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    Record r;
    std::size_t at;
    if (line[0] == '"') {  // a quoted id, as the record writer quotes one with a comma
      at = line.find("\",", 1) + 1;
      r.id = line.substr(1, at - 2);
    } else {
      at = line.find(',');
      r.id = line.substr(0, at);
    }
    for (int k = 0; k < 3; ++k) {
      const std::size_t next = line.find(',', at + 1);
      r.v[k] = std::stod(line.substr(at + 1, next - at - 1));
      at = next;
      if (next == std::string::npos) break;
    }
    records.push_back(r);
  }
  return records;
}

using support::ReadFile;

// A vertex of a point layer as GDAL reads it back.
struct Vertex {
  long long fid;
  std::string id;
  double x, y, z;
  bool has3D;
};

inline std::vector<Vertex> ReadPoints(const std::string& path, const char* const* options = nullptr) {
  GDALDatasetUniquePtr ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR, nullptr, options));
  EXPECT_TRUE(ds) << path;
  std::vector<Vertex> out;
  if (!ds) return out;
  for (OGRLayer* layer : ds->GetLayers()) {
    for (const auto& f : *layer) {
      const OGRGeometry* g = f->GetGeometryRef();
      if (!g || wkbFlatten(g->getGeometryType()) != wkbPoint) continue;
      const OGRPoint* p = g->toPoint();
      const int idField = f->GetFieldIndex("id");
      out.push_back({f->GetFID(), idField >= 0 ? f->GetFieldAsString(idField) : "", p->getX(),
                     p->getY(), p->getZ(), p->Is3D() != 0});
    }
  }
  return out;
}

class GisConvert : public support::FolderTest {
 protected:
  static void SetUpTestSuite() { GDALAllRegister(); }

  void SetUp() override {
    context_ = MakeContext(kMainlandProfile, kDataFileBounds);
    ASSERT_EQ(InitialStep(context_, kGrids + kDnGridFileName, kGrids + kDeGridFileName), "");
  }
  // Runs vortan-transform with the test grids in the test folder; the exit status, with
  // standard error in err_.
  int Run(const std::string& arguments) {
    const std::string command = "cd '" + folder_.string() + "' && '" + VORTAN_CLI + "' --dn '" +
                                kGrids + "dN_2km_V1-0.grd' --de '" + kGrids +
                                "dE_2km_V1-0.grd' " + arguments + " </dev/null 2>'" +
                                Path("stderr") + "' >/dev/null";
    const int status = std::system(command.c_str());
    err_ = ReadFile(Path("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // No file of the folder is a temporary output left behind.
  void ExpectNoTemporaryLeft() const {
    for (const auto& entry : fs::directory_iterator(folder_)) {
      EXPECT_EQ(entry.path().filename().string().rfind(".vortan-output-", 0), std::string::npos)
          << entry.path();
    }
  }

  // The engine's value of one point, in the forms' units (degrees, x = longitude, for the
  // geographic forms).
  std::array<double, 3> Engine(Form from, Form to, double x, double y, double z,
                               bool keepHeights = false) const {
    double in[3] = {x, y, z};
    if (IsGeographic(from)) {
      in[0] = y * kDegree;
      in[1] = x * kDegree;
    }
    double out[3];
    EXPECT_TRUE(Conversion(context_, from, to, keepHeights).Point(in, out).ok());
    if (IsGeographic(to)) return {out[1] / kDegree, out[0] / kDegree, out[2]};
    return {out[0], out[1], out[2]};
  }

  // A GeoPackage layer of the form's CRS, made with GDAL.
  OGRLayer* NewLayer(GDALDataset& ds, const char* name, Form form, OGRwkbGeometryType type) {
    OGRSpatialReference srs;
    srs.importFromWkt(CrsOf(form, kMainlandProfile).wkt.c_str());
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return ds.CreateLayer(name, &srs, type);
  }

  // A dataset of one layer in the form's CRS, one feature per WKT with the attribute name.
  void WriteLayer(const std::string& file, const char* driver, const char* layerName, Form form,
                  OGRwkbGeometryType type, const std::vector<std::string>& wkts,
                  const std::vector<std::string>& names = {},
                  const char* const* layerOptions = nullptr) {
    GDALDriver* d = GetGDALDriverManager()->GetDriverByName(driver);
    ASSERT_TRUE(d) << driver;
    GDALDatasetUniquePtr ds(d->Create(Path(file).c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_TRUE(ds) << file;
    OGRSpatialReference srs;
    srs.importFromWkt(CrsOf(form, kMainlandProfile).wkt.c_str());
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer* layer = ds->CreateLayer(layerName, &srs, type, const_cast<char**>(layerOptions));
    ASSERT_TRUE(layer);
    OGRFieldDefn name("name", OFTString);
    ASSERT_EQ(layer->CreateField(&name), OGRERR_NONE);
    for (std::size_t i = 0; i < wkts.size(); ++i) {
      OGRFeature f(layer->GetLayerDefn());
      OGRGeometry* g = nullptr;
      ASSERT_EQ(OGRGeometryFactory::createFromWkt(wkts[i].c_str(), nullptr, &g), OGRERR_NONE)
          << wkts[i];
      f.SetGeometryDirectly(g);
      if (i < names.size()) f.SetField("name", names[i].c_str());
      ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
    }
  }

  std::string err_;
  TransformContext context_;
};


}  // namespace vortan::gistest
