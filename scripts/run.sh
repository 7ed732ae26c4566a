#!/usr/bin/env bash
# Sets up, builds and runs Keyscry under Wine. On a machine without a display
# it runs on a virtual one, saves a screenshot and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
wine_dir=build/wine-run
if [ -n "${DISPLAY:-}" ]; then
    bash cmake/wine-env.sh "$wine_dir" start
    status=0
    bash cmake/wine-env.sh "$wine_dir" run build/bin/Keyscry.exe || status=$?
    bash cmake/wine-env.sh "$wine_dir" stop
    exit $status
fi
scripts/screenshot.sh build/keyscry.png
