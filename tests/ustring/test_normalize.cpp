#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"
#include "ustring/normalize.h"

namespace {

#include "ustring/data/norm_vectors.inc"

using Cps = std::vector<uint32_t>;
using namespace orbek::unorm;

orbek_ustring *make(const Cps &cps) { return orbek_ustring_newutf32(cps.data(), (int32_t)cps.size()); }

Cps cps_of(const orbek_ustring *s) {
    uint32_t *v = nullptr;
    int32_t n = 0;
    EXPECT_EQ(orbek_ustring_toutf32(s, &v, &n), 1);
    Cps out(v, v + n);
    orbek_free(v);
    return out;
}

// The code points a function makes of cps (the result released).
Cps apply(orbek_ustring *(*fn)(orbek_ustring *, int32_t), const Cps &cps, int32_t arg) {
    orbek_ustring *s = make(cps);
    orbek_ustring *r = fn(s, arg);
    EXPECT_NE(r, nullptr);
    Cps out = r ? cps_of(r) : Cps{};
    orbek_ustring_free(r);
    orbek_ustring_free(s);
    return out;
}

Cps norm(const Cps &cps, int32_t form) { return apply(orbek_ustring_normalize, cps, form); }
Cps fold_cps(const Cps &cps, int32_t mode) { return apply(orbek_ustring_tocasefold, cps, mode); }

Cps parse_column(const char *p, const char *end) {
    Cps out;
    while (p < end) {
        char *next;
        out.push_back((uint32_t)strtoul(p, &next, 16));
        p = next;
        while (p < end && *p == ' ') ++p;
    }
    return out;
}

}  // namespace

// Every conformance line of Unicode 8.0 characters, in the four forms.
TEST(Normalize, ConformanceVectors) {
    int lines = 0;
    for (const char *p = kNormVectors; *p; ++lines) {
        const char *eol = strchr(p, '\n');
        Cps c[5];
        for (int k = 0; k < 5; ++k) {
            const char *end = (const char *)memchr(p, ';', (size_t)(eol - p));
            if (!end) end = eol;
            c[k] = *p == '=' ? c[p[1] - '1'] : parse_column(p, end);
            p = end < eol ? end + 1 : end;
        }
        p = eol + 1;
        for (int k = 0; k < 5; ++k) {
            // NFC and NFD of c1..c3 are c2 and c3, of c4 and c5 are c4 and
            // c5; NFKC and NFKD of all five are c4 and c5.
            const Cps &nfc = k < 3 ? c[1] : c[3], &nfd = k < 3 ? c[2] : c[4];
            ASSERT_EQ(norm(c[k], ORBEK_USTRING_NFC), nfc) << "line " << lines << " column " << k + 1;
            ASSERT_EQ(norm(c[k], ORBEK_USTRING_NFD), nfd) << "line " << lines << " column " << k + 1;
            ASSERT_EQ(norm(c[k], ORBEK_USTRING_NFKC), c[3]) << "line " << lines << " column " << k + 1;
            ASSERT_EQ(norm(c[k], ORBEK_USTRING_NFKD), c[4]) << "line " << lines << " column " << k + 1;
        }
    }
    EXPECT_GT(lines, 17000);
}

// Every other assigned character is already in all four forms.
TEST(Normalize, UnlistedCharactersAreInvariant) {
    long checked = 0;
    for (const auto &r : kNormInvariant)
        for (uint32_t c = r[0]; c <= r[1]; ++c, ++checked) {
            orbek_ustring *s = make({c});
            for (int32_t form = 1; form <= 4; ++form) {
                orbek_ustring *n = orbek_ustring_normalize(s, form);
                ASSERT_TRUE(n && orbek_ustring_cmp(n, s) == 0) << "form " << form << " U+" << std::hex << c;
                orbek_ustring_free(n);
            }
            orbek_ustring_free(s);
        }
    EXPECT_GT(checked, 200000);
}

TEST(Normalize, HangulRecursionOrderingAndBlocking) {
    const struct { Cps in; int32_t form; Cps want; } cases[] = {
        {{0x65, 0x301}, ORBEK_USTRING_NFC, {0xE9}},
        {{0xE9}, ORBEK_USTRING_NFD, {0x65, 0x301}},
        {{0xAC01}, ORBEK_USTRING_NFD, {0x1100, 0x1161, 0x11A8}},
        {{0x1100, 0x1161, 0x11A8}, ORBEK_USTRING_NFC, {0xAC01}},
        {{0x1100, 0x1161}, ORBEK_USTRING_NFC, {0xAC00}},
        {{0xAC00, 0x4E00}, ORBEK_USTRING_NFC, {0xAC00, 0x4E00}},
        {{0xAC00, 0x11A7}, ORBEK_USTRING_NFC, {0xAC00, 0x11A7}},  // 11A7 is no trailing jamo
        {{0x61, 0x301, 0x316}, ORBEK_USTRING_NFD, {0x61, 0x316, 0x301}},
        {{0x61, 0x301, 0x302}, ORBEK_USTRING_NFD, {0x61, 0x301, 0x302}},  // equal classes keep order
        {{0x915, 0x93C}, ORBEK_USTRING_NFC, {0x915, 0x93C}},              // U+0958 is excluded
        {{0x958}, ORBEK_USTRING_NFC, {0x915, 0x93C}},
        {{0xFB01}, ORBEK_USTRING_NFKC, {0x66, 0x69}},
        {{0x1E9B, 0x323}, ORBEK_USTRING_NFKC, {0x1E69}},  // compatibility then canonical, recursive
        {{0x1D15F}, ORBEK_USTRING_NFC, {0x1D158, 0x1D165}},  // supplementary, excluded
        // Marks before the first starter stay; a blocked mark stays apart.
        {{0x301, 0x65, 0x301}, ORBEK_USTRING_NFC, {0x301, 0xE9}},
        {{0x65, 0x301, 0x301}, ORBEK_USTRING_NFC, {0xE9, 0x301}},
        {{0x61, 0x323, 0x302}, ORBEK_USTRING_NFC, {0x1EAD}},
        {{0x61, 0x302, 0x323}, ORBEK_USTRING_NFC, {0x1EAD}},
    };
    for (const auto &c : cases) EXPECT_EQ(norm(c.in, c.form), c.want) << std::hex << c.in[0] << " form " << c.form;
    Cps fdfa = norm({0xFDFA}, ORBEK_USTRING_NFKD);
    EXPECT_EQ(fdfa.size(), 18u);
    EXPECT_EQ(fdfa.front(), 0x635u);
}

TEST(Normalize, SameHandleRefusalsAndLongExpansions) {
    orbek_ustring *ascii = make({'p', 'l', 'a', 'i', 'n'}), *empty = make({});
    for (int32_t form = 1; form <= 4; ++form) {
        for (orbek_ustring *s : {ascii, empty}) {
            orbek_ustring *r = orbek_ustring_normalize(s, form);
            EXPECT_EQ(r, s);
            orbek_ustring_free(r);  // the extra reference
        }
    }
    for (int32_t bad : {0, 5, -1}) EXPECT_EQ(orbek_ustring_normalize(ascii, bad), nullptr);
    EXPECT_EQ(orbek_ustring_normalize(nullptr, 1), nullptr);
    orbek_ustring_free(ascii);
    orbek_ustring_free(empty);

    // Thousands of expansions and compositions, around supplementary text.
    Cps in, nfkd, nfc;
    for (int i = 0; i < 3000; ++i) {
        in.insert(in.end(), {0xFDFA, 0xAC01, 0x1F600, 0x65, 0x301});
        Cps f = norm({0xFDFA}, ORBEK_USTRING_NFKD);
        nfkd.insert(nfkd.end(), f.begin(), f.end());
        nfkd.insert(nfkd.end(), {0x1100, 0x1161, 0x11A8, 0x1F600, 0x65, 0x301});
        nfc.insert(nfc.end(), {0xFDFA, 0xAC01, 0x1F600, 0xE9});
    }
    EXPECT_EQ(norm(in, ORBEK_USTRING_NFKD), nfkd);
    EXPECT_EQ(norm(in, ORBEK_USTRING_NFC), nfc);
    orbek_ustring *s = make(in);
    orbek_ustring *r = orbek_ustring_normalize(s, ORBEK_USTRING_NFKD);
    EXPECT_EQ(orbek_ustring_getcharcount(r), (int32_t)nfkd.size());
    orbek_ustring_free(r);
    orbek_ustring_free(s);
}

TEST(CaseFold, FullFoldingAndNfkcClosure) {
    const struct { Cps in; Cps mode1; Cps mode2; } cases[] = {
        {{0xDF}, {0x73, 0x73}, {0x73, 0x73}},
        {{0x130}, {0x69, 0x307}, {0x69, 0x307}},
        {{0x49, 0x131}, {0x69, 0x131}, {0x69, 0x131}},
        {{0x2102}, {0x2102}, {0x63}},
        {{0x3F9}, {0x3F2}, {0x3F2}},  // in both tables: folding wins
        {{0x1F88}, {0x1F00, 0x3B9}, {0x1F00, 0x3B9}},
        {{0x10400, 0x41}, {0x10428, 0x61}, {0x10428, 0x61}},
        {{0x3390}, {0x3390}, {0x68, 0x7A}},
        {{0x1E9E}, {0x73, 0x73}, {0x73, 0x73}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(fold_cps(c.in, ORBEK_USTRING_FOLD), c.mode1) << std::hex << c.in[0];
        EXPECT_EQ(fold_cps(c.in, ORBEK_USTRING_FOLD_NFKC), c.mode2) << std::hex << c.in[0];
    }
    orbek_ustring *s = make({0x61});
    for (int32_t bad : {0, 3}) EXPECT_EQ(orbek_ustring_tocasefold(s, bad), nullptr);
    EXPECT_EQ(orbek_ustring_tocasefold(nullptr, 1), nullptr);
    orbek_ustring *r = orbek_ustring_tocasefold(s, 1);
    EXPECT_NE(r, s);  // always a new string
    orbek_ustring_free(r);
    orbek_ustring_free(s);
}

// The per-code-point index agrees with the record tables it summarizes.
TEST(NormTables, IndexAgreesWithTheLists) {
    auto in_list = [](const RangeRec *list, int32_t runs, uint32_t c) {
        int32_t lo = 0, hi = runs;
        while (lo < hi) {
            int32_t m = (lo + hi) / 2;
            if (list[m].last < c) lo = m + 1;
            else hi = m;
        }
        return lo < runs && list[lo].first <= c;
    };
    int32_t classes = 0, folds = 0, closures = 0;
    for (uint32_t c = 0; c <= 0x10FFFF; ++c) {
        uint16_t w = props(c);
        if (c >= 0xD800 && c <= 0xDFFF) {  // marked so that unit scans stop there
            ASSERT_EQ(w, 0xFF);
            continue;
        }
        if (w & 0xFF) ++classes;
        folds += (w & kFolds) != 0;
        closures += (w & kClosure) != 0;
        ASSERT_EQ((w & kNfdNo) != 0, in_list(kNfdNoList, kNfdNoRuns, c)) << std::hex << c;
        ASSERT_EQ((w & kNfcNo) != 0, in_list(kNfcNoList, kNfcNoRuns, c)) << std::hex << c;
        ASSERT_EQ((w & kNfcMaybe) != 0, in_list(kNfcMaybeList, kNfcMaybeRuns, c)) << std::hex << c;
        ASSERT_EQ((w & kNfkdNo) != 0, in_list(kNfkdNoList, kNfkdNoRuns, c)) << std::hex << c;
        ASSERT_EQ((w & kNfkcNo) != 0, in_list(kNfkcNoList, kNfkcNoRuns, c)) << std::hex << c;
        ASSERT_EQ((w & kFolds) != 0, find_casefold(c) != nullptr) << std::hex << c;
        ASSERT_EQ((w & kClosure) != 0, find_nfkc_closure(c) != nullptr) << std::hex << c;
    }
    EXPECT_EQ(classes, kCombiningClassCount);
    for (const ClassRec &r : kCombiningClass) EXPECT_EQ(combining_class(r.cp), r.cls);
    EXPECT_EQ(folds, kCaseFoldCount);
    EXPECT_EQ(closures, kNfkcClosureCount);
    EXPECT_EQ(compose_pair(0x65, 0x301), 0xE9u);
    EXPECT_EQ(compose_pair(0x915, 0x93C), 0u);  // excluded
    EXPECT_EQ(compose_pair(0x1100, 0x1161), 0xAC00u);
    EXPECT_EQ(compose_pair(0xAC00, 0x11A8), 0xAC01u);
    EXPECT_EQ(compose_pair(0xAC01, 0x11A8), 0u);  // already LVT
}

// The steps on a buffer built by hand, as string preparation uses them.
TEST(NormWorkBuffer, StepsOnACallerFilledBuffer) {
    WorkBuf wb;
    ASSERT_TRUE(wb_init(&wb, 0));
    EXPECT_EQ(wb.capacity, 16);
    for (int i = 0; i < 700; ++i) {  // grows past the first capacity
        ASSERT_TRUE(wb_append(&wb, 0x212B));  // ANGSTROM SIGN: A + ring above
        ASSERT_TRUE(wb_append(&wb, 0x10400));
    }
    ASSERT_TRUE(decompose(&wb, false));
    ASSERT_TRUE(reorder(&wb));
    EXPECT_EQ(wb.charcount, 2100);
    ASSERT_TRUE(compose(&wb));
    ASSERT_TRUE(fold(&wb, kFoldFull));
    orbek_ustring *s = wb_finish(&wb);
    Cps want;
    for (int i = 0; i < 700; ++i) want.insert(want.end(), {0xE5, 0x10428});
    EXPECT_EQ(cps_of(s), want);
    orbek_ustring_free(s);

    // Replacement at the cursor, shorter and longer, keeps the tail.
    ASSERT_TRUE(wb_init_copy(&wb, (const uint16_t *)u"abc", 3));
    wb.cursor = 1;
    const uint32_t three[] = {0x1F600, 0x78, 0x79};
    ASSERT_TRUE(wb_replace(&wb, 1, three, 3));
    EXPECT_EQ(wb.cursor, 5);
    ASSERT_TRUE(wb_replace(&wb, 1, three + 1, 0));
    s = wb_finish(&wb);
    EXPECT_EQ(cps_of(s), (Cps{0x61, 0x1F600, 0x78, 0x79}));
    orbek_ustring_free(s);
}

TEST(NormSweep, EveryAllocationFailureIsClean) {
    Cps text;
    for (int i = 0; i < 600; ++i) text.insert(text.end(), {0xFDFA, 0x1E9B, 0x323, 0x41, 0xAC01, 0x301, 0x316});
    orbek_ustring *s = make(text);
    for (int32_t form = 1; form <= 4; ++form)
        testalloc::sweep([&] {
            orbek_ustring *r = orbek_ustring_normalize(s, form);
            orbek_ustring_free(r);
            return r != nullptr;
        });
    for (int32_t mode = 1; mode <= 2; ++mode)
        testalloc::sweep([&] {
            orbek_ustring *r = orbek_ustring_tocasefold(s, mode);
            orbek_ustring_free(r);
            return r != nullptr;
        });
    // A run of marks longer than the inline run list.
    Cps marks(1, 0x61);
    for (int i = 0; i < 100; ++i) marks.push_back(i % 2 ? 0x301 : 0x316);
    orbek_ustring *m = make(marks);
    testalloc::sweep([&] {
        orbek_ustring *r = orbek_ustring_normalize(m, ORBEK_USTRING_NFC);
        orbek_ustring_free(r);
        return r != nullptr;
    });
    orbek_ustring_free(m);
    orbek_ustring_free(s);
}
