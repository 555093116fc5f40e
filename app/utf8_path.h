// Paths in this code are UTF-8 strings. std::filesystem reads and writes a std::string in the
// system's narrow encoding, which on Windows is the ANSI code page, where Greek folder names are
// lost: these two cross between the two in UTF-8 on every system.
#pragma once

#include <filesystem>
#include <string>

namespace vortan {

inline std::filesystem::path PathOfUtf8(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return std::filesystem::path(utf8);
#endif
}

inline std::string Utf8OfPath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
#else
  return path.string();
#endif
}

}  // namespace vortan
