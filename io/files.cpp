#include "io/files.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "io/stop_request.h"

namespace vortan {
namespace {

// How often an output FIFO that no program reads yet is tried again, in milliseconds.
constexpr int kReaderWait = 50;

// Waits until fd is ready for events (POLLIN or POLLOUT) or a stop was requested; false and
// ECANCELED for a stop. A file on disk is always ready, so a stop is only seen here when it came
// before the call.
bool WaitReady(int fd, short events) {
  for (;;) {
    if (StopRequested()) {
      errno = ECANCELED;
      return false;
    }
    pollfd waits[2] = {{fd, events, 0}, {StopRequestDescriptor(), POLLIN, 0}};
    const int n = ::poll(waits, waits[1].fd >= 0 ? 2 : 1, -1);
    if (n < 0 && errno != EINTR) return true;  // the read or write itself says what is wrong
    if (n > 0 && waits[0].revents != 0 && !StopRequested()) return true;
  }
}

// Opens path with O_NONBLOCK, so that a FIFO is not waited for inside open(), where a stop
// signal cannot end the wait, and clears it again: the descriptor blocks as usual. A FIFO
// without a program that reads it (ENXIO, for writing) is tried again until one comes or a stop
// is requested. For reading, the wait for a program that writes comes with the first read.
int OpenWaiting(const char* path, int flags, mode_t mode = 0) {
  for (;;) {
    const int fd = ::open(path, flags | O_NONBLOCK, mode);
    if (fd >= 0) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (errno == EINTR) continue;
    if (errno != ENXIO) return -1;
    // ENXIO of a device that is not there (a serial port without its card) is an error.
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISFIFO(st.st_mode)) {
      errno = ENXIO;
      return -1;
    }
    if (StopRequested()) {
      errno = ECANCELED;
      return -1;
    }
    pollfd stop = {StopRequestDescriptor(), POLLIN, 0};
    ::poll(&stop, 1, kReaderWait);
  }
}

// Moves a descriptor that took 0, 1 or 2 (a standard stream was closed) above them, and leaves
// the standard one closed again.
int AboveStandardStreams(int fd) {
  if (fd < 0 || fd > 2) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  const int error = errno;
  ::close(fd);
  errno = error;
  return moved;
}

}  // namespace

std::string SystemReason(int error) {
  switch (error) {
    case ENOENT: return "no such file or folder";
    case EACCES: return "permission denied";
    case EISDIR: return "it is a folder";
    case ENOSPC: return "no space left on the device";
    case EFBIG: return "the file has reached the largest size allowed";
    case EROFS: return "the device is read-only";
    case EDQUOT: return "the disk quota is used up";
    case EMFILE:
    case ENFILE: return "too many files are open";
    case ENAMETOOLONG: return "the name is too long";
    case EPIPE: return "the program reading it has ended";
    case ECANCELED: return "the program was asked to stop";
    default: return std::strerror(error);
  }
}

std::string PathProblem(const std::string& path, int) {
  if (!path.empty() && path.back() == '/') {
    return "ends in /, so it names a folder, not a file; give the file's name after the /";
  }
  return "";
}

std::string PathProblemGreek(const std::string& path, int) {
  if (!path.empty() && path.back() == '/') {
    return "τελειώνει σε /, άρα ονομάζει φάκελο, όχι αρχείο· γράψτε το όνομα του αρχείου μετά "
           "την /";
  }
  return "";
}

int OpenForReading(const std::string& path) {
  return AboveStandardStreams(OpenWaiting(path.c_str(), O_RDONLY | O_CLOEXEC));
}

OpenedOutput OpenForWriting(const std::string& path) {
  OpenedOutput out;
  if (path.empty()) {
    out.error = ENOENT;
    return out;
  }
  out.fd = OpenWaiting(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (out.fd < 0 && errno == ENOENT) {
    out.fd = OpenWaiting(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out.fd >= 0) {
      out.created = true;
      out.createdPath = path;
    } else if (errno == EEXIST) {
      // A link to a file that does not exist: the file is made where the link points.
      out.fd = OpenWaiting(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
      if (out.fd >= 0) {
        out.created = true;
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) out.createdPath = resolved;
      }
    }
  }
  if (out.fd < 0) {
    out.error = errno;
    return out;
  }
  out.fd = AboveStandardStreams(out.fd);
  if (out.fd < 0) out.error = errno;
  return out;
}

void RemoveCreated(const OpenedOutput& output) {
  if (output.created && !output.createdPath.empty()) ::unlink(output.createdPath.c_str());
}

long long ReadSome(int fd, char* data, std::size_t size) {
  for (;;) {
    if (!WaitReady(fd, POLLIN)) return -1;
    const ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool WriteAll(int fd, const char* data, std::size_t size, std::size_t& written) {
  written = 0;
  while (written < size) {
    if (!WaitReady(fd, POLLOUT)) return false;
    const ssize_t n = ::write(fd, data + written, size - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<std::uint64_t> WritePosition(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_APPEND) != 0) return static_cast<std::uint64_t>(st.st_size);
  const off_t at = ::lseek(fd, 0, SEEK_CUR);
  if (at < 0) return std::nullopt;
  return static_cast<std::uint64_t>(at);
}

bool CutBack(int fd, std::uint64_t size) {
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) return false;
  return ::lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
}

bool ReadFrom(int fd, std::uint64_t offset) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const off_t at = static_cast<off_t>(offset);
  if (at < 0 || static_cast<std::uint64_t>(at) != offset) return false;
  return ::lseek(fd, at, SEEK_SET) == at;
}

bool Empty(int fd) {
  // A file that is empty already is left as it is: truncating it changes nothing, but on ext4
  // it marks the file to have its blocks allocated when it is closed (the safeguard for a file
  // rewritten through truncation), so that closing a new output would start writing all of it
  // out in the job's own time.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
    return ::lseek(fd, 0, SEEK_SET) >= 0;
  }
  return CutBack(fd, 0);
}

bool ReserveSpace(int fd, std::uint64_t from, std::uint64_t size) {
#if defined(__linux__) && defined(FALLOC_FL_KEEP_SIZE)
  int result;
  do {
    result = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(from),
                         static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  return result == 0;
#else
  (void)fd;
  (void)from;
  (void)size;
  return false;
#endif
}

bool ReleaseReserved(int fd, std::uint64_t size) {
  // Cutting a file to its own size frees the blocks reserved past its end.
  int result;
  do {
    result = ::ftruncate(fd, static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

std::optional<std::uint64_t> RegularFileSize(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool IsFolder(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

bool CloseFile(int fd) { return ::close(fd) == 0; }

namespace {

// The process that holds the flock() write lock on the file of fd, from /proc/locks (Linux);
// 0 when it cannot be told. A file system that shows the file under another device number
// there (btrfs) is matched by its file number alone when one lock has that number.
long FlockHolder(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return 0;
  std::ifstream locks("/proc/locks");
  std::string line;
  long exact = 0, byNumber = 0;
  int numbered = 0;
  while (std::getline(locks, line)) {
    char kind[16], type[16];
    long pid = 0;
    unsigned devMajor = 0, devMinor = 0;
    unsigned long long file = 0;
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:131 0 EOF"; a waiter's line has "->" after "1:".
    if (line.find("->") != std::string::npos) continue;
    if (std::sscanf(line.c_str(), "%*[^:]: %15s %*s %15s %ld %x:%x:%llu", kind, type, &pid,
                    &devMajor, &devMinor, &file) != 6) {
      continue;
    }
    if (std::strcmp(kind, "FLOCK") != 0 || std::strcmp(type, "WRITE") != 0 ||
        file != static_cast<unsigned long long>(st.st_ino) || pid <= 0) {
      continue;
    }
    if (devMajor == major(st.st_dev) && devMinor == minor(st.st_dev)) exact = pid;
    byNumber = pid;
    ++numbered;
  }
  if (exact != 0) return exact;
  return numbered == 1 ? byNumber : 0;
}

}  // namespace

WriterLock LockForWriting(int fd, long& holder) {
  holder = 0;
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return WriterLock::kTaken;
  if (errno != EWOULDBLOCK) return WriterLock::kUnsupported;  // ENOLCK, EOPNOTSUPP, EINVAL
  holder = FlockHolder(fd);
  return WriterLock::kHeld;
}

void UnlockWriting(int fd) { ::flock(fd, LOCK_UN); }

}  // namespace vortan
