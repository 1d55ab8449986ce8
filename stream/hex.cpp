// Hex filter stream and the one-shot hex codec.
#include <string.h>

#include "stream/stream.h"

static const char kOrbekSource[] = "ORBEK_Stream_Hex";

namespace {

// Digit for nibble v: position 2v + upper of this table.
constexpr char kDigits[] = "00112233445566778899aAbBcCdDeEfF";

// Two digits per byte, high nibble first, for each case.
struct PairTable {
    char pair[2][256][2];
};
constexpr PairTable make_pairs() {
    PairTable t{};
    for (int u = 0; u < 2; ++u)
        for (int b = 0; b < 256; ++b) {
            t.pair[u][b][0] = kDigits[2 * (b >> 4) + u];
            t.pair[u][b][1] = kDigits[2 * (b & 15) + u];
        }
    return t;
}
constexpr PairTable kPairs = make_pairs();

// Nibble value of a digit (either case), 0x10 for everything else.
struct NibbleTable {
    uint8_t v[256];
};
constexpr NibbleTable make_nibbles() {
    NibbleTable t{};
    for (int c = 0; c < 256; ++c) t.v[c] = 0x10;
    for (int d = 0; d < 10; ++d) t.v['0' + d] = (uint8_t)d;
    for (int d = 0; d < 6; ++d) t.v['a' + d] = t.v['A' + d] = (uint8_t)(10 + d);
    return t;
}
constexpr NibbleTable kNibbles = make_nibbles();

void encode(const uint8_t *in, size_t n, char *out, int upper) {
    const char(*pairs)[2] = kPairs.pair[upper];
    for (size_t i = 0; i < n; ++i) memcpy(out + 2 * i, pairs[in[i]], 2);
}

// Decodes n pairs; false at the first invalid digit.
bool decode(const uint8_t *in, size_t n, uint8_t *out) {
    for (size_t i = 0; i < n; ++i) {
        unsigned hi = kNibbles.v[in[2 * i]], lo = kNibbles.v[in[2 * i + 1]];
        if ((hi | lo) & 0x10) return false;
        out[i] = (uint8_t)(hi << 4 | lo);
    }
    return true;
}

struct HexState {
    int32_t upper;
    uint8_t held_digit;
    int32_t held;    // 1 when held_digit waits for its partner
    int32_t failed;  // a decoding error: every later read and control fails
};

constexpr int32_t kChunk = 1024;

HexState *checked(orbek_stream *s, orbek_err_ctx *ctx) { return ORBEK_STATE(HexState, s, true, ctx); }

int32_t hex_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    HexState *h = checked(s, ctx);
    if (!h || !ORBEK_WRITE_ARGS_OK(buffer, length, ctx)) return 0;
    char out[2 * kChunk];
    for (int32_t done = 0; done < length;) {
        int32_t k = length - done < kChunk ? length - done : kChunk;
        encode(buffer + done, (size_t)k, out, h->upper);
        int32_t rc = orbek_stream_writen(s->next, reinterpret_cast<const uint8_t *>(out), 2 * k, ctx);
        if (rc != 1) return rc;
        done += k;
    }
    if (count) *count = length;
    return 1;
}

int32_t hex_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    HexState *h = checked(s, ctx);
    if (!h) return 0;
    if (length < 0) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return 0;
    }
    if (length == 0) {
        if (count) *count = 0;
        return 1;
    }
    if (h->failed) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_HEX_DECODE);
        return 0;
    }
    if (!buffer) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    uint8_t in[kChunk];
    int32_t delivered = 0;
    for (bool first = true;; first = false) {
        const int32_t held = h->held;
        if (held) in[0] = h->held_digit;
        // Ask for exactly the digits still needed, at most a buffer's worth.
        int64_t want = 2 * (int64_t)(length - delivered) - held;
        const bool full = want >= kChunk;
        const int32_t ask = full ? kChunk - held : (int32_t)want;
        int32_t got = 0;
        int32_t rc = orbek_stream_read(s->next, in + held, ask, &got, ctx);
        if (rc != 1) {
            int32_t at_end = orbek_stream_ctrl(s->next, ORBEK_CTRL_AT_END, nullptr, nullptr);
            if (at_end != 1) return rc;
            if (held) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_LENGTH);
                return 0;
            }
            if (count) *count = delivered;
            if (first) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_READ_PAST_END);
                return 0;
            }
            return 1;
        }
        if (got <= 0) break;
        if (got > ask) got = ask;
        int32_t total = held + got;
        h->held = total & 1;
        if (h->held) h->held_digit = in[total - 1];
        if (!decode(in, (size_t)(total / 2), buffer + delivered)) {
            h->failed = 1;
            ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_HEX_DECODE);
            return 0;
        }
        delivered += total / 2;
        if (!full || got < ask || delivered == length) break;
    }
    if (count) *count = delivered;
    return 1;
}

void hex_destroy(orbek_stream *s) {
    ORBEK_FREE(s->state);
    s->state = nullptr;
}

int32_t hex_ctrl(orbek_stream *s, int32_t code, void *argument, orbek_err_ctx *ctx) {
    HexState *h = checked(s, ctx);
    if (!h) return 0;
    if (h->failed) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_HEX_DECODE);
        return 0;
    }
    // Nothing is held back on the way down: every code goes to the next.
    return orbek_stream_ctrl(s->next, code, argument, ctx);
}

const orbek_stream_ops kHexOps = {hex_read, hex_write, hex_destroy, hex_ctrl};

}  // namespace

ORBEK_EXPORT orbek_stream *orbek_stream_new_hex(int32_t upper, orbek_err_ctx *ctx) noexcept {
    auto *h = ORBEK_ALLOC_T(HexState, 1);
    auto *s = h ? ORBEK_ALLOC_T(orbek_stream, 1) : nullptr;
    if (!s) {
        ORBEK_FREE(h);
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    h->upper = upper ? 1 : 0;
    h->held_digit = 0;
    h->held = 0;
    h->failed = 0;
    orbek::stream_init(s, &kHexOps, ORBEK_STREAM_TYPE_HEX, h);
    return s;
}

ORBEK_EXPORT int32_t orbek_hexencode(int32_t upper, const uint8_t *data, int32_t length, char **text,
                                     int32_t *text_length) noexcept {
    if (!data || length < 1 || !text || !text_length) return 0;
    if (length > (INT32_MAX - 1) / 2) return 0;
    *text_length = 2 * length;
    char *out = static_cast<char *>(ORBEK_ALLOC((size_t)length * 2 + 1));
    if (!out) return 0;
    encode(data, (size_t)length, out, upper ? 1 : 0);
    out[2 * (size_t)length] = '\0';
    *text = out;
    return 1;
}

ORBEK_EXPORT int32_t orbek_hexdecode(const char *text, int32_t length, uint8_t **data, int32_t *data_length) noexcept {
    if (!text || length < 1 || (length & 1) || !data || !data_length) return 0;
    auto *out = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)length / 2));
    if (!out) return 0;
    if (!decode(reinterpret_cast<const uint8_t *>(text), (size_t)length / 2, out)) {
        ORBEK_FREE(out);
        return 0;
    }
    *data = out;
    *data_length = length / 2;
    return 1;
}
