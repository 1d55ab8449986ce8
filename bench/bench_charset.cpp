// Code-page conversions against glibc's iconv and ICU's ucnv on 1 MiB of
// text in code pages 1252 (French and German), 1251 (Russian) and 936
// (Chinese), decoding and encoding.  Every side opens its converter, takes
// its output buffer from the heap and releases both on every call, as a
// one-shot conversion does; the library's side also builds (or reads) a
// ustring.  The heap keeps freed memory mapped, so that page faults do not
// blur the conversion itself.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <malloc.h>
#include <stdlib.h>
#include <unicode/ucnv.h>

#include <string>
#include <vector>

#include "orbek_util.h"

namespace {

constexpr size_t kTextBytes = 1 << 20;

struct Page {
    const char *label;
    const char *orbek;  // the library's charset name
    const char *iconv;
    const char *icu;
};
const Page kPages[3] = {
    {"1252", "WINDOWS-1252", "CP1252", "windows-1252"},
    {"1251", "WINDOWS-1251", "CP1251", "windows-1251"},
    {"936", "GBK", "CP936", "windows-936"},
};

// Words of 2 to 9 characters from pick(), spaces (or stops) between them
// and now and then a line end, as UTF-16 units until the page's bytes reach
// 1 MiB (one byte per character in 1252 and 1251, two per ideograph in 936).
template <typename Pick>
std::u16string make_text(Pick pick, size_t bytes_per_char, char16_t space, char16_t stop) {
    std::u16string out;
    uint32_t r = 12345;
    auto next = [&r] { return r = r * 1103515245u + 12345u, r >> 8; };
    size_t bytes = 0;
    while (bytes < kTextBytes) {
        int len = 2 + (int)(next() % 8);
        for (int i = 0; i < len; ++i) out += pick(next());
        out += next() % 12 == 0 ? stop : space;
        bytes += (size_t)len * bytes_per_char + bytes_per_char;
        if (next() % 15 == 0) out += u'\n', ++bytes;
    }
    return out;
}

struct Text {
    std::u16string units;
    std::string bytes;
    orbek_ustring *s = nullptr;
};

const Text &text(int kind) {
    static Text cache[3];
    Text &t = cache[kind];
    if (t.s) return t;
    if (kind == 0)
        t.units = make_text([](uint32_t x) -> char16_t {
            static const char16_t accented[] = {0xE9, 0xE8, 0xEA, 0xE0, 0xE7, 0xF4, 0xFC, 0xF6, 0xE4, 0xDF};
            return x % 6 == 0 ? accented[(x / 6) % 10] : (char16_t)('a' + x % 26);
        }, 1, u' ', u'.');
    else if (kind == 1)
        t.units = make_text([](uint32_t x) { return (char16_t)(x % 9 == 0 ? 0x410 + x % 32 : 0x430 + x % 32); }, 1,
                            u' ', u'.');
    else
        t.units = make_text([](uint32_t x) { return (char16_t)(0x4E00 + x % 0x5000); }, 2, 0x3001, 0x3002);
    t.s = orbek_ustring_newlength(reinterpret_cast<const uint16_t *>(t.units.data()), (int32_t)t.units.size());
    uint8_t *b = nullptr;
    int32_t n = 0;
    if (!t.s || !orbek_ustring_tombs(t.s, kPages[kind].orbek, &b, &n)) abort();
    t.bytes.assign(reinterpret_cast<char *>(b), (size_t)n);
    orbek_free(b);
    return t;
}

void label(benchmark::State &state, int kind) {
    state.SetLabel(kPages[kind].label);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text(kind).bytes.size());
}

void Decode_Orbek(benchmark::State &state) {
    int kind = (int)state.range(0);
    const Text &t = text(kind);
    for (auto _ : state) {
        orbek_ustring *s =
            orbek_ustring_newmbs(kPages[kind].orbek, reinterpret_cast<const uint8_t *>(t.bytes.data()),
                                 (int32_t)t.bytes.size());
        if (orbek_ustring_getcharcount(s) != (int32_t)t.units.size()) state.SkipWithError("newmbs failed");
        orbek_ustring_free(s);
    }
    label(state, kind);
}

void Decode_Iconv(benchmark::State &state) {
    int kind = (int)state.range(0);
    const Text &t = text(kind);
    for (auto _ : state) {
        iconv_t cd = iconv_open("UTF-16LE", kPages[kind].iconv);
        size_t room = t.bytes.size() * 2 + 2, left = t.bytes.size();
        char *buf = static_cast<char *>(malloc(room)), *dst = buf;
        char *src = const_cast<char *>(t.bytes.data());
        if (iconv(cd, &src, &left, &dst, &room) == (size_t)-1) state.SkipWithError("iconv failed");
        benchmark::DoNotOptimize(buf);
        free(buf);
        iconv_close(cd);
    }
    label(state, kind);
}

void Decode_Icu(benchmark::State &state) {
    int kind = (int)state.range(0);
    const Text &t = text(kind);
    for (auto _ : state) {
        UErrorCode err = U_ZERO_ERROR;
        UConverter *cnv = ucnv_open(kPages[kind].icu, &err);
        int32_t cap = (int32_t)t.bytes.size() + 1;
        UChar *buf = static_cast<UChar *>(malloc((size_t)cap * sizeof(UChar)));
        ucnv_toUChars(cnv, buf, cap, t.bytes.data(), (int32_t)t.bytes.size(), &err);
        if (U_FAILURE(err)) state.SkipWithError("ucnv_toUChars failed");
        benchmark::DoNotOptimize(buf);
        free(buf);
        ucnv_close(cnv);
    }
    label(state, kind);
}

void Encode_Orbek(benchmark::State &state) {
    int kind = (int)state.range(0);
    const Text &t = text(kind);
    for (auto _ : state) {
        uint8_t *out = nullptr;
        int32_t n = 0;
        if (!orbek_ustring_tombs(t.s, kPages[kind].orbek, &out, &n)) state.SkipWithError("tombs failed");
        benchmark::DoNotOptimize(out);
        orbek_free(out);
    }
    label(state, kind);
}

void Encode_Iconv(benchmark::State &state) {
    int kind = (int)state.range(0);
    const Text &t = text(kind);
    for (auto _ : state) {
        iconv_t cd = iconv_open(kPages[kind].iconv, "UTF-16LE");
        size_t left = t.units.size() * 2, room = t.units.size() * 4 + 1;
        char *buf = static_cast<char *>(malloc(room)), *dst = buf;
        char *src = reinterpret_cast<char *>(const_cast<char16_t *>(t.units.data()));
        if (iconv(cd, &src, &left, &dst, &room) == (size_t)-1) state.SkipWithError("iconv failed");
        benchmark::DoNotOptimize(buf);
        free(buf);
        iconv_close(cd);
    }
    label(state, kind);
}

void Encode_Icu(benchmark::State &state) {
    int kind = (int)state.range(0);
    const Text &t = text(kind);
    for (auto _ : state) {
        UErrorCode err = U_ZERO_ERROR;
        UConverter *cnv = ucnv_open(kPages[kind].icu, &err);
        int32_t cap = (int32_t)t.units.size() * 4 + 1;
        char *buf = static_cast<char *>(malloc((size_t)cap));
        ucnv_fromUChars(cnv, buf, cap, t.units.data(), (int32_t)t.units.size(), &err);
        if (U_FAILURE(err)) state.SkipWithError("ucnv_fromUChars failed");
        benchmark::DoNotOptimize(buf);
        free(buf);
        ucnv_close(cnv);
    }
    label(state, kind);
}

}  // namespace

BENCHMARK(Decode_Orbek)->DenseRange(0, 2);
BENCHMARK(Decode_Iconv)->DenseRange(0, 2);
BENCHMARK(Decode_Icu)->DenseRange(0, 2);
BENCHMARK(Encode_Orbek)->DenseRange(0, 2);
BENCHMARK(Encode_Iconv)->DenseRange(0, 2);
BENCHMARK(Encode_Icu)->DenseRange(0, 2);

int main(int argc, char **argv) {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
