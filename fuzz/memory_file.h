// Fuzz inputs and outputs as anonymous in-memory files, reachable by a path like any file, so
// that the code under test opens, reads and writes them through its usual file calls.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vortan::fuzz {

class MemoryFile {
 public:
  explicit MemoryFile(const char* name = "fuzz") : fd_(::memfd_create(name, 0)) {
    if (fd_ < 0) std::abort();
  }
  MemoryFile(const std::uint8_t* data, std::size_t size, const char* name = "fuzz")
      : MemoryFile(name) {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  // The whole content as it is now.
  std::string Content() const {
    std::string text;
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
      const ssize_t n = ::pread(fd_, buffer, sizeof buffer, offset);
      if (n < 0) std::abort();
      if (n == 0) return text;
      text.append(buffer, static_cast<std::size_t>(n));
      offset += n;
    }
  }

 private:
  int fd_;
};

// Stops the run with a message: libFuzzer then saves the input that broke the invariant.
[[noreturn]] inline void Broken(const std::string& what) {
  std::fprintf(stderr, "INVARIANT BROKEN: %s\n", what.c_str());
  std::abort();
}

}  // namespace vortan::fuzz
