#!/usr/bin/env bash
# Lists every exported function that can allocate and fails when one is not
# reached by an allocation-failure sweep (testalloc::sweep) in some test.
#
# Which exports can allocate comes from two sources, so that neither a
# function no test calls nor an allocation behind a function pointer is
# missed:
#   - the shared library's machine code: the exports from which a chain of
#     direct calls (and tail jumps) leads to the library's allocation entry
#     (orbek::alloc, orbek_malloc);
#   - the test suite itself: run with ORBEK_ALLOC_TRACE, every allocation
#     notes the exports on its stack (tests/support/alloc_trace.h).
# An export is reached when it was on the stack of an allocation made while
# a sweep ran an operation: every allocation of a swept operation fails in
# one of the sweep's steps.  Exports are grouped by the header section that
# declares them.
# Usage: scripts/sweep_coverage.sh BUILD_DIR [JOBS]   (a native build with tests)
set -uo pipefail
cd "$(dirname "$0")/.."
dir=$(cd "${1:?usage: scripts/sweep_coverage.sh BUILD_DIR [JOBS]}" && pwd)
jobs=${2:-${ORBEK_JOBS:-$(nproc)}}
header=include/orbek_util.h
lib=$(ls "$dir"/liborbek_util.so.*.* "$dir"/liborbek_util.so 2>/dev/null | head -1)
[ -n "$lib" ] || { echo "coverage: no liborbek_util.so in $dir"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The exports and the section each is declared in: "name<TAB>section".
awk '
    /^\/\* =+$/ {
        section = ""
        while ((getline t) > 0 && t !~ /^ \* =+ \*\/$/) {
            sub(/^ \* +/, "", t)
            section = section (section == "" ? "" : " ") t
        }
        next
    }
    /ORBEK_API/ && match($0, /orbek_[A-Za-z0-9_]+\(/) {
        print substr($0, RSTART, RLENGTH - 1) "\t" (section == "" ? "(no section)" : section)
    }' "$header" | sort -u >"$work/exports"

# An export that leaves by a tail call is missing from the stack of what it
# calls: the build must keep those frames (-fno-optimize-sibling-calls, as
# scripts/test.sh builds x86_64).
tails=$(objdump -d --no-show-raw-insn "$lib" | awk '
    /^[0-9a-f]+ <.*>:$/ { f = $2; gsub(/[<>:]/, "", f); next }
    f ~ /^orbek_/ && /\tjmp +[0-9a-f]+ </ && match($0, /<[^>]+>/) {
        g = substr($0, RSTART + 1, RLENGTH - 2)
        if (g !~ /\+0x[0-9a-f]+$/ && g !~ /\.cold$/) print "  " f " -> " g
    }' | sort -u)
if [ -n "$tails" ]; then
    echo "coverage: $lib was built with tail calls out of exported functions, which hide them"
    echo "from the stack; build it with -fno-optimize-sibling-calls (scripts/test.sh x86_64 does):"
    echo "$tails" | head -10
    echo "coverage: 0 passed, 1 failed"
    exit 1
fi

# Direct calls in the machine code: "caller callee" per line.
objdump -d --no-show-raw-insn "$lib" | awk '
    /^[0-9a-f]+ <.*>:$/ { f = $2; gsub(/[<>:]/, "", f); next }
    /\t(call|jmp)[a-z]* +[0-9a-f]+ </ {
        if (!match($0, /<[^>]+>/)) next
        g = substr($0, RSTART + 1, RLENGTH - 2)
        if (g ~ /\+0x[0-9a-f]+$/) next        # a jump inside a function
        sub(/@plt$/, "", g)
        if (g != f) print f, g
    }' | sort -u >"$work/calls"
# Everything from which the allocation entry can be reached.
awk '
    { callers[$2] = callers[$2] " " $1 }
    END {
        for (f in callers) if (f ~ /^_ZN5orbek5allocE/ || f == "orbek_malloc") { reach[f] = 1; todo[++n] = f }
        if (!n) { print "no allocation entry found in the machine code" > "/dev/stderr"; exit 1 }
        while (n) {
            f = todo[n--]
            k = split(callers[f], cs, " ")
            for (i = 1; i <= k; ++i) if (!(cs[i] in reach)) { reach[cs[i]] = 1; todo[++n] = cs[i] }
        }
        for (f in reach) print f
    }' "$work/calls" | sort -u >"$work/static_alloc" || exit 1

# The suite's test programs, run with the trace on.
mapfile -t progs < <(ctest --test-dir "$dir" -N -V 2>/dev/null \
    | sed -n -E 's/^[0-9]+: Test command: ([^ ]+).*/\1/p' | grep -F "$dir/" | sort -u)
[ ${#progs[@]} -gt 0 ] || { echo "coverage: no test programs in $dir"; exit 1; }
echo "coverage: running ${#progs[@]} test programs with the allocation trace"
printf '%s\n' "${progs[@]}" | xargs -P "$jobs" -I{} sh -c \
    'ORBEK_ALLOC_TRACE="$1/trace.$(basename "$2")" "$2" >"$1/out.$(basename "$2")" 2>&1 || echo "coverage: $(basename "$2") failed (its tests are not counted as a verdict here)"' \
    _ "$work" {}
cat "$work"/trace.* 2>/dev/null | sort -u >"$work/trace"
[ -s "$work/trace" ] || { echo "coverage: the test programs recorded no allocation (no trace support?)"; exit 1; }
awk '$1 == "A" || $1 == "S" { print $2 }' "$work/trace" | sort -u >"$work/dynamic_alloc"
awk '$1 == "S" { print $2 }' "$work/trace" | sort -u >"$work/reached"

# The allocating exports, reached or not, by section.
cut -f1 "$work/exports" | sort -u >"$work/names"
sort -u "$work/static_alloc" "$work/dynamic_alloc" | comm -12 - "$work/names" >"$work/allocating"
comm -23 "$work/allocating" "$work/reached" >"$work/unreached"
n_alloc=$(wc -l <"$work/allocating") n_un=$(wc -l <"$work/unreached")
echo "coverage: $(wc -l <"$work/names") exports, $n_alloc can allocate, $((n_alloc - n_un)) reached by a sweep"
if [ "$n_un" -gt 0 ]; then
    echo "exports that can allocate but no sweep reaches, by header section:"
    awk -F'\t' 'NR == FNR { un[$1] = 1; next } ($1 in un) { by[$2] = by[$2] " " $1 }
        END { for (s in by) printf "  %s:%s\n", s, by[s] }' "$work/unreached" "$work/exports" | sort
fi
echo "coverage: $((n_alloc - n_un)) passed, $n_un failed"
[ "$n_un" = 0 ]
