#!/usr/bin/env bash
# Configures and builds one tree: linux (native), asan (native with address
# and undefined-behaviour sanitizers), tsan (native with ThreadSanitizer,
# built by clang) or win32 (KOV32.dll, cross-built). Warnings are errors in all.
set -euo pipefail
cd "$(dirname "$0")/.."

tree=$1
case "$tree" in
  linux) args=(-DKOV_WERROR=ON) ;;
  asan) args=(-DKOV_WERROR=ON -DKOV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  tsan) args=(-DKOV_WERROR=ON -DKOV_TSAN=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  win32) args=(-DKOV_WERROR=ON -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake) ;;
  *) echo "usage: $0 linux|asan|tsan|win32" >&2; exit 2 ;;
esac
cmake -S . -B "${KOV_BUILD_ROOT:-build}/$tree" "${args[@]}" "${@:2}" >/dev/null
cmake --build "${KOV_BUILD_ROOT:-build}/$tree" -j"$(nproc)"
