# Sourced by the benchmark scripts. Builds benchmark targets in a build tree
# of their own per architecture (build-bench/ARCH, or KEYSCRY_BENCH_BUILD for
# a script that runs one build) and runs programs there under Wine, in a
# prefix of their own on a virtual display (KEYSCRY_BENCH_DISPLAY names a
# display to use instead). The single-benchmark scripts run the x86 build
# where the machine executes 32-bit code, x64 otherwise; KEYSCRY_ARCHES=x64
# chooses the 64-bit build anyway. bench/all.sh runs every build the machine
# runs.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
source "$root/scripts/arches.sh"
keyscry_probe_arches || exit 2

bench_use_arch() { # ARCH: sets arch, build_dir, wine_dir and KEYSCRY_EXE
    arch=$1
    keyscry_arch_files "$arch"
    build_dir=$(realpath -m "${KEYSCRY_BENCH_BUILD:-$root/build-bench/$arch}")
    wine_dir=$build_dir/wine-bench
}

bench_build() { # TARGETS...
    local log=$build_dir/bench-build.log
    mkdir -p "$build_dir"
    if ! {
        [ -f "$build_dir/build.ninja" ] ||
            cmake -S "$root" -B "$build_dir" -G Ninja \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$KEYSCRY_TOOLCHAIN.cmake" \
                -DCMAKE_BUILD_TYPE=Release
        cmake --build "$build_dir" --target "$@"
    } >"$log" 2>&1; then
        cat "$log" >&2
        exit 2
    fi
}

bench_start_wine() {
    if [ -n "${KEYSCRY_BENCH_DISPLAY:-}" ]; then
        export DISPLAY=$KEYSCRY_BENCH_DISPLAY
    else
        unset DISPLAY
    fi
    bash "$root/cmake/wine-env.sh" $arch "$wine_dir" start
    trap 'bash "$root/cmake/wine-env.sh" $arch "$wine_dir" stop' EXIT
}

bench_stop_wine() {
    bash "$root/cmake/wine-env.sh" $arch "$wine_dir" stop
    trap - EXIT
}

bench_run() { # PROGRAM ARGS...
    bash "$root/cmake/wine-env.sh" $arch "$wine_dir" run "$build_dir/bin/$1" "${@:2}" | tr -d '\r'
}

# The single-benchmark scripts run one build.
bench_use_arch "$KEYSCRY_MAIN_ARCH"
