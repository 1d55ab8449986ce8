// Hex filter and the one-shot hex codec.
#include "stream_test.h"

using namespace st;

namespace {

std::string hexenc(int32_t upper, const std::string &d) {
    return oneshot<char>([&](char **p, int32_t *n) { return orbek_hexencode(upper, u8(d), (int32_t)d.size(), p, n); }, true);
}
std::string hexdec(const std::string &t) {
    return oneshot<uint8_t>([&](uint8_t **p, int32_t *n) { return orbek_hexdecode(t.data(), (int32_t)t.size(), p, n); });
}

}  // namespace

TEST(Hex, OneShotCodec) {
    const std::string ab("\x00\xab", 2);
    EXPECT_EQ(hexenc(0, ab) + hexenc(7, ab), "00ab00AB");
    EXPECT_EQ(hexdec("00aB"), ab);
    for (const char *bad : {"abc", "0g", "g0", "0\xb0", ""}) EXPECT_EQ(hexdec(bad), "<fail>") << bad;
    EXPECT_EQ(hexenc(0, ""), "<fail>");
    std::string all;
    for (int i = 0; i < 256; ++i) all += (char)i;
    EXPECT_EQ(hexdec(hexenc(0, all)) + hexdec(hexenc(1, all)), all + all);

    char *t = nullptr;
    int32_t n = -1;
    testalloc::fail_nth(1);
    EXPECT_EQ(orbek_hexencode(0, u8("abc"), 3, &t, &n), 0);
    testalloc::fail_nth(0);
    EXPECT_EQ(n, 6) << "the text length is stored before the allocation";
    testalloc::sweep([&] { return hexenc(0, all).size() == 512; });
    testalloc::sweep([&] { return hexdec("00ff7a") == std::string("\x00\xff\x7a", 3); });
    testalloc::sweep([] { return Chain(orbek_stream_new_hex(1, nullptr)).s != nullptr; });
    long live = testalloc::live_blocks();
    EXPECT_EQ(hexdec("00zz"), "<fail>");
    EXPECT_EQ(testalloc::live_blocks(), live) << "an invalid digit releases the block";
}

TEST(Hex, FilterWrites) {
    Ctx ctx;
    Fake sink;
    Chain h(stack(orbek_stream_new_hex(1, ctx), sink));
    std::string data = bytes(2500, 2);
    put(h, data);
    EXPECT_EQ(sink.asked, (std::vector<int32_t>{2048, 2048, 904})) << "digits go out in chunks";
    EXPECT_EQ(sink.sink, hexenc(1, data));
    int32_t count = 0;
    EXPECT_EQ(ctx.fails(orbek_stream_write(h, u8(data), -1, &count, ctx)), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Hex");
    sink.rc = 3;
    EXPECT_EQ(orbek_stream_write(h, u8(data), 10, &count, ctx), 3) << "the sink's result comes back";
    orbek_stream_pop(h);
    EXPECT_EQ(ctx.fails(orbek_stream_write(h, u8(data), 10, &count, ctx)), ORBEK_ERR_STREAM_NO_SOURCE_SINK);
}

TEST(Hex, FilterReads) {
    Ctx ctx;
    uint8_t buf[8];
    int32_t got = -1, rc = 0;
    Fake src;
    src.source = "0102030";
    Chain h(stack(orbek_stream_new_hex(0, nullptr), src));
    ASSERT_EQ(orbek_stream_read(h, buf, 3, &got, nullptr), 1);
    EXPECT_EQ(str(buf, got), "\x01\x02\x03");
    ASSERT_EQ(orbek_stream_read(h, buf, 1, &got, nullptr), 1);
    EXPECT_EQ(got, 0) << "the lone digit is held";
    src.source += "4ff";  // the held digit meets its partner
    ASSERT_EQ(orbek_stream_read(h, buf, 2, &got, nullptr), 1);
    EXPECT_EQ(str(buf, got), "\x04\xff");
    EXPECT_EQ(src.asked, (std::vector<int32_t>{6, 2, 3})) << "asks for the digits it needs";
    orbek_stream_pop(h);

    std::string data = bytes(5000, 7), text = hexenc(0, data);
    for (int32_t chunk : {1, 511, 512, 513, 8192})
        EXPECT_EQ(drain(Chain(stack(orbek_stream_new_hex(0, nullptr), romem(text))), chunk, &rc), data) << chunk;

    Chain bad(stack(orbek_stream_new_hex(0, ctx), romem("0102zz03")));
    EXPECT_EQ(ctx.why(orbek_stream_read(bad, buf, 4, &got, ctx)), "hex decode fail");
    ctx.clear();
    EXPECT_EQ(orbek_stream_read(bad, buf, 4, &got, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(bad, ORBEK_CTRL_FLUSH, nullptr, ctx), 0) << "sticky, for controls too";
    EXPECT_EQ(ctx.records(), 2);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_HEX_DECODE);
    // At the source's end: nothing more to read, or a digit still held.
    read_to_failing_end(orbek_stream_new_hex(0, nullptr), "0a", 1, ORBEK_ERR_STREAM_READ_PAST_END);
    read_to_failing_end(orbek_stream_new_hex(0, nullptr), "0a0", 1, ORBEK_ERR_STREAM_LENGTH);
}
