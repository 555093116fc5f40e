#include "io/process.h"

#include <signal.h>

#include <cerrno>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vortan {

void PrepareProcessForJobs() {
#if defined(SIGXFSZ)
  ::signal(SIGXFSZ, SIG_IGN);
#endif
#if defined(SIGPIPE)
  // A pipe whose reader has ended is a write error (EPIPE) like any other, which the job
  // reports after cutting its outputs back to complete lines, not the end of the program.
  ::signal(SIGPIPE, SIG_IGN);
#endif
#if defined(__GLIBC__)
  // One arena per thread would reserve 64 MiB of address space each; the workers allocate
  // rarely.
  ::mallopt(M_ARENA_MAX, 2);
#endif
#if defined(_WIN32)
  // A drive without a disk or an unreachable share is an error of the file, not a dialog box
  // that waits for someone to click it.
  ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
#endif
}

long CurrentProcessId() {
#if defined(_WIN32)
  return static_cast<long>(::GetCurrentProcessId());
#else
  return static_cast<long>(::getpid());
#endif
}

bool ProcessRuns(long id) {
  if (id <= 0) return true;
#if defined(_WIN32)
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  const bool runs = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return runs;
#else
  // EPERM: it runs, as another user's.
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
#endif
}

}  // namespace vortan
