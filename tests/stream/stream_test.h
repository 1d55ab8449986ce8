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

// A scripted stream kind for the core's entry points: it takes at most
// `limit` bytes per write, serves `source` in reads of at most `limit`, and
// answers every call with `rc` unless rc is 1.
struct Script {
    int32_t rc = 1;
    int32_t limit = 1 << 30;
    int32_t fake_count = -1;  // >= 0: the count a write claims
    std::string sink, source;
    size_t pos = 0;
    std::vector<int32_t> asked;  // lengths of reads and writes, in order
    std::vector<int32_t> ctrls;
    int32_t at_end = -1;  // answer to control 11; -1: 1 when source is used up
    bool fail_at_end = false;  // a read of the used-up source fails (as files may)
};

inline Script *script(orbek_stream *s) { return static_cast<Script *>(s->state); }

inline int32_t s_read(orbek_stream *s, uint8_t *buf, int32_t n, int32_t *count, orbek_err_ctx *) {
    Script *sc = script(s);
    sc->asked.push_back(n);
    if (sc->rc != 1) return sc->rc;
    if (sc->fail_at_end && sc->pos == sc->source.size()) return 0;
    int32_t k = std::min<int32_t>({n, sc->limit, (int32_t)(sc->source.size() - sc->pos)});
    memcpy(buf, sc->source.data() + sc->pos, (size_t)k);
    sc->pos += (size_t)k;
    *count = k;
    return 1;
}

inline int32_t s_write(orbek_stream *s, const uint8_t *buf, int32_t n, int32_t *count, orbek_err_ctx *) {
    Script *sc = script(s);
    sc->asked.push_back(n);
    if (sc->rc != 1) return sc->rc;
    int32_t k = std::min(n, sc->limit);
    sc->sink.append(reinterpret_cast<const char *>(buf), (size_t)k);
    *count = sc->fake_count >= 0 ? sc->fake_count : k;
    return 1;
}

inline int32_t s_ctrl(orbek_stream *s, int32_t code, void *, orbek_err_ctx *) {
    Script *sc = script(s);
    sc->ctrls.push_back(code);
    if (code == ORBEK_CTRL_AT_END) return sc->at_end >= 0 ? sc->at_end : sc->pos == sc->source.size();
    if (code == ORBEK_CTRL_RESET) sc->pos = 0;
    return code == ORBEK_CTRL_LENGTH ? 0 : 1;
}

inline const orbek_stream_ops kScriptOps = {s_read, s_write, nullptr, s_ctrl};
inline const orbek_stream_ops kEmptyOps = {nullptr, nullptr, nullptr, nullptr};

// A stack stream: never released through the library.
struct Fake {
    orbek_stream s;
    Script sc;
    explicit Fake(int32_t type = ORBEK_STREAM_SOURCE_SINK | 0x40, const orbek_stream_ops *ops = &kScriptOps) {
        orbek::stream_init(&s, ops, type, &sc);
    }
    operator orbek_stream *() { return &s; }
};

}  // namespace st

#endif
