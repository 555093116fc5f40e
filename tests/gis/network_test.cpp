// No input makes the tool connect anywhere: a VRT file under any name, URLs and GDAL's remote
// file systems as input or output names, a GML file whose schema is a URL. A listener on the
// loopback address stands for the network: it must see no connection.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "gis_fixture.h"

namespace vortan {
namespace {

using namespace gistest;

class NoNetwork : public GisConvert {
 protected:
  void SetUp() override {
    GisConvert::SetUp();
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(listener_, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener_, 16), 0);
    socklen_t size = sizeof address;
    ASSERT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size), 0);
    url_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    // Should a request go out after all, the tool waits for no answer: the test fails, at once.
    ::setenv("GDAL_HTTP_TIMEOUT", "2", 1);
    ::setenv("GDAL_HTTP_MAX_RETRY", "0", 1);
  }
  void TearDown() override { ::close(listener_); }

  // Whether anything connected to the listener since the last call.
  bool Connected() {
    bool any = false;
    for (int fd; (fd = ::accept(listener_, nullptr, nullptr)) >= 0;) {
      ::close(fd);
      any = true;
    }
    return any;
  }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(Path(name), std::ios::binary) << text;
  }

  int listener_ = -1;
  std::string url_;
};

TEST_F(NoNetwork, NothingConnectsAndTheUserIsTold) {
  const std::string vrt = "<OGRVRTDataSource><OGRVRTLayer name=\"p\"><SrcDataSource>/vsicurl/" +
                          url_ + "/p.csv</SrcDataSource><GeometryType>wkbPoint</GeometryType>"
                          "<GeometryField encoding=\"PointFromColumns\" x=\"E\" y=\"N\"/>"
                          "</OGRVRTLayer></OGRVRTDataSource>\n";
  Write("points.vrt", vrt);
  Write("points.dat", vrt);
  struct Case {
    std::string input, output, said;
  };
  const Case cases[] = {
      {"points.vrt", "o.geojson", "virtual dataset (VRT)"},
      {"points.dat", "o.geojson", "virtual dataset (VRT)"},
      {"/vsicurl/" + url_ + "/p.geojson", "o.geojson", "a network address"},
      {url_ + "/p.geojson", "o.geojson", "a network address"},
      {"/vsizip//vsicurl/" + url_ + "/p.zip/p.shp", "o.geojson", "a network address"},
      {"/vsicurl_streaming/" + url_ + "/p.gpkg", "o.geojson", "a network address"},
      {"points.vrt", "/vsis3/bucket/o.geojson", "a network address"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input + " -> " + c.output);
    EXPECT_EQ(Run("convert --to htrs07-tm07 '" + c.input + "' '" + c.output + "'"), 1) << err_;
    EXPECT_NE(err_.find(c.said), std::string::npos) << err_;
    EXPECT_FALSE(Connected());
    EXPECT_FALSE(fs::exists(Path("o.geojson")));
  }
  ExpectNoTemporaryLeft();
}

TEST_F(NoNetwork, AGmlSchemaAtAnAddressIsNotFetched) {
  Write("p.gml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<ogr:FeatureCollection xmlns:ogr=\"http://ogr.maptools.org/\" "
        "xmlns:gml=\"http://www.opengis.net/gml\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:schemaLocation=\"http://ogr.maptools.org/ " + url_ + "/p.xsd\">\n"
        "<gml:featureMember><ogr:p fid=\"p.0\"><ogr:geometryProperty><gml:Point "
        "srsName=\"EPSG:2100\"><gml:coordinates>480000,4200000</gml:coordinates></gml:Point>"
        "</ogr:geometryProperty><ogr:name>P1</ogr:name></ogr:p></gml:featureMember>\n"
        "</ogr:FeatureCollection>\n");
  Run("convert --from ggrs87-tm87 --to htrs07-tm07 p.gml o.geojson");
  EXPECT_FALSE(Connected()) << err_;
}

}  // namespace
}  // namespace vortan
