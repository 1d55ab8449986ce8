// Stream core: generic entry points, chaining, copying, the error listing.
#include <string.h>

#include <vector>

#include "stream_test.h"
#include "support/test_alloc.h"

using namespace st;


TEST(StreamCore, EntryPointsReportNullStreamAndMissingSlot) {
    Ctx ctx;
    uint8_t buf[4];
    int32_t n = 0;
    EXPECT_EQ(orbek_stream_read(nullptr, buf, 4, &n, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream");
    EXPECT_EQ(ctx.desc(), "Null Point");
    EXPECT_EQ(orbek_stream_write(nullptr, buf, 4, &n, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(nullptr, 6, nullptr, ctx), 0);
    EXPECT_EQ(orbek_stream_writen(nullptr, buf, 4, ctx), 0);
    EXPECT_EQ(orbek_stream_readn(nullptr, buf, 4, ctx), 0);
    EXPECT_EQ(orbek_stream_writefromstream(nullptr, nullptr, &n, ctx), 0);
    EXPECT_EQ(ctx.records(), 6);

    Fake empty(ORBEK_STREAM_TYPE_MEM, &kEmptyOps);
    ctx.clear();
    EXPECT_EQ(orbek_stream_read(empty, buf, 4, &n, ctx), 0);
    EXPECT_EQ(orbek_stream_write(empty, buf, 4, &n, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(empty, 6, nullptr, ctx), 0);
    EXPECT_EQ(orbek_stream_writen(empty, buf, 4, ctx), 0);
    EXPECT_EQ(orbek_stream_readn(empty, buf, 4, ctx), 0);
    EXPECT_EQ(ctx.records(), 5);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(ctx.desc(), "This method not support");

    // Null ctx: the failure is still a failure, the record is dropped.
    EXPECT_EQ(orbek_stream_read(nullptr, buf, 4, &n, nullptr), 0);
    EXPECT_EQ(orbek_stream_gettype(nullptr), -1);
    EXPECT_EQ(orbek_stream_gettype(empty), ORBEK_STREAM_TYPE_MEM);
}

TEST(StreamCore, WritenLoopsOverPartialWritesAndPassesResultsThrough) {
    Ctx ctx;
    Fake f;
    EXPECT_EQ(orbek_stream_writen(f, u8("abc"), 0, ctx), 1);
    EXPECT_TRUE(f.sc.asked.empty()) << "length 0 must not call write";
    EXPECT_EQ(orbek_stream_writen(f, u8("abc"), -1, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);

    f.sc.limit = 3;
    EXPECT_EQ(orbek_stream_writen(f, u8("abcdefgh"), 8, ctx), 1);
    EXPECT_EQ(f.sc.sink, "abcdefgh");
    EXPECT_EQ(f.sc.asked, (std::vector<int32_t>{8, 5, 2}));

    ctx.clear();
    f.sc.rc = 7;  // not 1: handed back unchanged, no record added
    EXPECT_EQ(orbek_stream_writen(f, u8("x"), 1, ctx), 7);
    EXPECT_EQ(ctx.records(), 0);

    // A write that claims success but takes nothing must not spin.
    f.sc.rc = 1;
    f.sc.fake_count = 0;
    EXPECT_EQ(orbek_stream_writen(f, u8("x"), 1, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_WRITE_FAIL);
}

TEST(StreamCore, ReadnShortSourceIsBadLengthAfterDelivering) {
    Ctx ctx;
    Chain m(orbek_stream_new_romem(u8("12345"), 5, 1, ctx));
    uint8_t buf[8] = {0};
    EXPECT_EQ(orbek_stream_readn(m, buf, 8, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream");
    EXPECT_EQ(memcmp(buf, "12345", 5), 0);

    Fake f;
    f.sc.source = "abcdefghij";
    f.sc.limit = 4;
    EXPECT_EQ(orbek_stream_readn(f, buf, 6, ctx), 1);
    EXPECT_EQ(memcmp(buf, "abcdef", 6), 0);
    f.sc.rc = 9;
    EXPECT_EQ(orbek_stream_readn(f, buf, 2, ctx), 9);
    EXPECT_EQ(orbek_stream_readn(f, buf, -2, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
}

TEST(StreamCore, PushRefusesBrokenChainsAndPopOnlyTakesTheHead) {
    Fake sink, sink2;
    Fake f1(ORBEK_STREAM_TYPE_BASE64), f2(ORBEK_STREAM_TYPE_HEX), f3(ORBEK_STREAM_FILTER | 0x77);
    Fake both(ORBEK_STREAM_FILTER | ORBEK_STREAM_SOURCE_SINK);

    EXPECT_EQ(orbek_stream_push(f1, f2), 0) << "no source/sink at the end";
    EXPECT_EQ(orbek_stream_push(sink2, sink), 0) << "a sink is no filter";
    EXPECT_EQ(orbek_stream_push(both, sink), 0);
    EXPECT_EQ(orbek_stream_push(nullptr, sink), 0);
    EXPECT_EQ(orbek_stream_push(f1, nullptr), 0);

    ASSERT_EQ(orbek_stream_push(f2, sink), 1);
    ASSERT_EQ(orbek_stream_push(f1, f2), 1);
    EXPECT_EQ(orbek_stream_push(f3, f2), 0) << "rest already has a previous stream";
    EXPECT_EQ(orbek_stream_push(f1, sink2), 0) << "filter already chained";
    // A sink followed by another stream is no valid rest.
    sink2.s.next = &f3.s;
    EXPECT_EQ(orbek_stream_push(f3, sink2), 0);
    sink2.s.next = nullptr;

    EXPECT_EQ(orbek_stream_next(f1), &f2.s);
    EXPECT_EQ(orbek_stream_next(nullptr), nullptr);
    EXPECT_EQ(orbek_stream_find_type(sink, 1, ORBEK_STREAM_SOURCE_SINK), &sink.s);
    EXPECT_EQ(orbek_stream_find_type(f2, 1, ORBEK_STREAM_TYPE_BASE64), &f1.s);
    EXPECT_EQ(orbek_stream_find_type(f2, 2, ORBEK_STREAM_TYPE_BASE64), nullptr);
    EXPECT_EQ(orbek_stream_find_type(f1, 2, ORBEK_STREAM_FILTER), &f1.s);
    EXPECT_EQ(orbek_stream_find_type(f1, 3, ORBEK_STREAM_FILTER), &f2.s);
    EXPECT_EQ(orbek_stream_find_type(sink, 3, ORBEK_STREAM_SOURCE_SINK), nullptr);
    EXPECT_EQ(orbek_stream_find_type(f1, 4, ORBEK_STREAM_SOURCE_SINK), nullptr);
    // A class bit matches only when asked for exactly.
    EXPECT_EQ(orbek_stream_find_type(f1, 1, ORBEK_STREAM_FILTER | 1), nullptr);

    EXPECT_EQ(orbek_stream_pop(f2), nullptr) << "only the first stream pops";
    EXPECT_EQ(orbek_stream_next(f1), &f2.s);
    EXPECT_EQ(orbek_stream_pop(f1), &f2.s);
    EXPECT_EQ(f1.s.next, nullptr);
    EXPECT_EQ(f2.s.previous, nullptr);
    EXPECT_EQ(orbek_stream_pop(sink), nullptr);
}

TEST(StreamCore, FreeallReleasesTheWholeChainFromAnyMember) {
    long live = testalloc::live_blocks();
    orbek_stream *sink = orbek_stream_new_mem(0, nullptr);
    orbek_stream *b = orbek_stream_new_base64(2, 64, 2, nullptr);
    orbek_stream *h = orbek_stream_new_hex(0, nullptr);
    ASSERT_TRUE(sink && b && h);
    ASSERT_EQ(orbek_stream_push(b, sink), 1);
    ASSERT_EQ(orbek_stream_push(h, b), 1);
    orbek_stream_freeall(b);
    EXPECT_EQ(testalloc::live_blocks(), live);
    orbek_stream_freeall(nullptr);
    orbek_stream_free(nullptr);
}

TEST(StreamCore, CopyFromPlainMemoryTakesAllContentWhateverItsPosition) {
    Ctx ctx;
    Chain src(orbek_stream_new_mem(8, ctx)), dst(orbek_stream_new_mem(8, ctx));
    put(src, "hello world");
    int32_t pos = 6;
    ASSERT_EQ(orbek_stream_ctrl(src, ORBEK_CTRL_SET_POS, &pos, ctx), 1);
    put(dst, "> ");
    int32_t total = -1;
    ASSERT_EQ(orbek_stream_writefromstream(dst, src, &total, ctx), 1);
    EXPECT_EQ(total, 11);
    EXPECT_EQ(content(dst), "> hello world");
    // The destination reserved room for all of it at once.
    EXPECT_EQ(mem(dst)->capacity, 16);

    Chain ro(orbek_stream_new_romem(u8("x"), 1, 0, ctx));
    EXPECT_EQ(orbek_stream_writefromstream(ro, src, &total, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_READONLY);
}

TEST(StreamCore, CopyFromOtherSourcesReadsInChunksAndChecksTheEnd) {
    Ctx ctx;
    Fake src;
    src.sc.source = std::string(20000, 'q');
    for (int i = 0; i < 20000; i += 7) src.sc.source[(size_t)i] = (char)('a' + i % 26);
    Chain dst(orbek_stream_new_mem(0, ctx));
    int32_t total = -1;
    ASSERT_EQ(orbek_stream_writefromstream(dst, src, &total, ctx), 1);
    EXPECT_EQ(total, 20000);
    EXPECT_EQ(content(dst), src.sc.source);
    EXPECT_EQ(src.sc.asked, (std::vector<int32_t>{8192, 8192, 8192, 8192}));
    EXPECT_EQ(src.sc.ctrls.front(), ORBEK_CTRL_LENGTH);
    EXPECT_EQ(src.sc.ctrls[1], ORBEK_CTRL_RESET);
    EXPECT_EQ(src.sc.ctrls.back(), ORBEK_CTRL_AT_END);

    // A source that says it is not at the end fails the copy with its answer.
    Fake src2;
    src2.sc.source = "abc";
    src2.sc.at_end = 0;
    EXPECT_EQ(orbek_stream_writefromstream(dst, src2, &total, ctx), 0);

    // A separate-positions memory source is reset and read through.
    Chain q(orbek_stream_new_rwspecmem(0, ctx)), out(orbek_stream_new_mem(0, ctx));
    put(q, "queue content");
    uint8_t skip[6];
    ASSERT_EQ(orbek_stream_readn(q, skip, 6, ctx), 1);
    ASSERT_EQ(orbek_stream_writefromstream(out, q, &total, ctx), 1);
    EXPECT_EQ(total, 13);
    EXPECT_EQ(content(out), "queue content");

    // A failing write ends the copy with the write's result.
    Fake bad_dst;
    bad_dst.sc.rc = 5;
    EXPECT_EQ(orbek_stream_writefromstream(bad_dst, q, &total, ctx), 5);
}

TEST(StreamCore, ErrorListingIntoAStream) {
    Ctx ctx, listed;
    Chain m(orbek_stream_new_mem(0, ctx));
    ASSERT_EQ(orbek_err_ctx_output(m, listed, nullptr), 1);
    EXPECT_EQ(content(m), "No Error\n");

    orbek_err_ctx_put(listed, "ORBEK_Stream_Mem", 12, 0x10101, "Stream cannot grow");
    orbek_err_ctx_put(listed, "F", 7, 0x10002, "Null Point");
    Chain m2(orbek_stream_new_mem(0, ctx));
    ASSERT_EQ(orbek_err_ctx_output(m2, listed, nullptr), 1);
    char want[2048];
    int n = snprintf(want, sizeof want, "0X%08X %512s %64s(%d)\n0X%08X %512s %64s(%d)\n", 0x10002u, "Null Point", "F",
                     7, 0x10101u, "Stream cannot grow", "ORBEK_Stream_Mem", 12);
    EXPECT_EQ(content(m2), std::string(want, (size_t)n));

    // A file name too long for one 1024-byte line is cut, line break kept.
    std::string longname(900, 'f');
    Ctx big;
    orbek_err_ctx_put(big, longname.c_str(), 1, 0x10000, "Out Of Memory");
    Chain m3(orbek_stream_new_mem(0, ctx));
    ASSERT_EQ(orbek_err_ctx_output(m3, big, nullptr), 1);
    EXPECT_EQ(content(m3).size(), 1023u);
    EXPECT_EQ(content(m3).back(), '\n');

    uint32_t code = 0;
    Chain ro(orbek_stream_new_romem(u8(""), 0, 0, ctx));
    EXPECT_EQ(orbek_err_ctx_output(ro, listed, &code), 0);
    EXPECT_EQ(code, ORBEK_ERR_STREAM_READONLY);
    EXPECT_EQ(ctx.records(), 0) << "writes report into a private context";
    EXPECT_EQ(orbek_err_ctx_output(nullptr, listed, &code), 0);
    EXPECT_EQ(code, ORBEK_ERR_STREAM_BAD);
    EXPECT_EQ(orbek_err_ctx_output(m, nullptr, &code), 0);
    EXPECT_EQ(code, ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(orbek_err_ctx_output(m, nullptr, nullptr), 0);
}
