// Allocation-failure sweeps for the exported functions that no family's own
// tests sweep (scripts/sweep_coverage.sh names them): each operation must
// fail cleanly, leaving nothing allocated, whichever allocation fails.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

const uint8_t *u8(const char *s) { return reinterpret_cast<const uint8_t *>(s); }

// The bytes a memory stream holds, or "<fail>".
std::string content(orbek_stream *mem) {
    orbek_stream *view = orbek_memstream_dup_readonly(mem);
    int32_t n = 0;
    std::string out(4096, '\0');
    bool ok = view && orbek_stream_read(view, reinterpret_cast<uint8_t *>(&out[0]), 4096, &n, nullptr) == 1;
    orbek_stream_free(view);
    return ok ? out.substr(0, (size_t)n) : "<fail>";
}

}  // namespace

TEST(Sweeps, MemoryAndProcessQueries) {
    testalloc::sweep([] {
        void *p = orbek_malloc(16, "test", 1);
        orbek_free(p);
        return p != nullptr;
    });
    testalloc::sweep([] {
        char *path = orbek_getexepath(), *name = orbek_getexefilename();
        const bool ok = path && name && strstr(path, name) != nullptr;
        orbek_free(path);
        orbek_free(name);
        return ok;
    });
}

TEST(Sweeps, JsonTreeBuiltByHand) {
    testalloc::sweep([] {
        orbek_json *root = orbek_json_newobject(), *list = orbek_json_newarray();
        orbek_json *word = orbek_json_newstring("caf\xC3\xA9", 5), *none = orbek_json_newnull();
        bool ok = root && list && word && none && orbek_json_addarrayitem(list, word) == 1 &&
                  orbek_json_addarrayitem(list, none) == 1 && orbek_json_addobjectitem(root, "k", 1, list) == 1;
        orbek_json_free(word);
        orbek_json_free(none);
        orbek_json_free(list);
        char *text = nullptr;
        int32_t len = 0;
        ok = ok && orbek_json_encode(root, 0, &text, &len) == 1 && std::string(text, (size_t)len) ==
                                                                     "{\"k\":[\"caf\xC3\xA9\",null]}";
        orbek_free(text);
        orbek_json_free(root);
        return ok;
    });
}

TEST(Sweeps, StreamWritesAndCopies) {
    orbek_err_ctx *ctx = orbek_err_ctx_new();
    ASSERT_NE(ctx, nullptr);
    // A Base64 chain written with the single-call entry point.
    testalloc::sweep([ctx] {
        orbek_stream *mem = orbek_stream_new_mem(8, ctx), *b64 = orbek_stream_new_base64(ORBEK_B64_NO_BREAKS, 0, 2, ctx);
        if (!mem || !b64 || orbek_stream_push(b64, mem) != 1) {
            orbek_stream_free(b64);
            orbek_stream_free(mem);
            return false;
        }
        int32_t count = 0;
        bool ok = orbek_stream_write(b64, u8("hello world, hello"), 18, &count, ctx) == 1 && count == 18 &&
                  orbek_stream_ctrl(b64, ORBEK_CTRL_FLUSH, nullptr, ctx) == 1;
        orbek_stream_pop(b64);  // a view needs an unchained stream
        ok = ok && content(mem) == "aGVsbG8gd29ybGQsIGhlbGxv";
        orbek_stream_free(b64);
        orbek_stream_free(mem);
        return ok;
    });
    // Copies from a read-only memory stream (whole content at once) and from
    // a queue (read in chunks until it is empty), into a hex filter: a
    // memory stream as destination would first try to reserve room, a hint
    // whose failure the copy rightly ignores.
    for (int queue = 0; queue < 2; ++queue)
        testalloc::sweep([ctx, queue] {
            const std::string text(5000, 'q');
            orbek_stream *src = queue ? orbek_stream_new_rwspecmem(16, ctx)
                                      : orbek_stream_new_romem(u8(text.c_str()), 5000, 1, ctx);
            orbek_stream *mem = orbek_stream_new_mem(16, ctx), *hex = orbek_stream_new_hex(0, ctx);
            const bool chained = mem && hex && orbek_stream_push(hex, mem) == 1;
            int32_t total = 0, len = 0;
            bool ok = src && chained && (!queue || orbek_stream_writen(src, u8(text.c_str()), 5000, ctx) == 1) &&
                      orbek_stream_writefromstream(hex, src, &total, ctx) == 1 && total == 5000 &&
                      orbek_stream_ctrl(hex, ORBEK_CTRL_LENGTH, &len, ctx) == 1 && len == 10000;
            orbek_stream_free(src);
            if (chained) {
                orbek_stream_freeall(hex);
            } else {
                orbek_stream_free(hex);
                orbek_stream_free(mem);
            }
            return ok;
        });
    orbek_err_ctx_free(ctx);
}

TEST(Sweeps, UnicodeFromWideStringsAndBstrs) {
    static const uint16_t wide[] = {'a', 0xD83D, 0xDE00, 'b', 0};
    testalloc::sweep([] {
        orbek_ustring *s = orbek_ustring_newwcs(wide);
        uint16_t *bstr = orbek_ustring_tobstr(s);
        orbek_ustring *back = orbek_ustring_newbstr(bstr);
        const bool ok = back && orbek_ustring_getcharcount(back) == 3;
        orbek_ustring_free(back);
        orbek_ustring_freebstr(bstr);
        orbek_ustring_free(s);
        return ok;
    });
}

// The three queues grow past their first 32 slots; a failed growth refuses
// the item and leaves the queue as it was.
TEST(Sweeps, QueuesGrowing) {
    static char items[40];
    testalloc::sweep([] {
        orbek_queue *q = orbek_queue_new(-1, nullptr, nullptr);
        orbek_blockingqueue *b = orbek_blockingqueue_new(-1, nullptr, nullptr);
        orbek_priorityqueue *p = orbek_priorityqueue_new(
            -1, [](void *x, void *y) -> int32_t { return x < y; }, nullptr, nullptr);
        bool ok = q && b && p;
        for (int i = 0; i < 40 && ok; ++i)
            ok = orbek_queue_put(q, &items[i]) == 1 && orbek_blockingqueue_put(b, &items[i]) == 1 &&
                 orbek_priorityqueue_put(p, &items[i]) == 1;
        ok = ok && orbek_queue_take(q) == &items[0] && orbek_blockingqueue_take(b) == &items[0] &&
             orbek_priorityqueue_take(p) == &items[0];
        orbek_queue_free(q);
        orbek_blockingqueue_free(b);
        orbek_priorityqueue_free(p);
        return ok;
    });
}

// A pool whose one worker is held on its first item, so that the items run
// after it queue up past the pool's first 32 slots.
TEST(Sweeps, ThreadPoolQueueingWork) {
    static volatile int32_t release = 0;
    testalloc::sweep([] {
        orbek_atomic_set(&release, 0);
        orbek_threadpool *pool = orbek_threadpool_create(1, [](void *) -> void * {
            while (!orbek_atomic_get(&release)) {
            }
            return nullptr;
        });
        bool ok = pool != nullptr;
        for (int i = 0; i < 40 && ok; ++i) ok = orbek_threadpool_run(pool, nullptr) == 1;
        orbek_atomic_set(&release, 1);
        if (pool) orbek_threadpool_stop(pool);
        return ok;
    });
}
