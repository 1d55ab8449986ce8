// Bit sets: the BIT STRING round trip, growth and trimming, checked against
// a plain model under random changes, and the allocation-failure sweep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/bitset.h"
#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

// The BIT STRING form as "U:hex".
std::string bits(const orbek_bitset *s) {
    int32_t unused = -1;
    orbek_data_blob *b = orbek_bitset_getdata(s, &unused);
    if (!b) return "null";
    std::string out = std::to_string(unused) + ":";
    for (int32_t i = 0; i < b->length; ++i) out += "0123456789abcdef"[b->data[i] >> 4], out += "0123456789abcdef"[b->data[i] & 15];
    orbek_data_blob_free(b);
    return out;
}

}  // namespace

TEST(BitSet, BitStringFormGrowthAndTrim) {
    const uint8_t ff = 0xFF;
    orbek_bitset *s = orbek_bitset_new(3, &ff, 1);
    ASSERT_TRUE(s);
    EXPECT_EQ(orbek_bitset_getbitcount(s), 5);
    EXPECT_EQ(bits(s), "3:f8");
    EXPECT_EQ(orbek_bitset_isset(s, 4) * 10 + orbek_bitset_isset(s, 5), 10);
    orbek_bitset_free(s);
    EXPECT_FALSE(orbek_bitset_new(8, &ff, 1) || orbek_bitset_new(-1, &ff, 1) || orbek_bitset_new(0, nullptr, 0) ||
                 orbek_bitset_new(1, &ff, 0) || orbek_bitset_new(0, &ff, -1) ||
                 orbek_bitset_new(0, &ff, orbek::kBitSetMaxBytes + 1));

    // Set 9 on an empty set, clear it again: the count trims to nothing.
    s = orbek_bitset_empty();
    ASSERT_TRUE(s && s->capacity == 4);
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_BitSet");
    EXPECT_EQ(bits(s), "0:");
    ASSERT_EQ(orbek_bitset_set(s, 9), 1);
    EXPECT_EQ(bits(s), "6:0040");
    ASSERT_EQ(orbek_bitset_clear(s, 9), 1);
    EXPECT_EQ(orbek_bitset_getbitcount(s), 0);
    // With bits 1 and 9 set, clearing 9 trims to 2; clearing at the count
    // changes nothing.
    ASSERT_EQ(orbek_bitset_set(s, 1) + orbek_bitset_set(s, 9) + orbek_bitset_clear(s, 9), 3);
    EXPECT_EQ(orbek_bitset_getbitcount(s), 2);
    EXPECT_EQ(orbek_bitset_clear(s, 2) + orbek_bitset_isset(s, 2), 1);
    EXPECT_EQ(orbek_bitset_getbitcount(s), 2);
    // Bit 40 lies beyond 4 bytes: the buffer grows to 9, keeping the rest.
    ASSERT_EQ(orbek_bitset_set(s, 40), 1);
    EXPECT_EQ(s->capacity, 9);
    EXPECT_EQ(bits(s), "7:400000000080");
    orbek_bitset *d = orbek_bitset_dup(s);
    EXPECT_EQ(bits(d), bits(s));
    EXPECT_EQ(d->capacity, 6);
    orbek_bitset_free(d);
    EXPECT_EQ(orbek_bitset_set(s, -1) + orbek_bitset_clear(s, -1) + orbek_bitset_isset(s, -1) +
                  orbek_bitset_set(nullptr, 0) + orbek_bitset_clear(nullptr, 0),
              0);
    EXPECT_TRUE(orbek_bitset_getbitcount(nullptr) == -1 && !orbek_bitset_dup(nullptr) && bits(nullptr) == "null");
    int32_t u;
    EXPECT_EQ(orbek_bitset_getdata(s, nullptr), nullptr);
    orbek_bitset_free(s);
    // An empty set made from no bytes has no buffer, yet works throughout.
    s = orbek_bitset_new(0, &ff, 0);
    d = orbek_bitset_dup(s);
    EXPECT_TRUE(d && bits(d) == "0:" && orbek_bitset_getdata(nullptr, &u) == nullptr);
    EXPECT_EQ(orbek_bitset_set(d, 0), 1);
    EXPECT_EQ(bits(d), "7:80");
    orbek_bitset_free(d);
    orbek_bitset_free(s);
}

TEST(BitSet, RandomChangesMatchAPlainModel) {
    uint32_t r = 2463534242u;
    auto next = [&r] { return r ^= r << 13, r ^= r >> 17, r ^= r << 5; };
    orbek_bitset *s = orbek_bitset_empty();
    std::vector<bool> model;  // model.size() is the bit count
    for (int step = 0; step < 4000; ++step) {
        const int32_t n = (int32_t)(next() % (step < 2000 ? 300 : 40));
        if (next() % 3) {
            ASSERT_EQ(orbek_bitset_clear(s, n), 1);
            if ((size_t)n < model.size()) model[(size_t)n] = false;
            while (!model.empty() && !model.back() && (size_t)n + 1 >= model.size()) model.pop_back();
        } else {
            ASSERT_EQ(orbek_bitset_set(s, n), 1);
            if ((size_t)n >= model.size()) model.resize((size_t)n + 1);
            model[(size_t)n] = true;
        }
        ASSERT_EQ(orbek_bitset_getbitcount(s), (int32_t)model.size()) << step;
        for (int32_t i = 0; i < 310; ++i) ASSERT_EQ(orbek_bitset_isset(s, i), (size_t)i < model.size() && model[(size_t)i]);
        if (step % 97 == 0) {
            // The BIT STRING form rebuilds an equal set.
            int32_t u = -1;
            orbek_data_blob *b = orbek_bitset_getdata(s, &u);
            orbek_bitset *t = orbek_bitset_new(u, b->data, b->length);
            EXPECT_EQ(bits(t), bits(s));
            orbek_bitset_free(t);
            orbek_data_blob_free(b);
        }
    }
    orbek_bitset_free(s);
}

TEST(BitSet, AllocationFailureSweep) {
    EXPECT_EQ(testalloc::sweep([] {
                  const uint8_t data[] = {0xA5, 0x5A, 0xF0};
                  orbek_bitset *s = orbek_bitset_new(4, data, 3), *d = nullptr;
                  bool ok = s && orbek_bitset_set(s, 100) == 1;
                  // A failed growth leaves the set as it was.
                  EXPECT_TRUE(!s || ok || (s->bit_count == 20 && s->capacity == 3 && s->bytes[2] == 0xF0));
                  d = ok ? orbek_bitset_dup(s) : nullptr;
                  orbek_bitset *e = d ? orbek_bitset_empty() : nullptr;
                  int32_t u;
                  orbek_data_blob *b = e ? orbek_bitset_getdata(d, &u) : nullptr;
                  ok = b != nullptr;
                  orbek_data_blob_free(b);
                  orbek_bitset_free(e);
                  orbek_bitset_free(d);
                  orbek_bitset_free(s);
                  return ok;
              }),
              9);
}
