#!/usr/bin/env bash
# Sets up, builds and runs Keyscry under Wine: the 32-bit Keyscry.exe where
# the machine has the 32-bit Wine and executes 32-bit x86 code, the 64-bit
# Keyscry64.exe otherwise, saying why (KEYSCRY_ARCHES=x64 chooses it anyway).
# On a machine without a display it runs on a virtual one, saves a screenshot
# and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
keyscry_set_up_and_build

arch=$KEYSCRY_MAIN_ARCH
keyscry_read_build_info "build/$arch"
exe=build/$arch/bin/$KEYSCRY_EXE
if [ "$arch" = x86 ]; then
    echo "Running the 32-bit $KEYSCRY_EXE ($exe) under Wine."
else
    echo "Running the 64-bit $KEYSCRY_EXE ($exe) under Wine, not the 32-bit build: $KEYSCRY_X86_REASON."
fi

if [ -z "${DISPLAY:-}" ]; then
    echo "No display: Keyscry runs on a virtual one; the screenshot of its window is saved to:"
    exec scripts/screenshot.sh "$arch" build/keyscry.png
fi
keyscry_wine_start "$arch" "build/$arch/wine-run"
status=0
keyscry_wine_run "$exe" || status=$?
keyscry_wine_stop
case $status in
0) ;;
1) echo "Keyscry ended with exit code 1: another instance was already running." >&2 ;;
2) echo "Keyscry ended with exit code 2: its main window could not be created." >&2 ;;
*) echo "Keyscry or Wine ended with exit code $status (Wine's output, if any, is above)." >&2 ;;
esac
exit $status
