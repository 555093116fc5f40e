#include "data_files/record_text.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#include "io/files.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace vortan {
namespace {

// A file that lives as long as the object and has a path the job frame can open: on Linux an
// anonymous memory file named through /proc/self/fd (nothing on disk), elsewhere a new file in
// the temporary folder, removed again.
class ScratchFile {
 public:
  explicit ScratchFile(const char* name) {
#if defined(__linux__)
    fd_ = ::memfd_create(name, MFD_CLOEXEC);
    if (fd_ >= 0) {
      path_ = "/proc/self/fd/" + std::to_string(fd_);
      if (::access(path_.c_str(), R_OK | W_OK) == 0) return;
      ::close(fd_);  // no /proc: a file in the temporary folder below
      fd_ = -1;
    }
#endif
    MakeTemporary(name);
  }
  ~ScratchFile() {
#if !defined(_WIN32)
    if (fd_ >= 0) ::close(fd_);
#endif
    if (!temporary_.empty()) {
      std::error_code ignored;
      std::filesystem::remove(temporary_, ignored);
    }
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return path_; }

  void Write(std::string_view text) {
    const OpenedOutput out = OpenForWriting(path_);
    if (out.fd < 0) Fail("cannot be written", out.error);
    std::size_t written = 0;
    const bool ok = WriteAll(out.fd, text.data(), text.size(), written);
    const int error = errno;
    CloseFile(out.fd);
    if (!ok) Fail("cannot be written", error);
  }

  std::string Read() const {
    const int fd = OpenForReading(path_);
    if (fd < 0) Fail("cannot be read back", errno);
    std::string text;
    char buffer[1 << 16];
    for (;;) {
      const long long n = ReadSome(fd, buffer, sizeof buffer);
      if (n < 0) {
        const int error = errno;
        CloseFile(fd);
        Fail("cannot be read back", error);
      }
      if (n == 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    CloseFile(fd);
    return text;
  }

 private:
  void MakeTemporary(const char* name) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::filesystem::path candidate =
          folder / ("vortan-" + std::string(name) + "-" + std::to_string(random()) + "-" +
                    std::to_string(counter++) + ".txt");
      std::error_code error;
      if (std::filesystem::exists(candidate, error) || error) continue;
      const OpenedOutput out = OpenForWriting(candidate.string());
      if (out.fd < 0) continue;
      CloseFile(out.fd);
      if (!out.created) continue;  // someone else's file appeared meanwhile: leave it alone
      temporary_ = candidate;
      path_ = candidate.string();
      return;
    }
    Fail("cannot be created in the temporary folder", EEXIST);
  }
  [[noreturn]] void Fail(const std::string& what, int error) const {
    throw std::system_error(error, std::generic_category(),
                            "a scratch file of the record text " + what + " (" +
                                SystemReason(error) + ")");
  }

  int fd_ = -1;
  std::string path_;
  std::filesystem::path temporary_;
};

}  // namespace

RecordTextResult ConvertRecordText(const Conversion& conversion, std::string_view text,
                                   const JobOptions& options, const std::string& inputName,
                                   const std::string& outputName) {
  ScratchFile input("input");
  ScratchFile output("output");
  input.Write(text);
  RecordTextResult result;
  result.outcome = RunConversion(conversion, input.path(), output.path(), options);
  result.text = output.Read();
  // The messages name the texts, not the scratch files.
  JobOutcome& outcome = result.outcome;
  if (outcome.file == FileDisplayName(input.path(), true)) {
    outcome.file = inputName;
  } else if (outcome.file == FileDisplayName(output.path(), false)) {
    outcome.file = outputName;
  }
  for (std::string& name : outcome.outputs) name = outputName;
  return result;
}

std::vector<std::string_view> SplitWrittenLines(std::string_view text) {
  std::vector<std::string_view> lines;
  bool quoted = false;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      quoted = !quoted;  // an inner quote is doubled: two turns
    } else if (!quoted && text[i] == '\n' && i > 0 && text[i - 1] == '\r') {
      lines.push_back(text.substr(begin, i + 1 - begin));
      begin = i + 1;
    }
  }
  if (begin < text.size()) lines.push_back(text.substr(begin));
  return lines;
}

}  // namespace vortan
