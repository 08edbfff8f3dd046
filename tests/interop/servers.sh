#!/usr/bin/env bash
# Starts, stops or reports the real servers of the interop test bed, on the
# loopback address and fixed ports of interop.env:
#   oauth    the token introspection endpoint that Dovecot asks
#   dovecot  POP3 (STLS, and pop3s), and the SASL socket that Postfix asks
#   postfix  SMTP with AUTH and STARTTLS (and smtps), delivering into the
#            Dovecot mailboxes
#   sink     smtp-server, storing every message in a spool folder
#
#   servers.sh start|stop|status [RUN_DIR]
#
# RUN_DIR (default $KOV_INTEROP_DIR, else /tmp/kov32-interop) holds their
# configuration, logs and PID files, the mailboxes (RUN_DIR/mail/USER), the
# spool (RUN_DIR/sink/spool) and the TLS files (RUN_DIR/tls: a test CA made
# at every start and the servers' certificate it signed). start stops a
# running bed first and begins with empty mailboxes and spool. Run as root
# (see install.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
set -a
# shellcheck source=interop.env
. "$here/interop.env"
set +a
run=${2:-${KOV_INTEROP_DIR:-/tmp/kov32-interop}}
servers=(oauth dovecot postfix sink)

declare -A pid_file=(
  [oauth]=$run/oauth/oauth.pid
  [dovecot]=$run/dovecot/dovecot.pid
  [postfix]=$run/postfix/queue/pid/master.pid
  [sink]=$run/sink/sink.pid)
declare -A command_name=([oauth]=python3 [dovecot]=dovecot [postfix]=master [sink]=node)
declare -A port=(
  [oauth]=$KOV_INTEROP_OAUTH_PORT
  [dovecot]=$KOV_INTEROP_POP3_PORT
  [postfix]=$KOV_INTEROP_POSTFIX_PORT
  [sink]=$KOV_INTEROP_SINK_PORT)
# What a server sends first; the HTTP endpoint is asked for its root page.
declare -A greeting=([oauth]='HTTP/1.1 200' [dovecot]='+OK' [postfix]='220 ' [sink]='220 ')
declare -A log=(
  [oauth]=$run/oauth/oauth.log
  [dovecot]=$run/dovecot/dovecot.log
  [postfix]=$run/postfix/postfix.log
  [sink]=$run/sink/sink.log)

# Succeeds while process $1 runs. An exited server waits as a zombie until
# init collects it: that counts as gone.
alive() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

# Prints the PID of a running server; fails when it does not run.
pid_of() {
  local pid
  read -r pid 2>/dev/null <"${pid_file[$1]}" || return 1
  alive "$pid" && [ "$(cat "/proc/$pid/comm")" = "${command_name[$1]}" ] || return 1
  echo "$pid"
}

# Succeeds when something accepts connections on the server's port.
taken() { (exec 3<>"/dev/tcp/$KOV_INTEROP_HOST/${port[$1]}") 2>/dev/null; }

# Succeeds when the server's port answers with its greeting.
greets() {
  local fd line=
  exec {fd}<>"/dev/tcp/$KOV_INTEROP_HOST/${port[$1]}" || return 1
  if [ "$1" = oauth ]; then
    printf 'GET / HTTP/1.0\r\n\r\n' >&"$fd" || true
    IFS= read -r -t 2 -u "$fd" line || true
  else
    IFS= read -r -t 2 -u "$fd" line || true
    printf 'QUIT\r\n' >&"$fd" || true
  fi
  exec {fd}>&-
  [[ $line == "${greeting[$1]}"* ]]
}

# Polls until server $1, launched as process $2, greets; fails when that
# process exits or after 20 s.
await_greeting() {
  local deadline=$((SECONDS + 20))
  until greets "$1" 2>/dev/null; do
    if ! alive "$2" || [ $SECONDS -ge $deadline ]; then
      echo "interop: $1 did not come up; end of ${log[$1]}:" >&2
      tail -n 20 "${log[$1]}" >&2 || true
      return 1
    fi
    sleep 0.05
  done
}

users() {
  printf '%s %s\n' "$KOV_INTEROP_USER" "$KOV_INTEROP_PASSWORD" \
    "$KOV_INTEROP_USER2" "$KOV_INTEROP_PASSWORD2" \
    "$KOV_INTEROP_LONG_USER" "$KOV_INTEROP_LONG_PASSWORD"
}

tokens() {
  printf '%s %s\n' "$KOV_INTEROP_USER" "$KOV_INTEROP_TOKEN" "$KOV_INTEROP_USER2" "$KOV_INTEROP_TOKEN2"
}

# make_ca NAME KEY-OPTIONS...: a self-signed CA certificate NAME.crt with
# its key NAME.key, in the current folder.
make_ca() {
  openssl req -x509 "${@:2}" -nodes -keyout "$1.key" -out "$1.crt" -days 7 \
    -subj "/O=KOV32 test bed/CN=KOV32 test bed $1" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
}

# A test CA and the servers' certificate it signs, for localhost, 127.0.0.1
# and ::1 (RSA, which every TLS stack the tests use verifies), plus a second
# CA that signs nothing here (EC, quicker to make). The CA keys are thrown
# away once used.
certificates() {
  local tls=$run/tls
  local server_ext='basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid'
  mkdir -p "$tls"
  (
    cd "$tls"
    umask 077
    make_ca ca -newkey rsa:2048
    make_ca other-ca -newkey ec -pkeyopt ec_paramgen_curve:P-256
    openssl req -new -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/O=KOV32 test bed/CN=localhost"
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" \
      -days 7 -extfile <(printf '%s\n' "$server_ext") -out server.crt
    rm -f ca.key other-ca.key server.csr
    chmod 644 ca.crt other-ca.crt server.crt
  ) >"$tls/openssl.log" 2>&1 || {
    echo "interop: could not make the test certificates:" >&2
    cat "$tls/openssl.log" >&2
    return 1
  }
}

render() {
  sed -e "s|@RUN@|$run|g" -e "s|@HOST@|$KOV_INTEROP_HOST|g" -e "s|@DOMAIN@|$KOV_INTEROP_DOMAIN|g" \
    -e "s|@POP3_PORT@|$KOV_INTEROP_POP3_PORT|g" -e "s|@POSTFIX_PORT@|$KOV_INTEROP_POSTFIX_PORT|g" \
    -e "s|@POSTFIX_LOGIN_PORT@|$KOV_INTEROP_POSTFIX_LOGIN_PORT|g" -e "s|@POSTFIX_PLAIN_PORT@|$KOV_INTEROP_POSTFIX_PLAIN_PORT|g" \
    -e "s|@POSTFIX_SUBMISSION_PORT@|$KOV_INTEROP_POSTFIX_SUBMISSION_PORT|g" \
    -e "s|@POSTFIX_SMTPS_PORT@|$KOV_INTEROP_POSTFIX_SMTPS_PORT|g" \
    -e "s|@POP3S_PORT@|$KOV_INTEROP_POP3S_PORT|g" -e "s|@OAUTH_PORT@|$KOV_INTEROP_OAUTH_PORT|g" \
    "$here/conf/$1" >"$2"
}

# A fresh run folder; the mail belongs to nobody, whom Dovecot and Postfix
# deliver and read as.
prepare() {
  rm -rf "$run/oauth" "$run/dovecot" "$run/postfix" "$run/mail" "$run/sink" "$run/tls"
  mkdir -p "$run/oauth" "$run/dovecot" "$run/postfix/etc" "$run/postfix/queue" "$run/mail" "$run/sink/spool"
  chmod 755 "$run"
  chown 65534:65534 "$run/mail"
  certificates || return 1
  tokens >"$run/oauth/tokens"
  render dovecot.conf.in "$run/dovecot/dovecot.conf"
  render oauth2.conf.in "$run/dovecot/oauth2.conf"
  render main.cf.in "$run/postfix/etc/main.cf"
  render master.cf.in "$run/postfix/etc/master.cf"
  users >"$run/sink/users"
  users | while read -r name password; do
    echo "$name:{PLAIN}$password:65534:65534::$run/mail/$name::" >>"$run/dovecot/users"
    echo "$name@$KOV_INTEROP_DOMAIN $name/" >>"$run/postfix/etc/mailboxes"
  done
  # Postfix waits until a configuration file is a second old before it
  # reads it, in every one of its commands.
  touch -d '2 seconds ago' "$run/postfix/etc"/*
}

# Closes every descriptor above 2 that the caller left open, such as the
# lock of `flock LOCK servers.sh start`: the servers outlive this script and
# must not hold it.
close_inherited() {
  local fd
  for fd in /proc/self/fd/*; do
    fd=${fd##*/}
    [ "$fd" -le 2 ] || eval "exec $fd>&-" 2>/dev/null || true
  done
}

launch() {
  {
    close_inherited
    case $1 in
      oauth) exec python3 "$here/oauth_server.py" "$run/oauth/tokens" ;;
      dovecot) exec dovecot -F -c "$run/dovecot/dovecot.conf" ;;
      postfix) exec postfix -c "$run/postfix/etc" start-fg ;;
      sink) exec node "$here/smtp_sink.js" "$run/sink/users" "$run/sink/spool" ;;
    esac
  } >>"${log[$1]}" 2>&1 </dev/null &
  # Postfix's master records its own PID.
  [ "$1" = postfix ] || echo $! >"${pid_file[$1]}"
  await_greeting "$1" $!
}

start() {
  stop
  local name
  for name in "${servers[@]}"; do
    if taken "$name"; then
      echo "interop: port ${port[$name]} is taken by another program" >&2
      return 1
    fi
  done
  prepare
  # Dovecot before Postfix: Postfix's SMTP AUTH goes through it.
  for name in "${servers[@]}"; do
    launch "$name" || { stop; return 1; }
  done
  status
}

# Asks every server to end, then waits for each; one still there after
# 10 s is killed.
stop() {
  local name pid pids=() deadline=$((SECONDS + 10))
  for name in "${servers[@]}"; do
    pid=$(pid_of "$name") || continue
    kill "$pid" && pids+=("$pid")
  done
  for pid in "${pids[@]}"; do
    while alive "$pid"; do
      [ $SECONDS -lt $deadline ] || kill -KILL "$pid" || true
      sleep 0.05
    done
  done
  for name in "${servers[@]}"; do
    rm -f "${pid_file[$name]}"
  done
}

status() {
  local name pid all=0
  for name in "${servers[@]}"; do
    if pid=$(pid_of "$name"); then
      echo "$name: running, pid $pid, $KOV_INTEROP_HOST:${port[$name]}"
    else
      echo "$name: stopped"
      all=1
    fi
  done
  return $all
}

case ${1:-} in
  start | stop | status) "$1" ;;
  *) echo "usage: $0 start|stop|status [RUN_DIR]" >&2; exit 2 ;;
esac
