// Files on Windows: the descriptors of the C runtime over handles that this file opens with
// CreateFileW (UTF-16 names, never text mode) and reads and writes with ReadFile and WriteFile,
// so that no byte is translated and every error is told by its Windows code.
#include <windows.h>
#include <winternl.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

#include "io/files.h"
#include "io/wide_text_win32.h"

namespace vortan {
namespace {

// The largest piece handed to one ReadFile or WriteFile call.
constexpr std::size_t kLargestPiece = 1u << 30;

// Others may read, write, rename and remove a file this code has open, as on POSIX systems: a
// file made for an output that is refused is removed while another output still holds it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The errno that stands for a Windows error code here; SystemReason words it.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_NETWORK_ACCESS_DENIED: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return ETXTBSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: return EINVAL;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
  }
}

// errno set from the last Windows error; false, for the caller to return.
bool Failed() {
  errno = ErrnoOf(::GetLastError());
  return false;
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

bool IsFolderPath(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A descriptor of the C runtime for a handle (which it then owns), kept above 0, 1 and 2 so
// that a closed standard stream cannot become a file of the job; -1 and errno on failure.
int DescriptorOf(HANDLE handle, int flags) {
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    ::CloseHandle(handle);
    errno = EMFILE;
    return -1;
  }
  int held[3];
  int count = 0;
  while (fd >= 0 && fd <= 2 && count < 3) {
    held[count++] = fd;
    fd = ::_dup(fd);
  }
  const int error = errno;
  for (int i = 0; i < count; ++i) ::_close(held[i]);
  errno = error;
  return fd;
}

// Whether a handle may only append (FILE_APPEND_DATA without FILE_WRITE_DATA), as standard
// output is when a shell opens it with >>: every write then goes to the end of the file.
bool AppendsOnly(HANDLE handle) {
  PUBLIC_OBJECT_BASIC_INFORMATION info{};
  if (!NT_SUCCESS(::NtQueryObject(handle, ObjectBasicInformation, &info, sizeof info, nullptr))) {
    return false;
  }
  return (info.GrantedAccess & FILE_APPEND_DATA) != 0 &&
         (info.GrantedAccess & FILE_WRITE_DATA) == 0;
}

// A file on disk that is not a folder: its information.
bool RegularFileInformation(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
  if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK) return false;
  return ::GetFileInformationByHandle(handle, &info) != 0 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

std::string SystemReason(int error) {
  switch (error) {
    case ENOENT: return "no such file or folder";
    case EACCES: return "permission denied";
    case EISDIR: return "it is a folder";
    case ETXTBSY: return "it is open in another program; close it there";
    case ENOSPC: return "no space left on the device";
    case EROFS: return "the device is read-only";
    case EMFILE:
    case ENFILE: return "too many files are open";
    case ENAMETOOLONG: return "the name is too long";
    case EINVAL: return "the name is not valid on Windows (no : * ? \" < > | in a file name)";
    case EPIPE: return "the program reading it has ended";
    default: return std::strerror(error);
  }
}

std::string PathProblem(const std::string& path, int) {
  // "C:\My Data\" on the command line: the backslash before the closing quote keeps the
  // quote in the name.
  if (!path.empty() && path.back() == '"') {
    return "ends in a double quote: on the command line a backslash before a closing quote "
           "(\"outdir\\\") keeps the quote in the name; leave out that backslash, or write it "
           "twice (\"outdir\\\\\")";
  }
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) {
    return std::string("ends in ") + path.back() +
           ", so it names a folder, not a file; give the file's name after it";
  }
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     std::isalpha(static_cast<unsigned char>(path[0]));
  if (drive) {
    const wchar_t root[] = {static_cast<wchar_t>(path[0]), L':', L'\\', 0};
    if (::GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) {
      return std::string("names the drive ") + path.substr(0, 2) +
             ", which does not exist on this computer; choose a folder on a drive that exists";
    }
  }
  if (ColonInNameOf(path)) {
    return "holds a colon (:), which a Windows file name may not hold: on NTFS \"name:x\" is a "
           "hidden stream inside the file name, not a file (a colon stands only after a drive "
           "letter, as in C:\\); remove it from the name";
  }
  return "";
}

std::string PathProblemGreek(const std::string& path, int error) {
  if (PathProblem(path, error).empty()) return "";
  if (path.back() == '"') {
    return "τελειώνει σε εισαγωγικό: στη γραμμή εντολών μια \\ πριν από το εισαγωγικό που "
           "κλείνει (\"outdir\\\") κρατά το εισαγωγικό στο όνομα· παραλείψτε αυτή την \\ ή "
           "γράψτε τη δύο φορές (\"outdir\\\\\")";
  }
  if (path.back() == '\\' || path.back() == '/') {
    return std::string("τελειώνει σε ") + path.back() +
           ", άρα ονομάζει φάκελο, όχι αρχείο· γράψτε το όνομα του αρχείου μετά";
  }
  if (path.size() >= 2 && path[1] == ':' && !ColonInNameOf(path)) {
    return "ονομάζει τον δίσκο " + path.substr(0, 2) +
           ", που δεν υπάρχει σε αυτόν τον υπολογιστή· διαλέξτε φάκελο σε δίσκο που υπάρχει";
  }
  return "περιέχει άνω και κάτω τελεία (:), που δεν επιτρέπεται σε όνομα αρχείου των Windows: "
         "στο NTFS το \"όνομα:x\" είναι κρυφή ροή μέσα στο αρχείο όνομα, όχι αρχείο (η άνω και "
         "κάτω τελεία μπαίνει μόνο μετά το γράμμα του δίσκου, όπως C:\\)· αφαιρέστε την από το "
         "όνομα";
}

int OpenForReading(const std::string& path) {
  // A stream of a file is not opened as a file (PathProblem says why).
  if (ColonInNameOf(path)) {
    errno = EINVAL;
    return -1;
  }
  const std::wstring name = WideText(path);
  // A folder opens too (with backup semantics), so that the caller can say it is a folder.
  const DWORD flags = IsFolderPath(name) ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
  const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr,
                                      OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    Failed();
    return -1;
  }
  return DescriptorOf(handle, _O_RDONLY);
}

OpenedOutput OpenForWriting(const std::string& path) {
  OpenedOutput out;
  if (path.empty()) {
    out.error = ENOENT;
    return out;
  }
  if (ColonInNameOf(path)) {
    out.error = EINVAL;
    return out;
  }
  const std::wstring name = WideText(path);
  const auto open = [&](DWORD disposition) {
    return ::CreateFileW(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE handle = open(OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
    handle = open(CREATE_NEW);
    if (handle != INVALID_HANDLE_VALUE) {
      out.created = true;
      out.createdPath = path;
    }
  }
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    out.error = error == ERROR_ACCESS_DENIED && IsFolderPath(name) ? EISDIR : ErrnoOf(error);
    return out;
  }
  out.fd = DescriptorOf(handle, 0);
  if (out.fd < 0) {
    out.error = errno;
    RemoveCreated(out);
  }
  return out;
}

void RemoveCreated(const OpenedOutput& output) {
  if (output.created && !output.createdPath.empty()) {
    ::DeleteFileW(WideText(output.createdPath).c_str());
  }
}

long long ReadSome(int fd, char* data, std::size_t size) {
  const HANDLE handle = HandleOf(fd);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  DWORD n = 0;
  if (!::ReadFile(handle, data, static_cast<DWORD>(std::min(size, kLargestPiece)), &n,
                  nullptr)) {
    const DWORD error = ::GetLastError();
    // The writing end of a pipe was closed: the end of the input.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    errno = ErrnoOf(error);
    return -1;
  }
  // Typed at the console, Ctrl+Z at the start of a line ends the input.
  DWORD mode = 0;
  if (n > 0 && data[0] == '\x1A' && ::GetConsoleMode(handle, &mode)) return 0;
  return n;
}

bool WriteAll(int fd, const char* data, std::size_t size, std::size_t& written) {
  written = 0;
  const HANDLE handle = HandleOf(fd);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return false;
  }
  while (written < size) {
    DWORD n = 0;
    const DWORD piece = static_cast<DWORD>(std::min(size - written, kLargestPiece));
    if (!::WriteFile(handle, data + written, piece, &n, nullptr)) return Failed();
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    written += n;
  }
  return true;
}

std::optional<std::uint64_t> WritePosition(int fd) {
  const HANDLE handle = HandleOf(fd);
  BY_HANDLE_FILE_INFORMATION info;
  if (!RegularFileInformation(handle, info)) return std::nullopt;
  if (AppendsOnly(handle)) {
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  }
  LARGE_INTEGER at{};
  if (!::SetFilePointerEx(handle, LARGE_INTEGER{}, &at, FILE_CURRENT)) return std::nullopt;
  return static_cast<std::uint64_t>(at.QuadPart);
}

bool CutBack(int fd, std::uint64_t size) {
  const HANDLE handle = HandleOf(fd);
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle)) {
    return Failed();
  }
  return true;
}

bool Empty(int fd) { return CutBack(fd, 0); }

bool ReadFrom(int fd, std::uint64_t offset) {
  const HANDLE handle = HandleOf(fd);
  BY_HANDLE_FILE_INFORMATION info;
  if (!RegularFileInformation(handle, info) || offset > static_cast<std::uint64_t>(INT64_MAX)) {
    return false;
  }
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) != 0;
}

// NTFS finds the clusters of a growing file well on its own: nothing is reserved.
bool ReserveSpace(int, std::uint64_t, std::uint64_t) { return false; }

bool ReleaseReserved(int, std::uint64_t) { return true; }

std::optional<std::uint64_t> RegularFileSize(int fd) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!RegularFileInformation(HandleOf(fd), info)) return std::nullopt;
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

bool IsFolder(int fd) {
  const HANDLE handle = HandleOf(fd);
  BY_HANDLE_FILE_INFORMATION info;
  return handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_DISK &&
         ::GetFileInformationByHandle(handle, &info) != 0 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CloseFile(int fd) { return ::_close(fd) == 0; }

namespace {

// The byte that the writer of a file locks: far past any end of file, so that the lock keeps
// other writers out without stopping anyone from reading or writing the file's bytes.
constexpr DWORD kLockedByteHigh = 0x7FFFFFFF;
constexpr DWORD kLockedByteLow = 0xFFFFFFFE;

}  // namespace

WriterLock LockForWriting(int fd, long& holder) {
  holder = 0;  // Windows does not tell who holds a lock
  const HANDLE handle = HandleOf(fd);
  OVERLAPPED at{};
  at.Offset = kLockedByteLow;
  at.OffsetHigh = kLockedByteHigh;
  if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    return WriterLock::kTaken;
  }
  return ::GetLastError() == ERROR_LOCK_VIOLATION ? WriterLock::kHeld : WriterLock::kUnsupported;
}

void UnlockWriting(int fd) {
  OVERLAPPED at{};
  at.Offset = kLockedByteLow;
  at.OffsetHigh = kLockedByteHigh;
  ::UnlockFileEx(HandleOf(fd), 0, 1, 0, &at);
}

}  // namespace vortan
