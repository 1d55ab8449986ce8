#!/usr/bin/env bash
# Checks orbek idn and orbek ldapprep.  $ORBEK is the tool.
set -u
fail=0; pass=0
ok() { pass=$((pass+1)); }
bad() { echo "FAIL $1"; fail=$((fail+1)); }
# expect NAME WANTED-STDOUT WANTED-RC command...
expect() {
    local what=$1 want=$2 want_rc=$3; shift 3
    local out rc
    out=$("$@" 2>/dev/null); rc=$?
    [ "$out" = "$want" ] && [ $rc = "$want_rc" ] && ok || bad "$what: rc=$rc out='$out'"
}

expect "toascii, one line per name" $'xn--bcher-kva.example\nabc.xn--wgv71a119e' 0 \
    "$ORBEK" idn toascii 'bücher.example' 'ＡＢＣ。日本語'
expect "tounicode" $'bücher.example\nBüCHER.Plain' 0 "$ORBEK" idn tounicode xn--bcher-kva.example XN--BCHER-KVA.Plain
expect "flags after the names" 'a-b' 0 "$ORBEK" idn toascii a-b --std3
expect "wildcard" '*.example' 0 "$ORBEK" idn toascii --std3 --wildcard '*.example'
expect "unassigned allowed" 'xn--a-qib' 0 "$ORBEK" idn toascii --allow-unassigned $'a\xcd\xb8'
# A failing name: exit 1, the others still converted, the label named.
expect "failure keeps going" $'a.b\nc' 1 "$ORBEK" idn toascii a.b 'x_y.z' c --std3
msg=$("$ORBEK" idn toascii --std3 'ok.x_y.z' 2>&1 >/dev/null)
grep -q "label 'x_y'" <<<"$msg" && ok || bad "failing label named: $msg"
msg=$("$ORBEK" idn toascii 'a..b' 2>&1 >/dev/null)
grep -q "empty label" <<<"$msg" && ok || bad "empty label named: $msg"
expect "invalid UTF-8" '' 1 "$ORBEK" idn toascii $'\xff'
expect "usage: no name" '' 2 "$ORBEK" idn toascii --std3
expect "usage: unknown option" '' 2 "$ORBEK" idn toascii --nope a
expect "usage: unknown direction" '' 2 "$ORBEK" idn sideways a
"$ORBEK" idn --help | grep -q 'usage: orbek idn' && ok || bad "idn --help"

expect "ldapprep case-ignore" ' hello  world ' 0 "$ORBEK" ldapprep --type 1 '  Hello   WORLD '
expect "ldapprep telephone from stdin" '+15550100' 0 sh -c "printf '+1-555 0100\n' | \"$ORBEK\" ldapprep --type 4"
expect "ldapprep empty" '  ' 0 "$ORBEK" ldapprep --type 0 ''
expect "ldapprep prohibited" '' 1 "$ORBEK" ldapprep --type 0 $'a\xef\xbf\xbd'
expect "ldapprep type 2" '' 2 "$ORBEK" ldapprep --type 2 x
expect "ldapprep no type" '' 2 "$ORBEK" ldapprep x

echo "cli idn/ldapprep: $pass passed, $fail failed"
[ "$fail" = 0 ]
