# Sourced by the benchmark scripts. Builds benchmark targets in a build tree
# of their own (KEYSCRY_BENCH_BUILD, default build-bench/ARCH) and runs
# programs there under Wine, in a prefix of their own on a virtual display.
# ARCH is x86 where the machine executes 32-bit code, x64 otherwise;
# KEYSCRY_ARCHES=x64 chooses the 64-bit build anyway.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
source "$root/scripts/arches.sh"
keyscry_probe_arches || exit 2
arch=$KEYSCRY_MAIN_ARCH
keyscry_arch_files "$arch"
build_dir=$(realpath -m "${KEYSCRY_BENCH_BUILD:-$root/build-bench/$arch}")
wine_dir=$build_dir/wine-bench
echo "Benchmarks of the $arch build ($build_dir)"

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
    unset DISPLAY
    bash "$root/cmake/wine-env.sh" $arch "$wine_dir" start
    trap 'bash "$root/cmake/wine-env.sh" $arch "$wine_dir" stop' EXIT
}

bench_run() { # PROGRAM ARGS...
    bash "$root/cmake/wine-env.sh" $arch "$wine_dir" run "$build_dir/bin/$1" "${@:2}" | tr -d '\r'
}
