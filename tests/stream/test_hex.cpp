// Hex filter and the one-shot hex codec.
#include "stream_test.h"
#include "support/test_alloc.h"

using namespace st;

namespace {

std::string hexenc(int32_t upper, const std::string &data) {
    char *text = nullptr;
    int32_t len = -1;
    if (orbek_hexencode(upper, u8(data), (int32_t)data.size(), &text, &len) != 1) return "<fail>";
    std::string s(text, (size_t)len + 1);
    orbek_free(text);
    EXPECT_EQ(s.back(), '\0');
    return s.substr(0, (size_t)len);
}

std::string hexdec(const std::string &text) {
    uint8_t *data = nullptr;
    int32_t len = -1;
    if (orbek_hexdecode(text.data(), (int32_t)text.size(), &data, &len) != 1) return "<fail>";
    std::string s((char *)data, (size_t)len);
    orbek_free(data);
    return s;
}

}  // namespace

TEST(Hex, OneShotCodec) {
    EXPECT_EQ(hexenc(0, std::string("\x00\xab", 2)), "00ab");
    EXPECT_EQ(hexenc(7, std::string("\x00\xab", 2)), "00AB");
    EXPECT_EQ(hexdec("00aB"), std::string("\x00\xab", 2));
    for (const char *bad : {"abc", "0g", "g0", "0\xb0", ""}) EXPECT_EQ(hexdec(bad), "<fail>") << bad;
    EXPECT_EQ(hexenc(0, ""), "<fail>");
    std::string all;
    for (int i = 0; i < 256; ++i) all += (char)i;
    EXPECT_EQ(hexdec(hexenc(0, all)), all);
    EXPECT_EQ(hexdec(hexenc(1, all)), all);

    char *t = nullptr;
    int32_t n = -1;
    testalloc::fail_nth(1);
    EXPECT_EQ(orbek_hexencode(0, u8("abc"), 3, &t, &n), 0);
    testalloc::fail_nth(0);
    EXPECT_EQ(n, 6) << "the text length is stored before the allocation";
    testalloc::sweep([&] { return hexenc(0, all).size() == 512; });
    testalloc::sweep([&] { return hexdec("00ff7a") == std::string("\x00\xff\x7a", 3); });
    long live = testalloc::live_blocks();
    EXPECT_EQ(hexdec("00zz"), "<fail>");
    EXPECT_EQ(testalloc::live_blocks(), live) << "an invalid digit releases the block";
}

TEST(Hex, FilterWritesDigitsInChunks) {
    Ctx ctx;
    Fake sink;
    Chain h(orbek_stream_new_hex(1, ctx));
    EXPECT_EQ(orbek_stream_gettype(h), ORBEK_STREAM_TYPE_HEX);
    ASSERT_EQ(orbek_stream_push(h, sink), 1);
    std::string data(2500, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = (char)(i * 13);
    put(h, data);
    EXPECT_EQ(sink.asked, (std::vector<int32_t>{2048, 2048, 904}));
    EXPECT_EQ(sink.sink, hexenc(1, data));
    int32_t count = 0;
    EXPECT_EQ(orbek_stream_write(h, u8(data), -1, &count, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Hex");
    sink.rc = 3;
    EXPECT_EQ(orbek_stream_write(h, u8(data), 10, &count, ctx), 3) << "the sink's result comes back";
    orbek_stream_pop(h);
    EXPECT_EQ(orbek_stream_write(h, u8(data), 10, &count, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_NO_SOURCE_SINK);
}

TEST(Hex, FilterReadAsksForTheDigitsItNeeds) {
    Fake src;
    src.source = "0102030";
    Chain h(orbek_stream_new_hex(0, nullptr));
    ASSERT_EQ(orbek_stream_push(h, src), 1);
    uint8_t buf[8];
    int32_t got = -1;
    ASSERT_EQ(orbek_stream_read(h, buf, 3, &got, nullptr), 1);
    EXPECT_EQ(std::string((char *)buf, (size_t)got), "\x01\x02\x03");
    EXPECT_EQ(src.asked, (std::vector<int32_t>{6}));
    ASSERT_EQ(orbek_stream_read(h, buf, 1, &got, nullptr), 1);
    EXPECT_EQ(got, 0) << "the lone digit is held";
    src.source += "4ff";  // the held digit meets its partner
    ASSERT_EQ(orbek_stream_read(h, buf, 2, &got, nullptr), 1);
    EXPECT_EQ(std::string((char *)buf, (size_t)got), "\x04\xff");
    EXPECT_EQ(src.asked, (std::vector<int32_t>{6, 2, 3}));
    orbek_stream_pop(h);

    // Large inputs in any chunking.
    std::string data(5000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = (char)(i * 7 + i / 256);
    std::string text = hexenc(0, data);
    for (int32_t chunk : {1, 3, 511, 512, 513, 8192}) {
        Chain c(orbek_stream_new_romem(u8(text), (int32_t)text.size(), 0, nullptr));
        orbek_stream *r = orbek_stream_new_hex(0, nullptr);
        ASSERT_EQ(orbek_stream_push(r, c.s), 1);
        c.s = r;
        int32_t rc = 0;
        EXPECT_EQ(drain(r, chunk, &rc), data) << chunk;
    }
}

TEST(Hex, FilterFailuresAndTheSourcesEnd) {
    Ctx ctx;
    uint8_t buf[8];
    int32_t got = -1;
    Chain c(orbek_stream_new_romem(u8("0102zz03"), 8, 0, ctx));
    orbek_stream *h = orbek_stream_new_hex(0, ctx);
    ASSERT_EQ(orbek_stream_push(h, c.s), 1);
    c.s = h;
    EXPECT_EQ(orbek_stream_read(h, buf, 4, &got, ctx), 0);
    EXPECT_EQ(ctx.desc(), "hex decode fail");
    ctx.clear();
    EXPECT_EQ(orbek_stream_read(h, buf, 4, &got, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(h, ORBEK_CTRL_FLUSH, nullptr, ctx), 0) << "sticky, for controls too";
    EXPECT_EQ(ctx.records(), 2);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_HEX_DECODE);

    // A source that fails once used up: the end of an empty read is
    // reported; a digit still held is a length error.
    for (auto [text, second] : {std::pair<std::string, uint32_t>{"0a", ORBEK_ERR_STREAM_READ_PAST_END},
                                {"0a0", ORBEK_ERR_STREAM_LENGTH}}) {
        Fake src;
        src.source = text;
        src.fail_at_end = true;
        Chain f(orbek_stream_new_hex(0, ctx));
        ASSERT_EQ(orbek_stream_push(f, src), 1);
        ASSERT_EQ(orbek_stream_read(f, buf, 4, &got, ctx), 1);
        EXPECT_EQ(got, 1);
        EXPECT_EQ(orbek_stream_read(f, buf, 4, &got, ctx), 0);
        EXPECT_EQ(ctx.code(), second);
        orbek_stream_pop(f);
    }
    testalloc::sweep([] {
        orbek_stream *s = orbek_stream_new_hex(1, nullptr);
        orbek_stream_free(s);
        return s != nullptr;
    });
}
