#include "cli/stop_signals.h"

#include <signal.h>

#include "cli/exit_status.h"

namespace vortan::cli {

std::atomic<bool> interrupted{false};
std::atomic<int> stopSignal{0};

namespace {

extern "C" void OnStopSignal(int signo) {
  int none = 0;
  stopSignal.compare_exchange_strong(none, signo);
  interrupted.store(true);
  ::signal(signo, SIG_DFL);  // a second one ends the program at once
}

}  // namespace

void CatchStopSignals() {
#if defined(_WIN32)
  // Ctrl+C and Ctrl+Break come through the console's handler (console_windows.cpp); the
  // runtime's SIGINT is its first sign on some systems.
  ::signal(SIGINT, OnStopSignal);
#else
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a read or a write goes on; the job stops at the next point
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal ignored when the tool started (nohup, a shell's background job) stays ignored.
    if (::sigaction(signo, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signo, &action, nullptr);
  }
#endif
}

StopCause CauseOfStop() {
  switch (stopSignal.load()) {
#if !defined(_WIN32)
    case SIGHUP: return {"stopped by SIGHUP (the terminal was closed)", 128 + SIGHUP};
#endif
#if defined(_WIN32)
    case SIGTERM: return {"stopped: the console was closed, or Windows is ending", 128 + SIGTERM};
#else
    case SIGTERM: return {"stopped by SIGTERM (a request to end the program)", 128 + SIGTERM};
#endif
    default: return {"stopped by Ctrl+C", kExitInterrupted};
  }
}

}  // namespace vortan::cli
