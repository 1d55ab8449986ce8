// Big integers: replayed against Python's integers (data/bigint_vectors.inc)
// and against GMP called directly, the byte forms' edges, prime generation,
// and allocation failures both in the hooks and inside GMP.
#include <gmp.h>
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "container/bigint.h"
#include "core/gmp_memory.h"
#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

struct Free {
    void operator()(orbek_biginteger *x) const { orbek_biginteger_free(x); }
};
using Big = std::unique_ptr<orbek_biginteger, Free>;

std::vector<uint8_t> unhex(const std::string &h) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < h.size(); i += 2) out.push_back((uint8_t)std::stoul(h.substr(i, 2), nullptr, 16));
    return out;
}
std::string hex(const uint8_t *p, int32_t n) {
    std::string s;
    for (int32_t i = 0; i < n; ++i) s += "0123456789abcdef"[p[i] >> 4], s += "0123456789abcdef"[p[i] & 15];
    return s;
}
Big num(const std::string &h) {
    std::vector<uint8_t> b = unhex(h);
    return Big(orbek_biginteger_newdata(b.data(), (int32_t)b.size()));
}
Big num(int64_t v) { return Big(orbek_biginteger_new(v)); }
// The signed byte form, or "null".
std::string form(const orbek_biginteger *x) {
    if (!x) return "null";
    orbek_data_blob *b = orbek_biginteger_getdata(x);
    std::string s = b ? hex(b->data, b->length) : "getdata failed";
    orbek_data_blob_free(b);
    return s;
}
std::string form(const Big &x) { return form(x.get()); }

// Deterministic bytes for operands and random sources.
struct Rng {
    uint64_t s;
    uint64_t next() { return s ^= s << 13, s ^= s >> 7, s ^= s << 17; }
};
int32_t rng_bytes(void *ctx, uint8_t *buf, int32_t n) {
    for (int32_t i = 0; i < n; ++i) buf[i] = (uint8_t)static_cast<Rng *>(ctx)->next();
    return 1;
}

// GMP's blocks alive, counted by wrappers around the functions the library
// registered (which keep doing the work, and the failing).
long g_gmp_live = 0;
void *(*g_alloc)(size_t);
void *(*g_realloc)(void *, size_t, size_t);
void (*g_free)(void *, size_t);
void count_gmp_blocks() {
    if (g_alloc) return;
    mp_get_memory_functions(&g_alloc, &g_realloc, &g_free);
    mp_set_memory_functions([](size_t n) { void *p = g_alloc(n); return ++g_gmp_live, p; },
                            [](void *p, size_t o, size_t n) { return g_realloc(p, o, n); },
                            [](void *p, size_t n) { --g_gmp_live, g_free(p, n); });
}

// Like testalloc::sweep, for GMP's memory: runs op with GMP allocation 1, 2,
// ... failing until it succeeds, checking every time that the failure came
// back as a failure and that no hook block and no GMP block stays behind.
// Returns the GMP allocations of the successful run.
long gmp_sweep(const std::function<bool()> &op) {
    count_gmp_blocks();
    for (long n = 1; n < 1000; ++n) {
        const long hooks = testalloc::live_blocks(), gmp = g_gmp_live;
        orbek::gmp_fail_nth(n);
        const bool ok = op(), hit = orbek::gmp_failure_hit();
        orbek::gmp_fail_nth(0);
        EXPECT_EQ(testalloc::live_blocks(), hooks) << "hook blocks leaked with GMP allocation " << n << " failing";
        EXPECT_EQ(g_gmp_live, gmp) << "GMP blocks leaked with GMP allocation " << n << " failing";
        if (!hit) {
            EXPECT_TRUE(ok) << "the operation failed with no GMP allocation failing";
            return n - 1;
        }
        EXPECT_FALSE(ok) << "GMP allocation " << n << " failed but the operation succeeded";
        if (::testing::Test::HasFailure()) return -1;
    }
    return -1;
}

}  // namespace

using Unary = orbek_biginteger *(*)(const orbek_biginteger *);
using Binary = orbek_biginteger *(*)(const orbek_biginteger *, const orbek_biginteger *);
using Ternary = orbek_biginteger *(*)(const orbek_biginteger *, const orbek_biginteger *, const orbek_biginteger *);
const std::map<std::string, Unary> kUnary = {{"neg", orbek_biginteger_neg}, {"div_2", orbek_biginteger_div_2}};
const std::map<std::string, Binary> kBinary = {
    {"add", orbek_biginteger_add}, {"sub", orbek_biginteger_sub},       {"mul", orbek_biginteger_mul},
    {"gcd", orbek_biginteger_gcd}, {"lcm", orbek_biginteger_lcm},       {"mod", orbek_biginteger_mod},
    {"sqrmod", orbek_biginteger_sqrmod}, {"invmod", orbek_biginteger_invmod}};
const std::map<std::string, Ternary> kTernary = {{"addmod", orbek_biginteger_addmod},
                                                 {"submod", orbek_biginteger_submod},
                                                 {"mulmod", orbek_biginteger_mulmod},
                                                 {"expmod", orbek_biginteger_expmod}};

TEST(BigInteger, MatchesPythonIntegers) {
    static const char kVectors[] =
#include "container/data/bigint_vectors.inc"
        ;
    std::istringstream in(kVectors);
    std::string line;
    int cases = 0;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream f(line);
        std::string op, w;
        std::vector<std::string> args, want;
        f >> op;
        while (f >> w && w != "=") args.push_back(w);
        while (f >> w) want.push_back(w);
        Big a = num(args[0]), b = args.size() > 1 ? num(args[1]) : nullptr, m = args.size() > 2 ? num(args[2]) : nullptr;
        std::vector<std::string> got;
        if (op == "sdata") got = {form(a)};
        if (op == "dec") got = {form(Big(orbek_biginteger_newdec(args[0].c_str())))};
        if (op == "udata") {
            std::vector<uint8_t> raw = unhex(args[0]);
            Big u(orbek_biginteger_newunsigneddata(raw.data(), (int32_t)raw.size()));
            char *text = nullptr;
            int32_t len = -1;
            EXPECT_EQ(orbek_biginteger_unsigned_todec(u.get(), &text, &len), 1);
            got = {std::string(text, (size_t)len)};
            orbek_free(text);
        }
        if (op == "tonbuf") {
            std::vector<uint8_t> buf((size_t)std::stoi(args[1]) + 1, 0xEE);  // one guard byte
            bool ok = orbek_biginteger_unsigned_tonbuf(a.get(), (int32_t)buf.size() - 1, buf.data());
            EXPECT_EQ(buf.back(), 0xEE) << line;
            got = {ok ? hex(buf.data(), (int32_t)buf.size() - 1) : "null"};
        }
        int64_t v = 0;
        if (op == "getvalue") got = {orbek_biginteger_getvalue(a.get(), &v) ? std::to_string(v) : "null"};
        if (op == "testbit") got = {std::to_string(orbek_biginteger_testbit(a.get(), std::stoi(args[1])))};
        if (op == "bits") got = {std::to_string(orbek_biginteger_getbitcount(a.get()))};
        if (op == "cmp") {
            int32_t c = orbek_biginteger_cmp(a.get(), b.get());
            got = {std::to_string((c > 0) - (c < 0))};
        }
        if (kUnary.count(op)) got = {form(Big(kUnary.at(op)(a.get())))};
        if (kBinary.count(op)) got = {form(Big(kBinary.at(op)(a.get(), b.get())))};
        if (kTernary.count(op)) got = {form(Big(kTernary.at(op)(a.get(), b.get(), m.get())))};
        if (op == "div") {
            orbek_biginteger *r = nullptr;
            Big q(orbek_biginteger_div(a.get(), b.get(), &r));
            got = {form(q), form(Big(r))};
        }
        EXPECT_EQ(got, want) << line.substr(0, 200);
        ++cases;
    }
    EXPECT_EQ(cases, 660);
}

TEST(BigInteger, MatchesGmpCalledDirectly) {
    Rng rng{0x9E3779B97F4A7C15ull};
    // Random operands of 1 to 4,096 bits, both signs, built from bytes.
    auto random_big = [&](bool nonzero) {
        for (;;) {
            std::vector<uint8_t> b(1 + rng.next() % 512);
            rng_bytes(&rng, b.data(), (int32_t)b.size());
            Big x(orbek_biginteger_newdata(b.data(), (int32_t)b.size()));
            if (!nonzero || orbek_biginteger_getsign(x.get())) return x;
        }
    };
    using Mpz3 = void (*)(mpz_ptr, mpz_srcptr, mpz_srcptr);
    using Op2 = orbek_biginteger *(*)(const orbek_biginteger *, const orbek_biginteger *);
    const struct { Op2 ours; Mpz3 gmp; bool nonzero_b; } binary[] = {
        {orbek_biginteger_add, mpz_add, false}, {orbek_biginteger_sub, mpz_sub, false},
        {orbek_biginteger_mul, mpz_mul, false}, {orbek_biginteger_gcd, mpz_gcd, false},
        {orbek_biginteger_lcm, mpz_lcm, false}, {orbek_biginteger_mod, mpz_mod, true},
    };
    mpz_t want, r;
    mpz_inits(want, r, nullptr);
    for (int round = 0; round < 40; ++round) {
        Big a = random_big(false), b = random_big(false), m = random_big(true);
        for (const auto &op : binary) {
            const Big &rhs = op.nonzero_b ? m : b;
            Big got(op.ours(a.get(), rhs.get()));
            op.gmp(want, a->z, rhs->z);
            ASSERT_TRUE(got && mpz_cmp(got->z, want) == 0) << "binary op " << (&op - binary) << " round " << round;
        }
        orbek_biginteger *rem = nullptr;
        Big q(orbek_biginteger_div(a.get(), m.get(), &rem));
        Big rem_owned(rem);
        mpz_tdiv_qr(want, r, a->z, m->z);
        EXPECT_TRUE(q && mpz_cmp(q->z, want) == 0 && mpz_cmp(rem->z, r) == 0);
        mpz_mul(want, a->z, b->z);
        mpz_mod(want, want, m->z);
        Big mm(orbek_biginteger_mulmod(a.get(), b.get(), m.get()));
        EXPECT_EQ(mpz_cmp(mm->z, want), 0);
        if (mpz_sgn(b->z) >= 0) {  // GMP may trap a negative one; the vectors cover those
            mpz_powm(want, a->z, b->z, m->z);
            Big e(orbek_biginteger_expmod(a.get(), b.get(), m.get()));
            EXPECT_EQ(mpz_cmp(e->z, want), 0);
        }
        Big inv(orbek_biginteger_invmod(a.get(), m.get()));
        EXPECT_EQ(inv != nullptr, mpz_invert(want, a->z, m->z) != 0);
        EXPECT_TRUE(!inv || mpz_cmp(inv->z, want) == 0);
        for (int32_t bit : {0, 7, 8, 100, 4100})
            EXPECT_EQ(orbek_biginteger_testbit(a.get(), bit), mpz_tstbit(a->z, (mp_bitcnt_t)bit));
    }
    mpz_clears(want, r, nullptr);
}

TEST(BigInteger, ByteFormsValuesAndRefusals) {
    // Signed import skips redundant sign bytes; export is minimal.
    const struct { const char *in, *out; } forms[] = {
        {"00007f", "7f"}, {"ffff80", "80"}, {"80", "80"}, {"ff", "ff"}, {"", "00"}, {"0080", "0080"},
        {"ff7f", "ff7f"}, {"ff00", "ff00"}, {"ffffff", "ff"}, {"000000", "00"}, {"ff8000", "8000"},
    };
    for (const auto &f : forms) EXPECT_EQ(form(num(f.in)), f.out) << f.in;
    EXPECT_EQ(form(num(-129)), "ff7f");
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_BigInteger_gmp");
    EXPECT_EQ(form(num(INT64_MIN)), "8000000000000000");
    const uint8_t ff = 0xFF;
    EXPECT_EQ(form(Big(orbek_biginteger_newunsigneddata(&ff, 1))), "00ff");
    EXPECT_EQ(form(Big(orbek_biginteger_newunsigneddata(nullptr, 0))), "00");
    EXPECT_FALSE(orbek_biginteger_newdata(nullptr, 1) || orbek_biginteger_newdata(&ff, -1) ||
                 orbek_biginteger_newunsigneddata(nullptr, 2) || orbek_biginteger_newdec(nullptr) ||
                 orbek_biginteger_newdec("12a") || orbek_biginteger_newdec(""));
    EXPECT_EQ(form(Big(orbek_biginteger_newdec(" -1 2"))), "f4");

    // Unsigned export: left-padded, refuses negatives and short buffers.
    uint8_t buf[4] = {9, 9, 9, 9};
    EXPECT_EQ(orbek_biginteger_unsigned_tonbuf(num(255).get(), 4, buf), 1);
    EXPECT_EQ(hex(buf, 4), "000000ff");
    EXPECT_EQ(orbek_biginteger_unsigned_tonbuf(num(0).get(), 2, buf), 1);
    EXPECT_EQ(hex(buf, 4), "000000ff");
    EXPECT_EQ(orbek_biginteger_unsigned_tonbuf(num(256).get(), 1, buf) + orbek_biginteger_unsigned_tonbuf(num(-1).get(), 4, buf) +
                  orbek_biginteger_unsigned_tonbuf(num(1).get(), 0, buf) + orbek_biginteger_unsigned_tonbuf(num(1).get(), 1, nullptr),
              0);
    char *text = nullptr;
    EXPECT_EQ(orbek_biginteger_unsigned_todec(num(-5).get(), &text, nullptr), 0);
    EXPECT_EQ(orbek_biginteger_unsigned_todec(num(0).get(), &text, nullptr), 1);
    EXPECT_STREQ(text, "0");
    orbek_free(text);

    // 64-bit values: the magnitude must fit in 63 bits.
    int64_t v = 0;
    EXPECT_TRUE(orbek_biginteger_getvalue(num(INT64_MAX).get(), &v) && v == INT64_MAX);
    EXPECT_TRUE(orbek_biginteger_getvalue(num(-INT64_MAX).get(), &v) && v == -INT64_MAX);
    EXPECT_FALSE(orbek_biginteger_getvalue(num(INT64_MIN).get(), &v) || orbek_biginteger_getvalue(num("008000000000000000").get(), &v));

    // Signs, parity and bits in the two's complement view; bits in place.
    Big m3 = num(-3);
    EXPECT_EQ(orbek_biginteger_isodd(m3.get()) * 10 + orbek_biginteger_iseven(num(0).get()), 11);
    EXPECT_EQ(orbek_biginteger_getsign(m3.get()) + orbek_biginteger_getbitcount(num(0).get()), -1);
    EXPECT_EQ(orbek_biginteger_testbit(m3.get(), 1000) + orbek_biginteger_testbit(m3.get(), -1), 1);
    ASSERT_EQ(orbek_biginteger_clearbit(m3.get(), 0) + orbek_biginteger_setbit(m3.get(), 200), 2);
    EXPECT_EQ(form(m3), "fc");  // -4 already has bit 200 set
    ASSERT_EQ(orbek_biginteger_setbit(num(1).get(), -1) + orbek_biginteger_clearbit(nullptr, 0), 0);
    EXPECT_TRUE(orbek_biginteger_cmp(nullptr, nullptr) == 0 && orbek_biginteger_cmp(nullptr, m3.get()) == -1 &&
                orbek_biginteger_cmp(m3.get(), nullptr) == 1);

    // Division rounds toward zero, mod is never negative, zero divisors,
    // moduli and missing inverses give null instead of GMP's trap.
    orbek_biginteger *rem = nullptr;
    Big q(orbek_biginteger_div(num(-7).get(), num(2).get(), &rem));
    EXPECT_EQ(form(q) + form(Big(rem)), "fdff");
    EXPECT_EQ(form(Big(orbek_biginteger_mod(num(-7).get(), num(-2).get()))) + form(Big(orbek_biginteger_div_2(num(-3).get()))),
              "01ff");
    EXPECT_EQ(form(Big(orbek_biginteger_invmod(num(3).get(), num(7).get()))), "05");
    Big zero = num(0), two = num(2), four = num(4);
    rem = nullptr;
    EXPECT_FALSE(orbek_biginteger_div(two.get(), zero.get(), &rem) || rem || orbek_biginteger_div(two.get(), two.get(), nullptr) ||
                 orbek_biginteger_mod(two.get(), zero.get()) || orbek_biginteger_addmod(two.get(), two.get(), zero.get()) ||
                 orbek_biginteger_submod(two.get(), two.get(), zero.get()) ||
                 orbek_biginteger_mulmod(two.get(), two.get(), zero.get()) || orbek_biginteger_sqrmod(two.get(), zero.get()) ||
                 orbek_biginteger_expmod(two.get(), two.get(), zero.get()) || orbek_biginteger_invmod(two.get(), zero.get()) ||
                 orbek_biginteger_invmod(two.get(), four.get()) || orbek_biginteger_expmod(two.get(), num(-1).get(), four.get()) ||
                 orbek_biginteger_add(nullptr, two.get()) || orbek_biginteger_neg(nullptr) || orbek_biginteger_dup(nullptr));
    EXPECT_EQ(form(Big(orbek_biginteger_expmod(num(3).get(), num(-2).get(), num(7).get()))), "04");  // 5^2 mod 7
}

TEST(BigInteger, PrimesAndPrimeGeneration) {
    EXPECT_EQ(orbek_biginteger_isprime(num(2).get()) + orbek_biginteger_isprime_fasttest(num(7919).get()), 2);
    EXPECT_EQ(orbek_biginteger_isprime(num(7917).get()) + orbek_biginteger_isprime(nullptr), 0);
    Rng rng{42};
    EXPECT_EQ(form(Big(orbek_biginteger_newprime(rng_bytes, &rng, 3, ORBEK_PRIME_SAFE))), "07");
    EXPECT_EQ(form(Big(orbek_biginteger_newprime(rng_bytes, &rng, 2, 0))), "03");
    EXPECT_FALSE(orbek_biginteger_newprime(rng_bytes, &rng, 1, 0) || orbek_biginteger_newprime(nullptr, &rng, 64, 0) ||
                 orbek_biginteger_newprime(rng_bytes, &rng, 2, ORBEK_PRIME_SAFE) ||
                 orbek_biginteger_newprime([](void *, uint8_t *, int32_t) { return 2; }, nullptr, 64, 0));
    // Exactly bits bits, the second-highest set on request, and for a safe
    // prime (p - 1) / 2 prime too; the random source is asked for whole bytes.
    mpz_t q;
    mpz_init(q);
    for (int32_t bits : {9, 16, 17, 63, 130, 257}) {
        for (uint32_t flags : {0u, ORBEK_PRIME_TOP_TWO | ORBEK_PRIME_FAST, ORBEK_PRIME_SAFE | ORBEK_PRIME_FAST}) {
            struct { Rng rng; int32_t want_length, bad_lengths; } src{{(uint64_t)bits * 7919u + flags}, (bits + 7) / 8, 0};
            Big p(orbek_biginteger_newprime([](void *c, uint8_t *b, int32_t n) {
                auto *s = static_cast<decltype(src) *>(c);
                s->bad_lengths += n != s->want_length;
                return rng_bytes(&s->rng, b, n);
            }, &src, bits, flags));
            EXPECT_EQ(src.bad_lengths, 0);
            ASSERT_TRUE(p) << bits;
            EXPECT_EQ(orbek_biginteger_getbitcount(p.get()), bits);
            EXPECT_GT(mpz_probab_prime_p(p->z, 30), 0);
            EXPECT_TRUE(!(flags & ORBEK_PRIME_TOP_TWO) || mpz_tstbit(p->z, (mp_bitcnt_t)bits - 2));
            mpz_tdiv_q_2exp(q, p->z, 1);
            EXPECT_TRUE(!(flags & ORBEK_PRIME_SAFE) || mpz_probab_prime_p(q, 30) > 0) << bits;
        }
    }
    mpz_clear(q);
}

namespace {

// Each operation that allocates, as a check that releases what it made:
// true when it succeeded (with the right value where one is given).  a + b
// is 3, m is the prime 2^127 - 1, and every result needs GMP's memory.
bool made(orbek_biginteger *x, const char *want = nullptr) {
    const bool ok = x && (!want || form(x) == want);
    orbek_biginteger_free(x);
    return ok;
}
using Check = std::function<bool(const orbek_biginteger *, const orbek_biginteger *, const orbek_biginteger *)>;
#define OP(name, ...) {name, [](const orbek_biginteger *a, const orbek_biginteger *b, const orbek_biginteger *m) { \
    (void)a, (void)b, (void)m; return __VA_ARGS__; }}
const std::vector<std::pair<const char *, Check>> kOperations = {
    OP("new", made(orbek_biginteger_new(-300), "fed4")),
    OP("newdata", made(num("ff80").release(), "80")),
    OP("newunsigneddata", made(orbek_biginteger_newunsigneddata((const uint8_t *)"\x80\x01", 2), "008001")),
    OP("newdec", made(orbek_biginteger_newdec("-129"), "ff7f")),
    OP("dup", made(orbek_biginteger_dup(a), form(a).c_str())),
    OP("getdata", [&] { orbek_data_blob *d = orbek_biginteger_getdata(b); return orbek_data_blob_free(d), d != nullptr; }()),
    OP("todec", [&] { char *t = nullptr; return orbek_biginteger_unsigned_todec(a, &t, nullptr) && (orbek_free(t), 1); }()),
    OP("setbit", [] {
        Big x = num(1);
        return x && orbek_biginteger_setbit(x.get(), 3000) && orbek_biginteger_clearbit(x.get(), 0) &&
               orbek_biginteger_getbitcount(x.get()) == 3001;
    }()),
    OP("add", made(orbek_biginteger_add(a, b), "03")),
    OP("sub", made(orbek_biginteger_sub(a, b))),
    OP("mul", made(orbek_biginteger_mul(a, b))),
    OP("neg", made(orbek_biginteger_neg(a))),
    OP("div", [&] {
        orbek_biginteger *r = nullptr, *q = orbek_biginteger_div(a, m, &r);
        return made(r) && made(q);
    }()),
    OP("div_2", made(orbek_biginteger_div_2(a))),
    OP("mod", made(orbek_biginteger_mod(a, m))),
    OP("addmod", made(orbek_biginteger_addmod(a, b, m), "03")),
    OP("submod", made(orbek_biginteger_submod(a, b, m))),
    OP("mulmod", made(orbek_biginteger_mulmod(a, b, m))),
    OP("sqrmod", made(orbek_biginteger_sqrmod(a, m))),
    OP("expmod", made(orbek_biginteger_expmod(a, b, m))),
    OP("expmod-negative", made(orbek_biginteger_expmod(a, num(-65537).get(), m))),
    OP("invmod", made(orbek_biginteger_invmod(b, m))),
    OP("gcd", made(orbek_biginteger_gcd(a, b))),
    OP("lcm", made(orbek_biginteger_lcm(a, b))),
    OP("isprime", orbek_biginteger_isprime(m) == 1),
    OP("isprime_fasttest", orbek_biginteger_isprime_fasttest(m) == 1),
    OP("newprime", [] {
        // The random source keeps GMP memory of its own, taken during the
        // call: a failure of the library's must leave it alone.
        struct Source {
            Rng rng;
            mpz_t kept;
            unsigned long calls;
        } src{{7}, {}, 0};
        mpz_init(src.kept);
        orbek_biginteger *p = orbek_biginteger_newprime([](void *c, uint8_t *buf, int32_t n) {
            auto *s = static_cast<Source *>(c);
            try {
                mpz_realloc2(s->kept, 64 * ++s->calls);
            } catch (...) {
                return 0;
            }
            return rng_bytes(&s->rng, buf, n);
        }, &src, 160, ORBEK_PRIME_SAFE | ORBEK_PRIME_FAST);
        mpz_clear(src.kept);
        return made(p);
    }()),
};
#undef OP

}  // namespace

TEST(BigInteger, AllocationFailuresInTheHooksAndInGmpLeaveNothingBehind) {
    Big a = num("010000000000000000000000000000000000000000000000000000000000000000000000000001");
    Big b(orbek_biginteger_sub(num(3).get(), a.get()));
    Big m = num("7fffffffffffffffffffffffffffffff");
    for (const auto &op : kOperations) {
        SCOPED_TRACE(op.first);
        EXPECT_GE(testalloc::sweep([&] { return op.second(a.get(), b.get(), m.get()); }), 0);
        // Only the exports write into the caller's memory without GMP's.
        const bool exports = !strcmp(op.first, "getdata") || !strcmp(op.first, "todec");
        EXPECT_EQ(gmp_sweep([&] { return op.second(a.get(), b.get(), m.get()); }) > 0, !exports);
        if (::testing::Test::HasFailure()) break;
    }
    // A failed setbit leaves the value as it was.
    Big x = num(5);
    orbek::gmp_fail_nth(1);
    EXPECT_EQ(orbek_biginteger_setbit(x.get(), 5000), 0);
    orbek::gmp_fail_nth(0);
    EXPECT_EQ(form(x), "05");
}
