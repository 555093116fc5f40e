// The data-file window's behaviour without the window: a plain map stands for the boxes and a
// scripted platform answers the dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "data_files/ui/data_file_window_logic.h"
#include "scripted_platform.h"
#include "tests/support/folder_test.h"

namespace vortan {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedPlatform;

const fs::path kData = VORTAN_TEST_DATA_DIR;
const fs::path kReference = kData / "reference";
const std::string kDnGrid = (kReference / "grids" / "dN_2km_V1-0.grd").string();
const std::string kDeGrid = (kReference / "grids" / "dE_2km_V1-0.grd").string();

class MapControls : public DataFileControls {
 public:
  void SetText(std::string_view control, const std::string& text) override {
    texts[std::string(control)] = text;
  }
  void SetEnabled(std::string_view control, bool enabled) override {
    enabled_[std::string(control)] = enabled;
  }
  // Controls never touched are enabled, as the window creates them.
  bool Enabled(const std::string& control) const {
    auto it = enabled_.find(control);
    return it == enabled_.end() || it->second;
  }
  std::map<std::string, std::string> texts;

 private:
  std::map<std::string, bool> enabled_;
};

using support::ReadFile;
using support::WriteFile;

struct Window {
  explicit Window(ProgramKind kind = ProgramKind::kDataFilesMainland,
                  const RegionProfile& profile = kMainlandProfile)
      : logic(kind, profile, platform, controls) {}
  ScriptedPlatform platform;
  MapControls controls;
  DataFileWindowLogic logic;

  bool LoadReferenceGrids() {
    platform.Answer(kDnGrid);
    platform.Answer(kDeGrid);
    return logic.InitialStep();
  }
  bool JobsEnabled() const {
    for (std::string_view b : kJobButtons) {
      if (!controls.Enabled(std::string(b))) return false;
    }
    return true;
  }
  bool JobsDisabled() const {
    for (std::string_view b : kJobButtons) {
      if (controls.Enabled(std::string(b))) return false;
    }
    return true;
  }
  // The jobs that need the grids are disabled, the others enabled.
  bool OnlyGridJobsDisabled() const {
    return !controls.Enabled("Command1") && !controls.Enabled("Command2") &&
           controls.Enabled("Command4") && controls.Enabled("Command5");
  }
  // The boxes without the status line under the jobs.
  std::map<std::string, std::string> Boxes() const {
    std::map<std::string, std::string> boxes = controls.texts;
    boxes.erase(std::string(data_file_texts::kStatusLine));
    return boxes;
  }
};

TEST(DataFileWindowStart, ShowsTheNoticeOnceAndWaitsForTheInitialStep) {
  Window w;
  w.logic.FormLoad();
  ASSERT_EQ(w.platform.messages.size(), 1u);
  EXPECT_EQ(w.platform.messages[0].title, texts::kNoticeTitle);
  EXPECT_EQ(w.platform.messages[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(w.platform.messages[0].icon, MessageIcon::kInformation);
  EXPECT_TRUE(w.JobsDisabled());
  EXPECT_TRUE(w.platform.dialogs.empty());
}

TEST(DataFileWindowStart, PathBoxesCarryTheRegionsDefaultNames) {
  std::map<std::string, std::string> mainland, kast;
  for (const PathBoxText& t : InitialPathBoxTexts(kMainlandProfile)) {
    mainland[std::string(t.box)] = t.text;
  }
  for (const PathBoxText& t : InitialPathBoxTexts(kKastelorizoProfile)) {
    kast[std::string(t.box)] = t.text;
  }
  EXPECT_EQ(mainland.size(), 13u);
  EXPECT_EQ(mainland["Text8"], "Input file  : HTRS07-SFLh.txt");
  EXPECT_EQ(mainland["Text9"], "Output file: HTRS07-SXYZ.txt");
  EXPECT_EQ(mainland["Text12"], "Output file : HTRS07-SENK.txt");
  EXPECT_EQ(mainland["Text20"], "Output file : HTRS07-SEN.txt");
  EXPECT_EQ(kast["Text17"], "Input file  : GGRS87-KAST-SENh.txt");
  EXPECT_EQ(kast["Text12"], "Output file : HTRS07-KAST-SENK.txt");
  EXPECT_EQ(kast["Text16"], "Output file : GGRS87-KAST-SEN.txt");
}

// The window is built from its form: each name once, every control the logic and the jobs'
// dialogs name is in it, the grid header on the mainland only, as many parameter boxes as the
// region shows.
TEST(DataFileWindowStart, TheFormHoldsEveryControlTheWindowNamesOnce) {
  for (const RegionProfile* profile : {&kMainlandProfile, &kKastelorizoProfile}) {
    SCOPED_TRACE(profile->name);
    const std::vector<DataFileControl> form = DataFileForm(*profile, "help.pdf");
    std::set<std::string_view> names;
    for (const DataFileControl& c : form) EXPECT_TRUE(names.insert(c.name).second) << c.name;
    std::vector<std::string_view> named = {data_file_texts::kStatusLine, "Command3", "Command6",
                                           "Threads", "Frame1", "Frame2"};
    named.insert(named.end(), std::begin(kJobButtons), std::end(kJobButtons));
    for (std::string_view button : kJobButtons) {
      for (const JobDialog& d : WindowOf(*JobOfButton(button)).dialogs) {
        const DataFileControl* box = FindControl(form, d.pathBox);
        ASSERT_TRUE(box) << d.pathBox;
        EXPECT_EQ(box->kind, DataFileControlKind::kPathBox);
      }
    }
    for (int k = 0; k < 7; ++k) {
      EXPECT_EQ(FindControl(form, kParameterBoxes[k]) != nullptr,
                k < profile->shownParameterCount) << kParameterBoxes[k];
    }
    for (std::string_view box : kGridBoxes) {
      EXPECT_EQ(FindControl(form, box) != nullptr, profile->hasGrids) << box;
    }
    for (std::string_view name : named) EXPECT_TRUE(FindControl(form, name)) << name;
  }
}

TEST(DataFileWindowStart, ButtonsMapToTheirJobs) {
  EXPECT_EQ(JobOfButton("Command5"), JobKind::kSflhToSenh);
  EXPECT_EQ(JobOfButton("Command1"), JobKind::kSenhToHtrs07);
  EXPECT_EQ(JobOfButton("Command4"), JobKind::kSflhToSxyz);
  EXPECT_EQ(JobOfButton("Command2"), JobKind::kSxyzToGgrs87);
  EXPECT_FALSE(JobOfButton("Command3"));
  EXPECT_FALSE(JobOfButton("Command6"));
}

TEST(DataFileInitialStep, AsksForBothGridsAndShowsParametersAndHeader) {
  Window w;
  w.logic.FormLoad();
  ASSERT_TRUE(w.LoadReferenceGrids());

  ASSERT_EQ(w.platform.dialogs.size(), 2u);
  const auto& cd1 = w.platform.dialogs[0];
  const auto& cd2 = w.platform.dialogs[1];
  EXPECT_FALSE(cd1.save);
  EXPECT_FALSE(cd2.save);
  EXPECT_EQ(cd1.title, "Input N-correction grid");
  EXPECT_EQ(cd2.title, "Input E-correction grid");
  EXPECT_EQ(cd1.filter, "Text files *.grd(*.grd)|*.grd");
  EXPECT_EQ(cd2.filter, "Text files *.grd(*.grd)|*.grd");
  EXPECT_EQ(cd1.presetName, "dN_2km_V1-0.grd");
  EXPECT_EQ(cd2.presetName, "dE_2km_V1-0.grd");

  auto& t = w.controls.texts;
  EXPECT_EQ(t["Text45"], "203.437");
  EXPECT_EQ(t["Text46"], "-73.461");
  EXPECT_EQ(t["Text47"], "-243.594");
  EXPECT_EQ(t["Text48"], "-.170");
  EXPECT_EQ(t["Text49"], "-.060");
  EXPECT_EQ(t["Text50"], "-.151");
  EXPECT_EQ(t["Text51"], "-.000000294");
  EXPECT_EQ(t["Text14"], "408");
  EXPECT_EQ(t["Text15"], "422");
  EXPECT_EQ(t["Text1"], "2000.");
  EXPECT_EQ(t["Text2"], "1846000.");
  EXPECT_EQ(t["Text3"], "42000.");
  EXPECT_EQ(t["Text4"], "2660000.");  // 1846000 + 407 * 2000
  EXPECT_EQ(t["Text5"], "884000.");   // 42000 + 421 * 2000
  EXPECT_EQ(t["Text6"], kDnGrid);
  EXPECT_EQ(t["Text7"], kDeGrid);
  for (const char* box : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text14", "Text15",
                          "Text45", "Text46", "Text47", "Text48", "Text49", "Text50", "Text51"}) {
    EXPECT_FALSE(w.controls.Enabled(box)) << box;
  }
  EXPECT_TRUE(w.JobsEnabled());
  EXPECT_TRUE(w.logic.context().Ready());
  EXPECT_EQ(w.platform.messages.size(), 1u);  // the notice only
}

TEST(DataFileInitialStep, SmallHeaderValuesKeepTheirLeadingZeros) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  // 3 rows, 2 columns, step 500, south 1846000, west 4200: the south-west value first.
  const std::string grid = "3\r\n2\r\n500\r\n1846000\r\n4200\r\n1 2\r\n3 4\r\n5 6\r\n";
  WriteFile(dir / "dN.grd", grid);
  WriteFile(dir / "dE.grd", "3\r\n2\r\n500\r\n1846000\r\n4200\r\n6 5\r\n4 3\r\n2 1\r\n");
  Window w;
  w.platform.Answer((dir / "dN.grd").string());
  w.platform.Answer((dir / "dE.grd").string());
  ASSERT_TRUE(w.logic.InitialStep());
  auto& t = w.controls.texts;
  EXPECT_EQ(t["Text14"], "003");
  EXPECT_EQ(t["Text15"], "002");
  EXPECT_EQ(t["Text1"], "0500.");
  EXPECT_EQ(t["Text2"], "1846000.");
  EXPECT_EQ(t["Text3"], "04200.");
  EXPECT_EQ(t["Text4"], "1847000.");
  EXPECT_EQ(t["Text5"], "04700.");
  const GridPair& g = *w.logic.context().grids;
  EXPECT_EQ(g.dN.Value(3, 1), 1.0f);
  EXPECT_EQ(g.dN.Value(1, 2), 6.0f);
}

TEST(DataFileInitialStep, AFailedGridLoadSaysWhichFileAndWhyAndKeepsTheGridJobsDisabled) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  const std::string missing = (dir / "no-such-dE.grd").string();
  Window w;
  w.platform.Answer(kDnGrid);
  w.platform.Answer(missing);
  EXPECT_FALSE(w.logic.InitialStep());
  ASSERT_EQ(w.platform.messages.size(), 1u);
  const auto& m = w.platform.messages[0];
  EXPECT_EQ(m.title, data_file_texts::kGridLoadTitle);
  EXPECT_NE(m.text.find(missing), std::string::npos) << m.text;
  EXPECT_NE(m.text.find("cannot be opened"), std::string::npos) << m.text;
  EXPECT_NE(m.text.find("\r\n\r\n"), std::string::npos);  // Greek, then English
  EXPECT_TRUE(w.OnlyGridJobsDisabled());
  EXPECT_FALSE(w.logic.context().Ready());
  EXPECT_EQ(w.controls.texts["Text7"], missing);
  EXPECT_EQ(w.controls.texts["Text14"], "γραμμές");  // no header shown
}

TEST(DataFileInitialStep, AMalformedGridNamesTheLineAndUnloadsEarlierGrids) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  WriteFile(dir / "bad.grd", "3\r\n2\r\n500\r\n1846000\r\n4200\r\n1 2\r\n3 x\r\n5 6\r\n");
  Window w;
  ASSERT_TRUE(w.LoadReferenceGrids());
  w.platform.Answer((dir / "bad.grd").string());
  w.platform.Answer(kDeGrid);
  EXPECT_FALSE(w.logic.InitialStep());
  ASSERT_EQ(w.platform.messages.size(), 1u);
  EXPECT_NE(w.platform.messages[0].text.find((dir / "bad.grd").string() + ", line 7"),
            std::string::npos)
      << w.platform.messages[0].text;
  EXPECT_TRUE(w.OnlyGridJobsDisabled());
  EXPECT_FALSE(w.logic.context().Ready());
  // No job starts on grids that are gone: not even its dialogs show.
  const std::size_t dialogs = w.platform.dialogs.size();
  w.platform.Answer("/tmp/in.txt");
  EXPECT_FALSE(w.logic.ChooseFiles(JobKind::kSenhToHtrs07).has_value());
  EXPECT_EQ(w.platform.dialogs.size(), dialogs);
}

TEST(DataFileInitialStep, ACancelledGridDialogChangesNothing) {
  for (int cancelled = 0; cancelled < 2; ++cancelled) {
    Window w;
    if (cancelled == 1) w.platform.Answer(kDnGrid);
    w.platform.Answer(std::nullopt);
    EXPECT_FALSE(w.logic.InitialStep());
    EXPECT_EQ(w.platform.dialogs.size(), static_cast<std::size_t>(cancelled + 1));
    EXPECT_TRUE(w.platform.messages.empty());
    EXPECT_FALSE(w.logic.context().Ready());
    EXPECT_EQ(w.controls.texts.count("Text6"), 0u);
    EXPECT_EQ(w.controls.texts.count("Text14"), 0u);
  }
  // After a successful load, a cancelled reload keeps the grids in force.
  Window w;
  ASSERT_TRUE(w.LoadReferenceGrids());
  w.platform.Answer(std::nullopt);
  EXPECT_TRUE(w.logic.InitialStep());
  EXPECT_TRUE(w.JobsEnabled());
  EXPECT_TRUE(w.logic.context().Ready());
}

TEST(DataFileInitialStep, KastelorizoShowsThreeTranslationsAndReadsNoFile) {
  Window w(ProgramKind::kDataFilesKastelorizo, kKastelorizoProfile);
  w.logic.FormLoad();
  EXPECT_TRUE(w.logic.InitialStep());
  EXPECT_TRUE(w.platform.dialogs.empty());
  EXPECT_EQ(w.platform.messages.size(), 1u);
  std::set<std::string> written;
  for (const auto& [box, text] : w.Boxes()) written.insert(box);
  EXPECT_EQ(written, (std::set<std::string>{"Text45", "Text46", "Text47"}));
  EXPECT_EQ(w.controls.texts["Text45"], "-5.020");
  EXPECT_EQ(w.controls.texts["Text46"], "-19.885");
  EXPECT_EQ(w.controls.texts["Text47"], "-12.244");
  EXPECT_FALSE(w.controls.Enabled("Text45"));
  EXPECT_FALSE(w.controls.Enabled("Text47"));
  EXPECT_TRUE(w.JobsEnabled());
  EXPECT_TRUE(w.logic.context().Ready());
  // Pressed again: the same values.
  EXPECT_TRUE(w.logic.InitialStep());
  EXPECT_EQ(w.controls.texts["Text46"], "-19.885");
}

TEST(DataFileJobDialogs, ShowTitlesAndPresetsInOrderAndFillThePathBoxes) {
  Window w;
  ASSERT_TRUE(w.LoadReferenceGrids());
  w.platform.dialogs.clear();
  for (const char* p : {"/in/x.txt", "/out/a.txt", "/out/b.txt", "/out/c.txt", "/out/d.txt"}) {
    w.platform.Answer(p);
  }
  const auto job = w.logic.ChooseFiles(JobKind::kSxyzToGgrs87);
  ASSERT_TRUE(job);
  EXPECT_EQ(job->input, "/in/x.txt");
  EXPECT_EQ(job->outputs,
            (std::vector<std::string>{"/out/a.txt", "/out/b.txt", "/out/c.txt", "/out/d.txt"}));
  ASSERT_EQ(w.platform.dialogs.size(), 5u);
  EXPECT_FALSE(w.platform.dialogs[0].save);
  EXPECT_EQ(w.platform.dialogs[0].title, "Input HTRS07 X,Y,Z coordinates file");
  EXPECT_EQ(w.platform.dialogs[0].presetName, "HTRS07-SXYZ.txt");
  EXPECT_TRUE(w.platform.dialogs[2].save);
  EXPECT_EQ(w.platform.dialogs[2].title, "Output HTRS07 E,N,scale coordinates file");
  EXPECT_EQ(w.platform.dialogs[2].presetName, "HTRS07-SENk.txt");
  for (const auto& d : w.platform.dialogs) {
    EXPECT_EQ(d.filter, "Text files *.txt(*.txt)|*.txt");
  }
  auto& t = w.controls.texts;
  EXPECT_EQ(t["Text10"], "/in/x.txt");
  EXPECT_EQ(t["Text11"], "/out/a.txt");
  EXPECT_EQ(t["Text12"], "/out/b.txt");
  EXPECT_EQ(t["Text13"], "/out/c.txt");
  EXPECT_EQ(t["Text16"], "/out/d.txt");
}

TEST(DataFileJobDialogs, KastelorizoPresetsCarryTheInfix) {
  Window w(ProgramKind::kDataFilesKastelorizo, kKastelorizoProfile);
  ASSERT_TRUE(w.logic.InitialStep());
  for (int i = 0; i < 4; ++i) w.platform.Answer("/tmp/f" + std::to_string(i));
  ASSERT_TRUE(w.logic.ChooseFiles(JobKind::kSenhToHtrs07));
  ASSERT_EQ(w.platform.dialogs.size(), 4u);
  EXPECT_EQ(w.platform.dialogs[0].presetName, "GGRS87-KAST-SENh.txt");
  EXPECT_EQ(w.platform.dialogs[1].presetName, "GGRS87-KAST-SFLh.txt");
  EXPECT_EQ(w.platform.dialogs[2].presetName, "HTRS07-KAST-SFL.txt");
  EXPECT_EQ(w.platform.dialogs[3].presetName, "HTRS07-KAST-SEN.txt");
  EXPECT_EQ(w.controls.texts["Text17"], "/tmp/f0");
  EXPECT_EQ(w.controls.texts["Text20"], "/tmp/f3");
}

TEST(DataFileJobDialogs, CancelInAnyDialogCancelsTheJobAndTouchesNothing) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  for (std::size_t cancelAt = 0; cancelAt < 4; ++cancelAt) {
    Window w;
    ASSERT_TRUE(w.LoadReferenceGrids());
    w.platform.dialogs.clear();
    for (std::size_t d = 0; d < 4; ++d) {
      if (d == cancelAt) {
        w.platform.Answer(std::nullopt);
      } else {
        w.platform.Answer((dir / ("f" + std::to_string(d) + ".txt")).string());
      }
    }
    const auto boxesBefore = w.Boxes();
    EXPECT_FALSE(w.logic.ChooseFiles(JobKind::kSenhToHtrs07)) << cancelAt;
    EXPECT_EQ(w.platform.dialogs.size(), cancelAt + 1);
    EXPECT_EQ(w.Boxes(), boxesBefore);
  }
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST(DataFileJobDialogs, StartInTheFolderOfTheFileChosenLast) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  Window w;
  ASSERT_TRUE(w.LoadReferenceGrids());
  // The grid dialogs remember their own folder: the dE dialog starts where dN was chosen.
  EXPECT_EQ(w.platform.dialogs[0].folder, "");
  EXPECT_EQ(w.platform.dialogs[1].folder, (kReference / "grids").string());
  w.platform.dialogs.clear();
  w.platform.Answer((dir / "in" / "a.txt").string());
  w.platform.Answer((dir / "out" / "b.txt").string());
  ASSERT_TRUE(w.logic.ChooseFiles(JobKind::kSflhToSenh));
  // A cancelled job still moves the folder on: it is where the user was.
  w.platform.Answer((dir / "in" / "c.txt").string());
  w.platform.Answer(std::nullopt);
  ASSERT_FALSE(w.logic.ChooseFiles(JobKind::kSflhToSxyz));
  const std::string expected[] = {"", (dir / "in").string(), (dir / "out").string(),
                                  (dir / "in").string()};
  ASSERT_EQ(w.platform.dialogs.size(), 4u);
  for (std::size_t d = 0; d < 4; ++d) {
    EXPECT_EQ(w.platform.dialogs[d].folder, expected[d]) << d;
    // The preset names stay the job's default names.
    EXPECT_EQ(w.platform.dialogs[d].presetName.find('/'), std::string::npos);
  }
}

TEST(DataFileJobDialogs, AnOutputThatIsTheInputAnOutputOrAGridIsRefusedInItsDialog) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  WriteFile(dir / "in.txt", "P1,566296.541,4529332.314,6.501\r\n");
  fs::create_symlink(dir / "in.txt", dir / "link-to-in.txt");
  struct Case {
    const char* what;
    std::string refusedPath;  // the answer of the second output dialog
    const char* named;        // what the refusal says the file is
  };
  const Case cases[] = {
      {"the input", (dir / "in.txt").string(), "is the input of this job"},
      {"a link to the input", (dir / "link-to-in.txt").string(), "is the input of this job"},
      {"the input by another spelling", (dir / "." / "in.txt").string(),
       "is the input of this job"},
      {"the first output, not yet written", (dir / "sflh.txt").string(),
       "is already an output of this job (Output GGRS87 (φ,λ,h) coordinate file)"},
      {"a grid file", kDnGrid, "is a grid file of the initial step"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Window w;
    ASSERT_TRUE(w.LoadReferenceGrids());
    w.platform.dialogs.clear();
    w.platform.Answer((dir / "in.txt").string());
    w.platform.Answer((dir / "sflh.txt").string());
    w.platform.Answer(c.refusedPath);  // refused: the same dialog takes the next answer
    w.platform.Answer((dir / "sfl.txt").string());
    w.platform.Answer((dir / "sen.txt").string());
    const auto job = w.logic.ChooseFiles(JobKind::kSenhToHtrs07);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->outputs, (std::vector<std::string>{(dir / "sflh.txt").string(),
                                                       (dir / "sfl.txt").string(),
                                                       (dir / "sen.txt").string()}));
    // The refusal came in the third dialog, before the fourth opened.
    ASSERT_EQ(w.platform.messages.size(), 1u);
    EXPECT_EQ(w.platform.messages[0].title, data_file_texts::kOutputRefusedTitle);
    EXPECT_NE(w.platform.messages[0].text.find(c.refusedPath + " " + c.named),
              std::string::npos)
        << w.platform.messages[0].text;
    EXPECT_EQ(w.platform.dialogs.size(), 4u);
    EXPECT_FALSE(fs::exists(dir / "sflh.txt"));
  }
  EXPECT_EQ(ReadFile(dir / "in.txt"), "P1,566296.541,4529332.314,6.501\r\n");
}

// Runs a job of the reference set through the window's dialogs and compares every output.
void RunReferenceJob(ProgramKind kind, const RegionProfile& profile, const std::string& region,
                     JobKind job) {
  const JobDefinition& definition = DefinitionOf(job);
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  const fs::path refDir = kReference / region;
  Window w(kind, profile);
  if (profile.hasGrids) {
    ASSERT_TRUE(w.LoadReferenceGrids());
  } else {
    ASSERT_TRUE(w.logic.InitialStep());
  }
  w.platform.Answer((refDir / RegionFileName(profile, definition.input.defaultName)).string());
  std::vector<fs::path> outputs;
  for (const JobFile& file : definition.outputs) {
    outputs.push_back(dir / RegionFileName(profile, file.defaultName));
    w.platform.Answer(outputs.back().string());
  }
  const auto prepared = w.logic.ChooseFiles(job);
  ASSERT_TRUE(prepared);
  JobOptions options;
  options.threads = 2;
  const JobOutcome outcome = prepared->Run(options);
  const std::string status = w.logic.Finish(outcome);
  ASSERT_EQ(outcome.status, JobStatus::kDone) << status;
  EXPECT_EQ(w.platform.messages.size(), 0u) << w.platform.messages[0].text;
  EXPECT_NE(status.find("points written to " + outputs[0].filename().string()),
            std::string::npos)
      << status;
  // A Greek line, then an English one.
  EXPECT_EQ(std::count(status.begin(), status.end(), '\n'), 1) << status;
  for (const fs::path& out : outputs) {
    const fs::path expected =
        refDir / ("expected-" + std::string(definition.cliName) + "." + out.filename().string());
    EXPECT_EQ(ReadFile(out), ReadFile(expected)) << out;
  }
}

TEST(DataFileJobs, MainlandJobsWriteTheReferenceFiles) {
  for (const JobDefinition& job : JobDefinitions()) {
    SCOPED_TRACE(job.cliName);
    RunReferenceJob(ProgramKind::kDataFilesMainland, kMainlandProfile, "mainland", job.kind);
  }
}

TEST(DataFileJobs, KastelorizoJobsWriteTheReferenceFiles) {
  for (const JobDefinition& job : JobDefinitions()) {
    SCOPED_TRACE(job.cliName);
    RunReferenceJob(ProgramKind::kDataFilesKastelorizo, kKastelorizoProfile, "kastelorizo",
                    job.kind);
  }
}

TEST(DataFileJobs, APointOutsideTheGridIsShownWithItsIdAndTheProgramGoesOn) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  // The second point lies west of the grid's extent (TM07 Easting below 42000).
  WriteFile(dir / "in.txt",
            "P1,466591.820,4258474.289,593.998\r\nFAR-7,20000.000,4258474.289,1.000\r\n"
            "P3,467294.571,4448728.640,338.202\r\n");
  Window w;
  ASSERT_TRUE(w.LoadReferenceGrids());
  w.platform.Answer((dir / "in.txt").string());
  for (const char* name : {"sflh.txt", "sfl.txt", "sen.txt"}) {
    w.platform.Answer((dir / name).string());
  }
  const auto job = w.logic.ChooseFiles(JobKind::kSenhToHtrs07);
  ASSERT_TRUE(job);
  const JobOutcome outcome = job->Run({});
  ASSERT_EQ(outcome.status, JobStatus::kOutsideGrid);
  const std::string status = w.logic.Finish(outcome);
  ASSERT_EQ(w.platform.messages.size(), 1u);
  const auto& m = w.platform.messages[0];
  EXPECT_EQ(m.title, "Λανθασμένη Επιλογή Σημείου");
  EXPECT_EQ(m.text, "Το σημείο είναι εκτός του καννάβου : FAR-7");
  EXPECT_EQ(m.icon, MessageIcon::kInformation);
  EXPECT_EQ(m.buttons, MessageButtons::kOkCancel);
  EXPECT_NE(status.find("FAR-7"), std::string::npos);
  // The GGRS87 SFLh file holds the failing point's line; the HTRS07 files end before it.
  const std::string sflh = ReadFile(dir / "sflh.txt");
  EXPECT_NE(sflh.find("P1,"), std::string::npos);
  EXPECT_NE(sflh.find("FAR-7,"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "sen.txt").find("FAR-7"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "sen.txt").find("P3"), std::string::npos);
  // The window goes on: the next job runs.
  EXPECT_TRUE(w.JobsEnabled());
}

TEST(DataFileJobs, AnErrorIsShownWithFileLineAndField) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  WriteFile(dir / "in.txt", "P1,380000.00000,240000.00000,1.5\r\nP2,38x,240000.00000,1.5\r\n");
  Window w;
  ASSERT_TRUE(w.LoadReferenceGrids());
  w.platform.Answer((dir / "in.txt").string());
  w.platform.Answer((dir / "out.txt").string());
  const auto job = w.logic.ChooseFiles(JobKind::kSflhToSenh);
  ASSERT_TRUE(job);
  const JobOutcome outcome = job->Run({});
  ASSERT_EQ(outcome.status, JobStatus::kError);
  w.logic.Finish(outcome);
  ASSERT_EQ(w.platform.messages.size(), 1u);
  const std::string& text = w.platform.messages[0].text;
  EXPECT_EQ(w.platform.messages[0].title, data_file_texts::kJobErrorTitle);
  EXPECT_NE(text.find((dir / "in.txt").string() + ", γραμμή 2, πεδίο φ"), std::string::npos)
      << text;
  EXPECT_NE(text.find((dir / "in.txt").string() + ", line 2, field φ"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Το 1 σημείο που υπολογίστηκε"), std::string::npos) << text;
  EXPECT_EQ(ReadFile(dir / "out.txt"), "P1,500000.000,4205815.020,1.500\r\n");
}

// Both halves of a message give the same facts: the cause, with its numbers, in Greek too.
TEST(DataFileJobs, TheGreekHalfSaysWhyToo) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  struct Case {
    std::string text;
    const char* greek;    // in the Greek half, before the English one
    const char* english;  // in the English half
  };
  const Case cases[] = {
      {"101,375854,84000,234437,32000,320,412\r\n", "έχει 7 πεδία", "holds 7 fields"},
      {"P1,380000,240000,1\r\nP2,1e9,240000,1\r\n", "αριθμητικό σφάλμα (μη έγκυρη πράξη)",
       "numeric fault (invalid operation)"},
      {"P1,950000.00000,240000,1\r\n", "πέρα από ±90°", "beyond ±90°"},
      {"P1,38x,240000,1\r\n", "δεν είναι αριθμός", "is not a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    WriteFile(dir / "in.txt", c.text);
    Window w;
    ASSERT_TRUE(w.LoadReferenceGrids());
    w.platform.Answer((dir / "in.txt").string());
    w.platform.Answer((dir / "out.txt").string());
    const auto job = w.logic.ChooseFiles(JobKind::kSflhToSenh);
    ASSERT_TRUE(job);
    const std::string status = w.logic.Finish(job->Run({}));
    ASSERT_EQ(w.platform.messages.size(), 1u);
    const std::string& text = w.platform.messages[0].text;
    const std::size_t english = text.find("\r\n\r\n");
    ASSERT_NE(english, std::string::npos) << text;
    EXPECT_LT(text.find(c.greek), english) << text;
    EXPECT_GT(text.find(c.english), english) << text;
    EXPECT_LT(status.find(c.greek), status.find('\n')) << status;
  }
  // A grid that fails to load: the file, the line and why, in both halves.
  WriteFile(dir / "short_dN.grd", "3\r\n2\r\n2000\r\n");
  Window w;
  w.platform.Answer((dir / "short_dN.grd").string());
  w.platform.Answer(kDeGrid);
  EXPECT_FALSE(w.logic.InitialStep());
  ASSERT_EQ(w.platform.messages.size(), 1u);
  const std::string& text = w.platform.messages[0].text;
  const std::size_t english = text.find("\r\n\r\n");
  EXPECT_LT(text.find("short_dN.grd, γραμμή 4: το αρχείο τελειώνει πριν από την επικεφαλίδα"),
            english)
      << text;
  EXPECT_GT(text.find("short_dN.grd, line 4: the file ends before"), english) << text;
}

TEST(DataFileJobs, AMissingInputIsReportedAndNoOutputIsCreated) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  Window w(ProgramKind::kDataFilesKastelorizo, kKastelorizoProfile);
  ASSERT_TRUE(w.logic.InitialStep());
  w.platform.Answer((dir / "missing.txt").string());
  w.platform.Answer((dir / "out.txt").string());
  const auto job = w.logic.ChooseFiles(JobKind::kSflhToSxyz);
  ASSERT_TRUE(job);
  w.logic.Finish(job->Run({}));
  ASSERT_EQ(w.platform.messages.size(), 1u);
  EXPECT_NE(w.platform.messages[0].text.find((dir / "missing.txt").string()), std::string::npos);
  EXPECT_NE(w.platform.messages[0].text.find("Δεν γράφτηκε κανένα σημείο."), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "out.txt"));
}

TEST(DataFileJobs, ACancelledRunIsSummedUpWithoutAMessage) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  std::ostringstream in;
  for (int i = 0; i < 20000; ++i) in << "P" << i << ",380000.00000,240000.00000,1.5\r\n";
  WriteFile(dir / "in.txt", in.str());
  Window w;
  ASSERT_TRUE(w.LoadReferenceGrids());
  w.platform.Answer((dir / "in.txt").string());
  w.platform.Answer((dir / "out.txt").string());
  const auto job = w.logic.ChooseFiles(JobKind::kSflhToSenh);
  ASSERT_TRUE(job);
  std::atomic<bool> cancel{false};
  JobOptions options;
  // Cancel after the first batch has been written.
  options.progress = [&](const JobProgress&) { cancel = true; };
  options.cancel = &cancel;
  const JobOutcome outcome = job->Run(options);
  ASSERT_EQ(outcome.status, JobStatus::kCancelled);
  const std::string status = w.logic.Finish(outcome);
  EXPECT_TRUE(w.platform.messages.empty());
  EXPECT_NE(status.find("\nCancelled"), std::string::npos) << status;
  EXPECT_LT(outcome.pointsWritten, 20000u);
  EXPECT_GT(outcome.pointsWritten, 0u);
}

TEST(DataFileHelp, OpensTheProgramsOwnManualOrNamesTheMissingFile) {
  const support::TempFolder folder(support::CurrentTestName());
  const fs::path& dir = folder.path();
  Window w(ProgramKind::kDataFilesKastelorizo, kKastelorizoProfile);
  w.platform.programFolder = dir.string();
  w.logic.Help();
  ASSERT_EQ(w.platform.messages.size(), 1u);
  EXPECT_NE(w.platform.messages[0].text.find(
                "VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0_HELP.pdf"),
            std::string::npos);
  WriteFile(dir / "VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0_HELP.pdf", "%PDF-1.4\n");
  w.logic.Help();
  EXPECT_EQ(w.platform.messages.size(), 1u);
  ASSERT_EQ(w.platform.opened.size(), 1u);
  EXPECT_EQ(w.platform.opened[0],
            (dir / "VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0_HELP.pdf").string());
}

}  // namespace
}  // namespace vortan
