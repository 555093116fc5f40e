// The exit statuses of vortan-transform.
#pragma once

namespace vortan::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOutsideGrid = 3;
// A job stopped by a signal ends with the status a shell reports for that signal: 128 and its
// number (130 for Ctrl+C, 143 for SIGTERM, 129 for SIGHUP).
inline constexpr int kExitInterrupted = 130;

}  // namespace vortan::cli
