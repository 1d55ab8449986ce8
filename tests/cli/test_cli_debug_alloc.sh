#!/usr/bin/env bash
# ORBEK_DEBUG_ALLOC=FILE: the tool reports its own allocations, and a clean
# run releases everything it allocated.  $ORBEK is the tool.
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf '{"a":[1,2,{"b":"x"}],"c":"%s"}' "$(head -c 3000 /dev/zero | tr '\0' y)" >"$tmp/in.json"
ORBEK_DEBUG_ALLOC="$tmp/report" "$ORBEK" json --sort "$tmp/in.json" >/dev/null || { echo "FAIL json"; exit 1; }
counts=$(sed -nE 's/^Memory (alloc|free) count: ([0-9]+),amount: ([0-9]+) bytes.*/\2 \3/p' "$tmp/report")
if [ "$(wc -l <"$tmp/report")" != 2 ] || [ "$(sed -n 1p <<<"$counts")" != "$(sed -n 2p <<<"$counts")" ] ||
   [ "$(sed -n 1p <<<"$counts")" = "0 0" ]; then
    echo "FAIL report:"; cat "$tmp/report"; exit 1
fi
echo "debug-alloc cli checks passed"
