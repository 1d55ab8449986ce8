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

// Whether key is found, and the index the search reports.
std::pair<int32_t, int32_t> search(const std::vector<int> &v, int key) {
    int32_t index = -7, found = orbek_bsearch(&key, v.empty() ? &key : v.data(), (int32_t)v.size(), sizeof(int), cmp_int, &index);
    return {found, index};
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
    const struct { const char *text; int32_t level; } cases[] = {
        {nullptr, 200}, {"3", 8}, {"abc", 8}, {"", 8}, {"1000", 1000}, {" \t+42levels", 42},
        {"-500", 8}, {"8", 8}, {"9", 9}, {"99999999999999999999", INT32_MAX}};
    for (const auto &c : cases) EXPECT_EQ(orbek::parse_recursive_level(c.text), c.level) << (c.text ? c.text : "null");
}

TEST(BinarySearch, AgreesWithLowerBoundOnEveryShape) {
    // Every sorted array of up to 10 elements drawn from runs of 0, 2, 4,
    // searched for every value from -1 to 5: a hit gives the first equal
    // element, a miss the insertion point, an empty array -1.
    for (int n = 0; n <= 10; ++n)
        for (int mask = 0; mask < (1 << n); ++mask) {
            std::vector<int> v;
            for (int i = 0, value = 0; i < n; ++i) v.push_back(value += (mask >> i & 1) * 2);
            for (int key = -1; key <= (n ? v.back() : 0) + 1; ++key) {
                auto lb = std::lower_bound(v.begin(), v.end(), key);
                std::pair<int32_t, int32_t> want{lb != v.end() && *lb == key, n == 0 ? -1 : (int)(lb - v.begin())};
                ASSERT_EQ(search(v, key), want) << "n " << n << " mask " << mask << " key " << key;
            }
        }
    // A refused call leaves the index alone; a negative count is an empty array.
    const int v[] = {1, 3, 5};
    int key = 1, index = 99;
    EXPECT_EQ(orbek_bsearch(nullptr, v, 3, sizeof(int), cmp_int, &index), 0);
    EXPECT_EQ(orbek_bsearch(&key, nullptr, 3, sizeof(int), cmp_int, &index), 0);
    EXPECT_EQ(orbek_bsearch(&key, v, 3, sizeof(int), nullptr, &index), 0);
    EXPECT_EQ(orbek_bsearch(&key, v, 3, 0, cmp_int, &index), 0);
    EXPECT_EQ(orbek_bsearch(&key, v, 3, sizeof(int), cmp_int, nullptr), 0);
    EXPECT_EQ(index, 99);
    EXPECT_EQ(orbek_bsearch(&key, v, -3, sizeof(int), cmp_int, &index), 0);
    EXPECT_EQ(index, -1);
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

    char *path = orbek_getexepath(), *name = orbek_getexefilename();
    ASSERT_TRUE(path && name);
    std::string p(path), n(name);
    orbek_free(path);
    orbek_free(name);
    EXPECT_TRUE(n == "test_util" || n == "test_util.exe") << n;
    std::string tail = p.substr(p.size() - n.size() - 1);
    EXPECT_TRUE(tail == "/" + n || tail == "\\" + n) << p;
}

TEST(GmpMemory, FailuresRaiseTheLibrarysException) {
    ASSERT_TRUE(orbek::settings_register_gmp());
    void *(*alloc)(size_t), *(*realloc_fn)(void *, size_t, size_t);
    void (*free_fn)(void *, size_t);
    mp_get_memory_functions(&alloc, &realloc_fn, &free_fn);
    // Ordinary arithmetic goes through them and works.
    mpz_t a;
    mpz_init_set_ui(a, 1);
    mpz_mul_2exp(a, a, 100000);  // grows by reallocation
    EXPECT_EQ(mpz_sizeinbase(a, 2), 100001u);
    mpz_clear(a);

    void *block = alloc(16);
    EXPECT_THROW(alloc(SIZE_MAX - 4096), gmpexception);
    EXPECT_THROW(block = realloc_fn(block, 16, SIZE_MAX - 4096), gmpexception);
    free_fn(block, 16);  // the block survived the failed reallocation
}
