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
#include "support/test_alloc.h"

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
    // What a call that should fail (result 0) left as its newest record.
    uint32_t fails(int32_t rc) const { return rc == 0 ? code() : 0xBAD0000u + (uint32_t)rc; }
    std::string why(int32_t rc) const { return rc == 0 ? desc() : "succeeded: " + std::to_string(rc); }
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
inline std::string str(const void *p, int32_t n) { return std::string((const char *)p, (size_t)n); }
// A memory stream's whole content, from offset 0.
inline std::string content(orbek_stream *s) { return str(mem(s)->data, mem(s)->length); }
// filter pushed onto below; the result heads the chain.
inline orbek_stream *stack(orbek_stream *filter, orbek_stream *below) {
    EXPECT_EQ(orbek_stream_push(filter, below), 1);
    return filter;
}
inline orbek_stream *romem(const std::string &s) { return orbek_stream_new_romem(u8(s), (int32_t)s.size(), 1, nullptr); }

inline void put(orbek_stream *stream, const std::string &s, orbek_err_ctx *ctx = nullptr) {
    ASSERT_EQ(orbek_stream_writen(stream, u8(s), (int32_t)s.size(), ctx), 1);
}

// Reads until a read delivers nothing or fails (*rc tells which).
inline std::string drain(orbek_stream *stream, int32_t chunk, int32_t *rc, orbek_err_ctx *ctx = nullptr) {
    std::string out, buf((size_t)chunk, '\0');
    for (int32_t got = 0;; out.append(buf, 0, (size_t)got))
        if ((*rc = orbek_stream_read(stream, (uint8_t *)&buf[0], chunk, &got, ctx)) != 1 || got == 0) return out;
}

// A one-shot codec call f(&out, &len): its output, or "<fail>".  Text
// outputs must end with a NUL after the length.
template <class T, class F>
std::string oneshot(F f, bool text = false) {
    T *p = nullptr;
    int32_t n = -1;
    if (f(&p, &n) != 1) return "<fail>";
    std::string s = str(p, n);
    EXPECT_TRUE(!text || ((const char *)p)[n] == '\0') << "no NUL after the text";
    orbek_free(p);
    return s;
}

// Pseudo-random bytes.
inline std::string bytes(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (auto &c : s) c = (char)((seed = seed * 1103515245u + 12345u) >> 16);
    return s;
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

    static int32_t read(orbek_stream *s, uint8_t *buf, int32_t n, int32_t *count, orbek_err_ctx *) {
        Fake *f = static_cast<Fake *>(s->state);
        f->asked.push_back(n);
        if (f->rc != 1 || (f->fail_at_end && f->pos == f->source.size())) return f->rc != 1 ? f->rc : 0;
        *count = std::min<int32_t>({n, f->limit, (int32_t)(f->source.size() - f->pos)});
        memcpy(buf, f->source.data() + f->pos, (size_t)*count);
        f->pos += (size_t)*count;
        return 1;
    }
    static int32_t write(orbek_stream *s, const uint8_t *buf, int32_t n, int32_t *count, orbek_err_ctx *) {
        Fake *f = static_cast<Fake *>(s->state);
        f->asked.push_back(n);
        if (f->rc != 1) return f->rc;
        f->sink.append((const char *)buf, (size_t)(*count = std::min(n, f->limit)));
        return 1;
    }
    static int32_t ctrl(orbek_stream *s, int32_t code, void *, orbek_err_ctx *) {
        Fake *f = static_cast<Fake *>(s->state);
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

// A filter over a source that fails once used up (as files do): the first
// read delivers `first` bytes, the next fails with `code`.  Frees filter.
inline void read_to_failing_end(orbek_stream *filter, const std::string &text, int32_t first, uint32_t code) {
    Ctx ctx;
    Fake src;
    src.source = text;
    src.fail_at_end = true;
    uint8_t buf[8];
    int32_t got = -1;
    EXPECT_EQ(orbek_stream_read(stack(filter, src), buf, 8, &got, ctx), 1);
    EXPECT_EQ(got, first);
    EXPECT_EQ(ctx.fails(orbek_stream_read(filter, buf, 8, &got, ctx)), code) << text;
    orbek_stream_pop(filter);
    orbek_stream_free(filter);
}

}  // namespace st

#endif
