// File stream under a digest filter, fed arbitrary writes, reads and
// controls from the input, against a model of the file (its content,
// position, mode and end-of-file indicator) and of the digest.  The file is
// a temporary one, rewritten by every input.
//
// Input: a list of operations, each one byte (operation, then its argument
// bytes as it needs them).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "orbek_util.h"

namespace {

// FNV-1a as the caller's hash; finishing hands out the value and starts over.
struct Fnv {
    uint64_t h;
};
void *fnv_new() { return malloc(sizeof(Fnv)); }
void fnv_free(void *c) { free(c); }
int32_t fnv_length() { return 8; }
uint32_t fnv_algorithm() { return 0xF00; }
int32_t fnv_init(void *c) {
    static_cast<Fnv *>(c)->h = 14695981039346656037ull;
    return 1;
}
uint64_t fnv_step(uint64_t h, const uint8_t *p, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}
int32_t fnv_update(void *c, const uint8_t *p, int32_t n) {
    static_cast<Fnv *>(c)->h = fnv_step(static_cast<Fnv *>(c)->h, p, (size_t)n);
    return 1;
}
int32_t fnv_finish(void *c, uint8_t *out) {
    memcpy(out, &static_cast<Fnv *>(c)->h, 8);
    return fnv_init(c);
}
int32_t fnv_block() { return 64; }
void *fnv_dup(void *c) {
    void *d = fnv_new();
    if (d) memcpy(d, c, sizeof(Fnv));
    return d;
}
const orbek_md_table kFnv = {fnv_new, fnv_free, fnv_length, fnv_algorithm, fnv_init,
                             fnv_update, fnv_finish, fnv_block, fnv_dup};

struct Model {
    std::string content;
    int64_t pos = 0;
    int32_t mode = 2;
    bool open = true, eof = false;
    uint64_t digest = 14695981039346656037ull;
};

const std::string &path() {
    static const std::string p = "/tmp/orbek_fuzz_file_" + std::to_string((long)getpid());
    return p;
}

// The newest error code of ctx (1 when empty), then the context emptied.
uint32_t take_code(orbek_err_ctx *ctx) {
    uint32_t code = 1;
    orbek_err_ctx_geterrcode(ctx, &code);
    orbek_err_ctx_clean(ctx);
    return code;
}

void expect(bool ok) {
    if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 4096) return 0;
    orbek_err_ctx *ctx = orbek_err_ctx_new();
    orbek_stream *file = orbek_stream_new_file(path().c_str(), 2, ctx);
    orbek_stream *chain = orbek_stream_new_md(&kFnv, ctx);
    expect(file && chain && orbek_stream_push(chain, file) == 1);
    Model m;
    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    uint8_t buf[1024];
    while (at < size) {
        const uint8_t op = next() % 12;
        int32_t v = 0, rc;
        uint32_t code;
        switch (op) {
            case 0: {  // write n bytes of the input
                int32_t n = next();
                for (int32_t i = 0; i < n; ++i) buf[i] = next();
                int32_t count = -1;
                rc = orbek_stream_write(chain, buf, n, &count, ctx);
                code = take_code(ctx);
                if (n == 0) {
                    expect(rc == 1 && count == 0);
                } else if (!m.open) {
                    expect(rc == 0 && code == ORBEK_ERR_STREAM_FILE_CLOSED);
                } else if (m.mode == 1) {
                    expect(rc == 0 && code == ORBEK_ERR_STREAM_CANNOT_WRITE);
                } else {
                    expect(rc == 1 && count == n);
                    if (m.mode == 3) m.pos = (int64_t)m.content.size();
                    if ((int64_t)m.content.size() < m.pos) m.content.resize((size_t)m.pos, '\0');
                    m.content.replace((size_t)m.pos, (size_t)n, (const char *)buf, (size_t)n);
                    m.pos += n;
                    m.eof = false;
                    m.digest = fnv_step(m.digest, buf, (size_t)n);
                }
                break;
            }
            case 1: {  // read up to n bytes
                int32_t n = next() * 4, count = -1;
                rc = orbek_stream_read(chain, buf, n, &count, ctx);
                code = take_code(ctx);
                if (n == 0) {
                    expect(rc == 1 && count == 0);
                } else if (!m.open) {
                    expect(rc == 0 && code == ORBEK_ERR_STREAM_FILE_CLOSED);
                } else if (m.mode != 1) {
                    expect(rc == 0 && code == ORBEK_ERR_STREAM_CANNOT_READ);
                } else {
                    int64_t avail = (int64_t)m.content.size() - m.pos;
                    int32_t want = avail <= 0 ? 0 : avail < n ? (int32_t)avail : n;
                    m.eof = want < n;
                    if (want == 0) {
                        expect(rc == 0 && code == ORBEK_ERR_STREAM_READ_FILE);
                    } else {
                        expect(rc == 1 && count == want && memcmp(buf, m.content.data() + m.pos, (size_t)want) == 0);
                        m.pos += want;
                    }
                }
                break;
            }
            case 2:  // reset, length, position: need an open file
            case 3:
            case 5:
                v = -7;
                rc = orbek_stream_ctrl(chain, op == 2 ? ORBEK_CTRL_RESET : op == 3 ? ORBEK_CTRL_LENGTH : ORBEK_CTRL_GET_POS,
                                       &v, ctx);
                code = take_code(ctx);
                if (!m.open) {
                    expect(rc == 0 && code == ORBEK_ERR_STREAM_FILE_CLOSED);
                    break;
                }
                expect(rc == 1);
                if (op == 2) m.pos = 0, m.eof = false;
                if (op == 3) expect(v == (int32_t)m.content.size()), m.eof = false;
                if (op == 5) expect(m.mode == 3 ? v >= 0 : v == (int32_t)m.pos);
                break;
            case 4:  // flush: 1 whether open or not
                expect(orbek_stream_ctrl(chain, ORBEK_CTRL_FLUSH, nullptr, ctx) == 1);
                break;
            case 6:  // set position, sometimes negative
                v = (int32_t)(int8_t)next() * 3;
                rc = orbek_stream_ctrl(chain, ORBEK_CTRL_SET_POS, &v, ctx);
                code = take_code(ctx);
                if (!m.open) {
                    expect(rc == 0 && code == ORBEK_ERR_STREAM_FILE_CLOSED);
                } else if (v < 0) {
                    expect(rc == 0 && code == ORBEK_ERR_STREAM_BAD_POS);
                } else {
                    expect(rc == 1);
                    m.pos = v;
                    m.eof = false;
                }
                break;
            case 7:  // close
                rc = orbek_stream_ctrl(chain, ORBEK_CTRL_CLOSE, nullptr, ctx);
                code = take_code(ctx);
                expect(m.open ? rc == 1 : rc == 0 && code == ORBEK_ERR_STREAM_FILE_CLOSED);
                if (m.open) m.open = false, m.mode = -1;
                break;
            case 8: {  // reopen with modes 0 to 4
                v = next() % 5;
                rc = orbek_stream_ctrl(chain, ORBEK_CTRL_REOPEN, &v, ctx);
                code = take_code(ctx);
                if (v < 1 || v > 3) {
                    expect(rc == 0 && code == ORBEK_ERR_STREAM_FILE_MODE);
                    break;
                }
                expect(rc == 1);
                if (v == 2 && m.mode != 1) m.content.clear();
                m.pos = v == 3 ? (int64_t)m.content.size() : 0;
                m.mode = v;
                m.open = true;
                m.eof = false;
                break;
            }
            case 9:  // at end
                expect(orbek_stream_ctrl(chain, ORBEK_CTRL_AT_END, nullptr, ctx) == (m.open && m.eof ? 1 : 0));
                expect(take_code(ctx) == 1);
                break;
            case 10: {  // finish the digest (which starts over)
                uint64_t got = 0;
                expect(orbek_stream_ctrl(chain, ORBEK_CTRL_MD_FINISH, &got, ctx) == 1 && got == m.digest);
                m.digest = 14695981039346656037ull;
                break;
            }
            default: {  // a snapshot finishes to the same value, the original goes on
                orbek_stream *dup = orbek_stream_md_dup(chain);
                orbek_stream *sink = orbek_stream_new_null(ctx);
                uint64_t got = 0;
                expect(dup && sink && orbek_stream_push(dup, sink) == 1 &&
                       orbek_stream_ctrl(dup, ORBEK_CTRL_MD_FINISH, &got, ctx) == 1 && got == m.digest);
                orbek_stream_freeall(dup);
                break;
            }
        }
    }
    orbek_stream_freeall(chain);
    orbek_err_ctx_free(ctx);
    // What reached the file is what the model holds.
    FILE *f = fopen(path().c_str(), "rb");
    expect(f != nullptr);
    std::string disk;
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) disk.append((const char *)buf, n);
    fclose(f);
    expect(disk == m.content);
    return 0;
}
