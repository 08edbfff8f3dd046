#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and uses it as a user would:
# the files and links are where they belong, the installed kovmail runs, and
# a small C program builds against the installed library through pkg-config
# and through find_package(kov32), and runs.
#   install_test.sh linux BUILD_DIR C_COMPILER
#   install_test.sh win32 BUILD_DIR C_COMPILER WINE_RUNNER
set -euo pipefail
kind=$1 build=$2 cc=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kov-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "FAIL: $*" >&2; exit 1; }
has() { [ -e "$prefix/$1" ] || fail "not installed: $1"; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in include/kov32.h lib/pkgconfig/kov32.pc lib/cmake/kov32/kov32Config.cmake \
  lib/cmake/kov32/kov32ConfigVersion.cmake lib/cmake/kov32/kov32Targets.cmake; do has "$f"; done
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
flags=$(pkg-config --cflags --libs kov32) || fail "pkg-config does not know kov32"
version=$(pkg-config --modversion kov32)

case "$kind" in
  linux)
    has bin/kovmail
    has share/man/man1/kovmail.1
    [ "$(readlink "$prefix/lib/libkov32.so")" = libkov32.so.1 ] || fail "libkov32.so does not link to libkov32.so.1"
    [ "$(readlink "$prefix/lib/libkov32.so.1")" = "libkov32.so.$version" ] || fail "libkov32.so.1 does not link to libkov32.so.$version"
    objdump -p "$prefix/lib/libkov32.so.$version" | grep -q 'SONAME *libkov32.so.1$' || fail "SONAME is not libkov32.so.1"
    # The installed program finds the installed library by itself.
    "$prefix/bin/kovmail" --help | grep -q fetch-all || fail "installed kovmail does not run"

    # shellcheck disable=SC2086
    "$cc" "$here/consumer/consumer.c" $flags -o "$work/consumer-pc"
    LD_LIBRARY_PATH=$prefix/lib "$work/consumer-pc" | grep -q "consumer ok, version 350" || fail "pkg-config consumer"

    cmake -S "$here/consumer" -B "$work/consumer" -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    cmake --build "$work/consumer" >/dev/null
    "$work/consumer/consumer" | grep -q "consumer ok, version 350" || fail "find_package consumer"
    ;;
  win32)
    wine_run=$4
    for f in bin/KOV32.dll bin/kovmail.exe lib/libKOV32.dll.a; do has "$f"; done
    # Linked through the installed import library, run beside the installed DLL.
    # shellcheck disable=SC2086
    "$cc" "$here/consumer/consumer.c" $flags -static-libgcc -o "$prefix/bin/consumer.exe"
    (cd "$prefix/bin" && "$wine_run" consumer.exe) | tr -d '\r' | grep -q "consumer ok, version 350" ||
      fail "consumer.exe under Wine"
    ;;
esac
echo "installed tree works ($kind, kov32 $version)"
