// SHA-256 of a 64 MiB file: a file stream copied into a digest filter (over
// OpenSSL's SHA-256 as the caller's table) against OpenSSL's EVP fed by
// plain read() calls, in one run.  The file is written once and read from
// the page cache by every iteration of both sides.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/md_tables.h"
#include "orbek_util.h"

namespace {

constexpr size_t kSize = 64u << 20;

const std::string &path() {
    static const std::string p = [] {
        const char *dir = getenv("TMPDIR");
        std::string name = std::string(dir && *dir ? dir : "/tmp") + "/orbek_bench_digest.bin";
        std::vector<unsigned char> block(1 << 20);
        uint32_t seed = 1;
        FILE *f = fopen(name.c_str(), "wb");
        if (!f) abort();
        for (size_t done = 0; done < kSize; done += block.size()) {
            for (auto &b : block) b = (unsigned char)((seed = seed * 1103515245u + 12345u) >> 16);
            if (fwrite(block.data(), 1, block.size(), f) != block.size()) abort();
        }
        fclose(f);
        atexit([] { remove(path().c_str()); });
        return name;
    }();
    return p;
}

// The digest filter over a null stream; finished into out.
orbek_stream *digest_chain() {
    orbek_stream *d = orbek_stream_new_md(cli_openssl_sha(256), nullptr);
    if (!d || orbek_stream_push(d, orbek_stream_new_null(nullptr)) != 1) abort();
    return d;
}

void finish(orbek_stream *d, benchmark::State &state) {
    uint8_t out[32];
    if (orbek_stream_ctrl(d, ORBEK_CTRL_MD_FINISH, out, nullptr) != 1) state.SkipWithError("finish");
    benchmark::DoNotOptimize(out);
    orbek_stream_freeall(d);
}

// The library's copy: the file stream read in chunks of 8192 bytes.
void BM_Sha256File_OrbekCopy(benchmark::State &state) {
    for (auto _ : state) {
        orbek_stream *f = orbek_stream_new_file(path().c_str(), ORBEK_FILE_READ, nullptr);
        orbek_stream *d = digest_chain();
        int32_t total = 0;
        if (!f || orbek_stream_writefromstream(d, f, &total, nullptr) != 1 || (size_t)total != kSize)
            state.SkipWithError("copy");
        orbek_stream_free(f);
        finish(d, state);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)kSize);
}

// The caller's own loop: file stream reads of 64 KiB written down the chain
// (as "orbek digest" could do).
void BM_Sha256File_OrbekRead64K(benchmark::State &state) {
    std::vector<uint8_t> buf(64 * 1024);
    for (auto _ : state) {
        orbek_stream *f = orbek_stream_new_file(path().c_str(), ORBEK_FILE_READ, nullptr);
        orbek_stream *d = digest_chain();
        size_t total = 0;
        for (int32_t got = 0; orbek_stream_read(f, buf.data(), (int32_t)buf.size(), &got, nullptr) == 1;) {
            if (orbek_stream_writen(d, buf.data(), got, nullptr) != 1) state.SkipWithError("write");
            total += (size_t)got;
        }
        if (total != kSize) state.SkipWithError("read");
        orbek_stream_free(f);
        finish(d, state);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)kSize);
}

void BM_Sha256File_OpenSSL(benchmark::State &state) {
    std::vector<unsigned char> buf(64 * 1024);
    for (auto _ : state) {
        int fd = open(path().c_str(), O_RDONLY);
        EVP_MD_CTX *c = EVP_MD_CTX_new();
        EVP_DigestInit_ex(c, EVP_sha256(), nullptr);
        size_t total = 0;
        for (ssize_t n; (n = read(fd, buf.data(), buf.size())) > 0; total += (size_t)n)
            EVP_DigestUpdate(c, buf.data(), (size_t)n);
        unsigned char out[32];
        EVP_DigestFinal_ex(c, out, nullptr);
        benchmark::DoNotOptimize(out);
        EVP_MD_CTX_free(c);
        close(fd);
        if (total != kSize) state.SkipWithError("read");
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)kSize);
}

}  // namespace

BENCHMARK(BM_Sha256File_OrbekCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sha256File_OrbekRead64K)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sha256File_OpenSSL)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
