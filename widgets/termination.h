// A request to end the program from outside it (SIGTERM: a shutdown, a scheduler, kill; SIGHUP:
// the terminal it was started from closed) reaches the window's thread as an event, so that a
// program ends as its window would: a running job stops after its current point, with complete
// lines in every output, before the program ends.
#pragma once

#include <functional>

class QObject;

namespace vortan {

// From now on SIGTERM and SIGHUP call stop with the signal's number on the thread of parent's
// event loop (once; a second signal ends the program at once). The handling lives as long as
// parent.
void StopOnTerminationSignals(QObject* parent, std::function<void(int signal)> stop);

}  // namespace vortan
