#!/usr/bin/env bash
# Every test: native (with the real-server tests), under the address and
# undefined-behaviour sanitizers, under ThreadSanitizer (the threaded tests
# among them), and the Windows DLL under Wine.
# Installs what it needs first. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
tests/interop/install.sh
status=0
for tree in linux asan tsan win32; do
  echo "=== build $tree"
  extra=()
  [ "$tree" = linux ] && extra=(-DKOV_INTEROP=ON)  # the real servers: one tree is enough
  scripts/build.sh "$tree" "${extra[@]}"
done
for tree in linux asan tsan win32; do
  echo "=== test $tree"
  (cd "${KOV_BUILD_ROOT:-build}/$tree" && ctest -j"$(nproc)" --output-on-failure --timeout 300) || status=1
done
exit $status
