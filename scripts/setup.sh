#!/usr/bin/env bash
# Installs every Debian package that building, running and testing both
# builds of Keyscry needs (32-bit and 64-bit compilers and Wine). Quick and
# quiet when everything is there already; never asks for sudo. Wine's 32-bit
# part is installed even where the kernel can't execute it: installing needs
# no execution, and the scripts find out what runs.
set -euo pipefail

packages=(
    cmake ninja-build
    g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    googletest
    wine wine32:i386 wine64
    xvfb xauth x11-utils imagemagick
    zip unzip
    fonts-wine fonts-liberation
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

commands="dpkg --add-architecture i386 && apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Keyscry needs these packages: ${missing[*]}" >&2
    echo "Run this as root, then run this command again:" >&2
    echo "  $commands" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
bash -c "$commands"
