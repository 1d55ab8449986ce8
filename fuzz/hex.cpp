// Hex decoder: the one-shot codec and the filter read in pieces agree, and
// whatever decodes re-encodes to the same digits in lower case.
#include <ctype.h>
#include <stdlib.h>

#include <string>

#include "orbek_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 100000) return 0;
    const int32_t piece = 1 + data[0] % 64, n = (int32_t)(size - 1);
    const char *text = reinterpret_cast<const char *>(data + 1);
    uint8_t *bytes = nullptr;
    int32_t len = 0;
    int ok = n > 0 ? orbek_hexdecode(text, n, &bytes, &len) : 0;

    // The filter: it takes odd lengths too, holding the last digit back.
    orbek_stream *h = orbek_stream_new_hex(0, nullptr);
    if (!h || orbek_stream_push(h, orbek_stream_new_romem(data + 1, n, 0, nullptr)) != 1) abort();
    std::string chained(64, '\0');
    int32_t got = 0, at = 0, chain_ok;
    while ((chain_ok = orbek_stream_read(h, (uint8_t *)&chained[(size_t)at], piece, &got, nullptr)) == 1 && got)
        chained.resize((size_t)(at += got) + 64);
    chained.resize((size_t)at);
    orbek_stream_freeall(h);
    if (ok && (!chain_ok || chained != std::string(reinterpret_cast<char *>(bytes), (size_t)len))) abort();
    if (n > 0 && n % 2 == 0 && chain_ok && !ok) abort();

    char *again = nullptr;
    int32_t again_len = 0;
    if (ok && (orbek_hexencode(0, bytes, len, &again, &again_len) != 1 || again_len != n)) abort();
    for (int32_t i = 0; ok && i < n; ++i)
        if (again[i] != tolower((unsigned char)text[i])) abort();
    orbek_free(again);
    orbek_free(bytes);
    return 0;
}
