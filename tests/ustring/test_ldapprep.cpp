// LDAP string preparation: the matching-rule types, mapping, prohibited
// characters and insignificant spaces (RFC 4518), allocation failures.
#include <gtest/gtest.h>

#include <string>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

orbek_ustring *from_utf8(const std::string &s) {
    return orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(s.data()), (int32_t)s.size());
}

const char kNull[] = "<null>";

std::string prep(int32_t type, const std::string &in) {
    orbek_ustring *s = from_utf8(in);
    EXPECT_NE(s, nullptr);
    orbek_ustring *r = orbek_ustring_ldapi18nstringprep(type, s);
    std::string out = kNull;
    if (r) {
        EXPECT_NE(r, s) << "always a new string";
        uint8_t *b = nullptr;
        int32_t n = 0;
        EXPECT_TRUE(orbek_ustring_toutf8(r, &b, &n));
        out.assign(reinterpret_cast<char *>(b), (size_t)n);
        orbek_free(b);
    }
    orbek_ustring_free(r);
    orbek_ustring_free(s);
    return out;
}

struct Case {
    int32_t type;
    const char *in;
    const char *out;
};

TEST(LdapPrep, MatchingRules) {
    const Case cases[] = {
        // Spaces: one at each end, inner runs as two, nothing but spaces as two.
        {1, "  A  B ", " a  b "},
        {0, "  A  B ", " A  B "},
        {0, "foo", " foo "},
        {0, "foo bar", " foo  bar "},
        {1, "  Foo   Bar  Baz  ", " foo  bar  baz "},
        {0, "", "  "},
        {1, "", "  "},
        {0, "    ", "  "},
        {1, "\t\r\n", "  "},  // mapped to spaces first
        {0, "a\tb", " a  b "},
        {0, "a\xE3\x80\x80" "b", " a  b "},  // U+3000
        // Numeric strings: every space goes, unless a mark follows it.
        {3, "1  2 ", "12"},
        {3, " 1 2 3 ", "123"},
        {3, "1 \xCC\x81", "1 \xCC\x81"},
        {3, "\xEF\xBC\x91 \xEF\xBC\x92", "12"},  // fullwidth digits after NFKC
        // Telephone numbers: spaces and hyphens.
        {4, "+1-2 \xE2\x80\x90" "3", "+123"},
        {4, "1\xE2\x88\x92" "2\xEF\xB9\xA3" "3\xEF\xBC\x8D" "4\xD6\x8A" "5\xE2\x80\x91" "6", "123456"},
        {4, "1-\xCC\x81", "1-\xCC\x81"},
        {4, "Ab-C", "AbC"},
        {5, "Ab-C", "abc"},
        // Mapping: dropped controls and format characters.
        {0, "a\xC2\xAD" "b\xE2\x80\x8B" "c\x01" "d\xEF\xBB\xBF", " abcd "},
        // Folding with the NFKC closure, and NFKC.
        {1, "Stra\xC3\x9F" "e", " strasse "},
        {0, "Stra\xC3\x9F" "e", " Stra\xC3\x9F" "e "},
        {1, "\xE2\x84\x82", " c "},
        {0, "\xEF\xAC\x81", " fi "},
        {0, "e\xCC\x81", " \xC3\xA9 "},
        // Right-to-left letters are removed.
        {0, "a\xD7\x90" "b", " ab "},
        {0, "\xD7\x90", "  "},
        // Prohibited: U+FFFD, private use, unassigned in 5.0, non-characters,
        // display-property characters.
        {0, "a\xEF\xBF\xBD", kNull},
        {1, "\xEE\x80\x80", kNull},
        {3, "1\xCD\xB8", kNull},
        {4, "\xEF\xB7\x90", kNull},
        {5, "\xF0\x9F\xBF\xBF", kNull},
        {0, "\xCD\x80", " \xCC\x80 "},  // U+0340 is U+0300 after NFKC
        {0, "a\xE2\x80\x8E", " a "},    // U+200E is dropped by the map
        // Types that do not exist.
        {2, "a", kNull},
        {6, "a", kNull},
        {-1, "a", kNull},
    };
    for (const Case &c : cases) EXPECT_EQ(prep(c.type, c.in), c.out) << c.type << " '" << c.in << "'";
    EXPECT_EQ(orbek_ustring_ldapi18nstringprep(1, nullptr), nullptr);
}

TEST(LdapPrep, AllocationFailures) {
    orbek_ustring *s = from_utf8("  Stra\xC3\x9F" "e \xEF\xAC\x81 -1- \xD7\x90  ");
    for (int32_t type : {0, 1, 3, 4, 5}) {
        testalloc::sweep([&] {
            orbek_ustring *r = orbek_ustring_ldapi18nstringprep(type, s);
            orbek_ustring_free(r);
            return r != nullptr;
        });
    }
    orbek_ustring_free(s);
}

}  // namespace
