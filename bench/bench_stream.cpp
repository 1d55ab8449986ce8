// Base64 and hex: the one-shot codecs against OpenSSL's EVP_EncodeBlock and
// EVP_DecodeBlock, and the same work through a filter chain.
//
// Both sides encode 1 MiB of random bytes without line breaks (the form
// EVP_EncodeBlock writes) and decode that text back.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "orbek_util.h"

namespace {

constexpr int32_t kSize = 1 << 20;

const std::vector<uint8_t> &input() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(kSize);
        std::mt19937 rng(42);
        for (auto &b : v) b = (uint8_t)rng();
        return v;
    }();
    return data;
}

const std::string &text() {
    static const std::string t = [] {
        char *out = nullptr;
        int32_t len = 0;
        if (orbek_base64encode(ORBEK_B64_NO_BREAKS, input().data(), kSize, &out, &len) != 1) abort();
        std::string s(out, (size_t)len);
        orbek_free(out);
        return s;
    }();
    return t;
}

void BM_Base64Encode_Orbek(benchmark::State &state) {
    for (auto _ : state) {
        char *out = nullptr;
        int32_t len = 0;
        if (orbek_base64encode(ORBEK_B64_NO_BREAKS, input().data(), kSize, &out, &len) != 1) state.SkipWithError("encode");
        benchmark::DoNotOptimize(out);
        orbek_free(out);
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

void BM_Base64Encode_OpenSSL(benchmark::State &state) {
    std::vector<unsigned char> out(kSize / 3 * 4 + 8);
    for (auto _ : state) {
        int n = EVP_EncodeBlock(out.data(), input().data(), kSize);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

// One-shot with CRLF lines of 64 characters, the library's PEM layout.
void BM_Base64EncodeLines_Orbek(benchmark::State &state) {
    for (auto _ : state) {
        char *out = nullptr;
        int32_t len = 0;
        if (orbek_base64encode(ORBEK_B64_CRLF, input().data(), kSize, &out, &len) != 1) state.SkipWithError("encode");
        benchmark::DoNotOptimize(out);
        orbek_free(out);
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

// Push a Base64 filter onto a memory stream, write, flush, detach.
void BM_Base64Encode_OrbekChain(benchmark::State &state) {
    for (auto _ : state) {
        orbek_stream *m = orbek_stream_new_mem(2 * kSize, nullptr);
        orbek_stream *b = orbek_stream_new_base64(ORBEK_B64_NO_BREAKS, 64, 2, nullptr);
        orbek_stream_push(b, m);
        if (orbek_stream_writen(b, input().data(), kSize, nullptr) != 1 ||
            orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, nullptr) != 1)
            state.SkipWithError("chain");
        uint8_t *out = nullptr;
        int32_t len = 0;
        orbek_memstreamdeatch(m, &out, &len);
        benchmark::DoNotOptimize(out);
        orbek_free(out);
        orbek_stream_freeall(b);
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

void BM_Base64Decode_Orbek(benchmark::State &state) {
    const std::string &t = text();
    for (auto _ : state) {
        uint8_t *out = nullptr;
        int32_t len = 0;
        if (orbek_base64decode(ORBEK_B64_SKIP_BREAKS, t.data(), (int32_t)t.size(), &out, &len) != 1)
            state.SkipWithError("decode");
        benchmark::DoNotOptimize(out);
        orbek_free(out);
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

void BM_Base64Decode_OpenSSL(benchmark::State &state) {
    const std::string &t = text();
    std::vector<unsigned char> out(t.size() / 4 * 3 + 8);
    for (auto _ : state) {
        int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char *>(t.data()), (int)t.size());
        if (n < 0) state.SkipWithError("decode");
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

// A read-only view under a Base64 filter, read in 8192-byte chunks into a
// memory stream.
void BM_Base64Decode_OrbekChain(benchmark::State &state) {
    const std::string &t = text();
    std::vector<uint8_t> chunk(8192);
    for (auto _ : state) {
        orbek_stream *src = orbek_stream_new_romem(reinterpret_cast<const uint8_t *>(t.data()), (int32_t)t.size(), 0, nullptr);
        orbek_stream *b = orbek_stream_new_base64(2, 64, ORBEK_B64_SKIP_BREAKS, nullptr);
        orbek_stream *m = orbek_stream_new_mem((int32_t)t.size() / 4 * 3, nullptr);
        orbek_stream_push(b, src);
        for (;;) {
            int32_t got = 0;
            if (orbek_stream_read(b, chunk.data(), 8192, &got, nullptr) != 1 || got == 0) break;
            orbek_stream_writen(m, chunk.data(), got, nullptr);
        }
        if (orbek_stream_ctrl(b, ORBEK_CTRL_AT_END, nullptr, nullptr) != 1) state.SkipWithError("chain");
        uint8_t *out = nullptr;
        int32_t len = 0;
        orbek_memstreamdeatch(m, &out, &len);
        benchmark::DoNotOptimize(out);
        orbek_free(out);
        orbek_stream_free(m);
        orbek_stream_freeall(b);
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

void BM_HexEncode_Orbek(benchmark::State &state) {
    for (auto _ : state) {
        char *out = nullptr;
        int32_t len = 0;
        orbek_hexencode(0, input().data(), kSize, &out, &len);
        benchmark::DoNotOptimize(out);
        orbek_free(out);
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

void BM_HexDecode_Orbek(benchmark::State &state) {
    static const std::string hex = [] {
        char *out = nullptr;
        int32_t len = 0;
        orbek_hexencode(0, input().data(), kSize, &out, &len);
        std::string s(out, (size_t)len);
        orbek_free(out);
        return s;
    }();
    for (auto _ : state) {
        uint8_t *out = nullptr;
        int32_t len = 0;
        if (orbek_hexdecode(hex.data(), (int32_t)hex.size(), &out, &len) != 1) state.SkipWithError("decode");
        benchmark::DoNotOptimize(out);
        orbek_free(out);
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

}  // namespace

BENCHMARK(BM_Base64Encode_Orbek);
BENCHMARK(BM_Base64Encode_OpenSSL);
BENCHMARK(BM_Base64Encode_OrbekChain);
BENCHMARK(BM_Base64EncodeLines_Orbek);
BENCHMARK(BM_Base64Decode_Orbek);
BENCHMARK(BM_Base64Decode_OpenSSL);
BENCHMARK(BM_Base64Decode_OrbekChain);
BENCHMARK(BM_HexEncode_Orbek);
BENCHMARK(BM_HexDecode_Orbek);

BENCHMARK_MAIN();
