#!/usr/bin/env bash
# The main job: builds libkov32.so and KOV32.dll, loads the DLL the way an
# application does, then a real round trip on the local mail servers of
# tests/interop: `kovmail send` puts a message with an attachment through
# Postfix, `kovmail fetch` takes it from Dovecot, and the saved attachment
# must be byte for byte the file sent. Three times with build/linux/kovmail
# and three times with build/win32/kovmail.exe and KOV32.dll under Wine: in
# plain text; with STARTTLS on Postfix's submission port and STLS on
# Dovecot's POP3 port; and with implicit TLS (smtps, pop3s), logging in with
# OAuth 2.0 tokens. TLS checks the servers' certificate against the test
# bed's CA, and Postfix's Received header shows the TLS version used.
# Servers that already run are used and left running; servers it starts, it
# stops.
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
# The bed's CA, made when the servers start (servers.sh).
ca=${KOV_INTEROP_DIR:-/tmp/kov32-interop}/$KOV_INTEROP_CA_FILE
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

# as WHO SECURITY RUNNER KIND ARGS...: runs kovmail with RUNNER (run or
# show) as alice (WHO 1) or bob (2): with implicit TLS the user logs in with
# the OAuth 2.0 token in the variable that --token-env names, else with the
# password in KOVMAIL_PASSWORD.
as() {
  local user=$KOV_INTEROP_USER password=$KOV_INTEROP_PASSWORD token=KOV_INTEROP_TOKEN
  if [ "$1" = 2 ]; then
    user=$KOV_INTEROP_USER2 password=$KOV_INTEROP_PASSWORD2 token=KOV_INTEROP_TOKEN2
  fi
  if [ "$2" = implicit ]; then
    "$3" "$4" "${@:5}" --user "$user" --token-env "$token"
  else
    KOVMAIL_PASSWORD=$password "$3" "$4" "${@:5}" --user "$user"
  fi
}

# round_trip KIND SECURITY: the message from alice to bob and back, in plain
# text (SECURITY plain), with STARTTLS and STLS (starttls) or with implicit
# TLS (implicit). TLS checks the certificate against the bed's CA and for the
# server's name: localhost (Windows' check under Wine matches no address).
round_trip() {
  local kind=$1 security=$2 out=$work/$1-$2 before count deadline received server=$host
  local smtp_port=$KOV_INTEROP_POSTFIX_PORT pop3_port=$KOV_INTEROP_POP3_PORT tls=() pop3
  case $security in
    starttls) smtp_port=$KOV_INTEROP_POSTFIX_SUBMISSION_PORT ;;
    implicit) smtp_port=$KOV_INTEROP_POSTFIX_SMTPS_PORT pop3_port=$KOV_INTEROP_POP3S_PORT ;;
  esac
  if [ "$security" != plain ]; then
    server=localhost
    tls=(--tls "$security" --ca "$(path "$kind" "$ca")")
  fi
  pop3=(--server "$server" --port "$pop3_port" "${tls[@]}")
  mkdir -p "$out/files"
  before=$(as 2 "$security" run "$kind" count "${pop3[@]}")

  echo "== $kind, $security: kovmail send through Postfix ($server:$smtp_port)"
  as 1 "$security" show "$kind" send --server "$server" --port "$smtp_port" "${tls[@]}" \
    --from "$KOV_INTEROP_USER@$domain" --to "$KOV_INTEROP_USER2@$domain" \
    --subject "KOV32 demo ($kind, $security)" --text "The figures are attached." \
    --attach "$(path "$kind" "$work/figures.bin")=figures.bin"

  # Postfix delivers in the background: wait until the message is there.
  deadline=$((SECONDS + 30))
  while :; do
    count=$(as 2 "$security" run "$kind" count "${pop3[@]}")
    [ "$count" -le "$before" ] || break
    [ $SECONDS -lt $deadline ] || { echo "demo: the message did not arrive in 30 s" >&2; return 1; }
    sleep 0.2
  done

  echo "== $kind, $security: kovmail fetch $count from Dovecot ($server:$pop3_port)"
  as 2 "$security" show "$kind" list "${pop3[@]}"
  as 2 "$security" show "$kind" fetch "$count" "${pop3[@]}" --dir "$(path "$kind" "$out")" \
    --attach-dir "$(path "$kind" "$out/files")"
  cmp "$work/figures.bin" "$out/files/figures.bin"
  echo "== $kind, $security: the attachment arrived byte for byte ($(stat -c %s "$out/files/figures.bin") bytes)"
  if [ "$security" != plain ]; then
    received=$(grep -rhoa --exclude-dir=files 'using TLSv1\.[0-9]' "$out" | head -n 1) || true
    [ -n "$received" ] || { echo "demo: the Received header names no TLS version" >&2; return 1; }
    echo "== $kind, $security: Postfix's Received header: ${received}"
  fi
  as 2 "$security" run "$kind" delete "$count" "${pop3[@]}"
}

for kind in linux win32; do
  for security in plain starttls implicit; do
    round_trip "$kind" "$security"
  done
done
echo "== round trip done: Linux and Windows (Wine), each in plain text, with STARTTLS and with implicit TLS"
