#!/usr/bin/env bash
# One refresh of Wine's largest provider against the bare CryptoAPI
# enumeration of it, in one process. Usage: bench/refresh.sh [iterations]
set -euo pipefail
source "$(dirname "$0")/common.sh"
bench_build refresh_bench
bench_start_wine
bench_run refresh_bench.exe "${1:-300}"
