// Which file a path or a descriptor is, on Windows: the volume serial number and the file index
// of GetFileInformationByHandle for a file on disk (so that case, "." and "..", short names,
// slashes and backslashes make no other file), and a fixed identity per kind of device.
#include <windows.h>

#include <io.h>

#include "io/file_identity.h"
#include "io/wide_text_win32.h"

namespace vortan {
namespace {

// Devices get identities that no volume serial number (32 bits) can have.
constexpr std::uint64_t kConsole = 1ull << 32;
constexpr std::uint64_t kNullDevice = (1ull << 32) + 1;
constexpr std::uint64_t kPipe = (1ull << 32) + 2;

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return std::nullopt;
  FileIdentity id;
  switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK: {
      BY_HANDLE_FILE_INFORMATION info;
      if (!::GetFileInformationByHandle(handle, &info)) return std::nullopt;
      id.device = info.dwVolumeSerialNumber;
      id.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
      id.regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
      return id;
    }
    case FILE_TYPE_CHAR: {
      // The console, or NUL (and the rare serial or printer port, taken like NUL).
      DWORD mode = 0;
      const bool console = ::GetConsoleMode(handle, &mode) != 0;
      id.device = console ? kConsole : kNullDevice;
      id.characterDevice = true;
      id.nullDevice = !console;
      return id;
    }
    case FILE_TYPE_PIPE:
      // A pipe is known by its handle: standard input and output are two ends, never one.
      id.device = kPipe;
      id.file = reinterpret_cast<std::uintptr_t>(handle);
      return id;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const HANDLE handle =
      ::CreateFileW(WideText(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::optional<FileIdentity> id = IdentityOfHandle(handle);
  ::CloseHandle(handle);
  return id;
}

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
  return IdentityOfHandle(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
}

bool SameFile(const std::string& a, const std::string& b) {
  const std::optional<FileIdentity> ia = IdentityOfPath(a);
  const std::optional<FileIdentity> ib = IdentityOfPath(b);
  return ia && ib && *ia == *ib;
}

}  // namespace vortan
