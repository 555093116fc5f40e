// The calls of the WebAssembly module: the engine, the record jobs, the data-file window's
// logic and the single-point conversions, as the page and web/vortan.js reach them. Every call
// takes plain numbers and texts and answers in JSON (valid until the next call); the files a
// job reads and writes are in the module's file system, where the JavaScript side puts and
// takes them. Nothing here computes a point or words a message: that is the libraries'.
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

namespace vortan::web {
namespace {

// A region by its place in the list (0 the mainland, 1 Kastelorizo); the mainland for another.
const RegionProfile& ProfileOf(int region) {
  if (region < 0 || static_cast<std::size_t>(region) >= Regions().size()) return kMainlandProfile;
  return *Regions()[static_cast<std::size_t>(region)];
}

// The answer of the last call.
std::string answer;
const char* Answer(std::string text) {
  answer = std::move(text);
  return answer.c_str();
}

// Progress of the job that runs now, to the JavaScript side (Module.onJobProgress).
EM_JS(void, ReportProgress, (double points, double bytesRead, double bytesTotal), {
  if (Module["onJobProgress"]) Module["onJobProgress"](points, bytesRead, bytesTotal);
});

// Message boxes are collected, and file dialogs answered with the paths the page chose.
class ScriptedPlatform : public Platform {
 public:
  struct Message {
    std::string title, text;
    MessageIcon icon;
    MessageButtons buttons;
  };

  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                   MessageButtons buttons) override {
    messages.push_back({title, text, icon, buttons});
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override {
    return Answer(request);
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override {
    std::optional<std::string> path = Answer(request);
    if (path && request.refuse) {
      if (const std::optional<Refusal> refusal = request.refuse(*path)) {
        ShowMessage(refusal->title, refusal->text, MessageIcon::kWarning, MessageButtons::kOk);
        return std::nullopt;
      }
    }
    return path;
  }
  void OpenDocument(const std::string&, std::function<void()> cannotOpen) override {
    if (cannotOpen) cannotOpen();
  }
  std::string ProgramFolder() override { return folder; }

  // The answers of the next dialogs, in order; a save dialog without one of its own takes the
  // preset name in saveFolder.
  std::vector<std::string> answers;
  std::string saveFolder;
  std::string folder = "/";
  std::vector<Message> messages;
  std::vector<std::string> dialogTitles;

 private:
  std::optional<std::string> Answer(const FileDialogRequest& request) {
    dialogTitles.push_back(request.title);
    if (!answers.empty()) {
      std::string path = answers.front();
      answers.erase(answers.begin());
      // An empty answer is the dialog cancelled (no grids chosen in the page).
      if (path.empty()) return std::nullopt;
      return path;
    }
    if (!saveFolder.empty()) return saveFolder + "/" + request.presetName;
    return std::nullopt;
  }
};

void WriteMessages(JsonWriter& json, const std::vector<ScriptedPlatform::Message>& messages) {
  json.Key("messages").BeginArray();
  for (const ScriptedPlatform::Message& m : messages) {
    json.BeginObject()
        .Field("title", m.title)
        .Field("text", m.text)
        .Field("icon", m.icon == MessageIcon::kInformation ? "information"
                       : m.icon == MessageIcon::kWarning   ? "warning"
                                                           : "critical")
        .Field("buttons", m.buttons == MessageButtons::kOk ? "ok" : "ok-cancel")
        .EndObject();
  }
  json.EndArray();
}

const char* StatusName(JobStatus status) {
  switch (status) {
    case JobStatus::kDone: return "done";
    case JobStatus::kOutsideGrid: return "outside-grid";
    case JobStatus::kCancelled: return "cancelled";
    case JobStatus::kError: return "error";
  }
  return "error";
}

void WriteOutcome(JsonWriter& json, const JobOutcome& o) {
  json.Field("status", StatusName(o.status))
      .Field("message", o.Message())
      .Field("file", o.file)
      .Field("line", static_cast<double>(o.line))
      .Field("field", o.field)
      .Field("reason", o.reason)
      .Field("point", o.pointId)
      .Field("pointsWritten", static_cast<double>(o.pointsWritten));
  json.Key("outputs").BeginArray();
  for (const std::string& path : o.outputs) json.Value(path);
  json.EndArray();
  json.Key("linesWritten").BeginArray();
  for (std::uint64_t n : o.linesWritten) json.Value(static_cast<double>(n));
  json.EndArray();
}

JobOptions ProgressOptions() {
  JobOptions options;
  options.progress = [](const JobProgress& p) {
    ReportProgress(static_cast<double>(p.pointsDone), static_cast<double>(p.bytesRead),
                   static_cast<double>(p.bytesTotal));
  };
  return options;
}

// A region with its transformation context, for the batch call, the jobs and convert.
// A page's engine: the session of its region (engine/session.h), as every front end has one.
struct Engine {
  explicit Engine(const RegionProfile& profile) : session(profile), context(session.context()) {}
  Session session;
  TransformContext& context;
};
std::map<int, std::unique_ptr<Engine>> engines;
int nextHandle = 1;

Engine* EngineOf(int handle) {
  const auto it = engines.find(handle);
  return it == engines.end() ? nullptr : it->second.get();
}

void WriteHeader(JsonWriter& json, const GridHeader& h) {
  json.Key("header")
      .BeginObject()
      .Field("rowCount", h.rowCount)
      .Field("columnCount", h.columnCount)
      .Field("step", h.step)
      .Field("nSouth", h.nSouth)
      .Field("eWest", h.eWest)
      .Field("nNorth", h.nNorth())
      .Field("eEast", h.eEast())
      .EndObject();
}

// The data-file window without the window, per region: its controls kept as texts.
class ControlTexts : public DataFileControls {
 public:
  void SetText(std::string_view control, const std::string& text) override {
    texts[std::string(control)] = text;
  }
  void SetEnabled(std::string_view control, bool enabled) override {
    this->enabled[std::string(control)] = enabled;
  }
  std::map<std::string, std::string> texts;
  std::map<std::string, bool> enabled;
};

struct DataFileProgram {
  ScriptedPlatform platform;
  ControlTexts controls;
  std::unique_ptr<DataFileWindowLogic> logic;
};
std::map<int, std::unique_ptr<DataFileProgram>> dataFilePrograms;

void WriteControls(JsonWriter& json, const std::map<std::string, std::string>& texts,
                   const std::map<std::string, bool>& enabled) {
  json.Key("texts").BeginObject();
  for (const auto& [name, text] : texts) json.Field(name, text);
  json.EndObject();
  json.Key("enabled").BeginObject();
  for (const auto& [name, on] : enabled) json.Field(name, on);
  json.EndObject();
}

// The single-point window without the window, per region.
struct SinglePointProgram {
  explicit SinglePointProgram(const RegionProfile& profile)
      : conversions(profile, boxes, platform) {
    for (const Control& control : SinglePointControls(profile)) {
      if (control.kind == ControlKind::kBox) boxes.SetText(std::string(control.name),
                                                          std::string(control.text));
      boxes.SetEnabled(std::string(control.name), control.enabled);
    }
  }
  BoxMap boxes;
  ScriptedPlatform platform;
  SinglePointConversions conversions;
};
std::map<int, std::unique_ptr<SinglePointProgram>> singlePointPrograms;

const char* OutcomeStatusName(OutcomeStatus status) {
  switch (status) {
    case OutcomeStatus::kDone: return "done";
    case OutcomeStatus::kRefusedComma: return "refused-comma";
    case OutcomeStatus::kOutsideGrid: return "outside-grid";
    case OutcomeStatus::kError: return "error";
  }
  return "error";
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel: return "label";
    case ControlKind::kBox: return "box";
    case ControlKind::kButton: return "button";
    case ControlKind::kGroup: return "group";
    case ControlKind::kPicture: return "picture";
  }
  return "label";
}

std::optional<Form> FormOf(const char* name) { return FormOfName(name ? name : ""); }

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

// Why the three texts of a point typed in a form do not make a record, as the single-point
// window says it of its boxes (named as the window names its boxes of that form): a box empty,
// or holding more than a number (a comma, letters), or a number too large. "" when they make
// one.
EMSCRIPTEN_KEEPALIVE const char* vortan_point_refusal(const char* form, const char* a,
                                                      const char* b, const char* c) {
  static constexpr std::pair<std::string_view, std::array<const char*, 3>> kBoxes[] = {
      {"ggrs87-tm87", {"Text1", "Text2", "Text18"}},
      {"ggrs87-geographic", {"Text3", "Text4", "Text19"}},
      {"htrs07-xyz", {"Text5", "Text6", "Text7"}},
      {"htrs07-tm07", {"Text11", "Text12", "Text10"}},
      {"htrs07-geographic", {"Text8", "Text9", "Text10"}},
  };
  const std::string_view name(form ? form : "");
  for (const auto& [formName, boxes] : kBoxes) {
    if (formName != name) continue;
    const char* const values[] = {a ? a : "", b ? b : "", c ? c : ""};
    for (int k = 0; k < 3; ++k) {
      const std::string_view text(values[k]);
      const bool blank = text.find_first_not_of(" \t") == std::string_view::npos;
      if (blank || !IsWholeNumberText(text)) {
        return Answer(texts::NotANumberText(boxes[k], text));
      }
      if (!std::isfinite(ParseNumberText(text))) {
        return Answer(texts::TooLargeText(boxes[k], text));
      }
    }
  }
  return Answer("");
}

// The notice of the single-point window for packed latitude and longitude texts below 100
// (most likely decimal degrees): how each is written as DDMMSS.SSSSS, Greek and English; ""
// when neither needs it. htrs07 names the HTRS07 boxes, else the GGRS87 ones.
EMSCRIPTEN_KEEPALIVE const char* vortan_degrees_notice(int htrs07, const char* latitude,
                                                       const char* longitude) {
  return Answer(texts::DecimalDegreesNotice(ParseNumberText(latitude), ParseNumberText(longitude),
                                            htrs07 ? "Text8" : "Text3",
                                            htrs07 ? "Text9" : "Text4"));
}

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
// in decimal degrees (latitude first), everything else in metres. With exact, the correctly
// rounded elementary functions throughout (slower; the values then equal glibc's in all but
// about one point in a hundred, to the last bit).
EMSCRIPTEN_KEEPALIVE const char* vortan_convert_batch(int handle, const char* from,
                                                      const char* to, int keepHeights,
                                                      int exact, int n,
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
  // Every digit of these doubles is the caller's: the session's plain routines, as in the C
  // library and Python.
  ArrayCall call;
  call.from = *f;
  call.to = *t;
  call.keepHeights = keepHeights != 0;
  call.status = statuses.data();
  call.exact = exact != 0;
  const ArrayOutcome o = engine->session.ConvertArrays(call, count, {a, b, c}, {outA, outB, outC});
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
    ReportProgress(static_cast<double>(p.pointsDone), 0, 0);
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

// The data-file program of a region: its window's logic with scripted dialogs.
EMSCRIPTEN_KEEPALIVE int vortan_data_files_new(int region) {
  auto program = std::make_unique<DataFileProgram>();
  program->logic = std::make_unique<DataFileWindowLogic>(
      region == 1 ? ProgramKind::kDataFilesKastelorizo : ProgramKind::kDataFilesMainland,
      ProfileOf(region), program->platform, program->controls);
  for (const PathBoxText& box : InitialPathBoxTexts(ProfileOf(region))) {
    program->controls.texts[std::string(box.box)] = box.text;
  }
  const int handle = nextHandle++;
  dataFilePrograms[handle] = std::move(program);
  return handle;
}

namespace {
const char* DataFileAnswer(DataFileProgram& program, JsonWriter& json) {
  WriteControls(json, program.controls.texts, program.controls.enabled);
  WriteMessages(json, program.platform.messages);
  program.platform.messages.clear();
  json.EndObject();
  return Answer(json.Take());
}
}  // namespace

// The initial step (Command3), its grid dialogs answered with the two paths.
EMSCRIPTEN_KEEPALIVE const char* vortan_data_files_initial_step(int handle, const char* dnPath,
                                                                const char* dePath) {
  DataFileProgram& program = *dataFilePrograms.at(handle);
  program.platform.answers = {dnPath, dePath};
  program.platform.saveFolder.clear();
  const bool ready = program.logic->InitialStep();
  program.platform.answers.clear();
  JsonWriter json;
  json.BeginObject().Field("ready", ready);
  if (program.logic->context().grids) WriteHeader(json, program.logic->context().grids->dE.header);
  return DataFileAnswer(program, json);
}

// A job button: its open dialog answered with the input, its save dialogs with the region's
// default names in the output folder; the job run; its outcome as the window shows it.
EMSCRIPTEN_KEEPALIVE const char* vortan_data_files_run(int handle, const char* button,
                                                       const char* input,
                                                       const char* outputFolder) {
  DataFileProgram& program = *dataFilePrograms.at(handle);
  JsonWriter json;
  json.BeginObject();
  const std::optional<JobKind> kind = JobOfButton(button ? button : "");
  if (!kind) {
    json.Field("error", "not a job button");
    return DataFileAnswer(program, json);
  }
  program.platform.answers = {input};
  program.platform.saveFolder = outputFolder;
  const std::optional<PreparedJob> job = program.logic->ChooseFiles(*kind);
  program.platform.answers.clear();
  program.platform.saveFolder.clear();
  if (!job) {
    json.Field("status", "not-started");
    return DataFileAnswer(program, json);
  }
  const JobOutcome o = job->Run(ProgressOptions());
  const std::string statusLine = program.logic->Finish(o);
  WriteOutcome(json, o);
  json.Field("statusLine", statusLine);
  return DataFileAnswer(program, json);
}

// The single-point program of a region: its boxes as the window opens.
EMSCRIPTEN_KEEPALIVE int vortan_single_point_new(int region, const char* folder) {
  auto program = std::make_unique<SinglePointProgram>(ProfileOf(region));
  program->platform.folder = folder;
  const int handle = nextHandle++;
  singlePointPrograms[handle] = std::move(program);
  return handle;
}

// The controls of the single-point window of a region, in reading order.
EMSCRIPTEN_KEEPALIVE const char* vortan_single_point_controls(int region) {
  JsonWriter json;
  json.BeginArray();
  for (const Control& c : SinglePointControls(ProfileOf(region))) {
    json.BeginObject()
        .Field("name", c.name)
        .Field("kind", KindName(c.kind))
        .Field("text", c.text)
        .Field("tip", c.tip)
        .Field("enabled", c.enabled)
        .Field("background", static_cast<double>(c.background))
        .EndObject();
  }
  json.EndArray();
  return Answer(json.Take());
}

EMSCRIPTEN_KEEPALIVE void vortan_single_point_set_text(int handle, const char* box,
                                                       const char* text) {
  singlePointPrograms.at(handle)->boxes.SetText(box, text);
}

// A button of the single-point window (Command1, Command2, Command3, Command5): what happened,
// the message shown, and every box text after it.
EMSCRIPTEN_KEEPALIVE const char* vortan_single_point_click(int handle, const char* button) {
  SinglePointProgram& program = *singlePointPrograms.at(handle);
  const std::string name = button ? button : "";
  auto click = [&]() -> Outcome {
    if (name == "Command1") return program.conversions.Command1_Click();
    if (name == "Command2") return program.conversions.Command2_Click();
    if (name == "Command3") return program.conversions.Command3_Click();
    if (name == "Command5") return program.conversions.Command5_Click();
    return {OutcomeStatus::kError, "", "not a button of the window"};
  };
  // A click whose numbers came too close to a rounding boundary is made again, from the same
  // boxes, with the correctly rounded functions (core/math_functions.h).
  const BoxMap before = program.boxes;
  math::ResetNoted();
  Outcome outcome = click();
  if (math::Noted()) {
    program.boxes.texts = before.texts;
    program.boxes.enabled = before.enabled;
    program.platform.messages.clear();
    math::RecomputeExactly([&] { outcome = click(); });
  }
  JsonWriter json;
  json.BeginObject()
      .Field("status", OutcomeStatusName(outcome.status))
      .Field("box", outcome.box)
      .Field("message", outcome.message);
  WriteControls(json, program.boxes.texts, program.boxes.enabled);
  WriteMessages(json, program.platform.messages);
  program.platform.messages.clear();
  json.EndObject();
  return Answer(json.Take());
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
