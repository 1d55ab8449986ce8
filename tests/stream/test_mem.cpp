// Memory and null streams.
#include "stream_test.h"
#include "support/test_alloc.h"

using namespace st;

namespace {

int32_t ctrl(orbek_stream *s, int32_t code, int32_t v, orbek_err_ctx *ctx, int32_t *out = nullptr) {
    int32_t rc = orbek_stream_ctrl(s, code, &v, ctx);
    if (out) *out = v;
    return rc;
}

std::string read_some(orbek_stream *s, int32_t n) {
    std::string buf((size_t)n, '\0');
    int32_t got = 0;
    EXPECT_EQ(orbek_stream_read(s, (uint8_t *)&buf[0], n, &got, nullptr), 1);
    buf.resize((size_t)got);
    return buf;
}

}  // namespace

TEST(MemStream, CapacityRoundingAndGrowth) {
    Ctx ctx;
    Chain a(orbek_stream_new_mem(0, ctx)), b(orbek_stream_new_mem(10, ctx));
    EXPECT_EQ(mem(a)->capacity, 4096);
    EXPECT_EQ(mem(b)->capacity, 16);
    std::string big(5000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = (char)(i * 31 + 7);
    put(a, big.substr(0, 100));
    put(a, big.substr(100));
    EXPECT_EQ(mem(a)->capacity, 9096) << "2 x capacity - room + n";
    EXPECT_EQ(content(a), big);
    std::string s;
    for (int i = 0; i < 100; ++i) {
        put(b, "xyz");
        s += "xyz";
    }
    EXPECT_EQ(content(b), s);

    EXPECT_EQ(orbek_stream_new_mem(-1, ctx), nullptr);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Mem");
    EXPECT_EQ(orbek_stream_new_mem(INT32_MAX, ctx), nullptr);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
}

TEST(MemStream, ReadOnlyCopyAndView) {
    Ctx ctx;
    char text[] = "abcdef";
    Chain copy(orbek_stream_new_romem(u8(text), 6, 1, ctx)), view(orbek_stream_new_romem(u8(text), 6, 0, ctx));
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
}

TEST(MemStream, ControlCodes) {
    Ctx ctx;
    Chain m(orbek_stream_new_mem(0, ctx));
    put(m, "0123456789");
    int32_t v = -1;
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_LENGTH, 0, ctx, &v), 1);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_POS, 3, ctx), 1);
    EXPECT_EQ(read_some(m, 2), "34");
    put(m, "ab");  // the write position followed the read position
    EXPECT_EQ(content(m), "01234ab789");
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_GET_POS, 0, ctx, &v), 1);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_POS, 10, ctx), 0) << "the end is no valid position";
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_POS);
    EXPECT_EQ(ctx.desc(), "pos is invalid");
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_SET_WRITE_POS, 9, ctx), 1);
    EXPECT_EQ(mem(m)->read_pos, 9);
    EXPECT_EQ(orbek_stream_ctrl(m, ORBEK_CTRL_RESET, nullptr, ctx), 1);
    EXPECT_EQ(mem(m)->write_pos, 0);
    EXPECT_EQ(orbek_stream_ctrl(m, 13, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_CTRL);
    EXPECT_EQ(orbek_stream_ctrl(m, ORBEK_CTRL_LENGTH, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_NULL_POINT);

    // Reserve: a hint that reports nothing.
    Chain r(orbek_stream_new_mem(8, ctx));
    put(r, "abc");
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_RESERVE, 100, ctx), 1);
    EXPECT_EQ(mem(r)->capacity, 104);
    EXPECT_EQ(content(r), "abc");
    ctx.clear();
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_SET_POS, 1, ctx), 1);
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_RESERVE, 1000, ctx), 0) << "positions not at the end";
    testalloc::fail_nth(1);
    EXPECT_EQ(ctrl(m, ORBEK_CTRL_RESERVE, 10000, ctx), 0);
    testalloc::fail_nth(0);
    EXPECT_EQ(ctx.records(), 0);
}

TEST(MemStream, DetachAndReadOnlyViews) {
    Ctx ctx;
    Chain m(orbek_stream_new_mem(16, ctx));
    put(m, "json text");
    Chain v(orbek_memstream_dup_readonly(m));
    EXPECT_EQ(mem(v)->flags, 0x80000001u);
    EXPECT_EQ(read_some(v, 100), "json text");
    uint8_t *data = nullptr;
    int32_t len = -1;
    EXPECT_EQ(orbek_memstreamdeatch(m, nullptr, &len), 0);
    ASSERT_EQ(orbek_memstreamdeatch(m, &data, &len), 1);
    EXPECT_EQ(std::string((char *)data, (size_t)len), "json text");
    EXPECT_EQ(mem(m)->flags, 0x80000000u);
    EXPECT_EQ(orbek_memstreamdeatch(m, &data, &len), 0) << "no longer the stream's to give";
    put(m, "!!");  // still writable in place, but it cannot grow
    EXPECT_EQ(orbek_stream_writen(m, u8("0123456789"), 10, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_CANNOT_GROW);
    EXPECT_EQ(content(m), "json text!!") << "a failing write changes nothing";
    orbek_stream_freeall(m.s);
    m.s = nullptr;
    EXPECT_EQ(std::string((char *)data, 11), "json text!!") << "the buffer outlives the stream";
    orbek_free(data);

    Chain q(orbek_stream_new_rwspecmem(0, ctx)), sink(orbek_stream_new_mem(0, ctx));
    EXPECT_EQ(orbek_memstreamdeatch(q, &data, &len), 0);
    EXPECT_EQ(orbek_memstream_dup_readonly(q), nullptr);
    orbek_stream *h = orbek_stream_new_hex(0, ctx);
    ASSERT_EQ(orbek_stream_push(h, sink), 1);
    EXPECT_EQ(orbek_memstream_dup_readonly(sink), nullptr) << "chained";
    sink.s = h;
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
    EXPECT_EQ(ctx.desc(), "wirte pos and read pos are difference");

    long allocs = testalloc::total_allocations();
    put(q, "ghijklmnopqr");  // 6 + 12 > 16, but 4 bytes were consumed
    EXPECT_EQ(testalloc::total_allocations(), allocs) << "compacted, not grown";
    EXPECT_EQ(mem(q)->capacity, 16);
    EXPECT_EQ(read_some(q, 100), "efghijklmnopqr");
    put(q, "0123456789");
    EXPECT_EQ(read_some(q, 3), "012");
    put(q, "ABCDEFGHIJKLMNOPQRST");  // room 16 - 10 + 3 = 9 < 20: 2 x 16 - 9 + 20 = 43 -> 48
    EXPECT_EQ(mem(q)->capacity, 48);
    EXPECT_EQ(read_some(q, 100), "3456789ABCDEFGHIJKLMNOPQRST");

    Chain r(orbek_stream_new_rwspecmem(0, ctx));
    put(r, "0123456789");
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_SET_READ_POS, 4, ctx), 1);
    EXPECT_EQ(mem(r)->write_pos, 10);
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_SET_WRITE_POS, 2, ctx), 0) << "behind the read position";
    EXPECT_EQ(mem(r)->write_pos, 2);
    EXPECT_EQ(ctrl(r, ORBEK_CTRL_SET_READ_POS, 3, ctx), 1);
    EXPECT_EQ(mem(r)->write_pos, 3) << "raised to the read position";
    EXPECT_EQ(read_some(r, 2), "34");
    EXPECT_EQ(mem(r)->write_pos, 5) << "reading past the write position drags it along";
}

TEST(MemStream, AllocationFailures) {
    Ctx ctx;  // made outside: its own allocation is not under test
    for (int separate = 0; separate < 2; ++separate) {
        Chain s(separate ? orbek_stream_new_rwspecmem(8, ctx) : orbek_stream_new_mem(8, ctx));
        put(s, "abcdef");
        orbek_mem_state before = *mem(s);
        testalloc::fail_nth(1);
        EXPECT_EQ(orbek_stream_writen(s, u8("0123456789"), 10, ctx), 0);
        testalloc::fail_nth(0);
        EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
        EXPECT_EQ(memcmp(mem(s), &before, sizeof before), 0) << "a failing write changes nothing";
    }
    Chain src(orbek_stream_new_mem(0, ctx));
    put(src, "viewed");
    using Make = orbek_stream *(*)(orbek_stream *, orbek_err_ctx *);
    Make makers[] = {
        [](orbek_stream *, orbek_err_ctx *c) { return orbek_stream_new_mem(0, c); },
        [](orbek_stream *, orbek_err_ctx *c) { return orbek_stream_new_rwspecmem(9, c); },
        [](orbek_stream *, orbek_err_ctx *c) { return orbek_stream_new_romem(u8("abc"), 3, 1, c); },
        [](orbek_stream *, orbek_err_ctx *c) { return orbek_stream_new_romem(u8("abc"), 3, 0, c); },
        [](orbek_stream *, orbek_err_ctx *c) { return orbek_stream_new_null(c); },
        [](orbek_stream *s, orbek_err_ctx *) { return orbek_memstream_dup_readonly(s); },
    };
    for (Make make : makers)
        testalloc::sweep([&] {
            ctx.clear();
            orbek_stream *s = make(src, ctx);
            if (!s && ctx.records()) {
                EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
            }
            orbek_stream_free(s);
            return s != nullptr;
        });
    // Many small growing writes, both variants.
    for (int separate = 0; separate < 2; ++separate)
        testalloc::sweep([&] {
            ctx.clear();
            orbek_stream *s = separate ? orbek_stream_new_rwspecmem(32, ctx) : orbek_stream_new_mem(32, ctx);
            std::string all;
            bool ok = s != nullptr;
            for (int i = 0; i < 40 && ok; ++i) {
                std::string piece = "{\"k" + std::to_string(i) + "\":true},";
                if ((ok = orbek_stream_writen(s, u8(piece), (int32_t)piece.size(), ctx) == 1)) all += piece;
            }
            if (!ok) {
                EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
            }
            ok = ok && content(s) == all;
            orbek_stream_free(s);
            return ok;
        });
}

TEST(NullStream, DiscardsEverything) {
    Ctx ctx;
    Chain n(orbek_stream_new_null(ctx));
    EXPECT_EQ(orbek_stream_gettype(n), ORBEK_STREAM_TYPE_NULL);
    std::string big(1000000, 'z');
    int32_t count = 0;
    EXPECT_EQ(orbek_stream_write(n, u8(big), 1000000, &count, ctx), 1);
    EXPECT_EQ(count, 1000000);
    EXPECT_EQ(orbek_stream_write(n, u8(big), -1, &count, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Null");
    EXPECT_EQ(orbek_stream_read(n, (uint8_t *)&big[0], 4, &count, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(orbek_stream_ctrl(n, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(orbek_stream_ctrl(n, ORBEK_CTRL_RESET, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_CTRL);
}
