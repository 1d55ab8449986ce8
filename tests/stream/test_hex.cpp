// Hex filter and the one-shot hex codec.
#include <random>

#include "stream_test.h"
#include "support/test_alloc.h"

using namespace st;

namespace {

std::string hexenc(int32_t upper, const std::string &data) {
    char *text = nullptr;
    int32_t len = -1;
    if (orbek_hexencode(upper, u8(data), (int32_t)data.size(), &text, &len) != 1) return "<fail>";
    EXPECT_EQ(text[len], '\0');
    std::string s(text, (size_t)len);
    orbek_free(text);
    return s;
}

std::string hexdec(const std::string &text) {
    uint8_t *data = nullptr;
    int32_t len = -1;
    if (orbek_hexdecode(text.data(), (int32_t)text.size(), &data, &len) != 1) return "<fail>";
    std::string s(reinterpret_cast<char *>(data), (size_t)len);
    orbek_free(data);
    return s;
}

// A hex filter pushed onto a read-only view of text.
struct HexReader {
    Chain c;
    orbek_stream *h;
    explicit HexReader(const std::string &text, orbek_err_ctx *ctx = nullptr)
        : c(orbek_stream_new_romem(u8(text), (int32_t)text.size(), 1, ctx)), h(orbek_stream_new_hex(0, ctx)) {
        EXPECT_EQ(orbek_stream_push(h, c.s), 1);
        c.s = h;
    }
};

}  // namespace

TEST(Hex, OneShotCodec) {
    EXPECT_EQ(hexenc(0, std::string("\x00\xab", 2)), "00ab");
    EXPECT_EQ(hexenc(1, std::string("\x00\xab", 2)), "00AB");
    EXPECT_EQ(hexenc(7, "\x01\xfe"), "01FE");
    EXPECT_EQ(hexdec("00aB"), std::string("\x00\xab", 2));
    EXPECT_EQ(hexdec("0123456789abcdefABCDEF"), "\x01\x23\x45\x67\x89\xab\xcd\xef\xab\xcd\xef");
    EXPECT_EQ(hexdec("abc"), "<fail>");
    EXPECT_EQ(hexdec("0g"), "<fail>");
    EXPECT_EQ(hexdec("g0"), "<fail>");
    EXPECT_EQ(hexdec("0\xb0"), "<fail>");
    EXPECT_EQ(hexdec(""), "<fail>");
    EXPECT_EQ(hexenc(0, ""), "<fail>");
    std::string all;
    for (int i = 0; i < 256; ++i) all += (char)i;
    EXPECT_EQ(hexdec(hexenc(0, all)), all);
    EXPECT_EQ(hexdec(hexenc(1, all)), all);

    char *t = nullptr;
    int32_t n = -1;
    EXPECT_EQ(orbek_hexencode(0, nullptr, 1, &t, &n), 0);
    EXPECT_EQ(orbek_hexencode(0, u8("a"), 1, nullptr, &n), 0);
    testalloc::fail_nth(1);
    EXPECT_EQ(orbek_hexencode(0, u8("abc"), 3, &t, &n), 0);
    testalloc::fail_nth(0);
    EXPECT_EQ(n, 6) << "the text length is stored before the allocation";
    uint8_t *d = nullptr;
    EXPECT_EQ(orbek_hexdecode("00", 2, nullptr, &n), 0);
    EXPECT_EQ(orbek_hexdecode(nullptr, 2, &d, &n), 0);
    testalloc::sweep([&] { return hexenc(0, all).size() == 512; });
    testalloc::sweep([&] { return hexdec("00ff7a") == std::string("\x00\xff\x7a", 3); });
    long live = testalloc::live_blocks();
    EXPECT_EQ(hexdec("00zz"), "<fail>");
    EXPECT_EQ(testalloc::live_blocks(), live) << "an invalid digit releases the block";
}

TEST(Hex, FilterWritesDigitsInChunks) {
    Ctx ctx;
    Fake sink;
    orbek_stream *h = orbek_stream_new_hex(1, ctx);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(orbek_stream_gettype(h), ORBEK_STREAM_TYPE_HEX);
    ASSERT_EQ(orbek_stream_push(h, sink), 1);
    std::string data(2500, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = (char)(i * 13);
    int32_t count = -1;
    ASSERT_EQ(orbek_stream_write(h, u8(data), 2500, &count, ctx), 1);
    EXPECT_EQ(count, 2500);
    EXPECT_EQ(sink.sc.asked, (std::vector<int32_t>{2048, 2048, 904}));
    EXPECT_EQ(sink.sc.sink, hexenc(1, data));
    EXPECT_EQ(orbek_stream_write(h, u8(data), -1, &count, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Hex");
    sink.sc.rc = 3;
    EXPECT_EQ(orbek_stream_write(h, u8(data), 10, &count, ctx), 3) << "the sink's result comes back";
    orbek_stream_pop(h);
    EXPECT_EQ(orbek_stream_write(h, u8(data), 10, &count, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_NO_SOURCE_SINK);
    orbek_stream_free(h);
}

TEST(Hex, FilterReadAsksForTheDigitsItNeeds) {
    Ctx ctx;
    Fake src;
    src.sc.source = "0102030";
    orbek_stream *h = orbek_stream_new_hex(0, ctx);
    ASSERT_EQ(orbek_stream_push(h, src), 1);
    uint8_t buf[8];
    int32_t got = -1;
    ASSERT_EQ(orbek_stream_read(h, buf, 3, &got, ctx), 1);
    EXPECT_EQ(got, 3);
    EXPECT_EQ(std::string((char *)buf, 3), "\x01\x02\x03");
    EXPECT_EQ(src.sc.asked, (std::vector<int32_t>{6}));
    ASSERT_EQ(orbek_stream_read(h, buf, 1, &got, ctx), 1);
    EXPECT_EQ(got, 0) << "the lone digit is held";
    EXPECT_EQ(src.sc.asked.back(), 2);
    // The digit waits for its partner.
    src.sc.source += "4ff";
    ASSERT_EQ(orbek_stream_read(h, buf, 2, &got, ctx), 1);
    EXPECT_EQ(got, 2);
    EXPECT_EQ(std::string((char *)buf, 2), "\x04\xff");
    EXPECT_EQ(src.sc.asked.back(), 3);
    orbek_stream_pop(h);
    orbek_stream_free(h);
}

TEST(Hex, FilterReadsLargeInputsInAnyChunking) {
    std::string data(5000, '\0');
    std::mt19937 rng(4);
    for (auto &c : data) c = (char)rng();
    std::string text = hexenc(0, data);
    for (int32_t chunk : {1, 3, 511, 512, 513, 1000, 8192}) {
        HexReader r(text);
        int32_t rc = 0;
        EXPECT_EQ(drain(r.h, chunk, &rc), data) << chunk;
        EXPECT_EQ(rc, 1);
    }
}

TEST(Hex, FilterDecodingFailureIsSticky) {
    Ctx ctx;
    HexReader r("0102zz03", ctx);
    uint8_t buf[8];
    int32_t got = -1;
    EXPECT_EQ(orbek_stream_read(r.h, buf, 4, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_HEX_DECODE);
    EXPECT_EQ(ctx.desc(), "hex decode fail");
    ctx.clear();
    EXPECT_EQ(orbek_stream_read(r.h, buf, 4, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_HEX_DECODE);
    EXPECT_EQ(orbek_stream_ctrl(r.h, ORBEK_CTRL_FLUSH, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_HEX_DECODE);
    EXPECT_EQ(ctx.records(), 2);
}

TEST(Hex, FilterAtTheSourcesEnd) {
    Ctx ctx;
    uint8_t buf[8];
    int32_t got = -1;
    {
        Fake src;
        src.sc.source = "0a";
        src.sc.fail_at_end = true;
        orbek_stream *h = orbek_stream_new_hex(0, ctx);
        ASSERT_EQ(orbek_stream_push(h, src), 1);
        ASSERT_EQ(orbek_stream_read(h, buf, 4, &got, ctx), 1);
        EXPECT_EQ(got, 1);
        EXPECT_EQ(orbek_stream_read(h, buf, 4, &got, ctx), 0);
        EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_READ_PAST_END);
        EXPECT_EQ(got, 0);
        orbek_stream_pop(h);
        orbek_stream_free(h);
    }
    {
        Fake src;
        src.sc.source = "0a0";
        src.sc.fail_at_end = true;
        orbek_stream *h = orbek_stream_new_hex(0, ctx);
        ASSERT_EQ(orbek_stream_push(h, src), 1);
        ASSERT_EQ(orbek_stream_read(h, buf, 4, &got, ctx), 1);
        EXPECT_EQ(orbek_stream_read(h, buf, 4, &got, ctx), 0);
        EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_LENGTH);
        orbek_stream_pop(h);
        orbek_stream_free(h);
    }
    testalloc::sweep([] {
        orbek_stream *h = orbek_stream_new_hex(1, nullptr);
        orbek_stream_free(h);
        return h != nullptr;
    });
}
