#!/usr/bin/env bash
# Every test: native, under the sanitizers, and the Windows DLL under Wine.
# Installs what it needs first. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
status=0
for tree in linux asan win32; do
  echo "=== build $tree"
  scripts/build.sh "$tree"
done
for tree in linux asan win32; do
  echo "=== test $tree"
  (cd "${KOV_BUILD_ROOT:-build}/$tree" && ctest -j"$(nproc)" --output-on-failure --timeout 300) || status=1
done
exit $status
