#!/usr/bin/env bash
# orbek base64, pem and hex: round trips, agreement with coreutils and od,
# rejection of bad input, usage habits, bounded memory.  $ORBEK is the tool.
set -u
fail=0; pass=0
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
ok() { pass=$((pass+1)); }
bad() { echo "FAIL $*"; fail=$((fail+1)); }

head -c 0 /dev/urandom >"$T/s0"
head -c 1 /dev/urandom >"$T/s1"
head -c 2 /dev/urandom >"$T/s2"
head -c 3 /dev/urandom >"$T/s3"
head -c 48 /dev/urandom >"$T/s48"
head -c 1048576 /dev/urandom >"$T/s1m"
sizes="s0 s1 s2 s3 s48 s1m"

# roundtrip NAME ENCODE-ARGS -- DECODE-ARGS: encode each sample, decode, compare.
roundtrip() {
    local name=$1 enc=() dec=()
    shift
    while [ "$1" != -- ]; do enc+=("$1"); shift; done
    shift; dec=("$@")
    for s in $sizes; do
        if "$ORBEK" "${enc[@]}" "$T/$s" >"$T/enc" 2>"$T/err" &&
           "$ORBEK" "${dec[@]}" <"$T/enc" >"$T/dec" 2>>"$T/err" && cmp -s "$T/dec" "$T/$s"; then ok
        else bad "$name round trip of $s: $(head -c 300 "$T/err")"; fi
    done
}
roundtrip base64 base64 -- base64 -d
roundtrip base64-url base64 --url --no-pad -- base64 -d --url --no-pad
roundtrip base64-crlf base64 --crlf --wrap 64 -- base64 -d
roundtrip base64-cr base64 --cr --wrap 5 -- base64 -d
roundtrip base64-nowrap base64 --no-wrap -- base64 -d
roundtrip pem pem encode CERTIFICATE -- pem decode CERTIFICATE
roundtrip hex hex -- hex -d
roundtrip hex-upper hex -u -- hex -d

# The same text as coreutils (76-column lines, LF, final line break), and
# the same digits as od.
for s in $sizes; do
    "$ORBEK" base64 "$T/$s" | cmp -s - <(base64 "$T/$s") && ok || bad "base64 of $s differs from coreutils"
    "$ORBEK" base64 --no-wrap <"$T/$s" | cmp -s - <(base64 -w0 "$T/$s") && ok || bad "base64 --no-wrap of $s"
    want=$(od -An -v -tx1 "$T/$s" | tr -d ' \n')
    [ "$("$ORBEK" hex "$T/$s")" = "$want" ] && ok || bad "hex of $s differs from od"
done
"$ORBEK" base64 --url --no-pad --no-wrap "$T/s1m" | cmp -s - <(base64 -w0 "$T/s1m" | tr '+/' '-_' | tr -d '=') \
    && ok || bad "URL-safe alphabet"
[ "$(printf '\x00\xab' | "$ORBEK" hex -u)" = "00AB" ] && ok || bad "hex -u"
# PEM text has CRLF lines of 64 characters.
"$ORBEK" pem encode KEY "$T/s48" >"$T/pem"
[ "$(head -c 29 "$T/pem" | od -An -c | tr -s ' ')" != "" ] && head -1 "$T/pem" | grep -q $'^-----BEGIN KEY-----\r$' \
    && [ "$(sed -n 2p "$T/pem" | tr -d '\r' | wc -c)" = 65 ] && tail -1 "$T/pem" | grep -q $'^-----END KEY-----\r$' \
    && ok || bad "PEM layout"
# Line breaks in hex input are skipped; base64 decoding skips them too.
[ "$(printf '0a\r\n0b\n' | "$ORBEK" hex -d | od -An -tx1 | tr -d ' ')" = "0a0b" ] && ok || bad "hex -d skips line breaks"
[ "$(printf 'YWJj\r\nZA==\n' | "$ORBEK" base64 -d)" = "abcd" ] && ok || bad "base64 -d skips line breaks"
[ "$(printf 'YWJjZA' | "$ORBEK" base64 -d --no-pad)" = "abcd" ] && ok || bad "base64 -d --no-pad"

# Bad input: exit 1 with the error listing on stderr.
rejects() {  # rejects NAME INPUT ARGS...
    local name=$1 input=$2; shift 2
    printf '%b' "$input" | "$ORBEK" "$@" >/dev/null 2>"$T/err"
    local rc=$?
    if [ $rc = 1 ] && grep -q '^0X000101' "$T/err"; then ok; else bad "$name: rc=$rc err='$(cat "$T/err")'"; fi
}
rejects "invalid character" 'YW*j' base64 -d
rejects "data after padding" 'YWJjZA==QQ==' base64 -d
rejects "unfinished group" 'YWJjZA' base64 -d
rejects "padding with --no-pad" 'YWJjZA==' base64 -d --no-pad
rejects "blank inside" 'YW Jj' base64 -d
rejects "hex digit" '0g' hex -d
rejects "odd hex" 'abc' hex -d
pem_text=$("$ORBEK" pem encode CERTIFICATE "$T/s48")
rejects "PEM label" "$pem_text" pem decode KEY
rejects "PEM blank line first" "\r\n$pem_text" pem decode CERTIFICATE
rejects "PEM body" "$(sed 's/^[A-Za-z]/*/' <<<"$pem_text")" pem decode CERTIFICATE
rejects "PEM no END" "$(head -2 <<<"$pem_text")" pem decode CERTIFICATE
rejects "PEM trailing text" "${pem_text}xyz\n" pem decode CERTIFICATE
head -c 30000 "$T/s1m" | "$ORBEK" base64 | sed '100s/./#/' | "$ORBEK" base64 -d >/dev/null 2>&1
[ $? = 1 ] && ok || bad "corruption deep in a long text"
"$ORBEK" hex "$T/nonexistent" >/dev/null 2>&1; [ $? = 1 ] && ok || bad "missing file"

# Usage habits.
usage() {  # usage RC ARGS...
    local want=$1; shift
    "$ORBEK" "$@" </dev/null >"$T/out" 2>"$T/err"
    local rc=$?
    [ $rc = "$want" ] && ok || bad "orbek $*: rc=$rc want $want"
    if [ "$want" = 2 ]; then [ -s "$T/err" ] && [ ! -s "$T/out" ] && ok || bad "orbek $*: usage not on stderr"; fi
}
usage 0 base64 --help
usage 0 pem --help
usage 0 hex --help
usage 2 base64 --bogus
usage 2 base64 --wrap
usage 2 base64 --wrap x
usage 2 base64 a b
usage 2 pem
usage 2 pem encode
usage 2 pem sign KEY
usage 2 pem encode ""
usage 2 hex -x
"$ORBEK" --help | grep -q 'orbek base64' && "$ORBEK" --help | grep -q 'orbek pem' && "$ORBEK" --help | grep -q 'orbek hex' \
    && ok || bad "commands listed in --help"

# Fixed-size chunks: 160 MiB through encoder and decoder in 96 MiB of
# address space (skipped where the tool cannot start under the limit, as
# with AddressSanitizer).
if (ulimit -v 98304; "$ORBEK" version >/dev/null 2>&1); then
    n=$( (ulimit -v 98304; head -c 167772160 /dev/zero | "$ORBEK" base64 | "$ORBEK" base64 -d | wc -c) )
    [ "$n" = 167772160 ] && ok || bad "streaming under a memory limit: got $n bytes"
    n=$( (ulimit -v 98304; head -c 67108864 /dev/zero | "$ORBEK" hex | "$ORBEK" hex -d | wc -c) )
    [ "$n" = 67108864 ] && ok || bad "hex streaming under a memory limit: got $n bytes"
    n=$( (ulimit -v 98304; head -c 67108864 /dev/zero | "$ORBEK" pem encode X | "$ORBEK" pem decode X | wc -c) )
    [ "$n" = 67108864 ] && ok || bad "pem streaming under a memory limit: got $n bytes"
fi

echo "cli stream: $pass passed, $fail failed"
[ "$fail" = 0 ]
