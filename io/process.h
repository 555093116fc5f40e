// What a program that runs jobs sets up for its process once, at start.
#pragma once

namespace vortan {

// A file-size limit and a closed pipe make a write fail like a full disk (the job cuts back to
// complete lines) instead of ending the program with half a line; and memory arenas are shared between
// threads, so that under a memory limit the threads leave room for the records. On Windows, a
// drive that is not ready fails the open instead of showing a dialog.
void PrepareProcessForJobs();

// The id of this process, as the system's tools show it.
long CurrentProcessId();

// Whether a process of that id runs now (as far as this process may know: true when unsure).
bool ProcessRuns(long id);

}  // namespace vortan
