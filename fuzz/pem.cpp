// PEM decoder.  The first byte gives the label's length (up to 15 bytes
// taken from the input), the rest is the text.  Whatever decodes must
// survive a round trip through the encoder.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "orbek_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 100000) return 0;
    size_t l = data[0] % 16;
    if (size < 1 + l) return 0;
    std::string label(reinterpret_cast<const char *>(data + 1), l);
    label = std::string(label.c_str());  // the label ends at a NUL
    const char *text = reinterpret_cast<const char *>(data + 1 + l);
    const int32_t n = (int32_t)(size - 1 - l);

    uint8_t *bytes = nullptr;
    int32_t len = 0;
    if (orbek_pemdecode(label.c_str(), text, n, &bytes, &len) != 1) return 0;
    if (label.empty()) abort();
    if (len > 0) {
        char *pem = nullptr;
        int32_t pem_len = 0;
        if (orbek_pemencode(label.c_str(), bytes, len, &pem, &pem_len) != 1) abort();
        uint8_t *back = nullptr;
        int32_t back_len = 0;
        if (orbek_pemdecode(label.c_str(), pem, pem_len, &back, &back_len) != 1) abort();
        if (back_len != len || memcmp(back, bytes, (size_t)len) != 0) abort();
        orbek_free(back);
        orbek_free(pem);
    }
    orbek_free(bytes);
    return 0;
}
