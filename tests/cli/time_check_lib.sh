# Sourced by the 'orbek time' checks: counters, a scratch file for stderr
# and check().  $ORBEK is the tool.
set -u
fail=0; pass=0
err=$(mktemp)
trap 'rm -f "$err"' EXIT
check() {  # check NAME EXPECTED_RC EXPECTED_STDOUT -- command...
    local name=$1 want=$2 expect=$3; shift 4
    local out rc
    out=$("$@" 2>"$err"); rc=$?
    if [ "$rc" != "$want" ] || [ "$out" != "$expect" ]; then
        echo "FAIL $name: rc=$rc want=$want out='$out' expected='$expect' err='$(cat "$err")'"; fail=$((fail+1))
    else pass=$((pass+1)); fi
}
T="$ORBEK time"
