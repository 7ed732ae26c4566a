#!/usr/bin/env bash
# Configures (once) and builds both trees: the 32-bit Keyscry.exe with its
# tests in build/x86/, the 64-bit Keyscry64.exe with its tests in build/x64/.
# Building needs no Wine, so both are built on every machine.
set -euo pipefail
cd "$(dirname "$0")/.."
for arch in x86 x64; do
    [ -f "build/$arch/build.ninja" ] || cmake --preset "$arch" >/dev/null
    cmake --build --preset "$arch"
done
