// The file stream's access to the C runtime's buffered byte-mode files, one
// implementation per platform (stream/posix/, stream/win32/).  Positions are
// 64-bit here whatever the platform, so that files beyond 2 GiB open, read
// and append everywhere; the stream decides what fits its 32-bit controls.
#ifndef ORBEK_STREAM_FILE_IO_H
#define ORBEK_STREAM_FILE_IO_H

#include <stddef.h>
#include <stdint.h>

namespace orbek {
namespace file_io {

struct File;  // the runtime's FILE

// Opens path with an fopen mode string ("rb", "wb", "ab", "rb+"); null on
// failure.
File *open(const char *path, const char *mode) noexcept;
// Flushes and closes; false when either failed (the file is closed anyway).
bool close(File *f) noexcept;
// Bytes read or written; fewer than asked at the end or on an error.
size_t read(File *f, void *buffer, size_t n) noexcept;
size_t write(File *f, const void *buffer, size_t n) noexcept;
// The error and end-of-file indicators.
void clear_indicators(File *f) noexcept;
bool at_eof(File *f) noexcept;
bool failed(File *f) noexcept;
bool flush(File *f) noexcept;
// Seeks to offset from the start (from_end false) or the end; clears the
// end-of-file indicator on success.
bool seek(File *f, int64_t offset, bool from_end) noexcept;
// The current position, or -1 when it cannot be told.
int64_t tell(File *f) noexcept;

}  // namespace file_io
}  // namespace orbek

#endif
