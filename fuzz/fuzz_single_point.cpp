// The single-point conversions on arbitrary box texts, through the GUI-free library the window
// calls. The input picks the region, the button and the texts of that button's input boxes.
// Checked: a press either converts without a message, or shows exactly one message that is
// also in the outcome; a comma refusal names a box that holds a comma; no result box shows
// "nan" or "inf" (a height text copied as typed aside); and the program converts its initial
// point afterwards as before.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/memory_file.h"
#include "app/platform.h"
#include "single_point/boxes.h"
#include "single_point/conversions.h"
#include "single_point/form.h"
#include "tests/single_point/scripted_platform.h"
#include "transform/region_profile.h"

using vortan::fuzz::Broken;

namespace {

struct Program {
  explicit Program(const vortan::RegionProfile& profile)
      : profile(profile), conversions(profile, boxes, platform) {
    Reset();
    if (conversions.Command3_Click().status != vortan::OutcomeStatus::kDone) {
      Broken("the initial step fails: " +
             (platform.messages.empty() ? "" : platform.messages.back().text));
    }
    initial = boxes.texts;
  }
  void Reset() {
    for (const vortan::Control& c : vortan::SinglePointControls(profile)) {
      boxes.texts[std::string(c.name)] = std::string(c.text);
    }
  }
  const vortan::RegionProfile& profile;
  vortan::BoxMap boxes;
  vortan::testing::RecordingPlatform platform;
  vortan::SinglePointConversions conversions;
  std::map<std::string, std::string> initial;  // after the initial step
};

Program* mainland = nullptr;
Program* kastelorizo = nullptr;

struct Button {
  vortan::Outcome (vortan::SinglePointConversions::*click)();
  std::vector<const char*> inputs;
};

const Button kButtons[] = {
    {&vortan::SinglePointConversions::Command1_Click,
     {"Text1", "Text2", "Text18", "Text3", "Text4", "Text19"}},
    {&vortan::SinglePointConversions::Command2_Click, {"Text5", "Text6", "Text7"}},
    {&vortan::SinglePointConversions::Command5_Click, {"Text10", "Text11", "Text12"}},
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The initial step reads the grids by their bare names from the current folder; the fuzzer's
  // own paths may be relative, so the folder is changed for the initial step only.
  char previous[4096];
  if (::getcwd(previous, sizeof previous) == nullptr) Broken("no current folder");
  if (::chdir(VORTAN_FUZZ_GRIDS) != 0) Broken("no grid folder " VORTAN_FUZZ_GRIDS);
  static Program m(vortan::kMainlandProfile);
  static Program k(vortan::kKastelorizoProfile);
  mainland = &m;
  kastelorizo = &k;
  if (::chdir(previous) != 0) Broken("cannot return to the current folder");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Program& p = in.ConsumeBool() ? *kastelorizo : *mainland;
  const Button& button = kButtons[in.ConsumeIntegralInRange<int>(0, 2)];
  p.boxes.texts = p.initial;
  // Command5 reads the TM07 E, N that Command2 writes.
  (p.conversions.*kButtons[1].click)();
  bool comma = false;
  std::vector<std::string> typed;
  for (const char* box : button.inputs) {
    if (in.ConsumeBool()) {
      const std::string text = in.ConsumeRandomLengthString(64);
      comma = comma || text.find(',') != std::string::npos;
      p.boxes.SetText(box, text);
      typed.push_back(text);
    }
  }
  const std::map<std::string, std::string> before = p.boxes.texts;
  const std::size_t shown = p.platform.messages.size();
  const vortan::Outcome outcome = (p.conversions.*button.click)();

  if (outcome.status == vortan::OutcomeStatus::kDone) {
    if (p.platform.messages.size() != shown) {
      Broken("a message after a conversion that went through");
    }
  } else {
    if (p.platform.messages.size() != shown + 1) Broken("not exactly one message for a stop");
    if (outcome.message.empty()) Broken("a stop without a message");
  }
  if (outcome.status == vortan::OutcomeStatus::kRefusedComma) {
    if (!comma) Broken("a comma refusal without a comma");
    if (p.boxes.Text(outcome.box).find(',') == std::string::npos) {
      Broken("the comma refusal names box " + outcome.box + ", which has no comma");
    }
  }
  for (const auto& [name, text] : p.boxes.texts) {
    const auto old = before.find(name);
    if (old != before.end() && old->second == text) continue;  // not written by the press
    // A height text is copied from one box to another as it was typed.
    if (std::find(typed.begin(), typed.end(), text) != typed.end()) continue;
    if (text.find("nan") != std::string::npos || text.find("inf") != std::string::npos) {
      Broken("box " + name + " shows \"" + text + "\"");
    }
  }
  // The program stays usable.
  p.boxes.texts = p.initial;
  if ((p.conversions.*kButtons[1].click)().status != vortan::OutcomeStatus::kDone) {
    Broken("the initial point no longer converts");
  }
  return 0;
}
