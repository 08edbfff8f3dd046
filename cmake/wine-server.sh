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
    # Wine's background processes must not hold ctest's output pipe open:
    # wineboot starts them here, with their output detached, also when the
    # prefix exists already (otherwise the first test program starts them and
    # they keep that test's output pipe, and ctest waiting, open).
    mkdir -p "$WINEPREFIX" && wineserver -p </dev/null >/dev/null 2>&1 || exit 1
    if [ -f "$WINEPREFIX/system.reg" ]; then
      wineboot </dev/null >/dev/null 2>&1 || exit 1
    else
      wineboot -i </dev/null >/dev/null 2>&1 || exit 1
    fi
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1
    exit 0
    ;;
esac
