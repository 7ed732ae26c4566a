#!/usr/bin/env bash
# One stand-in under many names (see rows.sh): it plays the program it is
# named after on the machine that the FAKE_ variables describe, and logs the
# calls that a check compares, a line each, to FAKE_LOG.
name=${0##*/}
holds() { # LINE FILE...: whether a file holds the line, as grep -qx answers
    grep -qx "$@" && return 0
    [ $? -eq 1 ] || { echo "stand-in $name: can't read ${*:2}" >&2 && exit 3; }
    return 1
}
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
# 32-bit loaders for the probe, named after the loader and what it does
# ("wine-runs", "ld-exec-format"), which they log: one that runs, one that the
# kernel can't execute, and two that fail for other reasons.
*-runs | *-exit-1) echo "$name" >>"$FAKE_LOG" && echo "loader 1.0" && [[ $name == *-runs ]] ;;
*-exec-format) echo "$name" >>"$FAKE_LOG" && echo "$0: cannot execute binary file: Exec format error" >&2 && exit 126 ;;
*-no-library) echo "$name" >>"$FAKE_LOG" && echo "$0: error while loading shared libraries: libz.so.1: cannot open shared object file" >&2 && exit 127 ;;
# The build and CTest of the scratch tree FAKE_TREE, whose file
# app/product.cpp holds what its build does: "broken" fails to build,
# "fails:NAME" or "hangs:NAME" makes the test NAME fail or time out, and
# "dies:NAME" fail before any of its cases runs. Its tests are FAKE_TESTS,
# "NAME:TIMEOUT:LABEL" each; every test fails in the presets in FAKE_FAILING;
# package_check starts set-up, as the release check's packaging does. Wine
# starts on display :99 and stops at once, and runs nothing. A tree whose files can't be read is the stand-in's
# own error (exit code 3), never a good build nor a passing test.
wine-env.sh) [ "$3" != start ] || { mkdir -p "$2" && echo :99 >"$2/xvfb.display"; } ;;
cmake)
    case $1 in
    --preset) echo "configure $2" >>"$FAKE_LOG" && mkdir -p "$4" && touch "$4/build.ninja" && echo "KEYSCRY_PRESET:STRING=$2" >"$4/CMakeCache.txt" ;;
    --build)
        echo "build ${2##*/}" >>"$FAKE_LOG"
        # "broken" in any app/*.cpp fails it: a fault's sed script may write another.
        ! holds broken "$FAKE_TREE"/app/*.cpp
        ;;
    *) PATH=${PATH#*:} exec cmake "$@" ;;
    esac
    ;;
ctest)
    selected=() names=. labels=. show="" json="" none_is=0 option=""
    for word; do
        case $option in --preset) preset=$word ;; -R) names=$word ;; -L) labels=$word ;; esac
        case $word in --show-only=json-v1) show=json ;; --no-tests=error) none_is=8 ;; esac
        option=$word
    done
    for test in $FAKE_TESTS; do
        IFS=: read -r test timeout label <<<"$test"
        [[ $test =~ $names && ($labels == . || $label =~ $labels) ]] || continue
        selected+=("$test")
        json+="${json:+,}{\"name\":\"$test\",\"command\":[\"${0%/*}/$test\"],\"properties\":[{\"name\":\"TIMEOUT\",\"value\":$timeout}]}"
    done
    if [ -n "$show" ]; then
        echo "{\"tests\":[$json]}"
        exit 0
    fi
    echo "$preset: ${selected[*]:-nothing}" >>"$FAKE_LOG"
    [ ${#selected[@]} -gt 0 ] || { echo "No tests were found!!!" && exit $none_is; }
    status=0
    for test in "${selected[@]}"; do
        [ "$test" != package_check ] || "$FAKE_TREE/scripts/setup.sh" || status=8
        ! holds "hangs:$test" "$FAKE_TREE/app/product.cpp" || { echo "$test ......***Timeout" && status=8; }
        ! holds "dies:$test" "$FAKE_TREE/app/product.cpp" || { echo "$test ......***Failed" && status=8; }
        if holds "fails:$test" "$FAKE_TREE/app/product.cpp" || [[ $FAKE_FAILING == *$preset* ]]; then
            echo "[ RUN      ] $test.Case" && echo "$test ......***Failed" && status=8
        fi
    done
    exit $status
    ;;
# The executable that soak.sh runs: FAKE_BATCHES has a word for each batch of
# 1000 seeds from seed 1 (commas between): "pass"; "fail", one seed failing;
# "late", failing after a summary of no failure; "crash", without a summary.
*_tests)
    [ "$1" != --gtest_list_tests ] || { printf 'HostileProvider.\n  SeededScriptsLeaveTheWindowSound\n' && exit 0; }
    echo "seeds $KEYSCRY_SEEDS" >>"$FAKE_LOG"
    from=${KEYSCRY_SEEDS%-*} to=${KEYSCRY_SEEDS#*-}
    IFS=, read -r -a batches <<<"$FAKE_BATCHES"
    batch=${batches[(from - 1) / 1000]} failed=0
    [ "$batch" != crash ] || exit 3
    [ "$batch" != fail ] || { echo "seed $from: a row of 200" && failed=1; }
    echo "seeds $KEYSCRY_SEEDS: $((to - from + 1)) ran, $failed failed"
    [ "$batch" = pass ]
    ;;
esac
