// orbek bigint: prime generation and arithmetic on the command line.
//
//   orbek bigint prime --bits N [--safe] [--fast]
//   orbek bigint calc OP A [B [M]]
//
// prime prints a random probable prime of exactly N bits in decimal, from
// the system's random bytes; --safe asks for (p - 1) / 2 prime too, --fast
// for the shorter test of large numbers.  calc takes decimal or 0x-hex
// numbers (either with a leading minus) and prints the result in decimal:
// add, sub, mul, gcd take A B; div prints the quotient and the remainder on
// two lines; mod A M; expmod A E M; invmod A M.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cli/commands.h"
#include "cli/platform.h"
#include "orbek_util.h"

namespace {

const char kUsage[] =
    "usage: orbek bigint prime --bits N [--safe] [--fast]\n"
    "       orbek bigint calc add|sub|mul|div|mod|expmod|invmod|gcd A [B [M]]\n";

int usage_error(const char *what) {
    cli_error("%s", what);
    fputs(kUsage, stderr);
    return 2;
}

struct Big {
    orbek_biginteger *p = nullptr;
    ~Big() { orbek_biginteger_free(p); }
};

// A number in decimal, or in hexadecimal after 0x; either may start with a
// minus sign.  Null for anything else.
orbek_biginteger *parse(const char *text) {
    const bool negative = text[0] == '-';
    const char *digits = text + negative;
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits += 2;
        size_t n = strlen(digits);
        if (n == 0 || n > 100000 || strspn(digits, "0123456789abcdefABCDEF") != n) return nullptr;
        // Whole bytes for the hex decoder: an odd count gets a leading 0.
        char *even = static_cast<char *>(malloc(n + 2));
        if (!even) return nullptr;
        snprintf(even, n + 2, "%s%s", n % 2 ? "0" : "", digits);
        uint8_t *bytes = nullptr;
        int32_t len = 0;
        orbek_biginteger *x = nullptr;
        if (orbek_hexdecode(even, (int32_t)strlen(even), &bytes, &len) == 1)
            x = orbek_biginteger_newunsigneddata(bytes, len);
        orbek_free(bytes);
        free(even);
        if (x && negative) {
            orbek_biginteger *y = orbek_biginteger_neg(x);
            orbek_biginteger_free(x);
            x = y;
        }
        return x;
    }
    if (digits[0] < '0' || digits[0] > '9' || strspn(digits, "0123456789") != strlen(digits)) return nullptr;
    return orbek_biginteger_newdec(text);
}

// Prints x in decimal on a line of its own.
bool print(const orbek_biginteger *x) {
    const bool negative = orbek_biginteger_getsign(x) < 0;
    Big mag;
    mag.p = negative ? orbek_biginteger_neg(x) : orbek_biginteger_dup(x);
    char *text = nullptr;
    if (!mag.p || orbek_biginteger_unsigned_todec(mag.p, &text, nullptr) != 1) {
        cli_error("out of memory");
        return false;
    }
    printf("%s%s\n", negative ? "-" : "", text);
    orbek_free(text);
    return true;
}

int32_t system_random(void *, uint8_t *buf, int32_t n) { return cli_random_bytes(buf, (size_t)n) ? 1 : 0; }

int prime(int argc, char **argv) {
    long bits = 0;
    uint32_t flags = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--bits") == 0 && i + 1 < argc) {
            char *end = nullptr;
            bits = strtol(argv[++i], &end, 10);
            if (*end || end == argv[i] || bits < 2 || bits > 65536) return usage_error("--bits takes 2 to 65536");
        } else if (strcmp(argv[i], "--safe") == 0) {
            flags |= ORBEK_PRIME_SAFE;
        } else if (strcmp(argv[i], "--fast") == 0) {
            flags |= ORBEK_PRIME_FAST;
        } else {
            return usage_error("unknown prime option");
        }
    }
    if (bits == 0) return usage_error("prime needs --bits N");
    if (bits == 2 && (flags & ORBEK_PRIME_SAFE)) {
        cli_error("there is no safe prime of 2 bits");
        return 1;
    }
    Big p;
    p.p = orbek_biginteger_newprime(system_random, nullptr, (int32_t)bits, flags);
    if (!p.p) {
        cli_error("no prime: the system's random source or memory failed");
        return 1;
    }
    return print(p.p) ? 0 : 1;
}

int calc(int argc, char **argv) {
    static const struct {
        const char *name;
        int operands;
    } kOps[] = {{"add", 2}, {"sub", 2}, {"mul", 2}, {"div", 2}, {"mod", 2}, {"expmod", 3}, {"invmod", 2}, {"gcd", 2}};
    if (argc < 2) return usage_error("calc needs an operation");
    const char *op = argv[1];
    int want = -1;
    for (const auto &o : kOps)
        if (strcmp(op, o.name) == 0) want = o.operands;
    if (want < 0) return usage_error("unknown calc operation");
    if (argc - 2 != want) return usage_error("wrong number of operands");
    Big n[3];
    for (int i = 0; i < want; ++i)
        if (!(n[i].p = parse(argv[2 + i]))) {
            cli_error("not a decimal or 0x-hex number: '%s'", argv[2 + i]);
            return 1;
        }
    const orbek_biginteger *a = n[0].p, *b = n[1].p, *m = n[2].p;
    // The library refuses zero divisors and moduli with null; say why.
    const bool divides = strcmp(op, "div") == 0 || strcmp(op, "mod") == 0 || strcmp(op, "invmod") == 0;
    if ((divides && orbek_biginteger_getsign(b) == 0) || (m && orbek_biginteger_getsign(m) == 0)) {
        cli_error("division by zero");
        return 1;
    }
    Big r, rem;
    if (strcmp(op, "add") == 0) r.p = orbek_biginteger_add(a, b);
    if (strcmp(op, "sub") == 0) r.p = orbek_biginteger_sub(a, b);
    if (strcmp(op, "mul") == 0) r.p = orbek_biginteger_mul(a, b);
    if (strcmp(op, "div") == 0) r.p = orbek_biginteger_div(a, b, &rem.p);
    if (strcmp(op, "mod") == 0) r.p = orbek_biginteger_mod(a, b);
    if (strcmp(op, "expmod") == 0) r.p = orbek_biginteger_expmod(a, b, m);
    if (strcmp(op, "invmod") == 0) r.p = orbek_biginteger_invmod(a, b);
    if (strcmp(op, "gcd") == 0) r.p = orbek_biginteger_gcd(a, b);
    if (!r.p) {
        const bool inverse = strcmp(op, "invmod") == 0 || (strcmp(op, "expmod") == 0 && orbek_biginteger_getsign(b) < 0);
        cli_error(inverse ? "no inverse modulo that number" : "out of memory");
        return 1;
    }
    return print(r.p) && (!rem.p || print(rem.p)) ? 0 : 1;
}

}  // namespace

int cmd_bigint(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(kUsage, stdout);
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "prime") == 0) return prime(argc - 1, argv + 1);
    if (argc >= 2 && strcmp(argv[1], "calc") == 0) return calc(argc - 1, argv + 1);
    return usage_error("bigint needs prime or calc");
}
