#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

using Cps = std::vector<uint32_t>;

orbek_ustring *make(const Cps &cps) { return orbek_ustring_newutf32(cps.data(), (int32_t)cps.size()); }

Cps cps_of(const orbek_ustring *s) {
    uint32_t *v = nullptr;
    int32_t n = 0;
    EXPECT_EQ(orbek_ustring_toutf32(s, &v, &n), 1);
    Cps out(v, v + n);
    orbek_free(v);
    return out;
}

int sign(int v) { return (v > 0) - (v < 0); }

// Random texts over an alphabet that straddles the surrogate range from both
// sides, so that unit order and code-point order disagree often.
Cps random_text(std::mt19937 &rng, int max_len) {
    static const uint32_t alphabet[] = {0x61, 0x62, 0xFFFD, 0xE000, 0xD7FF, 0x1F600, 0x10000, 0x10FFFF};
    Cps out(rng() % (unsigned)(max_len + 1));
    for (uint32_t &c : out) c = alphabet[rng() % 8];
    return out;
}

}  // namespace

// Comparison, search and substrings against a code-point model of the same
// texts.
TEST(Compare, AgreesWithCodePointOrderOnRandomTexts) {
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        Cps a = random_text(rng, 6), b = round % 3 ? random_text(rng, 6) : a;
        if (round % 5 == 0 && !a.empty()) b.assign(a.begin(), a.begin() + (long)(rng() % a.size()));  // prefix
        orbek_ustring *sa = make(a), *sb = make(b);
        EXPECT_EQ(orbek_ustring_cmp(sa, sb), sign(a < b ? -1 : a > b ? 1 : 0));
        for (int32_t n = 1; n <= 7; ++n) {
            Cps pa(a.begin(), a.begin() + std::min<long>(n, (long)a.size()));
            Cps pb(b.begin(), b.begin() + std::min<long>(n, (long)b.size()));
            ASSERT_EQ(orbek_ustring_ncmp(sa, sb, n), pa < pb ? -1 : pa > pb ? 1 : 0) << "n " << n;
        }
        // The first occurrence of b in a from each start.
        for (int32_t start = 0; start < (int32_t)a.size(); ++start) {
            auto it = std::search(a.begin() + start, a.end(), b.begin(), b.end());
            int32_t want = it == a.end() && !b.empty() ? -1 : (int32_t)(it - a.begin());
            int32_t pos = -7;
            EXPECT_EQ(orbek_ustring_find(sa, start, sb, &pos), want >= 0);
            EXPECT_EQ(pos, want) << "start " << start;
        }
        // Every substring of a.
        for (int32_t start = 0; start < (int32_t)a.size(); ++start)
            for (int32_t count = -1; count <= (int32_t)a.size() - start + 1; ++count) {
                orbek_ustring *sub = orbek_ustring_substring(sa, start, count);
                if (count == 0) {
                    EXPECT_EQ(sub, nullptr);
                    continue;
                }
                long end = count < 0 ? (long)a.size() : std::min<long>((long)a.size(), start + count);
                ASSERT_NE(sub, nullptr);
                EXPECT_EQ(cps_of(sub), Cps(a.begin() + start, a.begin() + end));
                EXPECT_EQ(orbek_ustring_getcharcount(sub), end - start);
                orbek_ustring_free(sub);
            }
        orbek_ustring *ab = orbek_ustring_cat(sa, sb);
        Cps joined = a;
        joined.insert(joined.end(), b.begin(), b.end());
        EXPECT_EQ(cps_of(ab), joined);
        EXPECT_EQ(orbek_ustring_getcharcount(ab), (int32_t)joined.size());
        orbek_ustring_free(ab);
        orbek_ustring_free(sa);
        orbek_ustring_free(sb);
    }
}

TEST(Compare, NullsSameHandlesAndBounds) {
    orbek_ustring *fffd = make({0xFFFD}), *emoji = make({0x1F600}), *s = make({0x61, 0x1F600, 0x62});
    EXPECT_EQ(orbek_ustring_cmp(fffd, emoji), -1);
    EXPECT_EQ(orbek_ustring_cmp(nullptr, s), -1);
    EXPECT_EQ(orbek_ustring_cmp(s, nullptr), 1);
    EXPECT_EQ(orbek_ustring_cmp(nullptr, nullptr), 0);
    EXPECT_EQ(orbek_ustring_ncmp(nullptr, nullptr, 3), 0);
    EXPECT_EQ(orbek_ustring_ncmp(nullptr, s, 3), -1);
    EXPECT_EQ(orbek_ustring_ncmp(s, nullptr, 3), 1);
    EXPECT_EQ(orbek_ustring_ncmp(fffd, emoji, 0), 0);
    EXPECT_EQ(orbek_ustring_ncmp(fffd, emoji, -1), -1);

    orbek_ustring *c = orbek_ustring_cat(nullptr, s);
    EXPECT_EQ(c, s);  // the same string with one more reference
    orbek_ustring_free(c);
    c = orbek_ustring_cat(s, nullptr);
    EXPECT_EQ(c, s);
    orbek_ustring_free(c);
    EXPECT_EQ(orbek_ustring_cat(nullptr, nullptr), nullptr);
    orbek_ustring *bmp = orbek_ustring_cat(fffd, fffd);
    uint16_t *u = nullptr;
    int32_t n = 0;
    EXPECT_EQ(orbek_ustring_tobmp(bmp, (uint8_t **)&u, &n), 1);  // no supplementary flag
    orbek_free(u);
    orbek_ustring_free(bmp);

    orbek_ustring *sub = orbek_ustring_substring(s, 1, 1);
    EXPECT_EQ(cps_of(sub), Cps{0x1F600});
    orbek_ustring_free(sub);
    sub = orbek_ustring_substring(s, 0, 1);  // BMP only: tobmp works on it
    EXPECT_EQ(orbek_ustring_tobmp(sub, (uint8_t **)&u, &n), 1);
    orbek_free(u);
    orbek_ustring_free(sub);
    EXPECT_EQ(orbek_ustring_substring(s, 3, 1), nullptr);
    EXPECT_EQ(orbek_ustring_substring(s, -1, 1), nullptr);
    EXPECT_EQ(orbek_ustring_substring(nullptr, 0, 1), nullptr);

    int32_t pos = 99;
    orbek_ustring *b = make({0x62}), *empty = make({});
    EXPECT_EQ(orbek_ustring_find(s, 0, b, &pos), 1);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(orbek_ustring_find(s, 1, empty, &pos), 1);
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(orbek_ustring_find(s, 0, s, &pos), 1);
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(orbek_ustring_find(s, 1, s, &pos), 0);
    EXPECT_EQ(pos, -1);
    pos = 99;
    for (int32_t start : {-1, 3}) EXPECT_EQ(orbek_ustring_find(s, start, b, &pos), 0);
    EXPECT_EQ(orbek_ustring_find(nullptr, 0, b, &pos), 0);
    EXPECT_EQ(orbek_ustring_find(s, 0, nullptr, &pos), 0);
    EXPECT_EQ(orbek_ustring_find(s, 0, b, nullptr), 0);
    EXPECT_EQ(pos, 99);  // untouched by the refusals
    EXPECT_EQ(orbek_ustring_find(b, 0, s, &pos), 0);  // longer than what remains
    EXPECT_EQ(pos, -1);
    for (orbek_ustring *x : {fffd, emoji, s, b, empty}) orbek_ustring_free(x);
}

TEST(Compare, AllocationFailuresAreClean) {
    Cps text;
    for (int i = 0; i < 200; ++i) text.insert(text.end(), {0x61, 0x1F600, 0x62});
    orbek_ustring *s = make(text), *p = make({0x1F600, 0x62, 0x61, 0x1F600});
    EXPECT_EQ(testalloc::sweep([&] {
                  orbek_ustring *r = orbek_ustring_cat(s, p);
                  orbek_ustring_free(r);
                  return r != nullptr;
              }),
              2);
    EXPECT_EQ(testalloc::sweep([&] {
                  orbek_ustring *r = orbek_ustring_substring(s, 5, 100);
                  orbek_ustring_free(r);
                  return r != nullptr;
              }),
              2);
    EXPECT_EQ(testalloc::sweep([&] {
                  int32_t pos = 7;
                  int32_t found = orbek_ustring_find(s, 3, p, &pos);
                  EXPECT_EQ(pos, found ? 4 : -1);
                  return found == 1;
              }),
              1);
    orbek_ustring_free(s);
    orbek_ustring_free(p);
}
