// Helpers shared by the stream tests.
#ifndef ORBEK_TESTS_STREAM_TEST_H
#define ORBEK_TESTS_STREAM_TEST_H

#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "orbek_util.h"
#include "stream/stream.h"

namespace st {

struct Ctx {
    orbek_err_ctx *p = orbek_err_ctx_new();
    Ctx() { EXPECT_NE(p, nullptr); }
    ~Ctx() { orbek_err_ctx_free(p); }
    Ctx(const Ctx &) = delete;
    Ctx &operator=(const Ctx &) = delete;
    operator orbek_err_ctx *() const { return p; }
    int records() const { return (p->write - p->oldest + 32) & 31; }
    const orbek_err_record &newest() const { return p->slots[(p->write + 31) & 31]; }
    uint32_t code() const { return records() ? newest().code : 1u; }
    std::string file() const { return records() ? newest().file : ""; }
    std::string desc() const { return records() ? newest().description : ""; }
    void clear() { orbek_err_ctx_clean(p); }
};

// Owns one stream or chain (released with freeall).
struct Chain {
    orbek_stream *s;
    explicit Chain(orbek_stream *stream = nullptr) : s(stream) {}
    ~Chain() { orbek_stream_freeall(s); }
    Chain(const Chain &) = delete;
    Chain &operator=(const Chain &) = delete;
    operator orbek_stream *() const { return s; }
};

inline const uint8_t *u8(const char *s) { return reinterpret_cast<const uint8_t *>(s); }
inline const uint8_t *u8(const std::string &s) { return reinterpret_cast<const uint8_t *>(s.data()); }

inline orbek_mem_state *mem(orbek_stream *s) { return static_cast<orbek_mem_state *>(s->state); }

// The whole content of a memory stream, from offset 0.
inline std::string content(orbek_stream *s) {
    orbek_mem_state *m = mem(s);
    return std::string(reinterpret_cast<const char *>(m->data), (size_t)m->length);
}

// Writes s to the stream; asserts success.
inline void put(orbek_stream *stream, const std::string &s, orbek_err_ctx *ctx = nullptr) {
    ASSERT_EQ(orbek_stream_writen(stream, u8(s), (int32_t)s.size(), ctx), 1);
}

// Reads everything a stream delivers in chunks of the given size.
inline std::string drain(orbek_stream *stream, int32_t chunk, int32_t *rc, orbek_err_ctx *ctx = nullptr) {
    std::string out;
    std::string buf((size_t)chunk, '\0');
    for (;;) {
        int32_t got = -1;
        *rc = orbek_stream_read(stream, reinterpret_cast<uint8_t *>(&buf[0]), chunk, &got, ctx);
        if (*rc != 1 || got == 0) return out;
        out.append(buf, 0, (size_t)got);
    }
}

}  // namespace st

#endif
