#!/usr/bin/env bash
# Runs Windows programs under Wine in a private prefix kept in one folder.
#   wine-env.sh ARCH DIR start      make the prefix (once), start a display if
#                                   there is none, and keep a wineserver running
#   wine-env.sh ARCH DIR run EXE..  run one program there, with its exit code
#   wine-env.sh ARCH DIR stop       end the wineserver and the display started here
# ARCH is x86 (a 32-bit prefix, Wine's 32-bit loader) or x64 (a 64-bit prefix,
# Wine's 64-bit loader, which runs natively on every x86-64 machine). The
# prefix is made once per folder (about 10 s) and reused after that.
set -euo pipefail

usage() { echo "usage: wine-env.sh x86|x64 DIR start|run EXE...|stop" >&2 && exit 2; }
[ $# -ge 3 ] || usage
arch=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)
action=$3
shift 3

case "$arch" in
x86)
    export WINEARCH=win32
    loader=/usr/lib/wine/wine
    ;;
x64)
    export WINEARCH=win64
    loader=/usr/lib/wine/wine64
    # Wine starts its own helper programs through WINELOADER: the 64-bit
    # loader here, as Debian's wine script sets it when it runs that one.
    export WINELOADER=$loader
    ;;
*)
    echo "wine-env.sh: unknown architecture '$arch' (x86 or x64)" >&2
    exit 2
    ;;
esac
export WINEPREFIX="$dir/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko install prompts

stop_display() {
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
        rm -f "$dir/xvfb.pid" "$dir/xvfb.display"
    fi
}

# Prints the end of a log that explains a failed start, ends the display
# started for it, and fails with CODE.
fail_with_log() { # CODE LOG WHAT
    echo "wine-env.sh: $3 failed (exit code $1). The end of its output:" >&2
    tail -n 15 "$2" | sed 's/^/  | /' >&2
    stop_display
    exit "$1"
}

# The display started here, when the caller had none, serves every program.
use_display() { [ ! -f "$dir/xvfb.display" ] || export DISPLAY=$(cat "$dir/xvfb.display"); }

start_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    if [ -f "$dir/xvfb.pid" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
        return 0
    fi
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    echo ":$n" >"$dir/xvfb.display"
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    fail_with_log 1 "$dir/xvfb.log" "Starting the virtual display :$n"
}

make_prefix() {
    [ -f "$WINEPREFIX/.keyscry-ready" ] && return 0
    rm -rf "$WINEPREFIX"
    local log="$dir/wineboot.log" status=0
    {
        "$loader" wineboot -i &&
            # Wine has no Courier New; a metric-compatible fixed-pitch face keeps
            # the algorithm columns lined up. No crash dialog may ever wait for a click.
            "$loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" \
                /d "Liberation Mono" /f &&
            "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD \
                /d 0 /f &&
            wineserver -w
    } </dev/null >"$log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail_with_log "$status" "$log" "Making the $arch Wine prefix in $WINEPREFIX"
    touch "$WINEPREFIX/.keyscry-ready"
}

case "$action" in
start)
    start_display
    use_display
    exec 9>"$dir/lock"
    flock 9
    make_prefix
    # The lock must not live on in the wineserver, or the next start would wait for it.
    setsid wineserver -p 9>&- </dev/null >/dev/null 2>&1 || true
    ;;
run)
    use_display
    # Wine starts its service processes on demand and they inherit the output
    # of whichever program started them; they would hold a test runner's pipe
    # open long after the program ended. So the output goes to a file first.
    log=$(mktemp "$dir/run.XXXXXX")
    status=0
    "$loader" "$@" >"$log" 2>&1 </dev/null || status=$?
    cat "$log"
    rm -f "$log"
    exit $status
    ;;
stop)
    wineserver -k 2>/dev/null || true
    stop_display
    ;;
*) usage ;;
esac
