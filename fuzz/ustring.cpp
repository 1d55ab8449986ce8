// Feeds arbitrary bytes to the ustring constructors and checks them against
// an independent strict decoder written from the table of well-formed UTF-8
// byte sequences: the library must accept exactly the same inputs, give the
// same bytes back from toutf8 and the right units from toutf16.  The same
// bytes also go through the big-endian UCS-2 and UTF-32 constructors.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "orbek_util.h"

namespace {

[[noreturn]] void fail(const char *what) {
    fprintf(stderr, "mismatch: %s\n", what);
    abort();
}

// Well-formed sequences: each row gives the lead-byte range and the allowed
// range of the second byte; later bytes are always 80..BF.
struct Row {
    uint8_t lo, hi, len, second_lo, second_hi;
};
const Row kRows[] = {
    {0x00, 0x7F, 1, 0, 0},       {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

bool reference_decode(const uint8_t *p, size_t n, std::vector<uint32_t> *cps) {
    size_t i = 0;
    while (i < n) {
        const Row *row = nullptr;
        for (const Row &r : kRows)
            if (p[i] >= r.lo && p[i] <= r.hi) row = &r;
        if (!row || n - i < row->len) return false;
        if (row->len > 1 && (p[i + 1] < row->second_lo || p[i + 1] > row->second_hi)) return false;
        for (int k = 2; k < row->len; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
        static const uint8_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
        uint32_t cp = p[i] & kLeadMask[row->len];
        for (int k = 1; k < row->len; ++k) cp = cp << 6 | (p[i + k] & 0x3F);
        cps->push_back(cp);
        i += row->len;
    }
    return true;
}

void check_utf8(const uint8_t *data, size_t size) {
    std::vector<uint32_t> cps;
    bool valid = reference_decode(data, size, &cps);
    orbek_ustring *s = orbek_ustring_newutf8(data, (int32_t)size);
    if ((s != nullptr) != valid) fail(valid ? "valid UTF-8 refused" : "invalid UTF-8 accepted");
    if (!s) return;
    if (orbek_ustring_getcharcount(s) != (int32_t)cps.size()) fail("character count");

    uint8_t *bytes = nullptr;
    int32_t len = 0;
    if (!orbek_ustring_toutf8(s, &bytes, &len)) fail("toutf8 failed");
    if (len != (int32_t)size || memcmp(bytes, data, size) != 0 || bytes[len] != 0) fail("toutf8 bytes");
    orbek_free(bytes);

    std::vector<uint16_t> want;
    for (uint32_t c : cps) {
        if (c < 0x10000) {
            want.push_back((uint16_t)c);
        } else {
            want.push_back((uint16_t)(0xD800 + ((c - 0x10000) >> 10)));
            want.push_back((uint16_t)(0xDC00 + (c & 0x3FF)));
        }
    }
    uint16_t *units = nullptr;
    int32_t count = 0;
    if (!orbek_ustring_toutf16(s, &units, &count)) fail("toutf16 failed");
    if (count != (int32_t)want.size() || (count && memcmp(units, want.data(), want.size() * 2) != 0) ||
        units[count] != 0)
        fail("toutf16 units");
    orbek_free(units);

    uint32_t *values = nullptr;
    if (!orbek_ustring_toutf32(s, &values, &count)) fail("toutf32 failed");
    if (count != (int32_t)cps.size() || (count && memcmp(values, cps.data(), cps.size() * 4) != 0))
        fail("toutf32 values");
    orbek_free(values);
    orbek_ustring_free(s);
}

void check_fixed_width(const uint8_t *data, size_t size) {
    bool bmp_ok = size % 2 == 0;
    for (size_t i = 0; bmp_ok && i < size; i += 2) bmp_ok = (data[i] & 0xF8) != 0xD8;
    orbek_ustring *s = orbek_ustring_newbmp(data, (int32_t)size);
    if ((s != nullptr) != bmp_ok) fail("newbmp acceptance");
    if (s) {
        uint8_t *out = nullptr;
        int32_t len = 0;
        if (!orbek_ustring_tobmp(s, &out, &len) || len != (int32_t)size || memcmp(out, data, size) != 0)
            fail("tobmp bytes");
        orbek_free(out);
        orbek_ustring_free(s);
    }

    bool be_ok = size % 4 == 0;
    for (size_t i = 0; be_ok && i < size; i += 4) {
        uint32_t v = (uint32_t)data[i] << 24 | (uint32_t)data[i + 1] << 16 | (uint32_t)data[i + 2] << 8 | data[i + 3];
        be_ok = v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF);
    }
    s = orbek_ustring_newutf32be(data, (int32_t)size);
    if ((s != nullptr) != be_ok) fail("newutf32be acceptance");
    if (s) {
        uint8_t *out = nullptr;
        int32_t len = 0;
        if (!orbek_ustring_toutf32be(s, &out, &len) || len != (int32_t)size || memcmp(out, data, size) != 0)
            fail("toutf32be bytes");
        orbek_free(out);
        orbek_ustring_free(s);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > (1u << 20)) return 0;
    check_utf8(data, size);
    check_fixed_width(data, size);
    return 0;
}
