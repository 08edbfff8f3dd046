#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, as root. Idempotent:
# does nothing when every package is already there.
set -euo pipefail

# clang with its sanitizer run-time libraries builds the ThreadSanitizer tree;
# Python's own test messages join the decoder's corpus test; kovmail reads its
# configuration file with inih. Wine's SChannel runs on the 32-bit GnuTLS.
packages=(cmake g++ make pkgconf libssl-dev openssl googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang libclang-rt-dev g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386
  libgnutls30:i386 python3 libpython3.11-testsuite libinih-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
