#!/usr/bin/env bash
# The main job: builds libkov32.so and KOV32.dll, loads the DLL the way an
# application does, then a real round trip on the local mail servers of
# tests/interop: `kovmail send` puts a message with an attachment through
# Postfix, `kovmail fetch` takes it from Dovecot, and the saved attachment
# must be byte for byte the file sent. Once with build/linux/kovmail, once
# with build/win32/kovmail.exe and KOV32.dll under Wine. Servers that already
# run are used and left running; servers it starts, it stops.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KOV_BUILD_ROOT:-build}
case $build in /*) ;; *) build=$root/$build ;; esac

scripts/setup.sh
tests/interop/install.sh
scripts/build.sh linux
scripts/build.sh win32
ls -l "$build/linux/libkov32.so" "$build/win32/KOV32.dll"
(cd "$build/win32" && ctest -R 'wine_start|dll_loader|wine_stop' --output-on-failure)

set -a
# shellcheck source=../tests/interop/interop.env
. tests/interop/interop.env
set +a
host=$KOV_INTEROP_HOST
domain=$KOV_INTEROP_DOMAIN
export KOV_WINEPREFIX=$build/win32/wineprefix

# One user of the real servers at a time on this machine.
exec 9>/tmp/kov-interop.lock
flock 9
started=
work=$(mktemp -d "${TMPDIR:-/tmp}/kov-demo.XXXXXX")
finish() {
  cmake/wine-server.sh stop
  [ -z "$started" ] || tests/interop/servers.sh stop
  rm -rf "$work"
}
trap finish EXIT
if ! tests/interop/servers.sh status >/dev/null; then
  echo "== starting Postfix and Dovecot"
  tests/interop/servers.sh start
  started=1
fi
cmake/wine-server.sh start

head -c 300000 /dev/urandom >"$work/figures.bin"

# run KIND ARGS...: kovmail (linux) or kovmail.exe under Wine (win32), with
# carriage returns taken out of what the Windows program prints.
run() {
  if [ "$1" = linux ]; then
    "$build/linux/kovmail" "${@:2}"
  else
    "$root/cmake/wine-run.sh" "$build/win32/kovmail.exe" "${@:2}" | tr -d '\r'
  fi
}

# show KIND ARGS...: prints the command line as typed, then runs it.
show() {
  local name=kovmail
  [ "$1" = linux ] || name=kovmail.exe
  printf '$ %s' "$name"
  printf ' %q' "${@:2}"
  echo
  run "$@"
}

# The path of a local file as KIND's kovmail names it.
path() {
  if [ "$1" = linux ]; then echo "$2"; else echo "Z:${2//\//\\}"; fi
}

round_trip() {
  local kind=$1 out=$work/$1 before count deadline
  local pop3=(--server "$host" --port "$KOV_INTEROP_POP3_PORT" --user "$KOV_INTEROP_USER2")
  mkdir -p "$out/files"
  before=$(KOVMAIL_PASSWORD=$KOV_INTEROP_PASSWORD2 run "$kind" count "${pop3[@]}")

  echo "== $kind: kovmail send through Postfix ($host:$KOV_INTEROP_POSTFIX_PORT)"
  KOVMAIL_PASSWORD=$KOV_INTEROP_PASSWORD show "$kind" send --server "$host" --port "$KOV_INTEROP_POSTFIX_PORT" \
    --user "$KOV_INTEROP_USER" --from "$KOV_INTEROP_USER@$domain" --to "$KOV_INTEROP_USER2@$domain" \
    --subject "KOV32 demo ($kind)" --text "The figures are attached." \
    --attach "$(path "$kind" "$work/figures.bin")=figures.bin"

  # Postfix delivers in the background: wait until the message is there.
  deadline=$((SECONDS + 30))
  while :; do
    count=$(KOVMAIL_PASSWORD=$KOV_INTEROP_PASSWORD2 run "$kind" count "${pop3[@]}")
    [ "$count" -le "$before" ] || break
    [ $SECONDS -lt $deadline ] || { echo "demo: the message did not arrive in 30 s" >&2; return 1; }
    sleep 0.2
  done

  echo "== $kind: kovmail fetch $count from Dovecot ($host:$KOV_INTEROP_POP3_PORT)"
  export KOVMAIL_PASSWORD=$KOV_INTEROP_PASSWORD2
  show "$kind" list "${pop3[@]}"
  show "$kind" fetch "$count" "${pop3[@]}" --dir "$(path "$kind" "$out")" \
    --attach-dir "$(path "$kind" "$out/files")"
  cmp "$work/figures.bin" "$out/files/figures.bin"
  echo "== $kind: the attachment arrived byte for byte ($(stat -c %s "$out/files/figures.bin") bytes)"
  run "$kind" delete "$count" "${pop3[@]}"
  unset KOVMAIL_PASSWORD
}

round_trip linux
round_trip win32
echo "== round trip done: Linux and Windows (Wine)"
