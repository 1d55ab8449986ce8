#!/usr/bin/env bash
# orbek digest: agreement with coreutils' sha*sum and OpenSSL's HMAC, the
# output format, files that cannot be read, usage habits.  $ORBEK is the tool.
set -u
fail=0; pass=0
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
check() { if eval "$2"; then pass=$((pass+1)); else echo "FAIL $1"; fail=$((fail+1)); fi; }

for n in 0 1 55 56 64 111 112 128 100000; do head -c $n /dev/urandom >"$T/s$n"; done
files=$(ls "$T"/s* | sort | tr "\n" " ")
for bits in 1 256 512; do
    check "sha$bits of every sample" "cmp -s <(\"\$ORBEK\" digest --sha$bits $files) <(sha${bits}sum $files)"
    check "sha$bits of standard input" "cmp -s <(\"\$ORBEK\" digest --sha$bits <\"$T/s100000\") <(sha${bits}sum <\"$T/s100000\")"
done
check "SHA-256 by default, '-' is standard input" \
    "cmp -s <(\"\$ORBEK\" digest - \"$T/s1\" <\"$T/s55\") <(sha256sum - \"$T/s1\" <\"$T/s55\")"
printf 'x' >"$T/a\\b"
check "names with a backslash escaped" "cmp -s <(\"\$ORBEK\" digest \"$T/a\\b\") <(sha256sum \"$T/a\\b\")"

# HMAC against OpenSSL, short and longer-than-a-block keys.
if command -v openssl >/dev/null; then
    for key in "Jefe" "$(head -c 200 /dev/zero | tr '\0' k)"; do
        printf '%s' "$key" >"$T/key"
        hexkey=$(od -An -v -tx1 "$T/key" | tr -d ' \n')
        for bits in 1 256 512; do
            want=$(openssl dgst -sha$bits -mac HMAC -macopt hexkey:$hexkey "$T/s100000" | sed 's/.*= //')
            check "HMAC-SHA$bits, key of ${#key}" "[ \"\$(\"\$ORBEK\" digest --sha$bits --hmac-key-file \"$T/key\" \"$T/s100000\")\" = \"$want  $T/s100000\" ]"
        done
    done
fi

# A file that cannot be read is reported; the others are still printed.
"$ORBEK" digest "$T/none" "$T/s1" >"$T/out" 2>"$T/err"
check "missing file (rc $?)" "[ $? = 1 ] && [ -s \"$T/err\" ] && cmp -s \"$T/out\" <(sha256sum \"$T/s1\")"
"$ORBEK" digest "$T" >/dev/null 2>&1; check "a directory fails" "[ $? = 1 ]"
: >"$T/empty_key"
"$ORBEK" digest --hmac-key-file "$T/empty_key" "$T/s1" >/dev/null 2>&1; check "empty key file" "[ $? = 1 ]"
"$ORBEK" digest --hmac-key-file "$T/none" "$T/s1" >/dev/null 2>&1; check "missing key file" "[ $? = 1 ]"
"$ORBEK" digest "$T/s1" >/dev/full 2>/dev/null; check "full output" "[ $? = 1 ]"

check "orbek digest --help" "\"\$ORBEK\" digest --help | grep -q usage"
for args in "digest --bogus" "digest --hmac-key-file" "digest --md5"; do
    eval "\"\$ORBEK\" $args" </dev/null >"$T/out" 2>"$T/err"
    check "orbek $args (rc $?)" "[ $? = 2 ] && [ -s \"$T/err\" ] && [ ! -s \"$T/out\" ]"
done

echo "cli digest: $pass passed, $fail failed"
[ "$fail" = 0 ]
