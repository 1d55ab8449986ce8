// The digest tables of md_tables.h.  A table's slots take no algorithm
// argument, so each algorithm gets its own instantiation.
#include "cli/md_tables.h"

#include <stdlib.h>
#include <string.h>

#include "cli/sha.h"

#ifdef ORBEK_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

template <int Bits>
struct Portable {
    static void *make() { return malloc(sizeof(cli_sha_ctx)); }
    static void drop(void *c) { free(c); }
    static int32_t length() { return (int32_t)cli_sha_length(Bits); }
    static uint32_t algorithm() { return Bits == 1 ? 160 : Bits; }
    static int32_t init(void *c) { return cli_sha_init(static_cast<cli_sha_ctx *>(c), Bits) ? 1 : 0; }
    static int32_t update(void *c, const uint8_t *p, int32_t n) {
        cli_sha_update(static_cast<cli_sha_ctx *>(c), p, (size_t)n);
        return 1;
    }
    static int32_t finish(void *c, uint8_t *out) {
        cli_sha_final(static_cast<cli_sha_ctx *>(c), out);
        return 1;
    }
    static int32_t block() { return (int32_t)cli_sha_block(Bits); }
    static void *dup(void *c) {
        void *d = make();
        if (d) memcpy(d, c, sizeof(cli_sha_ctx));
        return d;
    }
    static constexpr orbek_md_table table = {make, drop, length, algorithm, init, update, finish, block, dup};
};

#ifdef ORBEK_HAVE_OPENSSL
template <int Bits>
struct OpenSsl {
    static const EVP_MD *md() { return Bits == 1 ? EVP_sha1() : Bits == 256 ? EVP_sha256() : EVP_sha512(); }
    static void *make() { return EVP_MD_CTX_new(); }
    static void drop(void *c) { EVP_MD_CTX_free(static_cast<EVP_MD_CTX *>(c)); }
    static int32_t length() { return EVP_MD_get_size(md()); }
    static uint32_t algorithm() { return Bits == 1 ? 160 : Bits; }
    static int32_t init(void *c) { return EVP_DigestInit_ex(static_cast<EVP_MD_CTX *>(c), md(), nullptr); }
    static int32_t update(void *c, const uint8_t *p, int32_t n) {
        return EVP_DigestUpdate(static_cast<EVP_MD_CTX *>(c), p, (size_t)n);
    }
    static int32_t finish(void *c, uint8_t *out) {
        return EVP_DigestFinal_ex(static_cast<EVP_MD_CTX *>(c), out, nullptr);
    }
    static int32_t block() { return EVP_MD_get_block_size(md()); }
    static void *dup(void *c) {
        EVP_MD_CTX *d = EVP_MD_CTX_new();
        if (d && EVP_MD_CTX_copy_ex(d, static_cast<EVP_MD_CTX *>(c)) != 1) {
            EVP_MD_CTX_free(d);
            d = nullptr;
        }
        return d;
    }
    static constexpr orbek_md_table table = {make, drop, length, algorithm, init, update, finish, block, dup};
};
#endif

}  // namespace

const orbek_md_table *cli_portable_sha(int bits) {
    return bits == 1 ? &Portable<1>::table : bits == 256 ? &Portable<256>::table
         : bits == 512 ? &Portable<512>::table : nullptr;
}

const orbek_md_table *cli_openssl_sha(int bits) {
#ifdef ORBEK_HAVE_OPENSSL
    return bits == 1 ? &OpenSsl<1>::table : bits == 256 ? &OpenSsl<256>::table
         : bits == 512 ? &OpenSsl<512>::table : nullptr;
#else
    (void)bits;
    return nullptr;
#endif
}
