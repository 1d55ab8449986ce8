// Base64 filter stream and the one-shot Base64 and PEM codecs.
#include <string.h>

#include "stream/stream.h"

static const char kOrbekSource[] = "ORBEK_Stream_Base64";

namespace {

constexpr char kAlphabet[2][65] = {
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_",
};

constexpr uint32_t kNoPad = 0x80;
constexpr uint32_t kUrl = 0x100;

// ------------------------------------------------------------------ tables

// Character classes for decoding: 0..63 alphabet values, then these.
enum : uint8_t { kPad = 64, kBreak = 65, kBlank = 66, kInvalid = 67 };

// Set in a quad-table entry for every byte that is not an alphabet
// character, so that one test over four OR-ed entries finds any of them.
constexpr uint32_t kNotAlphabet = 0x80000000u;

struct Tables {
    uint8_t cls[2][256];
    // quad[a][k][c]: the value of c shifted into place as the k-th character
    // of a group (18, 12, 6, 0 bits), or kNotAlphabet.
    uint32_t quad[2][4][256];
    // pair[a][v]: the two characters of a 12-bit value, high 6 bits first.
    char pair[2][4096][2];
};

constexpr Tables make_tables() {
    Tables t{};
    for (int a = 0; a < 2; ++a) {
        for (int c = 0; c < 256; ++c) {
            t.cls[a][c] = kInvalid;
            for (int k = 0; k < 4; ++k) t.quad[a][k][c] = kNotAlphabet;
        }
        for (int v = 0; v < 64; ++v) {
            auto c = (uint8_t)kAlphabet[a][v];
            t.cls[a][c] = (uint8_t)v;
            for (int k = 0; k < 4; ++k) t.quad[a][k][c] = (uint32_t)v << (18 - 6 * k);
        }
        t.cls[a][(uint8_t)'='] = kPad;
        t.cls[a][(uint8_t)'\r'] = t.cls[a][(uint8_t)'\n'] = kBreak;
        t.cls[a][(uint8_t)'\t'] = t.cls[a][(uint8_t)' '] = kBlank;
        for (int v = 0; v < 4096; ++v) {
            t.pair[a][v][0] = kAlphabet[a][v >> 6];
            t.pair[a][v][1] = kAlphabet[a][v & 63];
        }
    }
    return t;
}

constexpr Tables kTables = make_tables();

// ------------------------------------------------------------------ encoder

struct Encoder {
    int32_t mode;   // 1 CR, 2 CRLF, 3 LF, 4 no line breaks
    int32_t width;  // a line ends once its character count reaches this
    bool pad;
    int32_t url;
};

// Line widths below 1 mean 64; a width that is not a multiple of 4 has its
// remainder added once more (65 -> 66, 67 -> 70).  Lines then end at the
// first multiple of 4 characters not below it.
int32_t stored_width(int32_t w) {
    if (w < 1) return 64;
    if (w > INT32_MAX - 8) w = INT32_MAX - 8;  // wider than any stream
    return w + w % 4;
}

bool make_encoder(uint32_t flags, int32_t width, Encoder *e) {
    uint32_t mode = flags & ~(kNoPad | kUrl);
    if (mode < 1 || mode > 4) return false;
    e->mode = (int32_t)mode;
    e->width = stored_width(width);
    e->pad = !(flags & kNoPad);
    e->url = (flags & kUrl) ? 1 : 0;
    return true;
}

int32_t put_eol(int32_t mode, char *out) {
    switch (mode) {
        case 1:
            out[0] = '\r';
            return 1;
        case 2:
            out[0] = '\r';
            out[1] = '\n';
            return 2;
        case 3:
            out[0] = '\n';
            return 1;
        default:
            return 0;
    }
}

int32_t eol_length(int32_t mode) { return mode == 2 ? 2 : mode == 4 ? 0 : 1; }

inline char *encode_run(const char (*pair)[2], const uint8_t *in, size_t groups, char *out) {
    for (size_t i = 0; i < groups; ++i, in += 3, out += 4) {
        uint32_t v = (uint32_t)in[0] << 16 | (uint32_t)in[1] << 8 | in[2];
        memcpy(out, pair[v >> 12], 2);
        memcpy(out + 2, pair[v & 0xFFF], 2);
    }
    return out;
}

// Encodes whole groups starting at column *col, ending lines as they fill.
// Returns the end of the output.
char *encode_groups(const Encoder &e, const uint8_t *in, size_t groups, char *out, int32_t *col) {
    const char(*pair)[2] = kTables.pair[e.url];
    if (e.mode == 4) return encode_run(pair, in, groups, out);
    int32_t c = *col;
    while (groups) {
        size_t left = (size_t)(((int64_t)e.width - c + 3) / 4);  // groups until the line is full
        size_t k = left < groups ? left : groups;
        out = encode_run(pair, in, k, out);
        in += 3 * k;
        groups -= k;
        c += (int32_t)(4 * k);
        if (c >= e.width) {
            out += put_eol(e.mode, out);
            c = 0;
        }
    }
    *col = c;
    return out;
}

// The last, incomplete group of 1 or 2 bytes, its padding and line end.
char *encode_tail(const Encoder &e, const uint8_t *in, int32_t n, char *out) {
    const char *alpha = kAlphabet[e.url];
    uint32_t b0 = in[0];
    *out++ = alpha[b0 >> 2];
    if (n == 1) {
        *out++ = alpha[(b0 & 3) << 4];
    } else {
        uint32_t b1 = in[1];
        *out++ = alpha[((b0 << 4) | (b1 >> 4)) & 63];
        *out++ = alpha[(b1 & 15) << 2];
    }
    if (e.pad)
        for (int32_t i = n; i < 3; ++i) *out++ = '=';
    return out + put_eol(e.mode, out);
}

// Exact text length for n bytes from column 0, or -1 above int32 range.
int64_t encoded_length(const Encoder &e, int64_t n) {
    int64_t groups = n / 3, rem = n % 3;
    int64_t len = 4 * groups;
    if (e.mode != 4) len += groups / ((e.width + 3) / 4) * eol_length(e.mode);
    if (rem) len += rem + 1 + (e.pad ? 3 - rem : 0) + eol_length(e.mode);
    return len;
}

// ------------------------------------------------------------------ decoder

struct Decoder {
    int32_t tolerance;  // 1 strict, 2 skip CR/LF, 3 also TAB/SPACE
    bool pad;           // padding expected
    int32_t url;
    // The unfinished group: its data bits, characters so far (a third-place
    // "=" included) and the "=" among them.
    uint32_t acc;
    int32_t count;
    int32_t pads;
    bool end_seen;  // after a padded group, or once the source ran dry
};

bool make_decoder(uint32_t flags, Decoder *d) {
    uint32_t tol = flags & ~(kNoPad | kUrl);
    if (tol < 1 || tol > 3) return false;
    d->tolerance = (int32_t)tol;
    d->pad = !(flags & kNoPad);
    d->url = (flags & kUrl) ? 1 : 0;
    d->acc = 0;
    d->count = 0;
    d->pads = 0;
    d->end_seen = false;
    return true;
}

// Most bytes that decoding n more characters can give.
inline size_t decoded_room(const Decoder &d, size_t n) { return (n + (size_t)d.count) / 4 * 3 + 2; }

// Writes the low 24 bits of v, high byte first, as a 4-byte store (the
// fourth byte is scratch).
inline void store24(uint8_t *o, uint32_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint32_t be = __builtin_bswap32(v << 8);
#else
    uint32_t be = v << 8;
#endif
    memcpy(o, &be, 4);
}

// Decodes n characters, continuing the unfinished group; the bytes go to
// out (room: decoded_room).  False on any decoding error.
bool decode_chars(Decoder &d, const uint8_t *in, size_t n, uint8_t *out, size_t *produced) {
    const uint8_t *cls = kTables.cls[d.url];
    const uint32_t(*quad)[256] = kTables.quad[d.url];
    uint8_t *o = out;
    size_t i = 0;
    while (i < n) {
        if (d.count == 0 && !d.end_seen) {
            // Whole groups of four alphabet characters in one step, two at a
            // time while the input lasts.  Each group's 24 bits go out as one
            // 4-byte store whose last byte the next store overwrites; the
            // output room (decoded_room) keeps two spare bytes for the last.
            while (i + 8 <= n) {
                uint32_t v = quad[0][in[i]] | quad[1][in[i + 1]] | quad[2][in[i + 2]] | quad[3][in[i + 3]];
                uint32_t w = quad[0][in[i + 4]] | quad[1][in[i + 5]] | quad[2][in[i + 6]] | quad[3][in[i + 7]];
                if ((v | w) & kNotAlphabet) break;
                store24(o, v);
                store24(o + 3, w);
                o += 6;
                i += 8;
            }
            while (i + 4 <= n) {
                uint32_t v = quad[0][in[i]] | quad[1][in[i + 1]] | quad[2][in[i + 2]] | quad[3][in[i + 3]];
                if (v & kNotAlphabet) break;
                o[0] = (uint8_t)(v >> 16);
                o[1] = (uint8_t)(v >> 8);
                o[2] = (uint8_t)v;
                o += 3;
                i += 4;
            }
            if (i == n) break;
        }
        uint8_t k = cls[in[i++]];
        if (k < 64) {
            if ((d.end_seen && d.pad) || d.pads) return false;
            d.acc = d.acc << 6 | k;
            if (++d.count == 4) {
                o[0] = (uint8_t)(d.acc >> 16);
                o[1] = (uint8_t)(d.acc >> 8);
                o[2] = (uint8_t)d.acc;
                o += 3;
                d.acc = 0;
                d.count = 0;
            }
        } else if (k == kPad) {
            if (!d.pad || d.end_seen || d.count < 2) return false;
            if (d.count == 2) {
                d.pads = 1;
                d.count = 3;
                continue;
            }
            // The fourth character ends the group; the unused low bits of
            // the last data character must be zero.
            if (d.pads) {
                if (d.acc & 0xF) return false;
                *o++ = (uint8_t)(d.acc >> 4);
            } else {
                if (d.acc & 0x3) return false;
                o[0] = (uint8_t)(d.acc >> 10);
                o[1] = (uint8_t)(d.acc >> 2);
                o += 2;
            }
            d.acc = 0;
            d.count = 0;
            d.pads = 0;
            d.end_seen = true;
        } else if (k == kBreak) {
            if (d.tolerance == 1) return false;
        } else if (k == kBlank) {
            if (d.tolerance != 3) return false;
        } else {
            return false;
        }
    }
    *produced = (size_t)(o - out);
    return true;
}

// Completes an unpadded final group: 3 characters give 2 bytes, 2 give 1,
// 1 cannot be completed.
bool complete_group(Decoder &d, uint8_t *out, size_t *produced) {
    *produced = 0;
    if (d.count == 3 && !d.pads) {
        if (d.acc & 0x3) return false;
        out[0] = (uint8_t)(d.acc >> 10);
        out[1] = (uint8_t)(d.acc >> 2);
        *produced = 2;
    } else if (d.count == 2) {
        if (d.acc & 0xF) return false;
        out[0] = (uint8_t)(d.acc >> 4);
        *produced = 1;
    } else if (d.count != 0) {
        return false;
    }
    d.acc = 0;
    d.count = 0;
    d.pads = 0;
    return true;
}

// ------------------------------------------------------------------ filter

constexpr int32_t kChunk = 1024;

struct Base64State {
    Encoder enc;
    int32_t column;
    uint8_t hold[2];  // bytes of an incomplete group, written later
    int32_t nhold;
    Decoder dec;
    bool failed;  // a decoding error: every later read fails
    // Decoded bytes the caller had no room for, handed out first next time.
    int32_t out_pos;
    int32_t out_len;
    uint8_t out[kChunk];
};

Base64State *checked(orbek_stream *s, orbek_err_ctx *ctx) { return ORBEK_STATE(Base64State, s, true, ctx); }

int32_t b64_write(orbek_stream *s, const uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    Base64State *b = checked(s, ctx);
    if (!b || !ORBEK_WRITE_ARGS_OK(buffer, length, ctx)) return 0;
    // Per chunk: the held bytes and new ones up to 1024 in all; at most 341
    // groups, each followed by a line end of up to 2 characters.
    char out[kChunk / 3 * 6 + 8];
    int32_t done = 0;
    while (done < length) {
        const int32_t take = length - done < kChunk - b->nhold ? length - done : kChunk - b->nhold;
        const int32_t total = b->nhold + take;
        size_t groups = (size_t)(total / 3);
        const int32_t rem = total % 3;
        const uint8_t *p = buffer + done;
        int32_t col = b->column;
        char *o = out;
        if (groups && b->nhold) {
            uint8_t first[3];
            memcpy(first, b->hold, (size_t)b->nhold);
            memcpy(first + b->nhold, p, (size_t)(3 - b->nhold));
            o = encode_groups(b->enc, first, 1, o, &col);
            p += 3 - b->nhold;
            --groups;
        }
        o = encode_groups(b->enc, p, groups, o, &col);
        if (o != out) {
            int32_t rc = orbek_stream_writen(s->next, reinterpret_cast<const uint8_t *>(out), (int32_t)(o - out), ctx);
            if (rc != 1) return rc;
        }
        // Commit only once the text has gone down.
        b->column = col;
        if (rem <= take) {
            memcpy(b->hold, buffer + done + take - rem, (size_t)rem);
        } else {  // no group completed: the new bytes join the held ones
            memcpy(b->hold + b->nhold, buffer + done, (size_t)take);
        }
        b->nhold = rem;
        done += take;
    }
    if (count) *count = length;
    return 1;
}

int32_t b64_flush(orbek_stream *s, Base64State *b, orbek_err_ctx *ctx) {
    if (b->nhold) {
        char out[8];
        char *o = encode_tail(b->enc, b->hold, b->nhold, out);
        int32_t rc = orbek_stream_writen(s->next, reinterpret_cast<const uint8_t *>(out), (int32_t)(o - out), ctx);
        if (rc != 1) return rc;
        b->nhold = 0;
        b->column = 0;
    }
    return orbek_stream_ctrl(s->next, ORBEK_CTRL_FLUSH, nullptr, ctx);
}

int32_t b64_read(orbek_stream *s, uint8_t *buffer, int32_t length, int32_t *count, orbek_err_ctx *ctx) {
    Base64State *b = checked(s, ctx);
    if (!b) return 0;
    if (length < 0) {
        ORBEK_REPORT(ctx, ORBEK_ERR_BAD_LENGTH);
        return 0;
    }
    if (length == 0) {
        if (count) *count = 0;
        return 1;
    }
    if (b->failed) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BASE64_DECODE);
        return 0;
    }
    if (!buffer) {
        ORBEK_REPORT(ctx, ORBEK_ERR_NULL_POINT);
        return 0;
    }
    int32_t delivered = 0;
    if (b->out_len) {
        int32_t k = b->out_len < length ? b->out_len : length;
        memcpy(buffer, b->out + b->out_pos, (size_t)k);
        b->out_pos += k;
        b->out_len -= k;
        delivered = k;
        if (delivered == length) {
            if (count) *count = delivered;
            return 1;
        }
    }
    // The unfinished group is kept as decoder state rather than as its
    // characters (line breaks and blanks inside it are dropped), so that a
    // group split by any run of skipped characters still decodes.  The
    // source is asked for what would fill the buffer behind it.
    uint8_t in[kChunk];
    uint8_t tmp[kChunk];
    for (bool first = true;; first = false) {
        const int32_t ask = kChunk - b->dec.count;
        int32_t got = 0;
        int32_t rc = orbek_stream_read(s->next, in, ask, &got, ctx);
        if (rc != 1) {
            int32_t at_end = orbek_stream_ctrl(s->next, ORBEK_CTRL_AT_END, nullptr, nullptr);
            if (at_end != 1) return rc;
            if (b->dec.count) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_LENGTH);
                return 0;
            }
            b->dec.end_seen = true;
            // Bytes already handed out in this call are not lost to the
            // report: only a call that delivered nothing fails.
            if (first && delivered == 0) {
                ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_READ_PAST_END);
                return 0;
            }
            break;
        }
        if (got <= 0) break;
        if (got > ask) got = ask;
        // Straight into the caller's buffer when it has room for the most
        // this block can give, else through the held-bytes buffer.
        const int32_t room = length - delivered;
        const bool direct = (size_t)room >= decoded_room(b->dec, (size_t)got) + 2;
        uint8_t *dst = direct ? buffer + delivered : tmp;
        size_t produced = 0, extra = 0;
        bool ok = decode_chars(b->dec, in, (size_t)got, dst, &produced);
        // Once the source has run dry an unpadded group is complete.
        if (ok && b->dec.end_seen && !b->dec.pad && b->dec.count) ok = complete_group(b->dec, dst + produced, &extra);
        if (!ok) {
            b->failed = true;
            ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BASE64_DECODE);
            return 0;
        }
        produced += extra;
        if (direct) {
            delivered += (int32_t)produced;
        } else {
            int32_t k = (int32_t)produced < room ? (int32_t)produced : room;
            memcpy(buffer + delivered, tmp, (size_t)k);
            delivered += k;
            memcpy(b->out, tmp + k, produced - (size_t)k);
            b->out_pos = 0;
            b->out_len = (int32_t)produced - k;
        }
        if (got < ask || delivered == length) break;
    }
    if (count) *count = delivered;
    return 1;
}

// Control 20: the bytes of a final unpadded group as a new blob.
int32_t b64_finish(Base64State *b, orbek_data_blob **out, orbek_err_ctx *ctx) {
    if (!out || b->failed) return 0;
    uint8_t bytes[2];
    size_t n = 0;
    Decoder d = b->dec;
    if (d.count) {
        if (d.pad) return 0;
        if (!complete_group(d, bytes, &n)) {
            b->failed = true;
            ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BASE64_DECODE);
            return 0;
        }
    }
    orbek_data_blob *blob = orbek_data_blob_new(bytes, (int32_t)n);
    if (!blob) {
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return 0;
    }
    b->dec = d;
    *out = blob;
    return 1;
}

int32_t b64_ctrl(orbek_stream *s, int32_t code, void *argument, orbek_err_ctx *ctx) {
    Base64State *b = checked(s, ctx);
    if (!b) return 0;
    switch (code) {
        case ORBEK_CTRL_LENGTH:  // the decoded length cannot be told
            return 0;
        case ORBEK_CTRL_FLUSH:
            return b64_flush(s, b, ctx);
        case ORBEK_CTRL_AT_END:
            if (b->dec.count || b->failed) return 0;
            break;
        case ORBEK_CTRL_BASE64_FINISH:
            return b64_finish(b, static_cast<orbek_data_blob **>(argument), ctx);
        default:
            break;
    }
    return orbek_stream_ctrl(s->next, code, argument, ctx);
}

void b64_destroy(orbek_stream *s) {
    ORBEK_FREE(s->state);
    s->state = nullptr;
}

const orbek_stream_ops kBase64Ops = {b64_read, b64_write, b64_destroy, b64_ctrl};

// ------------------------------------------------------------------ PEM

// First start position of pat in text, trying 0 .. n - k - 1 (a match
// ending exactly at the end of the text is not found); -1 if none.
int64_t find(const char *text, int64_t n, const char *pat, int64_t k) {
    for (int64_t i = 0; i < n - k; ++i)
        if (memcmp(text + i, pat, (size_t)k) == 0) return i;
    return -1;
}

// Skips exactly the label, then a run of at least 5 "-"; returns the
// position after the run, or -1.
int64_t label_and_dashes(const char *text, int64_t n, int64_t p, const char *label, int64_t l) {
    if (p + l > n || memcmp(text + p, label, (size_t)l) != 0) return -1;
    p += l;
    int64_t start = p;
    while (p < n && text[p] == '-') ++p;
    return p - start >= 5 ? p : -1;
}

inline bool is_eol(char c) { return c == '\r' || c == '\n'; }

}  // namespace

ORBEK_EXPORT orbek_stream *orbek_stream_new_base64(uint32_t encoding_flags, int32_t line_width,
                                                   uint32_t decoding_flags, orbek_err_ctx *ctx) noexcept {
    Encoder enc;
    Decoder dec;
    if (!make_encoder(encoding_flags, line_width, &enc) || !make_decoder(decoding_flags, &dec)) {
        ORBEK_REPORT(ctx, ORBEK_ERR_STREAM_BASE64_FLAG);
        return nullptr;
    }
    auto *b = ORBEK_ALLOC_T(Base64State, 1);
    auto *s = b ? ORBEK_ALLOC_T(orbek_stream, 1) : nullptr;
    if (!s) {
        ORBEK_FREE(b);
        ORBEK_REPORT(ctx, ORBEK_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    b->enc = enc;
    b->column = 0;
    b->nhold = 0;
    b->dec = dec;
    b->failed = false;
    b->out_pos = 0;
    b->out_len = 0;
    orbek::stream_init(s, &kBase64Ops, ORBEK_STREAM_TYPE_BASE64, b);
    return s;
}

ORBEK_EXPORT int32_t orbek_base64encode(uint32_t flags, const uint8_t *data, int32_t length, char **text,
                                        int32_t *text_length) noexcept {
    if (!data || length <= 0 || !text || !text_length) return 0;
    Encoder e;
    if (!make_encoder(flags, 64, &e)) return 0;
    int64_t n = encoded_length(e, length);
    if (n >= INT32_MAX) return 0;
    char *out = static_cast<char *>(ORBEK_ALLOC((size_t)n + 1));
    if (!out) return 0;
    int32_t col = 0;
    size_t groups = (size_t)length / 3;
    char *o = encode_groups(e, data, groups, out, &col);
    if (length % 3) o = encode_tail(e, data + 3 * groups, length % 3, o);
    *o = '\0';
    *text = out;
    *text_length = (int32_t)(o - out);
    return 1;
}

ORBEK_EXPORT int32_t orbek_base64decode(uint32_t flags, const char *text, int32_t length, uint8_t **data,
                                        int32_t *data_length) noexcept {
    if (!text || length < 1 || !data || !data_length) return 0;
    Decoder d;
    if (!make_decoder(flags, &d)) return 0;
    size_t room = decoded_room(d, (size_t)length);
    auto *out = static_cast<uint8_t *>(ORBEK_ALLOC(room));
    if (!out) return 0;
    size_t n = 0, extra = 0;
    bool ok = decode_chars(d, reinterpret_cast<const uint8_t *>(text), (size_t)length, out, &n);
    // An unfinished final group: completed when the input has no padding,
    // an error when it should have had it.
    if (ok && d.count) ok = (flags & kNoPad) && complete_group(d, out + n, &extra);
    if (!ok) {
        ORBEK_FREE(out);
        return 0;
    }
    *data = out;
    *data_length = (int32_t)(n + extra);
    return 1;
}

ORBEK_EXPORT int32_t orbek_pemencode(const char *label, const uint8_t *data, int32_t length, char **text,
                                     int32_t *text_length) noexcept {
    if (!label || !*label || !data || length <= 0 || !text || !text_length) return 0;
    const int64_t l = (int64_t)strlen(label);
    const int64_t room = 2 * (2 * (length / 3) + length / 32 + l) + 90;
    Encoder e;
    make_encoder(2, 64, &e);
    const int64_t b64 = encoded_length(e, length);
    const int64_t need = 11 + l + 7 + b64 + 2 + 9 + l + 7 + 1;
    if (room > INT32_MAX || need > room) return 0;
    char *out = static_cast<char *>(ORBEK_ALLOC((size_t)room));
    if (!out) return 0;
    memset(out, 0, (size_t)room);
    char *o = out;
    auto add = [&o](const char *s, size_t n) {
        memcpy(o, s, n);
        o += n;
    };
    add("-----BEGIN ", 11);
    add(label, (size_t)l);
    add("-----\r\n", 7);
    int32_t col = 0;
    size_t groups = (size_t)length / 3;
    o = encode_groups(e, data, groups, o, &col);
    if (length % 3) o = encode_tail(e, data + 3 * groups, length % 3, o);
    if (!(o[-2] == '\r' && o[-1] == '\n')) add("\r\n", 2);
    add("-----END ", 9);
    add(label, (size_t)l);
    add("-----\r\n", 7);
    *text = out;
    *text_length = (int32_t)(o - out);
    return 1;
}

ORBEK_EXPORT int32_t orbek_pemdecode(const char *label, const char *text, int32_t length, uint8_t **data,
                                     int32_t *data_length) noexcept {
    if (!label || !*label || !text || length < 1 || !data || !data_length) return 0;
    const int64_t l = (int64_t)strlen(label), n = length;
    if (n < 2 * l + 34) return 0;
    // The text ends with "-" or a line break, optionally then one NUL.
    int64_t e = text[n - 1] == '\0' ? n - 1 : n;
    if (e < 1 || !(text[e - 1] == '-' || is_eol(text[e - 1]))) return 0;

    // Only "-" may come before the BEGIN line.
    int64_t begin = find(text, n, "-----BEGIN ", 11);
    if (begin < 0) return 0;
    for (int64_t i = 0; i < begin; ++i)
        if (text[i] != '-') return 0;
    int64_t p = label_and_dashes(text, n, begin + 11, label, l);
    if (p < 0 || p >= n || !is_eol(text[p])) return 0;
    ++p;
    if (p < n && is_eol(text[p])) ++p;
    const int64_t body = p;

    int64_t end = find(text, n, "-----END ", 9);
    if (end <= body) return 0;
    int64_t body_end = end;
    while (body_end > body && text[body_end - 1] == '-') --body_end;
    if (body_end <= body) return 0;
    int64_t q = label_and_dashes(text, n, end + 9, label, l);
    if (q < 0) return 0;
    // The END line's dashes end the text, but for up to two characters.
    int64_t t = n;
    while (t > 0 && is_eol(text[t - 1])) --t;
    if (q != t && q != t - 1 && q != t - 2) return 0;

    return orbek_base64decode(2, text + body, (int32_t)(body_end - body), data, data_length);
}
