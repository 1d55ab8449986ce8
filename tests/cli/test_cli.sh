#!/usr/bin/env bash
# Checks the orbek tool's habits: usage and exit codes.  $ORBEK is the tool.
set -u
fail=0; pass=0
check() {  # check NAME EXPECTED_RC [STDOUT_PATTERN] -- command...
    local name=$1 want=$2 pat=$3; shift 4
    local out rc
    out=$("$@" 2>/tmp/orbek_cli_err.$$); rc=$?
    if [ "$rc" != "$want" ] || { [ -n "$pat" ] && ! grep -q -- "$pat" <<<"$out"; }; then
        echo "FAIL $name: rc=$rc want=$want out='$out' err='$(cat /tmp/orbek_cli_err.$$)'"; fail=$((fail+1))
    else pass=$((pass+1)); fi
}
check version 0 '^ORBEK Utility Library 2.8,Build on 2021$' -- "$ORBEK" version
check --version 0 '^ORBEK Utility Library 2.8,Build on 2021$' -- "$ORBEK" --version
check --help 0 'usage: orbek' -- "$ORBEK" --help
check no-args 2 '' -- "$ORBEK"
check unknown 2 '' -- "$ORBEK" frobnicate
check version-extra 2 '' -- "$ORBEK" version extra
# A failed write of the output is a failure, wherever the output comes from.
for args in "--version" "--help" "-h" "version" "json --help"; do
    # shellcheck disable=SC2086
    "$ORBEK" $args >/dev/full 2>/dev/null; rc=$?
    [ "$rc" = 1 ] && pass=$((pass+1)) || { echo "FAIL '$args' into /dev/full: rc=$rc"; fail=$((fail+1)); }
done
# Usage for bad calls goes to stderr, not stdout.
[ -z "$("$ORBEK" 2>/dev/null)" ] && pass=$((pass+1)) || { echo "FAIL usage on stdout"; fail=$((fail+1)); }
rm -f /tmp/orbek_cli_err.$$
echo "cli: $pass passed, $fail failed"
[ "$fail" = 0 ]
