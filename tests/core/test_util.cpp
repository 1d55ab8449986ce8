// Process settings and utilities.  Linked statically: the settings are read
// here by calling the start-up steps directly, and GMP is the same copy the
// library registered its memory functions with.
#include <gmp.h>
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/util.h"
#include "orbek_util.h"

#if defined(__SANITIZE_ADDRESS__)
// The GMP test asks the heap for an impossible block and expects null back.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

int32_t cmp_int(const void *key, const void *element) {
    int a = *static_cast<const int *>(key), b = *static_cast<const int *>(element);
    return a < b ? -1 : a > b ? 1 : 0;
}

struct Found {
    int32_t result;
    int32_t index;
};

Found search(const std::vector<int> &v, int key) {
    Found f{-7, -7};
    f.result = orbek_bsearch(&key, v.empty() ? &key : v.data(), (int32_t)v.size(), sizeof(int), cmp_int, &f.index);
    return f;
}

}  // namespace

TEST(RecursiveLevel, ReadAtLoadEvenInAStaticLink) {
    // Nothing has called the start-up steps yet: the loader hook did.
    EXPECT_EQ(orbek_get_recursive_level(), orbek::parse_recursive_level(getenv("ORBEK_RECURSIVE_LEVEL")));
    orbek_winversion v;
    ASSERT_EQ(orbek_getwinversion(&v), &v);
    EXPECT_EQ(v.size, 148u);
}

TEST(RecursiveLevel, ParsesLikeTheEnvironmentReader) {
    EXPECT_EQ(orbek::parse_recursive_level(nullptr), 200);
    EXPECT_EQ(orbek::parse_recursive_level("3"), 8);
    EXPECT_EQ(orbek::parse_recursive_level("abc"), 8);
    EXPECT_EQ(orbek::parse_recursive_level(""), 8);
    EXPECT_EQ(orbek::parse_recursive_level("1000"), 1000);
    EXPECT_EQ(orbek::parse_recursive_level(" \t+42levels"), 42);
    EXPECT_EQ(orbek::parse_recursive_level("-500"), 8);
    EXPECT_EQ(orbek::parse_recursive_level("8"), 8);
    EXPECT_EQ(orbek::parse_recursive_level("99999999999999999999"), INT32_MAX);

    ASSERT_TRUE(orbek::settings_read_recursive_level());
    EXPECT_EQ(orbek_get_recursive_level(), orbek::parse_recursive_level(getenv("ORBEK_RECURSIVE_LEVEL")));
}

TEST(BinarySearch, TheDocumentedCases) {
    const std::vector<int> v = {1, 3, 5, 5, 5, 7};
    Found f = search(v, 5);
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.index, 2);
    f = search(v, 4);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.index, 2);
    f = search(v, 9);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.index, 6);
    f = search({}, 9);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.index, -1);

    int key = 1, index = 99;
    EXPECT_EQ(orbek_bsearch(nullptr, v.data(), 6, sizeof(int), cmp_int, &index), 0);
    EXPECT_EQ(orbek_bsearch(&key, nullptr, 6, sizeof(int), cmp_int, &index), 0);
    EXPECT_EQ(orbek_bsearch(&key, v.data(), 6, sizeof(int), nullptr, &index), 0);
    EXPECT_EQ(orbek_bsearch(&key, v.data(), 6, 0, cmp_int, &index), 0);
    EXPECT_EQ(orbek_bsearch(&key, v.data(), 6, sizeof(int), cmp_int, nullptr), 0);
    EXPECT_EQ(index, 99) << "a refused call leaves the index alone";
    EXPECT_EQ(orbek_bsearch(&key, v.data(), -3, sizeof(int), cmp_int, &index), 0);
    EXPECT_EQ(index, -1);
}

TEST(BinarySearch, AgreesWithLowerBoundOnEveryShape) {
    // Every sorted array of up to 10 elements drawn from runs of 0, 2, 4,
    // searched for every value from -1 to 5: a hit gives the first equal
    // element, a miss the insertion point.
    for (int n = 0; n <= 10; ++n) {
        for (int mask = 0; mask < (1 << n); ++mask) {
            std::vector<int> v;
            int value = 0;
            for (int i = 0; i < n; ++i) {
                if (mask >> i & 1) value += 2;
                v.push_back(value);
            }
            for (int key = -1; key <= value + 1; ++key) {
                Found f = search(v, key);
                auto lb = std::lower_bound(v.begin(), v.end(), key);
                bool hit = lb != v.end() && *lb == key;
                int want = n == 0 ? -1 : (int)(lb - v.begin());
                ASSERT_EQ(f.result, hit ? 1 : 0) << "n " << n << " mask " << mask << " key " << key;
                ASSERT_EQ(f.index, want) << "n " << n << " mask " << mask << " key " << key;
            }
        }
    }
}

TEST(SystemReadings, VersionRecordProcessorsAndExecutable) {
    ASSERT_TRUE(orbek::settings_read_version());
    orbek_winversion v;
    memset(&v, 0xAA, sizeof v);
    EXPECT_EQ(orbek_getwinversion(&v), &v);
    EXPECT_EQ(orbek_getwinversion(nullptr), nullptr);
    EXPECT_EQ(v.size, 148u);
    EXPECT_EQ(v.platform_id, 2u);
    EXPECT_GE(v.major, 2u);
    EXPECT_NE(memchr(v.service_pack, 0, sizeof v.service_pack), nullptr);
    EXPECT_EQ(orbek_winuseunicode(), 1);

    EXPECT_GE(orbek_getcpucount(), 1);

    char *path = orbek_getexepath();
    char *name = orbek_getexefilename();
    ASSERT_NE(path, nullptr);
    ASSERT_NE(name, nullptr);
    std::string p(path), n(name);
    EXPECT_TRUE(n == "test_util" || n == "test_util.exe") << n;
    ASSERT_GT(p.size(), n.size());
    EXPECT_EQ(p.substr(p.size() - n.size()), n);
    char sep = p[p.size() - n.size() - 1];
    EXPECT_TRUE(sep == '/' || sep == '\\') << p;
    EXPECT_EQ(n.find(sep), std::string::npos);
    orbek_free(path);
    orbek_free(name);
}

TEST(GmpMemory, FailuresRaiseTheLibrarysException) {
    ASSERT_TRUE(orbek::settings_register_gmp());
    void *(*alloc)(size_t);
    void *(*realloc_fn)(void *, size_t, size_t);
    void (*free_fn)(void *, size_t);
    mp_get_memory_functions(&alloc, &realloc_fn, &free_fn);

    // Ordinary arithmetic goes through them and works.
    mpz_t a;
    mpz_init_set_ui(a, 1);
    mpz_mul_2exp(a, a, 100000);  // grows by reallocation
    EXPECT_EQ(mpz_sizeinbase(a, 2), 100001u);
    mpz_clear(a);

    bool raised = false;
    try {
        alloc(SIZE_MAX - 4096);
    } catch (const gmpexception &) {
        raised = true;
    }
    EXPECT_TRUE(raised);
    void *block = alloc(16);
    raised = false;
    try {
        block = realloc_fn(block, 16, SIZE_MAX - 4096);
    } catch (const gmpexception &) {
        raised = true;
    }
    EXPECT_TRUE(raised);
    free_fn(block, 16);  // the block survived the failed reallocation
}
