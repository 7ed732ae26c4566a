#!/usr/bin/env bash
# Refresh time for 100, 1,000 and 10,000 algorithm records of a fake provider
# and fill time for catalogues of 100 and 1,000 providers, with the cost per
# row and per provider and the growth for ten times the work.
# Usage: bench/scale.sh [cycles]
set -euo pipefail
source "$(dirname "$0")/common.sh"
echo "Benchmarks of the $arch build ($build_dir)"
bench_build scale_bench
bench_start_wine
bench_run scale_bench.exe "${1:-21}"
