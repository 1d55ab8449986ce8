// The null stream: a sink that discards everything written to it.
#include "stream/stream.h"

static const char kOrbekSource[] = "ORBEK_Stream_Null";

namespace {

int32_t null_read(orbek_stream *, uint8_t *, int32_t, int32_t *, orbek_err_ctx *ctx) {
    ORBEK_REPORT(ctx, ORBEK_ERR_NOT_SUPPORTED);
    return 0;
}

int32_t null_write(orbek_stream *s, const uint8_t *, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    if (!s) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    if (length < 0) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return 0;
    }
    if (count) *count = length;
    return 1;
}

void null_destroy(orbek_stream *) {}

int32_t null_ctrl(orbek_stream *s, int32_t code, void *, orbek_err_ctx *ctx) {
    if (!s) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    if (code == ORBEK_CTRL_FLUSH) return 1;
    ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BAD_CTRL);
    return 0;
}

const orbek_stream_ops kNullOps = {null_read, null_write, null_destroy, null_ctrl};

}  // namespace

ORBEK_EXPORT orbek_stream *orbek_stream_new_null(orbek_err_ctx *ctx) noexcept {
    auto *s = ORBEK_ALLOC_T(orbek_stream, 1);
    if (!s) {
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    orbek::stream_init(s, &kNullOps, ORBEK_STREAM_TYPE_NULL, nullptr);
    return s;
}
