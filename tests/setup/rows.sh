# Sourced by the checks of the scripts: a scratch folder, removed at exit,
# stand_ins to put stand-in.sh on PATH under the names given, and check_row.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/keyscry-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
bin=$work/bin log=$work/calls out=$work/out failures=0 problems=()
mkdir "$bin" && : >"$log" && install -m 755 "$root/tests/setup/stand-in.sh" "$bin/stand-in"
export FAKE_LOG=$log PATH=$bin:$PATH
stand_ins() { for name; do ln -s stand-in "$bin/$name"; done; }

# check_row WHAT STATUS CODE CALLS SAYS: adds to the problems found already
# those of one run: its exit code; the calls in $log (";" between, none: no
# call); what it printed in $out ("|" between fragments, each printed or, with
# "!" before it, not; none: nothing printed). Reports them under WHAT.
check_row() {
    local status=$2 code=$3 calls=$4 made fragment fragments
    made=$(paste -sd';' "$log")
    [ "$status" = "$code" ] || problems+=("exit code $status, expected $code")
    [ "$made" = "$calls" ] || problems+=("calls:    $made" "expected: $calls")
    [ -n "$5" ] || [ ! -s "$out" ] || problems+=("printed something, expected nothing")
    IFS='|' read -r -a fragments <<<"$5"
    for fragment in "${fragments[@]}"; do
        if [[ $fragment == !* ]]; then
            ! grep -qF -- "${fragment#!}" "$out" || problems+=("printed: ${fragment#!}")
        else
            grep -qF -- "$fragment" "$out" || problems+=("did not print: $fragment")
        fi
    done
    if [ ${#problems[@]} -gt 0 ]; then
        failures=$((failures + 1))
        { echo "$1:" && printf '  %s\n' "${problems[@]}" "it printed:" && sed 's/^/    | /' "$out"; } >&2
    fi
    problems=()
    : >"$log"
}

# check_done MESSAGE: fails where a row failed, else says MESSAGE.
check_done() {
    [ "$failures" -eq 0 ] || exit 1
    echo "$1"
}
