// File stream: a source/sink over a buffered byte-mode file, opened to read,
// write or append, closable and reopenable under the same path.
#include <string.h>

#include "stream/file_io.h"
#include "stream/stream.h"

static const char kOrbekSource[] = "ORBEK_Stream_File";

namespace {

namespace io = orbek::file_io;

constexpr int32_t kRead = 1, kWrite = 2, kAppend = 3, kClosed = -1;

struct FileState {
    io::File *file;  // null while closed
    char *path;      // private copy, for reopening
    int32_t mode;    // 1 read, 2 write, 3 append; -1 after a close
};

const char *mode_string(int32_t mode) { return mode == kRead ? "rb" : mode == kWrite ? "wb" : "ab"; }
bool valid_mode(int32_t mode) { return mode >= kRead && mode <= kAppend; }

// The state of an open file, or null after a report.
FileState *open_state(orbek_stream *s, orbek_err_ctx *ctx) {
    auto *f = ORBEK_STATE(FileState, s, false, ctx);
    if (f && !f->file) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_FILE_CLOSED);
        return nullptr;
    }
    return f;
}

int32_t file_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    FileState *f = open_state(s, ctx);
    if (!f) return 0;
    uint32_t code = f->mode != kRead ? ORBEK_ERR_STREAM_CANNOT_READ
                  : length < 0 ? ORBEK_ERR_BAD_LENGTH
                  : !buffer ? ORBEK_ERR_NULL_POINT : 0;
    if (code) {
        ORBEK_REPORT(ctx, code);
        return 0;
    }
    // Nothing read is a failure, the end of the file included: a source
    // file signals its end by a failing read after which control 11
    // answers 1.
    io::clear_indicators(f->file);
    size_t got = io::read(f->file, buffer, (size_t)length);
    if (got == 0 || io::failed(f->file)) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_READ_FILE);
        return 0;
    }
    if (count) *count = (int32_t)got;
    return 1;
}

int32_t file_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    FileState *f = open_state(s, ctx);
    if (!f) return 0;
    if (f->mode == kRead) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_CANNOT_WRITE);
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
    io::clear_indicators(f->file);
    size_t put = io::write(f->file, buffer, (size_t)length);
    if (put == 0 || io::failed(f->file)) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_WRITE_FILE);
        return 0;
    }
    if (count) *count = (int32_t)put;
    return 1;
}

void file_destroy(orbek_stream *s) {
    auto *f = static_cast<FileState *>(s->state);
    if (!f) return;
    if (f->file) io::close(f->file);
    ORBEK_FREE(f->path);
    ORBEK_FREE(f);
    s->state = nullptr;
}

// Control 2: the length, leaving the position where it was.  A length
// beyond the 32-bit range cannot be stored: "get stream length fail".
int32_t file_length(FileState *f, int32_t *out, orbek_err_ctx *ctx) {
    int64_t here = io::tell(f->file);
    if (here < 0 || !io::seek(f->file, 0, true)) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_RESET);
        return 0;
    }
    int64_t end = io::tell(f->file);
    bool back = io::seek(f->file, here, false);
    if (end < 0 || !back) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_RESET);
        return 0;
    }
    if (end > INT32_MAX) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_GET_LENGTH);
        return 0;
    }
    *out = (int32_t)end;
    return 1;
}

// Control 10.  Reading turned into writing keeps the content ("rb+", from
// the start); every other change opens the path afresh with the new mode.
int32_t file_reopen(FileState *f, int32_t mode, orbek_err_ctx *ctx) {
    if (!valid_mode(mode)) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_FILE_MODE);
        return 0;
    }
    if (f->file) io::close(f->file);
    f->file = nullptr;
    f->file = io::open(f->path, f->mode == kRead && mode == kWrite ? "rb+" : mode_string(mode));
    if (!f->file) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_OPEN_FILE);
        return 0;
    }
    f->mode = mode;
    return 1;
}

int32_t file_ctrl(orbek_stream *s, int32_t code, void *argument, orbek_err_ctx *ctx) {
    auto *f = ORBEK_STATE(FileState, s, false, ctx);
    if (!f) return 0;
    auto *arg = static_cast<int32_t *>(argument);
    switch (code) {
        case ORBEK_CTRL_FLUSH:
            // A closed file has nothing held back: closing wrote it out.
            if (f->file && !io::flush(f->file)) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_FILE_FLUSH);
                return 0;
            }
            return 1;
        case ORBEK_CTRL_AT_END:
            // Asked of a closed file: not at an end it can tell, no record.
            return f->file && io::at_eof(f->file) ? 1 : 0;
        case ORBEK_CTRL_RESET:
        case ORBEK_CTRL_CLOSE:
            break;
        case ORBEK_CTRL_LENGTH:
        case ORBEK_CTRL_GET_POS:
        case ORBEK_CTRL_SET_POS:
        case ORBEK_CTRL_REOPEN:
            if (!arg) {
                ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
                return 0;
            }
            if (code == ORBEK_CTRL_REOPEN) return file_reopen(f, *arg, ctx);
            break;
        default:
            ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BAD_CTRL);
            return 0;
    }
    if (!f->file) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_FILE_CLOSED);
        return 0;
    }
    switch (code) {
        case ORBEK_CTRL_RESET:
            if (!io::seek(f->file, 0, false)) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_RESET);
                return 0;
            }
            return 1;
        case ORBEK_CTRL_CLOSE: {
            bool ok = io::close(f->file);
            f->file = nullptr;  // closed either way
            if (!ok) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_CLOSE_FILE);
                return 0;
            }
            f->mode = kClosed;
            return 1;
        }
        case ORBEK_CTRL_LENGTH:
            return file_length(f, arg, ctx);
        case ORBEK_CTRL_GET_POS: {
            // A position beyond the 32-bit range cannot be told either.
            int64_t pos = io::tell(f->file);
            if (pos < 0 || pos > INT32_MAX) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BAD_POS);
                return 0;
            }
            *arg = (int32_t)pos;
            return 1;
        }
        default:  // ORBEK_CTRL_SET_POS
            if (*arg < 0 || !io::seek(f->file, *arg, false)) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BAD_POS);
                return 0;
            }
            return 1;
    }
}

const orbek_stream_ops kFileOps = {file_read, file_write, file_destroy, file_ctrl};

}  // namespace

ORBEK_EXPORT orbek_stream *orbek_stream_new_file(const char *path, int32_t mode, orbek_err_ctx *ctx) noexcept {
    if (!path) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return nullptr;
    }
    if (!valid_mode(mode)) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_FILE_MODE);
        return nullptr;
    }
    // Everything is allocated before the file is opened, so that a failed
    // allocation never leaves a file truncated ("wb") for nothing.
    size_t n = strlen(path) + 1;
    auto *f = ORBEK_ALLOC_T(FileState, 1);
    auto *copy = f ? static_cast<char *>(ORBEK_ALLOC(n)) : nullptr;
    auto *s = copy ? ORBEK_ALLOC_T(orbek_stream, 1) : nullptr;
    if (!s) {
        ORBEK_FREE(copy);
        ORBEK_FREE(f);
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    memcpy(copy, path, n);
    f->file = io::open(path, mode_string(mode));
    if (!f->file) {
        ORBEK_FREE(s);
        ORBEK_FREE(copy);
        ORBEK_FREE(f);
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_OPEN_FILE);
        return nullptr;
    }
    f->path = copy;
    f->mode = mode;
    orbek::stream_init(s, &kFileOps, ORBEK_STREAM_TYPE_FILE, f);
    return s;
}
