#include "io/stop_request.h"

#include <atomic>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vortan {
namespace {

std::atomic<bool> requested{false};
// The pipe whose reading end a request makes readable for good (nothing ever reads it).
std::atomic<int> readEnd{-1};
std::atomic<int> writeEnd{-1};

}  // namespace

void PrepareStopRequests() {
#if !defined(_WIN32)
  if (readEnd.load() >= 0) return;
  int ends[2];
  if (::pipe(ends) != 0) return;
  for (int& fd : ends) {
    // Above 0, 1 and 2: a standard stream that was closed at start stays closed, and is never
    // this pipe.
    const int above = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    fd = above;
  }
  if (ends[0] < 0 || ends[1] < 0) {
    for (int fd : ends) {
      if (fd >= 0) ::close(fd);
    }
    return;
  }
  for (int fd : ends) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  writeEnd.store(ends[1]);
  readEnd.store(ends[0]);
#endif
}

void RequestStop() {
  requested.store(true);
#if !defined(_WIN32)
  const int fd = writeEnd.load();
  if (fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);  // a full pipe is readable already
  }
#endif
}

bool StopRequested() { return requested.load(); }

int StopRequestDescriptor() { return readEnd.load(); }

}  // namespace vortan
