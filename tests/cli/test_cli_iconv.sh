#!/usr/bin/env bash
# Checks orbek iconv.  $ORBEK is the tool.
set -u
fail=0; pass=0
ok() { pass=$((pass+1)); }
bad() { echo "FAIL $1"; fail=$((fail+1)); }
hex() { od -An -tx1 | tr -d ' \n'; }

# Through code pages and the Unicode forms, both ways.
[ "$(printf 'caf\351 \200' | "$ORBEK" iconv --from windows-1252 --to UTF-8 | hex)" = 636166c3a920e282ac ] && ok || bad "1252 to UTF-8"
[ "$(printf '\320\237\321\200\320\270' | "$ORBEK" iconv --from utf-8 --to CP1251 | hex)" = cff0e8 ] && ok || bad "UTF-8 to 1251"
[ "$(printf '\344\270\255' | "$ORBEK" iconv --from UTF-8 --to shift_jis | hex)" = 9286 ] && ok || bad "UTF-8 to Shift_JIS"
[ "$(printf 'A\360\237\230\200' | "$ORBEK" iconv --from UTF-8 --to UTF-16LE | hex)" = 41003dd800de ] && ok || bad "UTF-8 to UTF-16LE"
[ "$(printf 'hi \344\270\255' | "$ORBEK" iconv --from utf-8 --to koi8-r)" = 'hi ?' ] && ok || bad "unmappable becomes ?"
tmp=$(mktemp)
printf '\223\372\226\173\214\352 ABC' >"$tmp"
[ "$("$ORBEK" iconv --from SHIFT_JIS --to utf-32be "$tmp" | "$ORBEK" iconv --from UTF-32BE --to x-sjis | hex)" = "$(hex <"$tmp")" ] \
    && ok || bad "round trip from a file"
rm -f "$tmp"
[ -z "$("$ORBEK" iconv --from cp1252 --to NO-SUCH-NAME </dev/null)" ] && ok || bad "empty input, any name"

# Refusals: exit 1 with a message, nothing on stdout.
out=$(printf '\377' | "$ORBEK" iconv --from UTF-8 --to cp1252 2>/dev/null); rc=$?
[ $rc = 1 ] && [ -z "$out" ] && ok || bad "malformed UTF-8: rc=$rc"
printf 'abc' | "$ORBEK" iconv --from NO-SUCH-NAME --to UTF-8 >/dev/null 2>&1; [ $? = 1 ] && ok || bad "unknown source name"
printf '\303\251' | "$ORBEK" iconv --from UTF-8 --to ascii >/dev/null 2>&1; [ $? = 1 ] && ok || bad "ascii cannot hold U+00E9"
"$ORBEK" iconv --from UTF-8 --to UTF-8 /nonexistent/file >/dev/null 2>&1; [ $? = 1 ] && ok || bad "missing file"

# The table listing and usage.
list=$("$ORBEK" iconv --list)
[ "$(wc -l <<<"$list")" = 355 ] && ok || bad "355 names listed"
[ "$(head -1 <<<"$list")" = "$(printf 'ANSI_X3.4-1968\t20127\t1252')" ] && ok || bad "first listed name"
grep -qx "$(printf 'WESTERN EUROPEAN(WINDOWS)\t1252\t1252')" <<<"$list" && ok || bad "a descriptive name"
[ "$(LC_ALL=C sort -c <<<"$list" 2>&1)" = "" ] && ok || bad "listed in byte order"
"$ORBEK" iconv --from UTF-8 >/dev/null 2>&1; [ $? = 2 ] && ok || bad "missing --to"
"$ORBEK" iconv --list extra >/dev/null 2>&1; [ $? = 2 ] && ok || bad "--list takes nothing else"
"$ORBEK" iconv --help | grep -q 'usage: orbek iconv' && ok || bad "iconv --help"

echo "cli iconv: $pass passed, $fail failed"
[ "$fail" = 0 ]
