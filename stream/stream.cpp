// Stream core: the generic entry points, chaining and the error listing.
#include "stream/stream.h"

#include <stdio.h>
#include <string.h>

static const char kOrbekSource[] = "ORBEK_Stream";

namespace orbek {

void report_code(orbek_err_ctx *ctx, const char *file, int32_t line, uint32_t code) noexcept {
    if (!ctx) return;
    const char *text = code >= 0x10100 ? orbek_igetStreamError(code) : orbek_igetGeneralError(code);
    orbek_err_ctx_put(ctx, file, line, code, text);
}

void *checked_state(orbek_stream *s, bool need_next, orbek_err_ctx *ctx, const char *file, int32_t line) noexcept {
    uint32_t code = !s ? ORBEK_ERR_NULL_POINT
                  : !s->state ? ORBEK_ERR_STREAM_BAD
                  : need_next && !s->next ? ORBEK_ERR_STREAM_NO_SOURCE_SINK : 0;
    if (!code) return s->state;
    report_code(ctx, file, line, code);
    return nullptr;
}

bool write_args_ok(const void *buffer, int32_t length, orbek_err_ctx *ctx, const char *file, int32_t line) noexcept {
    uint32_t code = length < 0 ? ORBEK_ERR_BAD_LENGTH : length > 0 && !buffer ? ORBEK_ERR_NULL_POINT : 0;
    if (!code) return true;
    report_code(ctx, file, line, code);
    return false;
}

}  // namespace orbek

namespace {

// The operation in slot of s: a null stream is "Null Point", a kind without
// the operation "This method not support".
template <class Op>
Op operation(orbek_stream *s, Op orbek_stream_ops::*slot, orbek_err_ctx *ctx) noexcept {
    if (!s) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return nullptr;
    }
    Op op = s->ops ? s->ops->*slot : nullptr;
    if (!op) ORBEK_REPORT(ctx, ORBEK_ERR_NOT_SUPPORTED);
    return op;
}

// Moves exactly length bytes with op, however many calls it takes.  A call
// that claims success without moving a byte (or moving more than it was
// given) would make the loop spin or overrun: it fails with stall_code.
template <class Op, class Byte>
int32_t transfer_all(orbek_stream *s, Op orbek_stream_ops::*slot, Byte *buffer, int32_t length, uint32_t stall_code,
                     orbek_err_ctx *ctx) noexcept {
    Op op = operation(s, slot, ctx);
    if (!op) return 0;
    if (length < 0) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return 0;
    }
    for (int32_t done = 0; done < length;) {
        int32_t count = 0;
        int32_t rc = op(s, buffer + done, length - done, &count, ctx);
        if (rc != 1) return rc;
        if (count <= 0 || count > length - done) {
            ORBEK_REPORT(ctx, stall_code);
            return 0;
        }
        done += count;
    }
    return 1;
}

}  // namespace

ORBEK_EXPORT int32_t orbek_stream_read(orbek_stream *stream, uint8_t *buffer, int32_t length, int32_t *count,
                                       orbek_err_ctx *ctx) noexcept {
    auto op = operation(stream, &orbek_stream_ops::read, ctx);
    return op ? op(stream, buffer, length, count, ctx) : 0;
}

ORBEK_EXPORT int32_t orbek_stream_write(orbek_stream *stream, const uint8_t *buffer, int32_t length, int32_t *count,
                                        orbek_err_ctx *ctx) noexcept {
    auto op = operation(stream, &orbek_stream_ops::write, ctx);
    return op ? op(stream, buffer, length, count, ctx) : 0;
}

ORBEK_EXPORT int32_t orbek_stream_ctrl(orbek_stream *stream, int32_t code, void *argument,
                                       orbek_err_ctx *ctx) noexcept {
    auto op = operation(stream, &orbek_stream_ops::ctrl, ctx);
    return op ? op(stream, code, argument, ctx) : 0;
}

ORBEK_EXPORT int32_t orbek_stream_writen(orbek_stream *stream, const uint8_t *buffer, int32_t length,
                                         orbek_err_ctx *ctx) noexcept {
    return transfer_all(stream, &orbek_stream_ops::write, buffer, length, ORBEK_ERR_STREAM_WRITE_FAIL, ctx);
}

// Exhausted early (or a count out of range): fewer bytes than asked.
ORBEK_EXPORT int32_t orbek_stream_readn(orbek_stream *stream, uint8_t *buffer, int32_t length,
                                        orbek_err_ctx *ctx) noexcept {
    return transfer_all(stream, &orbek_stream_ops::read, buffer, length, ORBEK_ERR_BAD_LENGTH, ctx);
}

namespace {

// The first stream of the chain s belongs to.
const orbek_stream *chain_head(const orbek_stream *s) noexcept {
    while (s->previous) s = s->previous;
    return s;
}

// Whether writing to destination can change or release what source holds:
// the two belong to one chain (or are one stream), or a memory stream of
// one chain uses the buffer of a memory stream of the other (a view).
bool entangled(orbek_stream *destination, orbek_stream *source) noexcept {
    const orbek_stream *d = chain_head(destination), *s = chain_head(source);
    if (d == s) return true;
    for (; s; s = s->next) {
        orbek_mem_state *ms = orbek::mem_state(const_cast<orbek_stream *>(s));
        if (!ms || !ms->data) continue;
        for (const orbek_stream *t = d; t; t = t->next) {
            orbek_mem_state *mt = orbek::mem_state(const_cast<orbek_stream *>(t));
            if (mt && mt->data == ms->data) return true;
        }
    }
    return false;
}

// A private, growing copy of bytes (through the hooks).
struct Snapshot {
    uint8_t *data = nullptr;
    int32_t length = 0, capacity = 0;
    ~Snapshot() { ORBEK_FREE(data); }
    bool append(const uint8_t *p, int32_t n, orbek_err_ctx *ctx) noexcept {
        if (n > capacity - length) {
            int64_t want = (int64_t)length + n, cap = capacity ? 2 * (int64_t)capacity : 8192;
            if (cap < want) cap = want;
            if (cap > INT32_MAX) cap = INT32_MAX;
            auto *grown = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)cap));
            if (!grown) {
                ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
                return false;
            }
            if (length) memcpy(grown, data, (size_t)length);
            ORBEK_FREE(data);
            data = grown;
            capacity = (int32_t)cap;
        }
        memcpy(data + length, p, (size_t)n);
        length += n;
        return true;
    }
};

}  // namespace

// When the destination's chain holds the source (a filter pushed onto the
// memory stream it copies, say), writing would grow, release or overwrite
// the very bytes still to be copied.  The source's bytes are then taken
// into a private snapshot first, and the result is that of copying them as
// they stood when the call began.
ORBEK_EXPORT int32_t orbek_stream_writefromstream(orbek_stream *destination, orbek_stream *source, int32_t *total,
                                                  orbek_err_ctx *ctx) noexcept {
    if (!destination || !source) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    // A writable memory destination reserves room for all of it up front.
    orbek_mem_state *dst = orbek::mem_state(destination);
    if (dst && !(dst->flags & orbek::kMemReadOnly)) {
        int32_t len = 0;
        if (orbek_stream_ctrl(source, ORBEK_CTRL_LENGTH, &len, nullptr) == 1)
            orbek_stream_ctrl(destination, ORBEK_CTRL_RESERVE, &len, nullptr);
    }
    const bool snapshot = entangled(destination, source);
    Snapshot held;

    // A plain memory source is written in one piece, whatever its position.
    orbek_mem_state *src = orbek::mem_state(source);
    if (src && !(src->flags & orbek::kMemSeparate)) {
        const int32_t n = src->length;
        const uint8_t *from = src->data;
        if (snapshot && n > 0) {
            if (!held.append(from, n, ctx)) return 0;
            from = held.data;
        }
        int32_t rc = orbek_stream_writen(destination, from, n, ctx);
        if (rc == 1 && total) *total = n;
        return rc;
    }

    int32_t rc = orbek_stream_ctrl(source, ORBEK_CTRL_RESET, nullptr, ctx);
    if (rc != 1) return rc;
    uint8_t chunk[8192];
    int32_t copied = 0;
    for (;;) {
        int32_t got = 0;
        if (orbek_stream_read(source, chunk, (int32_t)sizeof chunk, &got, ctx) != 1 || got <= 0) break;
        if (got > (int32_t)sizeof chunk || got > INT32_MAX - copied) {
            ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_LENGTH);
            return 0;
        }
        if (snapshot) {
            if (!held.append(chunk, got, ctx)) return 0;
        } else {
            rc = orbek_stream_writen(destination, chunk, got, ctx);
            if (rc != 1) return rc;
        }
        copied += got;
    }
    rc = orbek_stream_ctrl(source, ORBEK_CTRL_AT_END, nullptr, nullptr);
    if (rc != 1) return rc;
    if (snapshot) {
        rc = orbek_stream_writen(destination, held.data, held.length, ctx);
        if (rc != 1) return rc;
    }
    if (total) *total = copied;
    return 1;
}

ORBEK_EXPORT int32_t orbek_stream_push(orbek_stream *filter, orbek_stream *rest) noexcept {
    if (!filter || !rest || filter->previous || filter->next || rest->previous) return 0;
    if (!(filter->type & orbek::kFilterBit) || (filter->type & orbek::kSinkBit)) return 0;
    // The chain from rest must end in its one source/sink.
    const orbek_stream *s = rest;
    while (!(s->type & orbek::kSinkBit)) {
        s = s->next;
        if (!s) return 0;
    }
    if (s->next) return 0;
    filter->next = rest;
    rest->previous = filter;
    return 1;
}

ORBEK_EXPORT orbek_stream *orbek_stream_pop(orbek_stream *stream) noexcept {
    if (!stream || stream->previous || !stream->next) return nullptr;
    orbek_stream *rest = stream->next;
    stream->next = nullptr;
    rest->previous = nullptr;
    return rest;
}

ORBEK_EXPORT orbek_stream *orbek_stream_next(orbek_stream *stream) noexcept {
    return stream ? stream->next : nullptr;
}

ORBEK_EXPORT orbek_stream *orbek_stream_find_type(orbek_stream *stream, int32_t where, int32_t type) noexcept {
    if (!stream) return nullptr;
    orbek_stream *s;
    switch (where) {
        case 1:
            s = stream;
            while (s->previous) s = s->previous;
            break;
        case 2:
            s = stream;
            break;
        case 3:
            s = stream->next;
            break;
        default:
            return nullptr;
    }
    const bool by_class = type == orbek::kFilterBit || type == orbek::kSinkBit;
    for (; s; s = s->next)
        if (s->type == type || (by_class && (s->type & type))) return s;
    return nullptr;
}

ORBEK_EXPORT void orbek_stream_free(orbek_stream *stream) noexcept {
    if (!stream) return;
    if (stream->ops && stream->ops->destroy) stream->ops->destroy(stream);
    ORBEK_FREE(stream);
}

ORBEK_EXPORT void orbek_stream_freeall(orbek_stream *stream) noexcept {
    if (!stream) return;
    while (stream->previous) stream = stream->previous;
    while (stream) {
        orbek_stream *next = stream->next;
        orbek_stream_free(stream);
        stream = next;
    }
}

ORBEK_EXPORT int32_t orbek_stream_gettype(const orbek_stream *stream) noexcept {
    return stream ? stream->type : -1;
}

ORBEK_EXPORT int32_t orbek_err_ctx_output(orbek_stream *stream, const orbek_err_ctx *ctx, uint32_t *code) noexcept {
    if (!stream || !ctx) {
        if (code) *code = stream ? ORBEK_ERR_NULL_POINT : ORBEK_ERR_STREAM_BAD;
        return 0;
    }
    // The writes report into a private context so that ctx is not changed
    // while it is being listed.
    orbek_err_ctx mine;
    memset(&mine, 0, sizeof mine);
    int32_t rc = 1;
    if (ctx->write == ctx->oldest) {
        rc = orbek_stream_writen(stream, reinterpret_cast<const uint8_t *>("No Error\n"), 9, &mine);
    } else {
        orbek::for_each_record(ctx, [&](const orbek_err_record &r) {
            if (rc != 1) return;
            char line[1024];
            int n = snprintf(line, sizeof line, "0X%08X %512s %64s(%d)\n", (unsigned)r.code, r.description,
                             r.file ? r.file : "", (int)r.line);
            // Only a file name of several hundred characters overflows the
            // line: it is cut there but still ends with its line break.  (Some
            // C runtimes answer a cut line with -1 rather than its length.)
            if (n < 0 || n >= (int)sizeof line) {
                n = (int)sizeof line - 1;
                line[n - 1] = '\n';
            }
            rc = orbek_stream_writen(stream, reinterpret_cast<const uint8_t *>(line), n, &mine);
        });
    }
    if (rc != 1 && code) orbek_err_ctx_geterrcode(&mine, code);
    return rc;
}
