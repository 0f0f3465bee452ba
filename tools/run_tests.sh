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

# Runs one suite's command and adds up the counts of its closing line: ctest's summary, or a
# plain "N passed, N failed".
run_suite() {
  local name=$1
  shift
  local log="$build/suite-$name.txt"
  echo "== suite $name"
  "$@" 2>&1 | tee "$log"
  local line pass fail
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    fail=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    pass=$(( $(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/') - fail ))
  else
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)
    if [ -z "$line" ]; then
      echo "suite $name printed no summary: counted as one failure"
      pass=0 fail=1
    else
      pass=${line%% passed*}
      fail=$(echo "$line" | sed -E 's/.*, ([0-9]+) failed/\1/')
    fi
  fi
  passed=$((passed + pass))
  failed=$((failed + fail))
  summary="$summary\n  $name: $pass passed, $fail failed"
}

ctest_in() { ctest --test-dir "$1" -j "$jobs" --output-on-failure --timeout 600; }

run_suite host ctest_in "$build/host"
run_suite asan ctest_in "$build/asan"
run_suite fuzz ctest_in "$build/fuzz"
run_suite sandbox "$root/tools/sandbox/selftest.sh"

# The Windows suites run inside the sandbox's network namespace, where the download hosts
# live, on a virtual display of their own, with one wineserver started inside the namespace
# (Wine makes its connections there). They run one at a time: they share the machine's
# product record, its running Velmora processes and the desktop.
# Wine maps a prefix's shell folders to the home folder unless told otherwise: nothing the
# Windows suites run may land there (the build folder is excluded, wherever it lies).
home_listing="$build/home-before.txt"
"$root/tools/home_guard.sh" snapshot "$HOME" "$build" "$home_listing"
run_suite win "$root/tools/run_win_tests.sh" "$build"

# The manifest tool with the sandbox profile and the sample packages: round trip and a table
# of bad manifests; then signing and checking signed manifests with a vendor profile that names
# the test PKI's manifest signing keys.
run_suite manifest "$root/tests/checks/manifest_tool_test.sh" "$build/win"

# The release engineer's kit with a vendor profile: program-only builds, plain text, the same
# bytes from two folders, the image, signing and its refusals, the manifest tool.
run_suite release "$root/tests/checks/release_kit_test.sh" "$build" "$build/win"

run_suite home "$root/tools/home_guard.sh" compare "$HOME" "$build" "$home_listing"

echo
echo "== all suites"
echo -e "${summary#\\n}"
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
