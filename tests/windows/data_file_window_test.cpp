// The Win32 data-file program driven as a user drives it: started, its start-up notice closed,
// the initial step run through its two grid dialogs, then a job through its file dialogs (the
// path typed into each dialog's file-name box and OK pressed) on a reference file. The window's
// boxes, labels and buttons are compared with what the GUI-free window logic gives for the same
// choices, and the job's outputs byte for byte with the reference outputs. Needs a display
// (scripts/test-windows runs Wine on Xvfb).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/programs.h"
#include "data_files/ui/data_file_window_logic.h"
#include "data_files/ui/form.h"
#include "io/wide_text_win32.h"
#include "tests/support/folder_test.h"
#include "tests/windows/window_driver.h"
#include "transform/region_profile.h"

namespace vortan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace windowtest;

constexpr int kFirstControlId = 1000;
// The running job's progress bar and Cancel button, which the form's table does not have.
constexpr int kProgressBarId = 901;
constexpr int kCancelId = 902;
// The file-name box of the common file dialogs: the combo box cmb13, or the edit box edt1.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;

// The dialogs answered from a list of paths, in order; the messages kept as "title|text".
class ScriptedPlatform : public Platform {
 public:
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon,
                   MessageButtons) override {
    messages.push_back(title + "|" + Shown(text));
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override { return Next(); }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override { return Next(); }
  void OpenDocument(const std::string&, std::function<void()>) override {}
  std::string ProgramFolder() override { return {}; }

  std::deque<std::string> answers;
  std::vector<std::string> messages;

 private:
  std::optional<std::string> Next() {
    if (answers.empty()) return std::nullopt;
    std::string path = answers.front();
    answers.pop_front();
    return path;
  }
};

// The window's controls as the logic writes them, with their texts as the window shows them.
class PlainControls : public DataFileControls {
 public:
  void SetText(std::string_view control, const std::string& text) override {
    texts[std::string(control)] = Shown(text);
  }
  void SetEnabled(std::string_view control, bool enabled) override {
    this->enabled[std::string(control)] = enabled;
  }
  std::map<std::string, std::string> texts;
  std::map<std::string, bool> enabled;
};

// The file-name box of a file dialog: the edit box itself, inside the combo box where the
// dialog has one.
HWND FileNameBox(HWND dialog) {
  if (HWND combo = ::GetDlgItem(dialog, kFileNameCombo)) {
    if (HWND edit = ::FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
    return combo;
  }
  return ::GetDlgItem(dialog, kFileNameEdit);
}

class DataFileProgram : public support::FolderTest {
 protected:
  void Start(ProgramKind kind, const RegionProfile& profile) {
    form_ = DataFileForm(profile, InfoOf(kind).helpFileName);
    const fs::path exe = TestProgramFolder() / (std::string(InfoOf(kind).executable) + ".exe");
    std::wstring command = L"\"" + exe.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(::CreateProcessW(exe.wstring().c_str(), command.data(), nullptr, nullptr, FALSE,
                                 0, nullptr, folder_.wstring().c_str(), &startup, &process_))
        << exe;
    // The start-up notice comes before the window.
    const HWND notice = WaitFor(process_.dwProcessId, L"#32770", 20s);
    ASSERT_TRUE(notice) << "no start-up notice";
    EXPECT_EQ(CloseMessageBox(notice).rfind(std::string(texts::kNoticeTitle) + "|", 0), 0u);
    window_ = WaitFor(process_.dwProcessId, L"VortanDataFileWindow", 20s);
    ASSERT_TRUE(window_) << "no window";
    EXPECT_EQ(TextOf(window_), std::string(InfoOf(kind).caption));

    // The same logic on plain controls, beside the window.
    for (const DataFileControl& c : form_) controls_.texts[std::string(c.name)] = Shown(c.text);
    logic_ = std::make_unique<DataFileWindowLogic>(kind, profile, platform_, controls_);
    platform_.answers = {};
    logic_->FormLoad();
    platform_.messages.clear();  // the notice, closed above
  }

  void TearDown() override {
    if (process_.hProcess) {
      if (window_ && ::IsWindow(window_)) ::PostMessageW(window_, WM_CLOSE, 0, 0);
      if (::WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process_.hProcess, 1);
      }
      ::CloseHandle(process_.hProcess);
      ::CloseHandle(process_.hThread);
    }
  }

  HWND Widget(std::string_view name) const {
    for (std::size_t i = 0; i < form_.size(); ++i) {
      if (form_[i].name == name) {
        return ::GetDlgItem(window_, kFirstControlId + static_cast<int>(i));
      }
    }
    return nullptr;
  }

  // Presses a button of the window and answers its file dialogs with the paths, in order:
  // each path typed into the dialog's file-name box and OK pressed; the dialog's title checked.
  void PressThroughDialogs(const char* button, const std::vector<std::string>& titles,
                           const std::vector<fs::path>& paths) {
    const HWND control = Widget(button);
    ASSERT_TRUE(control) << button;
    ASSERT_TRUE(::IsWindowEnabled(control)) << button;
    ::PostMessageW(control, BM_CLICK, 0, 0);
    for (std::size_t d = 0; d < paths.size(); ++d) {
      const HWND dialog = WaitFor(process_.dwProcessId, L"#32770", 20s);
      ASSERT_TRUE(dialog) << "no file dialog " << titles[d];
      EXPECT_EQ(TextOf(dialog), titles[d]);
      const HWND name = FileNameBox(dialog);
      ASSERT_TRUE(name) << "no file-name box in " << titles[d];
      const std::wstring path = paths[d].wstring();
      ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
      ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
      WaitGone(dialog);
      ASSERT_FALSE(::IsWindow(dialog)) << titles[d] << " stays open with " << paths[d];
      platform_.answers.push_back(paths[d].string());
    }
  }

  // Waits until the window has handled what was posted to it and no job runs (the initial step
  // enabled again); the message boxes it shows meanwhile closed with OK and returned.
  std::vector<std::string> Settle() {
    std::vector<std::string> shown;
    const auto end = std::chrono::steady_clock::now() + 120s;
    for (;;) {
      DWORD_PTR result = 0;
      EXPECT_TRUE(::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result))
          << "the window does not answer";
      if (const HWND box = WaitFor(process_.dwProcessId, L"#32770", 300ms)) {
        shown.push_back(CloseMessageBox(box));
        continue;
      }
      if (::IsWindowEnabled(Widget("Command3"))) break;
      if (std::chrono::steady_clock::now() > end) {
        ADD_FAILURE() << "the job does not end";
        break;
      }
    }
    return shown;
  }

  // Every box, label and button of the window shows what the logic wrote on plain controls.
  void ExpectSameControls(const char* after) {
    for (const DataFileControl& c : form_) {
      if (c.kind == DataFileControlKind::kPicture || c.kind == DataFileControlKind::kThreads) {
        continue;
      }
      const std::string name(c.name);
      if (c.kind != DataFileControlKind::kButton) {
        EXPECT_EQ(TextOf(Widget(name)), controls_.texts[name]) << name << " after " << after;
      }
      const auto enabled = controls_.enabled.find(name);
      EXPECT_EQ(::IsWindowEnabled(Widget(name)) != FALSE,
                enabled == controls_.enabled.end() || enabled->second)
          << name << " after " << after;
    }
  }

  std::vector<DataFileControl> form_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  ScriptedPlatform platform_;
  PlainControls controls_;
  std::unique_ptr<DataFileWindowLogic> logic_;
};

std::vector<std::string> Titles(JobKind kind) {
  std::vector<std::string> titles;
  for (const JobDialog& dialog : WindowOf(kind).dialogs) titles.emplace_back(dialog.title);
  return titles;
}

// One region's program: its kind, its profile, its folder of reference files.
struct Region {
  ProgramKind kind;
  const RegionProfile& profile;
  const char* folder;
};

class EveryJob : public DataFileProgram, public ::testing::WithParamInterface<Region> {};

// The initial step (on the mainland through its two grid dialogs, the reference grids), then
// every job through its window button and its dialogs on the region's reference file, and one
// on a broken input file: the window as the logic after every step (status, buttons, message
// boxes), the outputs as the reference.
TEST_P(EveryJob, ThroughItsDialogsAsTheReference) {
  const Region& region = GetParam();
  const fs::path reference = fs::absolute(fs::path(VORTAN_TEST_DATA) / "reference");
  const fs::path grids = (reference / "grids").make_preferred();
  const fs::path inputs = (reference / region.folder).make_preferred();
  Start(region.kind, region.profile);
  if (HasFatalFailure()) return;  // no window to drive
  ASSERT_FALSE(::IsWindowEnabled(Widget("Command1"))) << "a job before the initial step";

  if (region.profile.hasGrids) {
    PressThroughDialogs(
        "Command3",
        {std::string(data_file_texts::kDnGridDialogTitle),
         std::string(data_file_texts::kDeGridDialogTitle)},
        {grids / "dN_2km_V1-0.grd", grids / "dE_2km_V1-0.grd"});
  } else {
    PressThroughDialogs("Command3", {}, {});
  }
  EXPECT_TRUE(logic_->InitialStep());
  EXPECT_EQ(Settle(), platform_.messages);
  ExpectSameControls("Command3");

  // A record cut short: the job stops, naming file, line and field, in a message box.
  const fs::path broken =
      fs::path(Write("broken-SENh.txt", "P1,500000.000,4200000.000,10.000\r\nP2,500100.0")).make_preferred();
  const auto name = [&](std::string_view mainlandName) {
    return RegionFileName(region.profile, mainlandName);
  };
  struct Run {
    JobKind kind;
    fs::path input;
    bool reference;  // outputs compared with the reference outputs
  };
  const Run runs[] = {
      {JobKind::kSflhToSenh, inputs / name("GGRS87-SFLh.txt"), true},
      {JobKind::kSenhToHtrs07, inputs / name("GGRS87-SENh.txt"), true},
      {JobKind::kSflhToSxyz, inputs / name("HTRS07-SFLh.txt"), true},
      {JobKind::kSxyzToGgrs87, inputs / name("HTRS07-SXYZ.txt"), true},
      {JobKind::kSenhToHtrs07, broken, false},
  };
  for (const Run& run : runs) {
    const JobDefinition& job = DefinitionOf(run.kind);
    const std::string button(WindowOf(run.kind).button);
    SCOPED_TRACE(button + " on " + run.input.string());
    std::vector<fs::path> paths = {run.input};
    for (const JobFile& file : job.outputs) {
      fs::path out = folder_ / name(file.defaultName);
      std::error_code ec;
      fs::remove(out, ec);  // no replace question: each run writes new files
      paths.push_back(out.make_preferred());
    }
    platform_.messages.clear();
    PressThroughDialogs(button.c_str(), Titles(run.kind), paths);
    const std::vector<std::string> shown = Settle();
    if (run.reference) {
      for (const JobFile& file : job.outputs) {
        const std::string output = name(file.defaultName);
        const std::string expected =
            support::ReadFile(inputs / ("expected-" + std::string(job.cliName) + "." + output));
        ASSERT_FALSE(expected.empty()) << output;
        EXPECT_TRUE(support::ReadFile(folder_ / output) == expected)
            << output << " differs from the reference";
      }
    } else {
      EXPECT_FALSE(shown.empty()) << "no message for a broken input";
    }

    // The end of the job as the logic reports it: the same job on the same files.
    for (std::size_t d = 1; d < paths.size(); ++d) fs::remove(paths[d]);
    std::optional<PreparedJob> prepared = logic_->ChooseFiles(run.kind);
    ASSERT_TRUE(prepared);
    logic_->Finish(prepared->Run({}));
    EXPECT_EQ(shown, platform_.messages);
    ExpectSameControls(button.c_str());
    EXPECT_NE(controls_.texts[std::string(data_file_texts::kStatusLine)], "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    BothPrograms, EveryJob,
    ::testing::Values(Region{ProgramKind::kDataFilesMainland, kMainlandProfile, "mainland"},
                      Region{ProgramKind::kDataFilesKastelorizo, kKastelorizoProfile,
                             "kastelorizo"}),
    [](const ::testing::TestParamInfo<Region>& info) {
      return std::string(info.param.folder);
    });

std::size_t LinesOf(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Cancel during a long job: the job stops after its current point, every output holds the
// same count of complete lines, the status line says so, and the window takes input again.
TEST_F(DataFileProgram, CancelStopsTheJobWithCompleteLinesInEveryOutput) {
  const fs::path reference = fs::absolute(fs::path(VORTAN_TEST_DATA) / "reference");
  const fs::path grids = (reference / "grids").make_preferred();
  const std::string points = support::ReadFile(reference / "mainland" / "GGRS87-SENh.txt");
  std::string many;
  for (int k = 0; k < 3000; ++k) many += points;
  const fs::path input = fs::path(Write("many-SENh.txt", many)).make_preferred();
  Start(ProgramKind::kDataFilesMainland, kMainlandProfile);
  if (HasFatalFailure()) return;  // no window to drive
  PressThroughDialogs(
      "Command3",
      {std::string(data_file_texts::kDnGridDialogTitle),
       std::string(data_file_texts::kDeGridDialogTitle)},
      {grids / "dN_2km_V1-0.grd", grids / "dE_2km_V1-0.grd"});
  EXPECT_EQ(Settle(), std::vector<std::string>{});

  const JobKind kind = JobKind::kSenhToHtrs07;
  std::vector<fs::path> paths = {input};
  for (const JobFile& file : DefinitionOf(kind).outputs) {
    paths.push_back((folder_ / std::string(file.defaultName)).make_preferred());
  }
  PressThroughDialogs("Command1", Titles(kind), paths);
  const HWND bar = ::GetDlgItem(window_, kProgressBarId);
  ASSERT_TRUE(bar);
  const auto end = std::chrono::steady_clock::now() + 60s;
  while (!(::IsWindowVisible(bar) && ::SendMessageW(bar, PBM_GETPOS, 0, 0) > 0)) {
    ASSERT_LT(std::chrono::steady_clock::now(), end) << "no progress shown";
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_FALSE(::IsWindowEnabled(Widget("Command3"))) << "the initial step during a job";
  ::PostMessageW(::GetDlgItem(window_, kCancelId), BM_CLICK, 0, 0);
  EXPECT_EQ(Settle(), std::vector<std::string>{});

  EXPECT_EQ(TextOf(Widget(data_file_texts::kStatusLine)).rfind("Η εργασία ακυρώθηκε", 0), 0u)
      << TextOf(Widget(data_file_texts::kStatusLine));
  EXPECT_FALSE(::IsWindowVisible(bar));
  EXPECT_TRUE(::IsWindowEnabled(Widget("Command1")));
  const std::size_t written = LinesOf(support::ReadFile(paths[1]));
  EXPECT_LT(written, LinesOf(many));
  for (std::size_t d = 1; d < paths.size(); ++d) {
    const std::string output = support::ReadFile(paths[d]);
    EXPECT_EQ(LinesOf(output), written) << paths[d];
    EXPECT_TRUE(output.empty() || output.ends_with("\r\n")) << paths[d] << " ends mid-line";
  }
}

}  // namespace
}  // namespace vortan
