#!/bin/bash
# Fault benchmark: seconds from the start of VelmoraSetup.exe to its final report when the
# package's host drops every packet (black-holed) and when it stops sending mid-body
# (stalled). Both runs go through two HTTPS attempts and then the system downloader, whose
# stall watch is what bounds the last one. A figure, not a test.
# Usage: fault_bench.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-build}" && pwd)
. "$root/tools/bench/common.bash"

if [ "${BENCH_INSIDE:-}" != yes ]; then
  bench_prepare fault-bench
  run() {  # LABEL SANDBOX_OPTION...
    local label=$1
    shift
    bench_run_inside "$0" "$@" >"$work/ms.txt"
    awk -v label="$label" '{ printf "%-40s %6.1f s to the final report\n", label, $1 / 1000 }' "$work/ms.txt"
  }
  bench_manifest cdn.velmora.test
  run "package host black-holed" --blackhole cdn.velmora.test
  bench_manifest downloads.velmora.test
  printf '{"/downloads/Velmora-Setup-1.1.8-x64.msi": "cut=100000,stall"}' > "$work/docroot/_behaviour.json"
  run "package host stalls mid-body"
  exit 0
fi

bench_inside "$build"
"$wine" "$build/win/tests/win_setup_timing_probe.exe" report "$exe" 2>/dev/null | tr -d '\r'
