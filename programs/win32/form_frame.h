// What the Win32 windows share beside their controls: the message font at the display's DPI and
// its dialog base units, the controls placed from a layout table in dialog units, scrolling
// where the screen is smaller than the form, and the brushes of the boxes' colours.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <span>
#include <string_view>

namespace vortan {

// Where a control sits, in dialog units: a quarter of the font's average character width
// across, an eighth of its height down.
struct Place {
  std::string_view name;
  int x, y, width, height;
};

class FormFrame {
 public:
  FormFrame() = default;
  FormFrame(const FormFrame&) = delete;
  FormFrame& operator=(const FormFrame&) = delete;
  ~FormFrame();

  // The window whose controls are placed; its DPI is read from it.
  void Attach(HWND window);
  // WM_DPICHANGED: the new DPI; the fonts are made again.
  void SetDpi(UINT dpi);
  UINT dpi() const { return dpi_; }

  // The message font at the window's DPI and its bold face, and the base units from it.
  void MakeFonts();
  HFONT Font(bool bold) const { return bold ? bold_ : font_; }
  int Pixels(int units, bool across) const;

  // Places each control of controls (name -> HWND) that places names, less the scrolled part,
  // and hides the others; fit: sizes the window to the form first, within the work area of
  // its monitor. width, height: the form's size in dialog units.
  template <typename Controls>
  void LayOut(const Controls& controls, std::span<const Place> places, int width, int height,
              bool fit);

  // A request of a scroll bar (SB_LINEUP, SB_THUMBTRACK, …) or the mouse wheel; the controls
  // are to be laid out again when it returns true.
  bool Scroll(int bar, int request);
  bool ScrollBy(int bar, int delta);

  HBRUSH Brush(COLORREF colour);

  // The messages of the frame, the same in every window: a new size, the scroll bars and the
  // wheel, a new DPI, the smallest size. relayout(fit) lays the controls out again, setFonts
  // gives them the new fonts. True when the message was one of them.
  bool Handle(UINT message, WPARAM w, LPARAM l, const std::function<void(bool)>& relayout,
              const std::function<void()>& setFonts);

  // Registers a window class of this program's (its icon, the dialog background) after the
  // common controls of the classes asked (ICC_…); the icon.
  static HICON RegisterWindowClass(const wchar_t* name, WNDPROC procedure, DWORD controls);
  // The messages of the thread until the window ends, Tab and the like for its controls; take
  // sees each message first and keeps it when it returns true. The exit code.
  static int RunMessages(HWND window, const std::function<bool(const MSG&)>& take);

 private:
  void Fit(int width, int height);
  void SetScrollRanges(int width, int height);
  int ScrollPosition(int bar) const;
  static const Place* Find(std::span<const Place> places, std::string_view name);

  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  HFONT bold_ = nullptr;
  LONG baseX_ = 6, baseY_ = 13;
  std::map<COLORREF, HBRUSH> brushes_;
};

template <typename Controls>
void FormFrame::LayOut(const Controls& controls, std::span<const Place> places, int width,
                       int height, bool fit) {
  if (fit) Fit(width, height);
  SetScrollRanges(width, height);
  const int dx = ScrollPosition(SB_HORZ), dy = ScrollPosition(SB_VERT);
  HDWP moves = ::BeginDeferWindowPos(static_cast<int>(controls.size()));
  for (const auto& [name, control] : controls) {
    const Place* place = Find(places, name);
    if (!place) {  // a control the layout does not place is not shown
      ::ShowWindow(control, SW_HIDE);
      continue;
    }
    moves = ::DeferWindowPos(moves, control, nullptr, Pixels(place->x, true) - dx,
                             Pixels(place->y, false) - dy, Pixels(place->width, true),
                             Pixels(place->height, false), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::EndDeferWindowPos(moves);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

}  // namespace vortan
