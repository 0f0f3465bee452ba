#!/bin/bash
# Fault benchmark: seconds from the start of VelmoraSetup.exe to its final report when the
# package's host drops every packet (black-holed) and when it stops sending mid-body
# (stalled). Both runs go through two HTTPS attempts and then the system downloader, whose
# stall watch is what bounds the last one. A figure, not a test.
# Usage: fault_bench.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-build}" && pwd)

if [ "${BENCH_INSIDE:-}" != yes ]; then
  cmake --build "$build/win" -j 2 --target VelmoraSetup win_setup_timing_probe velmora_packages >/dev/null
  work=$(mktemp -d /tmp/velmora-fault-bench.XXXXXX)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/docroot/downloads" "$work/docroot/installer"
  cp "$build/win/packages/Velmora-Setup-1.1.8-x64.msi" "$work/docroot/downloads/"
  digest=$(sed -n 's/^Velmora-Setup-1.1.8-x64.msi size=[0-9]* sha256=\([0-9a-f]*\)$/\1/p' "$build/win/packages/packages.txt")
  "$root/tools/wine/make_prefix.sh" "$work/prefix"
  manifest() {  # PACKAGE_HOST
    printf '{"releaseVersion": "1.1.8", "installerUrl": "https://%s/downloads/Velmora-Setup-1.1.8-x64.msi", "installerSha256": "%s", "exeSize": 0}' \
      "$1" "$digest" > "$work/docroot/installer/manifest.json"
  }
  run() {  # LABEL SANDBOX_OPTION...
    local label=$1
    shift
    BENCH_INSIDE=yes "$root/tools/sandbox/with_sandbox.sh" --docroot "$work/docroot" "$@" -- \
      xvfb-run -a -s "-screen 0 1280x800x24" \
      "$root/tools/wine/with_wineserver.sh" "$work/prefix" "$0" "$build" >"$work/ms.txt"
    awk -v label="$label" '{ printf "%-40s %6.1f s to the final report\n", label, $1 / 1000 }' "$work/ms.txt"
  }
  manifest cdn.velmora.test
  run "package host black-holed" --blackhole cdn.velmora.test
  manifest downloads.velmora.test
  printf '{"/downloads/Velmora-Setup-1.1.8-x64.msi": "cut=100000,stall"}' > "$work/docroot/_behaviour.json"
  run "package host stalls mid-body"
  exit 0
fi

wine=/usr/lib/wine/wine64
exe=$(winepath -w "$build/win/VelmoraSetup.exe" 2>/dev/null || echo "Z:${build//\//\\}\\win\\VelmoraSetup.exe")
runtime="$WINEPREFIX/drive_c/Program Files (x86)/Microsoft/EdgeWebView/Application/120.0.2210.91"
mkdir -p "$runtime" && printf MZ > "$runtime/msedgewebview2.exe"
"$wine" "$build/win/tests/win_setup_timing_probe.exe" report "$exe" 2>/dev/null | tr -d '\r'
