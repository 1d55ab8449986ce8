// Base64 decoder at every tolerance, with and without padding, both
// alphabets.  The first byte picks the flags; the rest is the text.
//
// Checks: the one-shot decoder and a filter chain read in odd-sized pieces
// agree; whatever decodes is the canonical text of its bytes once the
// skipped characters are removed (decoding is one-to-one), so re-encoding
// gives that text back.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "orbek_util.h"

namespace {

bool skipped(uint8_t c, uint32_t tolerance) {
    if (c == '\r' || c == '\n') return tolerance >= 2;
    if (c == ' ' || c == '\t') return tolerance == 3;
    return false;
}

// The chain's answer: 1 with the bytes, or 0.
int chain_decode(uint32_t flags, const uint8_t *text, size_t n, size_t piece, std::string *out) {
    orbek_stream *src = orbek_stream_new_romem(text, (int32_t)n, 0, nullptr);
    orbek_stream *b = orbek_stream_new_base64(2, 64, flags, nullptr);
    if (!src || !b || orbek_stream_push(b, src) != 1) abort();
    uint8_t buf[300];
    int ok = 1;
    for (;;) {
        int32_t got = 0;
        if (orbek_stream_read(b, buf, (int32_t)piece, &got, nullptr) != 1) {
            ok = 0;
            break;
        }
        if (got == 0) break;
        out->append(reinterpret_cast<char *>(buf), (size_t)got);
    }
    if (ok && (flags & ORBEK_B64_NO_PAD)) {
        orbek_data_blob *blob = nullptr;
        ok = orbek_stream_ctrl(b, ORBEK_CTRL_BASE64_FINISH, &blob, nullptr) == 1;
        if (ok) out->append(reinterpret_cast<char *>(blob->data), (size_t)blob->length);
        orbek_data_blob_free(blob);
    }
    if (ok) ok = orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, nullptr) == 1;
    orbek_stream_freeall(b);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 100000) return 0;
    const uint8_t sel = data[0];
    const uint32_t tolerance = 1 + sel % 3;
    const uint32_t extra = (sel & 0x10 ? ORBEK_B64_NO_PAD : 0) | (sel & 0x20 ? ORBEK_B64_URL : 0);
    const uint32_t flags = tolerance | extra;
    const size_t piece = 1 + (sel >> 6) * 97;
    const uint8_t *text = data + 1;
    const size_t n = size - 1;
    if (n == 0) return 0;

    uint8_t *bytes = nullptr;
    int32_t len = 0;
    int ok = orbek_base64decode(flags, reinterpret_cast<const char *>(text), (int32_t)n, &bytes, &len);
    std::string chained;
    if (chain_decode(flags, text, n, piece, &chained) != ok) abort();
    if (!ok) return 0;
    if (chained.size() != (size_t)len || memcmp(chained.data(), bytes, (size_t)len) != 0) abort();

    std::string canonical;
    for (size_t i = 0; i < n; ++i)
        if (!skipped(text[i], tolerance)) canonical += (char)text[i];
    if (len == 0) {
        if (!canonical.empty()) abort();
    } else {
        char *again = nullptr;
        int32_t again_len = 0;
        if (orbek_base64encode(ORBEK_B64_NO_BREAKS | extra, bytes, len, &again, &again_len) != 1) abort();
        if (canonical != std::string(again, (size_t)again_len)) abort();
        orbek_free(again);
    }
    orbek_free(bytes);
    return 0;
}
