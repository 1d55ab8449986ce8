// NFC and NFD against ICU's unorm2_normalize, case folding against
// u_strFoldCase, on 1 MiB (as UTF-8) of composed Latin, decomposed Latin,
// Hangul and mixed-script text.  Both sides start from UTF-16 in memory and
// allocate their output on every call (ICU into a malloc'd buffer of the
// worst-case size); the library hands back the same string when the text is
// already in the form, which is its quick-check path.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <string>
#include <vector>

#include "orbek_util.h"

namespace {

constexpr size_t kTextBytes = 1 << 20;

void put_utf8(std::string &out, uint32_t c) {
    if (c < 0x80) {
        out += (char)c;
    } else if (c < 0x800) {
        out += (char)(0xC0 | c >> 6);
        out += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += (char)(0xE0 | c >> 12);
        out += (char)(0x80 | (c >> 6 & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    } else {
        out += (char)(0xF0 | c >> 18);
        out += (char)(0x80 | (c >> 12 & 0x3F));
        out += (char)(0x80 | (c >> 6 & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    }
}

// Words of 2 to 9 characters separated by spaces, now and then a line end;
// pick(r, out) appends one character (or a character and its marks).
template <typename Pick>
std::string make_text(Pick pick) {
    std::string out;
    uint32_t r = 12345;
    auto next = [&r] { return r = r * 1103515245u + 12345u, r >> 8; };
    while (out.size() < kTextBytes) {
        int len = 2 + (int)(next() % 8);
        for (int i = 0; i < len; ++i) pick(next(), out);
        put_utf8(out, next() % 12 == 0 ? '.' : ' ');
        if (next() % 15 == 0) put_utf8(out, '\n');
    }
    return out;
}

// French, German, Vietnamese-like Latin: about one letter in five accented,
// some with two marks.
const uint32_t kAccented[][3] = {{0xE9, 0x65, 0x301}, {0xE8, 0x65, 0x300}, {0xEA, 0x65, 0x302},
                                 {0xE0, 0x61, 0x300}, {0xE7, 0x63, 0x327}, {0xF4, 0x6F, 0x302},
                                 {0xFC, 0x75, 0x308}, {0xF6, 0x6F, 0x308}, {0x1EC7, 0x65, 0x323},
                                 {0x1EA1, 0x61, 0x323}};

void latin(uint32_t x, std::string &out, bool decomposed) {
    if (x % 5) return put_utf8(out, 'a' + x % 26);
    const uint32_t *a = kAccented[(x / 5) % 10];
    if (!decomposed) return put_utf8(out, a[0]);
    put_utf8(out, a[1]);
    put_utf8(out, a[2]);
    if (a[0] == 0x1EC7) put_utf8(out, 0x302);  // e + dot below + circumflex
}

const char *const kNames[4] = {"latin", "latin-nfd", "hangul", "mixed"};

struct Text {
    orbek_ustring *s = nullptr;
    std::vector<UChar> units;
    size_t bytes = 0;
};

const Text &text(int kind) {
    static Text cache[4];
    Text &c = cache[kind];
    if (c.s) return c;
    std::string t;
    switch (kind) {
    case 0:
        t = make_text([](uint32_t x, std::string &o) { latin(x, o, false); });
        break;
    case 1:
        t = make_text([](uint32_t x, std::string &o) { latin(x, o, true); });
        break;
    case 2:
        t = make_text([](uint32_t x, std::string &o) { put_utf8(o, 0xAC00 + x % 11172); });
        break;
    default:
        // Composed Latin, Greek with tonos, Cyrillic, CJK, Hangul, Arabic.
        t = make_text([](uint32_t x, std::string &o) {
            static const uint32_t base[] = {0x61, 0x3B1, 0x430, 0x4E00, 0xAC00, 0x627};
            static const uint32_t span[] = {26, 25, 32, 0x5000, 11172, 26};
            uint32_t script = (x >> 16) % 6;
            if (script == 0) return latin(x, o, false);
            if (script == 1 && x % 7 == 0) return put_utf8(o, 0x3AC + x % 4);
            put_utf8(o, base[script] + x % span[script]);
        });
    }
    c.bytes = t.size();
    c.s = orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(t.data()), (int32_t)t.size());
    uint16_t *u = nullptr;
    int32_t n = 0;
    orbek_ustring_toutf16(c.s, &u, &n);
    c.units.assign(u, u + n);
    orbek_free(u);
    return c;
}

void label(benchmark::State &state, int kind) {
    state.SetLabel(kNames[kind]);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text(kind).bytes);
}

template <int32_t Form>
void Norm_Orbek(benchmark::State &state) {
    const Text &t = text((int)state.range(0));
    for (auto _ : state) {
        orbek_ustring *r = orbek_ustring_normalize(t.s, Form);
        if (!r) state.SkipWithError("normalize failed");
        benchmark::DoNotOptimize(r);
        orbek_ustring_free(r);
    }
    label(state, (int)state.range(0));
}

template <int32_t Form>
void Norm_Icu(benchmark::State &state) {
    const Text &t = text((int)state.range(0));
    UErrorCode err = U_ZERO_ERROR;
    const UNormalizer2 *n2 = Form == ORBEK_USTRING_NFC ? unorm2_getNFCInstance(&err) : unorm2_getNFDInstance(&err);
    int32_t len = (int32_t)t.units.size();
    for (auto _ : state) {
        int32_t cap = len * 3 + 1;  // Hangul syllables decompose to three jamo
        UChar *out = static_cast<UChar *>(malloc((size_t)cap * sizeof(UChar)));
        int32_t n = unorm2_normalize(n2, t.units.data(), len, out, cap, &err);
        if (U_FAILURE(err)) state.SkipWithError("unorm2_normalize failed");
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(out);
        free(out);
    }
    label(state, (int)state.range(0));
}

void Fold_Orbek(benchmark::State &state) {
    const Text &t = text((int)state.range(0));
    for (auto _ : state) {
        orbek_ustring *r = orbek_ustring_tocasefold(t.s, ORBEK_USTRING_FOLD);
        if (!r) state.SkipWithError("tocasefold failed");
        benchmark::DoNotOptimize(r);
        orbek_ustring_free(r);
    }
    label(state, (int)state.range(0));
}

void Fold_Icu(benchmark::State &state) {
    const Text &t = text((int)state.range(0));
    int32_t len = (int32_t)t.units.size();
    for (auto _ : state) {
        int32_t cap = len * 3 + 1;  // a folding has at most three characters
        UChar *out = static_cast<UChar *>(malloc((size_t)cap * sizeof(UChar)));
        UErrorCode err = U_ZERO_ERROR;
        int32_t n = u_strFoldCase(out, cap, t.units.data(), len, U_FOLD_CASE_DEFAULT, &err);
        if (U_FAILURE(err)) state.SkipWithError("u_strFoldCase failed");
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(out);
        free(out);
    }
    label(state, (int)state.range(0));
}

}  // namespace

BENCHMARK_TEMPLATE(Norm_Orbek, ORBEK_USTRING_NFC)->DenseRange(0, 3);
BENCHMARK_TEMPLATE(Norm_Icu, ORBEK_USTRING_NFC)->DenseRange(0, 3);
BENCHMARK_TEMPLATE(Norm_Orbek, ORBEK_USTRING_NFD)->DenseRange(0, 3);
BENCHMARK_TEMPLATE(Norm_Icu, ORBEK_USTRING_NFD)->DenseRange(0, 3);
BENCHMARK(Fold_Orbek)->DenseRange(0, 3);
BENCHMARK(Fold_Icu)->DenseRange(0, 3);

int main(int argc, char **argv) {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
