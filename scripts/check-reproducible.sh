#!/usr/bin/env bash
# Builds Keyscry's executable for one architecture (x86: Keyscry.exe, the
# default; x64: Keyscry64.exe) twice from nothing and compares the two byte for
# byte: once from this checkout, once from a copy of it elsewhere, each in a
# fresh build tree of its own name, so that any source or build path, time
# stamp or build id that reaches the executable makes them differ. Prints both
# SHA-256 hashes; exits 1 when the executables differ.
#   check-reproducible.sh [x86|x64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-x86}" in
x86) toolchain=i686-w64-mingw32 exe=Keyscry.exe ;;
x64) toolchain=x86_64-w64-mingw32 exe=Keyscry64.exe ;;
*)
    echo "usage: check-reproducible.sh [x86|x64]" >&2
    exit 2
    ;;
esac
work=$(mktemp -d "${TMPDIR:-/tmp}/keyscry-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

build() { # SOURCE_DIR BUILD_DIR
    if ! {
        cmake -S "$1" -B "$2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$1/cmake/$toolchain.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
            cmake --build "$2" --target Keyscry
    } >"$work/build.log" 2>&1; then
        cat "$work/build.log" >&2
        echo "check-reproducible: the build in $2 failed" >&2
        exit 2
    fi
}

copy="$work/elsewhere/keyscry-sources"
mkdir -p "$copy"
tar -C "$root" --exclude='./build*' --exclude=./out --exclude=./.git -cf - . | tar -C "$copy" -xf -

build "$root" "$work/first"
build "$copy" "$work/elsewhere/second-build-tree"

first="$work/first/bin/$exe"
second="$work/elsewhere/second-build-tree/bin/$exe"
sha256sum "$first" "$second" | while read -r hash path; do
    echo "$hash  ${path#"$work"/}"
done
if ! cmp -s "$first" "$second"; then
    echo "check-reproducible: the two builds differ" >&2
    cmp -l "$first" "$second" | head -20 >&2 || true
    exit 1
fi
echo "check-reproducible: both builds of $exe are identical ($(stat -c %s "$first") bytes)"
