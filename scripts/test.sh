#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --preset default "$@"
