#!/usr/bin/env bash
# For maintainers: measures how many hand-made faults the suite catches.
#   scripts/fault-check.sh FAULTS
# FAULTS has one fault a line, "FILE|SED-SCRIPT" (FILE relative to the repo;
# lines starting with # are skipped). The tree of the build this machine runs
# (x86 where it can, x64 otherwise; KEYSCRY_ARCHES chooses as for the test
# command) is built and its GoogleTest executables, every one that CTest
# knows by the label gtest, run unchanged: where one fails, it stops. Then
# each fault is put into its file alone, the tree rebuilt and the executables
# run, the quickest first, up to the first failure in which a test ran; then
# the file is restored. Prints the executables and a line a fault: "caught by"
# the one that failed, "survived", "timed-out in" or "broken in" the first
# that ran out of time or failed running no test (it didn't start, Wine died)
# where none caught it, "no-build", "no-match" (the sed script changed
# nothing), "bad-sed" (sed rejected it: the list is wrong; exit code 2) or
# "no-file", and the totals. It exits 2 too where no fault went into a file
# (none listed, or each no-file or no-match) or the final rebuild fails.
# It edits the tree it lives in: run it on a copy meanwhile.
set -uo pipefail
[ $# -eq 1 ] && faults=$(realpath -e -- "$1") || { echo "usage: fault-check.sh FAULTS" >&2; exit 2; }
cd "$(dirname "$0")/.."
source scripts/common.sh
keyscry_probe_arches || exit 2
arch=$KEYSCRY_MAIN_ARCH
file=""
restore() { [ -n "$file" ] && cp "/tmp/fault-check.$$.orig" "$file" && file=""; }
trap 'restore; ctest --preset "$arch" --no-tests=error -R "^wine_stop$" >/dev/null 2>&1' EXIT
trap 'exit 130' INT TERM

keyscry_build "$arch" 2>/dev/null && ctest --preset "$arch" --no-tests=error -R '^wine_start$' >/dev/null ||
    { echo "fault-check: the unchanged tree doesn't build or start" >&2; exit 2; }
tests=$(keyscry_tests "$arch" -L '^gtest$') || exit 2
mapfile -t order < <(cut -f1 <<<"$tests")
echo "fault-check: the $arch suite's executables, quickest first: ${order[*]}"
output=$(ctest --preset "$arch" --no-tests=error -L '^gtest$' -FA '.*' 2>&1) ||
    { echo "$output" && echo "fault-check: the unchanged suite fails (above): no fault is measured." && exit 2; } >&2

declare -A total
n=0
while IFS='|' read -r -u 3 path script; do
    [[ -z "$path" || "$path" == \#* ]] && continue
    n=$((n + 1))
    rejected=0
    [ -f "$path" ] && cp "$path" "/tmp/fault-check.$$.orig" && file=$path && { sed -i -e "$script" "$path" || rejected=1; }
    if [ -z "$file" ]; then
        result=no-file
    elif [ $rejected -eq 1 ]; then
        result=bad-sed
    elif cmp -s "$path" "/tmp/fault-check.$$.orig"; then
        result=no-match
    elif ! keyscry_build "$arch" 2>/dev/null; then
        result=no-build
    else
        result=survived
        for test in "${order[@]}"; do
            output=$(ctest --preset "$arch" --no-tests=error -R "^$test\$" -FA '.*' 2>&1) && continue
            if grep -q '\*\*\*Timeout' <<<"$output"; then
                [ "$result" != survived ] || result="timed-out in $test"
            elif ! grep -qF '[ RUN      ]' <<<"$output"; then
                [ "$result" != survived ] || result="broken in $test"
            else
                result="caught by $test"
                break
            fi
        done
    fi
    restore
    total[${result%% *}]=$((${total[${result%% *}]:-0} + 1))
    echo "$n $result: $path $script"
done 3<"$faults"
keyscry_build "$arch" 2>/dev/null
rebuilt=$?
echo "Faults: $n; caught ${total[caught]:-0}, survived ${total[survived]:-0}," \
    "timed out ${total[timed-out]:-0}, broken ${total[broken]:-0}, didn't build ${total[no-build]:-0}," \
    "didn't match ${total[no-match]:-0}, rejected by sed ${total[bad-sed]:-0}, no such file ${total[no-file]:-0}."
[ $rebuilt -eq 0 ] || { echo "fault-check: the tree doesn't build again after the last fault (build/$arch/build.log)" >&2 && exit 2; }
[ -z "${total[bad-sed]:-}" ] || exit 2
[ $((n - ${total[no-file]:-0} - ${total[no-match]:-0})) -gt 0 ] ||
    { echo "fault-check: $1 puts no fault into a file: nothing is measured" >&2 && exit 2; }
