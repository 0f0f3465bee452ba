#!/bin/bash
# Runs every suite of the built tree and prints one closing line over all of them.
# Usage: run_tests.sh BUILD_DIR JOBS
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
jobs=$2
passed=0
failed=0
summary=""

# Runs ctest in a build folder (optionally through a wrapper command) and adds up its counts.
run_suite() {
  local name=$1 dir=$2
  shift 2
  local log="$dir/ctest-output.txt"
  echo "== suite $name"
  "$@" ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 2>&1 | tee "$log"
  local line total fail
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    echo "suite $name printed no summary: counted as one failure"
    failed=$((failed + 1))
    summary="$summary\n  $name: no summary"
    return
  fi
  total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  fail=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
  passed=$((passed + total - fail))
  failed=$((failed + fail))
  summary="$summary\n  $name: $((total - fail)) passed, $fail failed"
}

run_suite host "$build/host"
run_suite asan "$build/asan"
run_suite fuzz "$build/fuzz"

# The Windows suites share one prefix and one wineserver, on a virtual display of their own.
run_suite win "$build/win" xvfb-run -a -s "-screen 0 1280x800x24" \
  "$root/tools/wine/with_wineserver.sh" "$build/win/wineprefix"

echo
echo "== all suites"
echo -e "${summary#\\n}"
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
