#!/usr/bin/env bash
# Checks `orbek bigint`: primes of the asked size, calc results and exit
# codes.  $ORBEK is the tool; Python's integers check the primes.
set -u
fail=0; pass=0
# run NAME EXPECTED_RC EXPECTED_STDOUT ARGS...
run() {
    local name=$1 want_rc=$2 want_out=$3; shift 3
    local out rc
    out=$("$ORBEK" bigint "$@" 2>/dev/null); rc=$?
    if [ "$rc" != "$want_rc" ] || [ "$out" != "$want_out" ]; then
        echo "FAIL $name: rc=$rc want=$want_rc out='$out' want='$want_out'"; fail=$((fail+1))
    else pass=$((pass+1)); fi
}
run add 0 '2' calc add 0x10 -14
run mul-hex 0 '-1208925819614629174706175' calc mul 0xffffffffffffffffffff -0X1
run div 0 "$(printf -- '-3\n-1')" calc div -7 2
run mod 0 '1' calc mod -7 2
run expmod 0 '445' calc expmod 4 13 497
run expmod-negative 0 '5' calc expmod 3 -1 7
run invmod 0 '5' calc invmod 3 7
run gcd 0 '6' calc gcd -12 18
run no-inverse 1 '' calc invmod 2 4
run div-zero 1 '' calc div 1 0
run bad-number 1 '' calc add 12a 1
run bad-hex 1 '' calc add 0x 1
run arity 2 '' calc add 1
run unknown-op 2 '' calc pow 1 2
run no-bits 2 '' prime
run bits-1 2 '' prime --bits 1
run safe-2 1 '' prime --bits 2 --safe

# prime N FLAGS...: the result has exactly N bits and passes Python's test
# (with (p - 1) / 2 too for --safe).
prime() {
    local bits=$1; shift
    local p
    p=$("$ORBEK" bigint prime --bits "$bits" "$@")
    if python3 - "$p" "$bits" "$*" <<'PY'; then pass=$((pass+1)); else echo "FAIL prime $bits $*: '$p'"; fail=$((fail+1)); fi
import random, sys
p, bits, safe = int(sys.argv[1]), int(sys.argv[2]), '--safe' in sys.argv[3]
def probable(n):
    if n < 4: return n in (2, 3)
    d, s = n - 1, 0
    while d % 2 == 0: d, s = d // 2, s + 1
    for _ in range(30):
        x = pow(random.randrange(2, n - 1), d, n)
        if x in (1, n - 1): continue
        if all(pow(x, 2 ** r, n) != n - 1 for r in range(1, s)): return False
    return True
sys.exit(0 if p.bit_length() == bits and probable(p) and (not safe or probable(p // 2)) else 1)
PY
}
prime 2
prime 3 --safe
prime 61
prime 256 --fast
prime 384 --safe --fast

echo "cli bigint: $pass passed, $fail failed"
[ "$fail" = 0 ]
