// Charsets: the name table and its resolution, the Unicode forms by name,
// conversions through the system's code pages (known vectors, every table
// row), registered converters and allocation failures.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"
#include "ustring/charset.h"
#include "ustring/codepage.h"

namespace {

using Bytes = std::string;  // byte strings compare and print easily this way
using orbek::charset::Record;

struct Vector {
    const char *charset;
    const char *bytes;
    int32_t len;
    const char *utf8;
    int32_t utf8_len;
    int both;
};
const Vector kVectors[] = {
#include "ustring/data/charset_vectors.inc"
};

const uint8_t *u8(const Bytes &b) { return reinterpret_cast<const uint8_t *>(b.data()); }

orbek_ustring *utf8(const Bytes &b) { return orbek_ustring_newutf8(u8(b), (int32_t)b.size()); }

// The UTF-8 of s (a null s gives "<null>").
Bytes text_of(const orbek_ustring *s) {
    uint8_t *out;
    int32_t n;
    if (!s || !orbek_ustring_toutf8(s, &out, &n)) return "<null>";
    Bytes r(reinterpret_cast<char *>(out), (size_t)n);
    orbek_free(out);
    return r;
}

// Decodes and releases.
Bytes decode(const char *charset, const Bytes &in) {
    orbek_ustring *s = orbek_ustring_newmbs(charset, u8(in), (int32_t)in.size());
    Bytes r = text_of(s);
    orbek_ustring_free(s);
    return r;
}

// Encodes the UTF-8 text; "<fail>" when tombs refuses, which must then leave
// nothing behind.  `term` zero bytes must follow the result.
Bytes encode(const char *charset, const Bytes &text, int term = 1) {
    orbek_ustring *s = utf8(text);
    EXPECT_NE(s, nullptr);
    uint8_t *out = reinterpret_cast<uint8_t *>(1);
    int32_t n = -1;
    bool ok = orbek_ustring_tombs(s, charset, &out, &n) == 1;
    orbek_ustring_free(s);
    if (!ok) {
        EXPECT_TRUE(out == nullptr && n == 0);
        return "<fail>";
    }
    for (int k = 0; k < term; ++k) EXPECT_EQ(out[n + k], 0) << charset;
    Bytes r(reinterpret_cast<char *>(out), (size_t)n);
    orbek_free(out);
    return r;
}

bool same(const Record &a, uint32_t primary, uint32_t fallback) {
    return a.primary == primary && a.fallback == fallback;
}

// A converter that records its call and answers as told.
struct Fake {
    int calls = 0;
    std::string name;
    int32_t status = 1;
    int32_t count = 0;        // what it claims to have written
    std::vector<uint16_t> units;  // what it writes (multibyte to Unicode)
    Bytes bytes;              // what it writes (Unicode to multibyte)
};

int32_t fake_mbs(void *user, const char *charset, const uint8_t *, int32_t, uint16_t *out, int32_t cap,
                 int32_t *n) {
    Fake *f = static_cast<Fake *>(user);
    ++f->calls;
    f->name = charset;
    for (size_t i = 0; i < f->units.size() && (int32_t)i < cap; ++i) out[i] = f->units[i];
    *n = f->count;
    return f->status;
}

int32_t fake_wcs(void *user, const char *charset, const uint16_t *, int32_t, uint8_t *out, int32_t cap,
                 int32_t *n) {
    Fake *f = static_cast<Fake *>(user);
    ++f->calls;
    f->name = charset;
    for (size_t i = 0; i < f->bytes.size() && (int32_t)i < cap; ++i) out[i] = (uint8_t)f->bytes[i];
    *n = f->count;
    return f->status;
}

// Registers both fakes for the life of a scope.
struct Registered {
    Fake mbs, wcs;
    Registered() {
        orbek_ustring_setmbstowcscallback(&mbs, fake_mbs);
        orbek_ustring_setwcstombscallback(&wcs, fake_wcs);
    }
    ~Registered() {
        orbek_ustring_setmbstowcscallback(nullptr, nullptr);
        orbek_ustring_setwcstombscallback(nullptr, nullptr);
    }
};

}  // namespace

TEST(CharsetTable, OrderCountsAndLookup) {
    using orbek::charset::kTable;
    using orbek::charset::kTableSize;
    ASSERT_EQ(kTableSize, 355);
    std::set<std::pair<uint32_t, uint32_t>> pairs;
    for (int32_t i = 0; i < kTableSize; ++i) {
        const Record &r = kTable[i];
        EXPECT_TRUE(i == 0 || strcmp(kTable[i - 1].name, r.name) < 0) << r.name << " out of order";
        for (const char *p = r.name; *p; ++p) EXPECT_FALSE(*p >= 'a' && *p <= 'z') << r.name;
        EXPECT_TRUE(r.primary && r.fallback) << r.name;
        pairs.insert({r.primary, r.fallback});
        // Every name finds its own row.
        EXPECT_EQ(orbek::charset::resolve(r.name).name, r.name);
    }
    EXPECT_EQ(pairs.size(), 119u);
    EXPECT_STREQ(kTable[0].name, "ANSI_X3.4-1968");
    EXPECT_STREQ(kTable[kTableSize - 1].name, "_ISO-2022-JP$SIO");
    // Byte order puts the space and the parenthesis before the letters.
    EXPECT_TRUE(same(orbek::charset::resolve("IBM EBCDIC(US-CANADA)"), 37, 1252));
    EXPECT_TRUE(same(orbek::charset::resolve("ISO-8859-8-I"), 38598, 1255));
    EXPECT_TRUE(same(orbek::charset::resolve("UTF-7"), 65000, 1200));
}

TEST(CharsetTable, NameResolution) {
    using orbek::charset::resolve;
    for (const char *n : {"cp1252", "Cp1252", "CP1252", "cP1252"}) EXPECT_TRUE(same(resolve(n), 1252, 1252)) << n;
    EXPECT_TRUE(same(resolve("CP0037"), 37, 37));
    uint32_t gb = orbek::codepage::valid(54936) ? 54936 : 936;
    EXPECT_TRUE(same(resolve("CP936"), gb, gb));
    EXPECT_TRUE(same(resolve("GBK"), 936, 936));  // only the "CP" form is read as 54936
    // Too many digits name no page the system has.
    EXPECT_FALSE(orbek::codepage::valid(resolve("CP4294968548").primary));
    for (const char *miss : {(const char *)"CP", "CP12A", "CP-1", "UTF8", "WINDOWS-1252 ", "windows-1252", "", (const char *)nullptr}) {
        Record r = resolve(miss);
        EXPECT_TRUE(r.name == nullptr && same(r, 0, 0)) << (miss ? miss : "null");
    }
}

TEST(CharsetUnicodeForms, ExactPaths) {
    // Names are matched in any case; UTF8 without the hyphen is no form.
    EXPECT_EQ(decode("utf-8", "h\xc3\xa9"), "h\xc3\xa9");
    EXPECT_EQ(decode("UTF8", "h"), "<null>");
    EXPECT_EQ(decode("Utf-16be", Bytes("\x00\x41\xd8\x3d\xde\x00", 6)), "A\xf0\x9f\x98\x80");
    EXPECT_EQ(decode("UTF-16BE", Bytes("\x00\x41\xd8\x3d\xde", 5)), "<null>");
    EXPECT_EQ(decode("UTF-16LE", Bytes("\x41\x00\x3d\xd8\x00\xde", 6)), "A\xf0\x9f\x98\x80");
    EXPECT_EQ(decode("UTF-16LE", Bytes("\x00\xde\x3d\xd8", 4)), "<null>");  // pair in the wrong order
    EXPECT_EQ(decode("UTF-16BE", Bytes("\xfe\xff\x00\x41", 4)), "\xef\xbb\xbf" "A");  // the BOM stays
    EXPECT_EQ(decode("UTF-32LE", Bytes("\x41\0\0\0\x00\xf6\x01\x00", 8)), "A\xf0\x9f\x98\x80");
    EXPECT_EQ(decode("UTF-32BE", Bytes("\0\0\0\x41\0\x01\xf6\x00", 8)), "A\xf0\x9f\x98\x80");
    for (const Bytes &bad : {Bytes("\x41\0\0", 3), Bytes("\x00\xd8\0\0", 4), Bytes("\0\0\x11\0", 4)})
        EXPECT_EQ(decode("UTF-32LE", bad), "<null>");
    EXPECT_EQ(decode("ascii", "abc"), "abc");
    EXPECT_EQ(decode("ASCII", "ab\xe9"), "<null>");

    EXPECT_EQ(encode("UTF-32LE", "AB", 4), Bytes("A\0\0\0B\0\0\0", 8));
    EXPECT_EQ(encode("UTF-32LE", "\xf0\x9f\x98\x80", 4), Bytes("\x00\xf6\x01\x00", 4));
    EXPECT_EQ(encode("utf-32be", "\xf0\x9f\x98\x80", 4), Bytes("\x00\x01\xf6\x00", 4));
    EXPECT_EQ(encode("UTF-16BE", "AB"), Bytes("\0A\0B", 4));
    EXPECT_EQ(encode("UTF-16LE", "A\xf0\x9f\x98\x80"), Bytes("A\0\x3d\xd8\x00\xde", 6));
    EXPECT_EQ(encode("UTF-8", "h\xc3\xa9"), "h\xc3\xa9");
    EXPECT_EQ(encode("ascii", "plain"), "plain");
    EXPECT_EQ(encode("ASCII", "caf\xc3\xa9"), "<fail>");
}

TEST(CharsetArguments, NullsLengthsAndTheEmptyString) {
    const uint8_t b = 'a';
    long live = testalloc::live_blocks();
    for (const char *cs : {(const char *)nullptr, "", "NO-SUCH-CHARSET", "UTF-16BE"}) {
        // Length 0 is the empty string whatever the charset.
        orbek_ustring *e = orbek_ustring_newmbs(cs, &b, 0);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(orbek_ustring_getcharcount(e), 0);
        orbek_ustring_free(e);
        e = orbek_ustring_newmbs(cs, nullptr, 0);
        EXPECT_NE(e, nullptr);
        orbek_ustring_free(e);
        EXPECT_EQ(orbek_ustring_newmbs(cs, nullptr, 1), nullptr);
        EXPECT_EQ(orbek_ustring_newmbs(cs, &b, -1), nullptr);
        // The empty string encodes to one 0 byte in any charset name.
        EXPECT_TRUE(!cs || encode(cs, "").empty());
    }
    EXPECT_EQ(orbek_ustring_newmbs(nullptr, &b, 1), nullptr);
    EXPECT_EQ(orbek_ustring_newmbs("", &b, 1), nullptr);
    orbek_ustring *s = utf8("a");
    uint8_t *out = nullptr;
    int32_t n = 0;
    EXPECT_EQ(orbek_ustring_tombs(nullptr, "UTF-8", &out, &n), 0);
    EXPECT_EQ(orbek_ustring_tombs(s, nullptr, &out, &n), 0);
    EXPECT_EQ(orbek_ustring_tombs(s, "UTF-8", nullptr, &n), 0);
    EXPECT_EQ(orbek_ustring_tombs(s, "UTF-8", &out, nullptr), 0);
    orbek_ustring_free(s);
    EXPECT_EQ(testalloc::live_blocks(), live);
}

TEST(CharsetCodePages, KnownVectorsBothWays) {
    std::set<std::string> skipped;
    for (const Vector &v : kVectors) {
        uint32_t page = orbek::charset::resolve(v.charset).primary;
        if (!orbek::codepage::valid(page)) {
            skipped.insert(v.charset);
            continue;
        }
        Bytes raw(v.bytes, (size_t)v.len), text(v.utf8, (size_t)v.utf8_len);
        EXPECT_EQ(decode(v.charset, raw), text) << v.charset << " decoding " << v.len << " bytes";
        EXPECT_TRUE(!v.both || encode(v.charset, text) == raw) << v.charset << " encoding";
    }
    for (const std::string &c : skipped) printf("no code page for %s here\n", c.c_str());
    EXPECT_LE(skipped.size(), 2u);
}

TEST(CharsetCodePages, SubstitutionsAsWindowsMakesThem) {
    // A character the page lacks becomes its default character, one per
    // UTF-16 unit; EBCDIC's is 0x6F.
    EXPECT_EQ(encode("WINDOWS-1252", "a\xe4\xb8\xad" "b"), "a?b");
    EXPECT_EQ(encode("WINDOWS-1251", "\xf0\x9f\x98\x80"), "??");
    EXPECT_EQ(encode("EBCDIC-CP-US", "a\xe4\xb8\xad"), "\x81\x6f");
    EXPECT_EQ(encode("SHIFT_JIS", "\xe0\xb8\x81" "A"), "?A");
    // The encoder's result must fit 4 bytes per character: ISO-2022-JP's
    // escapes around every kanji overflow, and the fallback page (932) is
    // used, as it is where the system lacks ISO-2022-JP.
    EXPECT_EQ(encode("ISO-2022-JP", "a\xe6\xbc\xa2" "b\xe5\xad\x97"), "a\x8a\xbf" "b\x8e\x9a");
    const Bytes kanji4 = "\xe6\xbc\xa2\xe5\xad\x97\xe6\xbc\xa2\xe5\xad\x97";
    EXPECT_EQ(encode("ISO-2022-JP", kanji4),
              orbek::codepage::valid(50220) ? "\x1b$B4A;z4A;z\x1b(B" : "\x8a\xbf\x8e\x9a\x8a\xbf\x8e\x9a");
}

TEST(CharsetCodePages, EveryConvertibleRowRoundTrips) {
    const Bytes text = "ABC XYZ 0123";
    int converted = 0;
    for (int32_t i = 0; i < orbek::charset::kTableSize; ++i) {
        const Record &r = orbek::charset::kTable[i];
        if (!orbek::codepage::valid(r.primary) && !orbek::codepage::valid(r.fallback)) continue;
        Bytes raw = encode(r.name, text);
        EXPECT_NE(raw, "<fail>") << r.name;
        EXPECT_EQ(decode(r.name, raw), text) << r.name;
        ++converted;
    }
    printf("%d of %d charset names convert here\n", converted, (int)orbek::charset::kTableSize);
    EXPECT_GE(converted, 300);
}

TEST(CharsetConverters, CalledOnlyWhenNoPageServes) {
    // Without a registered converter a name without a page fails.
    EXPECT_EQ(decode("X-UNKNOWN", "abc"), "<null>");
    EXPECT_EQ(encode("X-UNKNOWN", "abc"), "<fail>");
    {
        Registered reg;
        reg.mbs.units = {'h', 0xD83D, 0xDE00};
        reg.mbs.count = 3;
        EXPECT_EQ(decode("x-Unknown", "abc"), "h\xf0\x9f\x98\x80");
        EXPECT_EQ(reg.mbs.calls, 1);
        EXPECT_EQ(reg.mbs.name, "X-UNKNOWN");  // the caller's name upper-cased
        reg.wcs.bytes = "xyz";
        reg.wcs.count = 3;
        EXPECT_EQ(encode("x-unknown", "abc"), "xyz");
        EXPECT_EQ(reg.wcs.name, "X-UNKNOWN");
        // Names the system converts never reach the converter.
        EXPECT_EQ(decode("windows-1252", "\xe9"), "\xc3\xa9");
        EXPECT_EQ(encode("cp1252", "\xc3\xa9"), "\xe9");
        EXPECT_EQ(reg.mbs.calls + reg.wcs.calls, 2);

        // Failure statuses and counts outside the buffer fail cleanly; so do
        // lone surrogates from the converter.
        long live = testalloc::live_blocks();
        const struct { int32_t status, count; } bad[] = {{0, 1}, {2, 1}, {-1, 1}, {1, -1}, {1, 5}, {1, 1000}};
        for (const auto &c : bad) {
            reg.mbs.status = reg.wcs.status = c.status;
            reg.mbs.count = reg.wcs.count = c.count;
            EXPECT_EQ(decode("X-UNKNOWN", "abc"), "<null>") << c.status << " " << c.count;
            EXPECT_EQ(encode("X-UNKNOWN", "a"), "<fail>") << c.status << " " << c.count;  // capacity 4 bytes, 3 units
        }
        reg.mbs.status = 1;
        reg.mbs.units = {'a', 0xDC00};
        reg.mbs.count = 2;
        EXPECT_EQ(decode("X-UNKNOWN", "abc"), "<null>");
        EXPECT_EQ(testalloc::live_blocks(), live);
    }
    EXPECT_EQ(decode("X-UNKNOWN", "abc"), "<null>");  // removed again
}

TEST(CharsetDefault, NamesTheAnsiPage) {
    char *name = orbek_ustring_getdefaultcharset();
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(testalloc::last_file(), "win32\\string");
    EXPECT_EQ(strncmp(name, "cp", 2), 0);
    uint32_t page = (uint32_t)strtoul(name + 2, nullptr, 10);
    EXPECT_NE(page, 936u);
    EXPECT_EQ(page == 54936, orbek::codepage::ansi() == 936 || orbek::codepage::ansi() == 54936);
    std::string upper(name);
    upper[0] = 'C';
    upper[1] = 'P';
    EXPECT_TRUE(orbek::codepage::valid(orbek::charset::resolve(upper.c_str()).primary)) << name;
    // It names the page a path goes through: ASCII comes back unchanged.
    EXPECT_EQ(encode(name, "lib/path.so"), "lib/path.so");
    orbek_free(name);
}

TEST(CharsetAllocation, SweepsOverEveryPath) {
    const Bytes longname = "X-" + std::string(100, 'N');  // longer than the inline name buffer
    Registered reg;
    reg.mbs.units = {'o', 'k'};
    reg.mbs.count = 2;
    reg.wcs.bytes = "ok";
    reg.wcs.count = 2;
    const struct { const char *charset; Bytes bytes; } cases[] = {
        {"UTF-8", "caf\xc3\xa9"}, {"ASCII", "abc"}, {"UTF-16LE", Bytes("a\0b\0", 4)},
        {"UTF-32LE", Bytes("a\0\0\0", 4)}, {"UTF-32BE", Bytes("\0\0\0a", 4)}, {"WINDOWS-1251", "\xcf\xf0\xe8"},
        {"SHIFT_JIS", "\x93\xfa\x96\x7b\x8c\xea"}, {"UTF-16BE", Bytes("\0a", 2)}, {longname.c_str(), "zz"},
    };
    for (const auto &c : cases) {
        testalloc::sweep([&] {
            orbek_ustring *s = orbek_ustring_newmbs(c.charset, u8(c.bytes), (int32_t)c.bytes.size());
            if (!s) return false;
            uint8_t *out;
            int32_t n;
            bool ok = orbek_ustring_tombs(s, c.charset, &out, &n) == 1;
            orbek_ustring_free(s);
            if (ok) orbek_free(out);
            return ok;
        });
    }
    orbek_ustring *empty = utf8("");
    testalloc::sweep([&] {
        uint8_t *out;
        int32_t n;
        if (!orbek_ustring_tombs(empty, "NOTHING", &out, &n)) return false;
        orbek_free(out);
        return true;
    });
    orbek_ustring_free(empty);
    testalloc::sweep([] {
        char *name = orbek_ustring_getdefaultcharset();
        orbek_free(name);
        return name != nullptr;
    });
}
