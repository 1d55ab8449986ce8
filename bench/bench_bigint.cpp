// Big integers: mul, mod, expmod and invmod at 256 to 4,096 bits through the
// library's handles against the same mpz calls made directly, in one run.
// Both sides produce a fresh result every time (mpz_init, the call,
// mpz_clear on the GMP side; a new handle, freed, on the library's), so the
// difference is the handle layer: argument checks, the handle's allocation
// through the hooks, and the exception guard with its accounting of GMP's
// blocks.
#include <benchmark/benchmark.h>
#include <gmp.h>

#include <vector>

#include "orbek_util.h"

namespace {

// Operands for one size: a and b of bits bits, m an odd prime of bits bits
// (so that every inverse exists), wide of 2 * bits bits for the reduction.
struct Operands {
    mpz_t a, b, m, wide;
    orbek_biginteger *ha, *hb, *hm, *hwide;
};

orbek_biginteger *handle(mpz_srcptr z) {
    std::vector<uint8_t> bytes((mpz_sizeinbase(z, 2) + 7) / 8);
    mpz_export(bytes.data(), nullptr, 1, 1, 1, 0, z);
    return orbek_biginteger_newunsigneddata(bytes.data(), (int32_t)bytes.size());
}

const Operands &operands(int bits) {
    static Operands cache[5];
    static gmp_randstate_t rand;
    static bool seeded = false;
    if (!seeded) {
        gmp_randinit_default(rand);
        gmp_randseed_ui(rand, 20211115);
        seeded = true;
    }
    int slot = 0;
    while ((256 << slot) < bits) ++slot;
    Operands &o = cache[slot];
    if (!o.ha) {
        mpz_inits(o.a, o.b, o.m, o.wide, nullptr);
        mpz_urandomb(o.a, rand, (mp_bitcnt_t)bits);
        mpz_urandomb(o.b, rand, (mp_bitcnt_t)bits);
        mpz_urandomb(o.m, rand, (mp_bitcnt_t)bits);
        mpz_urandomb(o.wide, rand, 2 * (mp_bitcnt_t)bits);
        mpz_setbit(o.a, (mp_bitcnt_t)bits - 1);
        mpz_setbit(o.b, (mp_bitcnt_t)bits - 1);
        mpz_setbit(o.m, (mp_bitcnt_t)bits - 1);
        mpz_nextprime(o.m, o.m);
        o.ha = handle(o.a), o.hb = handle(o.b), o.hm = handle(o.m), o.hwide = handle(o.wide);
    }
    return o;
}

enum Op { kMul, kMod, kExpmod, kInvmod };

void Orbek(benchmark::State &state, Op op) {
    const Operands &o = operands((int)state.range(0));
    for (auto _ : state) {
        orbek_biginteger *r = nullptr;
        switch (op) {
            case kMul: r = orbek_biginteger_mul(o.ha, o.hb); break;
            case kMod: r = orbek_biginteger_mod(o.hwide, o.hm); break;
            case kExpmod: r = orbek_biginteger_expmod(o.ha, o.hb, o.hm); break;
            case kInvmod: r = orbek_biginteger_invmod(o.ha, o.hm); break;
        }
        if (!r) state.SkipWithError("no result");
        benchmark::DoNotOptimize(r);
        orbek_biginteger_free(r);
    }
}

void Gmp(benchmark::State &state, Op op) {
    const Operands &o = operands((int)state.range(0));
    for (auto _ : state) {
        mpz_t r;
        mpz_init(r);
        switch (op) {
            case kMul: mpz_mul(r, o.a, o.b); break;
            case kMod: mpz_mod(r, o.wide, o.m); break;
            case kExpmod: mpz_powm(r, o.a, o.b, o.m); break;
            case kInvmod:
                if (!mpz_invert(r, o.a, o.m)) state.SkipWithError("no inverse");
                break;
        }
        benchmark::DoNotOptimize(r[0]._mp_d);
        mpz_clear(r);
    }
}

void sizes(benchmark::internal::Benchmark *b) {
    for (int bits = 256; bits <= 4096; bits *= 2) b->Arg(bits);
}

}  // namespace

BENCHMARK_CAPTURE(Orbek, mul, kMul)->Apply(sizes);
BENCHMARK_CAPTURE(Gmp, mul, kMul)->Apply(sizes);
BENCHMARK_CAPTURE(Orbek, mod, kMod)->Apply(sizes);
BENCHMARK_CAPTURE(Gmp, mod, kMod)->Apply(sizes);
BENCHMARK_CAPTURE(Orbek, expmod, kExpmod)->Apply(sizes);
BENCHMARK_CAPTURE(Gmp, expmod, kExpmod)->Apply(sizes);
BENCHMARK_CAPTURE(Orbek, invmod, kInvmod)->Apply(sizes);
BENCHMARK_CAPTURE(Gmp, invmod, kInvmod)->Apply(sizes);

BENCHMARK_MAIN();
