// The stream object shared by every stream kind.  Not installed.
#ifndef ORBEK_STREAM_STREAM_H
#define ORBEK_STREAM_STREAM_H

#include "core/error.h"
#include "core/internal.h"

// A kind's operations, in slot order; any slot may be null and the generic
// entry points then answer "This method not support".
struct orbek_stream_ops {
    int32_t (*read)(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx);
    int32_t (*write)(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx);
    // Releases the private state and sets it to null; not the object.
    void (*destroy)(orbek_stream *s);
    int32_t (*ctrl)(orbek_stream *s, int32_t code, void *argument, orbek_err_ctx *ctx);
};

struct orbek_stream {
    const orbek_stream_ops *ops;
    int32_t type;
    void *state;
    orbek_stream *previous;  // passes data into this one
    orbek_stream *next;      // receives data from this one
};

// Memory stream state.  Without separate positions the two positions are
// always equal.
struct orbek_mem_state {
    uint8_t *data;
    int32_t length;    // end of the content
    int32_t capacity;  // size of the buffer
    uint32_t flags;
    int32_t read_pos;
    int32_t write_pos;
};

namespace orbek {

constexpr int32_t kFilterBit = 0x10000;
constexpr int32_t kSinkBit = 0x20000;

constexpr uint32_t kMemReadOnly = 0x1;
constexpr uint32_t kMemSeparate = 0x40000000;
constexpr uint32_t kMemNotOwned = 0x80000000;

// Records a failure with the table text of its code (general or stream).
void report_code(orbek_err_ctx *ctx, const char *file, int32_t line, uint32_t code) noexcept;

// The private state of s, or null after a report from the calling module:
// "Null Point" for a null stream, "Bad stream" for one without state and, for
// a filter (need_next), "no source/sink stream" when nothing is below it.
void *checked_state(orbek_stream *s, bool need_next, orbek_err_ctx *ctx, const char *file, int32_t line) noexcept;

// A write request's arguments: "Bad Length" for a negative length, "Null
// Point" for a null buffer with bytes to move.
bool write_args_ok(const void *buffer, int32_t length, orbek_err_ctx *ctx, const char *file, int32_t line) noexcept;

// The memory state of s if s is a memory stream with state, else null.
orbek_mem_state *mem_state(orbek_stream *s) noexcept;

inline void stream_init(orbek_stream *s, const orbek_stream_ops *ops, int32_t type, void *state) noexcept {
    s->ops = ops;
    s->type = type;
    s->state = state;
    s->previous = nullptr;
    s->next = nullptr;
}

}  // namespace orbek

// Reports code with its table text from the calling module, at this line.
#define ORBEK_REPORT(ctx, code) ::orbek::report_code((ctx), kOrbekSource, __LINE__, (code))
#define ORBEK_STATE(type, s, need_next, ctx) \
    static_cast<type *>(::orbek::checked_state((s), (need_next), (ctx), kOrbekSource, __LINE__))
#define ORBEK_WRITE_ARGS_OK(buffer, length, ctx) ::orbek::write_args_ok((buffer), (length), (ctx), kOrbekSource, __LINE__)

#endif
