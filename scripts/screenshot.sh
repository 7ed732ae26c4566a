#!/usr/bin/env bash
# Starts the built Keyscry of one architecture (x86, the default, or x64) on a
# virtual display, saves a screenshot of its window to the given PNG file
# (default build/keyscry.png) and prints the path. When the window doesn't
# show, it prints the end of Wine's output and fails.
#   screenshot.sh [x86|x64] [FILE]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
arch=${1:-x86}
keyscry_read_build_info "build/$arch" || exit 2
# The window's title, where the tests pin what a user sees.
title=$(sed -n 's/^inline const char KeyscryTitle\[\] = "\(.*\)";$/\1/p' tests/support/keyscry_texts.h)
[ -n "$title" ] || { echo "screenshot.sh: tests/support/keyscry_texts.h names no window title (KeyscryTitle)" >&2 && exit 2; }
exe=build/$arch/bin/$KEYSCRY_EXE
out=$(realpath -m "${2:-build/keyscry.png}")
mkdir -p "$(dirname "$out")"
wine_dir=build/$arch/wine-run
unset DISPLAY # always the virtual display, whose contents the screenshot is
keyscry_wine_start "$arch" "$wine_dir"
log="$wine_dir/keyscry.log"
keyscry_wine_run "$exe" >"$log" 2>&1 &
keyscry=$!
# The window is shown once the first provider has been inspected.
shown=no
for _ in $(seq 100); do
    sleep 0.2
    if xwininfo -root -tree 2>/dev/null | grep -q "\"$title\""; then
        shown=yes
        break
    fi
    kill -0 $keyscry 2>/dev/null || break
done
if [ $shown = no ]; then
    if kill -0 $keyscry 2>/dev/null; then
        kill $keyscry
        echo "screenshot.sh: Keyscry's window did not show within 20 s. The end of Wine's output:" >&2
    else
        status=0
        wait $keyscry || status=$?
        echo "screenshot.sh: Keyscry ended with exit code $status before its window showed. The end of Wine's output:" >&2
    fi
    tail -n 15 "$log" | sed 's/^/  | /' >&2
    exit 1
fi
sleep 1
geometry=$(xwininfo -name "$title" |
    awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print w "x" h "+" x "+" y}')
# ImageMagick's own import, whatever else PATH may offer under that name.
/usr/bin/import -window root -crop "$geometry" +repage "$out"
kill $keyscry 2>/dev/null || true
echo "$out"
