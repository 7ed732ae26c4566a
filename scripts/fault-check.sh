#!/usr/bin/env bash
# For maintainers: measures how many hand-made faults the suite catches.
#   scripts/fault-check.sh FAULTS
# FAULTS has one fault a line, "FILE|SED-SCRIPT" (FILE relative to the repo;
# lines starting with # are skipped). Each fault is put into its file alone,
# the tree of the build this machine runs rebuilt (x86 where it can, x64
# otherwise; KEYSCRY_ARCHES chooses as for the test command) and its
# GoogleTest executables run, every one that CTest knows by the label gtest,
# the quickest first, up to the first failure; then the file is restored.
# Prints which executables it runs, one line a fault, "caught", "survived",
# "no-build" or "no-match" (the sed script changed nothing), and the totals.
# It edits the tree it lives in: run it on a copy to keep working meanwhile.
set -uo pipefail
cd "$(dirname "$0")/.."
faults=$(realpath "$1")
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

declare -A total
n=0
while IFS='|' read -r -u 3 path script; do
    [[ -z "$path" || "$path" == \#* ]] && continue
    n=$((n + 1))
    cp "$path" "/tmp/fault-check.$$.orig" && file=$path
    sed -i -e "$script" "$path"
    if cmp -s "$path" "/tmp/fault-check.$$.orig"; then
        result=no-match
    elif ! keyscry_build "$arch" 2>/dev/null; then
        result=no-build
    else
        result=survived
        for test in "${order[@]}"; do
            if ! ctest --preset "$arch" --no-tests=error -R "^$test\$" -FA '.*' >/dev/null 2>&1; then
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
echo "Faults: $n; caught ${total[caught]:-0}, survived ${total[survived]:-0}," \
    "didn't build ${total[no-build]:-0}, didn't match ${total[no-match]:-0}."
