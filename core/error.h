// Error context layout, shared with the stream family's listing.
#ifndef ORBEK_CORE_ERROR_H
#define ORBEK_CORE_ERROR_H

#include "core/internal.h"

struct orbek_err_record {
    const char *file;  // stored as given: reporters pass constant names
    int32_t line;
    uint32_t code;
    char description[64];
};

// The ring keeps one slot free so that full and empty differ: at most 31
// records.  Empty when write == oldest.
struct orbek_err_ctx {
    orbek_err_record slots[32];
    int32_t write;
    int32_t oldest;
};

namespace orbek {

// Appends one record; used by every reporting module.  Null ctx is allowed:
// the record is dropped.
inline void report(orbek_err_ctx *ctx, const char *file, int32_t line, uint32_t code,
                   const char *description) noexcept {
    if (ctx) orbek_err_ctx_put(ctx, file, line, code, description);
}

// Calls fn(record) for every record, newest first.
template <class Fn>
void for_each_record(const orbek_err_ctx *ctx, Fn fn) {
    if (ctx->write == ctx->oldest) return;
    int32_t i = ctx->write;
    do {
        i = (i + 31) & 31;
        fn(ctx->slots[i]);
    } while (i != ctx->oldest);
}

}  // namespace orbek

#endif
