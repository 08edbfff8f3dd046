#!/bin/sh
# Runs one Windows program under 32-bit Wine, headless, with the build tree's
# own prefix (KOV_WINEPREFIX, set by the tests; default: ./wineprefix).
WINEPREFIX=${KOV_WINEPREFIX:-$PWD/wineprefix}
export WINEPREFIX
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY
exec wine "$@"
