// Checks the UTF-8 constructor against a strict decoder built from the table of
// well-formed sequences (same inputs accepted; same bytes, units and values back),
// and the big-endian UCS-2 and UTF-32 ones against "every whole unit is a scalar value".
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "orbek_util.h"

namespace {

void check(bool ok, const char *what) {
    if (!ok) fprintf(stderr, "mismatch: %s\n", what), abort();
}

// Well-formed sequences: each row gives the lead-byte range and the allowed
// range of the second byte; later bytes are always 80..BF.
struct Row { uint8_t lo, hi, len, second_lo, second_hi; };
const Row kRows[] = {
    {0x00, 0x7F, 1, 0, 0},       {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

// Decodes to UTF-16 units and code points; false for anything ill-formed.
bool reference_decode(const uint8_t *p, size_t n, std::vector<uint16_t> *units, std::vector<uint32_t> *cps) {
    for (size_t i = 0; i < n;) {
        const Row *row = nullptr;
        for (const Row &r : kRows)
            if (p[i] >= r.lo && p[i] <= r.hi) row = &r;
        if (!row || n - i < row->len) return false;
        if (row->len > 1 && (p[i + 1] < row->second_lo || p[i + 1] > row->second_hi)) return false;
        uint32_t cp = p[i] & 0xFF >> (row->len + (row->len > 1));  // the lead byte's value bits
        for (int k = 1; k < row->len; ++k) {
            if (k > 1 && (p[i + k] < 0x80 || p[i + k] > 0xBF)) return false;
            cp = cp << 6 | (p[i + k] & 0x3F);
        }
        cps->push_back(cp);
        if (cp < 0x10000) units->push_back((uint16_t)cp);
        else units->insert(units->end(), {(uint16_t)(0xD800 + ((cp - 0x10000) >> 10)), (uint16_t)(0xDC00 + (cp & 0x3FF))});
        i += row->len;
    }
    return true;
}

// Runs an encoder and compares its output (count elements, then a zero) with want.
template <typename T>
void expect_out(int32_t (*fn)(const orbek_ustring *, T **, int32_t *), const orbek_ustring *s, const void *want,
                size_t count, const char *what) {
    T *out = nullptr;
    int32_t n = 0;
    check(fn(s, &out, &n) && n == (int32_t)count && (!count || memcmp(out, want, count * sizeof(T)) == 0) && out[n] == 0,
          what);
    orbek_free(out);
}

// A big-endian form: accepted when every whole unit is valid, encoded back as is.
void check_fixed(const uint8_t *data, size_t size, size_t width, orbek_ustring *(*make)(const uint8_t *, int32_t),
                 int32_t (*back)(const orbek_ustring *, uint8_t **, int32_t *), const char *what) {
    bool ok = size % width == 0;
    for (size_t i = 0; ok && i < size; i += width) {
        uint32_t v = 0;
        for (size_t k = 0; k < width; ++k) v = v << 8 | data[i + k];
        ok = v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF);
    }
    orbek_ustring *s = make(data, (int32_t)size);
    check((s != nullptr) == ok, what);
    if (s) expect_out(back, s, data, size, what);
    orbek_ustring_free(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > (1u << 20)) return 0;
    std::vector<uint16_t> units;
    std::vector<uint32_t> cps;
    bool valid = reference_decode(data, size, &units, &cps);
    orbek_ustring *s = orbek_ustring_newutf8(data, (int32_t)size);
    check((s != nullptr) == valid, valid ? "valid UTF-8 refused" : "invalid UTF-8 accepted");
    if (s) {
        check(orbek_ustring_getcharcount(s) == (int32_t)cps.size(), "character count");
        expect_out(orbek_ustring_toutf8, s, data, size, "toutf8 bytes");
        expect_out(orbek_ustring_toutf16, s, units.data(), units.size(), "toutf16 units");
        expect_out(orbek_ustring_toutf32, s, cps.data(), cps.size(), "toutf32 values");
        orbek_ustring_free(s);
    }
    check_fixed(data, size, 2, orbek_ustring_newbmp, orbek_ustring_tobmp, "UCS-2");
    check_fixed(data, size, 4, orbek_ustring_newutf32be, orbek_ustring_toutf32be, "UTF-32BE");
    return 0;
}
