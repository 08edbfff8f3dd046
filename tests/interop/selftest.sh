#!/usr/bin/env bash
# Proves that the running test bed (servers.sh start) works, without KOV32:
# SMTP AUTH PLAIN, LOGIN and CRAM-MD5 against Postfix and smtp-server, wrong
# passwords refused, VRFY, a message through Postfix read back over POP3
# (USER/PASS and APOP), and a message spooled by smtp-server; then TLS
# (openssl s_client and curl): STARTTLS, STLS and implicit TLS with the bed
# CA's certificate, refused with another CA, AUTH only after STARTTLS on the
# submission port, OAuth 2.0 tokens accepted and refused, and a message sent
# over TLS whose Received header names the TLS version. Prints one line per
# check and a count; exits non-zero when a check fails. It deletes the mail
# it sent, leaving the mailboxes and the spool as it found them.
#   selftest.sh [RUN_DIR]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=interop.env
. "$here/interop.env"
run=${1:-${KOV_INTEROP_DIR:-/tmp/kov32-interop}}
user=$KOV_INTEROP_USER password=$KOV_INTEROP_PASSWORD
passed=0 failed=0

# check DESCRIPTION COMMAND...: runs the command as one check. $reply holds
# the last server reply, shown when the check fails.
check() {
  local what=$1
  shift
  reply=
  if "$@"; then
    echo "ok   $what"
    passed=$((passed + 1))
  else
    echo "FAIL $what (last reply: ${reply//$'\n'/ | })"
    failed=$((failed + 1))
  fi
}

# One connection at a time, on descriptor 3.
connect() { exec 3<>"/dev/tcp/$KOV_INTEROP_HOST/$1"; }
disconnect() { exec 3>&-; }
send() { printf '%s\r\n' "$1" >&3; }
# b64 FORMAT ARGS...: what printf makes of them, in base64 on one line.
# shellcheck disable=SC2059
b64() { printf "$@" | base64 -w0; }

# Reads one SMTP reply, every line of it, into $reply; fails unless its
# last line has the code $1.
smtp() {
  local line
  reply=
  while IFS= read -r -t 5 -u 3 line; do
    reply+=${line%$'\r'}$'\n'
    [[ $line == [0-9][0-9][0-9]-* ]] || break
  done
  [[ $line == "$1 "* ]]
}

# Reads one POP3 status line into $reply; fails unless it is +OK.
pop3() {
  IFS= read -r -t 5 -u 3 reply
  reply=${reply%$'\r'}
  [[ $reply == "+OK"* ]]
}

# smtp_auth PORT MECHANISM USER PASSWORD CODE: authenticates on a new
# connection and expects CODE (235 success, 535 refused) at the end.
smtp_auth() {
  local port=$1 mechanism=$2 name=$3 secret=$4 code=$5 challenge digest
  connect "$port" && smtp 220 || return 1
  send "EHLO selftest.example" && smtp 250 || return 1
  case $mechanism in
    PLAIN) send "AUTH PLAIN $(b64 '\0%s\0%s' "$name" "$secret")" ;;
    LOGIN)
      send "AUTH LOGIN" && smtp 334 || return 1
      send "$(b64 %s "$name")" && smtp 334 || return 1
      send "$(b64 %s "$secret")" ;;
    CRAM-MD5)
      send "AUTH CRAM-MD5" && smtp 334 || return 1
      challenge=$(printf %s "${reply:4}" | tr -d '\n' | base64 -d)
      digest=$(printf %s "$challenge" | openssl dgst -md5 -hmac "$secret" -r | cut -d' ' -f1)
      send "$(b64 '%s %s' "$name" "$digest")" ;;
  esac
  smtp "$code" || return 1
  send QUIT
  disconnect
}

# smtp_vrfy NAME CODE: Postfix answers VRFY NAME with CODE.
smtp_vrfy() {
  connect "$KOV_INTEROP_POSTFIX_PORT" && smtp 220 || return 1
  send "EHLO selftest.example" && smtp 250 || return 1
  send "VRFY $1" && smtp "$2" || return 1
  send QUIT
  disconnect
}

# smtp_send PORT SUBJECT [PLAIN]: sends one message to $user@domain, after
# AUTH PLAIN when asked.
smtp_send() {
  connect "$1" && smtp 220 || return 1
  send "EHLO selftest.example" && smtp 250 || return 1
  if [ "${3:-}" = PLAIN ]; then
    send "AUTH PLAIN $(b64 '\0%s\0%s' "$user" "$password")" && smtp 235 || return 1
  fi
  send "MAIL FROM:<selftest@example.com>" && smtp 250 || return 1
  send "RCPT TO:<$user@$KOV_INTEROP_DOMAIN>" && smtp 250 || return 1
  send "DATA" && smtp 354 || return 1
  send "From: <selftest@example.com>"
  send "To: <$user@$KOV_INTEROP_DOMAIN>"
  send "Subject: $2"
  send ""
  send "Sent by the test bed's self-test."
  send "." && smtp 250 || return 1
  send QUIT
  disconnect
}

# pop3_open [APOP]: logs $user in with USER/PASS, or APOP over the greeting's
# timestamp, using the password in $secret.
pop3_open() {
  local stamp
  connect "$KOV_INTEROP_POP3_PORT" && pop3 || return 1
  if [ "${1:-}" = APOP ]; then
    stamp=$(grep -o '<[^>]*>' <<<"$reply") || return 1
    send "APOP $user $(printf %s%s "$stamp" "$secret" | md5sum | cut -d' ' -f1)"
  else
    send "USER $user" && pop3 || return 1
    send "PASS $secret"
  fi
  pop3
}

# pop3_stat [APOP]: sets $messages to the number of messages in the mailbox.
pop3_stat() {
  pop3_open "$@" || return 1
  send STAT && pop3 || return 1
  messages=$(cut -d' ' -f2 <<<"$reply")
  send QUIT
  disconnect
}

# pop3_refused: APOP with a wrong password gets -ERR.
pop3_refused() {
  local secret=wrong-$password
  ! pop3_open APOP && [[ $reply == "-ERR"* ]]
}

# Sends a message through Postfix and polls POP3 until it is there, then
# finds it by its subject and deletes it.
postfix_delivers() {
  local secret=$password subject="self-test $$ $RANDOM" before deadline=$((SECONDS + 10)) line found=
  pop3_stat && before=$messages || return 1
  smtp_send "$KOV_INTEROP_POSTFIX_PORT" "$subject" || return 1
  until pop3_stat && [ "$messages" -gt "$before" ]; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
  pop3_stat APOP && [ "$messages" -eq $((before + 1)) ] || return 1
  pop3_open || return 1
  send "RETR $messages" && pop3 || return 1
  while IFS= read -r -t 5 -u 3 line && [ "$line" != $'.\r' ]; do
    [ "$line" != "Subject: $subject"$'\r' ] || found=1
  done
  [ -n "$found" ] && send "DELE $messages" && pop3 || return 1
  send QUIT && pop3
  disconnect
}

# Sends a message to smtp-server with AUTH PLAIN and finds its spool files.
sink_spools() {
  local subject="self-test $$ $RANDOM" eml deadline=$((SECONDS + 5))
  smtp_send "$KOV_INTEROP_SINK_PORT" "$subject" PLAIN || return 1
  until eml=$(grep -lx "Subject: $subject"$'\r' "$run/sink/spool"/*.eml 2>/dev/null); do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
  until [ -f "${eml%.eml}.json" ]; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
  grep -q "\"$user@$KOV_INTEROP_DOMAIN\"" "${eml%.eml}.json" &&
    grep -q "\"user\": \"$user\"" "${eml%.eml}.json" || return 1
  rm -f "$eml" "${eml%.eml}.json"
}

ca=$run/$KOV_INTEROP_CA_FILE other_ca=$run/$KOV_INTEROP_OTHER_CA_FILE

# tls_handshake CA [s_client options]: a TLS handshake whose certificate
# chain and name check pass with CA; $reply is what s_client said.
tls_handshake() {
  reply=$(printf 'QUIT\r\n' | timeout 10 openssl s_client -brief -CAfile "$1" -verify_return_error \
    -verify_hostname localhost "${@:2}" 2>&1) && [[ $reply == *"Verification: OK"* ]]
}

# The submission port offers STARTTLS but no AUTH before it, and refuses
# AUTH then.
auth_needs_tls() {
  connect "$KOV_INTEROP_POSTFIX_SUBMISSION_PORT" && smtp 220 || return 1
  send "EHLO selftest.example" && smtp 250 || return 1
  [[ $reply == *STARTTLS* && $reply != *AUTH* ]] || return 1
  send "AUTH PLAIN $(b64 '\0%s\0%s' "$user" "$password")" && smtp 530 || return 1
  send QUIT
  disconnect
}

# tls_refused CA [s_client options]: the handshake fails with CA.
tls_refused() { ! tls_handshake "$@"; }

# curl_as URL LOGIN [curl options]: curl over TLS checked against the bed CA,
# as $user with LOGIN "password" or LOGIN "token:TOKEN"; $reply is its output.
curl_as() {
  local url=$1 login=(--user "$user:$password")
  [ "$2" = password ] || login=(--user "$user" --oauth2-bearer "${2#token:}")
  reply=$(curl -4 -sS --ssl-reqd --cacert "$ca" "${login[@]}" "${@:3}" "$url" 2>&1)
}

# curl_refused URL: a wrong token is refused (curl: login denied).
curl_refused() {
  local status=0
  curl_as "$1" "token:wrong-$KOV_INTEROP_TOKEN" || status=$?
  [ $status -eq 67 ]
}

# tls_received URL LOGIN: sends a message over TLS to $user@domain, waits for
# it over pop3s (with the password), checks that its Received header names
# TLSv1.2 or TLSv1.3, and deletes it.
tls_received() {
  local pop3s=pop3s://localhost:$KOV_INTEROP_POP3S_PORT/ subject="self-test TLS $$ $RANDOM" n
  local address=$user@$KOV_INTEROP_DOMAIN deadline=$((SECONDS + 10))
  printf 'From: <%s>\r\nTo: <%s>\r\nSubject: %s\r\n\r\nSent over TLS.\r\n' "$address" "$address" "$subject" |
    curl_as "$1" "$2" --mail-from "$address" --mail-rcpt "$address" -T - || return 1
  while :; do
    curl_as "$pop3s" password || return 1
    for n in $(cut -d' ' -f1 <<<"$reply"); do
      curl_as "$pop3s$n" password && [[ $reply == *"Subject: $subject"* ]] || continue
      [[ $reply =~ using\ TLSv1\.[23]\  ]] || return 1
      curl_as "$pop3s$n" password -X DELE -I
      return
    done
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

long_user=$KOV_INTEROP_LONG_USER long_password=$KOV_INTEROP_LONG_PASSWORD
for server in postfix sink; do
  port=$KOV_INTEROP_POSTFIX_PORT
  [ $server = postfix ] || port=$KOV_INTEROP_SINK_PORT
  for mechanism in PLAIN LOGIN CRAM-MD5; do
    check "$server: AUTH $mechanism as $user" smtp_auth "$port" $mechanism "$user" "$password" 235
    check "$server: AUTH $mechanism with a 40-character user and password" \
      smtp_auth "$port" $mechanism "$long_user" "$long_password" 235
  done
  check "$server: AUTH PLAIN with a wrong password gets 535" smtp_auth "$port" PLAIN "$user" wrong 535
  check "$server: AUTH CRAM-MD5 with a wrong password gets 535" smtp_auth "$port" CRAM-MD5 "$user" wrong 535
done
check "postfix: VRFY $user gets 252" smtp_vrfy "$user" 252
check "postfix: VRFY of an unknown user gets 550" smtp_vrfy nobody-here 550
check "postfix: a message to $user shows in POP3 STAT (USER/PASS and APOP)" postfix_delivers
check "dovecot: APOP with a wrong password gets -ERR" pop3_refused
check "sink: a message is spooled with its envelope" sink_spools

smtp_url=smtp://localhost:$KOV_INTEROP_POSTFIX_SUBMISSION_PORT
smtps_url=smtps://localhost:$KOV_INTEROP_POSTFIX_SMTPS_PORT
pop3_url=pop3://localhost:$KOV_INTEROP_POP3_PORT/
pop3s_url=pop3s://localhost:$KOV_INTEROP_POP3S_PORT/
for port in POSTFIX POSTFIX_SUBMISSION; do
  p=KOV_INTEROP_${port}_PORT
  check "postfix: STARTTLS on ${!p} with the bed CA's certificate" \
    tls_handshake "$ca" -starttls smtp -connect "$KOV_INTEROP_HOST:${!p}"
done
check "postfix: implicit TLS on $KOV_INTEROP_POSTFIX_SMTPS_PORT" \
  tls_handshake "$ca" -connect "$KOV_INTEROP_HOST:$KOV_INTEROP_POSTFIX_SMTPS_PORT"
check "dovecot: STLS with the bed CA's certificate" \
  tls_handshake "$ca" -starttls pop3 -connect "$KOV_INTEROP_HOST:$KOV_INTEROP_POP3_PORT"
check "dovecot: implicit TLS on $KOV_INTEROP_POP3S_PORT" \
  tls_handshake "$ca" -connect "$KOV_INTEROP_HOST:$KOV_INTEROP_POP3S_PORT"
check "dovecot: the certificate fails against another CA" \
  tls_refused "$other_ca" -connect "$KOV_INTEROP_HOST:$KOV_INTEROP_POP3S_PORT"
check "postfix: the submission port takes AUTH only after STARTTLS" auth_needs_tls
check "postfix: STARTTLS and a password; Received names the TLS version" tls_received "$smtp_url" password
check "postfix: implicit TLS and a token; Received names the TLS version" \
  tls_received "$smtps_url" "token:$KOV_INTEROP_TOKEN"
check "postfix: a wrong token is refused" curl_refused "$smtp_url"
check "dovecot: STLS with a token" curl_as "$pop3_url" "token:$KOV_INTEROP_TOKEN"
check "dovecot: pop3s with a password" curl_as "$pop3s_url" password
check "dovecot: a wrong token is refused" curl_refused "$pop3s_url"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
