// HMAC filter (RFC 2104) over the caller's digest table.
#include <string.h>

#include "stream/md.h"

static const char kOrbekSource[] = "ORBEK_Stream_HMAC";

namespace {

// The prepared key K0 (block-length bytes) follows the state in the same
// block.
struct HmacState {
    orbek::MdCore core;
    int32_t block_length;
    uint8_t *key() { return reinterpret_cast<uint8_t *>(this + 1); }
};

void xor_bytes(uint8_t *p, int32_t n, uint8_t v) {
    for (int32_t i = 0; i < n; ++i) p[i] ^= v;
}

int32_t hmac_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    return orbek::md_write(s, buffer, length, count, ctx, kOrbekSource);
}

int32_t hmac_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    return orbek::md_read(s, buffer, length, count, ctx, kOrbekSource);
}

// Releases the context and the state; the key is wiped first.
void release(HmacState *h) {
    if (h->core.hash) h->core.table.free_context(h->core.hash);
    memset(h->key(), 0, (size_t)h->block_length);
    ORBEK_FREE(h);
}

void hmac_destroy(orbek_stream *s) {
    auto *h = static_cast<HmacState *>(s->state);
    if (!h) return;
    release(h);
    s->state = nullptr;
}

// Control 12: the outer hash over K0 ^ opad followed by the inner digest.
int32_t hmac_finish(HmacState *h, uint8_t *out, orbek_err_ctx *ctx) {
    const int32_t b = h->block_length, l = h->core.digest_length;
    auto *buf = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)b + (size_t)l));
    if (!buf) {
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return 0;
    }
    memcpy(buf, h->key(), (size_t)b);
    xor_bytes(buf, b, 0x5C);
    int32_t produced = -1;
    if (h->core.table.finish(h->core.hash, buf + b) != 1)
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_MD_FINISH);
    else
        produced = orbek::temp_digest(&h->core.table, buf, b + l, out, l, ctx);
    memset(buf, 0, (size_t)b + (size_t)l);
    ORBEK_FREE(buf);
    return produced > 0 ? 1 : 0;
}

int32_t hmac_ctrl(orbek_stream *s, int32_t code, void *argument, orbek_err_ctx *ctx) {
    auto *h = ORBEK_STATE(HmacState, s, true, ctx);
    if (!h) return 0;
    int32_t rc = orbek::md_common_ctrl(&h->core, code, argument, ctx, kOrbekSource);
    if (rc >= 0) return rc;
    if (code != ORBEK_CTRL_HMAC_FINISH) return orbek_stream_ctrl(s->next, code, argument, ctx);
    if (!argument) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    return hmac_finish(h, static_cast<uint8_t *>(argument), ctx);
}

const orbek_stream_ops kHmacOps = {hmac_read, hmac_write, hmac_destroy, hmac_ctrl};

}  // namespace

ORBEK_EXPORT orbek_stream *orbek_stream_new_hmac(const orbek_md_table *table, const uint8_t *key, int32_t key_length,
                                                 orbek_err_ctx *ctx) noexcept {
    if (!table || !key) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return nullptr;
    }
    // The key block holds a whole digest when a long key is hashed.
    const bool complete = orbek::md_table_complete(table);
    const int32_t l = complete ? table->digest_length() : 0, b = complete ? table->block_length() : 0;
    if (l < 1 || b < l) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_MD_FUNCTION);
        return nullptr;
    }
    if (key_length < 1) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return nullptr;
    }
    auto *h = static_cast<HmacState *>(ORBEK_ALLOC(sizeof(HmacState) + (size_t)b));
    if (!h) {
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    h->core.table = *table;
    h->core.digest_length = l;
    h->block_length = b;
    h->core.hash = table->new_context();
    if (!h->core.hash) {
        release(h);
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    table->init(h->core.hash);
    // K0: a key longer than the block is replaced by its digest; either is
    // padded with zeros to the block length.
    uint8_t *k0 = h->key();
    memset(k0, 0, (size_t)b);
    if (key_length > b) {
        if (orbek::temp_digest(table, key, key_length, k0, l, ctx) < 0) {
            release(h);
            return nullptr;
        }
    } else {
        memcpy(k0, key, (size_t)key_length);
    }
    // The inner pad goes in now; K0 itself is kept for the outer one.
    xor_bytes(k0, b, 0x36);
    int32_t rc = table->update(h->core.hash, k0, b);
    xor_bytes(k0, b, 0x36);
    if (rc != 1) {
        release(h);
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_MD_UPDATE);
        return nullptr;
    }
    auto *s = ORBEK_ALLOC_T(orbek_stream, 1);
    if (!s) {
        release(h);
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    orbek::stream_init(s, &kHmacOps, ORBEK_STREAM_TYPE_HMAC, h);
    return s;
}
