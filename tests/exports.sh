#!/usr/bin/env bash
# The shared library exports the library's functions and nothing else of its
# internals: every defined dynamic symbol is orbek_* (or the toolchain's own).
set -u
lib=$1
bad=$(nm -D --defined-only "$lib" | awk '{print $3}' \
      | grep -v -E '^(orbek_|_init$|_fini$|_edata$|_end$|__bss_start$)' )
count=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -c '^orbek_')
if [ -n "$bad" ]; then
  echo "internal symbols exported from $lib:"; echo "$bad"; exit 1
fi
echo "exports: $count orbek_ functions, no internals"
