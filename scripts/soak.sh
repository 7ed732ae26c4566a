#!/usr/bin/env bash
# Refreshes Keyscry's window against the seeded hostile provider for many
# seeds and prints how many ran and how many failed.
#   scripts/soak.sh [SEEDS [FIRST]]   SEEDS seeds from FIRST on (10000 from 1)
# It runs the 32-bit build where the machine can, the 64-bit one otherwise
# (KEYSCRY_ARCHES=x64 chooses it anyway), in build/x86 or build/x64; KEYSCRY_BUILD
# names another build folder of that architecture. Each batch of seeds
# runs in one test process; a batch that crashes or hangs counts its seeds as
# failed. The exit code is 0 only when no seed failed.
set -euo pipefail
cd "$(dirname "$0")/.."

seeds=${1:-10000}
first=${2:-1}
build=${KEYSCRY_BUILD:-}
batch=1000
case "$seeds$first" in
*[!0-9]*)
    echo "usage: soak.sh [SEEDS [FIRST]]" >&2
    exit 2
    ;;
esac

source scripts/arches.sh
keyscry_probe_arches || exit 2
arch=$KEYSCRY_MAIN_ARCH
keyscry_arch_files "$arch"
[ -n "${KEYSCRY_BUILD:-}" ] || build=build/$arch
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/$KEYSCRY_TOOLCHAIN.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target hardening_tests >/dev/null
echo "soak: the $arch build in $build"

wine_dir="$build/wine"
bash cmake/wine-env.sh $arch "$wine_dir" start
trap 'bash cmake/wine-env.sh $arch "$wine_dir" stop' EXIT

start=$SECONDS
ran=0
failed=0
last=$((first + seeds - 1))
for ((from = first; from <= last; from += batch)); do
    to=$((from + batch - 1 < last ? from + batch - 1 : last))
    status=0
    output=$(KEYSCRY_SEEDS="$from-$to" timeout 900 bash cmake/wine-env.sh $arch "$wine_dir" run \
        "$build/bin/hardening_tests.exe" \
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
