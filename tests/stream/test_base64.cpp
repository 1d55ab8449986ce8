// Base64 filter, the one-shot Base64 codec and PEM.
#include "stream_test.h"

using namespace st;

namespace {

// A bit-at-a-time model of the encoder: the oracle for the table-driven one.
std::string model(const std::string &data, int mode, int width = 64, bool pad = true, bool url = false) {
    std::string alpha = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", out;
    alpha += url ? "-_" : "+/";
    const char *eol = mode == 1 ? "\r" : mode == 2 ? "\r\n" : mode == 3 ? "\n" : "";
    width = width < 1 ? 64 : width + width % 4;
    for (size_t i = 0, col = 0; i < data.size(); i += 3) {
        size_t k = std::min<size_t>(3, data.size() - i);
        uint32_t v = 0;
        for (size_t j = 0; j < 3; ++j) v = v << 8 | (j < k ? (uint8_t)data[i + j] : 0);
        for (size_t j = 0; j <= k; ++j) out += alpha[(v >> (18 - 6 * j)) & 63];
        if (k < 3) {
            out += std::string(pad ? 3 - k : 0, '=') + eol;
        } else if (mode != 4 && (col += 4) >= (size_t)width) {
            out += eol;
            col = 0;
        }
    }
    return out;
}

std::string encode(uint32_t flags, const std::string &d) {
    return oneshot<char>([&](char **p, int32_t *n) { return orbek_base64encode(flags, u8(d), (int32_t)d.size(), p, n); }, true);
}
std::string decode(uint32_t flags, const std::string &t) {
    return oneshot<uint8_t>([&](uint8_t **p, int32_t *n) { return orbek_base64decode(flags, t.data(), (int32_t)t.size(), p, n); });
}
std::string pem_encode(const char *label, const std::string &d) {
    return oneshot<char>([&](char **p, int32_t *n) { return orbek_pemencode(label, u8(d), (int32_t)d.size(), p, n); });
}
std::string pem_decode(const char *label, const std::string &t) {
    return oneshot<uint8_t>([&](uint8_t **p, int32_t *n) { return orbek_pemdecode(label, t.data(), (int32_t)t.size(), p, n); });
}

// Writes data through a Base64 filter in pieces of the given sizes (cycled),
// flushes and returns the sink's text.
std::string chain_encode(uint32_t flags, int32_t width, const std::string &data, std::vector<size_t> pieces) {
    Chain c(stack(orbek_stream_new_base64(flags, width, 2, nullptr), orbek_stream_new_mem(0, nullptr)));
    for (size_t i = 0, pos = 0; pos < data.size(); pos += pieces[i++ % pieces.size()]) {
        int32_t k = (int32_t)std::min(pieces[i % pieces.size()], data.size() - pos), count = -1;
        EXPECT_EQ(orbek_stream_write(c, u8(data) + pos, k, &count, nullptr), 1);
        EXPECT_EQ(count, k);
    }
    EXPECT_EQ(orbek_stream_ctrl(c, ORBEK_CTRL_FLUSH, nullptr, nullptr), 1);
    return content(c.s->next);
}

// Reads a text through a decoding filter in reads of the given size;
// "<fail>" when a read fails or the filter is not at the end afterwards.
std::string chain_decode(uint32_t flags, const std::string &text, int32_t chunk) {
    Chain b(stack(orbek_stream_new_base64(2, 64, flags, nullptr), romem(text)));
    int32_t rc = 0;
    std::string out = drain(b, chunk, &rc);
    orbek_data_blob *blob = nullptr;
    if (rc != 1 || ((flags & 0x80) && orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, nullptr) != 1))
        return "<fail>";
    if (blob) out += str(blob->data, blob->length);
    orbek_data_blob_free(blob);
    return orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, nullptr) == 1 ? out : "<fail>";
}

}  // namespace

TEST(Base64, EncodingExamplesAndLineWidths) {
    const std::string url_bytes("\xfb\xff\xbf\xfb\xef", 5), b48(48, 'x'), line = model(b48, 4);
    struct { uint32_t flags; std::string data, want; } cases[] = {
        {2, "abc", "YWJj"}, {2, "abcd", "YWJjZA==\r\n"}, {0x82, "abcd", "YWJjZA\r\n"}, {1, "ab", "YWI=\r"},
        {3, "ab", "YWI=\n"}, {2, b48 + "x", line + "\r\neA==\r\n"},
        {0x104, url_bytes, "-_-_--8="}, {4, url_bytes, "+/+/++8="}, {0x184, url_bytes, "-_-_--8"},
        {0, "abc", "<fail>"}, {5, "abc", "<fail>"}, {0x402, "abc", "<fail>"}, {2, "", "<fail>"},
    };
    for (auto &c : cases) EXPECT_EQ(encode(c.flags, c.data), c.want) << c.flags << " " << c.data;
    std::string data = bytes(300, 1);
    for (auto [width, line_len] : {std::pair<int32_t, size_t>{64, 64}, {76, 76}, {65, 68}, {66, 68}, {67, 72}, {1, 4}, {0, 64}}) {
        std::string text = chain_encode(3, width, data, {300});
        EXPECT_EQ(text, model(data, 3, width)) << width;
        EXPECT_EQ(text.find('\n'), line_len) << "width " << width;
    }
}

TEST(Base64, OneShotAndChainMatchTheModel) {
    for (uint32_t flags = 1; flags <= 0x184; flags += (flags & 3) == 0 ? 0x80 - 3 : 1)
        for (size_t n : {1, 2, 3, 4, 47, 48, 49, 97, 1023, 1024, 1025, 3000}) {
            std::string data = bytes(n, (uint32_t)(n * 7 + flags));
            std::string want = model(data, (int)(flags & 7), 64, !(flags & 0x80), (flags & 0x100) != 0);
            uint32_t dflags = (flags & 0x180) | 2;
            ASSERT_EQ(encode(flags, data), want) << "flags " << flags << " n " << n;
            // Pieces that straddle groups, lines and the 1024-byte chunks.
            ASSERT_EQ(chain_encode(flags, 64, data, {1, 2, 700, 5, 1030}), want) << flags << " " << n;
            ASSERT_EQ(decode(dflags, want), data) << "flags " << flags << " n " << n;
            ASSERT_EQ(chain_decode(dflags, want, 7), data) << "flags " << flags << " n " << n;
        }
    std::string big = bytes(1 << 20, 99), text = encode(2, big);
    EXPECT_EQ(text, model(big, 2));
    EXPECT_EQ(decode(2, text), big);
    for (int32_t chunk : {1, 769, 8192}) EXPECT_EQ(chain_decode(2, text.substr(0, 2000 * 66), chunk), big.substr(0, 96000));
}

TEST(Base64, DecodingRules) {
    const std::string F = "<fail>", spaced = "YW" + std::string(3000, ' ') + "Jj";
    struct { uint32_t flags; std::string text, want; } cases[] = {
        {2, "YWJj\r\nZA==", "abcd"}, {3, "YWJj\r\nZA==", "abcd"}, {1, "YWJj\r\nZA==", F}, {3, "Y\tW J\r\nj", "abc"},
        {2, "YW Jj", F}, {3, spaced, "abc"}, {2, "\r\n", ""}, {2, "YWI9", "ab="}, {2, "YWJjZA==\r\n", "abcd"},
        {2, "YWJjZA==QQ==", F}, {2, "YWJjZA", F}, {2, "YR==", F}, {2, "YWJ=", F}, {2, "=YWJ", F}, {2, "Y=WJ", F},
        {2, "YW=j", F}, {2, "YWJj\xc3", F}, {2, "YW*j", F}, {2, "YWJjZA=", F}, {2, "", F},
        {0x82, "YWJjZA", "abcd"}, {0x82, "YWJjZGU", "abcde"}, {0x82, "YWJjZ", F}, {0x82, "YWJjYR", F},
        {0x82, "YWJjZA==", F}, {0x102, "-_-_--8=", "\xfb\xff\xbf\xfb\xef"}, {2, "-_-_--8=", F},
        {0x102, "+/+/++8=", F}, {0, "YWJj", F}, {4, "YWJj", F}, {0x202, "YWJj", F},
    };
    for (auto &c : cases) EXPECT_EQ(decode(c.flags, c.text), c.want) << c.flags << " " << c.text;
    EXPECT_EQ(chain_decode(3, spaced, 5), "abc") << "a group split by a long run of blanks";
}

TEST(Base64, FilterReads) {
    Ctx ctx;
    uint8_t buf[16];
    int32_t got = -1, rc = 0;
    // At the source's end: nothing more to read, or characters still held.
    read_to_failing_end(orbek_stream_new_base64(2, 64, 2, nullptr), "YWJj", 3, ORBEK_ERR_STREAM_READ_PAST_END);
    read_to_failing_end(orbek_stream_new_base64(2, 64, 2, nullptr), "YWJjZA", 3, ORBEK_ERR_STREAM_LENGTH);
    // A failing read of a source that is not at its end: its own result.
    Fake src;
    src.rc = 0;
    src.at_end = 0;
    Chain f(stack(orbek_stream_new_base64(2, 64, 2, ctx), src));
    EXPECT_EQ(orbek_stream_read(f, buf, 8, &got, ctx), 0);
    EXPECT_EQ(ctx.records(), 0);
    EXPECT_EQ(src.asked, (std::vector<int32_t>{1024}));
    orbek_stream_pop(f);

    // Finishing completes an unpadded final group only.
    for (uint32_t flags : {0x82u, 2u}) {
        Chain u(stack(orbek_stream_new_base64(2, 64, flags, ctx), romem("YWJjZA")));
        EXPECT_EQ(drain(u, 100, &rc), "abc");
        EXPECT_EQ(orbek_stream_ctrl(u, ORBEK_CTRL_AT_END, nullptr, ctx), 0) << "a group is held";
        orbek_data_blob *blob = nullptr;
        EXPECT_EQ(orbek_stream_ctrl(u, ORBEK_CTRL_BASE64_FINISH, &blob, ctx), flags == 2 ? 0 : 1);
        EXPECT_EQ(blob ? str(blob->data, blob->length) : "", flags == 2 ? "" : "d");
        orbek_data_blob_free(blob);
    }
    // A decoding failure is sticky.
    Chain bad(stack(orbek_stream_new_base64(2, 64, 2, ctx), romem("YWJj*mFh")));
    EXPECT_EQ(ctx.why(orbek_stream_read(bad, buf, 16, &got, ctx)), "base64 decode fail");
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Base64");
    ctx.clear();
    orbek_data_blob *blob = nullptr;
    EXPECT_EQ(orbek_stream_read(bad, buf, 16, &got, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(bad, ORBEK_CTRL_AT_END, nullptr, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(bad, ORBEK_CTRL_BASE64_FINISH, &blob, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BASE64_DECODE);
}

TEST(Base64, FilterChecksForwardsAndKeepsItsStateOnFailure) {
    Ctx ctx;
    for (auto [ef, df] : {std::pair<uint32_t, uint32_t>{0, 2}, {5, 2}, {0x80, 2}, {2, 0}, {2, 4}, {2, 0x100}}) {
        EXPECT_EQ(orbek_stream_new_base64(ef, 64, df, ctx), nullptr);
        EXPECT_EQ(ctx.desc(), "bad base64 flag");
    }
    Chain lone(orbek_stream_new_base64(2, 64, 2, ctx));
    int32_t got = 0;
    EXPECT_EQ(ctx.why(orbek_stream_write(lone, u8("abc"), 3, &got, ctx)), "no source/sink stream");
    EXPECT_EQ(orbek_stream_ctrl(lone, ORBEK_CTRL_FLUSH, nullptr, ctx), 0);

    // Base64 over hex over memory: codes the filters do not handle reach the
    // sink; the flush travels down too.
    Chain b(stack(orbek_stream_new_base64(2, 64, 2, ctx), stack(orbek_stream_new_hex(0, ctx), orbek_stream_new_mem(0, ctx))));
    ctx.clear();
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(b, 13, nullptr, ctx)), ORBEK_ERR_STREAM_BAD_CTRL);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Mem");
    int32_t len = 0;
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_LENGTH, &len, ctx), 0);
    EXPECT_EQ(ctx.records(), 1) << "the length cannot be told, which is no error";
    put(b, "abcd");
    ASSERT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(content(orbek_stream_find_type(b, 1, ORBEK_STREAM_SOURCE_SINK)), "59574a6a5a413d3d0d0a");

    // A failing sink: nothing written is forgotten or repeated.
    Fake sink;
    Chain f(stack(orbek_stream_new_base64(2, 64, 2, ctx), sink));
    put(f, "abcd");
    sink.rc = 0;
    EXPECT_EQ(orbek_stream_write(f, u8("efghij"), 6, &got, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(f, ORBEK_CTRL_FLUSH, nullptr, ctx), 0);
    sink.rc = 1;
    put(f, "ef");
    ASSERT_EQ(orbek_stream_ctrl(f, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(sink.sink, "YWJjZGVm");
    orbek_stream_pop(f);
}

TEST(Base64, AllocationFailureSweeps) {
    Ctx ctx;
    std::string data = bytes(5000, 3), text = model(data, 2), der = bytes(100, 11);
    testalloc::sweep([&] { return encode(2, data) == text; });
    testalloc::sweep([&] { return decode(2, text) == data; });
    testalloc::sweep([&] { return pem_decode("CERTIFICATE", pem_encode("CERTIFICATE", der)) == der; });
    // The whole chain: Base64 on a memory stream, write, flush, detach; and
    // decoding with the final group taken as a blob.
    for (bool encoding : {true, false})
        testalloc::sweep([&] {
            ctx.clear();
            orbek_stream *m = encoding ? orbek_stream_new_mem(32, ctx) : orbek_stream_new_romem(u8("YWJjZA"), 6, 1, ctx);
            orbek_stream *b = orbek_stream_new_base64(2, 64, 0x82, ctx);
            Chain c(m && b && orbek_stream_push(b, m) == 1 ? b : nullptr), lone(c.s ? nullptr : b), lone_m(c.s ? nullptr : m);
            uint8_t *buf = nullptr;
            int32_t len = 0;
            orbek_data_blob *blob = nullptr;
            bool ok = c.s && (encoding ? orbek_stream_writen(b, u8(data), (int32_t)data.size(), ctx) == 1 &&
                                             orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx) == 1 &&
                                             orbek_memstreamdeatch(m, &buf, &len) == 1 && str(buf, len) == text
                                       : orbek_stream_readn(b, (uint8_t *)&len, 3, ctx) == 1 &&
                                             orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, ctx) == 1 &&
                                             blob->data[0] == 'd');
            orbek_free(buf);
            orbek_data_blob_free(blob);
            EXPECT_TRUE(ok || ctx.code() == ORBEK_ERR_OUT_OF_MEMORY);
            return ok;
        });
}

TEST(Pem, EncodeAndDecodeCheckTheFrame) {
    std::string der = bytes(300, 13), d96 = bytes(96, 12), pem = pem_encode("CERTIFICATE", der);
    EXPECT_EQ(pem, "-----BEGIN CERTIFICATE-----\r\n" + model(der, 2) + "\r\n-----END CERTIFICATE-----\r\n");
    // The line break is added only where the Base64 text lacks one.
    EXPECT_EQ(pem_encode("X", d96), "-----BEGIN X-----\r\n" + model(d96, 2) + "-----END X-----\r\n");
    EXPECT_EQ(pem_encode("K", "abc"), "-----BEGIN K-----\r\nYWJj\r\n-----END K-----\r\n");
    EXPECT_EQ(pem_encode("", "abc") + pem_encode(nullptr, "abc") + pem_encode("K", ""), "<fail><fail><fail>");

    const std::string F = "<fail>", bare = pem.substr(0, pem.size() - 2), nul(1, '\0'), b64 = model(der, 3),
                      begin = "-----BEGIN KEY-----\n", end = "-----END KEY-----\n";
    struct { const char *label; std::string text, want; } cases[] = {
        {"CERTIFICATE", pem, der}, {"CERTIFICATE REQUEST", pem, F}, {"CERT", pem, F}, {"", pem, F},
        {"CERTIFICATE", "\r\n" + pem, F},             // a blank line before BEGIN
        {"CERTIFICATE", "-----" + pem, der},          // dashes before BEGIN are fine
        {"CERTIFICATE", pem + nul, F},                // NUL after CR LF
        {"CERTIFICATE", bare + "\n" + nul, der},      // NUL after LF
        {"CERTIFICATE", bare, der}, {"CERTIFICATE", bare + "x\r\n\r\n", der},  // up to two characters may trail
        {"CERTIFICATE", bare + "xyz\r\n", F},
        {"KEY", begin + "\n" + b64 + end, der},       // LF lines, blank line after BEGIN
        {"KEY", "-----BEGIN KEY----\n" + b64 + end, F}, {"KEY", begin + b64 + "-----END KEY----\n", F},
        {"KEY", "-----BEGIN KEY-----x\n" + b64 + end, F}, {"KEY", begin + end + std::string(40, '-'), F},
        {"KEY", begin + b64.substr(1) + end, F}, {"KEY", begin + " YWJj\n" + end, F},
        {"KEY", begin + "YWJj\n-" + end, "abc"},
    };
    for (auto &c : cases) EXPECT_EQ(pem_decode(c.label, c.text), c.want) << c.label << "\n" << c.text;
}
