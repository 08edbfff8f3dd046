#!/usr/bin/env bash
# The side-by-side benchmarks in one go: builds the benchmark programs, then
# runs the codec, send and download comparisons against Python and curl on
# the same loopback servers and prints one table of median ratios, then the
# whole-process table (bench/whole_process.py) against curl, msmtp,
# fetchmail, Postfix's smtp-source, ripmime and mblaze's mshow, then the
# same over TLS against curl --ssl-reqd (bench/tls_bench.py).
#   bench/compare.sh [RUNS] [ROUNDS]    (default 5 and 3; as root)
# The peers are installed here when missing (the benchmarks' set-up, not the
# test command's); smtp-source comes with Postfix, which tests/interop/install.sh
# installs: without it that row is left out.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${KOV_BUILD_ROOT:-build}/bench

scripts/setup.sh
missing=()
for pair in curl:curl strace:strace python3:python3 msmtp:msmtp fetchmail:fetchmail ripmime:ripmime mshow:mblaze; do
  command -v "${pair%%:*}" >/dev/null || missing+=("${pair#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release -DKOV_BENCH=ON >/dev/null
cmake --build "$tree" -j"$(nproc)" --target codec_bench kov_client kovmail tls_client >/dev/null
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
  "load $(cut -d' ' -f1-3 /proc/loadavg)"
python3 bench/compare.py "$tree" "${1:-5}"
echo
python3 bench/whole_process.py "$tree" "${2:-3}"
echo
python3 bench/tls_bench.py "$tree" "${2:-3}"
