#!/usr/bin/env bash
# Installs the build into a fresh prefix and builds the consumer against it,
# through the CMake package and through pkg-config, and runs what it built.
# Usage: test_install.sh BUILD_DIR C_COMPILER [TOOLCHAIN_FILE] [C_FLAGS]
set -u
build=$1 cc=$2 toolchain=${3:-} cflags=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
bad() { echo "FAIL $*"; fail=1; }

cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; exit 1; }
# Moved after installing: both package files find the tree from their own
# place.
mv "$tmp/prefix" "$tmp/moved"
p=$tmp/moved
libdir=$(dirname "$(find "$p" -name orbek_util.pc)")/..
[ -f "$p/include/orbek_util.h" ] || bad "header not installed"
[ -x "$p/bin/orbek" ] || bad "tool not installed"
[ -f "$p/share/man/man1/orbek.1" ] || bad "man page not installed"
[ -f "$libdir/liborbek_util_static.a" ] || bad "static library not installed"
# The versioned shared object: the soname, the real file and the links.
[ -L "$libdir/liborbek_util.so" ] && [ -L "$libdir/liborbek_util.so.2" ] || bad "shared library links"
soname=$(objdump -p "$libdir/liborbek_util.so" | awk '$1 == "SONAME" {print $2}')
[ "$soname" = liborbek_util.so.2 ] || bad "soname '$soname'"
# The installed tool runs from its place and finds the installed library.
[ "$("$p/bin/orbek" version)" = "ORBEK Utility Library 2.8,Build on 2021" ] || bad "installed tool"

# The CMake package, shared and static.
args=(-S "$here" -B "$tmp/cmake" -DCMAKE_PREFIX_PATH="$p" -DCMAKE_C_COMPILER="$cc")
[ -n "$toolchain" ] && args+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
[ -n "$cflags" ] && args+=(-DCMAKE_C_FLAGS="$cflags")
if cmake "${args[@]}" >"$tmp/cmake.log" 2>&1 && cmake --build "$tmp/cmake" >>"$tmp/cmake.log" 2>&1; then
    LD_LIBRARY_PATH= "$tmp/cmake/consumer" || bad "CMake consumer (shared) failed"
    "$tmp/cmake/consumer_static" || bad "CMake consumer (static) failed"
    # The shared consumer runs from the installed tree through its run path.
    ldd "$tmp/cmake/consumer" | grep -q "$p" || bad "CMake consumer does not use the installed library"
else
    cat "$tmp/cmake.log"; bad "CMake consumer build"
fi

# pkg-config.
export PKG_CONFIG_PATH=$libdir/pkgconfig PKG_CONFIG_LIBDIR=$libdir/pkgconfig
[ "$(pkg-config --modversion orbek_util)" = 2.8 ] || bad "pkg-config version"
# shellcheck disable=SC2046,SC2086
if "$cc" $cflags -std=c99 -Wall -Werror "$here/consumer.c" -o "$tmp/pc_consumer" \
       $(pkg-config --cflags --libs orbek_util) 2>"$tmp/pc.log"; then
    LD_LIBRARY_PATH=$(pkg-config --variable=libdir orbek_util) "$tmp/pc_consumer" || bad "pkg-config consumer failed"
else
    cat "$tmp/pc.log"; bad "pkg-config consumer build"
fi
[ $fail = 0 ] && echo "install: package, pkg-config, soname, tool and man page ok"
exit $fail
