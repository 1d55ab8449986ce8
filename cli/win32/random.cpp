// Random bytes from the system's generator (rand_s asks RtlGenRandom).
#define _CRT_RAND_S
#include <stdlib.h>

#include "cli/platform.h"

bool cli_random_bytes(uint8_t *buf, size_t n) {
    while (n > 0) {
        unsigned int r;
        if (rand_s(&r) != 0) return false;
        for (size_t i = 0; i < sizeof r && n > 0; ++i, --n) *buf++ = (uint8_t)(r >> (8 * i));
    }
    return true;
}
