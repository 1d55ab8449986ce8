// The Unicode string constructors from code units: native UTF-16 (counted,
// 0-terminated and as a BSTR), native UTF-32 and ASCII.  The first byte picks
// the form; the rest are the units.  Each constructor accepts exactly the
// well-formed inputs, and what it accepts comes back unchanged.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "orbek_util.h"

namespace {

void check(bool ok, const char *what) {
    if (!ok) fprintf(stderr, "mismatch: %s\n", what), abort();
}

// UTF-16 with every surrogate in a high-low pair; the code points counted.
bool well_formed16(const std::vector<uint16_t> &u, int32_t *chars) {
    int32_t n = 0;
    for (size_t i = 0; i < u.size(); ++i, ++n) {
        if (u[i] >= 0xDC00 && u[i] <= 0xDFFF) return false;
        if (u[i] >= 0xD800 && u[i] <= 0xDBFF) {
            if (i + 1 == u.size() || u[i + 1] < 0xDC00 || u[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    *chars = n;
    return true;
}

void same_units(orbek_ustring *s, const std::vector<uint16_t> &want) {
    uint16_t *units = nullptr;
    int32_t count = -1;
    check(orbek_ustring_toutf16(s, &units, &count) == 1, "toutf16 of an accepted string");
    check(count == (int32_t)want.size() && units[count] == 0, "toutf16 length");
    check(want.empty() || memcmp(units, want.data(), want.size() * 2) == 0, "toutf16 units");
    orbek_free(units);
}

void utf16(const uint8_t *p, size_t n) {
    std::vector<uint16_t> u(n / 2);
    if (!u.empty()) memcpy(u.data(), p, u.size() * 2);
    int32_t chars = 0;
    const bool ok = well_formed16(u, &chars);
    orbek_ustring *s = orbek_ustring_newlength(u.data(), (int32_t)u.size());
    check(ok == (s != nullptr), "newlength accepts exactly well-formed UTF-16");
    if (s) {
        check(orbek_ustring_getcharcount(s) == chars, "code point count");
        same_units(s, u);
    }
    orbek_ustring_free(s);

    // The same units up to the first 0, 0-terminated.
    std::vector<uint16_t> z(u.begin(), std::find(u.begin(), u.end(), 0));
    const bool zok = well_formed16(z, &chars);
    z.push_back(0);
    s = orbek_ustring_newwcs(z.data());
    z.pop_back();
    check(zok == (s != nullptr), "newwcs accepts exactly well-formed UTF-16");
    if (s) same_units(s, z);
    orbek_ustring_free(s);

    // As a BSTR: its byte count before the units, embedded 0 units kept.
    std::vector<uint16_t> b(u.size() + 3);
    const uint32_t bytes = (uint32_t)(u.size() * 2);
    memcpy(b.data(), &bytes, 4);
    if (!u.empty()) memcpy(b.data() + 2, u.data(), bytes);
    s = orbek_ustring_newbstr(b.data() + 2);
    check(ok == (s != nullptr), "newbstr accepts exactly well-formed UTF-16");
    if (s) {
        same_units(s, u);
        uint16_t *back = orbek_ustring_tobstr(s);
        check(back && memcmp(back - 2, b.data(), 4 + bytes) == 0 && back[u.size()] == 0, "tobstr");
        orbek_ustring_freebstr(back);
    }
    orbek_ustring_free(s);
}

void utf32(const uint8_t *p, size_t n) {
    std::vector<uint32_t> v(n / 4);
    if (!v.empty()) memcpy(v.data(), p, v.size() * 4);
    bool ok = true;
    for (uint32_t c : v) ok = ok && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    orbek_ustring *s = orbek_ustring_newutf32(v.data(), (int32_t)v.size());
    check(ok == (s != nullptr), "newutf32 accepts exactly scalar values");
    if (s) {
        uint32_t *values = nullptr;
        int32_t count = -1;
        check(orbek_ustring_toutf32(s, &values, &count) == 1 && count == (int32_t)v.size(), "toutf32");
        check(v.empty() || memcmp(values, v.data(), v.size() * 4) == 0, "toutf32 values");
        orbek_free(values);
    }
    orbek_ustring_free(s);
}

void ascii(const uint8_t *p, size_t n) {
    bool ok = true;
    for (size_t i = 0; i < n; ++i) ok = ok && p[i] < 0x80;
    orbek_ustring *s = orbek_ustring_newascii(p, (int32_t)n);
    check(ok == (s != nullptr), "newascii accepts exactly 7-bit bytes");
    if (s) {
        uint8_t *bytes = nullptr;
        int32_t len = -1;
        check(orbek_ustring_toutf8(s, &bytes, &len) == 1 && len == (int32_t)n, "toutf8 of ASCII");
        check(n == 0 || memcmp(bytes, p, n) == 0, "toutf8 bytes of ASCII");
        orbek_free(bytes);
    }
    orbek_ustring_free(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    switch (data[0] % 3) {
        case 0: utf16(data + 1, size - 1); break;
        case 1: utf32(data + 1, size - 1); break;
        default: ascii(data + 1, size - 1); break;
    }
    return 0;
}
