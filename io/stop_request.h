// A request to stop, as a stop signal (Ctrl+C, SIGTERM, SIGHUP) makes it: from then on every
// read, write and open of io/files.h fails at once with ECANCELED, and one that waits for
// another program (a pipe, a FIFO, a terminal) wakes and fails so, whichever thread it is on.
// A job then ends as after any failed write, with complete lines (OutputSet), and says it was
// stopped. One request for the whole process, as the signal is the process's: it is never
// taken back.
#pragma once

namespace vortan {

// Makes what a request wakes the waiters with (POSIX: a pipe); at start, before a signal
// handler that calls RequestStop is installed. Without it a request only sets the flag.
void PrepareStopRequests();

// Requests the stop; safe in a signal handler.
void RequestStop();

bool StopRequested();

// The descriptor that becomes readable once a stop was requested, to wait on beside a file;
// -1 when PrepareStopRequests has not run (and on Windows).
int StopRequestDescriptor();

}  // namespace vortan
