#include "io/process.h"

#include <signal.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vortan {

void PrepareProcessForJobs() {
#if defined(SIGXFSZ)
  ::signal(SIGXFSZ, SIG_IGN);
#endif
#if defined(__GLIBC__)
  // One arena per thread would reserve 64 MiB of address space each; the workers allocate
  // rarely.
  ::mallopt(M_ARENA_MAX, 2);
#endif
}

}  // namespace vortan
