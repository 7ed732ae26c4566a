#!/usr/bin/env bash
# Builds Keyscry's executable for one architecture in BUILD_DIR (no tests),
# configured through the release-x86 or release-x64 preset unless that preset
# made it: the build that releases ship and that reproducibility is checked
# on. Quiet when it succeeds; prints the build's output when it fails.
#   release-build.sh x86|x64 BUILD_DIR
# The executable lands in BUILD_DIR/bin, its README.txt and LICENSE.txt in
# BUILD_DIR/release.
set -euo pipefail
source "$(dirname "$0")/common.sh"
if [ $# -ne 2 ] || [[ $1 != x86 && $1 != x64 ]]; then
    echo "usage: release-build.sh x86|x64 BUILD_DIR" >&2
    exit 2
fi
keyscry_build -B "$2" "release-$1" Keyscry
