// PEM decoder.  The first byte gives the label's length (up to 15 bytes
// taken from the input), the rest is the text.  Whatever decodes must
// survive a round trip through the encoder.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "orbek_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    size_t l = size ? data[0] % 16u : 0;
    if (size < 1 + l || size > 100000) return 0;
    std::string label(reinterpret_cast<const char *>(data + 1), l);
    label = std::string(label.c_str());  // the label ends at a NUL
    uint8_t *bytes = nullptr, *back = nullptr;
    char *pem = nullptr;
    int32_t len = 0, pem_len = 0, back_len = 0;
    if (orbek_pemdecode(label.c_str(), reinterpret_cast<const char *>(data + 1 + l), (int32_t)(size - 1 - l), &bytes,
                        &len) != 1)
        return 0;
    if (label.empty()) abort();
    if (len > 0 && (orbek_pemencode(label.c_str(), bytes, len, &pem, &pem_len) != 1 ||
                    orbek_pemdecode(label.c_str(), pem, pem_len, &back, &back_len) != 1 || back_len != len ||
                    memcmp(back, bytes, (size_t)len) != 0))
        abort();
    orbek_free(back);
    orbek_free(pem);
    orbek_free(bytes);
    return 0;
}
