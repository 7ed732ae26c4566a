#!/usr/bin/env bash
# One refresh of Wine's largest provider against a bare refresh that makes the
# same platform calls and against the bare CryptoAPI enumeration of it, in one
# process, and where a refresh's time goes. Usage: bench/refresh.sh [calls]
set -euo pipefail
source "$(dirname "$0")/common.sh"
echo "Benchmarks of the $arch build ($build_dir)"
bench_build refresh_bench
bench_start_wine
bench_run refresh_bench.exe "${1:-600}"
