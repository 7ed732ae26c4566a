#!/usr/bin/env bash
# Configures (once) and builds Keyscry and its tests in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default
