#!/bin/sh
# start: creates the Wine prefix if needed and keeps one wineserver running
# for the whole test run (otherwise every test waits for it to exit);
# stop: ends that wineserver.
WINEPREFIX=${KOV_WINEPREFIX:?}
export WINEPREFIX
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY
case "$1" in
  start)
    # Wine's background processes must not hold ctest's output pipe open.
    mkdir -p "$WINEPREFIX" && wineserver -p </dev/null >/dev/null 2>&1 || exit 1
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i </dev/null >/dev/null 2>&1 || exit 1
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1
    exit 0
    ;;
esac
