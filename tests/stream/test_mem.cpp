// Memory and null streams.
#include "stream_test.h"

using namespace st;

namespace {

std::string read_some(orbek_stream *s, int32_t n) {
    std::string buf((size_t)n, '\0');
    int32_t got = 0;
    EXPECT_EQ(orbek_stream_read(s, (uint8_t *)&buf[0], n, &got, nullptr), 1);
    return buf.substr(0, (size_t)got);
}

// A script run against one memory stream, step by step:
//   w: writes text            r: reads a bytes, expects text
//   c: control a with b works x: control a with b fails with code (and text, the description)
//   g: control a stores b     =: the content is text
//   K: the capacity is a      P: the read and write positions are a and b
struct Step {
    char op;
    int32_t a = 0, b = 0;
    std::string text = "";
    uint32_t code = 0;
};
void run(orbek_stream *s, const std::vector<Step> &script) {
    static Ctx ctx;  // one for every script: scripts may count allocations
    for (size_t i = 0; i < script.size(); ++i) {
        const Step &t = script[i];
        int32_t v = t.b, rc = strchr("cxg", t.op) ? orbek_stream_ctrl(s, t.a, &v, ctx) : 1;
        SCOPED_TRACE("step " + std::to_string(i) + " '" + t.op + "'");
        switch (t.op) {
            case 'w': put(s, t.text); break;
            case 'r': EXPECT_EQ(read_some(s, t.a), t.text); break;
            case 'c': EXPECT_EQ(rc, 1); break;
            case 'x': EXPECT_EQ(std::to_string(ctx.fails(rc)) + (t.text.empty() ? "" : ctx.desc()), std::to_string(t.code) + t.text); break;
            case 'g': EXPECT_EQ(rc == 1 ? v : -1, t.b); break;
            case '=': EXPECT_EQ(content(s), t.text); break;
            case 'K': EXPECT_EQ(mem(s)->capacity, t.a); break;
            case 'P': EXPECT_EQ(std::make_pair(mem(s)->read_pos, mem(s)->write_pos), std::make_pair(t.a, t.b)); break;
        }
    }
}

// Field by field: the struct's padding is never written.
bool same_state(const orbek_mem_state &a, const orbek_mem_state &b) {
    return a.data == b.data && a.length == b.length && a.capacity == b.capacity && a.flags == b.flags &&
           a.read_pos == b.read_pos && a.write_pos == b.write_pos;
}

}  // namespace

TEST(MemStream, GrowthControlsAndQueues) {
    Chain a(orbek_stream_new_mem(0, nullptr)), b(orbek_stream_new_mem(10, nullptr));  // rounded up to 8s
    std::string big = bytes(5000, 4);
    run(a, {{'K', 4096}, {'w', 0, 0, big.substr(0, 100)}, {'w', 0, 0, big.substr(100)},
            {'K', 9096}, {'=', 0, 0, big}});  // 2 x capacity - room + n
    run(b, {{'K', 16}});

    Chain m(orbek_stream_new_mem(0, nullptr)), r(orbek_stream_new_mem(8, nullptr));
    run(m, {{'w', 0, 0, "0123456789"}, {'g', ORBEK_CTRL_LENGTH, 10}, {'c', ORBEK_CTRL_SET_POS, 3}, {'r', 2, 0, "34"},
            {'w', 0, 0, "ab"}, {'=', 0, 0, "01234ab789"},  // the write position followed the read position
            {'g', ORBEK_CTRL_GET_POS, 7}, {'x', ORBEK_CTRL_SET_POS, 10, "pos is invalid", ORBEK_ERR_STREAM_BAD_POS},
            {'c', ORBEK_CTRL_SET_WRITE_POS, 9}, {'P', 9, 9}, {'c', ORBEK_CTRL_RESET}, {'P', 0, 0},
            {'x', 13, 0, "", ORBEK_ERR_STREAM_BAD_CTRL}});
    Ctx ctx;
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(m, ORBEK_CTRL_LENGTH, nullptr, ctx)), ORBEK_ERR_NULL_POINT);
    // Reserve: a hint that reports nothing.
    run(r, {{'w', 0, 0, "abc"}, {'c', ORBEK_CTRL_RESERVE, 100}, {'K', 104}, {'=', 0, 0, "abc"}, {'c', ORBEK_CTRL_SET_POS, 1}});
    ctx.clear();
    int32_t v = 1000;
    EXPECT_EQ(orbek_stream_ctrl(r, ORBEK_CTRL_RESERVE, &v, ctx), 0) << "positions not at the end";
    testalloc::fail_nth(1);
    v = 10000;
    EXPECT_EQ(orbek_stream_ctrl(m, ORBEK_CTRL_RESERVE, &v, ctx), 0);
    testalloc::fail_nth(0);
    EXPECT_EQ(ctx.records(), 0);

    // Separate positions: a queue that compacts before it grows.
    Chain q(orbek_stream_new_rwspecmem(16, nullptr)), p(orbek_stream_new_rwspecmem(0, nullptr));
    long allocs = testalloc::total_allocations();
    run(q, {{'w', 0, 0, "abcdef"}, {'r', 4, 0, "abcd"}, {'g', ORBEK_CTRL_LENGTH, 2},
            {'x', ORBEK_CTRL_GET_POS, 0, "wirte pos and read pos are difference", ORBEK_ERR_STREAM_POS_DIFFER},
            {'w', 0, 0, "ghijklmnopqr"}, {'K', 16}, {'r', 100, 0, "efghijklmnopqr"}});  // 6 + 12 > 16, 4 consumed
    EXPECT_EQ(testalloc::total_allocations(), allocs) << "compacted, not grown";
    run(q, {{'w', 0, 0, "0123456789"}, {'r', 3, 0, "012"},
            {'w', 0, 0, "ABCDEFGHIJKLMNOPQRST"},  // room 16 - 10 + 3 = 9 < 20: 2 x 16 - 9 + 20 = 43 -> 48
            {'K', 48}, {'r', 100, 0, "3456789ABCDEFGHIJKLMNOPQRST"}});
    run(p, {{'w', 0, 0, "0123456789"}, {'c', ORBEK_CTRL_SET_READ_POS, 4}, {'P', 4, 10},
            {'x', ORBEK_CTRL_SET_WRITE_POS, 2, "", ORBEK_ERR_STREAM_BAD_POS}, {'P', 4, 2},  // behind the read position
            {'c', ORBEK_CTRL_SET_READ_POS, 3}, {'P', 3, 3},     // raised to the read position
            {'r', 2, 0, "34"}, {'P', 5, 5}});                    // reading drags the write position along
}

TEST(MemStream, ReadOnlyStreamsViewsAndDetaching) {
    Ctx ctx;
    char text[] = "abcdef";
    Chain copy(orbek_stream_new_romem(u8(text), 6, 1, ctx)), view(orbek_stream_new_romem(u8(text), 6, 0, ctx));
    text[0] = 'X';
    EXPECT_EQ(read_some(copy, 4), "abcd");
    EXPECT_EQ(read_some(view, 4), "Xbcd");
    EXPECT_EQ(ctx.why(orbek_stream_writen(copy, u8("z"), 1, ctx)), "Write a readonly stream");
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_READONLY);
    EXPECT_EQ(read_some(copy, 10), "ef");
    EXPECT_EQ(read_some(copy, 10), "") << "the end: result 1, count 0";
    EXPECT_EQ(orbek_stream_ctrl(copy, ORBEK_CTRL_AT_END, nullptr, ctx), 1);
    EXPECT_EQ(orbek_stream_ctrl(view, ORBEK_CTRL_AT_END, nullptr, ctx), 0);
    EXPECT_EQ(ctx.fails(orbek_stream_new_romem(nullptr, 3, 1, ctx) != nullptr), ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(ctx.fails(orbek_stream_new_mem(-1, ctx) != nullptr), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Mem");
    EXPECT_EQ(ctx.fails(orbek_stream_new_mem(INT32_MAX, ctx) != nullptr), ORBEK_ERR_OUT_OF_MEMORY);

    Chain m(orbek_stream_new_mem(16, ctx));
    put(m, "json text");
    Chain v(orbek_memstream_dup_readonly(m));
    EXPECT_EQ(read_some(v, 100), "json text");
    uint8_t *data = nullptr;
    int32_t len = -1;
    EXPECT_EQ(orbek_memstreamdeatch(m, nullptr, &len), 0);
    ASSERT_EQ(orbek_memstreamdeatch(m, &data, &len), 1);
    EXPECT_EQ(str(data, len), "json text");
    put(m, "!!");  // still writable in place, but it cannot grow
    EXPECT_EQ(ctx.fails(orbek_stream_writen(m, u8("0123456789"), 10, ctx)), ORBEK_ERR_STREAM_CANNOT_GROW);
    EXPECT_EQ(content(m), "json text!!") << "a failing write changes nothing";
    uint8_t *again = nullptr;
    ASSERT_EQ(orbek_memstreamdeatch(m, &again, &len), 1) << "asked again for the new length";
    EXPECT_TRUE(again == data && len == 11 && mem(m)->flags == orbek::kMemNotOwned);
    orbek_stream_freeall(m.s);
    m.s = nullptr;
    EXPECT_EQ(str(data, 11), "json text!!") << "the buffer outlives the stream";
    orbek_free(data);

    // A read-only copy hands over its copy (and becomes writable in place);
    // a view hands back the buffer it views, which stays the caller's.
    Chain rc(romem("copied")), rv(orbek_stream_new_romem(u8(text), 6, 0, ctx));
    ASSERT_EQ(orbek_memstreamdeatch(rc, &data, &len), 1);
    EXPECT_EQ(str(data, len), "copied");
    put(rc, "C");
    orbek_stream_free(rc.s);
    rc.s = nullptr;
    EXPECT_EQ(str(data, len), "Copied") << "written in place, outliving the stream";
    orbek_free(data);
    ASSERT_EQ(orbek_memstreamdeatch(rv, &data, &len), 1);
    EXPECT_TRUE(data == (uint8_t *)text && len == 6);

    Chain q(orbek_stream_new_rwspecmem(0, ctx)), sink(stack(orbek_stream_new_hex(0, ctx), orbek_stream_new_mem(0, ctx)));
    EXPECT_EQ(orbek_memstreamdeatch(q, &data, &len), 0);
    EXPECT_EQ(orbek_memstream_dup_readonly(q), nullptr);
    EXPECT_EQ(orbek_memstream_dup_readonly(sink.s->next), nullptr) << "chained";
}

TEST(MemStream, AllocationFailures) {
    Ctx ctx;  // made outside: its own allocation is not under test
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
            EXPECT_TRUE(s || !ctx.records() || ctx.code() == ORBEK_ERR_OUT_OF_MEMORY);
            orbek_stream_free(s);
            return s != nullptr;
        });
    // Many small growing writes, both variants; a failing write changes nothing.
    for (int separate = 0; separate < 2; ++separate)
        testalloc::sweep([&] {
            ctx.clear();
            orbek_stream *s = separate ? orbek_stream_new_rwspecmem(32, ctx) : orbek_stream_new_mem(32, ctx);
            std::string all;
            bool ok = s != nullptr;
            for (int i = 0; i < 40 && ok; ++i) {
                std::string piece = "{\"k" + std::to_string(i) + "\":true},";
                const orbek_mem_state before = *mem(s);
                if ((ok = orbek_stream_writen(s, u8(piece), (int32_t)piece.size(), ctx) == 1)) all += piece;
                EXPECT_TRUE(ok || (ctx.code() == ORBEK_ERR_OUT_OF_MEMORY && same_state(*mem(s), before)));
            }
            ok = ok && content(s) == all;
            orbek_stream_free(s);
            return ok;
        });
}

TEST(NullStream, DiscardsEverything) {
    Ctx ctx;
    Chain n(orbek_stream_new_null(ctx));
    std::string big(1000000, 'z');
    int32_t count = 0;
    EXPECT_EQ(orbek_stream_write(n, u8(big), 1000000, &count, ctx), 1);
    EXPECT_EQ(count, 1000000);
    EXPECT_EQ(ctx.fails(orbek_stream_write(n, u8(big), -1, &count, ctx)), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Null");
    EXPECT_EQ(ctx.fails(orbek_stream_read(n, (uint8_t *)&big[0], 4, &count, ctx)), ORBEK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(orbek_stream_ctrl(n, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(n, ORBEK_CTRL_RESET, nullptr, ctx)), ORBEK_ERR_STREAM_BAD_CTRL);
}
