// orbek digest: SHA digests and HMACs of files, printed as sha256sum does.
//
//   orbek digest [--sha1|--sha256|--sha512] [--hmac-key-file F] [FILE...]
//
// Each FILE is read through a file stream and written into a digest (or
// HMAC) filter over a null stream; standard input ("-", or no FILE) is
// written into the same chain.  The digest is printed through the hex codec as
// "<hex>  <name>".  A file that cannot be read is reported and skipped; the
// exit code is then 1.
#include <stdio.h>
#include <string.h>

#include "cli/commands.h"
#include "cli/md_tables.h"
#include "cli/platform.h"
#include "orbek_util.h"

namespace {

const char kDigestUsage[] =
    "usage: orbek digest [--sha1|--sha256|--sha512] [--hmac-key-file F] [FILE...]\n"
    "  Prints the digest of each FILE (or of standard input) as sha256sum does;\n"
    "  SHA-256 unless told.  --hmac-key-file: an HMAC keyed with F's bytes.\n";

// Owns a stream (and its chain) and an error context.
struct Owned {
    orbek_stream *s = nullptr;
    orbek_err_ctx *ctx = orbek_err_ctx_new();
    ~Owned() {
        orbek_stream_freeall(s);
        orbek_err_ctx_free(ctx);
    }
};

// The whole content of a file, read through a file stream into a memory
// stream; false (with the listing printed) when it cannot be read.
bool read_key(const char *path, uint8_t **key, int32_t *length) {
    Owned mem, file;
    if (!mem.ctx || !file.ctx) return false;
    mem.s = orbek_stream_new_mem(0, mem.ctx);
    file.s = orbek_stream_new_file(path, ORBEK_FILE_READ, file.ctx);
    int32_t total = 0;
    if (!mem.s || !file.s || orbek_stream_writefromstream(mem.s, file.s, &total, file.ctx) != 1) {
        cli_error("cannot read the key file '%s'", path);
        orbek_err_ctx_print(mem.s ? file.ctx : mem.ctx);
        return false;
    }
    if (total == 0) {
        cli_error("the key file '%s' is empty", path);
        return false;
    }
    return orbek_memstreamdeatch(mem.s, key, length) == 1;
}

// Writes name as sha256sum does: a backslash or line break in it is
// escaped, and the line then starts with a backslash.
void print_line(const char *hex, const char *name) {
    const bool escape = strpbrk(name, "\\\n") != nullptr;
    fputs(escape ? "\\" : "", stdout);
    fputs(hex, stdout);
    fputs("  ", stdout);
    for (const char *p = name; *p; ++p) {
        if (!escape || (*p != '\\' && *p != '\n'))
            fputc(*p, stdout);
        else
            fputs(*p == '\\' ? "\\\\" : "\\n", stdout);
    }
    fputc('\n', stdout);
}

uint8_t buf[64 * 1024];

// A file stream read to its end in 64 KiB chunks and written down the chain
// (eight times fewer reads than orbek_stream_writefromstream's 8 KiB): the
// end is a failing read after which control 11 answers 1.
bool hash_file(orbek_stream *chain, orbek_stream *file, orbek_err_ctx *ctx) {
    for (int32_t got = 0;;) {
        if (orbek_stream_read(file, buf, (int32_t)sizeof buf, &got, ctx) != 1)
            return orbek_stream_ctrl(file, ORBEK_CTRL_AT_END, nullptr, nullptr) == 1;
        if (orbek_stream_writen(chain, buf, got, ctx) != 1) return false;
    }
}

// Standard input written into the chain in chunks.
bool hash_stdin(orbek_stream *chain, orbek_err_ctx *ctx) {
    cli_binary_stdio();
    for (size_t n; (n = fread(buf, 1, sizeof buf, stdin)) > 0;)
        if (orbek_stream_writen(chain, buf, (int32_t)n, ctx) != 1) return false;
    if (ferror(stdin)) {
        cli_error("cannot read standard input");
        return false;
    }
    return true;
}

// One input's digest printed; false when it could not be made.
bool digest_one(const orbek_md_table *table, const uint8_t *key, int32_t key_length, const char *name) {
    Owned chain, file;
    if (!chain.ctx || !file.ctx) return false;
    orbek_stream *sink = orbek_stream_new_null(chain.ctx);
    orbek_stream *filter = !sink ? nullptr
                           : key ? orbek_stream_new_hmac(table, key, key_length, chain.ctx)
                                 : orbek_stream_new_md(table, chain.ctx);
    if (!filter) {
        orbek_stream_free(sink);
        orbek_err_ctx_print(chain.ctx);
        return false;
    }
    orbek_stream_push(filter, sink);
    chain.s = filter;
    bool ok;
    if (strcmp(name, "-") == 0) {
        ok = hash_stdin(chain.s, chain.ctx);
    } else {
        file.s = orbek_stream_new_file(name, ORBEK_FILE_READ, file.ctx);
        if (!file.s) {
            cli_error("cannot open '%s'", name);
            return false;
        }
        ok = hash_file(chain.s, file.s, file.ctx);
        if (!ok) {
            cli_error("cannot read '%s'", name);
            orbek_err_ctx_print(file.ctx);
            return false;
        }
    }
    uint8_t digest[128];
    int32_t length = 0;
    char *hex = nullptr;
    int32_t hex_length = 0;
    ok = ok && orbek_stream_ctrl(chain.s, ORBEK_CTRL_MD_LENGTH, &length, chain.ctx) == 1 && length > 0 &&
         length <= (int32_t)sizeof digest &&
         orbek_stream_ctrl(chain.s, key ? ORBEK_CTRL_HMAC_FINISH : ORBEK_CTRL_MD_FINISH, digest, chain.ctx) == 1 &&
         orbek_hexencode(0, digest, length, &hex, &hex_length) == 1;
    if (!ok) {
        orbek_err_ctx_print(chain.ctx);
        return false;
    }
    print_line(hex, name);
    orbek_free(hex);
    return true;
}

}  // namespace

int cmd_digest(int argc, char **argv) {
    int bits = 256;
    const char *key_file = nullptr;
    // Options may come anywhere before "--"; the rest are files, in order
    // (moved to the front of argv).
    int files = 0;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (!options || a[0] != '-' || a[1] == '\0') {
            argv[files++] = argv[i];
        } else if (strcmp(a, "--") == 0) {
            options = false;
        } else if (strcmp(a, "--help") == 0) {
            fputs(kDigestUsage, stdout);
            return 0;
        } else if (strcmp(a, "--sha1") == 0 || strcmp(a, "--sha256") == 0 || strcmp(a, "--sha512") == 0) {
            bits = a[5] == '1' ? 1 : a[5] == '2' ? 256 : 512;
        } else if (strcmp(a, "--hmac-key-file") == 0 && i + 1 < argc) {
            key_file = argv[++i];
        } else {
            cli_error(strcmp(a, "--hmac-key-file") == 0 ? "--hmac-key-file needs a file" : "unknown option '%s'", a);
            return fputs(kDigestUsage, stderr), 2;
        }
    }
    uint8_t *key = nullptr;
    int32_t key_length = 0;
    if (key_file && !read_key(key_file, &key, &key_length)) return 1;
    const orbek_md_table *table = cli_sha(bits);
    int rc = 0;
    if (files == 0) {
        rc = digest_one(table, key, key_length, "-") ? 0 : 1;
    } else {
        for (int i = 0; i < files; ++i)
            if (!digest_one(table, key, key_length, argv[i])) rc = 1;
    }
    orbek_free(key);
    return rc;
}
