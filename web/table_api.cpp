// The calls of the WebAssembly module for CSV tables from spreadsheets: what a file is taken
// for (a record file or a table), a table's columns, and convert on a table, as the tool
// converts it through GDAL (web/api_common.h for what the calls share).
#include <emscripten/emscripten.h>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include "app/platform.h"
#include "app/programs.h"
#include "core/angles.h"
#include "core/geodetic_params.h"
#include "core/math_functions.h"
#include "data_files/job_table.h"
#include "data_files/jobs.h"
#include "data_files/record_reader.h"
#include "data_files/records.h"
#include "data_files/served_area.h"
#include "data_files/ui/data_file_window_logic.h"
#include "engine/conversion.h"
#include "engine/session.h"
#include "gis/csv_conversion.h"
#include "gis/csv_table.h"
#include "io/files.h"
#include "single_point/boxes.h"
#include "single_point/conversions.h"
#include "single_point/form.h"
#include "single_point/messages.h"
#include "transform/datum.h"
#include "transform/region_profile.h"
#include "transform/regions.h"
#include "tools/synthetic_grids.h"
#include "vortan/version.h"
#include "web/json.h"
#include "web/api_common.h"

using namespace vortan;
using namespace vortan::web;

extern "C" {

// convert --from FROM --to TO [--keep-heights] INPUT OUTPUT on a CSV table from a spreadsheet,
// as the tool converts it through GDAL.
// What the page takes a file for, by the rule of the tool's convert where that rule needs no
// GDAL: a record file when it is named .txt or its first line reads as a record (an id and three
// numbers, BeginsWithRecord), else a table with a header row.
EMSCRIPTEN_KEEPALIVE const char* vortan_input_kind(const char* path) {
  const std::string_view name(path);
  bool records = false;
  if (name.size() >= 4) {
    std::string extension(name.substr(name.size() - 4));
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    records = extension == ".txt";
  }
  if (!records) {
    std::string bytes(4096, '\0');
    std::size_t got = 0;
    const int fd = OpenForReading(path);
    while (fd >= 0 && got < bytes.size()) {
      const long long n = ReadSome(fd, bytes.data() + got, bytes.size() - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (fd >= 0) CloseFile(fd);
    bytes.resize(got);
    records = BeginsWithRecord(bytes);
  }
  JsonWriter json;
  json.BeginObject().Field("kind", records ? "records" : "table").EndObject();
  return Answer(json.Take());
}

// The columns of a CSV table as its conversion reads them, and the coordinate columns convert
// finds among them without --columns: x, y, z (their places, z -1 for none), or why it finds
// none (the tool's message). An error where the file holds no header.
EMSCRIPTEN_KEEPALIVE const char* vortan_table_columns(const char* path) {
  JsonWriter json;
  json.BeginObject();
  const std::optional<std::vector<std::string>> names = gis::CsvColumnNames(path);
  if (!names) {
    json.Field("error", "no header row").EndObject();
    return Answer(json.Take());
  }
  json.Key("names").BeginArray();
  for (const std::string& name : *names) json.Value(name);
  json.EndArray();
  gis::CoordinateColumns columns;
  const std::string why = gis::FindCoordinateColumns(*names, {}, columns);
  json.Field("x", columns.x).Field("y", columns.y).Field("z", columns.z).Field("why", why);
  json.EndObject();
  return Answer(json.Take());
}

// convert of a CSV table; columns: the coordinate columns x, y[, z] by name, one a line, as
// --columns names them (empty: found by their names).
EMSCRIPTEN_KEEPALIVE const char* vortan_convert_table(int handle, const char* from,
                                                      const char* to, int keepHeights,
                                                      const char* columns,
                                                      const char* input, const char* output) {
  Engine* engine = EngineOf(handle);
  const std::optional<Form> f = FormOf(from), t = FormOf(to);
  JsonWriter json;
  json.BeginObject();
  if (engine == nullptr || !f || !t) {
    json.Field("error", engine == nullptr ? "no such engine" : "not a form").EndObject();
    return Answer(json.Take());
  }
  gis::DatasetRequest request;
  request.input = input;
  request.output = output;
  request.from = *f;
  request.to = *t;
  request.keepHeights = keepHeights != 0;
  for (std::string_view rest(columns); !rest.empty();) {
    const std::size_t end = rest.find('\n');
    request.columns.emplace_back(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  request.progress = [](const gis::DatasetProgress& p) {
    ReportJobProgress(static_cast<double>(p.pointsDone), 0, 0);
  };
  const gis::DatasetOutcome o = gis::ConvertCsvTable(engine->context, request);
  const char* status = o.status == gis::DatasetStatus::kDone          ? "done"
                       : o.status == gis::DatasetStatus::kOutsideGrid ? "outside-grid"
                       : o.status == gis::DatasetStatus::kCancelled   ? "cancelled"
                       : o.status == gis::DatasetStatus::kUsage       ? "usage"
                                                                      : "error";
  json.Field("status", status)
      .Field("message", o.message)
      .Field("featuresWritten", static_cast<double>(o.featuresWritten))
      .Field("pointsConverted", static_cast<double>(o.pointsConverted));
  json.Key("notes").BeginArray();
  for (const std::string& note : o.notes) json.Value(note);
  json.EndArray();
  json.EndObject();
  return Answer(json.Take());
}

}  // extern "C"
