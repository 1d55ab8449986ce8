// orbek base64, orbek pem, orbek hex: the stream filters on files.
//
//   orbek base64 [-d] [--url] [--no-pad] [--wrap N|--no-wrap] [--crlf|--lf|--cr] [FILE]
//   orbek pem encode|decode LABEL [FILE]
//   orbek hex [-d] [-u] [FILE]
//
// Input (FILE, or standard input when it is absent or "-") goes through a
// filter chain in fixed-size chunks: the chain's end is a memory stream with
// separate read and write positions, emptied to standard output after every
// chunk, so memory use does not grow with the input.  Bad input prints the
// error context's listing on stderr and exits 1.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cli/commands.h"
#include "cli/platform.h"
#include "orbek_util.h"

namespace {

constexpr size_t kChunk = 64 * 1024;
constexpr char kSource[] = "orbek";

// What a command owns; released on every way out.
struct Job {
    orbek_err_ctx *ctx = nullptr;
    orbek_stream *chain = nullptr;  // first stream of the chain
    FILE *in = nullptr;
    bool close_in = false;
    uint8_t *buf = nullptr;  // kChunk bytes for input
    uint8_t *out = nullptr;  // kChunk bytes for output
    // The last two bytes written to standard output, and how many in all.
    int last[2] = {-1, -1};
    long long written = 0;
    // Line breaking done by the tool: a line end after every wrap
    // characters (0: none).  The library's filter only breaks lines after
    // whole groups of 4, so "--wrap 5" would give lines of 8.
    int32_t wrap = 0;
    const char *eol = "\n";
    int32_t column = 0;

    ~Job() {
        orbek_stream_freeall(chain);
        if (close_in) fclose(in);
        free(buf);
        free(out);
        orbek_err_ctx_free(ctx);
    }

    bool open(const char *path) {
        ctx = orbek_err_ctx_new();
        buf = static_cast<uint8_t *>(malloc(kChunk));
        out = static_cast<uint8_t *>(malloc(kChunk));
        if (!ctx || !buf || !out) {
            cli_error("out of memory");
            return false;
        }
        cli_binary_stdio();
        if (!path || strcmp(path, "-") == 0) {
            in = stdin;
            return true;
        }
        in = fopen(path, "rb");
        if (!in) {
            cli_error("cannot open '%s'", path);
            return false;
        }
        close_in = true;
        return true;
    }

    // Reads the next chunk of input; 0 at the end (or on a read error,
    // which read_failed tells).
    size_t read() { return fread(buf, 1, kChunk, in); }
    bool read_failed() {
        if (!ferror(in)) return false;
        cli_error("cannot read the input");
        return true;
    }

    bool emit(const void *p, size_t n) {
        if (n == 0) return true;
        if (fwrite(p, 1, n, stdout) != n) {
            cli_error("cannot write standard output");
            return false;
        }
        const auto *b = static_cast<const uint8_t *>(p);
        last[0] = n >= 2 ? b[n - 2] : last[1];
        last[1] = b[n - 1];
        written += (long long)n;
        return true;
    }

    // emit, with a line end after every wrap characters.
    bool emit_wrapped(const uint8_t *p, size_t n) {
        while (n > 0) {
            size_t take = (size_t)(wrap - column) < n ? (size_t)(wrap - column) : n;
            if (!emit(p, take)) return false;
            p += take;
            n -= take;
            column += (int32_t)take;
            if (column == wrap) {
                if (!emit(eol, strlen(eol))) return false;
                column = 0;
            }
        }
        return true;
    }

    // Moves everything that stream delivers to standard output.
    bool drain(orbek_stream *from) {
        for (;;) {
            int32_t got = 0;
            if (orbek_stream_read(from, out, (int32_t)kChunk, &got, ctx) != 1) return bad_input();
            if (got == 0) return true;
            if (!(wrap > 0 ? emit_wrapped(out, (size_t)got) : emit(out, (size_t)got))) return false;
        }
    }

    // Bad input: the listing of what went wrong.
    bool bad_input() {
        orbek_err_ctx_print(ctx);
        return false;
    }

    // A failure the tool itself finds in the input.
    bool fail(int32_t line, uint32_t code) {
        orbek_err_ctx_put(ctx, kSource, line, code, orbek_igetStreamError(code));
        return bad_input();
    }
};

// A filter on top of a fresh queue; the queue is returned in *queue.
bool make_chain(Job &job, orbek_stream *filter, orbek_stream **queue) {
    orbek_stream *q = orbek_stream_new_rwspecmem(0, job.ctx);
    if (!filter || !q || orbek_stream_push(filter, q) != 1) {
        orbek_stream_free(filter);
        orbek_stream_free(q);
        return job.bad_input();
    }
    job.chain = filter;
    *queue = q;
    return true;
}

// Writes all input through the chain's first stream, emptying the queue at
// its end after every chunk, then flushes.
bool encode_all(Job &job, orbek_stream *queue) {
    for (size_t n; (n = job.read()) > 0;) {
        if (orbek_stream_writen(job.chain, job.buf, (int32_t)n, job.ctx) != 1) return job.bad_input();
        if (!job.drain(queue)) return false;
    }
    if (job.read_failed()) return false;
    if (orbek_stream_ctrl(job.chain, ORBEK_CTRL_FLUSH, nullptr, job.ctx) != 1) return job.bad_input();
    return job.drain(queue);
}

// Feeds input into the queue and reads the decoded bytes off the filter.
// keep(c) selects the input bytes that reach the decoder.
template <class Keep>
bool decode_all(Job &job, orbek_stream *queue, Keep keep) {
    for (size_t n; (n = job.read()) > 0;) {
        size_t m = 0;
        for (size_t i = 0; i < n; ++i)
            if (keep(job.buf[i])) job.buf[m++] = job.buf[i];
        if (orbek_stream_writen(queue, job.buf, (int32_t)m, job.ctx) != 1) return job.bad_input();
        if (!job.drain(job.chain)) return false;
    }
    return !job.read_failed();
}

bool parse_width(const char *s, int32_t *out) {
    char *end = nullptr;
    long v = strtol(s, &end, 10);
    if (!*s || *end || v < 0 || v > 1 << 24) return false;
    *out = (int32_t)v;
    return true;
}

// ---------------------------------------------------------------- base64

const char kBase64Usage[] =
    "usage: orbek base64 [-d] [--url] [--no-pad] [--wrap N|--no-wrap] [--crlf|--lf|--cr] [FILE]\n"
    "  Encodes FILE (or standard input) as Base64; -d decodes.\n"
    "  --url      URL-safe alphabet (- and _)\n"
    "  --no-pad   no = padding (decoding: the input has none)\n"
    "  --wrap N   lines of exactly N characters (default 76; 0 = --no-wrap)\n"
    "  --crlf, --lf, --cr   line ends (default --lf)\n"
    "  Decoding skips line breaks.\n";

// ---------------------------------------------------------------- pem

const char kPemUsage[] =
    "usage: orbek pem encode|decode LABEL [FILE]\n"
    "  encode: FILE (or standard input) as PEM text with the LABEL, CRLF lines of 64\n"
    "  decode: PEM text with that LABEL back to its bytes\n";

// Byte-at-a-time view of the input for the PEM frame.
struct Reader {
    Job &job;
    size_t pos = 0, len = 0;
    long long total = 0;
    int prev[2] = {-1, -1};  // the last two bytes taken
    explicit Reader(Job &j) : job(j) {}
    int next() {
        if (pos == len) {
            len = job.read();
            pos = 0;
            if (len == 0) return -1;
        }
        int c = job.buf[pos++];
        ++total;
        prev[0] = prev[1];
        prev[1] = c;
        return c;
    }
    // Takes exactly the bytes of s.
    bool expect(const char *s) {
        for (; *s; ++s)
            if (next() != (unsigned char)*s) return false;
        return true;
    }
    // Counts a run of "-"; *after receives the byte that ends it.
    long long dashes(int first, int *after) {
        long long n = 0;
        int c = first;
        while (c == '-') {
            ++n;
            c = next();
        }
        *after = c;
        return n;
    }
};

inline bool is_eol(int c) { return c == '\r' || c == '\n'; }

int pem_encode(Job &job, const char *label) {
    orbek_stream *queue = nullptr;
    if (!make_chain(job, orbek_stream_new_base64(ORBEK_B64_CRLF, 64, ORBEK_B64_SKIP_BREAKS, job.ctx), &queue)) return 1;
    if (!job.emit("-----BEGIN ", 11) || !job.emit(label, strlen(label)) || !job.emit("-----\r\n", 7)) return 1;
    long long head = job.written;
    if (!encode_all(job, queue)) return 1;
    // The Base64 text ends with a line break unless it filled its last line
    // exactly (or is empty): then one is added.
    if (!(job.written > head + 1 && job.last[0] == '\r' && job.last[1] == '\n') && !job.emit("\r\n", 2)) return 1;
    if (!job.emit("-----END ", 9) || !job.emit(label, strlen(label)) || !job.emit("-----\r\n", 7)) return 1;
    return 0;
}

// The frame is checked as the text streams by: only "-" before the BEGIN
// line; the label; at least 5 "-"; a line break (and one more skipped); the
// Base64 body (CR and LF allowed, padding required) up to the first "-",
// which must start the END line with the label and at least 5 "-"; then at
// most two characters before the final line breaks.
int pem_decode(Job &job, const char *label) {
    orbek_stream *queue = nullptr;
    if (!make_chain(job, orbek_stream_new_base64(ORBEK_B64_CRLF, 64, ORBEK_B64_SKIP_BREAKS, job.ctx), &queue)) return 1;
    const long long l = (long long)strlen(label);
    Reader r(job);
    int c;
    if (r.dashes(r.next(), &c) < 5 || c != 'B' || !r.expect("EGIN ") || !r.expect(label))
        return job.fail(__LINE__, ORBEK_ERR_STREAM_PEM_DECODE), 1;
    if (r.dashes(r.next(), &c) < 5 || !is_eol(c)) return job.fail(__LINE__, ORBEK_ERR_STREAM_PEM_DECODE), 1;
    c = r.next();
    if (is_eol(c)) c = r.next();

    // The body, in chunks, through the decoder.
    long long body = 0;
    size_t m = 0;
    for (; c != '-' && c >= 0; c = r.next()) {
        job.out[m++] = (uint8_t)c;
        ++body;
        if (m == kChunk || r.pos == r.len) {
            // out is the drain buffer too: the body chunk goes down first.
            if (orbek_stream_writen(queue, job.out, (int32_t)m, job.ctx) != 1 || !job.drain(job.chain)) return 1;
            m = 0;
        }
    }
    if (m && (orbek_stream_writen(queue, job.out, (int32_t)m, job.ctx) != 1 || !job.drain(job.chain))) return 1;
    if (c < 0 || body == 0) return job.fail(__LINE__, ORBEK_ERR_STREAM_PEM_DECODE), 1;
    if (orbek_stream_ctrl(job.chain, ORBEK_CTRL_AT_END, nullptr, nullptr) != 1)
        return job.fail(__LINE__, ORBEK_ERR_STREAM_BASE64_DECODE), 1;

    if (r.dashes(c, &c) < 5 || c != 'E' || !r.expect("ND ") || !r.expect(label))
        return job.fail(__LINE__, ORBEK_ERR_STREAM_PEM_DECODE), 1;
    if (r.dashes(r.next(), &c) < 5) return job.fail(__LINE__, ORBEK_ERR_STREAM_PEM_DECODE), 1;
    // After the END line's dashes: at most two characters, then only line
    // breaks; the text's last byte is "-" or a line break, or a NUL after one.
    long long trailing = 0, kept = 0;  // bytes after the dashes; up to the last non-break
    for (; c >= 0; c = r.next()) {
        ++trailing;
        if (!is_eol(c)) {
            kept = trailing;
            if (kept > 2) return job.fail(__LINE__, ORBEK_ERR_STREAM_PEM_DECODE), 1;
        }
    }
    if (job.read_failed()) return 1;
    const int last = r.prev[1], before = r.prev[0];
    bool end_ok = last == '-' || is_eol(last) || (last == 0 && (before == '-' || is_eol(before)));
    if (!end_ok || r.total < 2 * l + 34) return job.fail(__LINE__, ORBEK_ERR_STREAM_PEM_DECODE), 1;
    return 0;
}

// ---------------------------------------------------------------- hex

const char kHexUsage[] =
    "usage: orbek hex [-d] [-u] [FILE]\n"
    "  Writes FILE (or standard input) as hexadecimal digits and a line break;\n"
    "  -u upper-case digits; -d decodes (line breaks are skipped).\n";

}  // namespace

int cmd_base64(int argc, char **argv) {
    bool decode = false, url = false, no_pad = false;
    int32_t width = 76;
    uint32_t mode = ORBEK_B64_LF;
    const char *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (strcmp(a, "--help") == 0) {
            fputs(kBase64Usage, stdout);
            return 0;
        } else if (strcmp(a, "-d") == 0 || strcmp(a, "--decode") == 0) {
            decode = true;
        } else if (strcmp(a, "--url") == 0) {
            url = true;
        } else if (strcmp(a, "--no-pad") == 0) {
            no_pad = true;
        } else if (strcmp(a, "--no-wrap") == 0) {
            width = 0;
        } else if (strcmp(a, "--wrap") == 0) {
            if (++i == argc || !parse_width(argv[i], &width)) {
                cli_error("--wrap needs a width from 0 to 16777216");
                return fputs(kBase64Usage, stderr), 2;
            }
        } else if (strcmp(a, "--crlf") == 0) {
            mode = ORBEK_B64_CRLF;
        } else if (strcmp(a, "--lf") == 0) {
            mode = ORBEK_B64_LF;
        } else if (strcmp(a, "--cr") == 0) {
            mode = ORBEK_B64_CR;
        } else if (a[0] == '-' && a[1] != '\0') {
            cli_error("unknown option '%s'", a);
            return fputs(kBase64Usage, stderr), 2;
        } else if (path) {
            cli_error("only one FILE");
            return fputs(kBase64Usage, stderr), 2;
        } else {
            path = a;
        }
    }
    Job job;
    if (!job.open(path)) return 1;
    const uint32_t extra = (url ? ORBEK_B64_URL : 0) | (no_pad ? ORBEK_B64_NO_PAD : 0);
    orbek_stream *queue = nullptr;
    if (decode) {
        if (!make_chain(job, orbek_stream_new_base64(ORBEK_B64_CRLF, 64, ORBEK_B64_SKIP_BREAKS | extra, job.ctx), &queue))
            return 1;
        if (!decode_all(job, queue, [](uint8_t) { return true; })) return 1;
        if (no_pad) {
            orbek_data_blob *blob = nullptr;
            if (orbek_stream_ctrl(job.chain, ORBEK_CTRL_BASE64_FINISH, &blob, job.ctx) != 1) return job.bad_input(), 1;
            bool ok = job.emit(blob->data, (size_t)blob->length);
            orbek_data_blob_free(blob);
            if (!ok) return 1;
        }
        // An unfinished final group is bad input.
        if (orbek_stream_ctrl(job.chain, ORBEK_CTRL_AT_END, nullptr, nullptr) != 1)
            return job.fail(__LINE__, ORBEK_ERR_STREAM_BASE64_DECODE), 1;
        return 0;
    }
    // The filter writes one long line; the tool breaks it at exactly width.
    job.wrap = width;
    job.eol = mode == ORBEK_B64_CRLF ? "\r\n" : mode == ORBEK_B64_CR ? "\r" : "\n";
    if (!make_chain(job, orbek_stream_new_base64(ORBEK_B64_NO_BREAKS | extra, 0, ORBEK_B64_SKIP_BREAKS, job.ctx), &queue))
        return 1;
    if (!encode_all(job, queue)) return 1;
    // Wrapped text ends with a line break, as text files do.
    if (width != 0 && job.column > 0 && !job.emit(job.eol, strlen(job.eol))) return 1;
    return 0;
}

int cmd_pem(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(kPemUsage, stdout);
        return 0;
    }
    if (argc < 3 || argc > 4 || (strcmp(argv[1], "encode") != 0 && strcmp(argv[1], "decode") != 0)) {
        cli_error("pem needs encode or decode and a LABEL");
        return fputs(kPemUsage, stderr), 2;
    }
    if (argv[2][0] == '\0') {
        cli_error("the LABEL is empty");
        return fputs(kPemUsage, stderr), 2;
    }
    Job job;
    if (!job.open(argc == 4 ? argv[3] : nullptr)) return 1;
    return argv[1][0] == 'e' ? pem_encode(job, argv[2]) : pem_decode(job, argv[2]);
}

int cmd_hex(int argc, char **argv) {
    bool decode = false, upper = false;
    const char *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (strcmp(a, "--help") == 0) {
            fputs(kHexUsage, stdout);
            return 0;
        } else if (strcmp(a, "-d") == 0) {
            decode = true;
        } else if (strcmp(a, "-u") == 0) {
            upper = true;
        } else if (a[0] == '-' && a[1] != '\0') {
            cli_error("unknown option '%s'", a);
            return fputs(kHexUsage, stderr), 2;
        } else if (path) {
            cli_error("only one FILE");
            return fputs(kHexUsage, stderr), 2;
        } else {
            path = a;
        }
    }
    Job job;
    if (!job.open(path)) return 1;
    orbek_stream *queue = nullptr;
    if (!make_chain(job, orbek_stream_new_hex(upper ? 1 : 0, job.ctx), &queue)) return 1;
    if (!decode) {
        if (!encode_all(job, queue)) return 1;
        return job.written > 0 && !job.emit("\n", 1) ? 1 : 0;
    }
    long long digits = 0;
    if (!decode_all(job, queue, [&digits](uint8_t c) { return is_eol(c) ? false : (++digits, true); })) return 1;
    // The filter keeps a lone last digit to itself: an odd count is an error.
    if (digits % 2) return job.fail(__LINE__, ORBEK_ERR_STREAM_LENGTH), 1;
    return 0;
}
