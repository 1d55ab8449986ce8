#!/usr/bin/env python3
"""Writes tests/container/data/bigint_vectors.inc: big-integer cases whose
results Python's own integers compute, for the library's tests to replay (a
C++ raw string literal, so that the test carries them with it, also under
Wine).

Each line is  OP ARG... = RESULT...  with numbers in the signed byte form
(big-endian two's complement, hex).  Operands carry 0 to 2 redundant leading
sign bytes, which the import must skip; results are in the minimal form the
export must produce.  "null" is a refused result.  Plain decimal numbers
(bit positions, lengths, values) are written as such.

    tools/gen_bigint_vectors.py            rewrite the file
    tools/gen_bigint_vectors.py --check    compare with the committed file
"""
import math
import os
import random
import sys

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'container', 'data',
                   'bigint_vectors.inc')
MAX_BITS = 4096


def minimal(x):
    """The signed byte form of minimal length."""
    n = 1
    while not -(1 << (8 * n - 1)) <= x < (1 << (8 * n - 1)):
        n += 1
    return x.to_bytes(n, 'big', signed=True)


def operand(rng, x):
    """x in the signed byte form with 0 to 2 redundant sign bytes in front."""
    pad = (b'\xff' if x < 0 else b'\x00') * rng.choice((0, 0, 1, 2))
    return (pad + minimal(x)).hex()


def result(x):
    return 'null' if x is None else minimal(x).hex()


def random_int(rng, signed=True, max_bits=MAX_BITS):
    """Bit lengths 1 to max_bits, spread evenly over their logarithm, with
    the byte-boundary values (2^k, 2^k - 1, 2^k + 1 at k = 8j) mixed in."""
    if rng.random() < 0.2:
        k = 8 * rng.randint(1, max_bits // 8)
        x = (1 << k) + rng.choice((-1, 0, 1)) if k < max_bits else (1 << k) - 1
        if rng.random() < 0.5:
            x = 1 << (k - 1)  # the top bit of a byte alone: 80, 80 00, ...
    else:
        bits = max(1, min(max_bits, int(round(max_bits ** rng.random()))))
        x = rng.getrandbits(bits) | (1 << (bits - 1))
    return -x if signed and rng.random() < 0.5 else x


def nonzero(rng, max_bits=MAX_BITS):
    return random_int(rng, max_bits=max_bits)


def tdiv(a, b):
    q = abs(a) // abs(b)
    if (a < 0) != (b < 0):
        q = -q
    return q, a - q * b


def inverse(a, m):
    try:
        return pow(a, -1, abs(m))
    except ValueError:
        return None


def expmod(b, e, m):
    if e >= 0:
        return pow(b, e, abs(m))
    inv = inverse(b, m)
    return None if inv is None else pow(inv, -e, abs(m))


def lines():
    rng = random.Random(20211115)
    out = []

    def emit(op, args, results):
        out.append(' '.join([op] + args + ['='] + results))

    R = lambda: random_int(rng)
    for _ in range(60):
        x = R()
        emit('sdata', [operand(rng, x)], [result(x)])
        emit('dec', [('-' if x < 0 else '') + '0' * rng.choice((0, 0, 2)) + str(abs(x))], [result(x)])
    for _ in range(20):
        raw = rng.getrandbits(8 * rng.randint(1, 64)).to_bytes(rng.randint(64, 70), 'big')
        emit('udata', [raw.hex()], [str(int.from_bytes(raw, 'big'))])
    for _ in range(30):
        x = abs(R()) if rng.random() < 0.8 else -abs(R())
        mag = (x.bit_length() + 7) // 8
        width = max(1, mag + rng.choice((-1, 0, 0, 1, 5)))
        ok = x >= 0 and mag <= width
        emit('tonbuf', [operand(rng, x), str(width)], [x.to_bytes(width, 'big').hex() if ok else 'null'])
    for _ in range(30):
        x = random_int(rng, max_bits=rng.choice((62, 63, 64, 65, 200)))
        emit('getvalue', [operand(rng, x)], [str(x) if abs(x).bit_length() <= 63 else 'null'])
        n = rng.randint(0, abs(x).bit_length() + 8)
        emit('testbit', [operand(rng, x), str(n)], [str((x >> n) & 1)])
        emit('bits', [operand(rng, x)], [str(abs(x).bit_length())])
    for _ in range(25):
        a, b = R(), R()
        if rng.random() < 0.2:
            b = a
        emit('cmp', [operand(rng, a), operand(rng, b)], [str((a > b) - (a < b))])
        emit('add', [operand(rng, a), operand(rng, b)], [result(a + b)])
        emit('sub', [operand(rng, a), operand(rng, b)], [result(a - b)])
        emit('mul', [operand(rng, a), operand(rng, b)], [result(a * b)])
        emit('neg', [operand(rng, a)], [result(-a)])
        emit('div_2', [operand(rng, a)], [result(tdiv(a, 2)[0])])
        emit('gcd', [operand(rng, a), operand(rng, b)], [result(math.gcd(a, b))])
        emit('lcm', [operand(rng, a), operand(rng, b)], [result(abs(a * b) // math.gcd(a, b))])
    for _ in range(25):
        a, b, m = R(), R(), nonzero(rng)
        q, r = tdiv(a, m)
        emit('div', [operand(rng, a), operand(rng, m)], [result(q), result(r)])
        emit('mod', [operand(rng, a), operand(rng, m)], [result(a % abs(m))])
        emit('addmod', [operand(rng, a), operand(rng, b), operand(rng, m)], [result((a + b) % abs(m))])
        emit('submod', [operand(rng, a), operand(rng, b), operand(rng, m)], [result((a - b) % abs(m))])
        emit('mulmod', [operand(rng, a), operand(rng, b), operand(rng, m)], [result(a * b % abs(m))])
        emit('sqrmod', [operand(rng, a), operand(rng, m)], [result(a * a % abs(m))])
    for _ in range(25):
        # Moduli up to 2,048 bits keep the exponentiations quick under the
        # sanitizers and Wine; odd moduli make inverses likely.
        m = nonzero(rng, 2048) | (1 if rng.random() < 0.7 else 0)
        b, e = R(), random_int(rng, max_bits=1024)
        if rng.random() < 0.3:
            b *= 2  # even bases: no inverse modulo an even m
        emit('expmod', [operand(rng, b), operand(rng, e), operand(rng, m)], [result(expmod(b, e, m))])
        emit('invmod', [operand(rng, b), operand(rng, m)], [result(inverse(b, m))])
    return out


def main():
    text = '// Generated by tools/gen_bigint_vectors.py: results of Python integers.\nR"vectors(\n' + \
           '\n'.join(lines()) + '\n)vectors"\n'
    if sys.argv[1:] == ['--check']:
        with open(OUT) as f:
            if f.read() != text:
                sys.exit(OUT + ' differs from what tools/gen_bigint_vectors.py writes')
        print('bigint vectors: up to date')
        return
    with open(OUT, 'w') as f:
        f.write(text)


if __name__ == '__main__':
    main()
