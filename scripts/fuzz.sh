#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build (build/fuzz_NAME) for a chosen
# time, each from its seed corpus fuzz/corpus/NAME, several at once.
# Usage: scripts/fuzz.sh [--build] [--dir DIR] [--seconds N | --budget N] [--jobs J] [NAME...]
#   --dir DIR    the fuzz build folder (default: $ORBEK_BUILD_ROOT/build-fuzz,
#                the one scripts/test.sh fuzz makes)
#   --build      configure and build that folder first (clang, sanitizers)
#   --seconds N  run each target N seconds
#   --budget N   run them all in about N seconds of wall time: each gets
#                N x jobs / targets seconds (at least 5), so the total stays
#                the same however many targets the families add (default 240)
#   --jobs J     targets at once (default: $ORBEK_JOBS or the processors)
#   NAME...      only these targets
# New inputs a run finds stay in a scratch folder; an input that crashes a
# target is written into the build folder as crash-* (or leak-*, timeout-*).
# The last line says "fuzz: P passed, F failed"; the exit status is 0 when
# nothing failed.
set -uo pipefail
cd "$(dirname "$0")/.."
src=$PWD
dir=${ORBEK_BUILD_ROOT:-$src}/build-fuzz
seconds= budget=240 build=0 jobs=${ORBEK_JOBS:-$(nproc)}
names=()
while [ $# -gt 0 ]; do
    case $1 in
        --dir) dir=$2; shift 2 ;;
        --build) build=1; shift ;;
        --seconds) seconds=$2; shift 2 ;;
        --budget) budget=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
        *) names+=("$1"); shift ;;
    esac
done

if [ $build = 1 ]; then
    flags="-fsanitize=fuzzer-no-link,address,undefined"
    cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DORBEK_FUZZ=ON -DORBEK_TESTS=OFF -DORBEK_BENCH=OFF \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >"$dir.configure.log" 2>&1 \
        && cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 \
        || { tail -40 "$dir.configure.log" "$dir.build.log" 2>/dev/null; echo "fuzz: 0 passed, 1 failed"; exit 1; }
fi

targets=()
if [ ${#names[@]} -eq 0 ]; then
    for t in "$dir"/fuzz_*; do [ -f "$t" ] && [ -x "$t" ] && targets+=("$t"); done
else
    for n in "${names[@]}"; do
        [ -x "$dir/fuzz_$n" ] || { echo "fuzz.sh: no target $dir/fuzz_$n" >&2; exit 2; }
        targets+=("$dir/fuzz_$n")
    done
fi
if [ ${#targets[@]} -eq 0 ]; then echo "no fuzz targets in $dir"; echo "fuzz: 0 passed, 0 failed"; exit 0; fi
if [ -z "$seconds" ]; then
    seconds=$(( budget * jobs / ${#targets[@]} ))
    [ "$seconds" -lt 5 ] && seconds=5
fi
echo "fuzz: ${#targets[@]} targets, ${seconds}s each, $jobs at once"

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
fuzz_one() {  # fuzz_one TARGET: its verdict in $results/NAME
    local t=$1 name work corpus
    name=${t##*/fuzz_}
    corpus=$src/fuzz/corpus/$name
    work=$(mktemp -d)
    if "$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
           -artifact_prefix="$dir/" "$work" $( [ -d "$corpus" ] && echo "$corpus" ) >"$results/$name.log" 2>&1; then
        echo "ok      $name: $(grep -E '^#[0-9]+' "$results/$name.log" | tail -1 | cut -c1-90)"
        touch "$results/$name.ok"
    else
        echo "FAILED  $name"; tail -40 "$results/$name.log"
    fi
    rm -rf "$work"
}
running=0
for t in "${targets[@]}"; do
    if [ $running -ge "$jobs" ]; then wait -n; running=$((running - 1)); fi
    fuzz_one "$t" &
    running=$((running + 1))
done
wait
pass=$(find "$results" -name '*.ok' | wc -l)
fail=$(( ${#targets[@]} - pass ))
echo "fuzz: $pass passed, $fail failed"
[ "$fail" = 0 ]
