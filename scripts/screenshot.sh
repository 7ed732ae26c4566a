#!/usr/bin/env bash
# Starts the built Keyscry on a virtual display, saves a screenshot of its
# window to the given PNG file (default build/keyscry.png) and prints the path.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/keyscry.png}")
mkdir -p "$(dirname "$out")"
wine_dir=build/wine-run
unset DISPLAY
bash cmake/wine-env.sh "$wine_dir" start
trap 'bash cmake/wine-env.sh "$wine_dir" stop' EXIT
export DISPLAY=$(cat "$wine_dir/xvfb.display")
bash cmake/wine-env.sh "$wine_dir" run build/bin/Keyscry.exe >/dev/null &
keyscry=$!
# The window is shown once the first provider has been inspected.
for _ in $(seq 100); do
    sleep 0.2
    xwininfo -root -tree 2>/dev/null | grep -q '"Keyscry - CryptoAPI Service Providers"' && break
done
sleep 1
geometry=$(xwininfo -name "Keyscry - CryptoAPI Service Providers" |
    awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print w "x" h "+" x "+" y}')
import -window root -crop "$geometry" +repage "$out"
kill $keyscry 2>/dev/null || true
echo "$out"
