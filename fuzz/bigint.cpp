// Big integers: the signed byte form comes back minimal (the input without
// its redundant sign bytes), the unsigned form and decimal text round-trip,
// and GMP reads the decimal text as the library does.
#include <gmp.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "orbek_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 4096) return 0;
    const int32_t n = (int32_t)size;
    orbek_biginteger *x = orbek_biginteger_newdata(data, n);
    orbek_biginteger *u = orbek_biginteger_newunsigneddata(data, n);
    if (!x || !u) abort();

    // Minimal signed form: drop the sign bytes the next byte repeats.
    size_t skip = 0;
    while (size - skip >= 2 && ((data[skip] == 0 && data[skip + 1] < 0x80) || (data[skip] == 0xFF && data[skip + 1] >= 0x80)))
        ++skip;
    orbek_data_blob *b = orbek_biginteger_getdata(x);
    const std::string want = size ? std::string((const char *)data + skip, size - skip) : std::string(1, '\0');
    if (!b || std::string((const char *)b->data, (size_t)b->length) != want) abort();
    orbek_data_blob_free(b);

    // Unsigned: the same bytes back, left-padded to the input's length.
    uint8_t *buf = static_cast<uint8_t *>(malloc(size + 1));
    if (size && (orbek_biginteger_unsigned_tonbuf(u, n, buf) != 1 || memcmp(buf, data, size) != 0)) abort();
    free(buf);

    // Decimal: |x| to text and back, and GMP's reading of the same text.
    orbek_biginteger *mag = orbek_biginteger_getsign(x) < 0 ? orbek_biginteger_neg(x) : orbek_biginteger_dup(x);
    char *text = nullptr;
    int32_t len = 0;
    if (orbek_biginteger_unsigned_todec(mag, &text, &len) != 1 || (int32_t)strlen(text) != len) abort();
    orbek_biginteger *back = orbek_biginteger_newdec(text);
    if (!back || orbek_biginteger_cmp(back, mag) != 0) abort();
    mpz_t g;
    mpz_init(g);
    mpz_import(g, size, 1, 1, 1, 0, data);
    char *gtext = mpz_get_str(nullptr, 10, g);
    orbek_biginteger *from_text = orbek_biginteger_newdec(gtext);
    if (!from_text || orbek_biginteger_cmp(from_text, u) != 0) abort();
    void (*gfree)(void *, size_t);
    mp_get_memory_functions(nullptr, nullptr, &gfree);
    gfree(gtext, strlen(gtext) + 1);
    mpz_clear(g);

    // The input as text: the library accepts exactly what GMP accepts.
    std::string t((const char *)data, size);
    t = t.substr(0, strlen(t.c_str()));
    mpz_t h;
    mpz_init(h);
    orbek_biginteger *parsed = orbek_biginteger_newdec(t.c_str());
    if ((parsed != nullptr) != (mpz_set_str(h, t.c_str(), 10) == 0)) abort();
    mpz_clear(h);

    orbek_biginteger_free(parsed);
    orbek_biginteger_free(from_text);
    orbek_free(text);
    orbek_biginteger_free(back);
    orbek_biginteger_free(mag);
    orbek_biginteger_free(u);
    orbek_biginteger_free(x);
    return 0;
}
