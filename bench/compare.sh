#!/usr/bin/env bash
# The side-by-side benchmarks in one go: builds the benchmark programs, then
# runs the codec, send and download comparisons against Python and curl on
# the same loopback servers and prints one table of median ratios.
#   bench/compare.sh [RUNS]        (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${KOV_BUILD_ROOT:-build}/bench

scripts/setup.sh
for tool in curl strace python3; do
  command -v "$tool" >/dev/null || { apt-get update -qq && apt-get install -y -qq curl strace python3 >/dev/null; }
done
cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release -DKOV_BENCH=ON >/dev/null
cmake --build "$tree" -j"$(nproc)" --target codec_bench kov_client >/dev/null
echo "$(date -u +%Y-%m-%d), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
python3 bench/compare.py "$tree" "${1:-5}"
