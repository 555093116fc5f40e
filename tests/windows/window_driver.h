// What the window tests use to drive a Win32 program of this project as a user does: its
// controls' texts read across processes, its top-level windows (the program's window, its
// message boxes and file dialogs) found and waited for, a message box read and closed with OK.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "io/wide_text_win32.h"

namespace vortan::windowtest {

using namespace std::chrono_literals;

// The folder of the test program, where the build puts the programs and the synthetic grids.
inline std::filesystem::path TestProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).parent_path();
}

// A text as a Win32 control or message box shows it: line breaks as CR LF.
inline std::string Shown(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' && (out.empty() || out.back() != '\r')) out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// The text of a control of another process: asked with WM_GETTEXT (GetWindowText reads an
// edit box of another process as empty).
inline std::string TextOf(HWND hwnd) {
  const LRESULT length = ::SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT n = ::SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
  return Utf8Text(text);
}

// A visible top-level window of the process and of that class, or null.
inline HWND TopWindow(DWORD process, const wchar_t* type) {
  struct Found {
    DWORD process;
    const wchar_t* type;
    HWND hwnd;
  } found{process, type, nullptr};
  ::EnumWindows(
      [](HWND hwnd, LPARAM l) -> BOOL {
        auto* f = reinterpret_cast<Found*>(l);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        wchar_t name[64] = {};
        ::GetClassNameW(hwnd, name, 64);
        if (pid == f->process && ::IsWindowVisible(hwnd) && std::wstring(name) == f->type) {
          f->hwnd = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

inline HWND WaitFor(DWORD process, const wchar_t* type, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (HWND hwnd = TopWindow(process, type)) return hwnd;
    if (std::chrono::steady_clock::now() > end) return nullptr;
    std::this_thread::sleep_for(50ms);
  }
}

inline void WaitGone(HWND hwnd) {
  for (int i = 0; i < 500 && ::IsWindow(hwnd); ++i) std::this_thread::sleep_for(20ms);
}

// The title and text of a message box, "title|text", and the box closed with OK.
inline std::string CloseMessageBox(HWND box) {
  std::string text;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (::GetDlgCtrlID(child) == 0xFFFF) text = TextOf(child);  // the box's static text
  }
  const std::string shown = TextOf(box) + "|" + text;
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  WaitGone(box);
  return shown;
}

}  // namespace vortan::windowtest
