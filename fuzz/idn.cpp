// IDN fuzz target.  The first byte picks the three flags; the rest is used
// three ways:
//   - as Punycode (one byte per character): whatever decodes must encode and
//     decode back to the same code points;
//   - as UTF-8: label and name ToUnicode never fail, and where label ToASCII
//     succeeds, ToASCII of its ToUnicode gives the same ASCII again (letter
//     case aside);
//   - as native 32-bit values (reduced to scalar values): Punycode encoding
//     decodes back to them.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "orbek_util.h"
#include "ustring/prep.h"

using namespace orbek::prep;

namespace {

void check(bool ok, const char *what) {
    if (!ok) fprintf(stderr, "mismatch: %s\n", what), abort();
}

std::vector<uint32_t> cps_of(const orbek_ustring *s) {
    uint32_t *v = nullptr;
    int32_t n = 0;
    check(orbek_ustring_toutf32(s, &v, &n) == 1, "toutf32");
    std::vector<uint32_t> out(v, v + n);
    orbek_free(v);
    return out;
}

// Encodes and decodes cps; they must come back unchanged.
void round_trip(const std::vector<uint32_t> &cps) {
    UnitBuf buf;
    if (!punycode_encode(cps.data(), (int32_t)cps.size(), &buf)) return;  // a delta past 32 bits
    bool oom;
    orbek_ustring *back = punycode_decode(buf.units(), buf.length(), &oom);
    check(back != nullptr, "encoded text decodes");
    check(cps_of(back) == cps, "round trip");
    orbek_ustring_free(back);
}

std::string ascii_of(const orbek_ustring *s, const uint32_t f[3], bool *ok) {
    char *out = nullptr;
    int32_t len = 0;
    *ok = orbek_ustring_idnlabel_toascii(s, f[0], f[1], f[2], &out, &len) == 1;
    std::string r = *ok ? std::string(out, (size_t)len) : std::string();
    check(*ok ? r.size() >= 1 && r.size() <= 63 && out[len] == 0 : out == nullptr, "ToASCII result");
    orbek_free(out);
    for (char &c : r) c = c >= 'A' && c <= 'Z' ? (char)(c | 0x20) : c;  // compared regardless of case
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    const uint32_t flags[3] = {data[0] & 1u, data[0] >> 1 & 1u, data[0] >> 2 & 1u};
    const uint8_t *p = data + 1;
    int32_t n = (int32_t)size - 1;

    // Punycode decoding of arbitrary text.
    std::vector<uint16_t> units(p, p + n);
    bool oom;
    orbek_ustring *decoded = punycode_decode(units.data(), n, &oom);
    check(!oom, "no allocation failure");
    if (decoded) {
        round_trip(cps_of(decoded));
        orbek_ustring_free(decoded);
    }

    // ToUnicode and ToASCII of arbitrary UTF-8.
    orbek_ustring *s = orbek_ustring_newutf8(p, n);
    if (s) {
        for (auto fn : {orbek_ustring_idnlabel_tounicode, orbek_ustring_idn_tounicode}) {
            orbek_ustring *u = fn(s, flags[0], flags[1], flags[2]);
            check(u != nullptr, "ToUnicode");
            orbek_ustring_free(u);
        }
        char *name = nullptr;
        int32_t len = 0;
        if (orbek_ustring_idn_toascii(s, flags[0], flags[1], flags[2], &name, &len)) {
            // U+0000 passes through ASCII labels when the host-name rules are off.
            check(name[len] == 0 && (flags[1] == 0 || strlen(name) == (size_t)len), "name ToASCII length");
            orbek_free(name);
        }

        bool ok;
        std::string a = ascii_of(s, flags, &ok);
        if (ok) {
            orbek_ustring *as = orbek_ustring_newascii(reinterpret_cast<const uint8_t *>(a.data()), (int32_t)a.size());
            check(as != nullptr, "ASCII result");
            orbek_ustring *back = orbek_ustring_idnlabel_tounicode(as, flags[0], flags[1], flags[2]);
            std::string again = ascii_of(back, flags, &ok);
            check(ok && a == again, "ToASCII(ToUnicode(x)) = ToASCII(x)");
            orbek_ustring_free(back);
            orbek_ustring_free(as);
        }
        orbek_ustring_free(s);
    }

    // Punycode round trip over arbitrary scalar values.
    std::vector<uint32_t> cps;
    for (int32_t i = 0; i + 4 <= n && cps.size() < 512; i += 4) {
        uint32_t v;
        memcpy(&v, p + i, 4);
        v %= 0x110000;
        if (v >= 0xD800 && v <= 0xDFFF) v -= 0x800;
        cps.push_back(v);
    }
    round_trip(cps);
    return 0;
}
