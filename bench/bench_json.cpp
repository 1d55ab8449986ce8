// JSON decoding and compact encoding against cJSON and jansson, on the same
// four documents in one run: many small objects, long escaped non-ASCII
// strings, a document nested 150 deep, and an object of escape-dense
// strings.  The libraries share one heap in one run; for ratios that no
// earlier benchmark's heap state colours, run each in its own process with
// --benchmark_filter (scripts/bench_json.sh does).
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>
#include <jansson.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "orbek_util.h"

namespace {

// About 1 MiB of small records with short strings and integers.
std::string small_objects() {
    std::string s = "[";
    static const char *names[] = {"alpha", "beta", "gamma", "delta", "omega", "kappa"};
    for (int i = 0; s.size() < (1u << 20); ++i) {
        char buf[200];
        snprintf(buf, sizeof buf,
                 "%s{\"id\":%d,\"name\":\"%s\",\"count\":%d,\"ok\":%s,\"tag\":\"t%d\",\"score\":%d}",
                 i ? "," : "", i, names[i % 6], (i * 7919) % 100000, i % 3 ? "true" : "false", i % 97,
                 -(i % 1000));
        s += buf;
    }
    return s + "]";
}

// About 1 MiB of long strings mixing ASCII, escapes and multi-byte text.
std::string long_strings() {
    static const char *pieces[] = {
        "The quick brown fox jumps over the lazy dog. ",
        "Fran\xC3\xA7" "ais: \xC3\xA9t\xC3\xA9 \xC3\xA0 la plage, ",
        "\\\"quoted\\\" and a back\\\\slash\\n",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88 ",
        "tab\\there \\u00e9\\u4e2d ",
        "\xF0\x9F\x98\x80 emoji \xF0\x9F\x8E\x89 ",
        "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9 \xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82. ",
    };
    std::string s = "[";
    for (int i = 0; s.size() < (1u << 20); ++i) {
        if (i) s += ",";
        s += "\"";
        for (int k = 0; k < 60; ++k) s += pieces[(i + k) % 7];
        s += "\"";
    }
    return s + "]";
}

// Objects nested 150 deep, each with a few members beside the next level.
std::string nested() {
    std::string s;
    for (int i = 0; i < 150; ++i) {
        char buf[120];
        snprintf(buf, sizeof buf, "{\"level\":%d,\"name\":\"node %d\",\"flags\":[true,false,null],\"next\":", i, i);
        s += buf;
    }
    s += "null";
    for (int i = 0; i < 150; ++i) s += "}";
    return s;
}

// About 1 MiB: an object whose members are strings of about 2 KiB where one
// token in three is an escape (the short ones, \u escapes of one, two and
// three UTF-8 bytes, surrogate pairs) and the others are short ASCII words
// and multi-byte words, one space apart.
std::string escape_dense() {
    static const char *escapes[] = {"\\\"", "\\\\", "\\n", "\\t", "\\/", "\\r", "\\b",
                                    "\\u001f", "\\u00e9", "\\u4e2d", "\\ud83d\\ude00"};
    static const char *words[] = {"id", "the", "value", "of", "json", "map", "key", "row",
                                  "\xC3\xA9", "\xC3\x9F", "\xE4\xB8\xAD\xE6\x96\x87",
                                  "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xF0\x9F\x98\x80",
                                  "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1"};
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    std::string s = "{";
    for (int i = 0; s.size() < (1u << 20); ++i) {
        char key[32];
        snprintf(key, sizeof key, "%s\"member%d\":\"", i ? "," : "", i);
        s += key;
        const size_t start = s.size();
        for (int t = 0; s.size() - start < 2048; ++t) {
            if (t) s += ' ';
            s += t % 3 == 2 ? escapes[next(11)] : words[next(14)];
        }
        s += '"';
    }
    return s + "}";
}

const std::string &doc(int which) {
    static const std::string docs[4] = {small_objects(), long_strings(), nested(), escape_dense()};
    return docs[which];
}

void set_bytes(benchmark::State &st, int which) {
    st.SetBytesProcessed((int64_t)st.iterations() * (int64_t)doc(which).size());
}

void Orbek_Decode(benchmark::State &st) {
    const std::string &d = doc((int)st.range(0));
    for (auto _ : st) {
        orbek_json *v = orbek_json_decode(d.data(), (int32_t)d.size());
        if (!v) st.SkipWithError("decode failed");
        orbek_json_free(v);
    }
    set_bytes(st, (int)st.range(0));
}

void CJSON_Decode(benchmark::State &st) {
    const std::string &d = doc((int)st.range(0));
    for (auto _ : st) {
        cJSON *v = cJSON_ParseWithLength(d.data(), d.size());
        if (!v) st.SkipWithError("decode failed");
        cJSON_Delete(v);
    }
    set_bytes(st, (int)st.range(0));
}

void Jansson_Decode(benchmark::State &st) {
    const std::string &d = doc((int)st.range(0));
    for (auto _ : st) {
        json_error_t err;
        json_t *v = json_loadb(d.data(), d.size(), 0, &err);
        if (!v) st.SkipWithError("decode failed");
        json_decref(v);
    }
    set_bytes(st, (int)st.range(0));
}

void Orbek_Encode(benchmark::State &st) {
    const std::string &d = doc((int)st.range(0));
    orbek_json *v = orbek_json_decode(d.data(), (int32_t)d.size());
    for (auto _ : st) {
        char *text = nullptr;
        int32_t len = 0;
        if (orbek_json_encode(v, 0, &text, &len) != 1) st.SkipWithError("encode failed");
        orbek_free(text);
    }
    orbek_json_free(v);
    set_bytes(st, (int)st.range(0));
}

void CJSON_Encode(benchmark::State &st) {
    const std::string &d = doc((int)st.range(0));
    cJSON *v = cJSON_ParseWithLength(d.data(), d.size());
    for (auto _ : st) {
        char *text = cJSON_PrintUnformatted(v);
        if (!text) st.SkipWithError("encode failed");
        cJSON_free(text);
    }
    cJSON_Delete(v);
    set_bytes(st, (int)st.range(0));
}

void Jansson_Encode(benchmark::State &st) {
    const std::string &d = doc((int)st.range(0));
    json_error_t err;
    json_t *v = json_loadb(d.data(), d.size(), 0, &err);
    for (auto _ : st) {
        char *text = json_dumps(v, JSON_COMPACT);
        if (!text) st.SkipWithError("encode failed");
        free(text);
    }
    json_decref(v);
    set_bytes(st, (int)st.range(0));
}

// Argument: 0 small objects, 1 long strings, 2 nested, 3 escape-dense
// strings.
#define JSON_BENCH(fn) BENCHMARK(fn)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond)
JSON_BENCH(Orbek_Decode);
JSON_BENCH(CJSON_Decode);
JSON_BENCH(Jansson_Decode);
JSON_BENCH(Orbek_Encode);
JSON_BENCH(CJSON_Encode);
JSON_BENCH(Jansson_Encode);

}  // namespace

BENCHMARK_MAIN();
