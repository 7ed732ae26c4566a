#!/usr/bin/env bash
# Runs Windows programs under Wine in a private prefix kept in one folder.
#   wine-env.sh DIR start      make the prefix (once), start a display if there is
#                              none, and keep a wineserver running
#   wine-env.sh DIR run EXE..  run one program there, with its exit code
#   wine-env.sh DIR stop       end the wineserver and the display started here
# The prefix is made once per folder (about 10 s) and reused after that.
set -euo pipefail

dir=$(mkdir -p "$1" && cd "$1" && pwd)
action=$2
shift 2

export WINEPREFIX="$dir/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko install prompts

# The display started here, when the caller had none, serves every program.
use_display() {
    if [ -f "$dir/xvfb.display" ]; then
        export DISPLAY=$(cat "$dir/xvfb.display")
    fi
}

start_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    if [ -f "$dir/xvfb.pid" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
        return 0
    fi
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/xvfb.pid"
    echo ":$n" >"$dir/xvfb.display"
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
}

make_prefix() {
    [ -f "$WINEPREFIX/.keyscry-ready" ] && return 0
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    # Wine has no Courier New; a metric-compatible fixed-pitch face keeps the
    # algorithm columns lined up. No crash dialog may ever wait for a click.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" /d "Liberation Mono" /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.keyscry-ready"
}

case "$action" in
start)
    start_display
    use_display
    exec 9>"$dir/lock"
    flock 9
    make_prefix </dev/null >/dev/null 2>&1
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
    wine "$@" >"$log" 2>&1 </dev/null || status=$?
    cat "$log"
    rm -f "$log"
    exit $status
    ;;
stop)
    wineserver -k 2>/dev/null || true
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
        rm -f "$dir/xvfb.pid" "$dir/xvfb.display"
    fi
    ;;
*)
    echo "usage: wine-env.sh DIR start|run EXE...|stop" >&2
    exit 2
    ;;
esac
