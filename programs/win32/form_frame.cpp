#include "programs/win32/form_frame.h"

#include <commctrl.h>

#include <algorithm>

#include "programs/win32/win32_program.h"

namespace vortan {

FormFrame::~FormFrame() {
  for (HFONT font : {font_, bold_}) {
    if (font) ::DeleteObject(font);
  }
  for (auto& [colour, brush] : brushes_) ::DeleteObject(brush);
}

void FormFrame::Attach(HWND window) {
  hwnd_ = window;
  dpi_ = ::GetDpiForWindow(window);
  if (dpi_ == 0) dpi_ = 96;
}

void FormFrame::SetDpi(UINT dpi) {
  dpi_ = dpi;
  MakeFonts();
}

void FormFrame::MakeFonts() {
  for (HFONT* font : {&font_, &bold_}) {
    if (*font) ::DeleteObject(*font);
    *font = nullptr;
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                    dpi_)) {
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    metrics.lfMessageFont.lfHeight =
        ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi_), 96);
  }
  font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
  LOGFONTW bold = metrics.lfMessageFont;
  bold.lfWeight = FW_BOLD;
  bold_ = ::CreateFontIndirectW(&bold);
  // The dialog base units of the font: its average character width and its height.
  const HDC dc = ::GetDC(hwnd_);
  const HGDIOBJ old = ::SelectObject(dc, font_);
  TEXTMETRICW text{};
  ::GetTextMetricsW(dc, &text);
  SIZE size{};
  static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  ::GetTextExtentPoint32W(dc, kAlphabet, 52, &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd_, dc);
  baseX_ = std::max(1L, (size.cx / 26 + 1) / 2);
  baseY_ = std::max(1L, text.tmHeight);
}

int FormFrame::Pixels(int units, bool across) const {
  return ::MulDiv(units, across ? baseX_ : baseY_, across ? 4 : 8);
}

void FormFrame::Fit(int width, int height) {
  RECT frame = {0, 0, Pixels(width, true), Pixels(height, false)};
  ::AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0, dpi_);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const int w = std::min<int>(frame.right - frame.left, work.right - work.left);
  const int h = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
  ::SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
                 work.top + (work.bottom - work.top - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormFrame::SetScrollRanges(int width, int height) {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  for (int bar : {SB_HORZ, SB_VERT}) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = (bar == SB_HORZ ? Pixels(width, true) : Pixels(height, false)) - 1;
    info.nPage = static_cast<UINT>(bar == SB_HORZ ? client.right : client.bottom);
    ::SetScrollInfo(hwnd_, bar, &info, TRUE);
  }
}

int FormFrame::ScrollPosition(int bar) const {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  ::GetScrollInfo(hwnd_, bar, &info);
  return info.nPos;
}

bool FormFrame::Scroll(int bar, int request) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  ::GetScrollInfo(hwnd_, bar, &info);
  int position = info.nPos;
  const int line = Pixels(12, bar == SB_HORZ);
  switch (request) {
    case SB_LINEUP: position -= line; break;
    case SB_LINEDOWN: position += line; break;
    case SB_PAGEUP: position -= static_cast<int>(info.nPage); break;
    case SB_PAGEDOWN: position += static_cast<int>(info.nPage); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = info.nTrackPos; break;
    case SB_TOP: position = info.nMin; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return false;
  }
  return ScrollBy(bar, position - info.nPos);
}

bool FormFrame::ScrollBy(int bar, int delta) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  info.nPos = ScrollPosition(bar) + delta;
  ::SetScrollInfo(hwnd_, bar, &info, TRUE);
  return true;
}

HBRUSH FormFrame::Brush(COLORREF colour) {
  auto [it, made] = brushes_.try_emplace(colour, nullptr);
  if (made) it->second = ::CreateSolidBrush(colour);
  return it->second;
}

bool FormFrame::Handle(UINT message, WPARAM w, LPARAM l,
                       const std::function<void(bool)>& relayout,
                       const std::function<void()>& setFonts) {
  switch (message) {
    case WM_SIZE:
      relayout(false);
      return true;
    case WM_VSCROLL:
    case WM_HSCROLL:
      if (l != 0) return false;  // a scroll-bar control's (a spin), not the window's
      if (Scroll(message == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(w))) relayout(false);
      return true;
    case WM_MOUSEWHEEL:
      ScrollBy(SB_VERT, -GET_WHEEL_DELTA_WPARAM(w) * Pixels(24, false) / WHEEL_DELTA);
      relayout(false);
      return true;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(l);
      SetDpi(HIWORD(w));
      setFonts();
      ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      relayout(false);
      return true;
    }
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = {200, 150};
      return true;
    default:
      return false;
  }
}

HICON FormFrame::RegisterWindowClass(const wchar_t* name, WNDPROC procedure, DWORD controls) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | controls};
  ::InitCommonControlsEx(&common);
  const HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  type.lpfnWndProc = procedure;
  type.hInstance = instance;
  type.hIcon = icon;
  type.hIconSm = icon;
  type.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  type.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  type.lpszClassName = name;
  ::RegisterClassExW(&type);
  return icon;
}

int FormFrame::RunMessages(HWND window, const std::function<bool(const MSG&)>& take) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (take && take(message)) continue;
    if (::IsDialogMessageW(window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

const Place* FormFrame::Find(std::span<const Place> places, std::string_view name) {
  for (const Place& place : places) {
    if (place.name == name) return &place;
  }
  return nullptr;
}

}  // namespace vortan
