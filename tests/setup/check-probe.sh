#!/usr/bin/env bash
# Runs the machine probe of scripts/common.sh (keyscry_probe_arches) on
# machines played by stand-ins for its two loaders, one machine a row, and
# checks its exit code, the suites it picks, the build it runs and what it
# says: why the 32-bit build can't run, or its error.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/keyscry-probe-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A loader "runs", "fails" as on a kernel that can't execute it, or is
# "none" (not installed).
printf '#!/bin/sh\necho "loader 1.0"\n' >"$work/runs"
printf '#!/bin/sh\necho "$0: cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$work/fails"
chmod +x "$work/runs" "$work/fails"

# machine | Wine's 32-bit loader | the 32-bit ld.so | KEYSCRY_ARCHES | exit code
# | suites | main build (both unchecked after exit code 2) | what it says,
# "|" between fragments (none: no reason, nothing printed)
machines="
32-bit code runs|runs|runs||0|x86 x64|x86|
no 32-bit Wine|none|runs||0|x64|x64|the 32-bit Wine (wine32:i386) is not installed
a kernel without 32-bit code|fails|fails||0|x64|x64|this machine does not execute 32-bit x86 code (Wine's 32-bit loader answered: Exec format error [exit code 126])
neither|none|fails||0|x64|x64|the 32-bit Wine (wine32:i386) is not installed, nor does this machine's kernel execute 32-bit x86 code
x64 asked for where both run|runs|runs|x64|0|x64|x64|KEYSCRY_ARCHES=x64 leaves it out
x86 asked for without the 32-bit Wine|none|runs|x86|2|||KEYSCRY_ARCHES=x86 asks for the 32-bit build, which can't run here: the 32-bit Wine (wine32:i386) is not installed
both asked for on a kernel without 32-bit code|fails|fails|x86,x64|2|||KEYSCRY_ARCHES=x86,x64 asks for the 32-bit build, which can't run here: this machine does not execute 32-bit x86 code
both asked for where both run|runs|runs|x86,x64|0|x86 x64|x86|
an unknown architecture asked for|runs|runs|x64,arm|2|||KEYSCRY_ARCHES: unknown architecture 'arm'
"

failures=0
while IFS='|' read -r machine wine ld arches code suites main says; do
    [ -n "$machine" ] || continue
    IFS='|' read -r status got_suites got_main reason < <(
        source "$root/scripts/common.sh"
        KEYSCRY_X86_WINE=$work/$wine
        KEYSCRY_X86_LD=$work/$ld
        status=0
        KEYSCRY_ARCHES=$arches keyscry_probe_arches 2>"$work/err" || status=$?
        echo "$status|${KEYSCRY_RUN_ARCHES:-}|${KEYSCRY_MAIN_ARCH:-}|${KEYSCRY_X86_REASON:-}"
    )
    said=$reason$(cat "$work/err")
    problems=()
    [ "$status" = "$code" ] || problems+=("exit code $status, expected $code")
    if [ "$code" = 0 ]; then
        [ "$got_suites" = "$suites" ] || problems+=("suites '$got_suites', expected '$suites'")
        [ "$got_main" = "$main" ] || problems+=("main build '$got_main', expected '$main'")
    fi
    if [ -z "$says" ]; then
        [ -z "$said" ] || problems+=("said something, expected nothing")
    else
        IFS='|' read -r -a fragments <<<"$says"
        for fragment in "${fragments[@]}"; do
            [[ $said == *"$fragment"* ]] || problems+=("did not say: $fragment")
        done
    fi
    if [ ${#problems[@]} -gt 0 ]; then
        failures=$((failures + 1))
        echo "the probe on the machine '$machine':" >&2
        printf '%s\n' "${problems[@]}" "it said: $said" | sed 's/^/  /' >&2
    fi
done <<<"$machines"

if [ $failures -gt 0 ]; then
    exit 1
fi
echo "check-probe: the probe told each of the machines what it runs"
