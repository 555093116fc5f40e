// The progress line on standard error when it is a terminal, redrawn at most twice a second:
// a record job's points, the share of its input read and points a second; a dataset's features
// (of how many, where the driver knows) and points a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "data_files/jobs.h"
#include "gis/dataset.h"

namespace vortan::cli {

class ProgressLine {
 public:
  // Shown unless quiet, and only on a terminal.
  explicit ProgressLine(bool quiet);
  bool shown() const { return show_; }
  void Show(const JobProgress& p);
  void Show(const gis::DatasetProgress& p);
  // Clears the line before the outcome is said.
  void Clear();

 private:
  // Points a second so far when the line is due to be redrawn; nothing otherwise.
  std::optional<double> Due(std::uint64_t points);

  bool show_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace vortan::cli
