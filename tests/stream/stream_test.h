// Helpers shared by the stream tests.
#ifndef ORBEK_TESTS_STREAM_TEST_H
#define ORBEK_TESTS_STREAM_TEST_H

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/error.h"
#include "orbek_util.h"
#include "stream/stream.h"

namespace st {

struct Ctx {
    orbek_err_ctx *p = orbek_err_ctx_new();
    ~Ctx() { orbek_err_ctx_free(p); }
    operator orbek_err_ctx *() const { return p; }
    int records() const { return (p->write - p->oldest + 32) & 31; }
    const orbek_err_record &newest() const { return p->slots[(p->write + 31) & 31]; }
    uint32_t code() const { return records() ? newest().code : 1u; }
    std::string file() const { return records() ? newest().file : ""; }
    std::string desc() const { return records() ? newest().description : ""; }
    void clear() { orbek_err_ctx_clean(p); }
};

// Owns a stream or a chain (released with freeall).
struct Chain {
    orbek_stream *s;
    explicit Chain(orbek_stream *stream = nullptr) : s(stream) {}
    ~Chain() { orbek_stream_freeall(s); }
    operator orbek_stream *() const { return s; }
};

inline const uint8_t *u8(const char *s) { return reinterpret_cast<const uint8_t *>(s); }
inline const uint8_t *u8(const std::string &s) { return reinterpret_cast<const uint8_t *>(s.data()); }
inline orbek_mem_state *mem(orbek_stream *s) { return static_cast<orbek_mem_state *>(s->state); }

// A memory stream's whole content, from offset 0.
inline std::string content(orbek_stream *s) { return std::string((const char *)mem(s)->data, (size_t)mem(s)->length); }

inline void put(orbek_stream *stream, const std::string &s, orbek_err_ctx *ctx = nullptr) {
    ASSERT_EQ(orbek_stream_writen(stream, u8(s), (int32_t)s.size(), ctx), 1);
}

// Reads until a read delivers nothing or fails (*rc tells which).
inline std::string drain(orbek_stream *stream, int32_t chunk, int32_t *rc, orbek_err_ctx *ctx = nullptr) {
    std::string out, buf((size_t)chunk, '\0');
    for (int32_t got = 0;; out.append(buf, 0, (size_t)got))
        if ((*rc = orbek_stream_read(stream, (uint8_t *)&buf[0], chunk, &got, ctx)) != 1 || got == 0) return out;
}

// A scripted stack stream: takes at most `limit` bytes per write, serves
// `source` in reads of at most `limit`, answers with `rc` when it is not 1,
// and logs the lengths asked for and the control codes.
struct Fake {
    orbek_stream s;
    int32_t rc = 1, limit = 1 << 30, at_end = -1;  // at_end -1: 1 once source is used up
    bool fail_at_end = false;                      // reads of a used-up source fail
    std::string sink, source;
    size_t pos = 0;
    std::vector<int32_t> asked, ctrls;

    static Fake *of(orbek_stream *s) { return static_cast<Fake *>(s->state); }
    static int32_t read(orbek_stream *s, uint8_t *buf, int32_t n, int32_t *count, orbek_err_ctx *) {
        Fake *f = of(s);
        f->asked.push_back(n);
        if (f->rc != 1 || (f->fail_at_end && f->pos == f->source.size())) return f->rc != 1 ? f->rc : 0;
        int32_t k = std::min<int32_t>({n, f->limit, (int32_t)(f->source.size() - f->pos)});
        memcpy(buf, f->source.data() + f->pos, (size_t)k);
        f->pos += (size_t)k;
        *count = k;
        return 1;
    }
    static int32_t write(orbek_stream *s, const uint8_t *buf, int32_t n, int32_t *count, orbek_err_ctx *) {
        Fake *f = of(s);
        f->asked.push_back(n);
        if (f->rc != 1) return f->rc;
        *count = std::min(n, f->limit);
        f->sink.append((const char *)buf, (size_t)*count);
        return 1;
    }
    static int32_t ctrl(orbek_stream *s, int32_t code, void *, orbek_err_ctx *) {
        Fake *f = of(s);
        f->ctrls.push_back(code);
        if (code == ORBEK_CTRL_AT_END) return f->at_end >= 0 ? f->at_end : f->pos == f->source.size();
        if (code == ORBEK_CTRL_RESET) f->pos = 0;
        return code == ORBEK_CTRL_LENGTH ? 0 : 1;
    }
    static constexpr orbek_stream_ops kOps = {read, write, nullptr, ctrl};

    explicit Fake(int32_t type = ORBEK_STREAM_SOURCE_SINK | 0x40, const orbek_stream_ops *ops = &kOps) {
        orbek::stream_init(&s, ops, type, this);
    }
    operator orbek_stream *() { return &s; }
};

}  // namespace st

#endif
