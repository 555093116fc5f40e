// The Win32 single-point programs driven as a user drives them, through their controls: each
// program started, its start-up notice closed, the initial step pressed, points typed into the
// boxes and every conversion button pressed; every box read back and compared with what the
// GUI-free conversions give for the same boxes. Bad input: the message, and the program still
// running with the typed values. Needs a display (scripts/test-windows runs Wine on Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/programs.h"
#include "app/utf8_path.h"
#include "io/wide_text_win32.h"
#include "single_point/boxes.h"
#include "single_point/conversions.h"
#include "single_point/form.h"
#include "tests/windows/window_driver.h"
#include "transform/region_profile.h"

namespace vortan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace windowtest;

constexpr int kFirstControlId = 1000;

class ScriptedPlatform : public Platform {
 public:
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon,
                   MessageButtons) override {
    messages.push_back(title + "|" + Shown(text));
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override { return {}; }
  void OpenDocument(const std::string&, std::function<void()>) override {}
  std::string ProgramFolder() override { return folder; }
  std::vector<std::string> messages;
  std::string folder;
};

class SinglePointProgram : public ::testing::Test {
 protected:
  void Start(ProgramKind kind, const RegionProfile& profile) {
    profile_ = &profile;
    form_ = SinglePointControls(profile);
    // A Greek folder: the program finds its grids there and names it in the window.
    folder_ = fs::temp_directory_path() / fs::path(u8"κάνναβοι-δοκιμής") /
              ("w-" + std::to_string(::GetCurrentProcessId()) + "-" +
               std::string(InfoOf(kind).executable));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    for (const char* grid : {"dN_2km_V1-0.grd", "dE_2km_V1-0.grd"}) {
      fs::copy_file(TestProgramFolder() / grid, folder_ / grid);
    }
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
    window_ = WaitFor(process_.dwProcessId, L"VortanSinglePointWindow", 20s);
    ASSERT_TRUE(window_) << "no window";
    EXPECT_EQ(TextOf(window_), std::string(InfoOf(kind).caption));
    // Every control of the form table is shown somewhere in the window: a control the layout
    // forgot would be hidden.
    for (const vortan::Control& c : form_) {
      const HWND control = Widget(c.name);
      RECT r{};
      EXPECT_TRUE(control && ::IsWindowVisible(control) && ::GetWindowRect(control, &r) &&
                  r.right - r.left > 4 && r.bottom - r.top > 4)
          << c.name << " is not laid out";
    }

    // The same conversions on plain boxes, in the same folder, beside the window.
    ::SetCurrentDirectoryW(folder_.wstring().c_str());
    platform_.folder = Utf8OfPath(folder_);
    for (const vortan::Control& c : form_) {
      if (c.kind == ControlKind::kBox || c.kind == ControlKind::kLabel) {
        boxes_.texts[std::string(c.name)] = std::string(c.text);
      }
    }
    conversions_ = std::make_unique<SinglePointConversions>(profile, boxes_, platform_);
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
    ::SetCurrentDirectoryW(fs::temp_directory_path().wstring().c_str());
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  HWND Widget(std::string_view name) const {
    for (std::size_t i = 0; i < form_.size(); ++i) {
      if (form_[i].name == name) {
        return ::GetDlgItem(window_, kFirstControlId + static_cast<int>(i));
      }
    }
    return nullptr;
  }

  // Types a text into a box of the window and of the plain boxes.
  void Type(const char* box, const std::string& text) {
    HWND control = Widget(box);
    ASSERT_TRUE(control) << box;
    ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideText(text).c_str()));
    boxes_.texts[box] = text;
  }

  // Presses a button of the window and runs its handler on the plain boxes; the message boxes
  // the window showed, closed with OK, compared with those of the plain run.
  void Press(const char* button) {
    HWND control = Widget(button);
    ASSERT_TRUE(control) << button;
    ASSERT_TRUE(::IsWindowEnabled(control)) << button;
    platform_.messages.clear();
    const std::string name = button;
    if (name == "Command1") conversions_->Command1_Click();
    if (name == "Command2") conversions_->Command2_Click();
    if (name == "Command3") conversions_->Command3_Click();
    if (name == "Command5") conversions_->Command5_Click();
    ::PostMessageW(control, BM_CLICK, 0, 0);
    std::vector<std::string> shown;
    for (;;) {
      // Returns once the click is handled, or while a message box of the handler is open.
      DWORD_PTR result = 0;
      ASSERT_TRUE(::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result))
          << "the window does not answer after " << button;
      const HWND box = WaitFor(process_.dwProcessId, L"#32770", 300ms);
      if (!box) break;
      shown.push_back(CloseMessageBox(box));
    }
    EXPECT_EQ(shown, platform_.messages) << button;
    ExpectSameBoxes(button);
  }

  // Every box and label of the window holds what the plain boxes hold.
  void ExpectSameBoxes(const char* after) {
    for (const vortan::Control& c : form_) {
      if (c.kind != ControlKind::kBox && c.kind != ControlKind::kLabel) continue;
      const std::string name(c.name);
      EXPECT_EQ(TextOf(Widget(name)), boxes_.Text(name)) << name << " after " << after;
      EXPECT_EQ(::IsWindowEnabled(Widget(name)) != FALSE, boxes_.Enabled(name))
          << name << " after " << after;
    }
  }

  void ExpectRunning() {
    EXPECT_EQ(::WaitForSingleObject(process_.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(::IsWindow(window_));
  }

  const RegionProfile* profile_ = nullptr;
  std::vector<vortan::Control> form_;
  fs::path folder_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  ScriptedPlatform platform_;
  BoxMap boxes_;
  std::unique_ptr<SinglePointConversions> conversions_;
};

struct Point {
  const char* box;
  const char* text;
};

// The conversions of both regions, then bad input; every box compared after every press.
TEST_F(SinglePointProgram, MainlandConvertsAsTheSharedLogicAndSurvivesBadInput) {
  Start(ProgramKind::kSinglePointMainland, kMainlandProfile);
  Press("Command3");
  Press("Command2");
  Press("Command5");
  Press("Command1");
  // GGRS87 phi, lambda, h with E, N cleared.
  for (const Point& p : {Point{"Text1", ""}, Point{"Text2", ""}, Point{"Text3", "380000.00000"},
                         Point{"Text4", "233000.00000"}}) {
    Type(p.box, p.text);
  }
  Press("Command1");
  // A comma, a point outside the grid, decimal degrees, an impossible latitude: each refused
  // or converted as the shared logic says, the program still running with the typed values.
  struct Bad {
    std::vector<Point> typed;
    const char* button;
  };
  const Bad bad[] = {
      {{{"Text5", "4382064,771"}}, "Command2"},
      {{{"Text1", "100000.000"}, {"Text2", "4000000.000"}}, "Command1"},
      {{{"Text1", ""}, {"Text2", ""}, {"Text3", "38.5"}, {"Text4", "23.5"}}, "Command1"},
      {{{"Text3", "950000.00000"}}, "Command1"},
  };
  for (const Bad& b : bad) {
    for (const Point& p : b.typed) Type(p.box, p.text);
    Press(b.button);
    ExpectRunning();
    for (const Point& p : b.typed) EXPECT_EQ(TextOf(Widget(p.box)), p.text) << p.box;
  }
}

TEST_F(SinglePointProgram, KastelorizoConvertsAsTheSharedLogic) {
  Start(ProgramKind::kSinglePointKastelorizo, kKastelorizoProfile);
  Press("Command3");
  Press("Command2");
  Press("Command5");
  Press("Command1");
  Type("Text5", "4483880,358");
  Press("Command2");
  ExpectRunning();
}

}  // namespace
}  // namespace vortan
