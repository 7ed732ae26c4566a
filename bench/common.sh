# Sourced by the benchmark scripts. Builds benchmark targets in a build tree
# of their own (KEYSCRY_BENCH_BUILD, default build-bench/) and runs programs
# there under Wine, in a prefix of their own on a virtual display.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(realpath -m "${KEYSCRY_BENCH_BUILD:-$root/build-bench}")
wine_dir=$build_dir/wine-bench

bench_build() { # TARGETS...
    local log=$build_dir/bench-build.log
    "$root/scripts/setup.sh"
    mkdir -p "$build_dir"
    if ! {
        [ -f "$build_dir/build.ninja" ] ||
            cmake -S "$root" -B "$build_dir" -G Ninja \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
                -DCMAKE_BUILD_TYPE=Release
        cmake --build "$build_dir" --target "$@"
    } >"$log" 2>&1; then
        cat "$log" >&2
        exit 2
    fi
}

bench_start_wine() {
    unset DISPLAY
    bash "$root/cmake/wine-env.sh" "$wine_dir" start
    trap 'bash "$root/cmake/wine-env.sh" "$wine_dir" stop' EXIT
}

bench_run() { # PROGRAM ARGS...
    bash "$root/cmake/wine-env.sh" "$wine_dir" run "$build_dir/bin/$1" "${@:2}" | tr -d '\r'
}
