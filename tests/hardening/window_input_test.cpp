// Bad texts in every input box of the single-point conversions, through the GUI-free library
// the window calls: a comma, an empty box, letters and an enormous number. Each press either
// converts, or stops with a message that names the box; nothing else is shown, and the program
// converts the next good point as before.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/platform.h"
#include "single_point/boxes.h"
#include "single_point/conversions.h"
#include "single_point/form.h"
#include "tests/single_point/scripted_platform.h"
#include "tests/support/folder_test.h"
#include "transform/region_profile.h"

namespace vortan {
namespace {

const std::filesystem::path kGrids =
    std::filesystem::path(VORTAN_TEST_DATA) / "reference" / "grids";

// A message box as this test looks for its words: title and text.
std::string Shown(const testing::RecordingPlatform::Message& m) { return m.title + ": " + m.text; }

// A program whose boxes hold the window's initial texts (a point that converts), run in a
// folder that holds the grids.
class WindowBoxes : public ::testing::Test {
 protected:
  void SetUp() override { folder_.CopyGrids(kGrids); }

 public:
  struct Program {
    explicit Program(const RegionProfile& profile) : conversions(profile, boxes, platform) {
      for (const Control& c : SinglePointControls(profile)) {
        boxes.texts[std::string(c.name)] = std::string(c.text);
      }
    }
    BoxMap boxes;
    testing::RecordingPlatform platform;
    SinglePointConversions conversions;
  };

 private:
  support::WorkFolder folder_{support::CurrentTestName()};
};

struct Button {
  const char* name;
  Outcome (SinglePointConversions::*click)();
  std::vector<const char*> inputs;
};

const Button kButtons[] = {
    // GGRS87 E, N, h; with E and N empty the phi, lambda, h boxes are read instead.
    {"Command1", &SinglePointConversions::Command1_Click, {"Text1", "Text2", "Text18"}},
    {"Command2", &SinglePointConversions::Command2_Click, {"Text5", "Text6", "Text7"}},
    {"Command5", &SinglePointConversions::Command5_Click, {"Text10", "Text11", "Text12"}},
};

// What the user gets for a bad text in one box.
struct Expected {
  OutcomeStatus status;
  const char* messagePart;  // "" for a conversion that goes through
  bool namesTheBox = true;  // the outcome names the box (a numeric fault names all inputs)
};

constexpr const char* kCommaText = "η τελεία [.]";
constexpr const char* kTooLargeText = "είναι υπερβολικά μεγάλος";
constexpr const char* kNotANumberText = "δεν περιέχει αριθμό: \"abc\"";
constexpr const char* kOutsideText = "εκτός του καννάβου";

bool Enormous(const std::string& text) { return text == "1e400" || text.size() > 100; }

void CheckEveryBox(const RegionProfile& profile,
                   const std::function<Expected(const char*, const char*, const std::string&)>&
                       expected) {
  const std::string enormous = "9" + std::string(400, '9');
  for (const Button& button : kButtons) {
    for (const char* box : button.inputs) {
      for (const std::string& text : {std::string(","), std::string("6,501"), std::string(""),
                                      std::string("abc"), std::string("1e400"), enormous}) {
        SCOPED_TRACE(std::string(button.name) + ", " + box + " = \"" + text.substr(0, 12) + "\"");
        WindowBoxes::Program p(profile);
        ASSERT_EQ(p.conversions.Command3_Click().status, OutcomeStatus::kDone);
        // Command2 on the initial point fills the TM07 E, N boxes that Command5 reads.
        ASSERT_EQ(p.conversions.Command2_Click().status, OutcomeStatus::kDone);
        const std::string good = p.boxes.Text(box);
        p.boxes.SetText(box, text);
        const std::size_t before = p.platform.messages.size();
        const Outcome outcome = (p.conversions.*button.click)();
        const Expected e = expected(button.name, box, text);
        EXPECT_EQ(outcome.status, e.status) << outcome.message;
        if (outcome.status == OutcomeStatus::kDone) {
          EXPECT_EQ(p.platform.messages.size(), before);
        } else {
          // One message, naming the box where one box is at fault.
          ASSERT_EQ(p.platform.messages.size(), before + 1);
          EXPECT_NE(Shown(p.platform.messages.back()).find(e.messagePart), std::string::npos)
              << Shown(p.platform.messages.back());
          if (e.namesTheBox) {
            EXPECT_EQ(outcome.box, box);
          }
        }
        // The program stays usable: the good text converts again.
        p.boxes.SetText(box, good);
        EXPECT_EQ((p.conversions.*button.click)().status, OutcomeStatus::kDone);
      }
    }
  }
}

// Command5 reads TM07 E and N whole: an empty box or letters are not a number there.
Expected WholeNumberBox(const std::string& text) {
  if (text.empty()) return {OutcomeStatus::kError, "είναι κενό"};
  return {OutcomeStatus::kError, kNotANumberText};
}

TEST_F(WindowBoxes, CommaEmptyLettersAndEnormousInEveryInputBoxOfTheMainland) {
  CheckEveryBox(kMainlandProfile, [](const char*, const char* box,
                                     const std::string& text) -> Expected {
    const std::string b = box;
    if (text.find(',') != std::string::npos) return {OutcomeStatus::kRefusedComma, kCommaText};
    if (Enormous(text)) return {OutcomeStatus::kError, kTooLargeText};
    // Letters are no number in any box.
    if (text == "abc") return {OutcomeStatus::kError, kNotANumberText};
    if (b == "Text11" || b == "Text12") return WholeNumberBox(text);
    // Elsewhere an empty box reads as 0. A height of 0 converts; an E, N, X, Y or Z of 0 puts
    // the point outside the correction grid.
    if (b == "Text18" || b == "Text10") return {OutcomeStatus::kDone, ""};
    return {OutcomeStatus::kOutsideGrid, kOutsideText, false};
  });
}

TEST_F(WindowBoxes, CommaEmptyLettersAndEnormousInEveryInputBoxOfKastelorizo) {
  CheckEveryBox(kKastelorizoProfile, [](const char*, const char* box,
                                        const std::string& text) -> Expected {
    const std::string b = box;
    if (text.find(',') != std::string::npos) return {OutcomeStatus::kRefusedComma, kCommaText};
    if (Enormous(text)) return {OutcomeStatus::kError, kTooLargeText};
    if (text == "abc") return {OutcomeStatus::kError, kNotANumberText};
    if (b == "Text11" || b == "Text12") return WholeNumberBox(text);
    // Without grids a point with a 0 converts, far off as it is; but X = 0 puts the point a
    // quarter of the globe away, where the computation stops with a numeric fault (division by
    // zero) that names the three boxes.
    if (b == "Text5") {
      return {OutcomeStatus::kError, "X (HTRS07), Y (HTRS07), Z (HTRS07)", false};
    }
    return {OutcomeStatus::kDone, ""};
  });
}

}  // namespace
}  // namespace vortan
