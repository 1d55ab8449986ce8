// Normalization and case folding on texts drawn from the ranges where the
// tables are dense (Latin, marks, Hangul syllables and jamo, Greek, the
// compatibility blocks) and from anywhere in the code space.  Checks:
//   - each form is idempotent, and NFC(NFD(s)) = NFC(s), NFKC(NFKD(s)) =
//     NFKC(s), NFD(NFC(s)) = NFD(s);
//   - NFD and NFKD results hold no Hangul syllable, nothing with a
//     decomposition, and no mark after a mark of a higher class (looked up
//     in the record tables with std::lower_bound, not through the index);
//   - case folding equals a walk of the case folding and closure tables.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "orbek_util.h"
#include "ustring/tables/unicode_norm.h"

namespace {

using namespace orbek::unorm;
using Cps = std::vector<uint32_t>;

void check(bool ok, const char *what) {
    if (!ok) fprintf(stderr, "mismatch: %s\n", what), abort();
}

template <typename Rec, size_t N>
const Rec *find(const Rec (&table)[N], uint32_t cp) {
    const Rec *it = std::lower_bound(table, table + N, cp, [](const Rec &r, uint32_t c) { return r.cp < c; });
    return it != table + N && it->cp == cp ? it : nullptr;
}

uint32_t ccc(uint32_t cp) {
    const ClassRec *r = find(kCombiningClass, cp);
    return r ? r->cls : 0;
}

Cps cps_of(const orbek_ustring *s) {
    uint32_t *v = nullptr;
    int32_t n = 0;
    check(orbek_ustring_toutf32(s, &v, &n) == 1, "toutf32");
    Cps out(v, v + n);
    orbek_free(v);
    return out;
}

uint32_t pick(uint8_t a, uint8_t b) {
    switch (a >> 5) {
    case 0: return 'A' + b % 58;
    case 1: return 0xC0 + b;
    case 2: return 0x300 + b % 0x70;
    case 3: return 0xAC00 + ((a & 31) << 8 | b) % 11172;
    case 4: return 0x1100 + b;
    case 5: return 0x1F00 + b;
    case 6: return (a & 1 ? 0xFB00 : 0x3300) + b;
    default: {
        uint32_t c = ((a & 31) * 0x8800u + b * 0x89u) % 0x110000u;
        return c >= 0xD800 && c <= 0xDFFF ? c + 0x800 : c;
    }
    }
}

orbek_ustring *norm(orbek_ustring *s, int32_t form) {
    orbek_ustring *r = orbek_ustring_normalize(s, form);
    check(r != nullptr, "normalize");
    return r;
}

bool same(const orbek_ustring *a, const orbek_ustring *b) { return orbek_ustring_cmp(a, b) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Cps in;
    for (size_t i = 0; i + 1 < size && in.size() < 2000; i += 2) in.push_back(pick(data[i], data[i + 1]));
    orbek_ustring *s = orbek_ustring_newutf32(in.data(), (int32_t)in.size());
    check(s != nullptr, "newutf32");

    orbek_ustring *n[5] = {nullptr};
    for (int32_t f = 1; f <= 4; ++f) {
        n[f] = norm(s, f);
        orbek_ustring *again = norm(n[f], f);
        check(same(again, n[f]), "idempotence");
        orbek_ustring_free(again);
    }
    const struct { int32_t outer, inner; } pairs[] = {{2, 1}, {4, 3}, {1, 2}, {3, 4}};
    for (const auto &p : pairs) {
        orbek_ustring *r = norm(n[p.inner], p.outer);
        check(same(r, n[p.outer]), "composition of forms");
        orbek_ustring_free(r);
    }
    for (int32_t f : {1, 3}) {
        Cps d = cps_of(n[f]);
        for (size_t i = 0; i < d.size(); ++i) {
            check(d[i] < 0xAC00 || d[i] > 0xD7A3, "syllable left in a decomposed form");
            check(!find(kCanonical, d[i]) && (f == 1 || !find(kCompat, d[i])), "decomposable left");
            if (i) check(!ccc(d[i]) || ccc(d[i - 1]) <= ccc(d[i]), "marks out of order");
        }
    }

    for (int32_t mode = 1; mode <= 2; ++mode) {
        Cps want;
        for (uint32_t c : in) {
            const MapRec *r = find(kCaseFold, c);
            if (!r && mode == 2) r = find(kNfkcClosure, c);
            if (r) want.insert(want.end(), kMappingPool + r->off, kMappingPool + r->off + r->len);
            else want.push_back(c);
        }
        orbek_ustring *f = orbek_ustring_tocasefold(s, mode);
        check(f != nullptr && cps_of(f) == want, "case folding");
        orbek_ustring_free(f);
    }
    for (orbek_ustring *x : n) orbek_ustring_free(x);
    orbek_ustring_free(s);
    return 0;
}
