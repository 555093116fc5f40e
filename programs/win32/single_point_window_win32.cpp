// The single-point window on the Win32 API: the controls of the form table (single_point/form.h)
// created as EDIT, BUTTON and STATIC controls with their captions, initial texts and hover
// texts, placed by single_point_layout.h in dialog units at the display's DPI, and each button
// handed to the GUI-free conversions, as the Qt window does.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/programs.h"
#include "io/process.h"
#include "io/wide_text_win32.h"
#include "programs/win32/form_frame.h"
#include "programs/win32/single_point_layout.h"
#include "programs/win32/win32_platform.h"
#include "programs/win32/win32_program.h"
#include "single_point/conversions.h"
#include "single_point/form.h"

namespace vortan {
namespace {

constexpr wchar_t kWindowClass[] = L"VortanSinglePointWindow";
constexpr int kFirstControlId = 1000;
constexpr COLORREF kNoticeColour = RGB(0xA0, 0x30, 0x00);
constexpr COLORREF kWarningColour = RGB(0xC0, 0x00, 0x00);

COLORREF ColourRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

class Window;

// The boxes of the window for the conversions, by control name; a control the window lacks
// reads as empty and ignores writes.
class WindowBoxes : public Boxes {
 public:
  explicit WindowBoxes(const std::map<std::string, HWND>& controls) : controls_(controls) {}
  std::string Text(const std::string& name) const override {
    const HWND control = Find(name);
    if (!control) return {};
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    const int n = ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return Utf8Text(text);
  }
  void SetText(const std::string& name, const std::string& text) override {
    if (const HWND control = Find(name)) {
      ::SetWindowTextW(control, WideText(text).c_str());
      ::InvalidateRect(control, nullptr, TRUE);
    }
  }
  void SetEnabled(const std::string& name, bool enabled) override {
    if (const HWND control = Find(name)) ::EnableWindow(control, enabled ? TRUE : FALSE);
  }

 private:
  HWND Find(const std::string& name) const {
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
  }
  const std::map<std::string, HWND>& controls_;
};

class Window {
 public:
  Window(const RegionProfile& profile, ProgramKind program, Win32Platform& platform)
      : info_(InfoOf(program)),
        platform_(platform),
        form_(SinglePointControls(profile)),
        boxes_(controls_),
        conversions_(profile, boxes_, platform) {}

  HWND Create(HINSTANCE instance, HICON icon) {
    icon_ = icon;
    const std::wstring caption = WideText(info_.caption);
    hwnd_ = ::CreateWindowExW(0, kWindowClass, caption.c_str(),
                              WS_OVERLAPPEDWINDOW,
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

  // Return in an input box presses the conversion button of its group, when it can be
  // pressed; true when the key was taken.
  bool PressGroupButton(HWND box) {
    static constexpr struct {
      const char* button;
      const char* boxes;
    } kGroups[] = {
        {"Command2", " Text5 Text6 Text7 "},
        {"Command5", " Text10 Text11 Text12 "},
        {"Command1", " Text1 Text2 Text18 Text3 Text4 Text19 "},
    };
    const std::string name = NameOf(box);
    if (name.empty()) return false;
    for (const auto& group : kGroups) {
      if (std::string_view(group.boxes).find(" " + name + " ") == std::string_view::npos) {
        continue;
      }
      const HWND button = controls_[group.button];
      if (button && ::IsWindowEnabled(button)) Click(group.button);
      return true;
    }
    return false;
  }

  // Form_Load: the start-up notice, before the window shows.
  void Form_Load() { ShowStartupNotice(platform_); }

 private:
  LRESULT Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
      case WM_CREATE:
        CreateControls();
        Relayout(true);
        return 0;
      case WM_COMMAND:
        if (HIWORD(w) == BN_CLICKED) {
          const int index = LOWORD(w) - kFirstControlId;
          if (index >= 0 && index < static_cast<int>(form_.size()) &&
              form_[static_cast<std::size_t>(index)].kind == ControlKind::kButton) {
            Click(std::string(form_[static_cast<std::size_t>(index)].name));
            return 0;
          }
        }
        break;
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORSTATIC:
        return ColourOf(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w), message);
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
  void Click(const std::string& button) {
    if (button == "Command1") {
      FocusAtFault(conversions_.Command1_Click());
    } else if (button == "Command2") {
      FocusAtFault(conversions_.Command2_Click());
    } else if (button == "Command3") {
      FocusAtFault(conversions_.Command3_Click());
    } else if (button == "Command4") {
      OpenHelp(platform_, info_.helpFileName);
    } else if (button == "Command5") {
      FocusAtFault(conversions_.Command5_Click());
    }
  }

  // After a refusal: the box at fault gets the focus, its text selected for retyping.
  void FocusAtFault(const Outcome& outcome) {
    if (outcome.status == OutcomeStatus::kDone || outcome.box.empty()) return;
    const auto it = controls_.find(outcome.box);
    if (it == controls_.end()) return;
    ::SetFocus(it->second);
    ::SendMessageW(it->second, EM_SETSEL, 0, -1);
  }

  std::string NameOf(HWND control) const {
    for (const auto& [name, hwnd] : controls_) {
      if (hwnd == control) return name;
    }
    return {};
  }

  // The window's font on every control; the area headings and the test-data mark in bold.
  void SetFonts() {
    for (const auto& [name, control] : controls_) {
      const bool strong = name == "Label17" || name == "Label18" || name == kTestDataLabel;
      ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(frame_.Font(strong)), TRUE);
    }
  }

  void CreateControls() {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    frame_.Attach(hwnd_);
    tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                              instance, nullptr);
    ::SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 600);
    // Group boxes last: the first child made is the top one, so that the boxes inside a group
    // are above it (each control clips its siblings above it).
    std::vector<std::size_t> order(form_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_partition(order.begin(), order.end(),
                          [&](std::size_t i) { return form_[i].kind != ControlKind::kGroup; });
    for (std::size_t i : order) {
      const Control& control = form_[i];
      const wchar_t* type = L"STATIC";
      DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
      DWORD extended = 0;
      switch (control.kind) {
        case ControlKind::kLabel:
          style |= SS_LEFT | SS_NOTIFY | SS_NOPREFIX;
          break;
        case ControlKind::kBox:
          type = L"EDIT";
          style |= WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL;
          extended = WS_EX_CLIENTEDGE;
          break;
        case ControlKind::kButton:
          type = L"BUTTON";
          style |= WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE;
          break;
        case ControlKind::kGroup:
          type = L"BUTTON";
          style |= BS_GROUPBOX;
          break;
        case ControlKind::kPicture:
          style |= SS_ICON | SS_CENTERIMAGE | SS_NOTIFY;
          break;
      }
      const HWND hwnd = ::CreateWindowExW(
          extended, type, WideText(control.text).c_str(), style, 0, 0, 10, 10, hwnd_,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(i))),
          instance, nullptr);
      if (control.kind == ControlKind::kPicture) {
        ::SendMessageW(hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
      }
      if (!control.enabled) ::EnableWindow(hwnd, FALSE);
      controls_[std::string(control.name)] = hwnd;
      if (!control.tip.empty()) {
        tipTexts_.push_back(WideText(control.tip));
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
        tool.lpszText = tipTexts_.back().data();
        ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
      }
    }
    frame_.MakeFonts();
    SetFonts();
  }

  // Places every control at the display's DPI, less the scrolled part; fit: sizes the window
  // to the form.
  void Relayout(bool fit) {
    frame_.LayOut(controls_, kSinglePointPlaces, kSinglePointWidth, kSinglePointHeight, fit);
  }

  LRESULT ColourOf(HWND control, HDC dc, UINT message) {
    const std::string name = NameOf(control);
    const Control* c = FindControl(form_, name);
    if (name == kDegreesNoticeLabel) ::SetTextColor(dc, kNoticeColour);
    if (name == kTestDataLabel) ::SetTextColor(dc, kWarningColour);
    // A box that shows a result or a parameter is read-only to the user but keeps its colour.
    if (c && c->kind == ControlKind::kBox) {
      const COLORREF colour =
          c->background != 0 ? ColourRef(c->background) : ::GetSysColor(COLOR_WINDOW);
      ::SetBkColor(dc, colour);
      ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(frame_.Brush(colour));
    }
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    (void)message;
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
  }

  const ProgramInfo& info_;
  Win32Platform& platform_;
  std::vector<Control> form_;
  std::map<std::string, HWND> controls_;
  WindowBoxes boxes_;
  SinglePointConversions conversions_;
  std::vector<std::wstring> tipTexts_;
  HWND hwnd_ = nullptr;
  HWND tips_ = nullptr;
  HICON icon_ = nullptr;
  FormFrame frame_;
};

}  // namespace

int RunSinglePointWin32(ProgramKind program, const RegionProfile& profile) {
  PrepareProcessForJobs();
  const HICON icon = FormFrame::RegisterWindowClass(kWindowClass, &Window::Procedure, 0);
  Win32Platform platform;
  Window window(profile, program, platform);
  const HWND hwnd = window.Create(::GetModuleHandleW(nullptr), icon);
  if (!hwnd) return 1;
  // The notice of Form_Load comes before the window is shown; later messages sit on it.
  window.Form_Load();
  platform.SetOwner(hwnd);
  ::ShowWindow(hwnd, SW_SHOWNORMAL);
  ::UpdateWindow(hwnd);
  return FormFrame::RunMessages(hwnd, [&](const MSG& message) {
    return message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
           window.PressGroupButton(message.hwnd);
  });
}

}  // namespace vortan
