// Decodes arbitrary bytes in a few charsets (the first input byte picks one):
// whatever decodes must be well-formed, and text decoded without a
// substitute character must survive encoding and decoding again unchanged.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "orbek_util.h"

namespace {

void check(bool ok, const char *what, const char *charset) {
    if (!ok) fprintf(stderr, "mismatch in %s: %s\n", charset, what), abort();
}

// Stateful forms (ISO-2022-JP, UTF-7) are only decoded: their encoders may
// need more room than tombs gives and then fall back to another page.
struct Charset {
    const char *name;
    bool round_trip;
};
const Charset kCharsets[] = {
    {"WINDOWS-1252", true}, {"WINDOWS-1251", true}, {"IBM437", true},    {"EBCDIC-CP-US", true},
    {"KOI8-R", true},       {"SHIFT_JIS", true},    {"GBK", true},       {"GB18030", true},
    {"KS_C_5601-1987", true}, {"BIG5", true},       {"ISO-2022-JP", false}, {"UTF-7", false},
    {"UTF-16LE", true},     {"UTF-32BE", true},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    const Charset &cs = kCharsets[data[0] % (sizeof kCharsets / sizeof kCharsets[0])];
    orbek_ustring *s = orbek_ustring_newmbs(cs.name, data + 1, (int32_t)(size - 1));
    if (!s) return 0;
    uint16_t *units;
    int32_t n;
    check(orbek_ustring_toutf16(s, &units, &n) == 1, "no UTF-16 form", cs.name);
    bool substituted = false;
    for (int32_t i = 0; i < n; ++i) substituted |= units[i] == 0xFFFD;
    uint8_t *bytes;
    int32_t len;
    if (orbek_ustring_tombs(s, cs.name, &bytes, &len)) {
        check(bytes[len] == 0, "no terminator", cs.name);
        if (cs.round_trip && !substituted) {
            orbek_ustring *again = orbek_ustring_newmbs(cs.name, bytes, len);
            uint16_t *units2;
            int32_t n2;
            check(again && orbek_ustring_toutf16(again, &units2, &n2) == 1, "re-decoding failed", cs.name);
            check(n2 == n && memcmp(units, units2, (size_t)n * 2) == 0, "round trip changed the text", cs.name);
            orbek_free(units2);
            orbek_ustring_free(again);
        }
        orbek_free(bytes);
    } else {
        check(!cs.round_trip || substituted, "encoding failed", cs.name);
    }
    orbek_free(units);
    orbek_ustring_free(s);
    return 0;
}
