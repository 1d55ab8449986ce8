// Error contexts and the tables of error texts.
#include "core/error.h"

#include <stdio.h>
#include <string.h>

static const char kOrbekSource[] = "ORBEK_Error";

namespace {

const char *const kGeneralTexts[] = {
    "Out Of Memory", "Bad Length", "Null Point", "This method not support", "unexcpeted error",
};

const char *const kStreamTexts[] = {
    "Write a readonly stream",
    "Stream cannot grow",
    "Bad stream",
    "Read pass end of stream",
    "Write stream fail",
    "pos is invalid",
    "read file fail",
    "write file fail",
    "file already close",
    "reset fail",
    "file close fail",
    "error file mode",
    "open file fail",
    "no source/sink stream",
    "stream length error",
    "hex decode fail",
    "bad base64 flag",
    "base64 decode fail",
    "file flush fail",
    "bad md function",
    "get stream length fail",
    "unsupported ctrl code",
    "pem decode fail",
    "md update fail",
    "md finish fail",
    "stream can not read",
    "stream can not write",
    "wirte pos and read pos are difference",
};

constexpr uint32_t kGeneralBase = 0x10000;
constexpr uint32_t kStreamBase = 0x10100;

const orbek_err_record &newest(const orbek_err_ctx *ctx) { return ctx->slots[(ctx->write + 31) & 31]; }

}  // namespace

ORBEK_EXPORT orbek_err_ctx *orbek_err_ctx_new(void) noexcept {
    // The context is allocated as one block under a fixed source position.
    auto *ctx = static_cast<orbek_err_ctx *>(orbek::alloc(sizeof(orbek_err_ctx), kOrbekSource, 14));
    if (ctx) memset(ctx, 0, sizeof *ctx);
    return ctx;
}

ORBEK_EXPORT int32_t orbek_err_ctx_put(orbek_err_ctx *ctx, const char *file, int32_t line, uint32_t code,
                                       const char *description) noexcept {
    if (!ctx || !file || line < 0) return 0;
    if (((ctx->write + 1) & 31) == ctx->oldest) ctx->oldest = (ctx->oldest + 1) & 31;
    orbek_err_record &rec = ctx->slots[ctx->write];
    rec.file = file;
    rec.line = line;
    rec.code = code;
    size_t n = description ? strnlen(description, sizeof rec.description - 1) : 0;
    if (n) memcpy(rec.description, description, n);
    rec.description[n] = '\0';
    ctx->write = (ctx->write + 1) & 31;
    return 1;
}

ORBEK_EXPORT int32_t orbek_err_ctx_geterrcode(const orbek_err_ctx *ctx, uint32_t *code) noexcept {
    if (!ctx || !code) return 0;
    *code = ctx->write == ctx->oldest ? 1u : newest(ctx).code;
    return 1;
}

ORBEK_EXPORT int32_t orbek_err_ctx_geterrdesc(const orbek_err_ctx *ctx, char *buffer, int32_t buffer_size,
                                              int32_t *length) noexcept {
    if (!ctx || !length) return 0;
    const char *text = ctx->write == ctx->oldest ? "" : newest(ctx).description;
    int32_t need = (int32_t)strlen(text) + 1;
    *length = need;
    if (!buffer) return 1;
    if (buffer_size < need) return 0;
    memcpy(buffer, text, (size_t)need);
    return 1;
}

ORBEK_EXPORT int32_t orbek_err_ctx_print(const orbek_err_ctx *ctx) noexcept {
    if (!ctx) return 0;
    if (ctx->write == ctx->oldest) {
        fputs("No Error\n", stderr);
        return 1;
    }
    orbek::for_each_record(ctx, [](const orbek_err_record &r) {
        fprintf(stderr, "0X%08X %s %s(%d)\n", (unsigned)r.code, r.description, r.file, (int)r.line);
    });
    return 1;
}

ORBEK_EXPORT int32_t orbek_err_ctx_copy(const orbek_err_ctx *source, orbek_err_ctx *destination) noexcept {
    if (!source || !destination) return 0;
    if (source != destination) memcpy(destination, source, sizeof *destination);
    return 1;
}

ORBEK_EXPORT int32_t orbek_err_ctx_clean(orbek_err_ctx *ctx) noexcept {
    if (!ctx) return 0;
    memset(ctx, 0, sizeof *ctx);
    return 1;
}

ORBEK_EXPORT const char *orbek_igetGeneralError(uint32_t code) noexcept {
    uint32_t i = code - kGeneralBase;
    return i < sizeof kGeneralTexts / sizeof *kGeneralTexts ? kGeneralTexts[i] : "";
}

ORBEK_EXPORT const char *orbek_igetStreamError(uint32_t code) noexcept {
    uint32_t i = code - kStreamBase;
    return i < sizeof kStreamTexts / sizeof *kStreamTexts ? kStreamTexts[i] : "";
}
