// Bit sets: a BIT STRING comes back with its unused bits cleared, a copy
// equals its original, and set and clear steps move the bit count as they
// should.
#include <stdlib.h>
#include <string.h>

#include "orbek_util.h"

namespace {

bool same_form(const orbek_bitset *a, const orbek_bitset *b) {
    int32_t ua = -1, ub = -2;
    orbek_data_blob *x = orbek_bitset_getdata(a, &ua), *y = orbek_bitset_getdata(b, &ub);
    const bool same = x && y && ua == ub && x->length == y->length && memcmp(x->data, y->data, (size_t)x->length) == 0;
    orbek_data_blob_free(x);
    orbek_data_blob_free(y);
    return same;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || size > 4096) return 0;
    const int32_t unused = data[0] % 9, len = (int32_t)(data[1] % 64 <= size - 2 ? data[1] % 64 : size - 2);
    const uint8_t *bytes = data + 2;
    orbek_bitset *s = orbek_bitset_new(unused, bytes, len);
    if ((s != nullptr) != (unused < 8 && (len > 0 || unused == 0))) abort();
    if (!s) return 0;
    int32_t u = -1;
    orbek_data_blob *b = orbek_bitset_getdata(s, &u);
    if (!b || u != unused || b->length != len || (len && memcmp(b->data, bytes, (size_t)len - 1) != 0) ||
        (len && b->data[len - 1] != (uint8_t)(bytes[len - 1] & (0xFF << unused))))
        abort();
    orbek_data_blob_free(b);

    // The rest of the input: pairs of (set or clear, position).
    for (size_t i = 2 + (size_t)len; i + 1 < size; i += 2) {
        const int32_t n = ((data[i] & 0x7F) << 8 | data[i + 1]) % 2000, before = orbek_bitset_getbitcount(s);
        if (data[i] & 0x80) {
            if (orbek_bitset_set(s, n) != 1 || !orbek_bitset_isset(s, n) ||
                orbek_bitset_getbitcount(s) != (n + 1 > before ? n + 1 : before))
                abort();
            continue;
        }
        if (orbek_bitset_clear(s, n) != 1 || orbek_bitset_isset(s, n)) abort();
        const int32_t after = orbek_bitset_getbitcount(s);
        // Clearing the last bit trims to the highest bit still set; any
        // other clear keeps the count.
        if (n + 1 == before ? after > n || (after > 0 && !orbek_bitset_isset(s, after - 1)) : after != before)
            abort();
    }
    orbek_bitset *d = orbek_bitset_dup(s);
    if (!d || orbek_bitset_getbitcount(d) != orbek_bitset_getbitcount(s) || !same_form(d, s)) abort();
    orbek_bitset_free(d);
    orbek_bitset_free(s);
    return 0;
}
