#!/usr/bin/env bash
# JSON decoding and encoding against cJSON and jansson, each benchmark in its
# own process (so that no library inherits another's heap), and the ratios
# of their median CPU times: above 1 means orbek_util is faster.
# Usage: scripts/bench_json.sh [BUILD_DIR] [REPETITIONS]   (build-bench, 7)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-bench} reps=${2:-7}
bin=$dir/bench_json
[ -x "$bin" ] || { echo "no $bin: cmake --build $dir --target bench_json" >&2; exit 1; }
names=("small objects" "long strings" "nested" "escape-dense strings")
median() {  # median CPU time in microseconds of one benchmark
    "$bin" --benchmark_filter="^$1\$" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
        --benchmark_format=csv 2>/dev/null | awk -F, '$1 ~ /_median"?$/ {print $4}'
}
printf '%-22s %-7s %12s %12s %12s %9s %9s\n' document op "orbek us" "cJSON us" "jansson us" "cJSON/o" "jansson/o"
for op in Decode Encode; do
    for i in 0 1 2 3; do
        o=$(median "Orbek_$op/$i") c=$(median "CJSON_$op/$i") j=$(median "Jansson_$op/$i")
        awk -v n="${names[$i]}" -v op="$op" -v o="$o" -v c="$c" -v j="$j" \
            'BEGIN {printf "%-22s %-7s %12.0f %12.0f %12.0f %9.2f %9.2f\n", n, op, o, c, j, c / o, j / o}'
    done
done
