#!/usr/bin/env bash
# Refreshes Keyscry's window against the seeded hostile provider for many
# seeds and prints how many ran and how many failed.
#   scripts/soak.sh [SEEDS [FIRST]]   SEEDS seeds from FIRST on (10000 from 1)
# It runs the 32-bit build where the machine can, the 64-bit one otherwise
# (KEYSCRY_ARCHES=x64 chooses it anyway), in the test tree build/x86 or
# build/x64. Each batch of seeds runs in one test process; a batch that
# crashes or hangs counts its seeds as failed. The exit code is 0 only when no
# seed failed.
set -euo pipefail
cd "$(dirname "$0")/.."

seeds=${1:-10000}
first=${2:-1}
batch=1000
case "$seeds$first" in
*[!0-9]*)
    echo "usage: soak.sh [SEEDS [FIRST]]" >&2
    exit 2
    ;;
esac

source scripts/common.sh
keyscry_probe_arches || exit 2
arch=$KEYSCRY_MAIN_ARCH
build=build/$arch
keyscry_build "$arch" refresh_tests
echo "soak: the $arch build in $build"
keyscry_wine_start "$arch" "$build/wine"

start=$SECONDS
ran=0
failed=0
last=$((first + seeds - 1))
for ((from = first; from <= last; from += batch)); do
    to=$((from + batch - 1 < last ? from + batch - 1 : last))
    status=0
    output=$(KEYSCRY_SEEDS="$from-$to" timeout 900 "${KEYSCRY_WINE[@]}" run \
        "$build/bin/refresh_tests.exe" \
        --gtest_filter=HostileProvider.SeededScriptsLeaveTheWindowSound 2>&1) || status=$?
    grep -E '^seed [0-9]+: ' <<<"$output" || true
    summary=$(grep -E "^seeds $from-$to: [0-9]+ ran, [0-9]+ failed" <<<"$output" || true)
    if [ -z "$summary" ]; then
        echo "seeds $from-$to: the test process ended without its summary (exit code $status)"
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
