#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Units = std::vector<uint16_t>;
using Cps = std::vector<uint32_t>;

// Independent reference encoders for building expectations.
Bytes utf8_of(const Cps &cps) {
    static const uint8_t lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    Bytes out;
    for (uint32_t c : cps) {
        int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        out.push_back((uint8_t)(lead[n] | c >> 6 * (n - 1)));
        for (int k = n - 2; k >= 0; --k) out.push_back((uint8_t)(0x80 | (c >> 6 * k & 0x3F)));
    }
    return out;
}

Units utf16_of(const Cps &cps) {
    Units out;
    for (uint32_t c : cps) {
        if (c < 0x10000) out.push_back((uint16_t)c);
        else out.insert(out.end(), {(uint16_t)(0xD800 + ((c - 0x10000) >> 10)), (uint16_t)(0xDC00 + (c & 0x3FF))});
    }
    return out;
}

orbek_ustring *from_utf8(const Bytes &b) { return orbek_ustring_newutf8(b.data(), (int32_t)b.size()); }

// Runs an encoder and returns its output, checking the `term` zeros after it.  A
// failure (in *ok, or a test failure without ok) must leave no buffer behind.
template <typename T>
std::vector<T> enc(int32_t (*fn)(const orbek_ustring *, T **, int32_t *), const orbek_ustring *s, int term = 1,
                   bool *ok = nullptr) {
    T *out = nullptr;
    int32_t n = -1;
    bool done = fn(s, &out, &n) != 0;
    if (ok) *ok = done;
    EXPECT_TRUE(done || ok) << "encoder failed";
    EXPECT_TRUE(done ? std::all_of(out + n, out + n + term, [](T t) { return t == 0; }) : !out);
    std::vector<T> v(out, out + (done ? n : 0));
    orbek_free(out);
    return v;
}

// Checks a new string's units and character count, then releases it.
void expect_units(orbek_ustring *s, const Units &want) {
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(enc(orbek_ustring_toutf16, s), want);
    auto chars = std::count_if(want.begin(), want.end(), [](uint16_t u) { return u < 0xDC00 || u > 0xDFFF; });
    EXPECT_EQ(orbek_ustring_getcharcount(s), (int32_t)chars);
    orbek_ustring_free(s);
}

// Runs of ASCII of growing length (the ASCII blocks at every alignment)
// separated by 2-, 3- and 4-byte characters.
Cps mixed_text() {
    Cps cps;
    const uint32_t others[] = {0xE9, 0x7FF, 0x800, 0x4E2D, 0xFFFD, 0xFEFF, 0x10000, 0x1F600, 0x10FFFF, 0xD7FF, 0xE000};
    for (int run = 0; run < 40; ++run) {
        for (int k = 0; k < run; ++k) cps.push_back((uint32_t)('a' + (run + k) % 26));
        cps.push_back(others[run % 11]);
    }
    cps.push_back(0);  // U+0000 inside the text
    for (int k = 0; k < 37; ++k) cps.push_back((uint32_t)('A' + k % 26));
    return cps;
}

// A byte form: its constructor, its encoder and the encoder's terminator width.
struct Form {
    orbek_ustring *(*make)(const uint8_t *, int32_t);
    int32_t (*back)(const orbek_ustring *, uint8_t **, int32_t *);
    int term;
};
const Form kUtf8{orbek_ustring_newutf8, orbek_ustring_toutf8, 1}, kBmp{orbek_ustring_newbmp, orbek_ustring_tobmp, 2},
    kBe{orbek_ustring_newutf32be, orbek_ustring_toutf32be, 4}, kAscii{orbek_ustring_newascii, orbek_ustring_toutf8, 1};

}  // namespace

TEST(UStringUtf8, RoundTripsAtEveryAlignmentAndWidth) {
    std::vector<Cps> texts = {mixed_text()};
    // Texts of one width ending exactly at, before and after a block boundary;
    // the sanitizer build checks that no block writes past its buffer.
    for (uint32_t c : {0x61u, 0xE9u, 0x4E2Du, 0x1F600u})
        for (size_t n = 1; n <= 26; ++n) {
            texts.push_back(Cps(n, c));
            texts.back()[n / 2] = c + 1;
        }
    for (const Cps &cps : texts) {
        Bytes in = utf8_of(cps);
        orbek_ustring *s = from_utf8(in);
        EXPECT_EQ(orbek_ustring_getcharcount(s), (int32_t)cps.size());
        EXPECT_EQ(enc(orbek_ustring_toutf16, s), utf16_of(cps)) << std::hex << cps[0] << " x " << cps.size();
        EXPECT_EQ(enc(orbek_ustring_toutf8, s), in);
        EXPECT_EQ(enc(orbek_ustring_toutf32, s), cps);
        orbek_ustring_free(s);
    }
    // A prefix that ends on a sequence boundary decodes; one that cuts a sequence fails.
    Bytes in = utf8_of(texts[0]);
    for (size_t cut = 0; cut < 120; ++cut) {
        orbek_ustring *p = orbek_ustring_newutf8(in.data(), (int32_t)cut);
        EXPECT_EQ(p != nullptr, (in[cut] & 0xC0) != 0x80) << "prefix of " << cut << " bytes";
        orbek_ustring_free(p);
    }
}

TEST(UStringUtf8, RefusesMalformedInput) {
    // Overlong forms, surrogates, beyond U+10FFFF, truncated and stray bytes.
    const std::vector<Bytes> bad = {{0xC0, 0x80}, {0xC1, 0xBF}, {0xE0, 0x9F, 0xBF}, {0xF0, 0x8F, 0xBF, 0xBF},
        {0xED, 0xA0, 0x80}, {0xED, 0xBF, 0xBF}, {0xF4, 0x90, 0x80, 0x80}, {0xF5, 0x80, 0x80, 0x80}, {0xFF},
        {0xE2, 0x82}, {0x80}, {0x41, 0xC3}, {0xC3, 0x41}, {0xE2, 0x28, 0xA1}};
    long live = testalloc::live_blocks();
    for (const Bytes &b : bad) {
        // The same fault after a long ASCII run (the block path) is refused too.
        Bytes padded(35 + b.size() + 20, 'y');
        memset(padded.data(), 'x', 35);
        memcpy(padded.data() + 35, b.data(), b.size());
        EXPECT_TRUE(!from_utf8(b) && !from_utf8(padded)) << "first byte " << std::hex << (int)b[0];
    }
    EXPECT_EQ(testalloc::live_blocks(), live);
}

TEST(UStringForms, EveryFormDecodesValidatesAndEncodesBack) {
    const char ascii[] = "plain text, longer than one block\0!";
    const struct { Form form; Bytes in; Units want; } forms[] = {
        {kUtf8, {0x00}, {0}},
        {kUtf8, {0xF0, 0x9F, 0x98, 0x80}, {0xD83D, 0xDE00}},
        {kUtf8, {0xEF, 0xBB, 0xBF, 0x41}, {0xFEFF, 0x41}},
        {kBmp, {0x00, 0x41, 0x4E, 0x2D, 0xFF, 0xFD}, {0x41, 0x4E2D, 0xFFFD}},
        {kBe, {0, 0, 0, 0x41, 0, 0x01, 0xF6, 0x00, 0, 0x10, 0xFF, 0xFF}, {0x41, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF}},
        {kAscii, Bytes(ascii, ascii + sizeof ascii - 1), Units(ascii, ascii + sizeof ascii - 1)},
    };
    for (const auto &c : forms) {
        orbek_ustring *s = c.form.make(c.in.data(), (int32_t)c.in.size());
        EXPECT_EQ(enc(c.form.back, s, c.form.term), c.in);
        bool bmp = false;  // a supplementary character has no UCS-2 form
        enc(orbek_ustring_tobmp, s, 2, &bmp);
        EXPECT_EQ(bmp, std::none_of(c.want.begin(), c.want.end(), [](uint16_t u) { return u >> 11 == 0xD800 >> 11; }));
        expect_units(s, c.want);
    }

    const Units good = {0x41, 0xD83D, 0xDE00, 0, 0x42};
    orbek_ustring *s = orbek_ustring_newlength(good.data(), (int32_t)good.size());
    EXPECT_EQ(enc(orbek_ustring_toutf8, s), (Bytes{0x41, 0xF0, 0x9F, 0x98, 0x80, 0x00, 0x42}));
    expect_units(s, good);
    const std::vector<Units> bad = {{0xDC00}, {0x41, 0xDFFF, 0x41}, {0xD800, 0x41}, {0x41, 0xD800},
                                    {0xD800, 0xD800, 0xDC00}};
    for (const Units &u : bad) EXPECT_EQ(orbek_ustring_newlength(u.data(), (int32_t)u.size()), nullptr);
    // The count decides: a high surrogate last in it is refused though its partner follows.
    const uint16_t pair[] = {0xD800, 0xDC00, 0};
    EXPECT_EQ(orbek_ustring_newlength(pair, 1), nullptr);
    s = orbek_ustring_new(pair);
    uint16_t *w = orbek_ustring_towcs(s);
    EXPECT_TRUE(w && memcmp(w, pair, sizeof pair) == 0);
    orbek_free(w);
    expect_units(s, {0xD800, 0xDC00});

    const uint32_t cps[] = {0x1F600, 0, 0xFFFF};
    expect_units(orbek_ustring_newutf32(cps, 3), {0xD83D, 0xDE00, 0, 0xFFFF});
}

TEST(UStringArguments, RefusalsOversizesAndNulls) {
    const uint8_t byte = 'a';
    for (const Form &f : {kUtf8, kBmp, kBe, kAscii}) {
        expect_units(f.make(nullptr, 0), {});
        expect_units(f.make(&byte, 0), {});
        EXPECT_EQ(f.make(nullptr, 1), nullptr);
        EXPECT_EQ(f.make(&byte, -1), nullptr);
    }
    // Refused values leave nothing allocated; a length whose buffer size does
    // not fit in 32 bits fails before the input is read.
    const uint32_t cp = 'a', surrogate[] = {0x41, 0xDFFF}, too_big[] = {0x110000};
    const uint8_t pair[] = {0xD8, 0x00, 0xDC, 0x00}, be_low[] = {0, 0, 0xDC, 0}, be_big[] = {0, 0x11, 0, 0},
                  high[] = "aaaaaaaaaaaaaaaaa\x80" "aa";
    long live = testalloc::live_blocks();
    for (orbek_ustring *refused : {orbek_ustring_newbmp(pair, 4), orbek_ustring_newutf32be(be_low, 4),
                                   orbek_ustring_newutf32be(be_big, 4), orbek_ustring_newascii(high, 20),
                                   orbek_ustring_newutf32(surrogate, 2), orbek_ustring_newutf32(too_big, 1),
                                   orbek_ustring_newutf8(&byte, 0x40000000), orbek_ustring_newascii(&byte, 0x40000000),
                                   orbek_ustring_newbmp(&byte, 0x7FFFFFFE), orbek_ustring_newutf32(&cp, 0x20000000),
                                   orbek_ustring_newlength(nullptr, 1), orbek_ustring_newutf32(nullptr, 1),
                                   orbek_ustring_newwcs(nullptr)})
        EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(testalloc::live_blocks(), live);
    for (orbek_ustring *e : {orbek_ustring_newlength(nullptr, 0), orbek_ustring_newutf32(nullptr, 0),
                             orbek_ustring_new(nullptr), orbek_ustring_newbstr(nullptr)})
        expect_units(e, {});

    orbek_ustring *s = from_utf8({'h', 'i'});
    uint8_t *b = const_cast<uint8_t *>(&byte);  // must stay untouched
    int32_t n = 0;
    EXPECT_TRUE(!orbek_ustring_toutf8(s, nullptr, &n) && !orbek_ustring_toutf8(s, &b, nullptr) &&
                !orbek_ustring_toutf8(nullptr, &b, &n) && b == &byte);
    EXPECT_TRUE(!orbek_ustring_towcs(nullptr) && !orbek_ustring_tobstr(nullptr) && !orbek_ustring_dup(nullptr) &&
                orbek_ustring_getcharcount(nullptr) == 0);
    orbek_ustring_free(nullptr);
    orbek_ustring_freebstr(nullptr);
    orbek_ustring_free(s);
}

TEST(UStringBstr, RoundTripKeepsEmbeddedZeros) {
    const Units u = {0x41, 0, 0xD83D, 0xDE00, 0x42};
    orbek_ustring *s = orbek_ustring_newlength(u.data(), (int32_t)u.size());
    uint16_t *b = orbek_ustring_tobstr(s);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Units(b, b + u.size() + 1), (Units{0x41, 0, 0xD83D, 0xDE00, 0x42, 0}));
    uint32_t bytes;
    memcpy(&bytes, reinterpret_cast<uint8_t *>(b) - 4, 4);
    EXPECT_EQ(bytes, 10u) << "the byte count stands before the units";
    // The byte length decides, and the units are validated like any others.
    b[5] = 0xD800;  // beyond the byte length: not part of the string
    expect_units(orbek_ustring_newbstr(b), u);
    b[4] = 0xDC00;
    EXPECT_EQ(orbek_ustring_newbstr(b), nullptr);
    orbek_ustring_freebstr(b);
    auto tobstr = [&] { uint16_t *x = orbek_ustring_tobstr(s); return orbek_ustring_freebstr(x), x != nullptr; };
    EXPECT_LE(testalloc::sweep(tobstr), 1);
    orbek_ustring_free(s);
}

TEST(UStringAllocation, SharedRecordsAndFailureAtEveryStep) {
    long live = testalloc::live_blocks();
    orbek_ustring *x = from_utf8({'x'});
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_UString");
    EXPECT_EQ(testalloc::live_blocks(), live + 2) << "a record and its unit buffer";
    EXPECT_EQ(orbek_ustring_dup(x), x);
    orbek_ustring_free(x);
    EXPECT_EQ(testalloc::live_blocks(), live + 2) << "a duplicate shares, the last free releases";
    expect_units(x, {'x'});
    EXPECT_EQ(testalloc::live_blocks(), live);

    const Bytes text = utf8_of(mixed_text());
    const Units units = utf16_of(mixed_text());
    const uint8_t bmp[] = {0x4E, 0x2D, 0x00, 0x41}, be[] = {0, 1, 0xF6, 0, 0, 0, 0, 0x41};
    const uint32_t cps[] = {0x1F600, 0x41};
    const std::function<orbek_ustring *()> makers[] = {
        [&] { return from_utf8(text); }, [&] { return orbek_ustring_newlength(units.data(), (int32_t)units.size()); },
        [] { return orbek_ustring_new(nullptr); }, [&] { return orbek_ustring_newbmp(bmp, 4); },
        [&] { return orbek_ustring_newutf32be(be, 8); }, [&] { return orbek_ustring_newutf32(cps, 2); },
        [&] { return orbek_ustring_newascii(bmp, 4); }};
    for (const auto &make : makers)
        EXPECT_EQ(testalloc::sweep([&] { orbek_ustring *s = make(); return orbek_ustring_free(s), s != nullptr; }), 2);

    orbek_ustring *s = from_utf8(text), *b = orbek_ustring_newbmp(bmp, 4);
    ASSERT_TRUE(s && b);
    bool ok;
    const std::function<bool()> encoders[] = {
        [&] { return enc(orbek_ustring_toutf8, s, 1, &ok), ok; }, [&] { return enc(orbek_ustring_toutf16, s, 1, &ok), ok; },
        [&] { return enc(orbek_ustring_toutf32be, s, 4, &ok), ok; }, [&] { return enc(orbek_ustring_toutf32, s, 1, &ok), ok; },
        [&] { return enc(orbek_ustring_tobmp, b, 2, &ok), ok; },
        [&] { uint16_t *w = orbek_ustring_towcs(s); return orbek_free(w), w != nullptr; }};
    for (const auto &op : encoders) EXPECT_EQ(testalloc::sweep(op), 1);
    orbek_ustring_free(s);
    orbek_ustring_free(b);
}
