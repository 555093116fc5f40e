#include "cli/stop_signals.h"

#include <signal.h>
#include <time.h>

#include <cstdint>

#include "cli/exit_status.h"
#include "io/stop_request.h"

namespace vortan::cli {

std::atomic<bool> interrupted{false};
std::atomic<int> stopSignal{0};

namespace {

#if !defined(_WIN32)
// A stop signal that comes again within this many nanoseconds of the first is the same stop
// sent twice: timeout sends its signal to the program and then to the program's process group.
constexpr std::int64_t kSameStop = 500'000'000;

// When the first stop signal came (CLOCK_MONOTONIC, nanoseconds).
std::atomic<std::int64_t> firstStopAt{0};

std::int64_t Now() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);  // safe in a signal handler
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}
#endif

extern "C" void OnStopSignal(int signo) {
  int none = 0;
  const bool first = stopSignal.compare_exchange_strong(none, signo);
#if defined(_WIN32)
  (void)first;
  ::signal(signo, SIG_DFL);  // a second one ends the program at once
#else
  // A second one, later, ends the program at once.
  if (first) {
    firstStopAt.store(Now());
  } else if (Now() - firstStopAt.load() >= kSameStop) {
    ::signal(signo, SIG_DFL);
    ::raise(signo);
    return;
  }
#endif
  interrupted.store(true);
  RequestStop();  // a read, a write or an open that waits for another program ends now
}

}  // namespace

void CatchStopSignals() {
#if defined(_WIN32)
  // Ctrl+C and Ctrl+Break come through the console's handler (console_windows.cpp); the
  // runtime's SIGINT is its first sign on some systems.
  ::signal(SIGINT, OnStopSignal);
#else
  PrepareStopRequests();
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // A read or a write of a file goes on and the job stops at the next point; one that waits
  // for another program is woken by the stop request.
  action.sa_flags = SA_RESTART;
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
