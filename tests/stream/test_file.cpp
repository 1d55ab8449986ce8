// File streams: reading to the end, writing, appending, the controls,
// closing and reopening, failures of the file system, files beyond 4 GiB.
#ifndef _WIN32
#define _FILE_OFFSET_BITS 64  // the test's own look at large files
#endif
#include <stdio.h>
#include <sys/stat.h>

#include "stream_test.h"

using namespace st;

namespace {

std::string tmp(const std::string &name) { return testing::TempDir() + "orbek_file_" + name; }

void write_file(const std::string &path, const std::string &data) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(fwrite(data.data(), 1, data.size(), f), data.size());
    fclose(f);
}

std::string read_file(const std::string &path) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    std::string s;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    fclose(f);
    return s;
}

orbek_stream *open_file(const std::string &path, int32_t mode, orbek_err_ctx *ctx = nullptr) {
    return orbek_stream_new_file(path.c_str(), mode, ctx);
}

// One read of up to n bytes; "<fail>" when it fails.
std::string read_some(orbek_stream *s, int32_t n, orbek_err_ctx *ctx = nullptr) {
    std::string buf((size_t)n, '\0');
    int32_t got = 0;
    if (orbek_stream_read(s, (uint8_t *)&buf[0], n, &got, ctx) != 1) return "<fail>";
    return buf.substr(0, (size_t)got);
}

int32_t get(orbek_stream *s, int32_t code, orbek_err_ctx *ctx = nullptr) {
    int32_t v = -1;
    return orbek_stream_ctrl(s, code, &v, ctx) == 1 ? v : -1;
}

int32_t set(orbek_stream *s, int32_t code, int32_t v, orbek_err_ctx *ctx = nullptr) {
    return orbek_stream_ctrl(s, code, &v, ctx);
}

}  // namespace

TEST(FileStream, ReadsToTheEndWritesAndAnswersControls) {
    Ctx ctx;
    const std::string p = tmp("rw"), q = tmp("thousand");
    { Chain w(open_file(p, ORBEK_FILE_WRITE, ctx)); put(w, "0123456789"); }
    Chain r(open_file(p, ORBEK_FILE_READ, ctx));
    EXPECT_EQ(read_some(r, 4), "0123");
    EXPECT_EQ(orbek_stream_ctrl(r, ORBEK_CTRL_AT_END, nullptr, ctx), 0);
    EXPECT_EQ(read_some(r, 4), "4567");
    EXPECT_EQ(read_some(r, 4), "89");
    EXPECT_EQ(read_some(r, 4, ctx), "<fail>");
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_READ_FILE);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_File");
    EXPECT_EQ(orbek_stream_ctrl(r, ORBEK_CTRL_AT_END, nullptr, ctx), 1) << "the failing read was the end";
    EXPECT_EQ(ctx.fails(orbek_stream_writen(r, u8("x"), 1, ctx)), ORBEK_ERR_STREAM_CANNOT_WRITE);
    EXPECT_EQ(ctx.fails(set(r, ORBEK_CTRL_SET_POS, -1, ctx)), ORBEK_ERR_STREAM_BAD_POS);
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(r, ORBEK_CTRL_LENGTH, nullptr, ctx)), ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(r, 13, nullptr, ctx)), ORBEK_ERR_STREAM_BAD_CTRL);
    ASSERT_EQ(orbek_stream_ctrl(r, ORBEK_CTRL_RESET, nullptr, ctx), 1);
    EXPECT_EQ(read_some(r, 100), "0123456789") << "reset goes back to the start";

    EXPECT_EQ(ctx.fails(open_file(p, 4, ctx) != nullptr), ORBEK_ERR_STREAM_FILE_MODE);
    EXPECT_EQ(ctx.fails(orbek_stream_new_file(nullptr, 1, ctx) != nullptr), ORBEK_ERR_NULL_POINT);
    for (int32_t mode : {ORBEK_FILE_WRITE, ORBEK_FILE_APPEND}) {
        Chain w(open_file(q, mode, ctx));
        EXPECT_EQ(ctx.fails(orbek_stream_read(w, (uint8_t *)&mode, 4, nullptr, ctx)), ORBEK_ERR_STREAM_CANNOT_READ);
        put(w, std::string(500, (char)('a' + mode)));
    }
    EXPECT_EQ(read_file(q), std::string(500, 'c') + std::string(500, 'd')) << "write truncates, append appends";

    // Length leaves the position where it was.
    Chain t(open_file(q, ORBEK_FILE_READ, ctx));
    ASSERT_EQ(set(t, ORBEK_CTRL_SET_POS, 498), 1);
    EXPECT_EQ(get(t, ORBEK_CTRL_LENGTH), 1000);
    EXPECT_EQ(get(t, ORBEK_CTRL_GET_POS), 498);
    EXPECT_EQ(read_some(t, 4), "ccdd");
    remove(p.c_str());
    remove(q.c_str());
}

TEST(FileStream, CloseAndReopen) {
    Ctx ctx;
    const std::string p = tmp("reopen");
    write_file(p, "abcdef");
    Chain f(open_file(p, ORBEK_FILE_READ, ctx));
    EXPECT_EQ(read_some(f, 2), "ab");
    // Reading turned into writing keeps the content and starts at the start.
    ASSERT_EQ(set(f, ORBEK_CTRL_REOPEN, ORBEK_FILE_WRITE, ctx), 1);
    put(f, "XY");
    EXPECT_EQ(get(f, ORBEK_CTRL_LENGTH), 6);
    ASSERT_EQ(orbek_stream_ctrl(f, ORBEK_CTRL_CLOSE, nullptr, ctx), 1);
    EXPECT_EQ(read_file(p), "XYcdef");

    ctx.clear();
    uint8_t b[4];
    EXPECT_EQ(orbek_stream_read(f, b, 4, nullptr, ctx) + orbek_stream_write(f, b, 4, nullptr, ctx), 0);
    for (int32_t code : {ORBEK_CTRL_RESET, ORBEK_CTRL_LENGTH, ORBEK_CTRL_GET_POS, ORBEK_CTRL_SET_POS, ORBEK_CTRL_CLOSE})
        EXPECT_EQ(set(f, code, 0, ctx), 0) << code;
    EXPECT_EQ(ctx.records(), 7);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_FILE_CLOSED);
    // Nothing to flush or to ask once closed: 1 and 0, without records.
    EXPECT_EQ(orbek_stream_ctrl(f, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(orbek_stream_ctrl(f, ORBEK_CTRL_AT_END, nullptr, ctx), 0);
    EXPECT_EQ(ctx.records(), 7);

    ASSERT_EQ(set(f, ORBEK_CTRL_REOPEN, ORBEK_FILE_APPEND, ctx), 1);
    put(f, "gh");
    EXPECT_EQ(ctx.fails(set(f, ORBEK_CTRL_REOPEN, 0, ctx)), ORBEK_ERR_STREAM_FILE_MODE);
    ASSERT_EQ(set(f, ORBEK_CTRL_REOPEN, ORBEK_FILE_READ, ctx), 1) << "an open file is closed first";
    EXPECT_EQ(read_some(f, 100), "XYcdefgh");
    ASSERT_EQ(orbek_stream_ctrl(f, ORBEK_CTRL_CLOSE, nullptr, ctx), 1);
    ASSERT_EQ(set(f, ORBEK_CTRL_REOPEN, ORBEK_FILE_WRITE, ctx), 1);
    EXPECT_EQ(get(f, ORBEK_CTRL_LENGTH), 0) << "after a close, write truncates";
    remove(p.c_str());
}

TEST(FileStream, FileSystemFailuresLeaveNothingBehind) {
    Ctx ctx;
    const long live = testalloc::live_blocks();
    EXPECT_EQ(ctx.fails(open_file(tmp("no_such_dir/x"), ORBEK_FILE_WRITE, ctx) != nullptr), ORBEK_ERR_STREAM_OPEN_FILE);
    EXPECT_EQ(ctx.fails(open_file(tmp("never_written"), ORBEK_FILE_READ, ctx) != nullptr), ORBEK_ERR_STREAM_OPEN_FILE);

    // A read-only file cannot be opened to write and keeps its content
    // (unless the tests run with rights that override it).
    const std::string ro = tmp("readonly");
    write_file(ro, "keep");
    chmod(ro.c_str(), S_IREAD);
    FILE *probe = fopen(ro.c_str(), "ab");
    if (probe) {
        fclose(probe);
    } else {
        for (int32_t mode : {ORBEK_FILE_WRITE, ORBEK_FILE_APPEND})
            EXPECT_EQ(ctx.fails(open_file(ro, mode, ctx) != nullptr), ORBEK_ERR_STREAM_OPEN_FILE);
        EXPECT_EQ(read_file(ro), "keep");
    }
    chmod(ro.c_str(), S_IREAD | S_IWRITE);
    remove(ro.c_str());

    // A file removed while open: what is open stays readable where the
    // system allows the removal; reopening then fails and leaves the stream
    // closed.
    const std::string gone = tmp("gone");
    write_file(gone, "data");
    {
        Chain f(open_file(gone, ORBEK_FILE_READ, ctx));
        if (remove(gone.c_str()) == 0) {
            EXPECT_EQ(read_some(f, 10), "data");
        } else {  // Windows keeps open files: close, then remove
            ASSERT_EQ(orbek_stream_ctrl(f, ORBEK_CTRL_CLOSE, nullptr, ctx), 1);
            ASSERT_EQ(remove(gone.c_str()), 0);
        }
        EXPECT_EQ(ctx.fails(set(f, ORBEK_CTRL_REOPEN, ORBEK_FILE_READ, ctx)), ORBEK_ERR_STREAM_OPEN_FILE);
        uint8_t b[1];
        EXPECT_EQ(ctx.fails(orbek_stream_read(f, b, 1, nullptr, ctx)), ORBEK_ERR_STREAM_FILE_CLOSED);
    }

    // A full device: buffered bytes fail at the flush, large writes at once.
    if (FILE *full = fopen("/dev/full", "wb")) {
        fclose(full);
        Chain f(open_file("/dev/full", ORBEK_FILE_WRITE, ctx));
        put(f, "abc");
        EXPECT_EQ(ctx.fails(orbek_stream_ctrl(f, ORBEK_CTRL_FLUSH, nullptr, ctx)), ORBEK_ERR_STREAM_FILE_FLUSH);
        std::string big(1 << 20, 'x');
        EXPECT_EQ(ctx.fails(orbek_stream_writen(f, u8(big), (int32_t)big.size(), ctx)), ORBEK_ERR_STREAM_WRITE_FILE);
    }
    EXPECT_EQ(testalloc::live_blocks(), live);

    // An allocation failure never leaves a file truncated for nothing.
    const std::string keep = tmp("keep");
    write_file(keep, "keep");
    testalloc::sweep([&] {
        orbek_stream *s = open_file(keep, ORBEK_FILE_WRITE, ctx);
        if (!s) {
            EXPECT_EQ(read_file(keep), "keep");
        }
        orbek_stream_free(s);
        return s != nullptr;
    });
    EXPECT_EQ(read_file(keep), "");
    remove(keep.c_str());
}

TEST(FileStream, CopiesAndFiltersOverFiles) {
    Ctx ctx;
    const std::string p = tmp("copy"), b64 = tmp("b64"), data = bytes(20000, 9);
    write_file(p, data);
    // A file source ends with its failing read, which the copy accepts.
    Chain src(open_file(p, ORBEK_FILE_READ, ctx)), m(orbek_stream_new_mem(0, ctx));
    int32_t total = 0;
    ASSERT_EQ(orbek_stream_writefromstream(m, src, &total, ctx), 1);
    EXPECT_EQ(total, 20000);
    EXPECT_EQ(content(m), data);
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_READ_FILE) << "the end's record stays";
    // Memory into a file; Base64 over a file, written then read back.
    Chain dst(open_file(p, ORBEK_FILE_APPEND, ctx));
    ASSERT_EQ(orbek_stream_writefromstream(dst, m, &total, ctx), 1);
    ASSERT_EQ(orbek_stream_ctrl(dst, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(read_file(p), data + data);
    {
        Chain enc(stack(orbek_stream_new_base64(ORBEK_B64_LF, 64, 2, ctx), open_file(b64, ORBEK_FILE_WRITE, ctx)));
        put(enc, data);
        ASSERT_EQ(orbek_stream_ctrl(enc, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    }
    Chain dec(stack(orbek_stream_new_base64(ORBEK_B64_LF, 64, ORBEK_B64_SKIP_BREAKS, ctx), open_file(b64, ORBEK_FILE_READ, ctx)));
    int32_t rc = 0;
    EXPECT_EQ(drain(dec, 1000, &rc, ctx), data);
    remove(p.c_str());
    remove(b64.c_str());
}

TEST(FileStream, BeyondFourGibibytes) {
#ifdef _WIN32
    GTEST_SKIP() << "the C runtime makes no sparse files here";
#else
    const std::string p = tmp("large");
    const int64_t far = (int64_t)5 << 30;  // 5 GiB
    FILE *f = fopen(p.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite("head", 1, 4, f);
    bool made = fseeko(f, far, SEEK_SET) == 0 && fwrite("mid!", 1, 4, f) == 4;
    made = fclose(f) == 0 && made;
    struct stat st;
    if (!made || stat(p.c_str(), &st) != 0 || (int64_t)st.st_blocks * 512 > (64 << 20)) {
        remove(p.c_str());
        GTEST_SKIP() << "no sparse files on this file system";
    }
    Ctx ctx;
    {
        Chain r(open_file(p, ORBEK_FILE_READ, ctx));
        ASSERT_TRUE(r.s) << "opened whatever its size";
        EXPECT_EQ(ctx.fails(set(r, ORBEK_CTRL_LENGTH, 0, ctx)), ORBEK_ERR_STREAM_GET_LENGTH);
        EXPECT_EQ(read_some(r, 4), "head") << "the length check kept the position";
        ASSERT_EQ(set(r, ORBEK_CTRL_SET_POS, INT32_MAX), 1);
        EXPECT_EQ(get(r, ORBEK_CTRL_GET_POS), INT32_MAX);
        Chain a(open_file(p, ORBEK_FILE_APPEND, ctx));
        put(a, "tail");
        ASSERT_EQ(orbek_stream_ctrl(a, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
        EXPECT_EQ(ctx.fails(set(a, ORBEK_CTRL_GET_POS, 0, ctx)), ORBEK_ERR_STREAM_BAD_POS);
    }
    f = fopen(p.c_str(), "rb");
    char tail[9] = {0};
    ASSERT_TRUE(f && fseeko(f, far, SEEK_SET) == 0 && fread(tail, 1, 8, f) == 8);
    fclose(f);
    EXPECT_STREQ(tail, "mid!tail") << "appended beyond 4 GiB";
    remove(p.c_str());
#endif
}
