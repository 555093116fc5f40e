// The calls of the WebAssembly module for the desktop programs' windows without their Qt: the
// data-file window's logic and the single-point conversions on box texts, with the notices and
// refusals of the single-point window (web/api_common.h for what the calls share).
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

}  // namespace
}  // namespace vortan::web

using namespace vortan;
using namespace vortan::web;

extern "C" {

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

}  // extern "C"
