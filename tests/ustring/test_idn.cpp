// IDN: Punycode (RFC 3492 samples), the preparation tables, label and name
// ToASCII/ToUnicode, allocation failures.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"
#include "ustring/prep.h"

using namespace orbek::prep;

namespace {

using Cps = std::vector<uint32_t>;

orbek_ustring *from_utf8(const std::string &s) {
    return orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(s.data()), (int32_t)s.size());
}

std::string utf8_of(const orbek_ustring *s) {
    uint8_t *b = nullptr;
    int32_t n = 0;
    EXPECT_TRUE(orbek_ustring_toutf8(s, &b, &n));
    std::string out(reinterpret_cast<char *>(b), (size_t)n);
    orbek_free(b);
    return out;
}

Cps cps_of(const orbek_ustring *s) {
    uint32_t *v = nullptr;
    int32_t n = 0;
    EXPECT_TRUE(orbek_ustring_toutf32(s, &v, &n));
    Cps out(v, v + n);
    orbek_free(v);
    return out;
}

// Flag sets as a string of letters: a allow-unassigned, s STD3, w wildcard.
struct Flags {
    uint32_t a, s, w;
    Flags(const char *f) : a(strchr(f, 'a') != nullptr), s(strchr(f, 's') != nullptr), w(strchr(f, 'w') != nullptr) {}
};

const char kFail[] = "<fail>";

// ToASCII of a label (or a name) as text, or kFail.
std::string to_ascii(const std::string &in, const char *flags, bool name) {
    orbek_ustring *s = from_utf8(in);
    EXPECT_NE(s, nullptr);
    Flags f(flags);
    char *out = reinterpret_cast<char *>(1);
    int32_t len = -1;
    int32_t ok = name ? orbek_ustring_idn_toascii(s, f.a, f.s, f.w, &out, &len)
                      : orbek_ustring_idnlabel_toascii(s, f.a, f.s, f.w, &out, &len);
    orbek_ustring_free(s);
    if (!ok) {
        EXPECT_TRUE(out == nullptr && len == 0) << "a failure hands nothing out";
        return kFail;
    }
    EXPECT_EQ(strlen(out), (size_t)len);
    std::string r(out, (size_t)len);
    orbek_free(out);
    return r;
}

// ToUnicode as text, and whether the result is the input handle itself.
std::string to_unicode(const std::string &in, const char *flags, bool name, bool *same) {
    orbek_ustring *s = from_utf8(in);
    Flags f(flags);
    orbek_ustring *r = name ? orbek_ustring_idn_tounicode(s, f.a, f.s, f.w)
                            : orbek_ustring_idnlabel_tounicode(s, f.a, f.s, f.w);
    EXPECT_NE(r, nullptr);
    *same = r == s;
    std::string out = utf8_of(r);
    orbek_ustring_free(r);
    orbek_ustring_free(s);
    return out;
}

// ---------------------------------------------------------------- Punycode

struct Sample {
    Cps cps;
    const char *encoded;
};

#include "data/punycode_samples.inc"

std::vector<uint16_t> units_of(const std::string &ascii) { return std::vector<uint16_t>(ascii.begin(), ascii.end()); }

// Decodes text; the code points, or an empty list with *ok false.
Cps decode(const std::string &text, bool *ok) {
    std::vector<uint16_t> u = units_of(text);
    bool oom = true;
    orbek_ustring *s = punycode_decode(u.data(), (int32_t)u.size(), &oom);
    EXPECT_FALSE(oom);
    *ok = s != nullptr;
    Cps out = s ? cps_of(s) : Cps();
    orbek_ustring_free(s);
    return out;
}

TEST(Punycode, Rfc3492SamplesBothWays) {
    for (const Sample &t : kSamples) {
        UnitBuf buf;
        ASSERT_TRUE(punycode_encode(t.cps.data(), (int32_t)t.cps.size(), &buf));
        EXPECT_EQ(std::vector<uint16_t>(buf.units(), buf.units() + buf.length()), units_of(t.encoded)) << t.encoded;
        bool ok;
        EXPECT_EQ(decode(t.encoded, &ok), t.cps) << t.encoded;
        EXPECT_TRUE(ok);
        // Digits decode in either case.
        std::string upper = t.encoded;
        size_t delim = upper.rfind('-');
        for (size_t i = delim == std::string::npos ? 0 : delim + 1; i < upper.size(); ++i)
            upper[i] = (char)toupper((unsigned char)upper[i]);
        EXPECT_EQ(decode(upper, &ok), t.cps) << upper;
    }
}

TEST(Punycode, DecoderEdges) {
    struct Row {
        const char *in;
        bool ok;
        Cps cps;
    };
    const Row rows[] = {
        {"ab-c!", false, {}},             // not a digit
        {"-abc", false, {}},              // a "-" at the start is read as a digit
        {"zzzzzz", false, {}},            // the last integer never ends
        {"99999999999999a", false, {}},   // wraps past U+10FFFF
        {"ab-", true, {'a', 'b'}},        // basic code points only
        {"a", true, {0x80}},              // one delta of 0
        {"ls8h", true, {0x1F4A9}},
        {"bcher-kvb", true, {'b', 'c', 0x1C8, 'h', 'e', 'r'}},
        // U+CD812's low 16 bits look like a surrogate's.
        {"kkvz425iz3w1d11vva", true, {0x26701, 0xCD812, 0x10616A, 0x6665}},
    };
    for (const Row &r : rows) {
        bool ok;
        EXPECT_EQ(decode(r.in, &ok), r.cps) << r.in;
        EXPECT_EQ(ok, r.ok) << r.in;
    }
    // Non-ASCII before the delimiter.
    const uint16_t u[] = {'a', 0xE9, '-', 'a'};
    bool oom;
    EXPECT_EQ(punycode_decode(u, 4, &oom), nullptr);
    EXPECT_FALSE(oom);
    // A decoded surrogate.
    UnitBuf buf;
    uint32_t cp = 0xD800;
    ASSERT_TRUE(punycode_encode(&cp, 1, &buf));
    bool ok;
    decode(std::string(buf.units(), buf.units() + buf.length()), &ok);
    EXPECT_FALSE(ok);
}

// ---------------------------------------------------------------- tables

TEST(PrepTables, Membership) {
    struct Row {
        uint32_t cp;
        bool randal, non_l, mark, unassigned;
    };
    const Row rows[] = {
        {0x41, false, false, false, false},    {0x31, false, true, false, false},
        {0x5D0, true, true, false, false},     {0x627, true, true, false, false},
        {0x6DD, false, true, false, false},    {0x301, false, true, true, false},
        {0x903, false, false, true, false},    {0x378, false, false, false, true},
        {0x10A58, true, true, false, false},  {0x10A59, false, false, false, true},
        {0x12000, false, false, false, false}, {0x12474, false, false, false, true},
        {0x1D0F6, false, false, false, true},  {0x1D100, false, false, false, false},
        {0x2FA1D, false, false, false, false}, {0x2FA1E, false, false, false, true},
        {0x30000, false, false, false, true},  {0x3FFFE, false, false, false, false},
        {0xE0000, false, false, false, true},  {0xE0001, false, true, false, false},
        {0xE0100, false, true, true, false},   {0xE01F0, false, false, false, true},
        {0xF0000, false, false, false, false}, {0x10FFFF, false, false, false, false},
        {0x1E9E, false, false, false, true},   {0x19B0, false, false, false, false},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(is_randal(r.cp), r.randal) << std::hex << r.cp;
        EXPECT_EQ(is_non_l(r.cp), r.non_l) << std::hex << r.cp;
        EXPECT_EQ(is_mark(r.cp), r.mark) << std::hex << r.cp;
        EXPECT_EQ(is_unassigned(r.cp), r.unassigned) << std::hex << r.cp;
    }
}

// ---------------------------------------------------------------- labels

struct Case {
    const char *in;
    const char *flags;
    const char *out;  // kFail for a refusal
};

TEST(Idn, LabelToAscii) {
    const std::string l63(63, 'a'), l64(64, 'a');
    const Case cases[] = {
        {"abc", "", "abc"},
        {"ABC", "", "ABC"},  // all-ASCII labels skip nameprep
        {"\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3", "", "abc"},  // fullwidth, ASCII after nameprep: no prefix
        {"b\xC3\xBC" "cher", "", "xn--bcher-kva"},
        {"B\xC3\x9C" "CHER", "", "xn--bcher-kva"},
        {l63.c_str(), "", l63.c_str()},
        {l64.c_str(), "", kFail},
        {"", "", kFail},
        // Host-name rules.
        {"-abc", "s", kFail},
        {"abc-", "s", kFail},
        {"a_b", "s", kFail},
        {"a_b", "", "a_b"},
        {"*", "s", kFail},
        {"*", "sw", "*"},
        {"*", "w", "*"},
        {"a*b", "sw", "a*b"},
        {"\xC3\xBC_", "s", kFail},  // the rules apply after nameprep too
        // A non-ASCII label that already carries the prefix.
        {"xn--b\xC3\xBC", "", kFail},
        {"XN--b\xC3\xBC", "", kFail},
        {"xn--abc", "", "xn--abc"},  // ASCII: used as it is
        // Unassigned in Unicode 5.0.
        {"a\xCD\xB8", "", kFail},
        {"a\xCD\xB8", "a", "xn--a-qib"},
        {"\xE1\xBA\x9E", "", "ss"},  // checked after folding, which maps it to "ss"
        // Bidirectional rule.
        {"\xD7\x90" "a", "", kFail},
        {"\xD7\x90\xD7\x91", "", "xn--4dbc"},
        {"\xD7\x90" "1\xD7\x91", "", "xn--1-zhce"},
        {"1\xD7\x90", "", kFail},
        // Prohibited after nameprep.
        {"a\xC2\xA0" "b", "", "a b"},   // NFKC makes the no-break space U+0020 before the checks
        {"a\xC2\xA0" "b", "s", kFail},
        {"a\xEE\x80\x80", "", kFail},   // private use
        {"a\xEF\xBF\xBD", "", kFail},   // U+FFFD
        {"\xE2\x80\x8E" "a", "", kFail},  // U+200E left-to-right mark (display property)
        {"\xC2\x81" "a", "", kFail},      // C1 control
        // Deleted before folding; nothing left.
        {"\xC2\xAD", "", kFail},
        {"ex\xC2\xAD" "ample", "", "example"},
        {"x\xE2\x80\x8Dy", "", "xy"},
    };
    for (const Case &c : cases) EXPECT_EQ(to_ascii(c.in, c.flags, false), c.out) << c.in << " [" << c.flags << "]";
    // Twenty-four syllables whose encoding is longer than 63 characters.
    orbek_ustring *korean = orbek_ustring_newutf32(kSamples[7].cps.data(), (int32_t)kSamples[7].cps.size());
    EXPECT_EQ(to_ascii(utf8_of(korean), "", false), kFail);
    orbek_ustring_free(korean);
}

TEST(Idn, LabelToUnicode) {
    const Case cases[] = {
        {"xn--bcher-kva", "", "b\xC3\xBC" "cher"},
        {"XN--BCHER-KVA", "", "B\xC3\xBC" "CHER"},  // basic letters keep their case
        {"xn--abc", "", nullptr},       // decodes to C1 controls, which nameprep refuses
        {"xn--", "", nullptr},          // nothing after the prefix
        {"xn--bcher-kvb", "", nullptr},  // decodes to U+01C8, which nameprep folds: re-encodes differently
        {"xn--a-qib", "", nullptr},      // unassigned without the flag
        {"xn--a-qib", "a", "a\xCD\xB8"},
        {"xn--4dbc", "", "\xD7\x90\xD7\x91"},
        {"xn--ab-", "", nullptr},        // decodes to "ab", whose ToASCII is "ab"
        {"abc", "", nullptr},
        {"", "", nullptr},
        {"\xEF\xBC\xA1", "", nullptr},   // nameprep changes it, but it is no ACE label
        // Nameprep first: fullwidth letters spelling an ACE label.
        {"\xEF\xBD\x98\xEF\xBD\x8E--bcher-kva", "", "b\xC3\xBC" "cher"},
        {"xn--ls8h", "", nullptr},  // U+1F4A9 came after Unicode 5.0
        {"xn--ls8h", "as", "\xF0\x9F\x92\xA9"},
    };
    for (const Case &c : cases) {
        bool same;
        std::string got = to_unicode(c.in, c.flags, false, &same);
        EXPECT_EQ(got, c.out ? c.out : c.in) << c.in;
        EXPECT_EQ(same, c.out == nullptr) << c.in;
    }
    EXPECT_EQ(orbek_ustring_idnlabel_tounicode(nullptr, 0, 0, 0), nullptr);
}

// ---------------------------------------------------------------- names

TEST(Idn, NameToAscii) {
    const Case cases[] = {
        {"a.b", "", "a.b"},
        {"a..b", "", kFail},
        {".a", "", kFail},
        {"a.", "", kFail},
        {"", "", kFail},
        {"a\xE3\x80\x82" "b\xEF\xBC\x8E" "c\xEF\xBD\xA1" "d", "", "a.b.c.d"},  // every separator becomes "."
        {"b\xC3\xBC" "cher.example", "", "xn--bcher-kva.example"},
        {"B\xC3\xBC" "cher.Example", "", "xn--bcher-kva.Example"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.jp", "", "xn--wgv71a119e.jp"},
        {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD0\xB8\xD1\x81\xD0\xBF\xD1\x8B\xD1\x82\xD0\xB0\xD0\xBD"
         "\xD0\xB8\xD0\xB5",
         "", "xn--e1afmkfd.xn--80akhbyknj4f"},
        {"stra\xC3\x9F" "e.de", "", "strasse.de"},
        {"\xEF\xAC\x81le.example", "", "file.example"},
        {"\xD9\x85\xD8\xAB\xD8\xA7\xD9\x84.\xD8\xA5\xD8\xAE\xD8\xAA\xD8\xA8\xD8\xA7\xD8\xB1", "",
         "xn--mgbh0fb.xn--kgbechtv"},
        {"\xC4\xB0stanbul", "", "xn--istanbul-o0e"},
        {"*.example", "sw", "*.example"},
        {"*.example", "s", kFail},
        {"ok.-bad", "s", kFail},
    };
    for (const Case &c : cases) EXPECT_EQ(to_ascii(c.in, c.flags, true), c.out) << c.in << " [" << c.flags << "]";
    char *out = nullptr;
    int32_t len = 0;
    orbek_ustring *s = from_utf8("a");
    for (auto fn : {orbek_ustring_idn_toascii, orbek_ustring_idnlabel_toascii}) {
        EXPECT_FALSE(fn(nullptr, 0, 0, 0, &out, &len) || fn(s, 0, 0, 0, nullptr, &len) || fn(s, 0, 0, 0, &out, nullptr));
    }
    orbek_ustring_free(s);
}

TEST(Idn, NameToUnicode) {
    const Case cases[] = {
        {"xn--bcher-kva.example", "", "b\xC3\xBC" "cher.example"},
        {"xn--wgv71a119e\xE3\x80\x82xn--bcher-kva", "", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.b\xC3\xBC" "cher"},
        {"XN--BCHER-KVA.xn--abc.Plain", "", "B\xC3\xBC" "CHER.xn--abc.Plain"},  // a bad label stays as it is
        {"\xEF\xBC\xA1.b", "", "\xEF\xBC\xA1.b"},  // a new string, the labels as given
    };
    for (const Case &c : cases) {
        bool same;
        EXPECT_EQ(to_unicode(c.in, c.flags, true, &same), c.out) << c.in;
        EXPECT_FALSE(same) << c.in;
    }
    for (const char *in : {"a..b", ".a", "xn--bcher-kva.", ""}) {
        bool same;
        EXPECT_EQ(to_unicode(in, "", true, &same), in);
        EXPECT_TRUE(same) << in;
    }
    EXPECT_EQ(orbek_ustring_idn_tounicode(nullptr, 0, 0, 0), nullptr);
}

// Every conversion, with each of its allocations failing in turn: the
// failures are clean, and ToUnicode falls back to its input (or, for a name
// whose label hit the failure, to the whole name).
TEST(Idn, AllocationFailures) {
    const char *const names[] = {"b\xC3\xBC" "cher.\xE6\x97\xA5\xE6\x9C\xAC.a", "\xEF\xAC\x81le"};
    for (const char *in : names) {
        orbek_ustring *s = from_utf8(in);
        std::string want = to_ascii(in, "", true);
        testalloc::sweep([&] {
            char *out = nullptr;
            int32_t len = 0;
            bool ok = orbek_ustring_idn_toascii(s, 0, 1, 0, &out, &len) != 0;
            EXPECT_TRUE(!ok || strcmp(want.c_str(), out) == 0);
            orbek_free(out);
            return ok;
        });
        testalloc::sweep([&] {
            char *out = nullptr;
            int32_t len = 0;
            bool ok = orbek_ustring_idnlabel_toascii(s, 1, 0, 0, &out, &len) != 0;
            orbek_free(out);
            return ok;
        });
        orbek_ustring_free(s);
    }
    orbek_ustring *ace = from_utf8("xn--bcher-kva.xn--wgv71a119e");
    orbek_ustring *label = from_utf8("xn--bcher-kva");
    orbek_ustring *want = from_utf8("b\xC3\xBC" "cher.\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
    testalloc::sweep([&] {
        orbek_ustring *r = orbek_ustring_idn_tounicode(ace, 0, 0, 0);
        bool ok = r != ace;
        EXPECT_TRUE(!ok || orbek_ustring_cmp(r, want) == 0);
        orbek_ustring_free(r);
        return ok;
    });
    testalloc::sweep([&] {
        orbek_ustring *r = orbek_ustring_idnlabel_tounicode(label, 0, 0, 0);
        bool ok = r != label;
        orbek_ustring_free(r);
        return ok;
    });
    orbek_ustring_free(ace);
    orbek_ustring_free(label);
    orbek_ustring_free(want);
}

}  // namespace
