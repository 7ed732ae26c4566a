#!/usr/bin/env bash
# Builds both architectures from a clean state and writes a release into
# dist/ (or the folder given):
#   Keyscry-VERSION-x86.zip   Keyscry.exe, README.txt, LICENSE.txt
#   Keyscry-VERSION-x64.zip   Keyscry64.exe, README.txt, LICENSE.txt
#   Keyscry.exe, Keyscry64.exe  the bare executables
#   SHA256SUMS                over the zips and the bare executables, as
#                             sha256sum -c reads it
# VERSION is the project's version in CMake, the one in the version blocks.
# The zips are reproducible: their entries stand in a fixed order, each with
# mode 0644, no extra fields, and the time of the last commit (or of
# SOURCE_DATE_EPOCH; 1 January 1980 outside a git checkout), so that runs
# from two places give the same bytes.
#   package.sh [DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$(realpath -m "${1:-$root/dist}")
"$root/scripts/setup.sh"
source "$root/scripts/common.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/keyscry-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}

rm -rf "$dist"
mkdir -p "$dist"
names=()
for arch in x86 x64; do
    "$root/scripts/release-build.sh" "$arch" "$work/$arch"
    keyscry_read_build_info "$work/$arch"
    version=$KEYSCRY_VERSION
    exe=$KEYSCRY_EXE
    zip_name=Keyscry-$version-$arch.zip

    stage="$work/$arch-zip"
    mkdir -p "$stage"
    cp "$work/$arch/bin/$exe" "$work/$arch/release/README.txt" "$work/$arch/release/LICENSE.txt" "$stage/"
    chmod 0644 "$stage"/*
    touch -d "@$epoch" "$stage"/*
    # -X: no owner or extended time fields; -D: no folder entries. The
    # entries' times are stored as local time, so the zone is fixed too.
    (cd "$stage" && TZ=UTC zip -q -X -D -9 "$dist/$zip_name" "$exe" README.txt LICENSE.txt)
    cp "$work/$arch/bin/$exe" "$dist/$exe"
    names+=("$zip_name" "$exe")
done
(cd "$dist" && sha256sum "${names[@]}" >SHA256SUMS)
echo "package.sh: wrote $dist:"
(cd "$dist" && ls -l --time-style=+ "${names[@]}" SHA256SUMS | awk '{print "  " $NF " (" $5 " bytes)"}')
