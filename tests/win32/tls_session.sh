#!/bin/sh
# Runs the Windows TLS session test: makes a CA, a certificate for
# "localhost" (and the loopback addresses) and one for "other.example" signed
# by it, and a self-signed
# one for "localhost" (all with the openssl command, into a temporary
# directory), starts tls_echo_server.py outside Wine on 127.0.0.1, then runs
# the test program under Wine with KOV_TLS_TEST_DIR naming that directory.
# Usage: tls_session.sh <test program> <wine-run.sh>
set -eu
program=$1
wine_run=$2
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
server=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM

make_key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$dir/$1.key" 2>/dev/null; }
# make_leaf <file> <name> <alternative names>: a server certificate that the
# CA signs.
make_leaf() {
  make_key "$1"
  openssl req -new -key "$dir/$1.key" -subj "/CN=$2" -out "$dir/$1.csr"
  printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$3" >"$dir/$1.ext"
  openssl x509 -req -in "$dir/$1.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial \
    -days 2 -extfile "$dir/$1.ext" -out "$dir/$1.pem" 2>/dev/null
}

make_key ca
openssl req -x509 -new -key "$dir/ca.key" -subj "/CN=KOV32 Test CA" -days 2 \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" -out "$dir/ca.pem"
make_leaf localhost localhost "DNS:localhost,IP:127.0.0.1,IP:::1"
make_leaf other other.example "DNS:other.example"
make_key self
openssl req -x509 -new -key "$dir/self.key" -subj "/CN=localhost" -days 2 \
  -addext "subjectAltName=DNS:localhost" -out "$dir/self.pem"

# A CA file of more than 64 KiB whose last certificate is the CA.
i=0
while [ "$i" -lt 80 ]; do cat "$dir/self.pem"; i=$((i + 1)); done >"$dir/bundle.pem"
cat "$dir/ca.pem" >>"$dir/bundle.pem"

python3 "$here/tls_echo_server.py" "$dir" &
server=$!
# The server renames its ports file into place once every listener is up.
tries=0
while [ ! -f "$dir/ports" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 300 ] || ! kill -0 "$server" 2>/dev/null; then
    echo "tls_echo_server.py did not start" >&2
    exit 1
  fi
  sleep 0.1
done

KOV_TLS_TEST_DIR=$dir "$wine_run" "$program"
