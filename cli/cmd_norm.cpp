// orbek norm nfc|nfd|nfkc|nfkd [FILE] and orbek casefold [--nfkc] [FILE]:
// normalize or case-fold UTF-8 text of any size.
//
// The text goes through in pieces of about a megabyte, each cut just before
// an ASCII character: ASCII characters are starters that no form changes and
// that compose with nothing before them, so the pieces normalize and fold
// independently and their results join into the result for the whole text.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "cli/commands.h"
#include "cli/platform.h"
#include "orbek_util.h"

namespace {

constexpr size_t kPiece = 1 << 20;

inline bool cont(uint8_t b) { return (b & 0xC0) == 0x80; }

// The offset of the first malformed sequence of n bytes (the library's own
// rules: shortest forms only, no surrogates, nothing above U+10FFFF), or n.
size_t first_malformed(const uint8_t *p, size_t n) {
    size_t i = 0;
    while (i < n) {
        uint8_t b = p[i];
        size_t r = n - i, len;
        uint32_t v;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
            if (r < 2 || !cont(p[i + 1])) return i;
            v = (uint32_t)(b & 0x1F) << 6 | (p[i + 1] & 0x3F);
            if (v < 0x80) return i;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            if (r < 3 || !cont(p[i + 1]) || !cont(p[i + 2])) return i;
            v = (uint32_t)(b & 0x0F) << 12 | (uint32_t)(p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F);
            if (v < 0x800 || (v >= 0xD800 && v <= 0xDFFF)) return i;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            if (r < 4 || !cont(p[i + 1]) || !cont(p[i + 2]) || !cont(p[i + 3])) return i;
            v = (uint32_t)(b & 0x07) << 18 | (uint32_t)(p[i + 1] & 0x3F) << 12 | (uint32_t)(p[i + 2] & 0x3F) << 6 |
                (p[i + 3] & 0x3F);
            if (v < 0x10000 || v > 0x10FFFF) return i;
        } else {
            return i;
        }
        i += len;
    }
    return n;
}

struct Job {
    bool fold;     // case folding, else normalization
    int32_t arg;   // the form or the folding mode
    uint64_t done; // input bytes already written out
};

// Transforms and writes n bytes; false (message printed) on failure.
bool run_piece(Job *job, const uint8_t *p, size_t n) {
    size_t bad = first_malformed(p, n);
    if (bad < n) {
        // The offset in decimal by hand: not every C runtime's printf
        // knows a 64-bit conversion.
        char digits[24], *d = digits + sizeof digits - 1;
        *d = 0;
        uint64_t at = job->done + bad;
        do *--d = (char)('0' + at % 10);
        while (at /= 10);
        cli_error("malformed UTF-8 at byte offset %s", d);
        return false;
    }
    orbek_ustring *s = orbek_ustring_newutf8(p, (int32_t)n);
    orbek_ustring *r = nullptr;
    if (s) r = job->fold ? orbek_ustring_tocasefold(s, job->arg) : orbek_ustring_normalize(s, job->arg);
    uint8_t *out = nullptr;
    int32_t len = 0;
    bool ok = r && orbek_ustring_toutf8(r, &out, &len);
    orbek_ustring_free(r);
    orbek_ustring_free(s);
    if (!ok) {
        cli_error("out of memory");
        return false;
    }
    bool written = fwrite(out, 1, (size_t)len, stdout) == (size_t)len;
    orbek_free(out);
    if (!written) {
        cli_error("cannot write standard output");
        return false;
    }
    job->done += n;
    return true;
}

int run(Job job, const char *path) {
    FILE *in = stdin;
    if (path && strcmp(path, "-") != 0) {
        in = fopen(path, "rb");
        if (!in) {
            cli_error("cannot open '%s'", path);
            return 1;
        }
    }
    cli_binary_stdio();
    std::vector<uint8_t> buf;
    size_t used = 0;
    bool ok = true, eof = false;
    while (ok && !eof) {
        if (buf.size() < used + kPiece) buf.resize(used + kPiece);
        size_t got = fread(buf.data() + used, 1, kPiece, in);
        used += got;
        if (got < kPiece) {
            if (ferror(in)) {
                cli_error("cannot read the input");
                ok = false;
                break;
            }
            eof = true;
        }
        // All of it at the end, else up to the last ASCII byte.  A piece
        // without ASCII waits for more input.
        size_t cut = used;
        if (!eof) {
            while (cut > 0 && buf[cut - 1] >= 0x80) --cut;
            if (cut > 0) --cut;
        }
        if (cut > (size_t)INT32_MAX / 4) {
            cli_error("more than %d bytes without an ASCII character", INT32_MAX / 4);
            ok = false;
            break;
        }
        if (cut == 0 && !eof) continue;
        ok = run_piece(&job, buf.data(), cut);
        memmove(buf.data(), buf.data() + cut, used - cut);
        used -= cut;
    }
    if (in != stdin) fclose(in);
    return ok ? 0 : 1;
}

}  // namespace

int cmd_norm(int argc, char **argv) {
    static const char *const kForms[] = {"nfd", "nfc", "nfkd", "nfkc"};
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        puts("usage: orbek norm nfc|nfd|nfkc|nfkd [FILE]\n"
             "Writes FILE (or standard input), UTF-8 text, in the Unicode normalization\n"
             "form given (Unicode 8.0 data).  Malformed UTF-8 fails with exit code 1 and\n"
             "its byte offset; the text before it has been written by then.");
        return 0;
    }
    if (argc < 2 || argc > 3) {
        fputs("usage: orbek norm nfc|nfd|nfkc|nfkd [FILE]\n", stderr);
        return 2;
    }
    for (int32_t f = 0; f < 4; ++f)
        if (strcmp(argv[1], kForms[f]) == 0) return run(Job{false, f + 1, 0}, argc == 3 ? argv[2] : nullptr);
    cli_error("unknown form '%s' (one of nfc, nfd, nfkc, nfkd)", argv[1]);
    return 2;
}

int cmd_casefold(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        puts("usage: orbek casefold [--nfkc] [FILE]\n"
             "Writes FILE (or standard input), UTF-8 text, with full Unicode case\n"
             "folding (Unicode 8.0 data); --nfkc adds the mappings that keep the folding\n"
             "closed under NFKC.  The output is not normalized.  Malformed UTF-8 fails\n"
             "with exit code 1 and its byte offset.");
        return 0;
    }
    int i = 1;
    int32_t mode = 1;
    if (i < argc && strcmp(argv[i], "--nfkc") == 0) {
        mode = 2;
        ++i;
    }
    if (argc - i > 1 || (i < argc && argv[i][0] == '-' && argv[i][1])) {
        fputs("usage: orbek casefold [--nfkc] [FILE]\n", stderr);
        return 2;
    }
    return run(Job{true, mode, 0}, i < argc ? argv[i] : nullptr);
}
