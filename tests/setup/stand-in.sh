#!/usr/bin/env bash
# One stand-in under many names (see rows.sh): it plays the program it is
# named after on the machine that the FAKE_ variables describe, and logs the
# calls that a check compares, a line each, to FAKE_LOG.
name=${0##*/}
case $name in
# Set-up's package tools. FAKE_UID: what id -u says; FAKE_MISSING: the
# packages that are not installed; FAKE_UPDATE=fail: apt-get update fails for
# one index on every try; FAKE_REFUSE: apt-get install refuses any set that
# holds one of these. A run of dpkg-query calls logs one line.
id) echo "$FAKE_UID" ;;
dpkg-query)
    [ "$(tail -n 1 "$FAKE_LOG")" = dpkg-query ] || echo dpkg-query >>"$FAKE_LOG"
    [[ " $FAKE_MISSING " != *" ${!#} "* ]] || exit 1
    echo "install ok installed"
    ;;
dpkg | apt-get)
    echo "$name $*" >>"$FAKE_LOG"
    if [ "$name $1" = "apt-get update" ] && [ "$FAKE_UPDATE" = fail ]; then
        echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
        exit 100
    fi
    for package in $FAKE_REFUSE; do
        if [ "$name $1" = "apt-get install" ] && [[ " $* " == *" $package "* ]]; then
            echo "E: Unable to correct problems, you have held broken packages."
            exit 100
        fi
    done
    ;;
# 32-bit loaders for the probe: one that runs, one that the kernel can't
# execute, and two that fail for other reasons.
runs | exit-1) echo "loader 1.0" && [ "$name" = runs ] ;;
exec-format) echo "$0: cannot execute binary file: Exec format error" >&2 && exit 126 ;;
no-library) echo "$0: error while loading shared libraries: libz.so.1: cannot open shared object file" >&2 && exit 127 ;;
esac
