#!/bin/sh
# Runs every libFuzzer target for longer than the test run does, keeping its corpus.
# Usage: run_fuzz.sh BUILD_DIR SECONDS
set -eu
build=$1
seconds=$2
status=0
for fuzzer in "$build"/fuzz/tests/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$build/fuzz/tests/corpus_$name"
  mkdir -p "$corpus"
  echo "== $name for $seconds s"
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 |
    grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' || true
  [ -z "$(ls "$build"/fuzz/crash-* 2>/dev/null)" ] || status=1
done
exit $status
