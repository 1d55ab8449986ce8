#!/usr/bin/env bash
# Builds and runs every test, in every configuration:
#   x86_64    native build (the main one)
#   i686      -m32 build: the library's home platform is 32-bit
#   mingw64   Windows x86-64 DLL cross-built with mingw-w64, tests under Wine
#   mingw32   Windows i686 DLL: compile and link check
#   sanitize  native build with AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan      native build with ThreadSanitizer: the concurrency family's tests
#   valgrind  valgrind memcheck over the x86_64 build's test programs
#   coverage  every exported function that can allocate is reached by an
#             allocation-failure sweep (scripts/sweep_coverage.sh, x86_64 build)
#   fuzz      clang libFuzzer targets (scripts/fuzz.sh), all of them in about
#             ORBEK_FUZZ_BUDGET seconds (240) however many there are, or each
#             for ORBEK_FUZZ_SECONDS when that is set
# Usage: scripts/test.sh [CONFIG...]   (no arguments: all of them)
# Build folders go to $ORBEK_BUILD_ROOT (default: the repository) as build-CONFIG.
set -uo pipefail
cd "$(dirname "$0")/.."
SRC=$PWD
ROOT=${ORBEK_BUILD_ROOT:-$SRC}
JOBS=${ORBEK_JOBS:-$(nproc)}
FUZZ_SECONDS=${ORBEK_FUZZ_SECONDS:-}
FUZZ_BUDGET=${ORBEK_FUZZ_BUDGET:-240}
ALL=(x86_64 i686 mingw64 mingw32 sanitize tsan valgrind coverage fuzz)
# The x86_64 build also serves valgrind and the sweep coverage, which finds
# the exported functions on the stack: no export may leave its frame by a
# tail call.
X86_64_ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS=-fno-optimize-sibling-calls
             -DCMAKE_CXX_FLAGS=-fno-optimize-sibling-calls)
configs=("$@")
[ ${#configs[@]} -eq 0 ] && configs=("${ALL[@]}")

scripts/deps.sh || { echo "dependency installation failed"; exit 1; }
mkdir -p "$ROOT"

total_pass=0 total_fail=0
summary=()

# ctest_run DIR [CTEST-ARGS...]: runs the suite and adds its counts to the totals.
ctest_run() {
  local dir=$1 log
  shift
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --timeout 600 "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line n_fail n_all
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  rm -f "$log"
  if [ -z "$line" ]; then total_fail=$((total_fail + 1)); return 1; fi
  n_fail=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  n_all=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  total_pass=$((total_pass + n_all - n_fail))
  total_fail=$((total_fail + n_fail))
  return "$rc"
}

build() {  # build NAME cmake-args...
  local name=$1; shift
  local dir=$ROOT/build-$name
  echo "=== [$name] configure and build in $dir"
  cmake -S "$SRC" -B "$dir" "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  local rc
  # BUILD_TARGETS (when set) limits the build to those targets.
  cmake --build "$dir" -j "$JOBS" ${BUILD_TARGETS:+--target $BUILD_TARGETS} >"$dir.build.log" 2>&1
  rc=$?
  grep -v -E '^\[ *[0-9]+%\] (Building|Linking|Built)|^(gmake|make)\[|^Scanning|^Consolidate' "$dir.build.log"
  return $rc
}

# count_run LOG: adds the "NAME: P passed, F failed" line of a script's log
# to the totals.
count_run() {
  local line
  line=$(grep -E '^[a-z]+: [0-9]+ passed, [0-9]+ failed$' "$1" | tail -1)
  if [ -z "$line" ]; then total_fail=$((total_fail + 1)); return; fi
  total_pass=$((total_pass + $(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line")))
  total_fail=$((total_fail + $(sed -E 's/.*passed, ([0-9]+) failed/\1/' <<<"$line")))
}

run_fuzz() {
  local log rc
  log=$(mktemp)
  if [ -n "$FUZZ_SECONDS" ]; then
    scripts/fuzz.sh --dir "$ROOT/build-fuzz" --jobs "$JOBS" --seconds "$FUZZ_SECONDS" 2>&1 | tee "$log"
  else
    scripts/fuzz.sh --dir "$ROOT/build-fuzz" --jobs "$JOBS" --budget "$FUZZ_BUDGET" 2>&1 | tee "$log"
  fi
  rc=${PIPESTATUS[0]}
  count_run "$log"
  rm -f "$log"
  return "$rc"
}

run_coverage() {
  local log rc
  log=$(mktemp)
  scripts/sweep_coverage.sh "$ROOT/build-x86_64" "$JOBS" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  count_run "$log"
  rm -f "$log"
  return "$rc"
}

run_valgrind() {
  local log rc
  log=$(mktemp)
  scripts/valgrind.sh "$ROOT/build-x86_64" "$JOBS" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  count_run "$log"
  rm -f "$log"
  return "$rc"
}

for cfg in "${configs[@]}"; do
  ok=1
  case $cfg in
    x86_64)
      build x86_64 "${X86_64_ARGS[@]}" && ctest_run "$ROOT/build-x86_64" || ok=0 ;;
    i686)
      build i686 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$SRC/cmake/toolchain-i686.cmake" || ok=0
      if [ $ok = 1 ]; then
        # Some kernels are built without 32-bit program support: there the
        # configuration is compile-and-link, and says so.
        if "$ROOT/build-i686/test_c_api" >/dev/null 2>&1; then
          ctest_run "$ROOT/build-i686" || ok=0
        else
          echo "i686: built and linked; this kernel cannot run 32-bit programs, so its tests were not run"
          total_pass=$((total_pass + 1))
        fi
      fi ;;
    mingw64)
      tools/build_gmp_mingw.sh x86_64-w64-mingw32 "$SRC/.cache/gmp-x86_64-w64-mingw32" || ok=0
      export WINEPREFIX=$ROOT/build-mingw64-wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
      build mingw64 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$SRC/cmake/toolchain-mingw64.cmake" \
        && { [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || true; } \
        && ctest_run "$ROOT/build-mingw64" || ok=0 ;;
    mingw32)
      tools/build_gmp_mingw.sh i686-w64-mingw32 "$SRC/.cache/gmp-i686-w64-mingw32" || ok=0
      build mingw32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$SRC/cmake/toolchain-mingw32.cmake" \
        && { total_pass=$((total_pass + 1)); true; } || { total_fail=$((total_fail + 1)); ok=0; } ;;
    sanitize)
      export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
      build sanitize -DCMAKE_BUILD_TYPE=Debug -DORBEK_SANITIZE=ON -DORBEK_BENCH=OFF \
        && ctest_run "$ROOT/build-sanitize" || ok=0 ;;
    tsan)
      export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
      BUILD_TARGETS="test_thread test_thread_condition test_queue" \
        build tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBEK_TSAN=ON -DORBEK_BENCH=OFF \
        && ctest_run "$ROOT/build-tsan" -R '^test_(thread|thread_condition|queue)$' || ok=0 ;;
    valgrind)
      # The x86_64 build (made here if that configuration did not run first).
      build x86_64 "${X86_64_ARGS[@]}" && run_valgrind || ok=0 ;;
    coverage)
      build x86_64 "${X86_64_ARGS[@]}" && run_coverage || ok=0 ;;
    fuzz)
      if ! command -v clang++ >/dev/null; then echo "fuzz: clang++ missing"; ok=0
      else
        build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
          -DORBEK_FUZZ=ON -DORBEK_TESTS=OFF -DORBEK_BENCH=OFF \
          -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
          -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
          && run_fuzz || ok=0
      fi ;;
    *) echo "unknown configuration '$cfg' (one of: ${ALL[*]})"; exit 2 ;;
  esac
  if [ $ok = 1 ]; then summary+=("$cfg: ok"); else summary+=("$cfg: FAILED"); fi
done

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "tests: $total_pass passed, $total_fail failed"
[ "$total_fail" = 0 ] && ! printf '%s\n' "${summary[@]}" | grep -q FAILED
