#!/usr/bin/env bash
# The benchmarks of every build this machine runs (the probe decides;
# KEYSCRY_ARCHES overrides it), one build after the other, each inside Wine on
# a virtual display, in a prefix of its own beside the build's test tree. The
# README's Figures section says what each compares. It ends with one Markdown
# table under a line that names the date, the machine and the builds, ready
# for the README; build/bench.log keeps the whole output. Exits 1 when a
# benchmark itself fails (a wrong row count, a message box, a check of the
# support, a program that didn't get ready, fewer figures than it owes), 2
# when the build fails; a missed goal is a figure, not a failure.
#   bench/run.sh [startup|refresh|scale]...   (all three without any)
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"

declare -A programs=([startup]=startup_driver [refresh]=refresh_bench [scale]=scale_bench)
declare -A owed=([startup]=3 [refresh]=2 [scale]=3) # the figures each prints
for name in "$@"; do
    [[ -n $name && -n ${programs[$name]:-} ]] || { echo "usage: bench/run.sh [startup|refresh|scale]..." >&2 && exit 2; }
done
chosen=("$@")
[ $# -gt 0 ] || chosen=(startup refresh scale)

"$KEYSCRY_ROOT/scripts/setup.sh"
keyscry_probe_arches || exit 2
arches=($KEYSCRY_RUN_ARCHES)
mkdir -p "$KEYSCRY_ROOT/build"
exec > >(tee "$KEYSCRY_ROOT/build/bench.log") 2>&1

started=$(date -u '+%-d %B %Y, %H:%M UTC')
load=$(cut -d' ' -f1-3 /proc/loadavg)
builds="${arches[*]}${KEYSCRY_X86_REASON:+ (not x86: $KEYSCRY_X86_REASON)}"
for arch in "${arches[@]}"; do
    keyscry_build "$arch" "${programs[@]}" || exit 2
done

# The programs print each row of the table after the word "figure" and a tab.
rows=()
failed=()
unset DISPLAY
for arch in "${arches[@]}"; do
    build_dir=$KEYSCRY_ROOT/build/$arch
    keyscry_wine_start "$arch" "$build_dir/wine-bench"
    for name in "${chosen[@]}"; do
        run=${programs[$name]}.exe
        echo
        echo "== $arch: $run"
        status=0
        output=$(keyscry_wine_run "$build_dir/bin/$run" | tr -d '\r') || status=$?
        grep -v $'^figure\t' <<<"$output" || true
        mapfile -t -O ${#rows[@]} rows < <(sed -n "s/^figure\t|/| $arch |/p" <<<"$output")
        figures=$(grep -c $'^figure\t' <<<"$output" || true)
        if [ "$status" -ne 0 ] || grep -q '^FAILED' <<<"$output" || [ "$figures" -lt "${owed[$name]}" ]; then
            failed+=("$arch $run")
            rows+=("| $arch | $run | failed (exit code $status, $figures of ${owed[$name]} figures) |  |  | FAILED |")
        fi
    done
    keyscry_wine_stop
done

echo
echo "Figures of $started: $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')), load average $load at the start; $(/usr/lib/wine/wine64 --version 2>/dev/null || echo Wine); builds: $builds."
echo
echo "| Build | Figure | Value | Ratio | Goal | Met |"
echo "|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"

if [ ${#failed[@]} -gt 0 ]; then
    echo
    echo "Failed: ${failed[*]}" >&2
    exit 1
fi
