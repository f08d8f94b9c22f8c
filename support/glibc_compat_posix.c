/* Linked into the Linux programs that ship (quillbinder-cli, quillbinder-hhc) so that
   they run with glibc 2.34 (RHEL 9). libstdc++'s random_device, which comes along with
   its exception classes when the C++ runtime is linked in, calls arc4random, which glibc
   has only from 2.36 on. An object of the program defines it first, so the link takes
   this one and the program asks glibc for nothing newer. The programs never draw random
   numbers; if one ever did, they would still come from the kernel, as glibc's do. */
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>

uint32_t arc4random(void) {
  uint32_t value;
  for (;;) {
    ssize_t got = getrandom(&value, sizeof value, 0);
    if (got == (ssize_t)sizeof value) return value;
    if (got < 0 && errno != EINTR) abort(); /* as glibc's: no weak fallback */
  }
}
