#!/usr/bin/env bash
# The main job: builds libkov32.so and KOV32.dll and loads the DLL the way an
# application does.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh linux
scripts/build.sh win32
ls -l build/linux/libkov32.so build/win32/KOV32.dll
(cd build/win32 && ctest -R 'wine_start|dll_loader|wine_stop' --output-on-failure)
