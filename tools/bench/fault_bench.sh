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
  cmake --build "$build/win" -j 2 --target VelmoraSetup win_setup_timing_probe velmora_packages >/dev/null
  work=$(mktemp -d /tmp/velmora-fault-bench.XXXXXX)
  trap 'rm -rf "$work"' EXIT
  bench_docroot "$work" "$build"
  run() {  # LABEL SANDBOX_OPTION...
    local label=$1
    shift
    BENCH_INSIDE=yes "$root/tools/sandbox/with_sandbox.sh" --docroot "$work/docroot" "$@" -- \
      xvfb-run -a -s "-screen 0 1280x800x24" \
      "$root/tools/wine/with_wineserver.sh" "$work/prefix" "$0" "$build" >"$work/ms.txt"
    awk -v label="$label" '{ printf "%-40s %6.1f s to the final report\n", label, $1 / 1000 }' "$work/ms.txt"
  }
  bench_manifest "$work" cdn.velmora.test
  run "package host black-holed" --blackhole cdn.velmora.test
  bench_manifest "$work" downloads.velmora.test
  printf '{"/downloads/Velmora-Setup-1.1.8-x64.msi": "cut=100000,stall"}' > "$work/docroot/_behaviour.json"
  run "package host stalls mid-body"
  exit 0
fi

bench_inside "$build"
"$wine" "$build/win/tests/win_setup_timing_probe.exe" report "$exe" 2>/dev/null | tr -d '\r'
