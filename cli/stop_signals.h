// Ctrl+C, SIGTERM (timeout, a scheduler, a shutdown) and SIGHUP (the terminal closed): the job
// stops after the point it computes, leaving complete lines, the same number in every output; a
// dataset is not written. A job that waits for a pipe, a FIFO or a terminal (its input, an
// output no program reads yet) stops at once.
#pragma once

#include <atomic>

namespace vortan::cli {

// Set when a stop signal came.
extern std::atomic<bool> interrupted;
// The signal that stopped the job first (0: none, or Ctrl+C on Windows).
extern std::atomic<int> stopSignal;

// Catches the stop signals (a signal ignored when the tool started stays ignored); a second one
// (not the first sent again at once, as timeout sends it to the tool and to its process group)
// ends the program at once.
void CatchStopSignals();

// What stopped the job, as the messages say it, and its exit status.
struct StopCause {
  const char* words;
  int status;
};
StopCause CauseOfStop();

}  // namespace vortan::cli
