// Memory and null streams.
#include <string.h>

#include "stream_test.h"
#include "support/test_alloc.h"

using namespace st;

namespace {

int32_t ctrl(orbek_stream *s, int32_t code, int32_t v, orbek_err_ctx *ctx, int32_t *out = nullptr) {
    int32_t arg = v;
    int32_t rc = orbek_stream_ctrl(s, code, &arg, ctx);
    if (out) *out = arg;
    return rc;
}

std::string read_some(orbek_stream *s, int32_t n, orbek_err_ctx *ctx = nullptr) {
    std::string buf((size_t)n, '\0');
    int32_t got = -1;
    EXPECT_EQ(orbek_stream_read(s, reinterpret_cast<uint8_t *>(&buf[0]), n, &got, ctx), 1);
    buf.resize((size_t)(got < 0 ? 0 : got));
    return buf;
}

}  // namespace

TEST(MemStream, CapacityRoundingAndGrowth) {
    Ctx ctx;
    Chain a(orbek_stream_new_mem(0, ctx)), b(orbek_stream_new_mem(10, ctx)), c(orbek_stream_new_rwspecmem(8, ctx));
    ASSERT_TRUE(a.s && b.s && c.s);
    EXPECT_EQ(orbek_stream_gettype(a), ORBEK_STREAM_TYPE_MEM);
    EXPECT_EQ(mem(a)->capacity, 4096);
    EXPECT_EQ(mem(b)->capacity, 16);
    EXPECT_EQ(mem(c)->capacity, 8);
    EXPECT_EQ(mem(c)->flags, 0x40000000u);

    std::string big(5000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = (char)(i * 31 + 7);
    put(a, big.substr(0, 100));
    put(a, big.substr(100));
    EXPECT_EQ(mem(a)->capacity, 2 * 4096 - (4096 - 100) + 4900);  // 9096
    EXPECT_EQ(content(a), big);
    EXPECT_EQ(mem(a)->read_pos, 5000);
    EXPECT_EQ(mem(a)->write_pos, 5000);

    // Small writes: growth at least doubles and keeps the content.
    std::string s;
    for (int i = 0; i < 100; ++i) {
        std::string piece(3, (char)('a' + i % 26));
        put(b, piece);
        s += piece;
    }
    EXPECT_EQ(content(b), s);
    EXPECT_EQ(mem(b)->capacity % 8, 0);

    EXPECT_EQ(orbek_stream_new_mem(-1, ctx), nullptr);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Mem");
    EXPECT_EQ(orbek_stream_new_rwspecmem(-8, ctx), nullptr);
    EXPECT_EQ(orbek_stream_new_mem(INT32_MAX, ctx), nullptr);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
}

TEST(MemStream, ReadOnlyCopyAndView) {
    Ctx ctx;
    char text[] = "abcdef";
    Chain copy(orbek_stream_new_romem(u8(text), 6, 1, ctx)), view(orbek_stream_new_romem(u8(text), 6, 0, ctx));
    ASSERT_TRUE(copy.s && view.s);
    EXPECT_EQ(mem(copy)->flags, 0x1u);
    EXPECT_EQ(mem(view)->flags, 0x80000001u);
    text[0] = 'X';
    EXPECT_EQ(read_some(copy, 4), "abcd");
    EXPECT_EQ(read_some(view, 4), "Xbcd");
    EXPECT_EQ(orbek_stream_writen(copy, u8("z"), 1, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_READONLY);
    EXPECT_EQ(ctx.desc(), "Write a readonly stream");
    EXPECT_EQ(read_some(copy, 10), "ef");
    EXPECT_EQ(read_some(copy, 10), "") << "the end: result 1, count 0";
    EXPECT_EQ(orbek_stream_ctrl(copy, ORBEK_CTRL_AT_END, nullptr, ctx), 1);
    EXPECT_EQ(orbek_stream_ctrl(view, ORBEK_CTRL_AT_END, nullptr, ctx), 0);

    EXPECT_EQ(orbek_stream_new_romem(nullptr, 3, 1, ctx), nullptr);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(orbek_stream_new_romem(u8("a"), -1, 1, ctx), nullptr);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    Chain empty(orbek_stream_new_romem(nullptr, 0, 1, ctx));
    ASSERT_NE(empty.s, nullptr);
    EXPECT_EQ(read_some(empty, 4), "");
}

TEST(MemStream, ReadWriteArgumentChecks) {
    Ctx ctx;
    Chain m(orbek_stream_new_mem(0, ctx));
    uint8_t buf[4];
    int32_t n = -1;
    EXPECT_EQ(orbek_stream_write(m, nullptr, 3, &n, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(orbek_stream_write(m, buf, -3, &n, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(orbek_stream_read(m, buf, -3, &n, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(orbek_stream_write(m, nullptr, 0, &n, ctx), 1);
    EXPECT_EQ(n, 0);

    // A stream whose state is gone answers "Bad stream".
    orbek_stream bare = *m.s;
    bare.state = nullptr;
    EXPECT_EQ(orbek_stream_read(&bare, buf, 1, &n, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD);
    EXPECT_EQ(orbek_stream_write(&bare, buf, 1, &n, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(&bare, 6, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD);
}

TEST(MemStream, ControlCodes) {
    Ctx ctx;
    Chain m(orbek_stream_new_mem(0, ctx));
    put(m, "0123456789");
    int32_t v = -1;
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_LENGTH, 0, ctx, &v), 1);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_GET_POS, 0, ctx, &v), 1);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_POS, 3, ctx), 1);
    EXPECT_EQ(read_some(m, 2), "34");
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_GET_WRITE_POS, 0, ctx, &v), 1);
    EXPECT_EQ(v, 5) << "the write position follows the read position";
    put(m, "ab");
    EXPECT_EQ(content(m), "01234ab789");
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_GET_READ_POS, 0, ctx, &v), 1);
    EXPECT_EQ(v, 7);

    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_POS, 10, ctx), 0) << "the end is no valid position";
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_POS);
    EXPECT_EQ(ctx.desc(), "pos is invalid");
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_POS, -1, ctx), 0);
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_READ_POS, 2, ctx), 1);
    EXPECT_EQ(mem(m)->write_pos, 2);
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_WRITE_POS, 9, ctx), 1);
    EXPECT_EQ(mem(m)->read_pos, 9);
    EXPECT_EQ(orbek_stream_ctrl(m, ORBEK_CTRL_RESET, nullptr, ctx), 1);
    EXPECT_EQ(mem(m)->read_pos, 0);
    EXPECT_EQ(mem(m)->write_pos, 0);
    EXPECT_EQ(orbek_stream_ctrl(m, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);

    ctx.clear();
    EXPECT_EQ(orbek_stream_ctrl(m, 13, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_CTRL);
    EXPECT_EQ(ctx.desc(), "unsupported ctrl code");
    EXPECT_EQ(orbek_stream_ctrl(m, ORBEK_CTRL_LENGTH, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_NULL_POINT);

    Chain empty(orbek_stream_new_mem(0, ctx));
    EXPECT_EQ(ctrl(empty, ORBEK_CTRL_SET_POS, 0, ctx), 0) << "an empty stream has no valid position";
    EXPECT_EQ(orbek_stream_ctrl(empty, ORBEK_CTRL_AT_END, nullptr, ctx), 1);
}

TEST(MemStream, ReserveIsAHintWithItsOwnConditions) {
    Ctx ctx;
    Chain m(orbek_stream_new_mem(8, ctx));
    put(m, "abc");
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_RESERVE, 5, ctx), 1);
    EXPECT_EQ(mem(m)->capacity, 8);
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_RESERVE, 100, ctx), 1);
    EXPECT_EQ(mem(m)->capacity, 104);
    EXPECT_EQ(content(m), "abc");
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_POS, 1, ctx), 1);
    ctx.clear();
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_RESERVE, 1000, ctx), 0) << "positions not at the end";
    EXPECT_EQ(ctx.records(), 0);

    Chain ro(orbek_stream_new_romem(u8("abc"), 3, 1, ctx));
    uint8_t three[3];
    EXPECT_EQ(orbek_stream_readn(ro, three, 3, ctx), 1);
    EXPECT_EQ(ctrl(ro, ORBEK_CTRL_RESERVE, 10, ctx), 0);

    Chain g(orbek_stream_new_mem(8, ctx));
    testalloc::fail_nth(1);
    EXPECT_EQ(ctrl(g, ORBEK_CTRL_RESERVE, 100, ctx), 0);
    testalloc::fail_nth(0);
    EXPECT_EQ(mem(g)->capacity, 8);
    EXPECT_EQ(ctx.records(), 0);
}

TEST(MemStream, DetachHandsTheBufferOver) {
    Ctx ctx;
    Chain m(orbek_stream_new_mem(16, ctx));
    put(m, "json text");
    uint8_t *data = nullptr;
    int32_t len = -1;
    EXPECT_EQ(orbek_memstreamdeatch(m, nullptr, &len), 0);
    EXPECT_EQ(orbek_memstreamdeatch(m, &data, nullptr), 0);
    ASSERT_EQ(orbek_memstreamdeatch(m, &data, &len), 1);
    EXPECT_EQ(len, 9);
    EXPECT_EQ(memcmp(data, "json text", 9), 0);
    EXPECT_EQ(mem(m)->flags, 0x80000000u);
    EXPECT_EQ(orbek_memstreamdeatch(m, &data, &len), 0) << "the buffer is no longer the stream's to give";

    // Still writable in place, but it cannot grow.
    put(m, "!!");
    EXPECT_EQ(memcmp(data, "json text!!", 11), 0);
    EXPECT_EQ(orbek_stream_writen(m, u8("0123456789"), 10, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_CANNOT_GROW);
    EXPECT_EQ(ctx.desc(), "Stream cannot grow");
    EXPECT_EQ(content(m), "json text!!") << "a failing write changes nothing";
    orbek_stream_free(m.s);
    m.s = nullptr;
    orbek_free(data);

    Chain q(orbek_stream_new_rwspecmem(0, ctx));
    EXPECT_EQ(orbek_memstreamdeatch(q, &data, &len), 0);
    Chain view(orbek_stream_new_romem(u8("ab"), 2, 0, ctx));
    EXPECT_EQ(orbek_memstreamdeatch(view, &data, &len), 0);
    Chain nul(orbek_stream_new_null(ctx));
    EXPECT_EQ(orbek_memstreamdeatch(nul, &data, &len), 0);
    EXPECT_EQ(orbek_memstreamdeatch(nullptr, &data, &len), 0);
}

TEST(MemStream, DupReadonlyViewsTheCurrentContent) {
    Ctx ctx;
    Chain m(orbek_stream_new_mem(0, ctx));
    put(m, "shared");
    Chain v(orbek_memstream_dup_readonly(m));
    ASSERT_NE(v.s, nullptr);
    EXPECT_EQ(mem(v)->flags, 0x80000001u);
    EXPECT_EQ(mem(v)->data, mem(m)->data);
    EXPECT_EQ(read_some(v, 100), "shared");
    EXPECT_EQ(orbek_stream_writen(v, u8("x"), 1, ctx), 0);

    Chain q(orbek_stream_new_rwspecmem(0, ctx));
    EXPECT_EQ(orbek_memstream_dup_readonly(q), nullptr);
    EXPECT_EQ(orbek_memstream_dup_readonly(nullptr), nullptr);
    Chain sink(orbek_stream_new_mem(0, ctx));
    orbek_stream *b = orbek_stream_new_hex(0, ctx);
    ASSERT_EQ(orbek_stream_push(b, sink), 1);
    EXPECT_EQ(orbek_memstream_dup_readonly(sink), nullptr) << "chained";
    orbek_stream_pop(b);
    orbek_stream_free(b);
}

TEST(MemStream, SeparatePositionsBehaveLikeAQueue) {
    Ctx ctx;
    Chain q(orbek_stream_new_rwspecmem(16, ctx));
    put(q, "abcdef");
    EXPECT_EQ(read_some(q, 4), "abcd");
    int32_t v = -1;
    EXPECT_EQ(ctrl(q, ORBEK_CTRL_LENGTH, 0, ctx, &v), 1);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(ctrl(q, ORBEK_CTRL_GET_POS, 0, ctx, &v), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_POS_DIFFER);
    EXPECT_EQ(ctx.desc(), "wirte pos and read pos are difference");

    // Refilled: the consumed front is reused before anything is allocated.
    long allocs = testalloc::total_allocations();
    put(q, "ghijklmnopqr");  // 6 + 12 > 16, but 4 bytes were consumed
    EXPECT_EQ(testalloc::total_allocations(), allocs);
    EXPECT_EQ(mem(q)->capacity, 16);
    EXPECT_EQ(mem(q)->read_pos, 0);
    EXPECT_EQ(read_some(q, 100), "efghijklmnopqr");

    // Not enough consumed room: a larger buffer holding only the unread part.
    put(q, "0123456789");  // free room 16 - 14 + 14 = 16 >= 10: compacts
    EXPECT_EQ(mem(q)->capacity, 16);
    EXPECT_EQ(read_some(q, 3), "012");
    put(q, "ABCDEFGHIJKLMNOPQRST");  // free 16 - 10 + 3 = 9 < 20: 2*16 - 9 + 20 = 43 -> 48
    EXPECT_EQ(mem(q)->capacity, 48);
    EXPECT_EQ(read_some(q, 100), "3456789ABCDEFGHIJKLMNOPQRST");

    // Read and write positions move on their own.
    Chain r(orbek_stream_new_rwspecmem(0, ctx));
    put(r, "0123456789");
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_SET_READ_POS, 4, ctx), 1);
    EXPECT_EQ(mem(r)->write_pos, 10);
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_SET_WRITE_POS, 6, ctx), 1);
    EXPECT_EQ(mem(r)->read_pos, 4);
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_SET_WRITE_POS, 2, ctx), 0) << "behind the read position";
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_POS);
    EXPECT_EQ(mem(r)->write_pos, 2);
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_SET_READ_POS, 3, ctx), 1);
    EXPECT_EQ(mem(r)->write_pos, 3) << "raised to the read position";
    EXPECT_EQ(read_some(r, 2), "34");
    EXPECT_EQ(mem(r)->write_pos, 5) << "reading past the write position drags it along";
}

TEST(MemStream, FailedGrowthChangesNothing) {
    Ctx ctx;
    Chain m(orbek_stream_new_mem(8, ctx)), q(orbek_stream_new_rwspecmem(8, ctx));
    put(m, "abcdef");
    put(q, "abcdef");
    for (orbek_stream *s : {m.s, q.s}) {
        orbek_mem_state before = *mem(s);
        testalloc::fail_nth(1);
        EXPECT_EQ(orbek_stream_writen(s, u8("0123456789"), 10, ctx), 0);
        testalloc::fail_nth(0);
        EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
        EXPECT_EQ(ctx.file(), "ORBEK_Stream_Mem");
        EXPECT_EQ(memcmp(mem(s), &before, sizeof before), 0);
        EXPECT_EQ(content(s), "abcdef");
    }
}

TEST(MemStream, AllocationFailureSweeps) {
    Ctx ctx;  // made outside: its own allocation is not under test
    testalloc::sweep([&] {
        ctx.clear();
        orbek_stream *s = orbek_stream_new_mem(0, ctx);
        if (!s) {
            EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
            return false;
        }
        orbek_stream_free(s);
        return true;
    });
    testalloc::sweep([] {
        orbek_stream *s = orbek_stream_new_romem(u8("abc"), 3, 1, nullptr);
        orbek_stream_free(s);
        return s != nullptr;
    });
    testalloc::sweep([] {
        orbek_stream *s = orbek_stream_new_romem(u8("abc"), 3, 0, nullptr);
        orbek_stream_free(s);
        return s != nullptr;
    });
    testalloc::sweep([] {
        orbek_stream *s = orbek_stream_new_null(nullptr);
        orbek_stream_free(s);
        return s != nullptr;
    });
    testalloc::sweep([] {
        orbek_stream *s = orbek_stream_new_rwspecmem(100, nullptr);
        orbek_stream_free(s);
        return s != nullptr;
    });
    Chain src(orbek_stream_new_mem(0, ctx));
    put(src, "viewed");
    testalloc::sweep([&] {
        orbek_stream *v = orbek_memstream_dup_readonly(src);
        bool ok = v && content(v) == "viewed";
        orbek_stream_free(v);
        return ok;
    });
    // Growing writes, both variants: the JSON encoder's pattern of many
    // small writes, then detach.
    for (int separate = 0; separate < 2; ++separate) {
        testalloc::sweep([&] {
            ctx.clear();
            orbek_stream *s = separate ? orbek_stream_new_rwspecmem(32, ctx) : orbek_stream_new_mem(32, ctx);
            if (!s) return false;
            std::string all;
            bool ok = true;
            for (int i = 0; i < 40 && ok; ++i) {
                std::string piece = "{\"k" + std::to_string(i) + "\":true},";
                ok = orbek_stream_writen(s, u8(piece), (int32_t)piece.size(), ctx) == 1;
                if (ok) all += piece;
                if (!ok) {
                    EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
                }
            }
            ok = ok && content(s) == all;
            orbek_stream_free(s);
            return ok;
        });
    }
}

TEST(NullStream, DiscardsEverything) {
    Ctx ctx;
    Chain n(orbek_stream_new_null(ctx));
    ASSERT_NE(n.s, nullptr);
    EXPECT_EQ(orbek_stream_gettype(n), ORBEK_STREAM_TYPE_NULL);
    std::string big(1000000, 'z');
    int32_t count = 0;
    EXPECT_EQ(orbek_stream_write(n, u8(big), 1000000, &count, ctx), 1);
    EXPECT_EQ(count, 1000000);
    EXPECT_EQ(orbek_stream_write(n, u8(big), -1, &count, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Null");
    uint8_t b[4];
    EXPECT_EQ(orbek_stream_read(n, b, 4, &count, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(orbek_stream_ctrl(n, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(orbek_stream_ctrl(n, ORBEK_CTRL_RESET, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_CTRL);
}
