// SHA-1, SHA-256 and SHA-512 (FIPS 180-4) in portable C++, for the builds
// without OpenSSL (i686 Linux, Windows): the tool's digest command and the
// tests use them there.  Also tested against OpenSSL where both exist.
#ifndef ORBEK_CLI_SHA_H
#define ORBEK_CLI_SHA_H

#include <stddef.h>
#include <stdint.h>

struct cli_sha_ctx {
    int bits;          // 1 (SHA-1), 256 or 512
    uint64_t total;    // bytes hashed so far
    uint32_t fill;     // bytes waiting in block
    uint8_t block[128];
    uint32_t h32[8];
    uint64_t h64[8];
};

// bits: 1, 256 or 512; false for anything else.
bool cli_sha_init(cli_sha_ctx *c, int bits);
void cli_sha_update(cli_sha_ctx *c, const uint8_t *data, size_t n);
// Writes 20, 32 or 64 bytes.
void cli_sha_final(cli_sha_ctx *c, uint8_t *out);
size_t cli_sha_length(int bits);
size_t cli_sha_block(int bits);

#endif
