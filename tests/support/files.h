// Whole files as bytes: what a test writes as input and reads back as output.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace vortan::support {

// The bytes of a file; "" for one that cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the bytes as they are (no line-end translation), replacing the file.
inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::filesystem::path& path) { return std::filesystem::exists(path); }

// The names of the two correction grids, as the programs look for them.
inline constexpr const char* kGridFileNames[] = {"dN_2km_V1-0.grd", "dE_2km_V1-0.grd"};

}  // namespace vortan::support
