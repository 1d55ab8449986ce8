// Base64 filter, the one-shot Base64 codec and PEM.
#include <random>

#include "stream_test.h"
#include "support/test_alloc.h"

using namespace st;

namespace {

// A bit-at-a-time model of the encoder: the oracle for the table-driven one.
std::string model(const std::string &data, int mode, int width = 64, bool pad = true, bool url = false) {
    std::string alpha = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    alpha += url ? "-_" : "+/";
    const char *eol = mode == 1 ? "\r" : mode == 2 ? "\r\n" : mode == 3 ? "\n" : "";
    width = width < 1 ? 64 : width + width % 4;
    std::string out;
    int col = 0;
    for (size_t i = 0; i < data.size(); i += 3) {
        size_t k = std::min<size_t>(3, data.size() - i);
        uint32_t v = 0;
        for (size_t j = 0; j < 3; ++j) v = v << 8 | (j < k ? (uint8_t)data[i + j] : 0);
        for (size_t j = 0; j <= k; ++j) out += alpha[(v >> (18 - 6 * j)) & 63];
        if (k < 3) {
            if (pad) out.append(3 - k, '=');
            out += eol;
        } else if (mode != 4 && (col += 4) >= width) {
            out += eol;
            col = 0;
        }
    }
    return out;
}

std::string random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto &c : s) c = (char)rng();
    return s;
}

std::string encode(uint32_t flags, const std::string &data) {
    char *text = nullptr;
    int32_t len = -1;
    if (orbek_base64encode(flags, u8(data), (int32_t)data.size(), &text, &len) != 1) return "<fail>";
    std::string s(text, (size_t)len + 1);
    orbek_free(text);
    EXPECT_EQ(s.back(), '\0');
    return s.substr(0, (size_t)len);
}

std::string decode(uint32_t flags, const std::string &text) {
    uint8_t *data = nullptr;
    int32_t len = -1;
    if (orbek_base64decode(flags, text.data(), (int32_t)text.size(), &data, &len) != 1) return "<fail>";
    std::string s((char *)data, (size_t)len);
    orbek_free(data);
    return s;
}

// Writes data through a Base64 filter in pieces of the given sizes (cycled),
// flushes and returns the sink's text.
std::string chain_encode(uint32_t flags, int32_t width, const std::string &data, std::vector<size_t> pieces) {
    Chain c(orbek_stream_new_mem(0, nullptr));
    orbek_stream *b = orbek_stream_new_base64(flags, width, 2, nullptr);
    EXPECT_EQ(orbek_stream_push(b, c.s), 1);
    c.s = b;
    for (size_t i = 0, pos = 0; pos < data.size(); pos += pieces[i++ % pieces.size()]) {
        int32_t k = (int32_t)std::min(pieces[i % pieces.size()], data.size() - pos), count = -1;
        EXPECT_EQ(orbek_stream_write(b, u8(data) + pos, k, &count, nullptr), 1);
        EXPECT_EQ(count, k);
    }
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, nullptr), 1);
    return content(orbek_stream_next(b));
}

// Reads a text through a decoding filter in reads of the given size;
// "<fail>" when a read fails or the filter is not at the end afterwards.
std::string chain_decode(uint32_t flags, const std::string &text, int32_t chunk) {
    Chain c(orbek_stream_new_romem(u8(text), (int32_t)text.size(), 0, nullptr));
    orbek_stream *b = orbek_stream_new_base64(2, 64, flags, nullptr);
    EXPECT_EQ(orbek_stream_push(b, c.s), 1);
    c.s = b;
    int32_t rc = 0;
    std::string out = drain(b, chunk, &rc);
    orbek_data_blob *blob = nullptr;
    if (rc != 1 || ((flags & 0x80) && orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, nullptr) != 1))
        return "<fail>";
    if (blob) out.append((char *)blob->data, (size_t)blob->length);
    orbek_data_blob_free(blob);
    return orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, nullptr) == 1 ? out : "<fail>";
}

}  // namespace

TEST(Base64, EncodingExamplesAndLineWidths) {
    EXPECT_EQ(encode(2, "abc"), "YWJj");
    EXPECT_EQ(encode(2, "abcd"), "YWJjZA==\r\n");
    EXPECT_EQ(encode(0x82, "abcd"), "YWJjZA\r\n");
    EXPECT_EQ(encode(1, "ab"), "YWI=\r");
    EXPECT_EQ(encode(3, "ab"), "YWI=\n");
    std::string b48(48, 'x'), line = model(b48, 4);
    ASSERT_EQ(line.size(), 64u);
    EXPECT_EQ(encode(2, b48), line + "\r\n");
    EXPECT_EQ(encode(2, b48 + "x"), line + "\r\n" + "eA==\r\n");
    std::string url_bytes("\xfb\xff\xbf\xfb\xef", 5);
    EXPECT_EQ(encode(0x104, url_bytes), "-_-_--8=");
    EXPECT_EQ(encode(4, url_bytes), "+/+/++8=");
    EXPECT_EQ(encode(0x184, url_bytes), "-_-_--8");
    for (uint32_t bad : {0u, 5u, 0x402u}) EXPECT_EQ(encode(bad, "abc"), "<fail>");
    EXPECT_EQ(encode(2, ""), "<fail>") << "nothing to encode";

    std::string data = random_bytes(300, 1);
    for (auto [width, line_len] : {std::pair<int32_t, size_t>{64, 64}, {76, 76}, {65, 68}, {66, 68}, {67, 72}, {1, 4}, {0, 64}}) {
        std::string text = chain_encode(3, width, data, {300});
        EXPECT_EQ(text, model(data, 3, width)) << width;
        EXPECT_EQ(text.find('\n'), line_len) << "width " << width;
    }
}

TEST(Base64, OneShotAndChainMatchTheModel) {
    for (uint32_t mode = 1; mode <= 4; ++mode)
        for (uint32_t extra : {0u, 0x80u, 0x100u, 0x180u})
            for (size_t n : {1, 2, 3, 4, 47, 48, 49, 97, 1023, 1024, 1025, 3000}) {
                uint32_t flags = mode | extra;
                std::string data = random_bytes(n, (uint32_t)(n * 7 + flags));
                std::string want = model(data, (int)mode, 64, !(extra & 0x80), (extra & 0x100) != 0);
                ASSERT_EQ(encode(flags, data), want) << "flags " << flags << " n " << n;
                // Pieces that straddle groups, lines and the 1024-byte chunks.
                ASSERT_EQ(chain_encode(flags, 64, data, {1, 2, 700, 5, 1030}), want) << flags << " " << n;
                ASSERT_EQ(decode(extra | 2, want), data) << "flags " << flags << " n " << n;
                ASSERT_EQ(chain_decode(extra | 2, want, 7), data) << "flags " << flags << " n " << n;
            }
    std::string big = random_bytes(1 << 20, 99), text = encode(2, big);
    EXPECT_EQ(text, model(big, 2));
    EXPECT_EQ(decode(2, text), big);
    for (int32_t chunk : {1, 769, 8192}) EXPECT_EQ(chain_decode(2, text.substr(0, 2000 * 66), chunk), big.substr(0, 96000));
}

TEST(Base64, DecodingRules) {
    EXPECT_EQ(decode(2, "YWJj\r\nZA=="), "abcd");
    EXPECT_EQ(decode(3, "YWJj\r\nZA=="), "abcd");
    EXPECT_EQ(decode(1, "YWJj\r\nZA=="), "<fail>");
    EXPECT_EQ(decode(3, "Y\tW J\r\nj"), "abc");
    EXPECT_EQ(decode(2, "YW Jj"), "<fail>");
    EXPECT_EQ(decode(3, "YW" + std::string(3000, ' ') + "Jj"), "abc") << "a group split by a long run of blanks";
    EXPECT_EQ(chain_decode(3, "YW" + std::string(3000, ' ') + "Jj", 5), "abc");
    EXPECT_EQ(decode(2, "\r\n"), "") << "nothing but line breaks";
    EXPECT_EQ(decode(2, "YWI9"), "ab=");
    EXPECT_EQ(decode(2, "YWJjZA==\r\n"), "abcd") << "line breaks after the end are fine";
    for (const char *t : {"YWJjZA==QQ==", "YWJjZA", "YR==", "YWJ=", "=YWJ", "Y=WJ", "YW=j", "YWJj\xc3", "YW*j", "YWJjZA="})
        EXPECT_EQ(decode(2, t), "<fail>") << t;
    EXPECT_EQ(decode(0x82, "YWJjZA"), "abcd");
    EXPECT_EQ(decode(0x82, "YWJjZGU"), "abcde");
    EXPECT_EQ(decode(0x82, "YWJjZ"), "<fail>") << "one character cannot be completed";
    EXPECT_EQ(decode(0x82, "YWJjYR"), "<fail>") << "bits left over";
    EXPECT_EQ(decode(0x82, "YWJjZA=="), "<fail>") << "no padding expected";
    EXPECT_EQ(decode(0x102, "-_-_--8="), std::string("\xfb\xff\xbf\xfb\xef", 5));
    EXPECT_EQ(decode(2, "-_-_--8="), "<fail>");
    EXPECT_EQ(decode(0x102, "+/+/++8="), "<fail>");
    for (uint32_t f : {0u, 4u, 0x200u | 2u}) EXPECT_EQ(decode(f, "YWJj"), "<fail>") << f;
    EXPECT_EQ(decode(2, ""), "<fail>");
}

TEST(Base64, FilterReads) {
    Ctx ctx;
    // Bytes the caller has no room for are held for the next read.
    Chain c(orbek_stream_new_romem(u8("YWJjZGVm"), 8, 0, ctx));
    orbek_stream *b = orbek_stream_new_base64(2, 64, 1, ctx);
    ASSERT_EQ(orbek_stream_push(b, c.s), 1);
    c.s = b;
    uint8_t buf[16];
    int32_t got = -1;
    ASSERT_EQ(orbek_stream_read(b, buf, 2, &got, ctx), 1);
    ASSERT_EQ(orbek_stream_read(b, buf + 2, 8, &got, ctx), 1);
    EXPECT_EQ(std::string((char *)buf, 2 + (size_t)got), "abcdef");

    // A source that fails once used up (as files do): the end of a read
    // that delivered nothing is reported; held characters are an error.
    for (auto [text, second] : {std::pair<std::string, uint32_t>{"YWJj", ORBEK_ERR_STREAM_READ_PAST_END},
                                {"YWJjZA", ORBEK_ERR_STREAM_LENGTH}}) {
        Fake src;
        src.source = text;
        src.fail_at_end = true;
        Chain f(orbek_stream_new_base64(2, 64, 2, ctx));
        ASSERT_EQ(orbek_stream_push(f, src), 1);
        ASSERT_EQ(orbek_stream_read(f, buf, 8, &got, ctx), 1);
        EXPECT_EQ(got, 3);
        EXPECT_EQ(orbek_stream_read(f, buf, 8, &got, ctx), 0);
        EXPECT_EQ(ctx.code(), second);
        orbek_stream_pop(f);
    }
    // A failing read of a source that is not at its end: its own result.
    Fake src;
    src.rc = 0;
    src.at_end = 0;
    Chain f(orbek_stream_new_base64(2, 64, 2, ctx));
    ASSERT_EQ(orbek_stream_push(f, src), 1);
    ctx.clear();
    EXPECT_EQ(orbek_stream_read(f, buf, 8, &got, ctx), 0);
    EXPECT_EQ(ctx.records(), 0);
    EXPECT_EQ(src.asked, (std::vector<int32_t>{1024}));
    orbek_stream_pop(f);

    // Finishing completes an unpadded final group only.
    for (uint32_t flags : {0x82u, 2u}) {
        Chain u(orbek_stream_new_romem(u8("YWJjZA"), 6, 0, ctx));
        orbek_stream *b2 = orbek_stream_new_base64(2, 64, flags, ctx);
        ASSERT_EQ(orbek_stream_push(b2, u.s), 1);
        u.s = b2;
        int32_t rc = 0;
        EXPECT_EQ(drain(b2, 100, &rc), "abc");
        EXPECT_EQ(orbek_stream_ctrl(b2, ORBEK_CTRL_AT_END, nullptr, ctx), 0) << "a group is held";
        orbek_data_blob *blob = nullptr;
        EXPECT_EQ(orbek_stream_ctrl(b2, ORBEK_CTRL_BASE64_FINISH, &blob, ctx), flags == 2 ? 0 : 1);
        if (blob) {
            EXPECT_EQ(std::string((char *)blob->data, (size_t)blob->length), "d");
        }
        orbek_data_blob_free(blob);
    }

    // A decoding failure is sticky.
    Chain d(orbek_stream_new_romem(u8("YWJj*mFh"), 8, 0, ctx));
    orbek_stream *bad = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_EQ(orbek_stream_push(bad, d.s), 1);
    d.s = bad;
    EXPECT_EQ(orbek_stream_read(bad, buf, 16, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BASE64_DECODE);
    EXPECT_EQ(ctx.desc(), "base64 decode fail");
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Base64");
    ctx.clear();
    EXPECT_EQ(orbek_stream_read(bad, buf, 16, &got, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BASE64_DECODE);
    orbek_data_blob *blob = nullptr;
    EXPECT_EQ(orbek_stream_ctrl(bad, ORBEK_CTRL_AT_END, nullptr, ctx), 0);
    EXPECT_EQ(orbek_stream_ctrl(bad, ORBEK_CTRL_BASE64_FINISH, &blob, ctx), 0);
}

TEST(Base64, FilterChecksForwardsAndKeepsItsStateOnFailure) {
    Ctx ctx;
    for (auto [ef, df] : {std::pair<uint32_t, uint32_t>{0, 2}, {5, 2}, {0x80, 2}, {2, 0}, {2, 4}, {2, 0x100}}) {
        EXPECT_EQ(orbek_stream_new_base64(ef, 64, df, ctx), nullptr);
        EXPECT_EQ(ctx.desc(), "bad base64 flag");
    }
    Chain lone(orbek_stream_new_base64(2, 64, 2, ctx));
    int32_t got = 0;
    EXPECT_EQ(orbek_stream_write(lone, u8("abc"), 3, &got, ctx), 0);
    EXPECT_EQ(ctx.desc(), "no source/sink stream");
    EXPECT_EQ(orbek_stream_ctrl(lone, ORBEK_CTRL_FLUSH, nullptr, ctx), 0);

    // Base64 over hex over memory: codes the filters do not handle reach the
    // sink; the flush travels down too.
    Chain c(orbek_stream_new_mem(0, ctx));
    orbek_stream *h = orbek_stream_new_hex(0, ctx), *b = orbek_stream_new_base64(2, 64, 2, ctx);
    ASSERT_TRUE(orbek_stream_push(h, c.s) && orbek_stream_push(b, h));
    c.s = b;
    ctx.clear();
    EXPECT_EQ(orbek_stream_ctrl(b, 13, nullptr, ctx), 0);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_BAD_CTRL);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Mem");
    int32_t len = 0;
    EXPECT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_LENGTH, &len, ctx), 0);
    EXPECT_EQ(ctx.records(), 1) << "the length cannot be told, which is no error";
    put(b, "abcd");
    ASSERT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(content(orbek_stream_find_type(b, 1, ORBEK_STREAM_SOURCE_SINK)), "59574a6a5a413d3d0d0a");

    // A failing sink: nothing written is forgotten or repeated.
    Fake sink;
    Chain f(orbek_stream_new_base64(2, 64, 2, ctx));
    ASSERT_EQ(orbek_stream_push(f, sink), 1);
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
    std::string data = random_bytes(5000, 3), text = model(data, 2);
    testalloc::sweep([&] {
        orbek_stream *b = orbek_stream_new_base64(2, 64, 2, ctx);
        orbek_stream_free(b);
        return b != nullptr;
    });
    testalloc::sweep([&] { return encode(2, data) == text; });
    testalloc::sweep([&] { return decode(2, text) == data; });
    // The whole chain: Base64 on a memory stream, write, flush, detach; and
    // decoding with the final group taken as a blob.
    for (bool encoding : {true, false})
        testalloc::sweep([&] {
            ctx.clear();
            orbek_stream *m = encoding ? orbek_stream_new_mem(32, ctx) : orbek_stream_new_romem(u8("YWJjZA"), 6, 1, ctx);
            orbek_stream *b = orbek_stream_new_base64(2, 64, 0x82, ctx);
            bool ok = m && b && orbek_stream_push(b, m) == 1;
            if (encoding) {
                ok = ok && orbek_stream_writen(b, u8(data), (int32_t)data.size(), ctx) == 1 &&
                     orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx) == 1;
                uint8_t *buf = nullptr;
                int32_t len = 0;
                if ((ok = ok && orbek_memstreamdeatch(m, &buf, &len) == 1)) ok = std::string((char *)buf, (size_t)len) == text;
                orbek_free(buf);
            } else {
                uint8_t buf[3];
                orbek_data_blob *blob = nullptr;
                ok = ok && orbek_stream_readn(b, buf, 3, ctx) == 1 &&
                     orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, ctx) == 1 && blob->data[0] == 'd';
                orbek_data_blob_free(blob);
            }
            if (!ok) {
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
    std::string s((char *)data, (size_t)len);
    orbek_free(data);
    return s;
}

}  // namespace

TEST(Pem, EncodeFramesTheBase64Text) {
    std::string der = random_bytes(100, 11), d96 = random_bytes(96, 12);
    EXPECT_EQ(pem_encode("CERTIFICATE", der), "-----BEGIN CERTIFICATE-----\r\n" + model(der, 2) + "-----END CERTIFICATE-----\r\n");
    // The line break is added only where the Base64 text lacks one.
    EXPECT_EQ(pem_encode("X", d96), "-----BEGIN X-----\r\n" + model(d96, 2) + "-----END X-----\r\n");
    EXPECT_EQ(pem_encode("K", "abc"), "-----BEGIN K-----\r\nYWJj\r\n-----END K-----\r\n");
    EXPECT_EQ(pem_encode("", "abc"), "<fail>");
    EXPECT_EQ(pem_encode(nullptr, "abc"), "<fail>");
    EXPECT_EQ(pem_encode("K", ""), "<fail>");
    testalloc::sweep([&] { return pem_decode("CERTIFICATE", pem_encode("CERTIFICATE", der)) == der; });
}

TEST(Pem, DecodeChecksTheFrame) {
    std::string der = random_bytes(300, 13), pem = pem_encode("CERTIFICATE", der);
    std::string bare = pem.substr(0, pem.size() - 2), lf = bare + "\n";
    EXPECT_EQ(pem_decode("CERTIFICATE", pem), der);
    EXPECT_EQ(pem_decode("CERTIFICATE REQUEST", pem), "<fail>");
    EXPECT_EQ(pem_decode("CERT", pem), "<fail>");
    EXPECT_EQ(pem_decode("", pem), "<fail>");
    EXPECT_EQ(pem_decode("CERTIFICATE", "\r\n" + pem), "<fail>") << "a blank line before BEGIN";
    EXPECT_EQ(pem_decode("CERTIFICATE", "-----" + pem), der) << "dashes before BEGIN are fine";
    EXPECT_EQ(pem_decode("CERTIFICATE", pem + std::string(1, '\0')), "<fail>") << "NUL after CR LF";
    EXPECT_EQ(pem_decode("CERTIFICATE", lf + std::string(1, '\0')), der) << "NUL after LF";
    EXPECT_EQ(pem_decode("CERTIFICATE", bare), der);
    EXPECT_EQ(pem_decode("CERTIFICATE", bare + "x\r\n\r\n"), der) << "up to two characters may trail";
    EXPECT_EQ(pem_decode("CERTIFICATE", bare + "xyz\r\n"), "<fail>");

    const std::string b64 = model(der, 3), begin = "-----BEGIN KEY-----\n";
    EXPECT_EQ(pem_decode("KEY", begin + "\n" + b64 + "-----END KEY-----\n"), der) << "LF lines, blank line after BEGIN";
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY----\n" + b64 + "-----END KEY-----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", begin + b64 + "-----END KEY----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", "-----BEGIN KEY-----x\n" + b64 + "-----END KEY-----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", begin + "-----END KEY-----\n" + std::string(40, '-')), "<fail>") << "empty body";
    EXPECT_EQ(pem_decode("KEY", begin + b64.substr(1) + "-----END KEY-----\n"), "<fail>");
    EXPECT_EQ(pem_decode("KEY", begin + " YWJj\n-----END KEY-----\n"), "<fail>") << "blanks";
    EXPECT_EQ(pem_decode("KEY", begin + "YWJj\n------END KEY-----\n"), "abc");
}
