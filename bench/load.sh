#!/usr/bin/env bash
# Load on the real servers: 32 threads, each on its own channel and
# connection, send 100 messages each through Postfix into a Dovecot mailbox,
# after one connection alone has sent 100. Prints messages per second for
# both and the checks of the interop load test (every message delivered
# once, logs separate, descriptors and heap unchanged). Then the same count
# once more with a thread per channel and with one thread driving every
# channel through kovWaitInfo and poll(), side by side.
#   bench/load.sh [THREADS] [MESSAGES]      (as root; default 32 100)
set -euo pipefail
cd "$(dirname "$0")/.."
threads=${1:-32}
messages=${2:-100}
tree=${KOV_BUILD_ROOT:-build}/linux

scripts/setup.sh
tests/interop/install.sh
scripts/build.sh linux -DKOV_INTEROP=ON >/dev/null
export KOV_INTEROP_DIR=${KOV_INTEROP_DIR:-/tmp/kov32-load}
flock /tmp/kov-interop.lock bash -c '
  trap "tests/interop/servers.sh stop >/dev/null" EXIT
  tests/interop/servers.sh start >/dev/null
  KOV_LOAD_THREADS='"$threads"' KOV_LOAD_MESSAGES='"$messages"' KOV_LOAD_SINGLE=1 \
    '"$tree"'/interop_load --gtest_filter="*ArriveOnce*:*WaitHook*:*OverStartTls*" | grep -E "^load:|OK|FAILED"'
