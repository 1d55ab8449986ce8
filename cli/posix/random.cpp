// Random bytes from the kernel.
#include <errno.h>
#include <sys/random.h>

#include "cli/platform.h"

bool cli_random_bytes(uint8_t *buf, size_t n) {
    while (n > 0) {
        ssize_t got = getrandom(buf, n, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        buf += got;
        n -= (size_t)got;
    }
    return true;
}
