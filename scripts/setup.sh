#!/usr/bin/env bash
# Installs every Debian package that building, running and testing both
# builds of Keyscry needs (32-bit and 64-bit compilers and Wine). Quick and
# quiet when everything is there already: it only asks dpkg. Never asks for
# sudo. Wine's 32-bit part is installed even where the kernel can't execute
# it: installing needs no execution, and the scripts find out what runs.
#
# Mirrors are often mid-sync: one package list fails to arrive, or the i386
# libraries lag their 64-bit twins. So a list that still fails after a few
# tries is a warning, and where apt can't install the 32-bit Wine, the rest
# is installed without it: the 64-bit build runs and is tested, the 32-bit
# one is still built and checked as a file. Set-up fails only when what the
# 64-bit build and its tests need can't be installed. A mirror takes hours to
# catch up, so a refusal of the 32-bit Wine is remembered for four hours in
# build/: meanwhile its line is printed again and apt is not asked for it,
# which would take each command about 23 s to learn the same.
#   setup.sh [--ask-again]    --ask-again: ask apt at once, whatever it refused
#   KEYSCRY_SETUP_DONE=1      set-up has already run for this command: skip it
#                             (the test command sets it for what it starts)
#   KEYSCRY_SETUP_PAUSE=SECS  the pause between tries of apt-get update (5)
set -euo pipefail

ask_again=""
case "${1:-}" in
"") ;;
--ask-again) ask_again=yes ;;
*)
    echo "usage: setup.sh [--ask-again]" >&2
    exit 2
    ;;
esac
[ -n "${KEYSCRY_SETUP_DONE:-}" ] && exit 0

wine32=wine32:i386
packages=(
    cmake ninja-build
    g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    googletest
    wine $wine32 wine64
    xvfb xauth x11-utils imagemagick
    zip unzip
    fonts-wine fonts-liberation
)

missing=()
needed=() # what is missing of the 64-bit build's needs: all but the 32-bit Wine
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
        [ "$package" = "$wine32" ] || needed+=("$package")
    fi
done

memory=$(dirname "$0")/../build/setup-wine32-refused # apt's reason, from its last refusal
remember=240                                         # minutes
refused() { # the one line that says apt refused the 32-bit Wine, and until when that holds
    local until
    until=$(date -d "@$(($(stat -c %Y "$memory") + remember * 60))" +%H:%M)
    echo "setup: the 32-bit Wine ($wine32) could not be installed (apt: $(cat "$memory")); the 32-bit build is still built, and checked as a file. Set-up asks apt for it again after $until, or at once with scripts/setup.sh --ask-again." >&2
}
if [ ${#needed[@]} -lt ${#missing[@]} ] && [ -z "$ask_again" ] &&
    [ -n "$(find "$memory" -mmin -$remember 2>/dev/null)" ]; then
    refused
    missing=("${needed[@]}")
fi
[ ${#missing[@]} -eq 0 ] && exit 0

install="DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends"
if [ "$(id -u)" -ne 0 ]; then
    by_hand="dpkg --add-architecture i386; apt-get update; $install"
    if [ ${#needed[@]} -eq 0 ]; then
        echo "The 32-bit Wine ($wine32) is not installed: the 32-bit build is built and checked as a file only. To install it, run this as root: $by_hand $wine32" >&2
        exit 0
    fi
    echo "Keyscry needs these packages: ${missing[*]}" >&2
    echo "Run this as root, then run this command again:" >&2
    echo "  $by_hand ${missing[*]}" >&2
    exit 1
fi

log=$(mktemp "${TMPDIR:-/tmp}/keyscry-setup.XXXXXX")
trap 'rm -f "$log"' EXIT
apt_error() { # apt's first error in the log, without its "E: ", host and address
    sed -n 's/^E: //p' "$log" | head -n 1 | sed -e 's|[a-z]*://[^/ ]*/|.../|' -e 's/ \[IP: [^]]*\]//'
}
apt_install() { # PACKAGES...
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@" >"$log" 2>&1
}

echo "Installing: ${missing[*]}"
dpkg --add-architecture i386
tries=3
for ((try = 1; ; try++)); do
    apt-get update >"$log" 2>&1 && break
    if [ $try -eq $tries ]; then
        echo "setup: apt-get update failed $tries times ($(apt_error)); going on with the package lists that did arrive." >&2
        break
    fi
    sleep "${KEYSCRY_SETUP_PAUSE:-5}"
done

if apt_install "${missing[@]}"; then
    # With the 32-bit Wine in the set, a refusal of it is forgotten.
    [ ${#needed[@]} -eq ${#missing[@]} ] || rm -f "$memory"
    exit 0
fi
# Where the 32-bit Wine was in the set, the rest may still install without it.
if [ ${#needed[@]} -lt ${#missing[@]} ]; then
    reason=$(apt_error)
    if [ ${#needed[@]} -eq 0 ] || apt_install "${needed[@]}"; then
        mkdir -p "$(dirname "$memory")"
        echo "$reason" >"$memory"
        refused
        exit 0
    fi
fi
echo "setup: apt-get could not install what the 64-bit build and its tests need. The end of its output:" >&2
tail -n 15 "$log" | sed 's/^/  | /' >&2
echo "Try it by hand, as root: $install ${needed[*]}" >&2
exit 1
