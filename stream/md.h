// What the digest and HMAC filters share.  Not installed.
#ifndef ORBEK_STREAM_MD_H
#define ORBEK_STREAM_MD_H

#include "stream/stream.h"

namespace orbek {

// The start of both filters' state: the caller's table, the hash context
// and the digest length read at creation, which sizes every digest buffer
// whatever the table answers later.
struct MdCore {
    orbek_md_table table;
    void *hash;
    int32_t digest_length;
};

// Whether slots 0 to 7 are all present.
bool md_table_complete(const orbek_md_table *t) noexcept;

// Write and read through either filter; records name the caller's module.
int32_t md_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx,
                 const char *source) noexcept;
int32_t md_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx,
                const char *source) noexcept;

// Controls 3 and 5 of either filter: 1, or 0 after a "Null Point" record
// for a null argument; -1 for any other code.
int32_t md_common_ctrl(MdCore *m, int32_t code, void *argument, orbek_err_ctx *ctx, const char *source) noexcept;

// The digest of n bytes through a temporary digest stream over a null
// stream, written to out (room for length bytes): the digest length, or -1
// if any step failed (the steps report into ctx).
int32_t temp_digest(const orbek_md_table *t, const uint8_t *data, int32_t n, uint8_t *out, int32_t length,
                    orbek_err_ctx *ctx) noexcept;

}  // namespace orbek

#endif
