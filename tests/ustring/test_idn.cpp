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

// RFC 3492 section 7.1 (without the case annotations, which this encoder
// does not write).
const Sample kSamples[] = {
    {{0x644, 0x64A, 0x647, 0x645, 0x627, 0x628, 0x62A, 0x643, 0x644, 0x645, 0x648, 0x634, 0x639, 0x631, 0x628, 0x64A,
      0x61F},
     "egbpdaj6bu4bxfgehfvwxn"},
    {{0x4ED6, 0x4EEC, 0x4E3A, 0x4EC0, 0x4E48, 0x4E0D, 0x8BF4, 0x4E2D, 0x6587}, "ihqwcrb4cv8a8dqg056pqjye"},
    {{0x4ED6, 0x5011, 0x7232, 0x4EC0, 0x9EBD, 0x4E0D, 0x8AAA, 0x4E2D, 0x6587}, "ihqwctvzc91f659drss3x8bo0yb"},
    {{0x50, 0x72, 0x6F, 0x10D, 0x70, 0x72, 0x6F, 0x73, 0x74, 0x11B, 0x6E, 0x65, 0x6D, 0x6C, 0x75, 0x76, 0xED, 0x10D,
      0x65, 0x73, 0x6B, 0x79},
     "Proprostnemluvesky-uyb24dma41a"},
    {{0x5DC, 0x5DE, 0x5D4, 0x5D4, 0x5DD, 0x5E4, 0x5E9, 0x5D5, 0x5D8, 0x5DC, 0x5D0, 0x5DE, 0x5D3, 0x5D1, 0x5E8, 0x5D9,
      0x5DD, 0x5E2, 0x5D1, 0x5E8, 0x5D9, 0x5EA},
     "4dbcagdahymbxekheh6e0a7fei0b"},
    {{0x92F, 0x939, 0x932, 0x94B, 0x917, 0x939, 0x93F, 0x928, 0x94D, 0x926, 0x940, 0x915, 0x94D, 0x92F, 0x94B, 0x902,
      0x928, 0x939, 0x940, 0x902, 0x92C, 0x94B, 0x932, 0x938, 0x915, 0x924, 0x947, 0x939, 0x948, 0x902},
     "i1baa7eci9glrd9b2ae1bj0hfcgg6iyaf8o0a1dig0cd"},
    {{0x306A, 0x305C, 0x307F, 0x3093, 0x306A, 0x65E5, 0x672C, 0x8A9E, 0x3092, 0x8A71, 0x3057, 0x3066, 0x304F, 0x308C,
      0x306A, 0x3044, 0x306E, 0x304B},
     "n8jok5ay5dzabd5bym9f0cm5685rrjetr6pdxa"},
    {{0xC138, 0xACC4, 0xC758, 0xBAA8, 0xB4E0, 0xC0AC, 0xB78C, 0xB4E4, 0xC774, 0xD55C, 0xAD6D, 0xC5B4,
      0xB97C, 0xC774, 0xD574, 0xD55C, 0xB2E4, 0xBA74, 0xC5BC, 0xB9C8, 0xB098, 0xC88B, 0xC744, 0xAE4C},
     "989aomsvi5e83db1d2a355cv1e0vak1dwrv93d5xbh15a0dt30a5jpsd879ccm6fea98c"},
    {{0x43F, 0x43E, 0x447, 0x435, 0x43C, 0x443, 0x436, 0x435, 0x43E, 0x43D, 0x438, 0x43D, 0x435, 0x433,
      0x43E, 0x432, 0x43E, 0x440, 0x44F, 0x442, 0x43F, 0x43E, 0x440, 0x443, 0x441, 0x441, 0x43A, 0x438},
     "b1abfaaepdrnnbgefbadotcwatmq2g4l"},
    {{0x50, 0x6F, 0x72, 0x71, 0x75, 0xE9, 0x6E, 0x6F, 0x70, 0x75, 0x65, 0x64, 0x65, 0x6E, 0x73, 0x69, 0x6D, 0x70,
      0x6C, 0x65, 0x6D, 0x65, 0x6E, 0x74, 0x65, 0x68, 0x61, 0x62, 0x6C, 0x61, 0x72, 0x65, 0x6E, 0x45, 0x73, 0x70,
      0x61, 0xF1, 0x6F, 0x6C},
     "PorqunopuedensimplementehablarenEspaol-fmd56a"},
    {{0x54, 0x1EA1, 0x69, 0x73, 0x61, 0x6F, 0x68, 0x1ECD, 0x6B, 0x68, 0xF4, 0x6E, 0x67, 0x74, 0x68, 0x1EC3, 0x63,
      0x68, 0x1EC9, 0x6E, 0xF3, 0x69, 0x74, 0x69, 0x1EBF, 0x6E, 0x67, 0x56, 0x69, 0x1EC7, 0x74},
     "TisaohkhngthchnitingVit-kjcr8268qyxafd2f1b9g"},
    {{0x33, 0x5E74, 0x42, 0x7D44, 0x91D1, 0x516B, 0x5148, 0x751F}, "3B-ww4c5e180e575a65lsy2b"},
    {{0x5B89, 0x5BA4, 0x5948, 0x7F8E, 0x6075, 0x2D, 0x77, 0x69, 0x74, 0x68, 0x2D, 0x53, 0x55, 0x50, 0x45, 0x52, 0x2D,
      0x4D, 0x4F, 0x4E, 0x4B, 0x45, 0x59, 0x53},
     "-with-SUPER-MONKEYS-pc58ag80a8qai00g7n9n"},
    {{0x48, 0x65, 0x6C, 0x6C, 0x6F, 0x2D, 0x41, 0x6E, 0x6F, 0x74, 0x68, 0x65, 0x72, 0x2D, 0x57, 0x61, 0x79, 0x2D,
      0x305D, 0x308C, 0x305E, 0x308C, 0x306E, 0x5834, 0x6240},
     "Hello-Another-Way--fc4qua05auwb3674vfr0b"},
    {{0x3072, 0x3068, 0x3064, 0x5C4B, 0x6839, 0x306E, 0x4E0B, 0x32}, "2-u9tlzr9756bt3uc0v"},
    {{0x4D, 0x61, 0x6A, 0x69, 0x3067, 0x4B, 0x6F, 0x69, 0x3059, 0x308B, 0x35, 0x79D2, 0x524D},
     "MajiKoi5-783gue6qz075azm5e"},
    {{0x30D1, 0x30D5, 0x30A3, 0x30FC, 0x64, 0x65, 0x30EB, 0x30F3, 0x30D0}, "de-jg4avhby1noc0d"},
    {{0x305D, 0x306E, 0x30B9, 0x30D4, 0x30FC, 0x30C9, 0x3067}, "d9juau41awczczp"},
    {{0x2D, 0x3E, 0x20, 0x24, 0x31, 0x2E, 0x30, 0x30, 0x20, 0x3C, 0x2D}, "-> $1.00 <--"},
};

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

template <typename T>
bool ascending(const T *t, int32_t n) {
    for (int32_t i = 1; i < n; ++i)
        if (!(t[i - 1] < t[i])) return false;
    return true;
}

bool ranges_ascending(const Range *t, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        if (t[i].lo > t[i].hi || (i && t[i - 1].hi + 1 >= t[i].lo)) return false;  // sorted, apart, merged
    return true;
}

TEST(PrepTables, SortedForBinarySearch) {
    EXPECT_TRUE(ranges_ascending(kRandAL, kRandALCount));
    EXPECT_TRUE(ranges_ascending(kNonL, kNonLCount));
    EXPECT_TRUE(ranges_ascending(kMarks, kMarksCount));
    EXPECT_TRUE(ranges_ascending(kUnassigned, kUnassignedCount));
    EXPECT_TRUE(ascending(kNonLdhAscii, kNonLdhAsciiCount));
    EXPECT_TRUE(ascending(kMappedToNothing, kMappedToNothingCount));
    EXPECT_TRUE(ascending(kNonAsciiSpace, kNonAsciiSpaceCount));
    EXPECT_TRUE(ascending(kNonAsciiControl, kNonAsciiControlCount));
    EXPECT_TRUE(ascending(kDisplayProperty, kDisplayPropertyCount));
    EXPECT_TRUE(ascending(kHyphens, kHyphensCount));
    for (int32_t i = 1; i < kLdapMapCount; ++i) EXPECT_LT(kLdapMap[i - 1].cp, kLdapMap[i].cp);
}

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
        {"-abc", "", "-abc"},
        {"a_b", "s", kFail},
        {"a_b", "", "a_b"},
        {"a-b", "s", "a-b"},
        {"*", "s", kFail},
        {"*", "sw", "*"},
        {"*", "w", "*"},
        {"a*b", "sw", "a*b"},
        {"\xC3\xBC_", "s", kFail},  // the rules apply after nameprep too
        // A non-ASCII label that already carries the prefix.
        {"xn--b\xC3\xBC", "", kFail},
        {"XN--b\xC3\xBC", "", kFail},
        {"Xn--b\xC3\xBC", "", kFail},
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
        // Twenty-four syllables whose encoding is longer than 63.
        {"\xEC\x84\xB8\xEA\xB3\x84\xEC\x9D\x98\xEB\xAA\xA8\xEB\x93\xA0\xEC\x82\xAC\xEB\x9E\x8C\xEB"
         "\x93\xA4\xEC\x9D\xB4\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\xEB\xA5\xBC\xEC\x9D\xB4\xED\x95"
         "\xB4\xED\x95\x9C\xEB\x8B\xA4\xEB\xA9\xB4\xEC\x96\xBC\xEB\xA7\x88\xEB\x82\x98\xEC\xA2\x8B"
         "\xEC\x9D\x84\xEA\xB9\x8C",
         "", kFail},
    };
    for (const Case &c : cases) EXPECT_EQ(to_ascii(c.in, c.flags, false), c.out) << c.in << " [" << c.flags << "]";
}

TEST(Idn, LabelToUnicode) {
    const Case cases[] = {
        {"xn--bcher-kva", "", "b\xC3\xBC" "cher"},
        {"XN--BCHER-KVA", "", "B\xC3\xBC" "CHER"},  // basic letters keep their case
        {"Xn--bcher-kva", "", "b\xC3\xBC" "cher"},
        {"xn--abc", "", nullptr},       // decodes to C1 controls, which nameprep refuses
        {"xn--", "", nullptr},          // nothing after the prefix
        {"xn---", "", nullptr},
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
        {".", "", kFail},
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
        {"\xE2\x85\xAB", "", "xii"},
        {"\xD9\x85\xD8\xAB\xD8\xA7\xD9\x84.\xD8\xA5\xD8\xAE\xD8\xAA\xD8\xA8\xD8\xA7\xD8\xB1", "",
         "xn--mgbh0fb.xn--kgbechtv"},
        {"\xC4\xB0stanbul", "", "xn--istanbul-o0e"},
        {"\xCE\xB5\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC", "", "xn--hxargifdar"},
        {"*.example", "sw", "*.example"},
        {"*.example", "s", kFail},
        {"ok.-bad", "s", kFail},
    };
    for (const Case &c : cases) EXPECT_EQ(to_ascii(c.in, c.flags, true), c.out) << c.in << " [" << c.flags << "]";
    char *out = nullptr;
    int32_t len = 0;
    orbek_ustring *s = from_utf8("a");
    EXPECT_EQ(orbek_ustring_idn_toascii(nullptr, 0, 0, 0, &out, &len), 0);
    EXPECT_EQ(orbek_ustring_idn_toascii(s, 0, 0, 0, nullptr, &len), 0);
    EXPECT_EQ(orbek_ustring_idn_toascii(s, 0, 0, 0, &out, nullptr), 0);
    EXPECT_EQ(orbek_ustring_idnlabel_toascii(s, 0, 0, 0, nullptr, &len), 0);
    EXPECT_EQ(orbek_ustring_idnlabel_toascii(nullptr, 0, 0, 0, &out, &len), 0);
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
