#!/usr/bin/env bash
# Installs the real servers of the interop test bed on Debian 12, as root:
# Dovecot (POP3), Postfix, Python 3, the openssl and curl tools and the
# Node.js packages in tests/interop/node_modules.
# Idempotent: skips what is already there. No system mail daemon is started
# or left enabled; the bed runs its own instances (servers.sh).
set -euo pipefail
cd "$(dirname "$0")"

# python3: the MIME checker of the send test and the OAuth introspection
# endpoint; openssl: the bed's test CA; curl: the self-test over TLS
packages=(dovecot-core dovecot-pop3d postfix python3 openssl curl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "interop: installing ${missing[*]}"
  # Keep the packages' init scripts from starting daemons during the install.
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
    chmod 755 /usr/sbin/policy-rc.d
    trap 'rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  echo 'postfix postfix/main_mailer_type select No configuration' | debconf-set-selections
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # The packages enable their system daemons; the bed runs its own instances.
  systemctl disable postfix.service dovecot.service dovecot.socket >/dev/null 2>&1 || {
    echo "interop: could not disable the system postfix and dovecot services" >&2
    exit 1
  }
fi

if [ ! -d node_modules/smtp-server ] || [ ! -d node_modules/mailparser ]; then
  echo "interop: installing Node.js packages"
  npm ci --no-audit --no-fund --loglevel=error >/dev/null
fi
