#!/usr/bin/env bash
# Checks `orbek json`: reformatting, validation messages and exit codes.
# $ORBEK is the tool.
set -u
fail=0; pass=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# run NAME EXPECTED_RC EXPECTED_STDOUT INPUT [ARGS...]: INPUT goes to stdin.
run() {
    local name=$1 want_rc=$2 want_out=$3 input=$4; shift 4
    local out rc
    out=$(printf '%s' "$input" | "$ORBEK" json "$@" 2>"$tmp/err"); rc=$?
    if [ "$rc" != "$want_rc" ] || [ "$out" != "$want_out" ]; then
        echo "FAIL $name: rc=$rc want=$want_rc out='$out' want='$want_out' err='$(cat "$tmp/err")'"; fail=$((fail+1))
    else pass=$((pass+1)); fi
}
# err_has NAME PATTERN: the last run's stderr matches PATTERN.
err_has() {
    if grep -q -- "$2" "$tmp/err"; then pass=$((pass+1)); else
        echo "FAIL $1: stderr '$(cat "$tmp/err")' lacks '$2'"; fail=$((fail+1)); fi
}

run compact 0 '{"b":[1,2],"a":"\u000A"}' '{ "b" : [ 1 , 2 ] , "a" : "\n" }'
run sort 0 '{"a":"\u000A","b":[1,2]}' '{"b":[1,2],"a":"\n"}' --sort
# Array elements carry the layout down; a member's value is always compact.
run pretty 0 "$(printf '[\n\t1,\n\t{\n\t\t"k":[true,null]\n\t}\n]')" '[1,{"k":[true,null]}]' --pretty
run indent 0 "$(printf '[\n  \t1\n]')" '[1]' --indent 2
run check-ok 0 '' '{"a":1}' --check
run scalar 0 '2.5' '2.5'
run numbers 0 '[100,0.1,3000000000,-0]' '[1E2,0.1000000,3e9,-0.0000001]'

run trailing-comma 1 '' '[1,2,]'
err_has trailing-comma 'line 1, column 6 (byte 5): trailing comma'
run position-line 1 '' "$(printf '{"a":\n  [1, 2 3]}')" --check
err_has position-line 'line 2, column 9'
run bad-utf8 1 '' "$(printf '["ok","\xc0\x80"]')"
err_has bad-utf8 'byte 7): invalid UTF-8'
run lone-surrogate 1 '' '"\uDE00"'
err_has lone-surrogate 'low surrogate'
run space-scalar 1 '' ' 1'
err_has space-scalar 'byte 0'
run after-value 1 '' '[1] [2]'
err_has after-value 'byte 4): unexpected text after the value'
run empty 1 '' ''
err_has empty 'unexpected end of input'
deep=$(printf '%.0s[' $(seq 201))$(printf '%.0s]' $(seq 201))
run too-deep 1 '' "$deep" --check
err_has too-deep 'nesting deeper than'
# A number that decodes to an infinity cannot be written back as JSON.
run infinity 1 '' '[1e400]'
err_has infinity 'line 1, column 2 (byte 1)'
run infinity-check 1 '' "$(printf '{"a":\n  [0, -1E999]}')" --check
err_has infinity-check 'line 2, column 7'
run largest-double 0 '[-1]' '[-1e0]'

# With the limit raised, nesting far deeper than any thread stack would hold
# recursion still decodes and encodes.
deep=$(printf '%.0s[' $(seq 100000))$(printf '%.0s]' $(seq 100000))
out=$(printf '%s' "$deep" | ORBEK_RECURSIVE_LEVEL=1000000 "$ORBEK" json --sort)
[ "$out" = "$deep" ] && pass=$((pass+1)) || { echo "FAIL deep round trip"; fail=$((fail+1)); }

# A file argument, and the usage errors.
printf '{"z":0,"y":1}' >"$tmp/doc.json"
out=$("$ORBEK" json --sort "$tmp/doc.json"); [ "$out" = '{"y":1,"z":0}' ] && pass=$((pass+1)) || { echo "FAIL file: '$out'"; fail=$((fail+1)); }
"$ORBEK" json "$tmp/missing.json" 2>/dev/null; [ $? = 1 ] && pass=$((pass+1)) || { echo "FAIL missing file"; fail=$((fail+1)); }
for bad in "--indent" "--indent 256" "--indent x" "--frobnicate" "a b"; do
    # shellcheck disable=SC2086
    "$ORBEK" json $bad </dev/null >"$tmp/out" 2>/dev/null; rc=$?
    if [ $rc = 2 ] && [ ! -s "$tmp/out" ]; then pass=$((pass+1)); else echo "FAIL usage '$bad': rc=$rc"; fail=$((fail+1)); fi
done
"$ORBEK" json --help | grep -q 'usage: orbek json' && pass=$((pass+1)) || { echo "FAIL --help"; fail=$((fail+1)); }

echo "json cli: $pass passed, $fail failed"
[ "$fail" = 0 ]
