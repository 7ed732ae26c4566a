# Sourced by every script that builds, runs or tests Keyscry: which of the two
# builds this machine can run, the one way to configure and build a tree, what
# the build wrote into it, and Wine started and stopped around programs.
#
# keyscry_read_build_info DIR reads what CMake wrote into the configured tree
# DIR (build_info.sh), and sets
#   KEYSCRY_EXE         the executable's file name
#   KEYSCRY_VERSION     the version
#
# keyscry_probe_arches sets
#   KEYSCRY_RUN_ARCHES  "x86 x64" or "x64" (or what KEYSCRY_ARCHES says)
#   KEYSCRY_X86_REASON  why the 32-bit build is not run here (empty when it is)
#   KEYSCRY_MAIN_ARCH   the build to run when there is one to choose: x86 where
#                       it runs, x64 otherwise
# Every x86-64 machine runs the 64-bit build through Wine's 64-bit loader. The
# 32-bit one needs Wine's 32-bit part, which apt can't always install, and a
# kernel that executes 32-bit x86 code, which some don't: the probe starts
# Wine's 32-bit loader, or without it the system's, and reads its answer.
# KEYSCRY_ARCHES overrides the probe: "x64" makes a machine that runs both act
# as one that runs only the 64-bit build ("x86", "x86 x64" and "x86,x64" work
# too, and fail at once where the 32-bit build can't run).
#
# keyscry_build [-B DIR] PRESET [TARGET...]   configure and build, quietly
# keyscry_tests PRESET CTEST-ARG...           the tests CTest selects
# keyscry_set_up_and_build                    set-up, probe, both trees
# keyscry_wine_start ARCH DIR, keyscry_wine_run EXE [ARG...], keyscry_wine_stop

KEYSCRY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

keyscry_read_build_info() {
    if [ ! -f "${1:-}/build_info.sh" ]; then
        echo "'${1:-}' is not a configured build tree: it has no build_info.sh" >&2
        return 2
    fi
    source "$1/build_info.sh"
}

# The loaders the probe starts; a check of the probe points them at stand-ins.
: "${KEYSCRY_X86_WINE:=/usr/lib/wine/wine}" # Wine's 32-bit loader
: "${KEYSCRY_X86_LD:=/lib/ld-linux.so.2}"   # the system's 32-bit dynamic loader

# Prints why the 32-bit build can't run here; nothing where it can. Only exit
# code 0 counts as running; "Exec format error" (exit code 126 from the
# shell) is the kernel refusing 32-bit code, anything else the loader's own.
keyscry_x86_blocker() {
    local answer status=0
    if [ ! -x "$KEYSCRY_X86_WINE" ]; then
        # Where the kernel can't execute 32-bit code, installing the 32-bit
        # Wine wouldn't help: the 32-bit dynamic loader, where it is, says so.
        answer=$("$KEYSCRY_X86_LD" --version 2>&1 </dev/null) || status=$?
        if [[ $status -ne 0 && $answer == *"Exec format error"* ]]; then
            echo "the 32-bit Wine (wine32:i386) is not installed, nor does this machine's kernel execute 32-bit x86 code ($KEYSCRY_X86_LD answered: Exec format error)"
        else
            echo "the 32-bit Wine (wine32:i386) is not installed"
        fi
        return
    fi
    answer=$("$KEYSCRY_X86_WINE" --version 2>&1 </dev/null) || status=$?
    [ "$status" -eq 0 ] && return
    answer=$(tail -n 1 <<<"$answer")
    if [[ $status -eq 126 || $answer == *"Exec format error"* ]]; then
        echo "this machine does not execute 32-bit x86 code (Wine's 32-bit loader answered: Exec format error [exit code $status])"
    else
        echo "Wine's 32-bit loader fails for a reason other than the kernel (it answered: ${answer#"$KEYSCRY_X86_WINE": } [exit code $status])"
    fi
}

keyscry_probe_arches() {
    KEYSCRY_X86_REASON=""
    if [ -n "${KEYSCRY_ARCHES:-}" ]; then
        local word arches=""
        for word in ${KEYSCRY_ARCHES//,/ }; do
            [[ $word == x86 || $word == x64 ]] ||
                { echo "KEYSCRY_ARCHES: unknown architecture '$word' (x86 or x64)" >&2 && return 2; }
            arches="$arches $word"
        done
        KEYSCRY_RUN_ARCHES=${arches# }
        case " $arches " in
        *" x86 "*)
            local blocker
            blocker=$(keyscry_x86_blocker)
            if [ -n "$blocker" ]; then
                echo "KEYSCRY_ARCHES=$KEYSCRY_ARCHES asks for the 32-bit build, which can't run here: $blocker" >&2
                return 2
            fi
            ;;
        *) KEYSCRY_X86_REASON="KEYSCRY_ARCHES=$KEYSCRY_ARCHES leaves it out" ;;
        esac
    else
        KEYSCRY_X86_REASON=$(keyscry_x86_blocker)
        KEYSCRY_RUN_ARCHES="x86 x64"
        [ -z "$KEYSCRY_X86_REASON" ] || KEYSCRY_RUN_ARCHES=x64
    fi
    KEYSCRY_MAIN_ARCH=x64
    [[ " $KEYSCRY_RUN_ARCHES " != *" x86 "* ]] || KEYSCRY_MAIN_ARCH=x86
}

# Configures the tree of a CMake preset (x86, x64, release-x86, release-x64;
# in build/PRESET, or in DIR) unless that preset already made it, so that a
# tree is always the one every script expects, then builds the targets
# (everything without any). Quiet: the output is kept in the tree's build.log
# and shown only when the build fails, which returns 2.
keyscry_build() {
    local dir=""
    if [ "${1:-}" = -B ]; then
        dir=$2
        shift 2
    fi
    local preset=$1
    shift
    dir=$(realpath -m "${dir:-$KEYSCRY_ROOT/build/$preset}")
    mkdir -p "$dir"
    local log=$dir/build.log
    if ! {
        if [ ! -f "$dir/build.ninja" ] ||
            ! grep -qx "KEYSCRY_PRESET:STRING=$preset" "$dir/CMakeCache.txt" 2>/dev/null; then
            (cd "$KEYSCRY_ROOT" && cmake --preset "$preset" -B "$dir")
        fi &&
            cmake --build "$dir" ${1:+--target "$@"}
    } >"$log" 2>&1; then
        cat "$log" >&2
        echo "The build of $preset in $dir failed; its output is above and in $log." >&2
        return 2
    fi
}

# Prints the tests that the ctest arguments (-L, -R, -E...) select in the
# configured tree of PRESET, without the fixtures they need, a line each: the
# name and the command's words, tab-separated, quickest first (by TIMEOUT,
# which is a few times a test's usual run time; CTest's order among equals).
# A selection of nothing fails, saying so: ctest lists nothing and passes.
keyscry_tests() {
    local preset=$1 json tests
    shift
    json=$(cd "$KEYSCRY_ROOT" && ctest --preset "$preset" --show-only=json-v1 -FA '.*' "$@") &&
        tests=$(cmake -DJSON="$json" -P "$KEYSCRY_ROOT/cmake/ListTests.cmake") || return 2
    if [ -z "$tests" ]; then
        echo "ctest --preset $preset $* selects no test in build/$preset." >&2
        return 2
    fi
    sort -s -n -k1,1 <<<"$tests" | cut -f2-
}

# What the run and test commands do first: set-up (once for everything the
# command starts), the probe, and both trees built. Building needs no Wine,
# so both are built on every machine.
keyscry_set_up_and_build() {
    "$KEYSCRY_ROOT/scripts/setup.sh"
    export KEYSCRY_SETUP_DONE=1
    keyscry_probe_arches || exit 2
    local arch
    for arch in x86 x64; do
        echo "Building build/$arch."
        keyscry_build "$arch" || exit 2
    done
}

# Starts Wine for programs of ARCH in a prefix kept in DIR (made once, about
# 10 s), on the caller's display or, where DISPLAY is empty, on a virtual one
# that DISPLAY then names. Wine and that display end when the script exits,
# or at keyscry_wine_stop.
keyscry_wine_start() {
    KEYSCRY_WINE=(bash "$KEYSCRY_ROOT/cmake/wine-env.sh" "$1" "$2")
    "${KEYSCRY_WINE[@]}" start
    trap keyscry_wine_stop EXIT
    KEYSCRY_WINE_DISPLAY=""
    if [ -z "${DISPLAY:-}" ]; then
        KEYSCRY_WINE_DISPLAY=$(cat "$2/xvfb.display")
        export DISPLAY=$KEYSCRY_WINE_DISPLAY
    fi
}

# Runs a program under the Wine that keyscry_wine_start started; its exit code.
keyscry_wine_run() {
    "${KEYSCRY_WINE[@]}" run "$@"
}

keyscry_wine_stop() {
    trap - EXIT
    [ -n "${KEYSCRY_WINE[*]:-}" ] || return 0
    "${KEYSCRY_WINE[@]}" stop
    KEYSCRY_WINE=()
    [ -z "${KEYSCRY_WINE_DISPLAY:-}" ] || unset DISPLAY
}
