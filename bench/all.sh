#!/usr/bin/env bash
# Every figure of the README in one run: builds the benchmarks of every build
# this machine runs (the probe decides; KEYSCRY_ARCHES overrides it), runs the
# start-up, refresh and scale benchmarks of one build after the other, and
# ends with one Markdown table (build, figure, value, ratio, goal, met or
# missed) under a line that names the date, the machine and the builds, and
# notes below it: where a refresh's time goes and the noisiest scale step.
# Exits 1 when a benchmark itself fails (a wrong row count, a message box, a
# program that didn't get ready), 2 when the build fails; a missed goal is a
# figure, not a failure. The whole output is also kept in build-bench/all.log.
# Usage: bench/all.sh
set -euo pipefail
# Each build keeps its own tree, build-bench/ARCH; one named tree can't serve both.
if [ -n "${KEYSCRY_BENCH_BUILD:-}" ]; then
    echo "bench/all.sh: KEYSCRY_BENCH_BUILD names one tree; this command uses build-bench/ARCH" >&2
    exit 2
fi
source "$(dirname "$0")/common.sh"
arches=($KEYSCRY_RUN_ARCHES)
mkdir -p "$root/build-bench"
log=$root/build-bench/all.log
rows=$root/build-bench/all.rows
notes=$root/build-bench/all.notes
: >"$rows"
: >"$notes"
exec > >(tee "$log") 2>&1

tab=$'\t' # the programs' figure and note lines are tab-separated

grouped() { # NUMBER: with thousands separators
    sed -e ':a' -e 's/\B[0-9]\{3\}\>/,&/' -e 'ta' <<<"$1"
}

started=$(date -u '+%-d %B %Y, %H:%M UTC')
load=$(cut -d' ' -f1-3 /proc/loadavg)
if [ -n "$KEYSCRY_X86_REASON" ]; then
    builds="${arches[*]} (not x86: $KEYSCRY_X86_REASON)"
else
    builds="${arches[*]}"
fi
echo "Benchmarks of the builds: $builds"
for a in "${arches[@]}"; do
    bench_use_arch "$a"
    echo "Building the $arch benchmarks in $build_dir"
    bench_build Keyscry startup_driver refresh_bench scale_bench
done

failed=()
for a in "${arches[@]}"; do
    bench_use_arch "$a"
    size=$(stat -c %s "$build_dir/bin/$KEYSCRY_EXE")
    verdict=met
    [ "$size" -le 16384 ] || verdict=missed
    printf '%s\t%s\t%s\t\t%s\t%s\n' "$arch" "Executable, stripped: \`$KEYSCRY_EXE\`" \
        "$(grouped "$size") bytes" "at most 16,384 bytes" "$verdict" >>"$rows"

    bench_start_wine
    for run in "startup_driver.exe" "refresh_bench.exe" "scale_bench.exe"; do
        echo
        echo "== $arch: $run"
        status=0
        output=$(bench_run $run) || status=$?
        grep -v "^figure$tab\|^note$tab" <<<"$output" || true
        grep "^figure$tab" <<<"$output" | sed "s/^figure/$arch/" >>"$rows" || true
        grep "^note$tab" <<<"$output" | sed "s/^note$tab/- $arch: /" >>"$notes" || true
        if [ "$status" -ne 0 ] || grep -q '^FAILED' <<<"$output"; then
            failed+=("$arch $run")
            printf '%s\t%s\t%s\t\t\t%s\n' "$arch" "$run" "failed (exit code $status)" \
                "FAILED" >>"$rows"
        fi
    done
    bench_stop_wine
done

echo
echo "Figures of $started: $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')), load average $load at the start; $(/usr/lib/wine/wine64 --version 2>/dev/null || echo Wine); builds: $builds."
echo
echo "| Build | Figure | Value | Ratio | Goal | Met |"
echo "|---|---|---|---|---|---|"
# Ratios are compared as shown: two decimals, growths one.
awk -F'\t' '{
    build = $1; figure = $2; value = $3; ratio = $4; goal = $5; kind = $6
    if (kind == "ratio" || kind == "growth") {
        rounded = sprintf(kind == "growth" ? "%.1f" : "%.2f", ratio)
        shown = (kind == "growth" ? "×" : "") rounded
        if (goal + 0 > 0) {
            goalText = kind == "growth" ? sprintf("at most ×%g", goal) : sprintf("at most %.2f", goal)
            met = rounded + 0 <= goal + 0 ? "met" : "missed"
        } else {
            goalText = "none"; met = "reference"
        }
        printf "| %s | %s | %s | %s | %s | %s |\n", build, figure, value, shown, goalText, met
    } else {
        printf "| %s | %s | %s | %s | %s | %s |\n", build, figure, value, ratio, goal, kind
    }
}' "$rows"
echo
cat "$notes"

if [ ${#failed[@]} -gt 0 ]; then
    echo
    echo "Failed: ${failed[*]}" >&2
    exit 1
fi
