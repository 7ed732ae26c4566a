#!/usr/bin/env bash
# Runs the machine probe of scripts/common.sh (keyscry_probe_arches) on
# machines played by stand-ins for its two loaders, one machine a row, and
# checks its exit code, the loaders it asks, the suites it picks, the build it
# runs and what it says: why the 32-bit build can't run, or its error.
source "$(dirname "$0")/rows.sh"
# A loader (wine-WHAT, ld-WHAT) "runs", fails with "exec-format" as on a kernel
# without 32-bit code, with "exit-1" or "no-library", or is "none" (absent).
stand_ins {wine,ld}-{runs,exec-format,exit-1,no-library}

# machine | Wine's 32-bit loader | the 32-bit ld.so | KEYSCRY_ARCHES | exit code
# | loaders asked | suites | main build (both unchecked after exit code 2) |
# what it says, "|" between fragments ("!" before one: never; none: nothing)
machines="
32-bit code runs|runs|runs||0|wine-runs|x86 x64|x86|
no 32-bit Wine|none|runs||0|ld-runs|x64|x64|the 32-bit Wine (wine32:i386) is not installed|!kernel
a kernel without 32-bit code|exec-format|exec-format||0|wine-exec-format|x64|x64|this machine does not execute 32-bit x86 code (Wine's 32-bit loader answered: Exec format error [exit code 126])
a loader that answers but exits 1|exit-1|runs||0|wine-exit-1|x64|x64|Wine's 32-bit loader fails for a reason other than the kernel (it answered: loader 1.0 [exit code 1])
a loader missing a library|no-library|runs||0|wine-no-library|x64|x64|other than the kernel (it answered: error while loading shared libraries: libz.so.1: cannot open shared object file [exit code 127])
neither|none|exec-format||0|ld-exec-format|x64|x64|the 32-bit Wine (wine32:i386) is not installed, nor does this machine's kernel execute 32-bit x86 code
no 32-bit Wine nor libraries|none|no-library||0|ld-no-library|x64|x64|the 32-bit Wine (wine32:i386) is not installed|!kernel
x64 asked for where both run|runs|runs|x64|0||x64|x64|KEYSCRY_ARCHES=x64 leaves it out
x86 asked for without the 32-bit Wine|none|runs|x86|2|ld-runs|||KEYSCRY_ARCHES=x86 asks for the 32-bit build, which can't run here: the 32-bit Wine (wine32:i386) is not installed
both asked for on a kernel without 32-bit code|exec-format|exec-format|x86,x64|2|wine-exec-format|||KEYSCRY_ARCHES=x86,x64 asks for the 32-bit build, which can't run here: this machine does not execute 32-bit x86 code
both asked for where both run|runs|runs|x86,x64|0|wine-runs|x86 x64|x86|
an unknown architecture asked for|runs|runs|x64,arm|2||||KEYSCRY_ARCHES: unknown architecture 'arm'
"

while IFS='|' read -r machine wine ld arches code calls suites main says; do
    [ -n "$machine" ] || continue
    IFS='|' read -r status got_suites got_main < <(
        source "$root/scripts/common.sh"
        status=0
        KEYSCRY_X86_WINE=$bin/wine-$wine KEYSCRY_X86_LD=$bin/ld-$ld KEYSCRY_ARCHES=$arches keyscry_probe_arches 2>"$out" ||
            status=$?
        [ -z "${KEYSCRY_X86_REASON:-}" ] || echo "$KEYSCRY_X86_REASON" >>"$out"
        echo "$status|${KEYSCRY_RUN_ARCHES:-}|${KEYSCRY_MAIN_ARCH:-}"
    )
    if [ "$code" = 0 ]; then
        [ "$got_suites" = "$suites" ] || problems+=("suites '$got_suites', expected '$suites'")
        [ "$got_main" = "$main" ] || problems+=("main build '$got_main', expected '$main'")
    fi
    check_row "the probe on the machine '$machine'" "$status" "$code" "$calls" "$says"
done <<<"$machines"
check_done "check-probe: the probe told each of the machines what it runs"
