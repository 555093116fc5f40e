#include "widgets/termination.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>

namespace vortan {
namespace {

// The signal handler only writes a byte into this pipe; its reading end wakes the event loop.
int stopPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signo) {
  const char byte = static_cast<char>(signo);
  [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
  ::signal(signo, SIG_DFL);  // a second one ends the program at once
}

}  // namespace

void StopOnTerminationSignals(QObject* parent, std::function<void(int signal)> stop) {
  if (stopPipe[0] < 0 && ::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [notifier, stop = std::move(stop)] {
                     char bytes[16];
                     int signo = SIGTERM;
                     for (ssize_t n; (n = ::read(stopPipe[0], bytes, sizeof bytes)) > 0;) {
                       signo = bytes[0];
                     }
                     notifier->setEnabled(false);
                     stop(signo);
                   });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signo : {SIGTERM, SIGHUP}) {
    // A signal ignored when the program started (nohup) stays ignored.
    struct sigaction previous {};
    if (::sigaction(signo, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signo, &action, nullptr);
  }
}

}  // namespace vortan
