#!/usr/bin/env bash
# valgrind memcheck over the test programs of a native build: every test
# whose command is a program of the build folder (the GoogleTest suites and
# the C programs; the tool's shell scripts and the other checks are left
# out).  Fails on any invalid read or write, use of uninitialised memory,
# or definitely or indirectly lost block.
# Usage: scripts/valgrind.sh BUILD_DIR [JOBS]
set -uo pipefail
dir=$(cd "${1:?usage: scripts/valgrind.sh BUILD_DIR [JOBS]}" && pwd)
jobs=${2:-${ORBEK_JOBS:-$(nproc)}}
command -v valgrind >/dev/null || { echo "valgrind: not installed"; exit 1; }
logs=$dir/valgrind
supp=$(cd "$(dirname "$0")" && pwd)/valgrind.supp
rm -rf "$logs"
mkdir -p "$logs"

# "N: Test command: PROGRAM ARGS" lines of the suite; the programs that live
# in the build folder.
mapfile -t progs < <(ctest --test-dir "$dir" -N -V 2>/dev/null \
    | sed -n -E 's/^[0-9]+: Test command: ([^ ]+).*/\1/p' | grep -F "$dir/" | sort -u)
[ ${#progs[@]} -gt 0 ] || { echo "valgrind: no test programs in $dir"; exit 1; }

run_one() {
    local prog=$1 logs=$2 supp=$3 name rc
    name=${prog##*/}
    valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
        --track-origins=yes --num-callers=30 --suppressions="$supp" --log-file="$logs/$name.log" \
        "$prog" >"$logs/$name.out" 2>&1
    rc=$?
    if [ $rc = 0 ]; then
        echo "ok      $name"
    else
        echo "FAILED  $name (exit $rc; $logs/$name.log)"
        grep -E '^==[0-9]+== (Invalid|Conditional|Use of|Mismatched|Syscall param|[0-9,]+ bytes in)' -A8 \
            "$logs/$name.log" | head -60
        tail -5 "$logs/$name.out"
    fi
    return $rc
}
export -f run_one
printf '%s\n' "${progs[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$logs" "$supp"
rc=$?
n=${#progs[@]}
failed=$(grep -c . < <(grep -L 'ERROR SUMMARY: 0 errors' "$logs"/*.log) || true)
echo "valgrind: $((n - failed)) passed, $failed failed"
[ $rc = 0 ] && [ "$failed" = 0 ]
