// Memory streams: growable, read-only (copy or view) and separate-position
// (queue) buffers.
#include <string.h>

#include "stream/stream.h"

static const char kOrbekSource[] = "ORBEK_Stream_Mem";

namespace {

using orbek::kMemNotOwned;
using orbek::kMemReadOnly;
using orbek::kMemSeparate;

// Rounds up to a multiple of 8; false when the result leaves int32 range.
bool round8(int64_t v, int32_t *out) {
    if (v < 0) return false;
    if (v % 8) v += 8 - v % 8;
    if (v > INT32_MAX) return false;
    *out = (int32_t)v;
    return true;
}

int32_t mem_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx);
int32_t mem_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx);
void mem_destroy(orbek_stream *s);
int32_t mem_ctrl(orbek_stream *s, int32_t code, void *argument, orbek_err_ctx *ctx);

const orbek_stream_ops kMemOps = {mem_read, mem_write, mem_destroy, mem_ctrl};

int32_t mem_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    auto *m = ORBEK_STATE(orbek_mem_state, s, false, ctx);
    if (!m) return 0;
    if (length < 0) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return 0;
    }
    int32_t available = m->length - m->read_pos;
    if (available < 0) {
        // The positions contradict the content: a consistency failure.
        if (ctx) orbek_err_ctx_put(ctx, kOrbekSource, __LINE__, ORBEK_ERR_UNEXPECTED, "Bad Length");
        return 0;
    }
    int32_t n = length < available ? length : available;
    if (n > 0) {
        if (!buffer) {
            ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
            return 0;
        }
        memcpy(buffer, m->data + m->read_pos, (size_t)n);
        m->read_pos += n;
        if (!(m->flags & kMemSeparate))
            m->write_pos = m->read_pos;
        else if (m->read_pos > m->write_pos)
            m->write_pos = m->read_pos;
    }
    if (count) *count = n;
    return 1;
}

// Separate positions: makes room for n more bytes at the write position,
// first by moving the unread bytes to the front, else with a larger buffer.
bool compact_or_grow(orbek_mem_state *m, int32_t n) {
    if (m->write_pos < m->read_pos) return false;
    int64_t free_room = (int64_t)m->capacity - m->length + m->read_pos;
    int32_t unread = m->length - m->read_pos;
    if (free_room >= n) {
        if (m->read_pos) memmove(m->data, m->data + m->read_pos, (size_t)unread);
    } else {
        int32_t cap;
        if (!round8(2 * (int64_t)m->capacity - free_room + n, &cap)) return false;
        auto *data = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)cap));
        if (!data) return false;
        if (unread) memcpy(data, m->data + m->read_pos, (size_t)unread);
        ORBEK_FREE(m->data);
        m->data = data;
        m->capacity = cap;
    }
    m->write_pos -= m->read_pos;
    m->length -= m->read_pos;
    m->read_pos = 0;
    return true;
}

int32_t mem_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    auto *m = ORBEK_STATE(orbek_mem_state, s, false, ctx);
    if (!m) return 0;
    if (m->flags & kMemReadOnly) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_READONLY);
        return 0;
    }
    if (length < 0) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return 0;
    }
    if (length == 0) {
        if (count) *count = 0;
        return 1;
    }
    if (!buffer) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    int32_t space = m->capacity - m->write_pos;
    if (space < 0) {
        if (ctx) orbek_err_ctx_put(ctx, kOrbekSource, __LINE__, ORBEK_ERR_UNEXPECTED, "Bad Length");
        return 0;
    }
    if (space < length) {
        if (m->flags & kMemNotOwned) {
            ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_CANNOT_GROW);
            return 0;
        }
        if (m->flags & kMemSeparate) {
            if (!compact_or_grow(m, length)) {
                ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
                return 0;
            }
        } else {
            // At least doubles: capacity + write position + n.
            int32_t cap;
            if (!round8(2 * (int64_t)m->capacity - space + length, &cap)) {
                ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
                return 0;
            }
            auto *data = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)cap));
            if (!data) {
                ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
                return 0;
            }
            // The write covers everything beyond the write position.  The
            // new bytes go in before the old buffer is released, so that a
            // buffer may be written from itself.
            if (m->write_pos) memcpy(data, m->data, (size_t)m->write_pos);
            memcpy(data + m->write_pos, buffer, (size_t)length);
            ORBEK_FREE(m->data);
            m->data = data;
            m->capacity = cap;
            m->write_pos += length;
            if (m->write_pos > m->length) m->length = m->write_pos;
            m->read_pos = m->write_pos;
            if (count) *count = length;
            return 1;
        }
    }
    memmove(m->data + m->write_pos, buffer, (size_t)length);
    m->write_pos += length;
    if (m->write_pos > m->length) m->length = m->write_pos;
    if (!(m->flags & kMemSeparate)) m->read_pos = m->write_pos;
    if (count) *count = length;
    return 1;
}

void mem_destroy(orbek_stream *s) {
    if (!s || s->type != ORBEK_STREAM_TYPE_MEM) return;
    auto *m = static_cast<orbek_mem_state *>(s->state);
    if (!m) return;
    if (!(m->flags & kMemNotOwned)) ORBEK_FREE(m->data);
    ORBEK_FREE(m);
    s->state = nullptr;
}

// Room for v more bytes beyond the content; a hint, so it reports nothing.
int32_t mem_reserve(orbek_mem_state *m, int32_t v) {
    if (m->flags & (kMemReadOnly | kMemNotOwned)) return 0;
    if (m->read_pos != m->write_pos || m->write_pos != m->length) return 0;
    if (m->capacity - m->length >= v) return 1;
    int32_t cap;
    if (!round8((int64_t)m->length + v, &cap)) return 0;
    auto *data = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)cap));
    if (!data) return 0;
    if (m->length) memcpy(data, m->data, (size_t)m->length);
    ORBEK_FREE(m->data);
    m->data = data;
    m->capacity = cap;
    return 1;
}

int32_t mem_ctrl(orbek_stream *s, int32_t code, void *argument, orbek_err_ctx *ctx) {
    auto *m = ORBEK_STATE(orbek_mem_state, s, false, ctx);
    if (!m) return 0;
    auto *arg = static_cast<int32_t *>(argument);
    const bool separate = (m->flags & kMemSeparate) != 0;
    switch (code) {
        case ORBEK_CTRL_RESET:
            m->read_pos = m->write_pos = 0;
            return 1;
        case ORBEK_CTRL_FLUSH:
            return 1;
        case ORBEK_CTRL_AT_END:
            return m->read_pos == m->length ? 1 : 0;
        case ORBEK_CTRL_LENGTH:
        case ORBEK_CTRL_GET_POS:
        case ORBEK_CTRL_SET_POS:
        case ORBEK_CTRL_GET_READ_POS:
        case ORBEK_CTRL_GET_WRITE_POS:
        case ORBEK_CTRL_SET_READ_POS:
        case ORBEK_CTRL_SET_WRITE_POS:
        case ORBEK_CTRL_RESERVE:
            break;
        default:
            ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BAD_CTRL);
            return 0;
    }
    if (!arg) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    const int32_t v = *arg;
    const bool valid = v >= 0 && v < m->length;  // the end itself is no position
    switch (code) {
        case ORBEK_CTRL_LENGTH:
            *arg = separate ? m->length - m->read_pos : m->length;
            return 1;
        case ORBEK_CTRL_GET_POS:
            if (separate && m->read_pos != m->write_pos) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_POS_DIFFER);
                return 0;
            }
            *arg = m->read_pos;
            return 1;
        case ORBEK_CTRL_GET_READ_POS:
            *arg = m->read_pos;
            return 1;
        case ORBEK_CTRL_GET_WRITE_POS:
            *arg = m->write_pos;
            return 1;
        case ORBEK_CTRL_RESERVE:
            return mem_reserve(m, v);
        default:
            break;
    }
    if (!valid) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BAD_POS);
        return 0;
    }
    switch (code) {
        case ORBEK_CTRL_SET_POS:
            m->read_pos = m->write_pos = v;
            return 1;
        case ORBEK_CTRL_SET_READ_POS:
            m->read_pos = v;
            if (!separate || m->write_pos < v) m->write_pos = v;
            return 1;
        default:  // ORBEK_CTRL_SET_WRITE_POS
            m->write_pos = v;
            if (!separate) {
                m->read_pos = v;
            } else if (m->read_pos > v) {
                // The write position has moved all the same; the caller is
                // told that it now lies behind the read position.
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BAD_POS);
                return 0;
            }
            return 1;
    }
}

// Builds a memory stream around a state; data may be a new block (owned)
// or the caller's.  Releases what it was given on failure.
orbek_stream *make(uint8_t *data, int32_t length, int32_t capacity, uint32_t flags, orbek_err_ctx *ctx) {
    auto *m = ORBEK_ALLOC_T(orbek_mem_state, 1);
    auto *s = m ? ORBEK_ALLOC_T(orbek_stream, 1) : nullptr;
    if (!s) {
        ORBEK_FREE(m);
        if (!(flags & kMemNotOwned)) ORBEK_FREE(data);
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    m->data = data;
    m->length = length;
    m->capacity = capacity;
    m->flags = flags;
    m->read_pos = 0;
    m->write_pos = 0;
    orbek::stream_init(s, &kMemOps, ORBEK_STREAM_TYPE_MEM, m);
    return s;
}

orbek_stream *new_growable(int32_t capacity, uint32_t flags, orbek_err_ctx *ctx) {
    if (capacity < 0) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return nullptr;
    }
    int32_t cap;
    if (!round8(capacity ? capacity : 4096, &cap)) {
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    auto *data = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)cap));
    if (!data) {
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    return make(data, 0, cap, flags, ctx);
}

}  // namespace

namespace orbek {

orbek_mem_state *mem_state(orbek_stream *s) noexcept {
    if (!s || s->type != ORBEK_STREAM_TYPE_MEM || s->ops != &kMemOps) return nullptr;
    return static_cast<orbek_mem_state *>(s->state);
}

}  // namespace orbek

ORBEK_EXPORT orbek_stream *orbek_stream_new_mem(int32_t capacity, orbek_err_ctx *ctx) noexcept {
    return new_growable(capacity, 0, ctx);
}

ORBEK_EXPORT orbek_stream *orbek_stream_new_rwspecmem(int32_t capacity, orbek_err_ctx *ctx) noexcept {
    return new_growable(capacity, kMemSeparate, ctx);
}

ORBEK_EXPORT orbek_stream *orbek_stream_new_romem(const uint8_t *data, int32_t length, int32_t copy,
                                                  orbek_err_ctx *ctx) noexcept {
    if (length < 0) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return nullptr;
    }
    if (length > 0 && !data) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return nullptr;
    }
    if (!copy) return make(const_cast<uint8_t *>(data), length, length, kMemNotOwned | kMemReadOnly, ctx);
    // An empty copy needs no buffer at all.
    uint8_t *own = nullptr;
    if (length > 0) {
        own = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)length));
        if (!own) {
            ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
            return nullptr;
        }
        memcpy(own, data, (size_t)length);
    }
    return make(own, length, length, kMemReadOnly, ctx);
}

ORBEK_EXPORT int32_t orbek_memstreamdeatch(orbek_stream *stream, uint8_t **data, int32_t *length) noexcept {
    orbek_mem_state *m = orbek::mem_state(stream);
    if (!m || !data || !length || (m->flags & kMemSeparate)) return 0;
    // Callers detach again after writing in place to learn the new length,
    // and a view hands back the buffer it views: neither passes ownership a
    // second time (the header says who releases what).
    *data = m->data;
    *length = m->length;
    m->flags = kMemNotOwned;
    return 1;
}

ORBEK_EXPORT orbek_stream *orbek_memstream_dup_readonly(orbek_stream *stream) noexcept {
    orbek_mem_state *m = orbek::mem_state(stream);
    if (!m || stream->previous || stream->next || (m->flags & kMemSeparate)) return nullptr;
    return make(m->data, m->length, m->length, kMemNotOwned | kMemReadOnly, nullptr);
}
