#!/usr/bin/env bash
# Start-up time of Keyscry against a bare program that makes the same
# platform calls and against a minimal window program, measured inside Wine
# from process creation until the main window is visible with its list
# filled. Usage: bench/startup.sh [runs]
set -euo pipefail
source "$(dirname "$0")/common.sh"
echo "Benchmarks of the $arch build ($build_dir)"
bench_build startup_driver
bench_start_wine
echo "Start-up, median of ${1:-24} runs:"
bench_run startup_driver.exe "${1:-24}"
