// The calls of the WebAssembly module for the engine: the catalogue of forms, jobs and regions,
// a region's engine with its grids, the batch call, the record jobs and convert, the positions
// and the area of a region for the picture. The tables' calls are in table_api.cpp, the
// windows' in window_api.cpp. Every call takes plain numbers and texts and answers in JSON
// (valid until the next call); the files a job reads and writes are in the module's file
// system, where the JavaScript side puts and takes them. Nothing here computes a point or words
// a message: that is the libraries'.
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

namespace vortan::web {
namespace {

// The form of a job's input records.
Form InputFormOf(JobKind kind) {
  switch (kind) {
    case JobKind::kSflhToSenh: return Form::kGgrs87Geographic;
    case JobKind::kSenhToHtrs07: return Form::kGgrs87Tm87;
    case JobKind::kSflhToSxyz: return Form::kHtrs07Geographic;
    case JobKind::kSxyzToGgrs87: return Form::kHtrs07Xyz;
  }
  return Form::kHtrs07Xyz;
}

}  // namespace
}  // namespace vortan::web

using namespace vortan;
using namespace vortan::web;

extern "C" {

// The forms, jobs and region names, and the default file names of each region.
EMSCRIPTEN_KEEPALIVE const char* vortan_catalogue() {
  JsonWriter json;
  json.BeginObject();
  json.Key("forms").BeginArray();
  for (Form form : kAllForms) {
    const std::array<std::string_view, 3> names = CoordinateNames(form);
    json.BeginObject()
        .Field("name", FormName(form))
        .Field("htrs07", InHtrs07(form))
        .Field("geographic", IsGeographic(form))
        .Field("layout", LayoutName(LayoutOf(form)))
        .Key("coordinates")
        .BeginArray()
        .Value(names[0])
        .Value(names[1])
        .Value(names[2])
        .EndArray()
        .EndObject();
  }
  json.EndArray();
  json.Key("jobs").BeginArray();
  for (const JobDefinition& job : JobDefinitions()) {
    const JobWindow& window = WindowOf(job.kind);
    json.BeginObject()
        .Field("name", job.cliName)
        .Field("description", job.description)
        .Field("button", window.button)
        .Field("title", window.title)
        .Field("usesTransform", job.usesTransform)
        .Field("inputForm", FormName(InputFormOf(job.kind)))
        .Field("input", job.input.defaultName)
        .Field("inputLayout", LayoutName(job.input.layout));
    json.Key("outputs").BeginArray();
    for (const JobFile& file : job.outputs) json.Value(file.defaultName);
    json.EndArray();
    json.Key("dialogs").BeginArray();
    for (const JobDialog& dialog : window.dialogs) json.Value(dialog.title);
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.Key("regions").BeginArray();
  for (int region : {0, 1}) {
    const RegionProfile& profile = ProfileOf(region);
    json.BeginObject()
        .Field("name", profile.name)
        .Field("hasGrids", profile.hasGrids)
        .Field("initialStepCaption", profile.initialStepCaption)
        .Field("fileNameInfix", profile.fileNameInfix);
    json.Key("programs").BeginObject();
    for (ProgramKind kind :
         region == 0 ? std::vector{ProgramKind::kSinglePointMainland, ProgramKind::kDataFilesMainland}
                     : std::vector{ProgramKind::kSinglePointKastelorizo,
                                   ProgramKind::kDataFilesKastelorizo}) {
      const ProgramInfo& info = InfoOf(kind);
      json.Key(kind == ProgramKind::kSinglePointMainland || kind == ProgramKind::kSinglePointKastelorizo
                   ? "singlePoint"
                   : "dataFiles")
          .BeginObject()
          .Field("caption", info.caption)
          .Field("executable", info.executable)
          .EndObject();
    }
    json.EndObject();
    json.EndObject();
  }
  json.EndArray();
  json.Field("noticeTitle", texts::kNoticeTitle).Field("noticeText", texts::NoticeText());
  json.Field("version", kVersion);
  // The extent test of the data-file program in TM07 (false northing included).
  const double falseNorthing = kMainlandProfile.tm07.falseNorthing;
  json.Key("dataFileBounds")
      .BeginObject()
      .Field("nMin", kDataFileBounds.nMin + falseNorthing)
      .Field("nMax", kDataFileBounds.nMax + falseNorthing)
      .Field("eMin", kDataFileBounds.eMin)
      .Field("eMax", kDataFileBounds.eMax)
      .EndObject();
  json.EndObject();
  return Answer(json.Take());
}

// A default file name of the data-file program in a region ("GGRS87-KAST-SENh.txt").
EMSCRIPTEN_KEEPALIVE const char* vortan_region_file_name(int region, const char* mainlandName) {
  return Answer(RegionFileName(ProfileOf(region), mainlandName));
}

// A region's context after its initial step: with the grids of the two paths where the region
// has grids. Answers {"handle": H} or {"error": "..."}.
EMSCRIPTEN_KEEPALIVE const char* vortan_engine_new(int region, const char* dnPath,
                                                   const char* dePath) {
  auto engine = std::make_unique<Engine>(ProfileOf(region));
  JsonWriter json;
  json.BeginObject();
  // The mainland without grids: the tool's context for what does not cross the datum (the
  // jobs and conversions across it then say that the initial step has not run).
  const bool noGrids = engine->context.profile->hasGrids && *dnPath == '\0' && *dePath == '\0';
  const std::string error = noGrids ? "" : engine->session.LoadGrids(dnPath, dePath);
  if (!error.empty()) {
    json.Field("error", error);
  } else {
    const int handle = nextHandle++;
    if (engine->context.grids) WriteHeader(json, engine->context.grids->dE.header);
    engines[handle] = std::move(engine);
    json.Field("handle", handle);
  }
  json.EndObject();
  return Answer(json.Take());
}

EMSCRIPTEN_KEEPALIVE void vortan_engine_free(int handle) { engines.erase(handle); }

// The values of a loaded grid (0 dN, 1 dE), row 1 (north) first, each row from west to east:
// the address of rowCount * columnCount floats, 0 where there is none.
EMSCRIPTEN_KEEPALIVE const float* vortan_engine_grid(int handle, int which) {
  Engine* engine = EngineOf(handle);
  if (engine == nullptr || !engine->context.grids) return nullptr;
  return (which == 0 ? engine->context.grids->dN : engine->context.grids->dE).values.data();
}

// Converts n points between two forms: a, b, c in, outA, outB, outC and a status byte per
// point out (0 done, 1 outside the grid, 2 numeric fault, 3 no value, 4 a latitude or longitude
// out of range). Latitude and longitude
// in decimal degrees (latitude first), everything else in metres. mode 0: the session's plain
// routines; 1 (exact): the correctly rounded elementary functions throughout (slower; the values
// then equal glibc's in all but about one point in a hundred, to the last bit); 2: the vector
// lanes (WebAssembly SIMD, the bits of the native lanes on every processor).
EMSCRIPTEN_KEEPALIVE const char* vortan_convert_batch(int handle, const char* from,
                                                      const char* to, int keepHeights,
                                                      int mode, int n,
                                                      const double* a, const double* b,
                                                      const double* c, double* outA,
                                                      double* outB, double* outC,
                                                      std::uint8_t* status) {
  Engine* engine = EngineOf(handle);
  const std::optional<Form> f = FormOf(from), t = FormOf(to);
  JsonWriter json;
  json.BeginObject();
  if (engine == nullptr || !f || !t) {
    json.Field("error", engine == nullptr ? "no such engine" : "not a form").EndObject();
    return Answer(json.Take());
  }
  const std::size_t count = static_cast<std::size_t>(n);
  std::vector<PointStatus> statuses(count);
  // Every digit of these doubles is the caller's: the session's plain routines unless the
  // caller asks for the lanes, as in the C library and Python.
  ArrayCall call;
  call.from = *f;
  call.to = *t;
  call.keepHeights = keepHeights != 0;
  call.status = statuses.data();
  call.exact = mode == 1;
  // The module runs one call at a time: the session's routines are this call's.
  engine->session.SetRoutines(mode == 2 ? Routines::kLanes : kValueRoutines);
  const ArrayOutcome o = engine->session.ConvertArrays(call, count, {a, b, c}, {outA, outB, outC});
  engine->session.SetRoutines(kValueRoutines);
  for (std::size_t i = 0; i < count; ++i) {
    switch (statuses[i]) {
      case PointStatus::kDone: status[i] = 0; break;
      case PointStatus::kOutsideGrid: status[i] = 1; break;
      case PointStatus::kFault: status[i] = 2; break;
      case PointStatus::kNoValue: status[i] = 3; break;
      case PointStatus::kOutOfRange: status[i] = 4; break;
    }
  }
  json.Field("failures", static_cast<double>(o.failures));
  if (o.firstFailure) {
    json.Field("firstFailure", static_cast<double>(*o.firstFailure))
        .Field("fault", o.firstOutcome.fault)
        .Field("outsideGrid", o.firstOutcome.status == PointStatus::kOutsideGrid)
        .Field("message", o.failure.reason)
        .Field("messageGreek", o.failure.reasonGreek);
  }
  json.EndObject();
  return Answer(json.Take());
}

// One of the four jobs from an input file to its output files (outputs: the paths joined by
// line feeds), as the tool runs it.
EMSCRIPTEN_KEEPALIVE const char* vortan_run_job(int handle, const char* job, const char* input,
                                                const char* outputs) {
  Engine* engine = EngineOf(handle);
  const JobDefinition* definition = FindJob(job ? job : "");
  JsonWriter json;
  json.BeginObject();
  if (engine == nullptr || definition == nullptr) {
    json.Field("error", engine == nullptr ? "no such engine" : "not a job").EndObject();
    return Answer(json.Take());
  }
  std::vector<std::string> paths;
  std::string_view rest(outputs);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    paths.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  const JobOutcome o = RunJob(definition->kind, engine->context, input, paths, ProgressOptions());
  WriteOutcome(json, o);
  json.EndObject();
  return Answer(json.Take());
}

// convert --from FROM --to TO [--keep-heights] INPUT OUTPUT on record files.
EMSCRIPTEN_KEEPALIVE const char* vortan_run_conversion(int handle, const char* from,
                                                       const char* to, int keepHeights,
                                                       const char* input, const char* output) {
  Engine* engine = EngineOf(handle);
  const std::optional<Form> f = FormOf(from), t = FormOf(to);
  JsonWriter json;
  json.BeginObject();
  if (engine == nullptr || !f || !t) {
    json.Field("error", engine == nullptr ? "no such engine" : "not a form").EndObject();
    return Answer(json.Take());
  }
  const Conversion conversion(engine->context, *f, *t, keepHeights != 0);
  const JobOutcome o = RunConversion(conversion, input, output, ProgressOptions());
  WriteOutcome(json, o);
  json.Field("outputName",
             RegionFileName(*engine->context.profile,
                            std::string(InHtrs07(*t) ? "HTRS07-" : "GGRS87-") +
                                std::string(LayoutName(LayoutOf(*t))) + ".txt"));
  json.EndObject();
  return Answer(json.Take());
}

// The TM07 E, N of the points of a record file of a form, for the picture: at most capacity
// points, taken evenly from the file (every k-th). Answers the count written to east, north.
EMSCRIPTEN_KEEPALIVE const char* vortan_positions(int handle, const char* from, const char* input,
                                                  int capacity, double* east, double* north) {
  Engine* engine = EngineOf(handle);
  const std::optional<Form> f = FormOf(from);
  JsonWriter json;
  json.BeginObject();
  if (engine == nullptr || !f) {
    json.Field("error", "no such engine or form").EndObject();
    return Answer(json.Take());
  }
  const int fd = OpenForReading(input);
  std::vector<double> e, n;
  std::size_t seen = 0, every = 1;
  if (fd >= 0) {
    RecordReader reader(fd, CoordinateNames(*f));
    const Conversion conversion(engine->context, *f, Form::kHtrs07Tm07);
    RecordBatch batch;
    bool more = true;
    while (more) {
      more = reader.ReadBatch(batch, 4096);
      for (const RawRecord& record : batch.records) {
        if (seen++ % every != 0) continue;
        double in[3], out[3];
        bool numbers = true;
        for (int k = 0; k < 3; ++k) {
          std::string reason;
          const std::optional<double> v = ParseFieldNumber(batch.Field(record.numbers[k]), reason);
          numbers = numbers && v.has_value();
          in[k] = v.value_or(0);
        }
        if (!numbers) continue;
        if (IsGeographic(*f)) {
          const LatLon ll = PackedPairToRadians(in[0], in[1]);
          in[0] = ll.latitude;
          in[1] = ll.longitude;
        }
        if (!conversion.Point(in, out).ok()) continue;
        e.push_back(out[0]);
        n.push_back(out[1]);
        // Keep within the capacity: drop every other point and take half as many from now on.
        if (e.size() >= static_cast<std::size_t>(capacity)) {
          std::size_t k = 0;
          for (std::size_t i = 0; i < e.size(); i += 2, ++k) {
            e[k] = e[i];
            n[k] = n[i];
          }
          e.resize(k);
          n.resize(k);
          every *= 2;
        }
      }
    }
    CloseFile(fd);
  }
  for (std::size_t i = 0; i < e.size(); ++i) {
    east[i] = e[i];
    north[i] = n[i];
  }
  json.Field("count", static_cast<double>(e.size())).Field("points", static_cast<double>(seen));
  json.EndObject();
  return Answer(json.Take());
}

// The synthetic test grids of the build (tools/synthetic_grids.h), written into a folder.
EMSCRIPTEN_KEEPALIVE int vortan_write_example_grids(const char* folder) {
  return WriteSyntheticGrids(folder) ? 1 : 0;
}

// The progress dialog's text of the data-file program.
EMSCRIPTEN_KEEPALIVE const char* vortan_progress_text(double done, double read, double total) {
  return Answer(ProgressText({static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(read),
                              static_cast<std::uint64_t>(total)}));
}

// The region of the page's picture: the outline of the area the region serves and of the area
// beyond which a point is far from it, in the region's TM07 (data_files/served_area.h), and
// how many of the count TM07 positions east, north lie far from it.
EMSCRIPTEN_KEEPALIVE const char* vortan_region_area(int region, int count, const double* east,
                                                    const double* north) {
  const RegionProfile& profile = ProfileOf(region);
  JsonWriter json;
  json.BeginObject().Field("region", profile.name);
  for (const auto& [key, box] : {std::pair{"served", ServedArea(profile)},
                                 std::pair{"near", NearArea(profile)}}) {
    json.Key(key).BeginArray();
    for (const GridPoint& p : OutlineInTm07(profile, box, 8)) {
      json.BeginArray().Value(p.easting).Value(p.northing).EndArray();
    }
    json.EndArray();
  }
  const GeographicBox near = NearArea(profile);
  json.Key("nearDegrees")
      .BeginObject()
      .Field("south", near.south)
      .Field("north", near.north)
      .Field("west", near.west)
      .Field("east", near.east)
      .EndObject();
  int far = 0;
  for (int i = 0; i < count; ++i) far += FarFromRegion(profile, east[i], north[i]) ? 1 : 0;
  json.Field("far", far).EndObject();
  return Answer(json.Take());
}

}  // extern "C"
