#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Units = std::vector<uint16_t>;

// Independent reference encoders for building expectations.
Bytes utf8_of(const std::vector<uint32_t> &cps) {
    Bytes out;
    for (uint32_t c : cps) {
        if (c < 0x80) {
            out.push_back((uint8_t)c);
        } else if (c < 0x800) {
            out.push_back((uint8_t)(0xC0 | c >> 6));
            out.push_back((uint8_t)(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back((uint8_t)(0xE0 | c >> 12));
            out.push_back((uint8_t)(0x80 | (c >> 6 & 0x3F)));
            out.push_back((uint8_t)(0x80 | (c & 0x3F)));
        } else {
            out.push_back((uint8_t)(0xF0 | c >> 18));
            out.push_back((uint8_t)(0x80 | (c >> 12 & 0x3F)));
            out.push_back((uint8_t)(0x80 | (c >> 6 & 0x3F)));
            out.push_back((uint8_t)(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

Units utf16_of(const std::vector<uint32_t> &cps) {
    Units out;
    for (uint32_t c : cps) {
        if (c < 0x10000) {
            out.push_back((uint16_t)c);
        } else {
            out.push_back((uint16_t)(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back((uint16_t)(0xDC00 + (c & 0x3FF)));
        }
    }
    return out;
}

orbek_ustring *from_utf8(const Bytes &b) { return orbek_ustring_newutf8(b.data(), (int32_t)b.size()); }

Units units_of(const orbek_ustring *s) {
    uint16_t *u = nullptr;
    int32_t n = -1;
    if (!orbek_ustring_toutf16(s, &u, &n)) return {0xFFFF, 0xFFFF, 0xFFFF};
    EXPECT_EQ(u[n], 0) << "toutf16 must terminate its copy";
    Units out(u, u + n);
    orbek_free(u);
    return out;
}

Bytes utf8_back(const orbek_ustring *s) {
    uint8_t *b = nullptr;
    int32_t n = -1;
    if (!orbek_ustring_toutf8(s, &b, &n)) return {0xFF};
    EXPECT_EQ(b[n], 0) << "toutf8 must terminate its copy";
    Bytes out(b, b + n);
    orbek_free(b);
    return out;
}

// A text that exercises the ASCII blocks at every alignment: runs of ASCII
// of growing length separated by 2-, 3- and 4-byte characters.
std::vector<uint32_t> mixed_text() {
    std::vector<uint32_t> cps;
    const uint32_t others[] = {0xE9, 0x7FF, 0x800, 0x4E2D, 0xFFFD, 0xFEFF, 0x10000, 0x1F600, 0x10FFFF, 0xD7FF, 0xE000};
    for (int run = 0; run < 40; ++run) {
        for (int k = 0; k < run; ++k) cps.push_back((uint32_t)('a' + (run + k) % 26));
        cps.push_back(others[run % 11]);
    }
    cps.push_back(0);  // U+0000 inside the text
    for (int k = 0; k < 37; ++k) cps.push_back((uint32_t)('A' + k % 26));
    return cps;
}

}  // namespace

TEST(UStringUtf8, RoundTripsAtEveryAlignment) {
    std::vector<uint32_t> cps = mixed_text();
    Bytes in = utf8_of(cps);
    orbek_ustring *s = from_utf8(in);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(orbek_ustring_getcharcount(s), (int32_t)cps.size());
    EXPECT_EQ(units_of(s), utf16_of(cps));
    EXPECT_EQ(utf8_back(s), in);

    uint32_t *v = nullptr;
    int32_t n = 0;
    ASSERT_EQ(orbek_ustring_toutf32(s, &v, &n), 1);
    EXPECT_EQ(std::vector<uint32_t>(v, v + n), cps);
    EXPECT_EQ(v[n], 0u);
    orbek_free(v);
    orbek_ustring_free(s);

    // Every prefix that ends on a sequence boundary decodes; every one that
    // cuts a sequence is refused.
    for (size_t cut = 0; cut < 120; ++cut) {
        bool boundary = cut == in.size() || (in[cut] & 0xC0) != 0x80;
        orbek_ustring *p = orbek_ustring_newutf8(in.data(), (int32_t)cut);
        EXPECT_EQ(p != nullptr, boundary) << "prefix of " << cut << " bytes";
        orbek_ustring_free(p);
    }
}

TEST(UStringUtf8, BlocksOfEveryWidthUpToTheEnd) {
    // Texts of one width ending exactly at, before and after a block
    // boundary; the sanitizer build checks that no block writes past its
    // buffer.
    const uint32_t widths[] = {'a', 0xE9, 0x4E2D, 0x1F600};
    for (uint32_t c : widths) {
        for (size_t n = 1; n <= 26; ++n) {
            std::vector<uint32_t> cps(n, c);
            cps[n / 2] = c + 1;
            Bytes in = utf8_of(cps);
            orbek_ustring *s = from_utf8(in);
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(units_of(s), utf16_of(cps)) << std::hex << c << " x " << n;
            EXPECT_EQ(utf8_back(s), in) << std::hex << c << " x " << n;
            orbek_ustring_free(s);
        }
    }
}

TEST(UStringUtf8, RefusesMalformedInput) {
    const std::vector<Bytes> bad = {
        {0xC0, 0x80},              // overlong U+0000
        {0xC1, 0xBF},              // overlong U+007F
        {0xE0, 0x80, 0x80},        // overlong 3-byte
        {0xE0, 0x9F, 0xBF},        // overlong U+07FF
        {0xF0, 0x80, 0x80, 0x80},  // overlong 4-byte
        {0xF0, 0x8F, 0xBF, 0xBF},  // overlong U+FFFF
        {0xED, 0xA0, 0x80},        // encoded high surrogate
        {0xED, 0xBF, 0xBF},        // encoded low surrogate
        {0xF4, 0x90, 0x80, 0x80},  // above U+10FFFF
        {0xF5, 0x80, 0x80, 0x80},  // lead byte beyond the range
        {0xF8, 0x88, 0x80, 0x80, 0x80},
        {0xFF},
        {0xE2, 0x82},              // truncated
        {0x80},                    // lone continuation
        {0x41, 0xC3},              // truncated at the end
        {0xC3, 0x41},              // continuation missing
        {0xE2, 0x28, 0xA1},
    };
    long live = testalloc::live_blocks();
    for (const Bytes &b : bad) {
        EXPECT_EQ(from_utf8(b), nullptr) << "first byte " << std::hex << (int)b[0];
        // The same fault after a long ASCII run (the block path) is refused too.
        Bytes padded(35 + b.size() + 20, 'y');
        memset(padded.data(), 'x', 35);
        memcpy(padded.data() + 35, b.data(), b.size());
        EXPECT_EQ(from_utf8(padded), nullptr) << "first byte " << std::hex << (int)b[0];
    }
    EXPECT_EQ(testalloc::live_blocks(), live);
}

TEST(UStringUtf8, SpecialCharacters) {
    orbek_ustring *nul = from_utf8({0x00});
    ASSERT_NE(nul, nullptr);
    EXPECT_EQ(units_of(nul), Units{0});
    EXPECT_EQ(orbek_ustring_getcharcount(nul), 1);
    orbek_ustring_free(nul);

    orbek_ustring *emoji = from_utf8({0xF0, 0x9F, 0x98, 0x80});
    ASSERT_NE(emoji, nullptr);
    EXPECT_EQ(units_of(emoji), (Units{0xD83D, 0xDE00}));
    EXPECT_EQ(orbek_ustring_getcharcount(emoji), 1);
    uint8_t *b = nullptr;
    int32_t n = 0;
    EXPECT_EQ(orbek_ustring_tobmp(emoji, &b, &n), 0) << "a supplementary character has no UCS-2 form";
    EXPECT_EQ(b, nullptr);
    ASSERT_EQ(orbek_ustring_toutf32be(emoji, &b, &n), 1);
    EXPECT_EQ(Bytes(b, b + n + 4), (Bytes{0x00, 0x01, 0xF6, 0x00, 0, 0, 0, 0}));
    orbek_free(b);
    orbek_ustring_free(emoji);

    orbek_ustring *bom = from_utf8({0xEF, 0xBB, 0xBF, 0x41});
    ASSERT_NE(bom, nullptr);
    EXPECT_EQ(units_of(bom), (Units{0xFEFF, 0x41}));
    EXPECT_EQ(utf8_back(bom), (Bytes{0xEF, 0xBB, 0xBF, 0x41}));
    orbek_ustring_free(bom);
}

TEST(UStringUnits, SurrogatesAreValidated) {
    const Units good = {0x41, 0xD83D, 0xDE00, 0, 0x42};
    orbek_ustring *s = orbek_ustring_newlength(good.data(), (int32_t)good.size());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(units_of(s), good);
    EXPECT_EQ(orbek_ustring_getcharcount(s), 4);
    EXPECT_EQ(utf8_back(s), (Bytes{0x41, 0xF0, 0x9F, 0x98, 0x80, 0x00, 0x42}));
    orbek_ustring_free(s);

    const std::vector<Units> bad = {{0xDC00}, {0x41, 0xDFFF, 0x41}, {0xD800, 0x41}, {0x41, 0xD800},
                                    {0xD800, 0xD800, 0xDC00}};
    for (const Units &u : bad) EXPECT_EQ(orbek_ustring_newlength(u.data(), (int32_t)u.size()), nullptr);
    // The count decides, not the terminator: a high surrogate last in the
    // given count is refused even though its partner follows in memory.
    const uint16_t pair[] = {0xD800, 0xDC00, 0};
    EXPECT_EQ(orbek_ustring_newlength(pair, 1), nullptr);

    orbek_ustring *t = orbek_ustring_new(pair);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(orbek_ustring_getcharcount(t), 1);
    uint16_t *w = orbek_ustring_towcs(t);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(memcmp(w, pair, sizeof pair), 0);
    orbek_free(w);
    orbek_ustring_free(t);
}

TEST(UStringOtherForms, BmpUtf32AndAscii) {
    const uint8_t bmp[] = {0x00, 0x41, 0x4E, 0x2D, 0xFF, 0xFD};
    orbek_ustring *s = orbek_ustring_newbmp(bmp, 6);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(units_of(s), (Units{0x41, 0x4E2D, 0xFFFD}));
    uint8_t *b = nullptr;
    int32_t n = 0;
    ASSERT_EQ(orbek_ustring_tobmp(s, &b, &n), 1);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(Bytes(b, b + 8), (Bytes{0x00, 0x41, 0x4E, 0x2D, 0xFF, 0xFD, 0, 0}));
    orbek_free(b);
    orbek_ustring_free(s);
    EXPECT_EQ(orbek_ustring_newbmp(bmp, 5), nullptr);
    const uint8_t pair_be[] = {0xD8, 0x00, 0xDC, 0x00};
    EXPECT_EQ(orbek_ustring_newbmp(pair_be, 4), nullptr);

    const uint8_t be[] = {0, 0, 0, 0x41, 0, 0x01, 0xF6, 0x00, 0, 0x10, 0xFF, 0xFF};
    s = orbek_ustring_newutf32be(be, 12);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(units_of(s), (Units{0x41, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF}));
    EXPECT_EQ(orbek_ustring_getcharcount(s), 3);
    ASSERT_EQ(orbek_ustring_toutf32be(s, &b, &n), 1);
    EXPECT_EQ(Bytes(b, b + n), Bytes(be, be + 12));
    orbek_free(b);
    orbek_ustring_free(s);
    EXPECT_EQ(orbek_ustring_newutf32be(be, 11), nullptr);
    const uint8_t be_bad[][4] = {{0, 0, 0xD8, 0}, {0, 0x11, 0, 0}, {0x80, 0, 0, 0x41}};
    for (const auto &v : be_bad) EXPECT_EQ(orbek_ustring_newutf32be(v, 4), nullptr);

    const uint32_t cps[] = {0x1F600, 0, 0xFFFF};
    s = orbek_ustring_newutf32(cps, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(units_of(s), (Units{0xD83D, 0xDE00, 0, 0xFFFF}));
    orbek_ustring_free(s);
    const uint32_t bad_cps[] = {0x41, 0xDFFF};
    EXPECT_EQ(orbek_ustring_newutf32(bad_cps, 2), nullptr);
    const uint32_t too_big[] = {0x110000};
    EXPECT_EQ(orbek_ustring_newutf32(too_big, 1), nullptr);

    const uint8_t ascii[] = "plain text, longer than one block\0!";
    s = orbek_ustring_newascii(ascii, (int32_t)sizeof ascii - 1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(orbek_ustring_getcharcount(s), (int32_t)sizeof ascii - 1);
    EXPECT_EQ(utf8_back(s), Bytes(ascii, ascii + sizeof ascii - 1));
    orbek_ustring_free(s);
    uint8_t high[20];
    memset(high, 'a', sizeof high);
    high[17] = 0x80;
    EXPECT_EQ(orbek_ustring_newascii(high, 20), nullptr);
}

TEST(UStringArguments, NullsLengthsAndOversizes) {
    orbek_ustring *(*const ctors[])(const uint8_t *, int32_t) = {
        orbek_ustring_newutf8, orbek_ustring_newbmp, orbek_ustring_newutf32be, orbek_ustring_newascii};
    const uint8_t byte = 'a';
    for (auto ctor : ctors) {
        orbek_ustring *e = ctor(nullptr, 0);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(units_of(e), Units{});
        orbek_ustring_free(e);
        e = ctor(&byte, 0);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(orbek_ustring_getcharcount(e), 0);
        orbek_ustring_free(e);
        EXPECT_EQ(ctor(nullptr, 1), nullptr);
        EXPECT_EQ(ctor(&byte, -1), nullptr);
    }
    // A length whose buffer size does not fit in 32 bits fails before the
    // input is read.
    EXPECT_EQ(orbek_ustring_newutf8(&byte, 0x40000000), nullptr);
    EXPECT_EQ(orbek_ustring_newascii(&byte, 0x40000000), nullptr);
    EXPECT_EQ(orbek_ustring_newbmp(&byte, 0x7FFFFFFE), nullptr);
    orbek_ustring *e = orbek_ustring_newlength(nullptr, 0);
    ASSERT_NE(e, nullptr);
    orbek_ustring_free(e);
    EXPECT_EQ(orbek_ustring_newlength(nullptr, 1), nullptr);
    EXPECT_EQ(orbek_ustring_newutf32(nullptr, 1), nullptr);
    e = orbek_ustring_newutf32(nullptr, 0);
    ASSERT_NE(e, nullptr);
    orbek_ustring_free(e);
    const uint32_t cp = 'a';
    EXPECT_EQ(orbek_ustring_newutf32(&cp, 0x20000000), nullptr);

    e = orbek_ustring_new(nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(orbek_ustring_getcharcount(e), 0);
    orbek_ustring_free(e);
    e = orbek_ustring_newbstr(nullptr);
    ASSERT_NE(e, nullptr);
    orbek_ustring_free(e);
    EXPECT_EQ(orbek_ustring_newwcs(nullptr), nullptr);

    orbek_ustring *s = from_utf8({'h', 'i'});
    ASSERT_NE(s, nullptr);
    uint8_t *b = reinterpret_cast<uint8_t *>(&e);  // must stay untouched
    int32_t n = 0;
    EXPECT_EQ(orbek_ustring_toutf8(s, nullptr, &n), 0);
    EXPECT_EQ(orbek_ustring_toutf8(s, &b, nullptr), 0);
    EXPECT_EQ(b, reinterpret_cast<uint8_t *>(&e));
    EXPECT_EQ(orbek_ustring_toutf8(nullptr, &b, &n), 0);
    EXPECT_EQ(orbek_ustring_towcs(nullptr), nullptr);
    EXPECT_EQ(orbek_ustring_tobstr(nullptr), nullptr);
    EXPECT_EQ(orbek_ustring_getcharcount(nullptr), 0);
    EXPECT_EQ(orbek_ustring_dup(nullptr), nullptr);
    orbek_ustring_free(nullptr);
    orbek_ustring_freebstr(nullptr);
    orbek_ustring_free(s);
}

TEST(UStringLifetime, DupSharesAndLastFreeReleases) {
    long live = testalloc::live_blocks();
    orbek_ustring *s = from_utf8({'x'});
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_UString");
    EXPECT_EQ(testalloc::live_blocks(), live + 2) << "a record and its unit buffer";
    EXPECT_EQ(orbek_ustring_dup(s), s);
    orbek_ustring_free(s);
    EXPECT_EQ(testalloc::live_blocks(), live + 2);
    EXPECT_EQ(units_of(s), Units{'x'});
    orbek_ustring_free(s);
    EXPECT_EQ(testalloc::live_blocks(), live);
}

TEST(UStringBstr, RoundTripKeepsEmbeddedZeros) {
    const Units u = {0x41, 0, 0xD83D, 0xDE00, 0x42};
    orbek_ustring *s = orbek_ustring_newlength(u.data(), (int32_t)u.size());
    ASSERT_NE(s, nullptr);
    uint16_t *b = orbek_ustring_tobstr(s);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Units(b, b + u.size() + 1), (Units{0x41, 0, 0xD83D, 0xDE00, 0x42, 0}));
    uint32_t bytes;
    memcpy(&bytes, reinterpret_cast<uint8_t *>(b) - 4, 4);
    EXPECT_EQ(bytes, 10u) << "the byte count stands before the units";
    orbek_ustring *back = orbek_ustring_newbstr(b);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(units_of(back), u);
    EXPECT_EQ(orbek_ustring_getcharcount(back), 4);
    orbek_ustring_freebstr(b);
    orbek_ustring_free(back);
    orbek_ustring_free(s);

    // The byte length decides, and the units are validated like any others.
    orbek_ustring *ab = from_utf8({'A', 'B'});
    ASSERT_NE(ab, nullptr);
    uint16_t *eb = orbek_ustring_tobstr(ab);
    ASSERT_NE(eb, nullptr);
    eb[2] = 0xD800;  // beyond the byte length: not part of the string
    orbek_ustring *e = orbek_ustring_newbstr(eb);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(units_of(e), (Units{'A', 'B'}));
    orbek_ustring_free(e);
    eb[1] = 0xDC00;
    EXPECT_EQ(orbek_ustring_newbstr(eb), nullptr);
    orbek_ustring_freebstr(eb);
    EXPECT_EQ(testalloc::sweep([&] {
                  uint16_t *x = orbek_ustring_tobstr(ab);
                  orbek_ustring_freebstr(x);
                  return x != nullptr;
              }) <= 1, true);
    orbek_ustring_free(ab);
}

// Runs an encoder; a failure must leave no buffer with the caller.
template <typename T>
bool encodes(int32_t (*fn)(const orbek_ustring *, T **, int32_t *), const orbek_ustring *s) {
    T *out = nullptr;
    int32_t n;
    if (!fn(s, &out, &n)) {
        EXPECT_EQ(out, nullptr);
        return false;
    }
    orbek_free(out);
    return true;
}

TEST(UStringAllocation, EveryConstructorAndEncoderSurvivesFailure) {
    const Bytes text = utf8_of(mixed_text());
    const Units units = utf16_of(mixed_text());
    const uint8_t bmp[] = {0x4E, 0x2D, 0x00, 0x41};
    const uint8_t be[] = {0, 1, 0xF6, 0, 0, 0, 0, 0x41};
    const uint32_t cps[] = {0x1F600, 0x41};

    auto check = [](orbek_ustring *s) {
        if (!s) return false;
        orbek_ustring_free(s);
        return true;
    };
    EXPECT_EQ(testalloc::sweep([&] { return check(from_utf8(text)); }), 2);
    EXPECT_EQ(testalloc::sweep([&] { return check(orbek_ustring_newlength(units.data(), (int32_t)units.size())); }), 2);
    EXPECT_EQ(testalloc::sweep([&] { return check(orbek_ustring_new(nullptr)); }), 2);
    EXPECT_EQ(testalloc::sweep([&] { return check(orbek_ustring_newbmp(bmp, 4)); }), 2);
    EXPECT_EQ(testalloc::sweep([&] { return check(orbek_ustring_newutf32be(be, 8)); }), 2);
    EXPECT_EQ(testalloc::sweep([&] { return check(orbek_ustring_newutf32(cps, 2)); }), 2);
    EXPECT_EQ(testalloc::sweep([&] { return check(orbek_ustring_newascii(bmp, 4)); }), 2);

    orbek_ustring *s = from_utf8(text);
    orbek_ustring *b = orbek_ustring_newbmp(bmp, 4);
    ASSERT_TRUE(s && b);
    EXPECT_EQ(testalloc::sweep([&] { return encodes(orbek_ustring_toutf8, s); }), 1);
    EXPECT_EQ(testalloc::sweep([&] { return encodes(orbek_ustring_toutf16, s); }), 1);
    EXPECT_EQ(testalloc::sweep([&] { return encodes(orbek_ustring_toutf32be, s); }), 1);
    EXPECT_EQ(testalloc::sweep([&] { return encodes(orbek_ustring_toutf32, s); }), 1);
    EXPECT_EQ(testalloc::sweep([&] { return encodes(orbek_ustring_tobmp, b); }), 1);
    testalloc::sweep([&] {
        uint16_t *w = orbek_ustring_towcs(s);
        orbek_free(w);
        return w != nullptr;
    });
    orbek_ustring_free(s);
    orbek_ustring_free(b);
}
