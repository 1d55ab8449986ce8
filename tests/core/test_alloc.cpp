#include <gtest/gtest.h>
#include <string.h>

#include "orbek_util.h"
#include "support/test_alloc.h"

TEST(Alloc, MallocPassesPositionAndFreeIgnoresNull) {
    long live = testalloc::live_blocks();
    long total = testalloc::total_allocations();
    EXPECT_EQ(orbek_malloc(-5, "x", 1), nullptr);
    EXPECT_EQ(testalloc::total_allocations(), total) << "a negative size must not reach the hook";

    void *p = orbek_malloc(0, "caller", 42);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(testalloc::last_file(), "caller");
    EXPECT_EQ(testalloc::last_line(), 42);
    EXPECT_EQ(testalloc::live_blocks(), live + 1);
    orbek_free(p);
    orbek_free(nullptr);
    EXPECT_EQ(testalloc::live_blocks(), live);
}

TEST(Alloc, HooksFrozenAfterFirstAllocation) {
    orbek_malloc_func a = orbek_getmallocfunc();
    orbek_free_func f = orbek_getfreefunc();
    EXPECT_EQ(orbek_setallocfunc([](int32_t, const char *, int32_t) -> void * { return nullptr; }, [](void *) {}),
              0);
    EXPECT_EQ(orbek_getmallocfunc(), a);
    EXPECT_EQ(orbek_getfreefunc(), f);
}

TEST(DataBlob, CopiesAndRejects) {
    uint8_t bytes[5] = {1, 2, 0, 4, 5};
    orbek_data_blob *b = orbek_data_blob_new(bytes, 5);
    ASSERT_NE(b, nullptr);
    bytes[0] = 9;  // the blob owns its copy
    EXPECT_EQ(b->length, 5);
    EXPECT_EQ(b->data[0], 1);
    EXPECT_EQ(memcmp(b->data + 1, bytes + 1, 4), 0);
    orbek_data_blob_free(b);

    orbek_data_blob *empty = orbek_data_blob_new(bytes, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->length, 0);
    EXPECT_NE(empty->data, nullptr);
    orbek_data_blob_free(empty);

    EXPECT_EQ(orbek_data_blob_new(nullptr, 0), nullptr);
    EXPECT_EQ(orbek_data_blob_new(bytes, -1), nullptr);
    orbek_data_blob_free(nullptr);
}

TEST(DataBlob, AllocationFailureSweep) {
    const uint8_t bytes[3] = {7, 8, 9};
    long n = testalloc::sweep([&] {
        orbek_data_blob *b = orbek_data_blob_new(bytes, 3);
        if (!b) return false;
        bool same = b->length == 3 && memcmp(b->data, bytes, 3) == 0;
        orbek_data_blob_free(b);
        return same;
    });
    EXPECT_EQ(n, 2);
}

TEST(ErrCtx, OneBlockAtItsFixedPositionAndSweep) {
    orbek_err_ctx *ctx = orbek_err_ctx_new();
    ASSERT_NE(ctx, nullptr);
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_Error");
    EXPECT_EQ(testalloc::last_line(), 14);
    orbek_err_ctx_free(ctx);
    orbek_err_ctx_free(nullptr);

    long n = testalloc::sweep([] {
        orbek_err_ctx *c = orbek_err_ctx_new();
        if (!c) return false;
        uint32_t code = 0;
        bool ok = orbek_err_ctx_geterrcode(c, &code) == 1 && code == 1;
        orbek_err_ctx_free(c);
        return ok;
    });
    EXPECT_EQ(n, 1);
}
