#!/usr/bin/env bash
# Configures (through the presets, when needed) and builds both trees: the
# 32-bit Keyscry.exe with its tests in build/x86/, the 64-bit Keyscry64.exe
# with its tests in build/x64/. Quiet unless a build fails. Building needs no
# Wine, so both are built on every machine.
set -euo pipefail
source "$(dirname "$0")/common.sh"
for arch in x86 x64; do
    keyscry_build "$arch"
done
