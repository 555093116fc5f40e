/* Linux: libvortan.so holds the C++ runtime (capi/CMakeLists.txt). Its std::random_device
 * refers to arc4random, which glibc has from 2.36 on; nothing in the library draws random
 * numbers, but the reference alone would make 2.36 the oldest glibc that loads it. This
 * definition, hidden, answers the reference from getrandom (glibc 2.25), so that the library
 * loads wherever its other symbols are found (glibc 2.34). */
#include <errno.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/random.h>
#include <sys/types.h>

__attribute__((visibility("hidden"))) uint32_t arc4random(void);

uint32_t arc4random(void) {
  uint32_t value = 0;
  unsigned char* bytes = (unsigned char*)&value;
  size_t got = 0;
  while (got < sizeof value) {
    const ssize_t n = getrandom(bytes + got, sizeof value - got, 0);
    if (n > 0) {
      got += (size_t)n;
    } else if (n < 0 && errno != EINTR) {
      break; /* no getrandom (a kernel before 3.17): what was drawn */
    }
  }
  return value;
}
