#!/usr/bin/env bash
# Checks orbek utf and orbek sysinfo.  $ORBEK is the tool.
set -u
fail=0; pass=0
ok() { pass=$((pass+1)); }
bad() { echo "FAIL $1"; fail=$((fail+1)); }
hex() { od -An -tx1 | tr -d ' \n'; }

# Conversions, both ways, byte for byte.
[ "$(printf 'h\303\251\360\237\230\200' | "$ORBEK" utf utf8 utf32be | hex)" = 00000068000000e90001f600 ] && ok || bad "utf8 to utf32be"
[ "$(printf '\000\000\000h\000\001\366\000' | "$ORBEK" utf utf32be utf8 | hex)" = 68f09f9880 ] && ok || bad "utf32be to utf8"
[ "$(printf 'AB' | "$ORBEK" utf ascii bmp | hex)" = 00410042 ] && ok || bad "ascii to bmp"
[ "$(printf '\357\273\277A' | "$ORBEK" utf utf8 bmp | hex)" = feff0041 ] && ok || bad "a byte-order mark stays"
tmp=$(mktemp)
printf 'caf\303\251 \344\270\255\346\226\207 \360\237\230\200\000end' >"$tmp"
for f in utf16 utf32 utf32be utf8; do
    [ "$("$ORBEK" utf utf8 $f "$tmp" | "$ORBEK" utf $f utf8 | hex)" = "$(hex <"$tmp")" ] && ok || bad "round trip through $f"
done
rm -f "$tmp"

# Refusals: exit 1 with a message, nothing on stdout.
for input in '\300\200' '\355\240\200' '\364\220\200\200' '\342\202' '\200'; do
    out=$(printf "$input" | "$ORBEK" utf utf8 utf16 2>/dev/null); rc=$?
    [ $rc = 1 ] && [ -z "$out" ] && ok || bad "malformed UTF-8 $input: rc=$rc"
done
printf '\360\237\230\200' | "$ORBEK" utf utf8 bmp >/dev/null 2>&1; [ $? = 1 ] && ok || bad "bmp cannot hold U+1F600"
printf '\303\251' | "$ORBEK" utf utf8 ascii >/dev/null 2>&1; [ $? = 1 ] && ok || bad "ascii cannot hold U+00E9"
printf 'abc' | "$ORBEK" utf bmp utf8 >/dev/null 2>&1; [ $? = 1 ] && ok || bad "odd UCS-2 length"

# Usage.
"$ORBEK" utf utf8 >/dev/null 2>&1; [ $? = 2 ] && ok || bad "missing TO"
"$ORBEK" utf utf8 latin1 </dev/null >/dev/null 2>&1; [ $? = 2 ] && ok || bad "unknown form"
"$ORBEK" utf --help | grep -q 'usage: orbek utf' && ok || bad "utf --help"
"$ORBEK" utf utf8 utf8 /nonexistent/file >/dev/null 2>&1; [ $? = 1 ] && ok || bad "missing file"

# The recursion level is read when the library loads.
level() { env "$@" "$ORBEK" sysinfo | sed -n 's/^recursion level: //p'; }
[ "$(level -u ORBEK_RECURSIVE_LEVEL)" = 200 ] && ok || bad "unset level"
[ "$(level ORBEK_RECURSIVE_LEVEL=3)" = 8 ] && ok || bad "level 3"
[ "$(level ORBEK_RECURSIVE_LEVEL=abc)" = 8 ] && ok || bad "level abc"
[ "$(level ORBEK_RECURSIVE_LEVEL=1000)" = 1000 ] && ok || bad "level 1000"
[ "$(level ORBEK_RECURSIVE_LEVEL=' 64x')" = 64 ] && ok || bad "level ' 64x'"
info=$("$ORBEK" sysinfo)
grep -q '^system version: [0-9]*\.[0-9]*\.[0-9]* platform 2' <<<"$info" && ok || bad "system version line"
# orbek.exe at a drive path under Wine.
grep -Eq '^executable name: orbek(\.exe)?$' <<<"$info" && ok || bad "executable name"
grep -Eq '^executable: (/.*/|[A-Z]:\\.*\\)orbek(\.exe)?$' <<<"$info" && ok || bad "executable path"
"$ORBEK" sysinfo extra >/dev/null 2>&1; [ $? = 2 ] && ok || bad "sysinfo extra argument"

echo "cli ustring/sysinfo: $pass passed, $fail failed"
[ "$fail" = 0 ]
