// Digest filter: hashes what passes down with the caller's digest table.
#include <string.h>

#include "stream/md.h"

static const char kOrbekSource[] = "ORBEK_Stream_MD";

namespace orbek {

bool md_table_complete(const orbek_md_table *t) noexcept {
    return t->new_context && t->free_context && t->digest_length && t->algorithm && t->init && t->update &&
           t->finish && t->block_length;
}

int32_t md_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx,
                 const char *source) noexcept {
    auto *m = static_cast<MdCore *>(checked_state(s, false, ctx, source, __LINE__));
    if (!m || !write_args_ok(buffer, length, ctx, source, __LINE__)) return 0;
    if (length == 0) {
        if (count) *count = 0;
        return 1;
    }
    if (!s->next) {
        report_code(ctx, source, __LINE__, ORBEK_ERR_STREAM_NO_SOURCE_SINK);
        return 0;
    }
    // One write down; only what the next stream took is hashed, so that a
    // caller's writen loop hashes every byte exactly once.
    int32_t took = 0;
    int32_t rc = orbek_stream_write(s->next, buffer, length, &took, ctx);
    if (rc != 1) return rc;
    if (took < 0 || took > length) {
        report_code(ctx, source, __LINE__, ORBEK_ERR_STREAM_WRITE_FAIL);
        return 0;
    }
    if (took > 0 && m->table.update(m->hash, buffer, took) != 1) {
        report_code(ctx, source, __LINE__, ORBEK_ERR_STREAM_MD_UPDATE);
        return 0;
    }
    if (count) *count = took;
    return 1;
}

int32_t md_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx,
                const char *source) noexcept {
    if (!checked_state(s, false, ctx, source, __LINE__)) return 0;
    if (length < 0) {
        report_code(ctx, source, __LINE__, ORBEK_ERR_BAD_LENGTH);
        return 0;
    }
    if (length == 0) {
        if (count) *count = 0;
        return 1;
    }
    if (!s->next) {
        report_code(ctx, source, __LINE__, ORBEK_ERR_STREAM_NO_SOURCE_SINK);
        return 0;
    }
    return orbek_stream_read(s->next, buffer, length, count, ctx);
}

int32_t md_common_ctrl(MdCore *m, int32_t code, void *argument, orbek_err_ctx *ctx, const char *source) noexcept {
    if (code != ORBEK_CTRL_MD_LENGTH && code != ORBEK_CTRL_MD_ALGORITHM) return -1;
    if (!argument) {
        report_code(ctx, source, __LINE__, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    if (code == ORBEK_CTRL_MD_LENGTH)
        *static_cast<int32_t *>(argument) = m->table.digest_length();
    else
        *static_cast<uint32_t *>(argument) = m->table.algorithm();
    return 1;
}

}  // namespace orbek

namespace {

// The digest buffer follows the state in the same block.
struct MdState {
    orbek::MdCore core;
    uint8_t *digest() { return reinterpret_cast<uint8_t *>(this + 1); }
};

int32_t md_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    return orbek::md_write(s, buffer, length, count, ctx, kOrbekSource);
}

int32_t md_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    return orbek::md_read(s, buffer, length, count, ctx, kOrbekSource);
}

void md_destroy(orbek_stream *s) {
    auto *m = static_cast<MdState *>(s->state);
    if (!m) return;
    m->core.table.free_context(m->core.hash);
    ORBEK_FREE(m);
    s->state = nullptr;
}

int32_t md_ctrl(orbek_stream *s, int32_t code, void *argument, orbek_err_ctx *ctx) {
    auto *m = ORBEK_STATE(MdState, s, true, ctx);
    if (!m) return 0;
    int32_t rc = orbek::md_common_ctrl(&m->core, code, argument, ctx, kOrbekSource);
    if (rc >= 0) return rc;
    if (code != ORBEK_CTRL_MD_FINISH) return orbek_stream_ctrl(s->next, code, argument, ctx);
    if (!argument) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    if (m->core.table.finish(m->core.hash, m->digest()) != 1) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_MD_FINISH);
        return 0;
    }
    memcpy(argument, m->digest(), (size_t)m->core.digest_length);
    return 1;
}

const orbek_stream_ops kMdOps = {md_read, md_write, md_destroy, md_ctrl};

// A state block with its digest buffer; the context is created by the
// caller.  Null on allocation failure.
MdState *new_state(const orbek_md_table *t, int32_t digest_length) {
    auto *m = static_cast<MdState *>(ORBEK_ALLOC(sizeof(MdState) + (size_t)digest_length));
    if (!m) return nullptr;
    m->core.table = *t;
    m->core.hash = nullptr;
    m->core.digest_length = digest_length;
    memset(m->digest(), 0, (size_t)digest_length);
    return m;
}

}  // namespace

namespace orbek {

int32_t temp_digest(const orbek_md_table *t, const uint8_t *data, int32_t n, uint8_t *out, int32_t length,
                    orbek_err_ctx *ctx) noexcept {
    orbek_stream *sink = orbek_stream_new_null(ctx);
    orbek_stream *d = sink ? orbek_stream_new_md(t, ctx) : nullptr;
    if (!d) {
        orbek_stream_free(sink);
        return -1;
    }
    orbek_stream_push(d, sink);
    int32_t got = -1;
    // The finished digest must fit the caller's room.
    bool ok = static_cast<MdState *>(d->state)->core.digest_length == length &&
              orbek_stream_writen(d, data, n, ctx) == 1 && orbek_stream_ctrl(d, ORBEK_CTRL_MD_LENGTH, &got, ctx) == 1 &&
              orbek_stream_ctrl(d, ORBEK_CTRL_MD_FINISH, out, ctx) == 1;
    orbek_stream_freeall(d);
    return ok ? got : -1;
}

}  // namespace orbek

ORBEK_EXPORT orbek_stream *orbek_stream_new_md(const orbek_md_table *table, orbek_err_ctx *ctx) noexcept {
    if (!table) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return nullptr;
    }
    const int32_t length = orbek::md_table_complete(table) ? table->digest_length() : 0;
    if (length < 1) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_MD_FUNCTION);
        return nullptr;
    }
    MdState *m = new_state(table, length);
    void *hash = m ? table->new_context() : nullptr;
    auto *s = hash ? ORBEK_ALLOC_T(orbek_stream, 1) : nullptr;
    if (!s) {
        if (hash) table->free_context(hash);
        ORBEK_FREE(m);
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    table->init(hash);
    m->core.hash = hash;
    orbek::stream_init(s, &kMdOps, ORBEK_STREAM_TYPE_MD, m);
    return s;
}

ORBEK_EXPORT orbek_stream *orbek_stream_md_dup(orbek_stream *stream) noexcept {
    if (!stream || stream->type != ORBEK_STREAM_TYPE_MD || stream->ops != &kMdOps || !stream->state) return nullptr;
    auto *from = static_cast<MdState *>(stream->state);
    const orbek_md_table &t = from->core.table;
    if (!t.dup_context) return nullptr;
    MdState *m = new_state(&t, from->core.digest_length);
    void *hash = m ? t.dup_context(from->core.hash) : nullptr;
    auto *s = hash ? ORBEK_ALLOC_T(orbek_stream, 1) : nullptr;
    if (!s) {
        if (hash) t.free_context(hash);
        ORBEK_FREE(m);
        return nullptr;
    }
    m->core.hash = hash;
    memcpy(m->digest(), from->digest(), (size_t)from->core.digest_length);
    orbek::stream_init(s, &kMdOps, ORBEK_STREAM_TYPE_MD, m);
    return s;
}
