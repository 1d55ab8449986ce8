// Domain names to ASCII and back against libidn's IDNA 2003 functions
// (idna_to_ascii_8z, idna_to_unicode_8z8z), on 10,000 host names: half
// plain ASCII, half with labels in German, French, Russian, Greek, Chinese,
// Japanese, Korean or Arabic.  Both sides start from UTF-8 and hand back a
// new UTF-8 (or ASCII) string per name, which the loop releases.  Before
// measuring, the two libraries' answers are compared name by name; the
// count of names where they differ is shown as the "differ" counter (the
// library prepares with Unicode 5.0 data, libidn with Unicode 3.2).
#include <benchmark/benchmark.h>
#include <idna.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "orbek_util.h"

namespace {

constexpr int kNames = 10000;

const char *const kAscii[] = {"www", "mail", "example", "server42", "cdn-edge", "api", "login", "static",
                              "images", "shop", "news", "intranet", "db01", "vpn", "Files", "Support"};
const char *const kWords[] = {
    "b\xC3\xBC" "cher", "m\xC3\xBC" "nchen", "stra\xC3\x9F" "e", "K\xC3\xB6ln", "caf\xC3\xA9", "na\xC3\xAF" "ve",
    "\xC3\xA9" "cole", "d\xC3\xA9j\xC3\xA0",
    "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
    "\xCE\xB5\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC",
    "\xE4\xB8\xAD\xE5\x9B\xBD", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xE4\xBE\x8B\xE3\x81\x88",
    "\xED\x95\x9C\xEA\xB5\xAD", "\xD9\x85\xD8\xAB\xD8\xA7\xD9\x84",
};
const char *const kTlds[] = {"com", "org", "net", "de", "fr", "jp", "example", "info"};

const std::vector<std::string> &unicode_names() {
    static std::vector<std::string> names;
    if (names.empty()) {
        uint32_t r = 2024;
        auto next = [&r] { return r = r * 1103515245u + 12345u, r >> 8; };
        for (int i = 0; i < kNames; ++i) {
            std::string n = kAscii[next() % 16];
            if (i % 2) n += std::string(".") + kWords[next() % 16];
            if (next() % 3 == 0) n += std::string(".") + kAscii[next() % 16];
            n += std::string(".") + kTlds[next() % 8];
            names.push_back(n);
        }
    }
    return names;
}

// The names in ASCII form (libidn's answers; the library's are compared with
// them below).
const std::vector<std::string> &ascii_names() {
    static std::vector<std::string> names;
    if (names.empty())
        for (const std::string &u : unicode_names()) {
            char *out = nullptr;
            names.push_back(idna_to_ascii_8z(u.c_str(), &out, 0) == IDNA_SUCCESS ? out : u);
            free(out);
        }
    return names;
}

bool orbek_to_ascii(const std::string &name, std::string *out) {
    orbek_ustring *s = orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(name.data()), (int32_t)name.size());
    char *a = nullptr;
    int32_t len = 0;
    bool ok = s && orbek_ustring_idn_toascii(s, 0, 0, 0, &a, &len);
    if (ok && out) out->assign(a, (size_t)len);
    orbek_free(a);
    orbek_ustring_free(s);
    return ok;
}

bool orbek_to_unicode(const std::string &name, std::string *out) {
    orbek_ustring *s = orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(name.data()), (int32_t)name.size());
    orbek_ustring *u = s ? orbek_ustring_idn_tounicode(s, 0, 0, 0) : nullptr;
    uint8_t *b = nullptr;
    int32_t len = 0;
    bool ok = u && orbek_ustring_toutf8(u, &b, &len);
    if (ok && out) out->assign(reinterpret_cast<char *>(b), (size_t)len);
    orbek_free(b);
    orbek_ustring_free(u);
    orbek_ustring_free(s);
    return ok;
}

void ToAscii_Orbek(benchmark::State &state) {
    const auto &names = unicode_names();
    int differ = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string a;
        differ += !orbek_to_ascii(names[i], &a) || a != ascii_names()[i];
    }
    for (auto _ : state)
        for (const std::string &n : names)
            if (!orbek_to_ascii(n, nullptr)) state.SkipWithError("ToASCII failed");
    state.SetItemsProcessed((int64_t)state.iterations() * kNames);
    state.counters["differ"] = differ;
}

void ToAscii_Libidn(benchmark::State &state) {
    const auto &names = unicode_names();
    for (auto _ : state)
        for (const std::string &n : names) {
            char *out = nullptr;
            if (idna_to_ascii_8z(n.c_str(), &out, 0) != IDNA_SUCCESS) state.SkipWithError("idna_to_ascii_8z failed");
            benchmark::DoNotOptimize(out);
            free(out);
        }
    state.SetItemsProcessed((int64_t)state.iterations() * kNames);
}

void ToUnicode_Orbek(benchmark::State &state) {
    const auto &names = ascii_names();
    int differ = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string u, want;
        char *out = nullptr;
        if (idna_to_unicode_8z8z(names[i].c_str(), &out, 0) == IDNA_SUCCESS) want = out;
        free(out);
        differ += !orbek_to_unicode(names[i], &u) || u != want;
    }
    for (auto _ : state)
        for (const std::string &n : names)
            if (!orbek_to_unicode(n, nullptr)) state.SkipWithError("ToUnicode failed");
    state.SetItemsProcessed((int64_t)state.iterations() * kNames);
    state.counters["differ"] = differ;
}

void ToUnicode_Libidn(benchmark::State &state) {
    const auto &names = ascii_names();
    for (auto _ : state)
        for (const std::string &n : names) {
            char *out = nullptr;
            if (idna_to_unicode_8z8z(n.c_str(), &out, 0) != IDNA_SUCCESS)
                state.SkipWithError("idna_to_unicode_8z8z failed");
            benchmark::DoNotOptimize(out);
            free(out);
        }
    state.SetItemsProcessed((int64_t)state.iterations() * kNames);
}

}  // namespace

BENCHMARK(ToAscii_Orbek)->Unit(benchmark::kMillisecond);
BENCHMARK(ToAscii_Libidn)->Unit(benchmark::kMillisecond);
BENCHMARK(ToUnicode_Orbek)->Unit(benchmark::kMillisecond);
BENCHMARK(ToUnicode_Libidn)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
