// Base64 filter, the one-shot Base64 codec and PEM.
#include <random>

#include "stream_test.h"
#include "support/test_alloc.h"

using namespace st;

namespace {

// A bit-at-a-time model of the encoder: the oracle for the table-driven one.
std::string model_encode(const std::string &data, int mode, int width, bool pad, bool url) {
    const char *alpha = url ? "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"
                            : "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char *eol = mode == 1 ? "\r" : mode == 2 ? "\r\n" : mode == 3 ? "\n" : "";
    if (width < 1) width = 64;
    width += width % 4;
    std::string out;
    int col = 0;
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        uint32_t v = 0;
        for (int k = 0; k < 3; ++k) v = v << 8 | (uint8_t)data[i + k];
        for (int k = 3; k >= 0; --k) out += alpha[(v >> (6 * k)) & 63];
        col += 4;
        if (mode != 4 && col >= width) {
            out += eol;
            col = 0;
        }
    }
    size_t rem = data.size() - i;
    if (rem) {
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k) v = v << 8 | (k < rem ? (uint8_t)data[i + k] : 0);
        for (size_t k = 0; k <= rem; ++k) out += alpha[(v >> (18 - 6 * k)) & 63];
        if (pad) out.append(3 - rem, '=');
        out += eol;
    }
    return out;
}

std::string random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto &c : s) c = (char)(rng() & 0xFF);
    return s;
}

std::string encode(uint32_t flags, const std::string &data) {
    char *text = nullptr;
    int32_t len = -1;
    if (orbek_base64encode(flags, u8(data), (int32_t)data.size(), &text, &len) != 1) return "<fail>";
    EXPECT_EQ(text[len], '\0');
    std::string s(text, (size_t)len);
    orbek_free(text);
    return s;
}

// The decoded bytes, or "<fail>".
std::string decode(uint32_t flags, const std::string &text) {
    uint8_t *data = nullptr;
    int32_t len = -1;
    if (orbek_base64decode(flags, text.data(), (int32_t)text.size(), &data, &len) != 1) return "<fail>";
    std::string s(reinterpret_cast<char *>(data), (size_t)len);
    orbek_free(data);
    return s;
}

// Writes data through a Base64 filter in pieces of the given sizes (cycled),
// flushes and returns the sink's text.
std::string chain_encode(uint32_t flags, int32_t width, const std::string &data, std::vector<size_t> pieces,
                         orbek_err_ctx *ctx = nullptr) {
    Chain c(orbek_stream_new_mem(0, ctx));
    orbek_stream *b = orbek_stream_new_base64(flags, width, 2, ctx);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(orbek_stream_push(b, c.s), 1);
    c.s = b;
    size_t pos = 0;
    for (size_t i = 0; pos < data.size(); ++i) {
        size_t k = std::min(pieces[i % pieces.size()], data.size() - pos);
        int32_t count = -1;
        EXPECT_EQ(orbek_stream_write(b, u8(data) + pos, (int32_t)k, &count, ctx), 1);
        EXPECT_EQ(count, (int32_t)k);
        pos += k;
    }
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    return content(orbek_stream_next(b));
}

// Reads a text through a decoding filter in reads of the given size;
// "<fail>" when a read fails or the filter is not at the end afterwards.
std::string chain_decode(uint32_t flags, const std::string &text, int32_t chunk, orbek_err_ctx *ctx = nullptr) {
    Chain c(orbek_stream_new_romem(u8(text), (int32_t)text.size(), 0, ctx));
    orbek_stream *b = orbek_stream_new_base64(2, 64, flags, ctx);
    EXPECT_EQ(orbek_stream_push(b, c.s), 1);
    c.s = b;
    int32_t rc = 0;
    std::string out = drain(b, chunk, &rc, ctx);
    if (rc != 1) return "<fail>";
    if (flags & ORBEK_B64_NO_PAD) {
        orbek_data_blob *blob = nullptr;
        if (orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, ctx) != 1) return "<fail>";
        out.append(reinterpret_cast<char *>(blob->data), (size_t)blob->length);
        orbek_data_blob_free(blob);
    }
    if (orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, ctx) != 1) return "<fail>";
    return out;
}

}  // namespace

TEST(Base64, EncodingExamples) {
    EXPECT_EQ(encode(2, "abc"), "YWJj");
    EXPECT_EQ(encode(2, "abcd"), "YWJjZA==\r\n");
    EXPECT_EQ(encode(0x82, "abcd"), "YWJjZA\r\n");
    EXPECT_EQ(encode(1, "ab"), "YWI=\r");
    EXPECT_EQ(encode(3, "ab"), "YWI=\n");
    EXPECT_EQ(encode(4, "ab"), "YWI=");
    std::string b48(48, 'x'), line = model_encode(b48, 4, 64, true, false);
    ASSERT_EQ(line.size(), 64u);
    EXPECT_EQ(encode(2, b48), line + "\r\n");
    EXPECT_EQ(encode(2, b48 + "x"), line + "\r\n" + "eA==\r\n");
    // URL-safe without line breaks: bytes whose groups hit values 62 and 63.
    std::string url_bytes("\xfb\xff\xbf\xfb\xef", 5);
    EXPECT_EQ(encode(0x104, url_bytes), "-_-_--8=");
    EXPECT_EQ(encode(4, url_bytes), "+/+/++8=");
    EXPECT_EQ(encode(0x184, url_bytes), "-_-_--8");
}

TEST(Base64, LineWidths) {
    std::string data = random_bytes(300, 1);
    struct {
        int32_t width;
        size_t line;
    } cases[] = {{64, 64}, {76, 76}, {65, 68}, {66, 68}, {67, 72}, {4, 4}, {1, 4}, {0, 64}, {-5, 64}};
    for (auto &c : cases) {
        std::string text = chain_encode(3, c.width, data, {300});
        EXPECT_EQ(text, model_encode(data, 3, c.width, true, false)) << c.width;
        EXPECT_EQ(text.find('\n'), c.line) << "width " << c.width;
    }
}

TEST(Base64, OneShotAndChainMatchTheModel) {
    for (uint32_t mode = 1; mode <= 4; ++mode)
        for (uint32_t extra : {0u, 0x80u, 0x100u, 0x180u})
            for (size_t n : {1, 2, 3, 4, 47, 48, 49, 95, 96, 97, 1023, 1024, 1025, 3000}) {
                uint32_t flags = mode | extra;
                std::string data = random_bytes(n, (uint32_t)(n * 7 + flags));
                std::string want = model_encode(data, (int)mode, 64, !(extra & 0x80), (extra & 0x100) != 0);
                ASSERT_EQ(encode(flags, data), want) << "flags " << flags << " n " << n;
                // Pieces that straddle groups, lines and the 1024-byte chunks.
                ASSERT_EQ(chain_encode(flags, 64, data, {1, 2, 700, 5, 1030}), want) << flags << " " << n;
                uint32_t dflags = (extra & 0x80 ? 0x80 : 0) | (extra & 0x100) | 2;
                ASSERT_EQ(decode(dflags, want), data) << "flags " << flags << " n " << n;
                ASSERT_EQ(chain_decode(dflags, want, 7), data) << "flags " << flags << " n " << n;
            }
    std::string big = random_bytes(1 << 20, 99);
    std::string text = encode(2, big);
    EXPECT_EQ(text, model_encode(big, 2, 64, true, false));
    EXPECT_EQ(decode(2, text), big);
    EXPECT_EQ(chain_decode(2, text, 8192), big);
    EXPECT_EQ(chain_decode(2, text, 1000), big);
}

TEST(Base64, DecodingTolerance) {
    const std::string crlf = "YWJj\r\nZA==";
    EXPECT_EQ(decode(2, crlf), "abcd");
    EXPECT_EQ(decode(3, crlf), "abcd");
    EXPECT_EQ(decode(1, crlf), "<fail>");
    EXPECT_EQ(decode(3, "YW Jj"), "abc");
    EXPECT_EQ(decode(3, "Y\tW J\r\nj"), "abc");
    EXPECT_EQ(decode(2, "YW Jj"), "<fail>");
    EXPECT_EQ(decode(1, "YW Jj"), "<fail>");
    EXPECT_EQ(decode(1, "YWJjZA=="), "abcd");
    // A group split by a long run of skipped characters still decodes.
    EXPECT_EQ(decode(3, "YW" + std::string(3000, ' ') + "Jj"), "abc");
    EXPECT_EQ(chain_decode(3, "YW" + std::string(3000, ' ') + "Jj", 5), "abc");
    EXPECT_EQ(decode(2, "\r\n"), "") << "nothing but line breaks";
}

TEST(Base64, DecodingErrors) {
    const char *bad[] = {
        "YWJjZA==QQ==",  // data after padding
        "YWJjZA",        // incomplete group, padding expected
        "YR==",          // non-zero low bits
        "YWI9",          // fine
        "YWJ=",          // non-zero low bits of three characters (J = 9 = 0b001001)
        "=YWJ", "Y=WJ",  // "=" first or second
        "YW=j",          // data after "=" in a group
        "YWJj\xc3",      // above 127
        "YW*j",          // invalid character
        "YWJjZA=",       // unfinished padded group
    };
    for (const char *t : bad) {
        if (std::string(t) != "YWI9") {
            EXPECT_EQ(decode(2, t), "<fail>") << t;
        }
    }
    EXPECT_EQ(decode(2, "YWI9"), "ab=");
    EXPECT_EQ(decode(2, "YWJjZA==\r\n"), "abcd") << "line breaks after the end are fine";
    EXPECT_EQ(decode(0x82, "YWJjZA"), "abcd");
    EXPECT_EQ(decode(0x82, "YWJjZ"), "<fail>") << "one character cannot be completed";
    EXPECT_EQ(decode(0x82, "YWJjZA=="), "<fail>") << "no padding expected";
    EXPECT_EQ(decode(0x82, "YWJjYQ"), "abca");
    EXPECT_EQ(decode(0x82, "YWJjYR"), "<fail>");
    EXPECT_EQ(decode(0x102, "-_-_--8="), std::string("\xfb\xff\xbf\xfb\xef", 5));
    EXPECT_EQ(decode(2, "-_-_--8="), "<fail>") << "URL-safe characters in standard mode";
    EXPECT_EQ(decode(0x102, "+/+/++8="), "<fail>");
    for (uint32_t f : {0u, 4u, 0x80u, 0x200u | 2u}) EXPECT_EQ(decode(f, "YWJj"), "<fail>") << f;
    uint8_t *d = nullptr;
    int32_t n = 0;
    EXPECT_EQ(orbek_base64decode(2, nullptr, 4, &d, &n), 0);
    EXPECT_EQ(orbek_base64decode(2, "YWJj", 0, &d, &n), 0);
    EXPECT_EQ(orbek_base64decode(2, "YWJj", 4, nullptr, &n), 0);
    EXPECT_EQ(orbek_base64decode(2, "YWJj", 4, &d, nullptr), 0);
    char *t = nullptr;
    EXPECT_EQ(orbek_base64encode(2, u8("abc"), 0, &t, &n), 0);
    EXPECT_EQ(orbek_base64encode(2, nullptr, 3, &t, &n), 0);
    EXPECT_EQ(orbek_base64encode(2, u8("abc"), 3, nullptr, &n), 0);
    EXPECT_EQ(orbek_base64encode(5, u8("abc"), 3, &t, &n), 0);
    EXPECT_EQ(orbek_base64encode(0x402, u8("abc"), 3, &t, &n), 0);
}

TEST(Base64, FilterReadsOneByteAtATimeAndHoldsTheRest) {
    std::string data = random_bytes(2000, 5);
    std::string text = model_encode(data, 2, 64, true, false);
    EXPECT_EQ(chain_decode(2, text, 1), data);
    EXPECT_EQ(chain_decode(2, text, 769), data);

    Ctx ctx;
    Chain c(orbek_stream_new_romem(u8("YWJjZGVm"), 8, 0, ctx));
    orbek_stream *b = orbek_stream_new_base64(2, 64, 1, ctx);
    ASSERT_EQ(orbek_stream_push(b, c.s), 1);
    c.s = b;
    uint8_t buf[8];
    int32_t got = -1;
    ASSERT_EQ(orbek_stream_read(b, buf, 2, &got, ctx), 1);
    EXPECT_EQ(std::string((char *)buf, 2), "ab");
    ASSERT_EQ(orbek_stream_read(b, buf, 8, &got, ctx), 1);
    EXPECT_EQ(std::string((char *)buf, (size_t)got), "cdef");
    ASSERT_EQ(orbek_stream_read(b, buf, 8, &got, ctx), 1);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, ctx), 1);
}

TEST(Base64, FilterFailuresAreStickyAndReported) {
    Ctx ctx;
    Chain c(orbek_stream_new_romem(u8("YWJj*mFh"), 8, 0, ctx));
    orbek_stream *b = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_EQ(orbek_stream_push(b, c.s), 1);
    c.s = b;
    uint8_t buf[16];
    int32_t got = 0;
    EXPECT_EQ(orbek_stream_read(b, buf, 16, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BASE64_DECODE);
    EXPECT_EQ(ctx.desc(), "base64 decode fail");
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Base64");
    ctx.clear();
    EXPECT_EQ(orbek_stream_read(b, buf, 16, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BASE64_DECODE);
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, ctx), 0);
    orbek_data_blob *blob = nullptr;
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, ctx), 0);
    EXPECT_EQ(blob, nullptr);
    int32_t len = 0;
    ctx.clear();
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_LENGTH, &len, ctx), 0);
    EXPECT_EQ(ctx.records(), 0) << "the length cannot be told, which is no error";
}

TEST(Base64, FilterAtTheSourcesEnd) {
    Ctx ctx;
    // A source whose reads fail once it is used up, and which says so.
    Fake src;
    src.sc.source = "YWJj";
    src.sc.fail_at_end = true;
    orbek_stream *b = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_EQ(orbek_stream_push(b, src), 1);
    uint8_t buf[8];
    int32_t got = -1;
    ASSERT_EQ(orbek_stream_read(b, buf, 3, &got, ctx), 1);
    EXPECT_EQ(got, 3);
    EXPECT_EQ(orbek_stream_read(b, buf, 3, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_READ_PAST_END);
    EXPECT_EQ(ctx.desc(), "Read pass end of stream");
    orbek_stream_pop(b);
    orbek_stream_free(b);

    // Characters still held when the source fails: a length error.
    Fake src2;
    src2.sc.source = "YWJjZA";
    src2.sc.fail_at_end = true;
    orbek_stream *b2 = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_EQ(orbek_stream_push(b2, src2), 1);
    EXPECT_EQ(orbek_stream_read(b2, buf, 8, &got, ctx), 1);
    EXPECT_EQ(got, 3);
    EXPECT_EQ(orbek_stream_read(b2, buf, 8, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_LENGTH);
    EXPECT_EQ(ctx.desc(), "stream length error");
    orbek_stream_pop(b2);
    orbek_stream_free(b2);

    // A failing read from a source that is not at its end: its result.
    Fake src3;
    src3.sc.rc = 0;
    src3.sc.at_end = 0;
    orbek_stream *b3 = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_EQ(orbek_stream_push(b3, src3), 1);
    ctx.clear();
    EXPECT_EQ(orbek_stream_read(b3, buf, 8, &got, ctx), 0);
    EXPECT_EQ(ctx.records(), 0);
    EXPECT_EQ(src3.sc.asked, (std::vector<int32_t>{1024}));
    orbek_stream_pop(b3);
    orbek_stream_free(b3);
}

TEST(Base64, FinishCompletesAnUnpaddedGroup) {
    Ctx ctx;
    for (auto [text, want] : {std::pair<std::string, std::string>{"YWJjZA", "d"}, {"YWJjZGU", "de"}, {"YWJj", ""}}) {
        Chain c(orbek_stream_new_romem(u8(text), (int32_t)text.size(), 0, ctx));
        orbek_stream *b = orbek_stream_new_base64(2, 64, 0x82, ctx);
        ASSERT_EQ(orbek_stream_push(b, c.s), 1);
        c.s = b;
        int32_t rc = 0;
        EXPECT_EQ(drain(b, 100, &rc, ctx), "abc");
        EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, ctx), want.empty() ? 1 : 0);
        EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, nullptr, ctx), 0);
        orbek_data_blob *blob = nullptr;
        ASSERT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, ctx), 1);
        EXPECT_EQ(std::string((char *)blob->data, (size_t)blob->length), want);
        orbek_data_blob_free(blob);
        EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, ctx), 1);
    }
    // With padding expected an unfinished group is not completed.
    Chain c(orbek_stream_new_romem(u8("YWJjZA"), 6, 0, ctx));
    orbek_stream *b = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_EQ(orbek_stream_push(b, c.s), 1);
    c.s = b;
    int32_t rc = 0;
    drain(b, 100, &rc, ctx);
    orbek_data_blob *blob = nullptr;
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, ctx), 0);
}

TEST(Base64, FilterArgumentsAndForwarding) {
    Ctx ctx;
    for (uint32_t ef : {0u, 5u, 0x80u, 0x202u}) {
        EXPECT_EQ(orbek_stream_new_base64(ef, 64, 2, ctx), nullptr) << ef;
        EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BASE64_FLAG);
        EXPECT_EQ(ctx.desc(), "bad base64 flag");
    }
    for (uint32_t df : {0u, 4u, 0x100u}) EXPECT_EQ(orbek_stream_new_base64(2, 64, df, ctx), nullptr) << df;

    Chain lone(orbek_stream_new_base64(2, 64, 2, ctx));
    ASSERT_EQ(orbek_stream_gettype(lone), ORBEK_STREAM_TYPE_BASE64);
    uint8_t buf[4];
    int32_t got = 0;
    EXPECT_EQ(orbek_stream_write(lone, u8("abc"), 3, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_NO_SOURCE_SINK);
    EXPECT_EQ(ctx.desc(), "no source/sink stream");
    EXPECT_EQ(orbek_stream_read(lone, buf, 3, &got, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(lone, ORBEK_CTRL_FLUSH, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_NO_SOURCE_SINK);

    // Codes the filters do not handle travel to the sink.
    Chain c(orbek_stream_new_mem(0, ctx));
    orbek_stream *h = orbek_stream_new_hex(0, ctx);
    orbek_stream *b = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_EQ(orbek_stream_push(h, c.s), 1);
    ASSERT_EQ(orbek_stream_push(b, h), 1);
    c.s = b;
    ctx.clear();
    EXPECT_EQ(orbek_stream_ctrl(b, 13, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_CTRL);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Mem");
    EXPECT_EQ(orbek_stream_write(b, u8("abc"), -1, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_BAD_LENGTH);
    EXPECT_EQ(orbek_stream_write(b, u8("abc"), 0, &got, ctx), 1);
    EXPECT_EQ(got, 0);
    // Base64 then hex: "abcd" -> "YWJjZA==\r\n" -> its hex digits.
    put(b, "abcd");
    ASSERT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(content(orbek_stream_find_type(b, 1, ORBEK_STREAM_SOURCE_SINK)), "59574a6a5a413d3d0d0a");
    int32_t pos = -1;
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_GET_POS, &pos, ctx), 1);
    EXPECT_EQ(pos, 20);
}

TEST(Base64, FailingSinkKeepsTheFilterState) {
    Ctx ctx;
    Fake sink;
    orbek_stream *b = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_EQ(orbek_stream_push(b, sink), 1);
    put(b, "abcd");  // "YWJj" written, "d" held
    sink.sc.rc = 0;
    int32_t got = 0;
    EXPECT_EQ(orbek_stream_write(b, u8("efghij"), 6, &got, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx), 0);
    sink.sc.rc = 1;
    put(b, "ef");
    ASSERT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(sink.sc.sink, "YWJjZGVm");
    orbek_stream_pop(b);
    orbek_stream_free(b);
}

TEST(Base64, AllocationFailureSweeps) {
    Ctx ctx;
    std::string data = random_bytes(5000, 3);
    std::string text = model_encode(data, 2, 64, true, false);
    testalloc::sweep([&] {
        orbek_stream *b = orbek_stream_new_base64(2, 64, 2, ctx);
        orbek_stream_free(b);
        return b != nullptr;
    });
    testalloc::sweep([&] { return encode(2, data) == text; });
    testalloc::sweep([&] { return decode(2, text) == data; });
    testalloc::sweep([&] { return decode(0x82, "YWJjZA") == "abcd"; });
    // The whole chain: Base64 on a memory stream, write, flush, detach.
    testalloc::sweep([&] {
        ctx.clear();
        orbek_stream *m = orbek_stream_new_mem(32, ctx);
        orbek_stream *b = orbek_stream_new_base64(2, 64, 2, ctx);
        bool ok = m && b && orbek_stream_push(b, m) == 1;
        ok = ok && orbek_stream_writen(b, u8(data), (int32_t)data.size(), ctx) == 1;
        ok = ok && orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx) == 1;
        uint8_t *buf = nullptr;
        int32_t len = 0;
        ok = ok && orbek_memstreamdeatch(m, &buf, &len) == 1;
        if (ok) {
            ok = std::string((char *)buf, (size_t)len) == text;
            orbek_free(buf);
        } else {
            EXPECT_EQ(ctx.code(), ORBEK_ERR_OUT_OF_MEMORY);
        }
        if (b && b->next) {
            orbek_stream_freeall(b);
        } else {
            orbek_stream_free(b);
            orbek_stream_free(m);
        }
        return ok;
    });
    // Decoding chain with the final group taken as a blob.
    testalloc::sweep([&] {
        ctx.clear();
        orbek_stream *m = orbek_stream_new_romem(u8("YWJjZA"), 6, 1, ctx);
        orbek_stream *b = orbek_stream_new_base64(2, 64, 0x82, ctx);
        bool ok = m && b && orbek_stream_push(b, m) == 1;
        uint8_t buf[8];
        ok = ok && orbek_stream_readn(b, buf, 3, ctx) == 1;
        orbek_data_blob *blob = nullptr;
        ok = ok && orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, ctx) == 1;
        if (ok) {
            ok = blob->length == 1 && blob->data[0] == 'd';
            orbek_data_blob_free(blob);
        }
        if (b && b->next) {
            orbek_stream_freeall(b);
        } else {
            orbek_stream_free(b);
            orbek_stream_free(m);
        }
        return ok;
    });
}

// ---------------------------------------------------------------- PEM

namespace {

std::string pem_encode(const char *label, const std::string &data) {
    char *text = nullptr;
    int32_t len = -1;
    if (orbek_pemencode(label, u8(data), (int32_t)data.size(), &text, &len) != 1) return "<fail>";
    std::string s(text, (size_t)len);
    orbek_free(text);
    return s;
}

std::string pem_decode(const char *label, const std::string &text) {
    uint8_t *data = nullptr;
    int32_t len = -1;
    if (orbek_pemdecode(label, text.data(), (int32_t)text.size(), &data, &len) != 1) return "<fail>";
    std::string s(reinterpret_cast<char *>(data), (size_t)len);
    orbek_free(data);
    return s;
}

}  // namespace

TEST(Pem, EncodeFramesTheBase64Text) {
    std::string der = random_bytes(100, 11);
    std::string pem = pem_encode("CERTIFICATE", der);
    std::string b64 = model_encode(der, 2, 64, true, false);
    EXPECT_EQ(pem, "-----BEGIN CERTIFICATE-----\r\n" + b64 + "-----END CERTIFICATE-----\r\n");
    // Text that does not end with a line break gets one.
    std::string d48 = random_bytes(96, 12);
    EXPECT_EQ(pem_encode("X", d48), "-----BEGIN X-----\r\n" + model_encode(d48, 2, 64, true, false) + "-----END X-----\r\n");
    std::string d3 = "abc";
    EXPECT_EQ(pem_encode("K", d3), "-----BEGIN K-----\r\nYWJj\r\n-----END K-----\r\n");
    EXPECT_EQ(pem_encode("", d3), "<fail>");
    EXPECT_EQ(pem_encode(nullptr, d3), "<fail>");
    char *t;
    int32_t n;
    EXPECT_EQ(orbek_pemencode("K", u8("abc"), 0, &t, &n), 0);
    EXPECT_EQ(orbek_pemencode("K", nullptr, 3, &t, &n), 0);
    EXPECT_EQ(orbek_pemencode("K", u8("abc"), 3, &t, nullptr), 0);

    // The block has the room the format promises, zero-filled past the text.
    ASSERT_EQ(orbek_pemencode("CERTIFICATE", u8(der), 100, &t, &n), 1);
    EXPECT_EQ(t[n], '\0');
    orbek_free(t);
}

TEST(Pem, DecodeChecksTheFrame) {
    std::string der = random_bytes(300, 13);
    std::string pem = pem_encode("CERTIFICATE", der);
    EXPECT_EQ(pem_decode("CERTIFICATE", pem), der);
    EXPECT_EQ(pem_decode("CERTIFICATE REQUEST", pem), "<fail>");
    EXPECT_EQ(pem_decode("CERT", pem), "<fail>");
    EXPECT_EQ(pem_decode("CERTIFICATE", "\r\n" + pem), "<fail>") << "a blank line before BEGIN";
    EXPECT_EQ(pem_decode("CERTIFICATE", "-----" + pem), der) << "dashes before BEGIN are fine";
    EXPECT_EQ(pem_decode("CERTIFICATE", pem + std::string(1, '\0')), "<fail>") << "NUL after CR LF";
    std::string lf = pem.substr(0, pem.size() - 2) + "\n";
    EXPECT_EQ(pem_decode("CERTIFICATE", lf + std::string(1, '\0')), der) << "NUL after LF";
    std::string bare = pem.substr(0, pem.size() - 2);
    EXPECT_EQ(pem_decode("CERTIFICATE", bare), der);
    EXPECT_EQ(pem_decode("CERTIFICATE", bare + "\r\n\r\n"), der);
    EXPECT_EQ(pem_decode("CERTIFICATE", bare + "x\r\n"), der) << "up to two characters may trail";
    EXPECT_EQ(pem_decode("CERTIFICATE", bare + "xyz\r\n"), "<fail>");
    EXPECT_EQ(pem_decode("CERTIFICATE", bare + "xyz-"), "<fail>");

    // LF-only lines and a blank line after BEGIN.
    std::string b64 = model_encode(der, 3, 64, true, false);
    std::string unix_pem = "-----BEGIN KEY-----\n\n" + b64 + "-----END KEY-----\n";
    EXPECT_EQ(pem_decode("KEY", unix_pem), der);
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY----\n" + b64 + "-----END KEY-----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\n" + b64 + "-----END KEY----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----x\n" + b64 + "-----END KEY-----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\n-----END KEY-----\n" + std::string(40, '-')), "<fail>")
        << "empty body";
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\n" + b64 + "-----END KEY-----"), der);
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\n" + b64.substr(1) + "-----END KEY-----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\n YWJj\n-----END KEY-----\n"), "<fail>") << "blanks";
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\nYWJj\n-----END KEY-----\n"), "abc");
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\nYWJ\n-----END KEY-----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\nYWJj\n------END KEY-----\n"), "abc");
    EXPECT_EQ(pem_decode("", pem), "<fail>");
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----\nYW\n-----END KEY-----"), "<fail>");
    EXPECT_EQ(pem_decode("K", "-----BEGIN K-----\nYWJj\n-----END K---"), "<fail>") << "short dash run";
}

TEST(Pem, AllocationFailureSweeps) {
    std::string der = random_bytes(500, 17);
    std::string pem = pem_encode("CERTIFICATE", der);
    testalloc::sweep([&] { return pem_encode("CERTIFICATE", der) == pem; });
    testalloc::sweep([&] { return pem_decode("CERTIFICATE", pem) == der; });
}
