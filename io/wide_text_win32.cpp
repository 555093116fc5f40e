#include "io/wide_text_win32.h"

#include <windows.h>

#include <climits>

namespace vortan {

std::wstring WideText(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
  return wide;
}

std::string Utf8Text(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) return std::string();
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

}  // namespace vortan
