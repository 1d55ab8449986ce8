// Big integers: a handle layer around GMP's mpz functions.  It checks the
// arguments, converts the byte and text forms, keeps every GMP call inside a
// catch-all handler (the memory functions registered with GMP throw
// gmpexception when the heap refuses, and nothing may cross the interface),
// and generates primes from the caller's random bytes.
#include "container/bigint.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "core/gmp_memory.h"
#include "core/internal.h"

static const char kOrbekSource[] = "ORBEK_BigInteger_gmp";

namespace {

// Runs call (which answers true on success) as one GMP operation: false
// when it throws, after every block GMP took for it has been released.  The
// integers call was writing are then in no state to be cleared: their
// blocks went with the rest.
template <typename Call>
bool gmp_call(Call &&call) noexcept {
    orbek::GmpScope scope;
    try {
        return call();
    } catch (...) {
        scope.release();
        return false;
    }
}

orbek_biginteger *new_handle() noexcept { return ORBEK_ALLOC_T(orbek_biginteger, 1); }

// A new handle whose value compute(z) sets; compute answers false when the
// operation has no result.  Null, with nothing left allocated, when the
// handle cannot be allocated, compute refuses or GMP throws.
template <typename Compute>
orbek_biginteger *make(Compute &&compute) noexcept {
    orbek_biginteger *h = new_handle();
    if (!h) return nullptr;
    const bool ok = gmp_call([&] {
        mpz_init(h->z);
        if (compute(h->z)) return true;
        mpz_clear(h->z);
        return false;
    });
    if (ok) return h;
    ORBEK_FREE(h);
    return nullptr;
}

// Runs a GMP call that yields a flag or a count; fallback when it throws.
template <typename Call>
int32_t guarded(int32_t fallback, Call &&call) noexcept {
    int32_t result = fallback;
    gmp_call([&] { return result = call(), true; });
    return result;
}

// Bytes of the magnitude; 0 for zero.
size_t magnitude_bytes(mpz_srcptr z) { return mpz_sgn(z) ? (mpz_sizeinbase(z, 2) + 7) / 8 : 0; }

void set_u64(mpz_ptr z, uint64_t v) { mpz_import(z, 1, -1, sizeof v, 0, 0, &v); }

// The length rules shared by both byte forms.
bool bytes_ok(const uint8_t *bytes, int32_t length) { return length >= 0 && (bytes || length == 0); }

// Repetitions of the fast primality test by bit count.
int fast_reps(size_t bits) {
    return bits < 256 ? 28 : bits < 384 ? 16 : bits < 512 ? 10 : bits < 640 ? 7 : bits < 768 ? 6 : 5;
}

// Odd primes below 1000, for the safe-prime sieve.
const uint16_t kSmallPrimes[] = {
    3,   5,   7,   11,  13,  17,  19,  23,  29,  31,  37,  41,  43,  47,  53,  59,  61,  67,  71,  73,  79,  83,
    89,  97,  101, 103, 107, 109, 113, 127, 131, 137, 139, 149, 151, 157, 163, 167, 173, 179, 181, 191, 193, 197,
    199, 211, 223, 227, 229, 233, 239, 241, 251, 257, 263, 269, 271, 277, 281, 283, 293, 307, 311, 313, 317, 331,
    337, 347, 349, 353, 359, 367, 373, 379, 383, 389, 397, 401, 409, 419, 421, 431, 433, 439, 443, 449, 457, 461,
    463, 467, 479, 487, 491, 499, 503, 509, 521, 523, 541, 547, 557, 563, 569, 571, 577, 587, 593, 599, 601, 607,
    613, 617, 619, 631, 641, 643, 647, 653, 659, 661, 673, 677, 683, 691, 701, 709, 719, 727, 733, 739, 743, 751,
    757, 761, 769, 773, 787, 797, 809, 811, 821, 823, 827, 829, 839, 853, 857, 859, 863, 877, 881, 883, 887, 907,
    911, 919, 929, 937, 941, 947, 953, 967, 971, 977, 983, 991, 997};

// For a safe-prime candidate p of 32 bits or more (so p and q = (p - 1) / 2
// lie above every sieve prime): true when p or q has a small factor, that
// is when p mod s is 0 or 1.  Only rejects candidates the full tests would
// reject, and far more cheaply.
bool safe_sieve_rejects(mpz_srcptr p) {
    for (uint16_t s : kSmallPrimes)
        if (mpz_fdiv_ui(p, s) <= 1) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------- creation

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_new(int64_t value) noexcept {
    return make([value](mpz_ptr z) {
        // The magnitude as unsigned arithmetic, so that INT64_MIN works.
        set_u64(z, value < 0 ? 0 - (uint64_t)value : (uint64_t)value);
        if (value < 0) mpz_neg(z, z);
        return true;
    });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_newdata(const uint8_t *bytes, int32_t length) noexcept {
    if (!bytes_ok(bytes, length)) return nullptr;
    // A leading sign byte is redundant when the next byte carries the same
    // sign in its top bit.
    while (length >= 2 && ((bytes[0] == 0x00 && bytes[1] < 0x80) || (bytes[0] == 0xFF && bytes[1] >= 0x80))) {
        ++bytes;
        --length;
    }
    const bool negative = length > 0 && bytes[0] >= 0x80;
    // The negative value u - 2^(8n) needs 8n as a bit count, which a 32-bit
    // unsigned long cannot hold for the longest inputs.
    if (negative && (unsigned long)length > ULONG_MAX / 8) return nullptr;
    return make([=](mpz_ptr z) {
        mpz_import(z, (size_t)length, 1, 1, 1, 0, bytes);
        if (negative) {
            // u - 2^(8n) = ~((~u) mod 2^(8n)), all in place.
            mpz_com(z, z);
            mpz_fdiv_r_2exp(z, z, 8 * (mp_bitcnt_t)length);
            mpz_com(z, z);
        }
        return true;
    });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_newunsigneddata(const uint8_t *bytes, int32_t length) noexcept {
    if (!bytes_ok(bytes, length)) return nullptr;
    return make([=](mpz_ptr z) {
        mpz_import(z, (size_t)length, 1, 1, 1, 0, bytes);
        return true;
    });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_newdec(const char *text) noexcept {
    if (!text) return nullptr;
    return make([text](mpz_ptr z) { return mpz_set_str(z, text, 10) == 0; });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_dup(const orbek_biginteger *x) noexcept {
    if (!x) return nullptr;
    return make([x](mpz_ptr z) {
        mpz_set(z, x->z);
        return true;
    });
}

ORBEK_EXPORT void orbek_biginteger_free(orbek_biginteger *x) noexcept {
    if (!x) return;
    mpz_clear(x->z);
    ORBEK_FREE(x);
}

// ---------------------------------------------------------------- export

ORBEK_EXPORT orbek_data_blob *orbek_biginteger_getdata(const orbek_biginteger *x) noexcept {
    if (!x) return nullptr;
    const int sign = mpz_sgn(x->z);
    const size_t mag = magnitude_bytes(x->z);
    // Positive: one byte more than the bits fill whole, so that a top bit
    // that is set gets its 0x00 in front.  Negative: the fewest bytes n with
    // -2^(8n-1) <= x, found from the bit count of |x| - 1 (one less than
    // that of |x| when |x| is a power of two).
    size_t n = 1;
    if (sign != 0) {
        size_t bits = mpz_sizeinbase(x->z, 2);
        if (sign < 0 && mpz_scan1(x->z, 0) == bits - 1) --bits;
        n = bits / 8 + 1;
    }
    if (n > (size_t)INT32_MAX) return nullptr;
    orbek_data_blob *blob = ORBEK_ALLOC_T(orbek_data_blob, 1);
    if (!blob) return nullptr;
    blob->data = static_cast<uint8_t *>(ORBEK_ALLOC(n));
    if (!blob->data) {
        ORBEK_FREE(blob);
        return nullptr;
    }
    blob->length = (int32_t)n;
    uint8_t *d = blob->data;
    memset(d, 0, n - mag);
    // Exporting into a buffer of the right size takes no GMP memory.
    mpz_export(d + (n - mag), nullptr, 1, 1, 1, 0, x->z);
    if (sign < 0) {
        // Two's complement in place: invert, then add one from the end.
        for (size_t i = 0; i < n; ++i) d[i] = (uint8_t)~d[i];
        for (size_t i = n; i-- > 0 && ++d[i] == 0;) {
        }
    }
    return blob;
}

ORBEK_EXPORT int32_t orbek_biginteger_unsigned_tonbuf(const orbek_biginteger *x, int32_t length,
                                                      uint8_t *buffer) noexcept {
    if (!x || mpz_sgn(x->z) < 0 || length <= 0 || !buffer) return 0;
    const size_t mag = magnitude_bytes(x->z);
    if (mag > (size_t)length) return 0;
    memset(buffer, 0, (size_t)length - mag);
    mpz_export(buffer + ((size_t)length - mag), nullptr, 1, 1, 1, 0, x->z);
    return 1;
}

ORBEK_EXPORT int32_t orbek_biginteger_unsigned_todec(const orbek_biginteger *x, char **out_text,
                                                     int32_t *out_length) noexcept {
    if (!x || mpz_sgn(x->z) < 0 || !out_text) return 0;
    // sizeinbase may count one digit too many; the NUL takes one more.
    char *text = static_cast<char *>(ORBEK_ALLOC(mpz_sizeinbase(x->z, 10) + 1));
    if (!text) return 0;
    if (!guarded(0, [&] { return mpz_get_str(text, 10, x->z) != nullptr; })) {
        ORBEK_FREE(text);
        return 0;
    }
    *out_text = text;
    if (out_length) *out_length = (int32_t)strlen(text);
    return 1;
}

ORBEK_EXPORT int32_t orbek_biginteger_getvalue(const orbek_biginteger *x, int64_t *out) noexcept {
    if (!x || !out) return 0;
    if (mpz_sgn(x->z) != 0 && mpz_sizeinbase(x->z, 2) > 63) return 0;
    uint64_t mag = 0;
    for (size_t i = mpz_size(x->z); i-- > 0;)
        mag = (GMP_NUMB_BITS < 64 ? mag << (GMP_NUMB_BITS % 64) : 0) | (uint64_t)mpz_getlimbn(x->z, (mp_size_t)i);
    *out = mpz_sgn(x->z) < 0 ? -(int64_t)mag : (int64_t)mag;
    return 1;
}

// ---------------------------------------------------------------- queries and bits

ORBEK_EXPORT int32_t orbek_biginteger_getsign(const orbek_biginteger *x) noexcept { return x ? mpz_sgn(x->z) : 0; }

ORBEK_EXPORT int32_t orbek_biginteger_getbitcount(const orbek_biginteger *x) noexcept {
    if (!x || mpz_sgn(x->z) == 0) return 0;
    const size_t bits = mpz_sizeinbase(x->z, 2);
    return bits > (size_t)INT32_MAX ? INT32_MAX : (int32_t)bits;
}

ORBEK_EXPORT int32_t orbek_biginteger_cmp(const orbek_biginteger *a, const orbek_biginteger *b) noexcept {
    if (!a) return b ? -1 : 0;
    if (!b) return 1;
    return mpz_cmp(a->z, b->z);
}

ORBEK_EXPORT int32_t orbek_biginteger_iseven(const orbek_biginteger *x) noexcept {
    return x && mpz_even_p(x->z) ? 1 : 0;
}

ORBEK_EXPORT int32_t orbek_biginteger_isodd(const orbek_biginteger *x) noexcept {
    return x && mpz_odd_p(x->z) ? 1 : 0;
}

ORBEK_EXPORT int32_t orbek_biginteger_testbit(const orbek_biginteger *x, int32_t n) noexcept {
    return x && n >= 0 ? mpz_tstbit(x->z, (mp_bitcnt_t)n) : 0;
}

ORBEK_EXPORT int32_t orbek_biginteger_setbit(orbek_biginteger *x, int32_t n) noexcept {
    if (!x || n < 0) return 0;
    // A failed growth leaves the old digits in place.
    return guarded(0, [=] { return mpz_setbit(x->z, (mp_bitcnt_t)n), 1; });
}

ORBEK_EXPORT int32_t orbek_biginteger_clearbit(orbek_biginteger *x, int32_t n) noexcept {
    if (!x || n < 0) return 0;
    return guarded(0, [=] { return mpz_clrbit(x->z, (mp_bitcnt_t)n), 1; });
}

// ---------------------------------------------------------------- arithmetic
//
// A zero divisor or modulus would reach GMP's division-by-zero trap, which
// aborts the process rather than throwing; each operation refuses it first.

#define ORBEK_BIGINT_BINARY(name, call)                                                             \
    ORBEK_EXPORT orbek_biginteger *orbek_biginteger_##name(const orbek_biginteger *a,                \
                                                           const orbek_biginteger *b) noexcept {     \
        if (!a || !b) return nullptr;                                                               \
        return make([=](mpz_ptr z) { return call(z, a->z, b->z), true; });                          \
    }

// (a op b) mod m, with the intermediate result in the new handle itself.
#define ORBEK_BIGINT_MODULAR(name, call)                                                            \
    ORBEK_EXPORT orbek_biginteger *orbek_biginteger_##name(                                         \
        const orbek_biginteger *a, const orbek_biginteger *b, const orbek_biginteger *m) noexcept { \
        if (!a || !b || !m || mpz_sgn(m->z) == 0) return nullptr;                                   \
        return make([=](mpz_ptr z) {                                                                \
            call(z, a->z, b->z);                                                                    \
            mpz_mod(z, z, m->z);                                                                    \
            return true;                                                                            \
        });                                                                                         \
    }

ORBEK_BIGINT_BINARY(add, mpz_add)
ORBEK_BIGINT_BINARY(sub, mpz_sub)
ORBEK_BIGINT_BINARY(mul, mpz_mul)
ORBEK_BIGINT_BINARY(gcd, mpz_gcd)
ORBEK_BIGINT_BINARY(lcm, mpz_lcm)
ORBEK_BIGINT_MODULAR(addmod, mpz_add)
ORBEK_BIGINT_MODULAR(submod, mpz_sub)
ORBEK_BIGINT_MODULAR(mulmod, mpz_mul)

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_neg(const orbek_biginteger *x) noexcept {
    if (!x) return nullptr;
    return make([x](mpz_ptr z) { return mpz_neg(z, x->z), true; });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_div(const orbek_biginteger *a, const orbek_biginteger *b,
                                                    orbek_biginteger **out_remainder) noexcept {
    if (!a || !b || !out_remainder || mpz_sgn(b->z) == 0) return nullptr;
    // Both results come from one GMP call, so both handles live in its scope.
    orbek_biginteger *quot = new_handle(), *rem = new_handle();
    if (quot && rem && gmp_call([=] {
            mpz_init(quot->z);
            mpz_init(rem->z);
            mpz_tdiv_qr(quot->z, rem->z, a->z, b->z);
            return true;
        })) {
        *out_remainder = rem;
        return quot;
    }
    ORBEK_FREE(quot);
    ORBEK_FREE(rem);
    return nullptr;
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_div_2(const orbek_biginteger *x) noexcept {
    if (!x) return nullptr;
    return make([x](mpz_ptr z) { return mpz_tdiv_q_2exp(z, x->z, 1), true; });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_mod(const orbek_biginteger *a, const orbek_biginteger *m) noexcept {
    if (!a || !m || mpz_sgn(m->z) == 0) return nullptr;
    return make([=](mpz_ptr z) { return mpz_mod(z, a->z, m->z), true; });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_sqrmod(const orbek_biginteger *a,
                                                       const orbek_biginteger *m) noexcept {
    if (!a || !m || mpz_sgn(m->z) == 0) return nullptr;
    return make([=](mpz_ptr z) { return mpz_powm_ui(z, a->z, 2, m->z), true; });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_expmod(const orbek_biginteger *b, const orbek_biginteger *e,
                                                       const orbek_biginteger *m) noexcept {
    if (!b || !e || !m || mpz_sgn(m->z) == 0) return nullptr;
    return make([=](mpz_ptr z) {
        if (mpz_sgn(e->z) >= 0) return mpz_powm(z, b->z, e->z, m->z), true;
        // b^-k = (b^-1)^k: the inverse is found once, here, so that a base
        // without one never reaches GMP's division-by-zero trap, and |e| is
        // a read-only view of e's digits.
        if (!mpz_invert(z, b->z, m->z)) return false;
        mpz_t k;
        mpz_roinit_n(k, mpz_limbs_read(e->z), (mp_size_t)mpz_size(e->z));
        mpz_powm(z, z, k, m->z);
        return true;
    });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_invmod(const orbek_biginteger *a,
                                                       const orbek_biginteger *m) noexcept {
    if (!a || !m || mpz_sgn(m->z) == 0) return nullptr;
    return make([=](mpz_ptr z) { return mpz_invert(z, a->z, m->z) != 0; });
}

// ---------------------------------------------------------------- primes

ORBEK_EXPORT int32_t orbek_biginteger_isprime(const orbek_biginteger *x) noexcept {
    if (!x) return 0;
    return guarded(0, [x] { return mpz_probab_prime_p(x->z, 64) > 0 ? 1 : 0; });
}

ORBEK_EXPORT int32_t orbek_biginteger_isprime_fasttest(const orbek_biginteger *x) noexcept {
    if (!x) return 0;
    const size_t bits = mpz_sgn(x->z) ? mpz_sizeinbase(x->z, 2) : 0;
    return guarded(0, [=] { return mpz_probab_prime_p(x->z, fast_reps(bits)) > 0 ? 1 : 0; });
}

ORBEK_EXPORT orbek_biginteger *orbek_biginteger_newprime(orbek_biginteger_random_func random, void *context,
                                                         int32_t bits, uint32_t flags) noexcept {
    const bool safe = (flags & ORBEK_PRIME_SAFE) != 0;
    // Every 2-bit safe-prime candidate is 3, and (3 - 1) / 2 is not prime:
    // refused rather than looping for ever.
    if (!random || bits < 2 || (safe && bits == 2)) return nullptr;
    const size_t n = ((size_t)bits + 7) / 8;
    const int r = bits % 8;
    const int reps = (flags & ORBEK_PRIME_FAST) ? fast_reps((size_t)bits) : 64;
    // Scratch from the runtime heap: the candidate's bytes are the caller's
    // random data and never pass through the allocation hooks.
    uint8_t *buf = static_cast<uint8_t *>(malloc(n));
    if (!buf) return nullptr;
    orbek_biginteger *p = make([&](mpz_ptr z) {
        // q is cleared on every way out but a throw, which its scope covers.
        mpz_t q;
        mpz_init(q);
        for (;;) {
            // The caller's callback may use GMP for its own ends.
            orbek::GmpScope *scope = orbek::GmpScope::suspend();
            const int32_t got = random(context, buf, (int32_t)n);
            orbek::GmpScope::resume(scope);
            if (got != 1) return mpz_clear(q), false;
            // Exactly bits bits: clear what lies above the top bit, set it.
            if (r) buf[0] &= (uint8_t)((1u << r) - 1);
            buf[0] |= (uint8_t)(1u << ((bits - 1) % 8));
            if (flags & ORBEK_PRIME_TOP_TWO) buf[r == 1 ? 1 : 0] |= (uint8_t)(1u << ((bits - 2) % 8));
            buf[n - 1] |= safe ? 3 : 1;
            mpz_import(z, n, 1, 1, 1, 0, buf);
            if (safe && bits >= 32 && safe_sieve_rejects(z)) continue;
            if (mpz_probab_prime_p(z, reps) == 0) continue;
            if (!safe) return true;
            mpz_tdiv_q_2exp(q, z, 1);
            if (mpz_probab_prime_p(q, reps) != 0) return mpz_clear(q), true;
        }
    });
    free(buf);
    return p;
}
