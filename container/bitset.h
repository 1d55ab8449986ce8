// The bit-set record, shared with the tests that check its buffer.
#ifndef ORBEK_CONTAINER_BITSET_H
#define ORBEK_CONTAINER_BITSET_H

#include <stdint.h>

#include "orbek_util.h"

struct orbek_bitset {
    uint8_t *bytes;     // capacity bytes (null when capacity is 0); bits at or
                        // beyond bit_count are always 0
    int32_t bit_count;  // significant bits: the highest set one ends them
    int32_t capacity;   // bytes allocated
};

namespace orbek {

// The longest byte buffer a set may have, so that 8 * length stays below 2^31.
constexpr int32_t kBitSetMaxBytes = 268435454;

}  // namespace orbek

#endif
