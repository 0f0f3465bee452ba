#!/bin/sh
# Runs every libFuzzer target for longer than the test run does, keeping its corpus. Fails when
# a target fails (a crash, a sanitizer report, a time-out or memory limit); the input that did
# it is kept in the target's artefact folder.
# Usage: run_fuzz.sh BUILD_DIR SECONDS
set -eu
build=$1
seconds=$2
status=0
for fuzzer in "$build"/fuzz/tests/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$build/fuzz/tests/corpus_$name"
  artifacts="$build/fuzz/tests/artifacts_$name"
  mkdir -p "$corpus" "$artifacts"
  echo "== $name for $seconds s"
  log="$artifacts/run.log"
  fuzzer_status=0
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || fuzzer_status=$?
  grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Test unit written|Done' "$log" || true
  if [ "$fuzzer_status" -ne 0 ]; then
    echo "== $name failed with status $fuzzer_status; its log and input are in $artifacts" >&2
    status=1
  fi
done
exit $status
