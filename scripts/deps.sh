#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Quick when everything is present: apt-get runs only for what is missing.
set -euo pipefail

PACKAGES=(
  # native build and tests
  cmake g++ make libgtest-dev googletest libbenchmark-dev
  # -m32 build
  g++-multilib libgmp-dev:i386
  # Windows cross build and its test runner
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 wine
  # sanitizer and fuzz builds
  clang libclang-rt-14-dev
  # API reference
  doxygen
  # concurrency benchmark peer (GAsyncQueue, GThreadPool, GRecMutex)
  libglib2.0-dev
  # memory checking of the suite
  valgrind
  # dependencies and benchmark peers
  libgmp-dev libssl-dev libicu-dev libcjson-dev libjansson-dev libidn-dev m4
  # GMP for the Windows builds: unpacking Debian's source package
  xz-utils
  # normalization conformance data (tools/gen_norm_vectors.py)
  unicode-data
  # big-integer vectors and the bigint command's prime checks
  python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=; [ "$(id -u)" = 0 ] || SUDO=sudo
echo "installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then $SUDO dpkg --add-architecture i386; fi
# A mirror mid-sync can fail one index; the install below says if that matters.
$SUDO apt-get update -q || true
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
