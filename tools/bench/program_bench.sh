#!/bin/bash
# Program benchmark: the size of VelmoraSetup.exe (target at most 1 MiB), launch to first
# paint under Wine with a warm wineserver (target at most 200 ms, median of 10), and a whole
# fresh-install run against the sandbox up to the finish screen (median of 3).
# A figure, not a test. Usage: program_bench.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-build}" && pwd)
. "$root/tools/bench/common.bash"

if [ "${BENCH_INSIDE:-}" != yes ]; then
  bench_prepare program-bench
  bench_manifest downloads.velmora.test
  size=$(stat -c %s "$build/win/VelmoraSetup.exe")
  printf 'exe size:                %d bytes (%.2f MiB; target at most 1 MiB)\n' "$size" \
    "$(awk -v s="$size" 'BEGIN { print s / 1048576 }')"
  bench_run_inside "$0"
  exit $?
fi

bench_inside "$build"
probe="$build/win/tests/win_setup_timing_probe.exe"
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

"$wine" "$probe" paint "$exe" >/dev/null 2>&1 || true  # warms the desktop and the caches
for _ in $(seq 1 10); do "$wine" "$probe" paint "$exe" 2>/dev/null | tr -d '\r'; done > /tmp/velmora-paint.txt
printf 'launch to first paint:   %s ms median of 10, warm (target at most 200 ms)\n' "$(median < /tmp/velmora-paint.txt)"

uninstall() {
  local code
  code=$("$wine" reg query 'HKLM\Software\Velmora\Installer' /v ProductCode /reg:64 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  [ -z "$code" ] || "$wine" msiexec /x "$code" /qn >/dev/null 2>&1
}
for _ in 1 2 3; do
  uninstall
  "$wine" "$probe" finish "$exe" 2>/dev/null | tr -d '\r'
done > /tmp/velmora-run.txt
uninstall
printf 'fresh install to finish: %s ms median of 3 (manifest, 1.1.8 download, msiexec)\n' "$(median < /tmp/velmora-run.txt)"
rm -f /tmp/velmora-paint.txt /tmp/velmora-run.txt
