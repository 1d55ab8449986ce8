// UTF-8 to ustring and back against ICU's u_strFromUTF8 / u_strToUTF8, on
// 1 MiB of ASCII, Latin, CJK and emoji-heavy text.  Both sides allocate
// their output on every call (ICU into a buffer of the same worst-case size
// the library takes), so the comparison is conversion plus allocation.  The
// heap is told to keep freed memory mapped, so that neither side pays for
// page faults on every call and the conversion itself is what differs.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
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

// Words of 2 to 9 characters, each followed by a space (or a full stop)
// and now and then a line end; pick(r) chooses each character.
template <typename Pick>
std::string make_text(Pick pick, uint32_t space = ' ', uint32_t stop = '.') {
    std::string out;
    uint32_t r = 12345;
    auto next = [&r] { return r = r * 1103515245u + 12345u, r >> 8; };
    while (out.size() < kTextBytes) {
        int len = 2 + (int)(next() % 8);
        for (int i = 0; i < len; ++i) put_utf8(out, pick(next()));
        put_utf8(out, next() % 12 == 0 ? stop : space);
        if (next() % 15 == 0) put_utf8(out, '\n');
    }
    return out;
}

const std::string &text(int kind) {
    static const std::string texts[4] = {
        // ASCII: English-like letters.
        make_text([](uint32_t x) { return (uint32_t)('a' + x % 26); }),
        // Latin: French and German, about one letter in six accented.
        make_text([](uint32_t x) {
            static const uint32_t accented[] = {0xE9, 0xE8, 0xEA, 0xE0, 0xE7, 0xF4, 0xFC, 0xF6, 0xE4, 0xDF};
            return x % 6 == 0 ? accented[(x / 6) % 10] : (uint32_t)('a' + x % 26);
        }),
        // CJK: unified ideographs, with ideographic commas and full stops
        // between the words as Chinese and Japanese text has them.
        make_text([](uint32_t x) { return 0x4E00 + x % 0x5000; }, 0x3001, 0x3002),
        // Emoji-heavy: pictographs from the supplementary planes with some
        // ASCII in between.
        make_text([](uint32_t x) { return x % 4 == 0 ? (uint32_t)('a' + x % 26) : 0x1F300 + x % 0x300; }),
    };
    return texts[kind];
}

const char *const kNames[4] = {"ascii", "latin", "cjk", "emoji"};

void label(benchmark::State &state, int kind) {
    state.SetLabel(kNames[kind]);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text(kind).size());
}

void FromUtf8_Orbek(benchmark::State &state) {
    const std::string &t = text((int)state.range(0));
    for (auto _ : state) {
        orbek_ustring *s = orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(t.data()), (int32_t)t.size());
        if (!s) state.SkipWithError("newutf8 failed");
        benchmark::DoNotOptimize(s);
        orbek_ustring_free(s);
    }
    label(state, (int)state.range(0));
}

void FromUtf8_Icu(benchmark::State &state) {
    const std::string &t = text((int)state.range(0));
    for (auto _ : state) {
        int32_t cap = (int32_t)t.size() + 1;
        UChar *buf = static_cast<UChar *>(malloc((size_t)cap * sizeof(UChar)));
        int32_t n = 0;
        UErrorCode err = U_ZERO_ERROR;
        u_strFromUTF8(buf, cap, &n, t.data(), (int32_t)t.size(), &err);
        if (U_FAILURE(err)) state.SkipWithError("u_strFromUTF8 failed");
        benchmark::DoNotOptimize(buf);
        free(buf);
    }
    label(state, (int)state.range(0));
}

// The same text as UTF-16, for the encoders.
struct Utf16 {
    orbek_ustring *s;
    std::vector<UChar> units;
};

const Utf16 &utf16(int kind) {
    static Utf16 cache[4];
    Utf16 &c = cache[kind];
    if (!c.s) {
        const std::string &t = text(kind);
        c.s = orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(t.data()), (int32_t)t.size());
        uint16_t *u = nullptr;
        int32_t n = 0;
        orbek_ustring_toutf16(c.s, &u, &n);
        c.units.assign(u, u + n);
        orbek_free(u);
    }
    return c;
}

void ToUtf8_Orbek(benchmark::State &state) {
    const Utf16 &u = utf16((int)state.range(0));
    for (auto _ : state) {
        uint8_t *out = nullptr;
        int32_t n = 0;
        if (!orbek_ustring_toutf8(u.s, &out, &n)) state.SkipWithError("toutf8 failed");
        benchmark::DoNotOptimize(out);
        orbek_free(out);
    }
    label(state, (int)state.range(0));
}

void ToUtf8_Icu(benchmark::State &state) {
    const Utf16 &u = utf16((int)state.range(0));
    for (auto _ : state) {
        int32_t cap = (int32_t)u.units.size() * 3 + 1;
        char *out = static_cast<char *>(malloc((size_t)cap));
        int32_t n = 0;
        UErrorCode err = U_ZERO_ERROR;
        u_strToUTF8(out, cap, &n, u.units.data(), (int32_t)u.units.size(), &err);
        if (U_FAILURE(err)) state.SkipWithError("u_strToUTF8 failed");
        benchmark::DoNotOptimize(out);
        free(out);
    }
    label(state, (int)state.range(0));
}

}  // namespace

BENCHMARK(FromUtf8_Orbek)->DenseRange(0, 3);
BENCHMARK(FromUtf8_Icu)->DenseRange(0, 3);
BENCHMARK(ToUtf8_Orbek)->DenseRange(0, 3);
BENCHMARK(ToUtf8_Icu)->DenseRange(0, 3);

int main(int argc, char **argv) {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
