// Hex decoder: the one-shot codec and the filter read in pieces agree, and
// whatever decodes re-encodes to the same digits in lower case.
#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "orbek_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 100000) return 0;
    const size_t piece = 1 + data[0] % 64;
    const char *text = reinterpret_cast<const char *>(data + 1);
    const int32_t n = (int32_t)(size - 1);

    uint8_t *bytes = nullptr;
    int32_t len = 0;
    int ok = n > 0 ? orbek_hexdecode(text, n, &bytes, &len) : 0;

    // The filter: it takes odd lengths too, holding the last digit back.
    orbek_stream *src = orbek_stream_new_romem(data + 1, n, 0, nullptr);
    orbek_stream *h = orbek_stream_new_hex(0, nullptr);
    if (!src || !h || orbek_stream_push(h, src) != 1) abort();
    std::string chained;
    uint8_t buf[64];
    int chain_ok = 1;
    for (;;) {
        int32_t got = 0;
        if (orbek_stream_read(h, buf, (int32_t)piece, &got, nullptr) != 1) {
            chain_ok = 0;
            break;
        }
        if (got == 0) break;
        chained.append(reinterpret_cast<char *>(buf), (size_t)got);
    }
    orbek_stream_freeall(h);
    if (ok && (!chain_ok || chained != std::string(reinterpret_cast<char *>(bytes), (size_t)len))) abort();
    if (n > 0 && n % 2 == 0 && chain_ok && !ok) abort();

    if (ok) {
        char *again = nullptr;
        int32_t again_len = 0;
        if (orbek_hexencode(0, bytes, len, &again, &again_len) != 1 || again_len != n) abort();
        for (int32_t i = 0; i < n; ++i)
            if (again[i] != tolower((unsigned char)text[i])) abort();
        orbek_free(again);
    }
    orbek_free(bytes);
    return 0;
}
