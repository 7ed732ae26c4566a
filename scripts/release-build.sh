#!/usr/bin/env bash
# Builds Keyscry's executable for one architecture in a fresh build tree,
# without tests: the build that releases ship and that reproducibility is
# checked on. Quiet when it succeeds; prints the build's output when it fails.
#   release-build.sh x86|x64 SOURCE_DIR BUILD_DIR
# The executable lands in BUILD_DIR/bin, its README.txt and LICENSE.txt in
# BUILD_DIR/release.
set -euo pipefail
source "$(dirname "$0")/arches.sh"
if [ $# -ne 3 ] || ! keyscry_arch_files "$1"; then
    echo "usage: release-build.sh x86|x64 SOURCE_DIR BUILD_DIR" >&2
    exit 2
fi
source_dir=$2
build_dir=$3
mkdir -p "$build_dir"
log="$build_dir/release-build.log"
if ! {
    cmake -S "$source_dir" -B "$build_dir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/$KEYSCRY_TOOLCHAIN.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
        cmake --build "$build_dir" --target Keyscry
} >"$log" 2>&1; then
    cat "$log" >&2
    echo "release-build.sh: the $1 build in $build_dir failed" >&2
    exit 2
fi
