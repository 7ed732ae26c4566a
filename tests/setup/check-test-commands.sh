#!/usr/bin/env bash
# Runs the commands that build and run the tests and benchmarks (.ci/run,
# scripts/test.sh, fault-check.sh, soak.sh, bench/run.sh, keyscry_build and
# keyscry_tests of common.sh) in a scratch tree, on stand-ins for the 32-bit
# Wine, set-up's dpkg-query, the build, CTest and the soaked executable, one
# run a row, and checks its exit code, its calls in order and what it printed.
source "$(dirname "$0")/rows.sh"
stand_ins wine-runs dpkg-query cmake ctest refresh_tests
tree=$work/tree
mkdir -p "$tree/scripts" "$tree/cmake" "$tree/app" "$tree/bench" "$tree/.ci"
cp "$root/.ci/run" "$tree/.ci/"
cp "$root"/scripts/{common,fault-check,release-build,setup,soak,test}.sh "$tree/scripts/"
cp "$root/cmake/ListTests.cmake" "$tree/cmake/"
cp "$root/bench/run.sh" "$tree/bench/"
ln -s "$bin/stand-in" "$tree/cmake/wine-env.sh"
printf '%s\n' "# one fault of each result" "app/product.cpp|s/sound/fails:beta/" "app/product.cpp|s/sound/quiet/" \
    "app/product.cpp|s/sound/hangs:beta/" "app/product.cpp|s/sound/broken/" "app/product.cpp|s/absent/x/" \
    "app/gone.cpp|s/a/b/" "app/product.cpp|s/sound/dies:beta/" >"$tree/faults"
printf '%s\n' "# only what puts no fault in" "app/product.cpp|s/absent/x/" "app/gone.cpp|s/a/b/" >"$tree/nothing"
: >"$tree/empty"
printf '%s\n' "app/product.cpp|s/unterminated" "app/product.cpp|s/sound/quiet/" >"$tree/bad-sed"
printf '%s\n' "app/product.cpp|s/sound/broken/w app/left.cpp" >"$tree/leaves-a-file"
unset KEYSCRY_ARCHES
export bin FAKE_TREE=$tree KEYSCRY_SETUP_DONE=1 DISPLAY=:99 KEYSCRY_X86_WINE=$bin/none KEYSCRY_X86_LD=$bin/none
export FAKE_TESTS="wine_start:300: alpha:60:gtest beta:30:gtest refresh_tests:120:soak wine_stop:1500:"

# run | its command, in the tree (the 32-bit Wine "none" unless it says so)
# | exit code | what it asked of the stand-ins, ";" between | what it prints,
# "|" between fragments ("!" before one: never printed)
while IFS='|' read -r run command code calls says; do
    [ -n "$run" ] || continue
    rm -rf "$tree/build" "$tree/app/"*
    echo sound >"$tree/app/product.cpp"
    status=0
    (cd "$tree" && bash -c "$command") >"$out" 2>&1 || status=$?
    check_row "the run '$run'" "$status" "$code" "$calls" "$says"
done <<'EOF'
test.sh: both suites where the 32-bit Wine runs, the arguments in each|KEYSCRY_X86_WINE=$bin/wine-runs scripts/test.sh -R '^alpha$'|0|wine-runs;configure x86;build x86;configure x64;build x64;x86: alpha;x64: alpha|== The x86 suite|== The x64 suite|!not run
test.sh: the 64-bit suite alone, every test of it, without the 32-bit Wine|scripts/test.sh|0|configure x86;build x86;configure x64;build x64;x64: wine_start alpha beta refresh_tests wine_stop|The 32-bit (x86) suite was not run: the 32-bit Wine (wine32:i386) is not installed; the 64-bit suite checks the 32-bit Keyscry.exe as a file
test.sh: a failing 32-bit suite, the 64-bit one still run|KEYSCRY_X86_WINE=$bin/wine-runs FAKE_FAILING=x86 scripts/test.sh -R '^alpha$'|1|wine-runs;configure x86;build x86;configure x64;build x64;x86: alpha;x64: alpha|Failed: the x86 suite.
.ci/run: a failing suite fails CI|FAKE_FAILING=x64 .ci/run|1|configure x86;build x86;configure x64;build x64;x64: wine_start alpha beta refresh_tests wine_stop|Failed: the x64 suite.
test.sh: a selection of nothing|scripts/test.sh -R '^none$'|1|configure x86;build x86;configure x64;build x64;x64: nothing|Failed: the x64 suite.
test.sh: set-up once, not again in the tests it starts|unset KEYSCRY_SETUP_DONE && FAKE_TESTS=package_check:300:release scripts/test.sh|0|dpkg-query;configure x86;build x86;configure x64;build x64;x64: package_check|== The x64 suite
keyscry_tests: a selection of nothing|source scripts/common.sh && keyscry_tests x64 -L '^none$'|2||ctest --preset x64 -L ^none$ selects no test
keyscry_build: a tree that another preset made configured again, one of its own not|scripts/release-build.sh x64 build/x64 && source scripts/common.sh && keyscry_build x64 && keyscry_build x64|0|configure release-x64;build x64;configure x64;build x64;build x64|
fault-check.sh: one fault of each result that leaves the list sound, listed from another folder|cd app && ../scripts/fault-check.sh ../faults|0|configure x64;build x64;x64: wine_start;x64: alpha beta;build x64;x64: beta;build x64;x64: beta;x64: alpha;build x64;x64: beta;x64: alpha;build x64;build x64;x64: beta;x64: alpha;build x64;x64: wine_stop|quickest first: beta alpha|1 caught by beta: app/product.cpp s/sound/fails:beta/|2 survived:|3 timed-out in beta:|4 no-build:|5 no-match:|6 no-file: app/gone.cpp|7 broken in beta:|Faults: 7; caught 1, survived 1, timed out 1, broken 1, didn't build 1, didn't match 1, rejected by sed 0, no such file 1.|!build again|!nothing is measured
fault-check.sh: a script that sed rejects, the faults after it still measured|scripts/fault-check.sh bad-sed|2|configure x64;build x64;x64: wine_start;x64: alpha beta;build x64;x64: beta;x64: alpha;build x64;x64: wine_stop|1 bad-sed: app/product.cpp s/unterminated|2 survived:|rejected by sed 1, no such file 0.|!build again
fault-check.sh: a fault that leaves another file broken, so the tree doesn't build again|scripts/fault-check.sh leaves-a-file|2|configure x64;build x64;x64: wine_start;x64: alpha beta;build x64;build x64;x64: wine_stop|1 no-build:|Faults: 1; caught 0, survived 0, timed out 0, broken 0, didn't build 1,|the tree doesn't build again after the last fault
fault-check.sh: an unchanged suite that fails|echo fails:alpha >app/product.cpp && scripts/fault-check.sh faults|2|configure x64;build x64;x64: wine_start;x64: alpha beta;x64: wine_stop|alpha ......***Failed|the unchanged suite fails|!Faults:
fault-check.sh: a list of comments, a fault that matches nothing and one with no file|scripts/fault-check.sh nothing|2|configure x64;build x64;x64: wine_start;x64: alpha beta;build x64;x64: wine_stop|1 no-match:|2 no-file:|Faults: 2;|puts no fault into a file: nothing is measured
fault-check.sh: an empty list|scripts/fault-check.sh empty|2|configure x64;build x64;x64: wine_start;x64: alpha beta;build x64;x64: wine_stop|Faults: 0;|nothing is measured
fault-check.sh: no list|scripts/fault-check.sh|2||usage: fault-check.sh FAULTS
fault-check.sh: a list that doesn't exist|scripts/fault-check.sh absent|2||usage: fault-check.sh FAULTS
soak.sh: a batch of each kind|FAKE_BATCHES=pass,fail,late,crash scripts/soak.sh 3500|1|configure x64;build x64;seeds 1-1000;seeds 1001-2000;seeds 2001-3000;seeds 3001-3500|seed 1001: a row of 200|seeds 2001-3000: the test process ended with exit code 1 after a summary of no failed seed|seeds 3001-3500: the test process ended with exit code 3 without its summary|soak: 3500 seeds ran, 1501 failed
soak.sh: batches that pass|FAKE_BATCHES=pass,pass scripts/soak.sh 1500|0|configure x64;build x64;seeds 1-1000;seeds 1001-1500|soak: 1500 seeds ran, 0 failed
soak.sh: no seeds|scripts/soak.sh 0|2||usage: soak.sh
bench/run.sh: a benchmark that passes and prints fewer figures than it owes|bench/run.sh scale|1|configure x64;build x64|== x64: scale_bench.exe|failed (exit code 0, 0 of 3 figures)|Failed: x64 scale_bench.exe
bench/run.sh: an empty name|bench/run.sh ''|2||usage: bench/run.sh
EOF
check_done "check-test-commands: each command ran, chose and counted as each row expects"
