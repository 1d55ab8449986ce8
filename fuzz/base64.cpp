// Base64 decoder at every tolerance, with and without padding, both
// alphabets.  The first byte picks the flags; the rest is the text.
//
// Checks: the one-shot decoder and a filter chain read in odd-sized pieces
// agree; whatever decodes is the canonical text of its bytes once the
// skipped characters are removed (decoding is one-to-one), so re-encoding
// gives that text back.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "orbek_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || size > 100000) return 0;
    const uint32_t tolerance = 1 + data[0] % 3;
    const uint32_t extra = (data[0] & 0x10 ? ORBEK_B64_NO_PAD : 0) | (data[0] & 0x20 ? ORBEK_B64_URL : 0);
    const int32_t piece = 1 + (data[0] >> 6) * 97, n = (int32_t)size - 1;
    const char *text = reinterpret_cast<const char *>(data + 1);
    uint8_t *bytes = nullptr;
    int32_t len = 0;
    int ok = orbek_base64decode(tolerance | extra, text, n, &bytes, &len);

    orbek_stream *b = orbek_stream_new_base64(2, 64, tolerance | extra, nullptr);
    if (!b || orbek_stream_push(b, orbek_stream_new_romem(data + 1, n, 0, nullptr)) != 1) abort();
    std::string chained(300, '\0');
    int32_t got = 0, at = 0, chain_ok;
    while ((chain_ok = orbek_stream_read(b, (uint8_t *)&chained[(size_t)at], piece, &got, nullptr)) == 1 && got)
        chained.resize((size_t)(at += got) + 300);
    chained.resize((size_t)at);
    orbek_data_blob *blob = nullptr;
    if (chain_ok && (extra & ORBEK_B64_NO_PAD) && (chain_ok = orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, nullptr) == 1))
        chained.append(reinterpret_cast<char *>(blob->data), (size_t)blob->length);
    chain_ok = chain_ok && orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, nullptr) == 1;
    orbek_data_blob_free(blob);
    orbek_stream_freeall(b);
    if (chain_ok != ok || (ok && chained != std::string(reinterpret_cast<char *>(bytes), (size_t)len))) abort();

    std::string canonical;
    for (int32_t i = 0; i < n; ++i)  // line breaks skipped from tolerance 2, blanks at 3
        if (!(memchr("\r\n", text[i], 2) && tolerance >= 2) && !(memchr(" \t", text[i], 2) && tolerance == 3))
            canonical += text[i];
    char *again = nullptr;
    int32_t again_len = 0;
    if (ok && len == 0 && !canonical.empty()) abort();
    if (ok && len > 0 && (orbek_base64encode(ORBEK_B64_NO_BREAKS | extra, bytes, len, &again, &again_len) != 1 ||
                          canonical != std::string(again, (size_t)again_len)))
        abort();
    orbek_free(again);
    orbek_free(bytes);
    return 0;
}
