// The data-file window on the Win32 API: the controls of the form table (data_files/ui/form.h)
// created as EDIT, BUTTON and STATIC controls with their captions, initial texts and hover
// texts, placed by data_file_layout.h in dialog units at the display's DPI, and each button
// handed to the GUI-free window logic, as the Qt window does. A job runs on a worker thread:
// the window shows its progress with a bar and a Cancel button and stays responsive, the other
// jobs and the initial step disabled until it ends; its end is reported by the same logic.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/programs.h"
#include "data_files/ui/data_file_window_logic.h"
#include "data_files/ui/form.h"
#include "io/process.h"
#include "io/wide_text_win32.h"
#include "programs/win32/data_file_layout.h"
#include "programs/win32/win32_platform.h"
#include "programs/win32/win32_program.h"

namespace vortan {
namespace {

using Kind = DataFileControlKind;

constexpr wchar_t kWindowClass[] = L"VortanDataFileWindow";
constexpr int kFirstControlId = 1000;
// The progress row's controls, after those of the form.
constexpr int kProgressTextId = 900;
constexpr int kProgressBarId = 901;
constexpr int kCancelId = 902;
constexpr int kThreadsSpinId = 903;
constexpr int kProgressSteps = 1000;  // the bar's steps: a tenth of a percent each
// Messages from the worker thread: new progress to show; the job has ended.
constexpr UINT kProgressMessage = WM_APP + 1;
constexpr UINT kJobEndedMessage = WM_APP + 2;
constexpr COLORREF kWarningColour = RGB(0xC0, 0x00, 0x00);

// A text for a control: line breaks as CR LF, which edit boxes and labels both show.
std::wstring ControlText(const std::string& text) {
  std::wstring wide;
  for (wchar_t c : WideText(text)) {
    if (c == L'\n' && (wide.empty() || wide.back() != L'\r')) wide.push_back(L'\r');
    wide.push_back(c);
  }
  return wide;
}

// The logic's view of the window: controls found by their names; a control that the region's
// window lacks is skipped.
class WindowControls : public DataFileControls {
 public:
  void Add(std::string_view name, HWND hwnd) { controls_.emplace(name, hwnd); }
  HWND Find(std::string_view name) const {
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
  }
  std::string NameOf(HWND hwnd) const {
    for (const auto& [name, control] : controls_) {
      if (control == hwnd) return name;
    }
    return {};
  }
  const std::map<std::string, HWND, std::less<>>& all() const { return controls_; }

  void SetText(std::string_view control, const std::string& text) override {
    if (const HWND hwnd = Find(control)) {
      ::SetWindowTextW(hwnd, ControlText(text).c_str());
      ::InvalidateRect(hwnd, nullptr, TRUE);
    }
  }
  void SetEnabled(std::string_view control, bool enabled) override {
    if (const HWND hwnd = Find(control)) ::EnableWindow(hwnd, enabled ? TRUE : FALSE);
  }

 private:
  std::map<std::string, HWND, std::less<>> controls_;
};

class Window {
 public:
  Window(ProgramKind program, const RegionProfile& profile, Win32Platform& platform)
      : logic_(program, profile, platform, controls_) {}

  ~Window() {
    if (worker_.joinable()) {
      cancel_ = true;
      worker_.join();
    }
  }

  HWND Create(HINSTANCE instance, HICON icon) {
    icon_ = icon;
    const std::wstring caption = WideText(logic_.program().caption);
    hwnd_ = ::CreateWindowExW(0, kWindowClass, caption.c_str(), WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance,
                              this);
    return hwnd_;
  }

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
      self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->hwnd_ = hwnd;
    } else {
      self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self) return self->Handle(message, w, l);
    return ::DefWindowProcW(hwnd, message, w, l);
  }

  // Form_Load: the start-up notice, before the window shows; the jobs wait for the initial
  // step.
  void Form_Load() { logic_.FormLoad(); }

 private:
  LRESULT Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
      case WM_CREATE:
        CreateControls();
        Relayout(true);
        return 0;
      case WM_COMMAND:
        if (HIWORD(w) == BN_CLICKED) {
          if (LOWORD(w) == kCancelId) {
            Cancel();
            return 0;
          }
          const int index = LOWORD(w) - kFirstControlId;
          const auto& form = logic_.form();
          if (index >= 0 && index < static_cast<int>(form.size()) &&
              form[static_cast<std::size_t>(index)].kind == Kind::kButton) {
            Click(form[static_cast<std::size_t>(index)].name);
            return 0;
          }
        }
        break;
      case kProgressMessage:
        ShowProgress();
        return 0;
      case kJobEndedMessage:
        JobEnded();
        return 0;
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORSTATIC:
        return ColourOf(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w));
      case WM_CLOSE:
        // A running job stops after its current point, with complete lines in every output;
        // the window closes when it has, without a message.
        if (worker_.joinable()) {
          closing_ = true;
          Cancel();
          return 0;
        }
        break;
      case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
      default:
        break;
    }
    if (frame_.Handle(message, w, l, [this](bool fit) { Relayout(fit); }, [this] { SetFonts(); })) {
      return 0;
    }
    return ::DefWindowProcW(hwnd_, message, w, l);
  }

  // The handler of a button, named after it.
  void Click(std::string_view button) {
    if (button == "Command3") {
      Command3_Click();
    } else if (button == "Command6") {
      Command6_Click();
    } else if (const std::optional<JobKind> kind = JobOfButton(button)) {
      StartJob(*kind);  // Command4, Command2, Command5, Command1
    }
  }

  void Command3_Click() {
    if (!worker_.joinable()) logic_.InitialStep();
  }
  void Command6_Click() { logic_.Help(); }

  // The job's dialogs, then the job on a worker thread; the initial step and the jobs wait
  // until it ends, so that no path box changes while it runs.
  void StartJob(JobKind kind) {
    if (worker_.joinable()) return;  // one job at a time
    std::optional<PreparedJob> job = logic_.ChooseFiles(kind);
    if (!job) return;  // a dialog was cancelled; the status line says so

    cancel_ = false;
    progressPending_ = false;
    {
      std::lock_guard<std::mutex> lock(progressMutex_);
      progress_ = {0, 0, 0};
    }
    SetBusy(true);
    ::SetWindowTextW(controls_.Find(kProgressText),
                     ControlText(ProgressText({0, 0, 0})).c_str());
    ::SendMessageW(controls_.Find(kProgressBar), PBM_SETPOS, 0, 0);

    JobOptions options;
    options.threads = Threads();
    options.cancel = &cancel_;
    options.progress = [this](const JobProgress& p) {
      {
        std::lock_guard<std::mutex> lock(progressMutex_);
        progress_ = p;
      }
      // One message waits at a time: the window shows the latest progress when it comes.
      if (!progressPending_.exchange(true)) ::PostMessageW(hwnd_, kProgressMessage, 0, 0);
    };
    outcome_ = std::make_unique<JobOutcome>();
    worker_ = std::thread([this, job = std::move(*job), options] {
      *outcome_ = job.Run(options);
      ::PostMessageW(hwnd_, kJobEndedMessage, 0, 0);
    });
  }

  // The number of threads a job computes on, as the box says, within its range.
  int Threads() const {
    BOOL read = FALSE;
    const UINT n = ::GetDlgItemInt(hwnd_, kFirstControlId + threadsIndex_, &read, FALSE);
    return read ? std::clamp(static_cast<int>(n), 1, MostThreads()) : DefaultThreads();
  }
  // Every core by default, at most four threads a core.
  static int DefaultThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  }
  static int MostThreads() { return DefaultThreads() * 4; }

  void Cancel() {
    if (!worker_.joinable() || cancel_) return;
    cancel_ = true;
    ::SetWindowTextW(controls_.Find(kProgressText),
                     ControlText(std::string(data_file_texts::kCancelling)).c_str());
    ::EnableWindow(controls_.Find(kCancelButton), FALSE);
  }

  // Progress after a cancel is not shown.
  void ShowProgress() {
    progressPending_ = false;
    if (!worker_.joinable() || cancel_) return;
    JobProgress p;
    {
      std::lock_guard<std::mutex> lock(progressMutex_);
      p = progress_;
    }
    if (p.bytesTotal > 0) {
      const double share = static_cast<double>(p.bytesRead) / static_cast<double>(p.bytesTotal);
      ::SendMessageW(controls_.Find(kProgressBar), PBM_SETPOS,
                     static_cast<WPARAM>(std::min(share, 1.0) * kProgressSteps), 0);
    }
    ::SetWindowTextW(controls_.Find(kProgressText), ControlText(ProgressText(p)).c_str());
  }

  void JobEnded() {
    if (!worker_.joinable()) return;
    worker_.join();
    SetBusy(false);
    if (closing_) {  // the program is ending: no message waits for the user
      ::DestroyWindow(hwnd_);
      return;
    }
    logic_.Finish(*outcome_);
  }

  // While a job runs: the progress row shown, the initial step and the jobs disabled; after
  // it, each job enabled as the logic says.
  void SetBusy(bool busy) {
    for (std::string_view name : {kProgressText, kProgressBar, kCancelButton}) {
      ::ShowWindow(controls_.Find(name), busy ? SW_SHOW : SW_HIDE);
    }
    ::EnableWindow(controls_.Find(kCancelButton), busy ? TRUE : FALSE);
    controls_.SetEnabled("Command3", !busy);
    for (std::string_view button : kJobButtons) {
      controls_.SetEnabled(button, !busy && logic_.JobEnabled(*JobOfButton(button)));
    }
  }

  // The window's font on every control; the second note and the initial step in bold, as in
  // the Qt window.
  void SetFonts() {
    for (const auto& [name, control] : controls_.all()) {
      const bool strong = name == "Label14" || name == "Command3";
      ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(frame_.Font(strong)), TRUE);
    }
  }

  HWND MakeControl(const wchar_t* type, const std::wstring& text, DWORD style, DWORD extended,
                   int id) {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    return ::CreateWindowExW(extended, type, text.c_str(), WS_CHILD | style, 0, 0, 10, 10, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                             nullptr);
  }

  void AddTip(HWND control, std::string_view tip) {
    if (tip.empty()) return;
    tipTexts_.push_back(WideText(std::string(tip)));
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = tipTexts_.back().data();
    ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  // The form's controls, each given the id kFirstControlId + its index in the table, then the
  // progress row, hidden until a job runs.
  void CreateControls() {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    frame_.Attach(hwnd_);
    tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                              instance, nullptr);
    ::SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 600);
    const auto& form = logic_.form();
    // Group boxes first, so that the controls inside them are above them.
    std::vector<std::size_t> order(form.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_partition(order.begin(), order.end(),
                          [&](std::size_t i) { return form[i].kind == Kind::kGroup; });
    for (std::size_t i : order) {
      const DataFileControl& control = form[i];
      const int id = kFirstControlId + static_cast<int>(i);
      const std::wstring text = ControlText(control.text);
      HWND hwnd = nullptr;
      switch (control.kind) {
        case Kind::kPicture:
          hwnd = MakeControl(L"STATIC", L"", WS_VISIBLE | SS_ICON | SS_CENTERIMAGE | SS_NOTIFY,
                             0, id);
          ::SendMessageW(hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
          break;
        case Kind::kLabel:
          hwnd = MakeControl(L"STATIC", text, WS_VISIBLE | SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0,
                             id);
          break;
        case Kind::kButton:
          hwnd = MakeControl(L"BUTTON", text,
                             WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE, 0, id);
          break;
        case Kind::kBox:
          hwnd = MakeControl(L"EDIT", text, WS_VISIBLE | WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL,
                             WS_EX_CLIENTEDGE, id);
          break;
        case Kind::kPathBox:
          hwnd = MakeControl(L"EDIT", text,
                             WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY,
                             WS_EX_CLIENTEDGE, id);
          break;
        case Kind::kThreads: {
          threadsIndex_ = static_cast<int>(i);
          hwnd = MakeControl(L"EDIT", std::to_wstring(DefaultThreads()),
                             WS_VISIBLE | WS_TABSTOP | ES_NUMBER | ES_CENTER, WS_EX_CLIENTEDGE,
                             id);
          spin_ = MakeControl(UPDOWN_CLASSW, L"",
                              WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                  UDS_NOTHOUSANDS,
                              0, kThreadsSpinId);
          ::SendMessageW(spin_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(hwnd), 0);
          ::SendMessageW(spin_, UDM_SETRANGE32, 1, MostThreads());
          ::SendMessageW(spin_, UDM_SETPOS32, 0, DefaultThreads());
          break;
        }
        case Kind::kGroup:
          hwnd = MakeControl(L"BUTTON", text, WS_VISIBLE | BS_GROUPBOX, 0, id);
          break;
      }
      controls_.Add(control.name, hwnd);
      AddTip(hwnd, control.tip);
    }
    controls_.Add(kProgressText,
                  MakeControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0, kProgressTextId));
    const HWND bar = MakeControl(PROGRESS_CLASSW, L"", 0, 0, kProgressBarId);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, kProgressSteps);
    controls_.Add(kProgressBar, bar);
    controls_.Add(kCancelButton,
                  MakeControl(L"BUTTON", L"Ακύρωση / Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0,
                              kCancelId));
    frame_.MakeFonts();
    SetFonts();
  }

  // Places every control at the display's DPI, less the scrolled part; fit: sizes the window
  // to the form.
  void Relayout(bool fit) {
    frame_.LayOut(controls_.all(), kDataFilePlaces, kDataFileWidth, kDataFileHeight, fit);
    // The spin sits at the right edge of its box again.
    if (spin_) {
      ::SendMessageW(spin_, UDM_SETBUDDY,
                     reinterpret_cast<WPARAM>(controls_.Find("Threads")), 0);
    }
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  }

  // Boxes that the initial step disables stay legible; the test-data mark is red.
  LRESULT ColourOf(HWND control, HDC dc) {
    const std::string name = controls_.NameOf(control);
    const DataFileControl* c = FindControl(logic_.form(), name);
    if (c && (c->kind == Kind::kBox || c->kind == Kind::kPathBox || c->kind == Kind::kThreads)) {
      const COLORREF colour = ::GetSysColor(COLOR_WINDOW);
      ::SetBkColor(dc, colour);
      ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(frame_.Brush(colour));
    }
    if (name == kTestDataLabel) ::SetTextColor(dc, kWarningColour);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
  }

  WindowControls controls_;
  DataFileWindowLogic logic_;
  std::vector<std::wstring> tipTexts_;
  HWND hwnd_ = nullptr;
  HWND tips_ = nullptr;
  HWND spin_ = nullptr;
  HICON icon_ = nullptr;
  FormFrame frame_;
  int threadsIndex_ = 0;

  // The running job: its thread, its outcome once it has ended, the latest progress it gave.
  std::thread worker_;
  std::unique_ptr<JobOutcome> outcome_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> progressPending_{false};
  std::mutex progressMutex_;
  JobProgress progress_{0, 0, 0};
  bool closing_ = false;  // the window was asked to close while a job ran
};

}  // namespace

int RunDataFilesWin32(ProgramKind program, const RegionProfile& profile) {
  PrepareProcessForJobs();
  const HICON icon = FormFrame::RegisterWindowClass(kWindowClass, &Window::Procedure,
                                                    ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS);
  Win32Platform platform;
  auto window = std::make_unique<Window>(program, profile, platform);
  const HWND hwnd = window->Create(::GetModuleHandleW(nullptr), icon);
  if (!hwnd) return 1;
  // The notice of Form_Load comes before the window is shown; later messages sit on it.
  window->Form_Load();
  platform.SetOwner(hwnd);
  ::ShowWindow(hwnd, SW_SHOWNORMAL);
  ::UpdateWindow(hwnd);
  return FormFrame::RunMessages(hwnd, nullptr);
}

}  // namespace vortan
