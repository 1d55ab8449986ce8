#!/usr/bin/env bash
# Cross-builds a static GMP for a Windows target from Debian's gmp source
# package and installs it under PREFIX.  Does nothing when PREFIX already
# holds a build, so the result is cached between runs.
#
# Usage: tools/build_gmp_mingw.sh HOST PREFIX
#   HOST    x86_64-w64-mingw32 or i686-w64-mingw32
#   PREFIX  where include/gmp.h and lib/libgmp.a go
#
# The source comes through apt-get with a private source list (no change to
# the system's configuration); the downloaded package is kept in
# PREFIX/../gmp-src.  Needs the mingw-w64 cross compilers and m4.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 HOST PREFIX" >&2
  exit 2
fi
HOST=$1
PREFIX=$(mkdir -p "$2" && cd "$2" && pwd)
[ -f "$PREFIX/lib/libgmp.a" ] && [ -f "$PREFIX/include/gmp.h" ] && exit 0

command -v "$HOST-gcc" >/dev/null || { echo "$HOST-gcc is missing" >&2; exit 1; }
command -v m4 >/dev/null || { echo "m4 is missing" >&2; exit 1; }

SRC=$(dirname "$PREFIX")/gmp-src
mkdir -p "$SRC"
exec 9>"$SRC/.lock"
flock 9  # one build at a time; a second caller finds the result cached
[ -f "$PREFIX/lib/libgmp.a" ] && [ -f "$PREFIX/include/gmp.h" ] && exit 0

# ------------------------------------------------------------ the source
orig=$(ls "$SRC"/gmp_*.orig.tar.* 2>/dev/null | head -1 || true)
if [ -z "$orig" ]; then
  . /etc/os-release
  apt_dir=$SRC/apt
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
  echo "deb-src http://deb.debian.org/debian ${VERSION_CODENAME:-bookworm} main" >"$apt_dir/sources.list"
  apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
            -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -q)
  apt-get "${apt_opts[@]}" update >&2
  # The same version as the system's libgmp-dev when it is installed.
  ver=$(dpkg-query -W -f='${Version}\n' libgmp-dev 2>/dev/null | head -1 || true)
  (cd "$SRC" && apt-get "${apt_opts[@]}" source --download-only "gmp${ver:+=$ver}") >&2
  orig=$(ls "$SRC"/gmp_*.orig.tar.* | head -1)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xf "$orig" -C "$work"
dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -1)

# The DFSG tarball has no doc/ folder, but configure still writes its
# Makefile: give it one that does nothing.
if [ ! -f "$dir/doc/Makefile.in" ]; then
  mkdir -p "$dir/doc"
  cat >"$dir/doc/Makefile.in" <<'MK'
all install install-strip install-data install-exec uninstall check installcheck \
clean distclean mostlyclean maintainer-clean info dvi pdf ps html tags ctags distdir:
	@:
MK
fi

# -fexceptions: the library's GMP memory functions throw through GMP's frames.
cd "$dir"
./configure --host="$HOST" --prefix="$PREFIX" --enable-static --disable-shared \
  CFLAGS="-O2 -fexceptions" >"$work/configure.log" 2>&1 || { tail -40 "$work/configure.log" >&2; exit 1; }
make -j"${ORBEK_JOBS:-2}" >"$work/make.log" 2>&1 || { tail -40 "$work/make.log" >&2; exit 1; }
make install >"$work/install.log" 2>&1 || { tail -40 "$work/install.log" >&2; exit 1; }
echo "GMP for $HOST installed in $PREFIX" >&2
