// Digest tables for the library's digest and HMAC streams: SHA-1, SHA-256
// and SHA-512 from OpenSSL's EVP where the build found OpenSSL
// (ORBEK_HAVE_OPENSSL), and from the portable code in cli/sha.cpp always.
// Used by the tool, the tests and the benchmarks; not part of the library,
// which holds no hash of its own.
#ifndef ORBEK_CLI_MD_TABLES_H
#define ORBEK_CLI_MD_TABLES_H

#include "orbek_util.h"

// bits: 1 (SHA-1), 256 or 512; null for anything else.
const orbek_md_table *cli_portable_sha(int bits);
// Null also when the build has no OpenSSL.
const orbek_md_table *cli_openssl_sha(int bits);
// OpenSSL's where present, else the portable one.
inline const orbek_md_table *cli_sha(int bits) {
    const orbek_md_table *t = cli_openssl_sha(bits);
    return t ? t : cli_portable_sha(bits);
}

#endif
