#!/usr/bin/env bash
# Installs what a fresh machine lacks, then builds the library and the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build
cmake --build build -j "$(nproc)"
