// Bit sets: bits numbered from 0, most significant bit of each byte first,
// with a significant-bit count, converted to and from the content of an
// ASN.1 BIT STRING.
#include "container/bitset.h"

#include <string.h>

#include "core/internal.h"

static const char kOrbekSource[] = "ORBEK_BitSet";

namespace {

uint8_t mask(int32_t n) { return (uint8_t)(0x80u >> (n % 8)); }

// The unused low bits of the last byte for a bit count.
int32_t unused_bits(int32_t bit_count) { return (8 - bit_count % 8) % 8; }

// A set holding a copy of length bytes; null when memory is short.  An empty
// copy has no buffer at all, so no allocation of zero bytes is ever asked.
orbek_bitset *make(const uint8_t *data, int32_t length, int32_t bit_count) noexcept {
    orbek_bitset *set = ORBEK_ALLOC_T(orbek_bitset, 1);
    if (!set) return nullptr;
    set->bytes = nullptr;
    if (length > 0) {
        set->bytes = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)length));
        if (!set->bytes) {
            ORBEK_FREE(set);
            return nullptr;
        }
        memcpy(set->bytes, data, (size_t)length);
    }
    set->bit_count = bit_count;
    set->capacity = length;
    return set;
}

}  // namespace

ORBEK_EXPORT orbek_bitset *orbek_bitset_empty(void) noexcept {
    static const uint8_t kZeros[4] = {0, 0, 0, 0};
    return make(kZeros, 4, 0);
}

ORBEK_EXPORT orbek_bitset *orbek_bitset_new(int32_t unused, const uint8_t *data, int32_t length) noexcept {
    if (unused < 0 || unused > 7 || !data || length < 0 || length > orbek::kBitSetMaxBytes ||
        (length == 0 && unused != 0))
        return nullptr;
    orbek_bitset *set = make(data, length, 8 * length - unused);
    // The unused bits read as 0 and stay 0.
    if (set && length > 0) set->bytes[length - 1] &= (uint8_t)(0xFFu << unused);
    return set;
}

ORBEK_EXPORT void orbek_bitset_free(orbek_bitset *set) noexcept {
    if (!set) return;
    ORBEK_FREE(set->bytes);
    ORBEK_FREE(set);
}

ORBEK_EXPORT int32_t orbek_bitset_getbitcount(const orbek_bitset *set) noexcept {
    return set ? set->bit_count : -1;
}

ORBEK_EXPORT orbek_data_blob *orbek_bitset_getdata(const orbek_bitset *set, int32_t *unused) noexcept {
    if (!set || !unused) return nullptr;
    // A set without bits has no buffer to copy from, yet gets an empty blob.
    static const uint8_t kNone = 0;
    const int32_t u = unused_bits(set->bit_count);
    orbek_data_blob *blob = orbek_data_blob_new(set->bytes ? set->bytes : &kNone, (set->bit_count + u) / 8);
    if (blob) *unused = u;
    return blob;
}

ORBEK_EXPORT int32_t orbek_bitset_set(orbek_bitset *set, int32_t n) noexcept {
    if (!set || n < 0) return 0;
    const int32_t byte = n / 8;
    if (byte >= set->capacity) {
        const int32_t cap = byte + 4;  // at most 2^28 + 3 bytes
        uint8_t *bytes = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)cap));
        if (!bytes) return 0;
        if (set->capacity) memcpy(bytes, set->bytes, (size_t)set->capacity);
        memset(bytes + set->capacity, 0, (size_t)(cap - set->capacity));
        ORBEK_FREE(set->bytes);
        set->bytes = bytes;
        set->capacity = cap;
    }
    set->bytes[byte] |= mask(n);
    if (n >= set->bit_count) set->bit_count = n + 1;
    return 1;
}

ORBEK_EXPORT int32_t orbek_bitset_clear(orbek_bitset *set, int32_t n) noexcept {
    if (!set || n < 0) return 0;
    if (n >= set->bit_count) return 1;
    set->bytes[n / 8] &= (uint8_t)~mask(n);
    if (n + 1 == set->bit_count) {
        // The last significant bit went: the count now ends at the highest
        // bit still set, however far below it lies.
        int32_t i = n / 8;
        while (i >= 0 && set->bytes[i] == 0) --i;
        if (i < 0) {
            set->bit_count = 0;
        } else {
            int32_t s = 8;
            for (unsigned b = set->bytes[i]; !(b & 1); b >>= 1) --s;
            set->bit_count = 8 * i + s;
        }
    }
    return 1;
}

ORBEK_EXPORT int32_t orbek_bitset_isset(const orbek_bitset *set, int32_t n) noexcept {
    if (!set || n < 0 || n >= set->bit_count) return 0;
    return (set->bytes[n / 8] & mask(n)) ? 1 : 0;
}

ORBEK_EXPORT orbek_bitset *orbek_bitset_dup(const orbek_bitset *set) noexcept {
    if (!set) return nullptr;
    return make(set->bytes, (set->bit_count + 7) / 8, set->bit_count);
}
