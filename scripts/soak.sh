#!/usr/bin/env bash
# Refreshes Keyscry's window against the seeded hostile provider for many
# seeds and prints how many ran and how many failed.
#   scripts/soak.sh [SEEDS [FIRST]]   SEEDS (1 or more) seeds from FIRST on
#                                     (10000 from 1)
# It runs the 32-bit build where the machine can, the 64-bit one otherwise
# (KEYSCRY_ARCHES=x64 chooses it anyway), in the test tree build/x86 or
# build/x64: the test below of the executable that CTest knows by the label
# soak. Each batch of seeds runs in one test process; a batch that crashes,
# hangs, or fails after a summary of no failed seed counts its seeds as
# failed. The exit code is 0 only when no seed failed; it is 2 when the test
# isn't there.
set -euo pipefail
cd "$(dirname "$0")/.."

seeds=${1:-10000}
first=${2:-1}
batch=1000
[[ $seeds =~ ^[1-9][0-9]*$ && $first =~ ^(0|[1-9][0-9]*)$ ]] ||
    { echo "usage: soak.sh [SEEDS [FIRST]] (SEEDS 1 or more)" >&2; exit 2; }

test=HostileProvider.SeededScriptsLeaveTheWindowSound
source scripts/common.sh
keyscry_probe_arches || exit 2
arch=$KEYSCRY_MAIN_ARCH
build=build/$arch
keyscry_build "$arch"
soaked=$(keyscry_tests "$arch" -L '^soak$') || exit 2
[ "$(wc -l <<<"$soaked")" -eq 1 ] ||
    { echo "soak: more than one test has the label soak: $(cut -f1 <<<"$soaked" | tr '\n' ' ')" >&2 && exit 2; }
IFS=$'\t' read -r -a command <<<"$soaked"
name=${command[0]}
command=("${command[@]:1}")
echo "soak: $test of $name, the $arch build in $build"
keyscry_wine_start "$arch" "$build/wine"
# GoogleTest runs nothing, and passes, where its filter matches no test.
"${command[@]}" --gtest_list_tests --gtest_filter="$test" | tr -d '\r' | grep -x "  ${test#*.}" >/dev/null ||
    { echo "soak: $name has no test $test." >&2 && exit 2; }

start=$SECONDS
ran=0
failed=0
last=$((first + seeds - 1))
for ((from = first; from <= last; from += batch)); do
    to=$((from + batch - 1 < last ? from + batch - 1 : last))
    status=0
    output=$(KEYSCRY_SEEDS="$from-$to" timeout 900 "${command[@]}" --gtest_filter="$test" 2>&1) ||
        status=$?
    grep -E '^seed [0-9]+: ' <<<"$output" || true
    summary=$(grep -E "^seeds $from-$to: [0-9]+ ran, [0-9]+ failed" <<<"$output" || true)
    if [[ -z $summary || ($status -ne 0 && $summary == *" 0 failed"*) ]]; then
        [ -n "$summary" ] && how="after a summary of no failed seed" || how="without its summary"
        echo "seeds $from-$to: the test process ended with exit code $status $how"
        ran=$((ran + to - from + 1))
        failed=$((failed + to - from + 1))
        continue
    fi
    read -r batch_ran batch_failed < <(sed -E 's/.*: ([0-9]+) ran, ([0-9]+) failed.*/\1 \2/' <<<"$summary")
    ran=$((ran + batch_ran))
    failed=$((failed + batch_failed))
done

echo "soak: $ran seeds ran, $failed failed, in $((SECONDS - start)) s"
[ "$failed" -eq 0 ]
