#!/usr/bin/env bash
# The benchmarks of every build this machine runs (the probe decides;
# KEYSCRY_ARCHES overrides it), one build after the other, each inside Wine
# on a virtual display (KEYSCRY_BENCH_DISPLAY names a display to use
# instead), in a prefix of its own beside the build's test tree:
#   startup  the executable's size against the build's limit, and start-up
#            of Keyscry against a bare program that makes the same platform
#            calls and against a minimal window program [runs, 24]
#   refresh  one refresh of Wine's largest provider against a bare refresh
#            that makes the same calls and the bare CryptoAPI enumeration,
#            and where a refresh's time goes [calls, 600]
#   scale    refreshes of 100 to 10,000 fake algorithm records and fills of
#            100 and 1,000 providers: the growth for ten times the work [cycles, 21]
# It ends with one Markdown table (build, figure, value, ratio, goal, met or
# missed) under a line that names the date, the machine and the builds, and
# notes below it, ready for the README; the whole output is also kept in
# build/bench.log. Exits 1 when a benchmark itself fails (a wrong row count, a
# message box, a program that didn't get ready), 2 when the build fails; a
# missed goal is a figure, not a failure.
#   bench/run.sh [startup|refresh|scale [COUNT]]...   (all three without any)
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"

declare -A programs=([startup]=startup_driver [refresh]=refresh_bench [scale]=scale_bench)
declare -A counts=()
chosen=()
for arg in "$@"; do
    if [ -n "${programs[$arg]:-}" ]; then
        chosen+=("$arg")
    elif [[ ${#chosen[@]} -gt 0 && $arg =~ ^[0-9]+$ ]]; then
        counts[${chosen[-1]}]=$arg
    else
        echo "usage: bench/run.sh [startup|refresh|scale [COUNT]]..." >&2
        exit 2
    fi
done
[ ${#chosen[@]} -gt 0 ] || chosen=(startup refresh scale)

"$KEYSCRY_ROOT/scripts/setup.sh"
keyscry_probe_arches || exit 2
arches=($KEYSCRY_RUN_ARCHES)
work=$(mktemp -d "${TMPDIR:-/tmp}/keyscry-bench.XXXXXX")
rows=$work/rows
notes=$work/notes
: >"$rows"
: >"$notes"
mkdir -p "$KEYSCRY_ROOT/build"
exec > >(tee "$KEYSCRY_ROOT/build/bench.log") 2>&1

tab=$'\t' # the programs' figure and note lines are tab-separated

started=$(date -u '+%-d %B %Y, %H:%M UTC')
load=$(cut -d' ' -f1-3 /proc/loadavg)
if [ -n "$KEYSCRY_X86_REASON" ]; then
    builds="${arches[*]} (not x86: $KEYSCRY_X86_REASON)"
else
    builds="${arches[*]}"
fi
echo "Benchmarks ${chosen[*]} of the builds: $builds"
targets=(Keyscry)
for name in "${chosen[@]}"; do
    targets+=("${programs[$name]}")
done
for arch in "${arches[@]}"; do
    echo "Building the $arch benchmarks in build/$arch"
    keyscry_build "$arch" "${targets[@]}" || exit 2
done

failed=()
for arch in "${arches[@]}"; do
    build_dir=$KEYSCRY_ROOT/build/$arch
    if [ -n "${KEYSCRY_BENCH_DISPLAY:-}" ]; then
        export DISPLAY=$KEYSCRY_BENCH_DISPLAY
    else
        unset DISPLAY
    fi
    keyscry_wine_start "$arch" "$build_dir/wine-bench"
    for name in "${chosen[@]}"; do
        run=${programs[$name]}.exe
        echo
        echo "== $arch: $run"
        status=0
        output=$(keyscry_wine_run "$build_dir/bin/$run" ${counts[$name]:-} | tr -d '\r') ||
            status=$?
        grep -v "^figure$tab\|^note$tab" <<<"$output" || true
        grep "^figure$tab" <<<"$output" | sed "s/^figure/$arch/" >>"$rows" || true
        grep "^note$tab" <<<"$output" | sed "s/^note$tab/- $arch: /" >>"$notes" || true
        if [ "$status" -ne 0 ] || grep -q '^FAILED' <<<"$output"; then
            failed+=("$arch $run")
            printf '%s\t%s\t%s\t\t\t%s\n' "$arch" "$run" "failed (exit code $status)" \
                "FAILED" >>"$rows"
        fi
    done
    keyscry_wine_stop
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
rm -rf "$work"

if [ ${#failed[@]} -gt 0 ]; then
    echo
    echo "Failed: ${failed[*]}" >&2
    exit 1
fi
