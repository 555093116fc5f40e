#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

namespace vortan::cli {

ProgressLine::ProgressLine(bool quiet)
    : show_(!quiet && ::isatty(STDERR_FILENO) != 0), start_(std::chrono::steady_clock::now()) {}

std::optional<double> ProgressLine::Due(std::uint64_t points) {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < std::chrono::milliseconds(500)) return std::nullopt;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  return seconds > 0 ? static_cast<double>(points) / seconds : 0;
}

void ProgressLine::Show(const JobProgress& p) {
  const std::optional<double> rate = Due(p.pointsDone);
  if (!rate) return;
  if (p.bytesTotal > 0) {
    std::fprintf(stderr, "\r%llu points, %.0f%% of the input read, %.0f points/s",
                 static_cast<unsigned long long>(p.pointsDone),
                 100.0 * static_cast<double>(p.bytesRead) / static_cast<double>(p.bytesTotal),
                 *rate);
  } else {
    std::fprintf(stderr, "\r%llu points, %.0f points/s",
                 static_cast<unsigned long long>(p.pointsDone), *rate);
  }
  std::fflush(stderr);  // buffered on a Windows console
}

void ProgressLine::Show(const gis::DatasetProgress& p) {
  const std::optional<double> rate = Due(p.pointsDone);
  if (!rate) return;
  if (p.featuresTotal >= 0) {
    std::fprintf(stderr, "\r%llu of %lld features, %.0f points/s",
                 static_cast<unsigned long long>(p.featuresDone),
                 static_cast<long long>(p.featuresTotal), *rate);
  } else {
    std::fprintf(stderr, "\r%llu features, %.0f points/s",
                 static_cast<unsigned long long>(p.featuresDone), *rate);
  }
  std::fflush(stderr);
}

void ProgressLine::Clear() {
  if (show_) std::fprintf(stderr, "\r\033[K");
}

}  // namespace vortan::cli
