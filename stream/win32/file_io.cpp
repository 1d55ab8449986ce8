// File access on Windows: the C runtime's buffered files in binary mode,
// positioned with the runtime's 64-bit seek and tell (long is 32-bit there).
#include <stdio.h>

#include "stream/file_io.h"

namespace orbek {
namespace file_io {

static FILE *c(File *f) { return reinterpret_cast<FILE *>(f); }

File *open(const char *path, const char *mode) noexcept { return reinterpret_cast<File *>(fopen(path, mode)); }
bool close(File *f) noexcept { return fclose(c(f)) == 0; }
size_t read(File *f, void *buffer, size_t n) noexcept { return fread(buffer, 1, n, c(f)); }
size_t write(File *f, const void *buffer, size_t n) noexcept { return fwrite(buffer, 1, n, c(f)); }
void clear_indicators(File *f) noexcept { clearerr(c(f)); }
bool at_eof(File *f) noexcept { return feof(c(f)) != 0; }
bool failed(File *f) noexcept { return ferror(c(f)) != 0; }
bool flush(File *f) noexcept { return fflush(c(f)) == 0; }
bool seek(File *f, int64_t offset, bool from_end) noexcept {
    return _fseeki64(c(f), offset, from_end ? SEEK_END : SEEK_SET) == 0;
}
int64_t tell(File *f) noexcept { return _ftelli64(c(f)); }

}  // namespace file_io
}  // namespace orbek
