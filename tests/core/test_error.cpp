#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "orbek_util.h"

namespace {

struct Ctx {
    orbek_err_ctx *p = orbek_err_ctx_new();
    ~Ctx() { orbek_err_ctx_free(p); }
};

std::string desc(const orbek_err_ctx *ctx) {
    int32_t len = 0;
    char buf[80];
    EXPECT_EQ(orbek_err_ctx_geterrdesc(ctx, buf, sizeof buf, &len), 1);
    return buf;
}

std::string printed(const orbek_err_ctx *ctx) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(orbek_err_ctx_print(ctx), 1);
    fflush(stderr);
    return testing::internal::GetCapturedStderr();
}

std::string listing(int first, int last) {  // records first..last, newest first
    std::string s;
    char line[128];
    for (int i = last; i >= first; --i) {
        snprintf(line, sizeof line, "0X%08X d%d F(%d)\n", 0x10000 + i, i, i);
        s += line;
    }
    return s;
}

void put_n(orbek_err_ctx *ctx, int n) {
    for (int i = 0; i < n; ++i) {
        std::string d = "d" + std::to_string(i);
        ASSERT_EQ(orbek_err_ctx_put(ctx, "F", i, 0x10000 + i, d.c_str()), 1);
    }
}

}  // namespace

TEST(ErrCtx, EmptyContext) {
    Ctx c;
    uint32_t code = 0;
    EXPECT_EQ(orbek_err_ctx_geterrcode(c.p, &code), 1);
    EXPECT_EQ(code, 1u);
    int32_t len = 0;
    EXPECT_EQ(orbek_err_ctx_geterrdesc(c.p, nullptr, 0, &len), 1);
    EXPECT_EQ(len, 1);
    char buf[4] = "xyz";
    EXPECT_EQ(orbek_err_ctx_geterrdesc(c.p, buf, 0, &len), 0);
    EXPECT_EQ(orbek_err_ctx_geterrdesc(c.p, buf, 1, &len), 1);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(printed(c.p), "No Error\n");
}

TEST(ErrCtx, RingKeepsNewest31) {
    Ctx c;
    put_n(c.p, 30);
    EXPECT_EQ(printed(c.p), listing(0, 29));
    Ctx wrapped;  // 33 puts: the ring has wrapped, all 31 newest still listed
    put_n(wrapped.p, 33);
    EXPECT_EQ(printed(wrapped.p), listing(2, 32));
    Ctx full;  // 40 puts: the 9 oldest are gone
    put_n(full.p, 40);
    EXPECT_EQ(printed(full.p), listing(9, 39));
    uint32_t code = 0;
    EXPECT_EQ(orbek_err_ctx_geterrcode(full.p, &code), 1);
    EXPECT_EQ(code, 0x10000u + 39);
    EXPECT_EQ(desc(full.p), "d39");
}

TEST(ErrCtx, PutValidatesAndCuts) {
    Ctx c;
    EXPECT_EQ(orbek_err_ctx_put(c.p, "F", -1, 5, "x"), 0);
    EXPECT_EQ(orbek_err_ctx_put(c.p, nullptr, 1, 5, "x"), 0);
    EXPECT_EQ(orbek_err_ctx_put(nullptr, "F", 1, 5, "x"), 0);
    EXPECT_EQ(printed(c.p), "No Error\n");

    EXPECT_EQ(orbek_err_ctx_put(c.p, "F", 0, 7, nullptr), 1);
    EXPECT_EQ(desc(c.p), "");
    std::string longtext(100, 'a');
    longtext[63] = 'b';
    EXPECT_EQ(orbek_err_ctx_put(c.p, "F", 3, 8, longtext.c_str()), 1);
    EXPECT_EQ(desc(c.p), std::string(63, 'a'));

    int32_t len = 0;
    char small[63];
    EXPECT_EQ(orbek_err_ctx_geterrdesc(c.p, nullptr, 0, &len), 1);
    EXPECT_EQ(len, 64);
    EXPECT_EQ(orbek_err_ctx_geterrdesc(c.p, small, sizeof small, &len), 0);
    EXPECT_EQ(len, 64);
    EXPECT_EQ(orbek_err_ctx_geterrdesc(c.p, small, sizeof small, nullptr), 0);
    EXPECT_EQ(orbek_err_ctx_geterrdesc(nullptr, small, sizeof small, &len), 0);
    EXPECT_EQ(orbek_err_ctx_geterrcode(c.p, nullptr), 0);
}

TEST(ErrCtx, CopyAndClean) {
    Ctx a, b;
    put_n(a.p, 35);
    ASSERT_EQ(orbek_err_ctx_copy(a.p, b.p), 1);
    EXPECT_EQ(printed(b.p), listing(4, 34));
    EXPECT_EQ(orbek_err_ctx_copy(a.p, nullptr), 0);
    EXPECT_EQ(orbek_err_ctx_copy(nullptr, b.p), 0);
    ASSERT_EQ(orbek_err_ctx_clean(a.p), 1);
    EXPECT_EQ(printed(a.p), "No Error\n");
    EXPECT_EQ(orbek_err_ctx_clean(nullptr), 0);
    EXPECT_EQ(orbek_err_ctx_print(nullptr), 0);
    // A cleaned context fills up again from slot 0.
    put_n(a.p, 1);
    EXPECT_EQ(printed(a.p), listing(0, 0));
}

TEST(ErrorTexts, Tables) {
    EXPECT_STREQ(orbek_igetGeneralError(0x10000), "Out Of Memory");
    EXPECT_STREQ(orbek_igetGeneralError(0x10004), "unexcpeted error");
    EXPECT_STREQ(orbek_igetGeneralError(0x10003), "This method not support");
    for (uint32_t code : {0x10005u, 0x10009u, 0x1000Au, 0x1000Cu, 0x1000Du, 0xFFFFu, 0x10100u, 0u})
        EXPECT_STREQ(orbek_igetGeneralError(code), "") << std::hex << code;

    EXPECT_STREQ(orbek_igetStreamError(0x10100), "Write a readonly stream");
    EXPECT_STREQ(orbek_igetStreamError(0x1010D), "no source/sink stream");
    EXPECT_STREQ(orbek_igetStreamError(0x10111), "base64 decode fail");
    EXPECT_STREQ(orbek_igetStreamError(0x1011B), "wirte pos and read pos are difference");
    for (uint32_t code : {0x1011Cu, 0x100FFu, 0x10000u})
        EXPECT_STREQ(orbek_igetStreamError(code), "") << std::hex << code;
}
