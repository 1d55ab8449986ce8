#!/usr/bin/env bash
# Checks orbek norm and orbek casefold.  $ORBEK is the tool.
set -u
fail=0; pass=0
ok() { pass=$((pass+1)); }
bad() { echo "FAIL $1"; fail=$((fail+1)); }
hex() { od -An -tx1 | tr -d ' \n'; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# e + acute, a Hangul syllable, the fi ligature, sharp s, double-struck C.
in='e\314\201 \352\260\201 \357\254\201 \303\237 \342\204\202'
check() {  # check NAME WANT-HEX ARGS...
    local name=$1 want=$2; shift 2
    [ "$(printf "$in" | "$ORBEK" "$@" | hex)" = "$want" ] && ok || bad "$name"
}
check nfc   "c3a920eab08120efac8120c39f20e28482" norm nfc
check nfd   "65cc8120e18480e185a1e186a820efac8120c39f20e28482" norm nfd
check nfkc  "c3a920eab08120666920c39f2043" norm nfkc
check nfkd  "65cc8120e18480e185a1e186a820666920c39f2043" norm nfkd
check fold  "65cc8120eab08120666920737320e28482" casefold
check fold2 "65cc8120eab0812066692073732063" casefold --nfkc
printf "$in" >"$tmp/in"
[ "$("$ORBEK" norm nfc "$tmp/in" | hex)" = "c3a920eab08120efac8120c39f20e28482" ] && ok || bad "from a file"

# Several pieces, one of them longer than a piece without any ASCII: the
# text comes back whole after NFD then NFC.
{ for i in $(seq 300); do printf 'Caf\303\251 na\303\257ve \352\260\201\n'; done
  head -c 1600000 /dev/zero | tr '\0' '\1' | sed 's/\x01/\xc3\xa9/g'
  for i in $(seq 300); do printf 'x\314\207y\n'; done; } >"$tmp/big"
"$ORBEK" norm nfd "$tmp/big" >"$tmp/nfd" && "$ORBEK" norm nfc "$tmp/nfd" >"$tmp/nfc" || bad "big text rc"
{ for i in $(seq 300); do printf 'Caf\303\251 na\303\257ve \352\260\201\n'; done
  head -c 1600000 /dev/zero | tr '\0' '\1' | sed 's/\x01/\xc3\xa9/g'
  for i in $(seq 300); do printf '\341\272\213y\n'; done; } >"$tmp/want"
cmp -s "$tmp/nfc" "$tmp/want" && ok || bad "big text through nfd and nfc"
[ "$(wc -c <"$tmp/nfd")" = $(( $(wc -c <"$tmp/big") + 1600000 + 300 * 8 )) ] && ok || bad "big text nfd size"

# Malformed input: exit 1 naming the offset, also past the first piece.
msg=$(printf 'abc\377' | "$ORBEK" norm nfc 2>&1 >/dev/null); rc=$?
[ $rc = 1 ] && grep -q 'byte offset 3' <<<"$msg" && ok || bad "malformed at 3: rc=$rc $msg"
msg=$( { head -c 2097152 /dev/zero | tr '\0' a; printf '\300\200'; } | "$ORBEK" casefold 2>&1 >/dev/null); rc=$?
[ $rc = 1 ] && grep -q 'byte offset 2097152' <<<"$msg" && ok || bad "malformed at 2 MiB: rc=$rc $msg"
msg=$(printf 'ok \342\202' | "$ORBEK" norm nfkd 2>&1 >/dev/null); rc=$?
[ $rc = 1 ] && grep -q 'byte offset 3' <<<"$msg" && ok || bad "truncated at the end: rc=$rc $msg"

# Usage.
"$ORBEK" norm </dev/null >/dev/null 2>&1; [ $? = 2 ] && ok || bad "norm without a form"
"$ORBEK" norm nfx </dev/null >/dev/null 2>&1; [ $? = 2 ] && ok || bad "unknown form"
"$ORBEK" casefold --upper </dev/null >/dev/null 2>&1; [ $? = 2 ] && ok || bad "unknown option"
"$ORBEK" norm nfc /nonexistent/file >/dev/null 2>&1; [ $? = 1 ] && ok || bad "missing file"
"$ORBEK" norm --help | grep -q 'usage: orbek norm' && ok || bad "norm --help"
"$ORBEK" casefold --help | grep -q 'usage: orbek casefold' && ok || bad "casefold --help"

echo "cli norm/casefold: $pass passed, $fail failed"
[ "$fail" = 0 ]
