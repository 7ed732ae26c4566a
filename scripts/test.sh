#!/usr/bin/env bash
# Sets up, builds both trees and runs their CTest suites: the 64-bit one
# (build/x64) on every machine, the 32-bit one (build/x86) where the machine
# has the 32-bit Wine and executes 32-bit x86 code; where it can't, one line
# says so and why. The test executables run under Wine; the bash checks of the
# scripts and of the release (setup_check, probe_check, test_commands_check,
# package_check) run on Linux, in the 64-bit suite, which checks the 32-bit
# Keyscry.exe as a file on every machine. KEYSCRY_ARCHES=x64 runs as a machine
# without the 32-bit suite would. Arguments go to every ctest call; a suite in
# which they select no test fails, and the command fails where any suite does.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
# Set-up runs once: the release check packages twice, and where apt can't
# install something each set-up would try again.
keyscry_set_up_and_build

failed=()
for arch in x86 x64; do
    if [[ " $KEYSCRY_RUN_ARCHES " != *" $arch "* ]]; then
        if [ "$arch" = x86 ]; then
            echo "The 32-bit (x86) suite was not run: $KEYSCRY_X86_REASON; the 64-bit suite checks the 32-bit Keyscry.exe as a file (image_tests_x86, package_check)."
        else
            echo "The 64-bit (x64) suite was not run: KEYSCRY_ARCHES=$KEYSCRY_ARCHES leaves it out."
        fi
        continue
    fi
    echo "== The $arch suite (build/$arch)"
    ctest --preset "$arch" --no-tests=error "$@" || failed+=("$arch")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Failed: the ${failed[*]} suite." >&2
    exit 1
fi
