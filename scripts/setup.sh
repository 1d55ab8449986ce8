#!/usr/bin/env bash
# Installs what a fresh machine lacks, then builds the library and the tool
# (the test programs are built by scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build
cmake --build build -j "$(nproc)" --target orbek
