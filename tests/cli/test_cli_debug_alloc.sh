#!/usr/bin/env bash
# Checks ORBEK_DEBUG_ALLOC=FILE: the tool's report of its own allocations.
# $ORBEK is the tool.
set -u
fail=0; pass=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then pass=$((pass+1)); else echo "FAIL $name"; sed 's/^/    /' "$tmp/report" 2>/dev/null; fail=$((fail+1)); fi
}

# Work that allocates: JSON decoding and encoding, a Base64 round trip.
printf '{"a":[1,2,{"b":"x"}],"c":"%s"}' "$(head -c 3000 /dev/zero | tr '\0' y)" >"$tmp/in.json"
ORBEK_DEBUG_ALLOC="$tmp/report" "$ORBEK" json --sort "$tmp/in.json" >/dev/null
check json-rc test $? = 0
check alloc-line grep -qE '^Memory alloc count: [1-9][0-9]*,amount: [0-9]+ bytes,peak value: [0-9]+ bytes$' "$tmp/report"
n_alloc=$(sed -nE 's/^Memory alloc count: ([0-9]+),.*/\1/p' "$tmp/report")
n_free=$(sed -nE 's/^Memory free count: ([0-9]+),.*/\1/p' "$tmp/report")
check all-released test "$n_alloc" = "$n_free"
check no-leak-no-damage bash -c "! grep -qE 'leap|corrupt|failure' '$tmp/report'"
check two-lines test "$(wc -l <"$tmp/report")" = 2

ORBEK_DEBUG_ALLOC="$tmp/report" "$ORBEK" base64 "$tmp/in.json" | ORBEK_DEBUG_ALLOC="$tmp/report2" "$ORBEK" base64 -d >"$tmp/out"
check base64-roundtrip cmp -s "$tmp/in.json" "$tmp/out"
check base64-report grep -q '^Memory free count' "$tmp/report2"

# Without the variable no report appears; an empty value switches nothing on.
rm -f "$tmp/report"
"$ORBEK" version >/dev/null
ORBEK_DEBUG_ALLOC= "$ORBEK" version >/dev/null
check no-report test ! -e "$tmp/report"

echo "debug-alloc cli checks: $pass passed, $fail failed"
[ $fail = 0 ]
