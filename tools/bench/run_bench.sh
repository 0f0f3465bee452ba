#!/bin/bash
# Downloader benchmark: in one sandbox run, fetches and hashes a 256 MiB package
#   a) with HttpsDownloader::Download + ComputeFileSha256Hex (win_bench_download.exe under Wine),
#   b) with curl into a file + sha256sum,
# and prints both throughputs and their ratio (target: a at least 0.8 of b). As the platform's own
# limit it also measures, in the same rounds, a bare WinHTTP read loop over the same listener
# (same 256 KiB buffer, no file) and a bare CNG SHA-256 loop over the same file, and prints
# a divided by those (target: at least 0.95). Then prints the
# downloading process's peak working set for 64 MiB and 512 MiB bodies (target: no growth with
# the body size beyond 4 MiB). A figure, not a test: nothing here fails on a slow machine.
#
# usage: run_bench.sh [BUILD_DIR [JOBS [ROUNDS]]]      (defaults: build 2 3; needs root)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-build}
jobs=${2:-2}
rounds=${3:-3}

if [ "${BENCH_INSIDE:-}" != yes ]; then
  build=$(mkdir -p "$build" && cd "$build" && pwd)
  # Only what the benchmark runs: the helper and the library it links.
  if [ ! -f "$build/win/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build/win" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  fi
  cmake --build "$build/win" -j "$jobs" --target win_bench_download >/dev/null
  command -v curl >/dev/null || { echo "run_bench.sh: curl is missing" >&2; exit 1; }
  work=$(mktemp -d /tmp/velmora-bench.XXXXXX)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/docroot/downloads" "$work/out"
  head -c 268435456 /dev/urandom >"$work/docroot/downloads/bench.msi"
  BENCH_INSIDE=yes BENCH_WORK=$work BENCH_ROUNDS=$rounds "$root/tools/sandbox/with_sandbox.sh" \
    --docroot "$work/docroot" -- \
    "$root/tools/wine/with_wineserver.sh" "$build/win/wineprefix" "$0" "$build"
  exit $?
fi

# Inside the sandbox namespace, with the prefix's wineserver started there.
work=$BENCH_WORK
rounds=$BENCH_ROUNDS
helper=$build/win/tests/win_bench_download.exe
package=$work/docroot/downloads/bench.msi
size=$(stat -c %s "$package")
expected=$(sha256sum "$package" | cut -d' ' -f1)
url=https://downloads.velmora.test/downloads/bench.msi

now() { date +%s.%N; }
value() { sed -n "s/^$1=//p" "$2" | tr -d '\r'; }

# Runs the helper on URL into the output folder; the key=value lines go to FILE.
run_helper() {  # URL MAX_BYTES FILE
  rm -f "$work/out/program.msi"
  /usr/lib/wine/wine64 "$helper" "$1" 'Z:'"${work//\//\\}"'\out\program.msi' "$2" >"$3" 2>/dev/null || {
    echo "run_bench.sh: the downloader failed: $(value error "$3")" >&2
    exit 1
  }
}

program_times=() curl_times=() download_times=() hash_times=() fetch_times=() sum_times=()
bare_read_times=() bare_hash_times=() bare_times=()
for round in $(seq "$rounds"); do
  run_helper "$url" 536870912 "$work/program.txt"
  [ "$(value sha256 "$work/program.txt")" = "$expected" ] || { echo "run_bench.sh: wrong digest" >&2; exit 1; }
  download_times+=("$(value download_seconds "$work/program.txt")")
  hash_times+=("$(value hash_seconds "$work/program.txt")")
  program_times+=("$(awk -v d="${download_times[-1]}" -v h="${hash_times[-1]}" 'BEGIN { printf "%.6f", d + h }')")

  /usr/lib/wine/wine64 "$helper" bare-read "$url" >"$work/bare-read.txt" 2>/dev/null &&
    [ "$(value bytes "$work/bare-read.txt")" = "$size" ] || { echo "run_bench.sh: the bare read loop failed" >&2; exit 1; }
  /usr/lib/wine/wine64 "$helper" bare-hash 'Z:'"${work//\//\\}"'\out\program.msi' >"$work/bare-hash.txt" 2>/dev/null ||
    { echo "run_bench.sh: the bare hash loop failed" >&2; exit 1; }
  bare_read_times+=("$(value read_seconds "$work/bare-read.txt")")
  bare_hash_times+=("$(value hash_seconds "$work/bare-hash.txt")")
  bare_times+=("$(awk -v d="${bare_read_times[-1]}" -v h="${bare_hash_times[-1]}" 'BEGIN { printf "%.6f", d + h }')")
  rm -f "$work/out/program.msi"

  start=$(now)
  curl -sS --fail -o "$work/out/curl.msi" "$url"
  middle=$(now)
  digest=$(sha256sum "$work/out/curl.msi" | cut -d' ' -f1)
  end=$(now)
  fetch_times+=("$(awk -v s="$start" -v e="$middle" 'BEGIN { printf "%.6f", e - s }')")
  sum_times+=("$(awk -v s="$middle" -v e="$end" 'BEGIN { printf "%.6f", e - s }')")
  [ "$digest" = "$expected" ] || { echo "run_bench.sh: curl got a wrong digest" >&2; exit 1; }
  curl_times+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }')")
  rm -f "$work/out/curl.msi"
  echo "round $round: downloader ${download_times[-1]} s + hash ${hash_times[-1]} s;" \
       "bare WinHTTP ${bare_read_times[-1]} s + bare CNG ${bare_hash_times[-1]} s;" \
       "curl ${fetch_times[-1]} s + sha256sum ${sum_times[-1]} s"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
program=$(median "${program_times[@]}")
reference=$(median "${curl_times[@]}")
bare=$(median "${bare_times[@]}")
echo
echo "== 256 MiB package, fetch + SHA-256 (median of $rounds rounds, same sandbox run)"
awk -v n="$size" -v p="$program" -v c="$reference" -v b="$bare" 'BEGIN {
  printf "HttpsDownloader::Download + ComputeFileSha256Hex  %8.1f MiB/s  (%.2f s)\n", n / p / 1048576, p
  printf "bare WinHTTP read loop + bare CNG SHA-256 loop    %8.1f MiB/s  (%.2f s)\n", n / b / 1048576, b
  printf "ratio (downloader / bare platform loops)          %8.2f    (target >= 0.95)\n", b / p
  printf "curl + sha256sum (native reference)               %8.1f MiB/s  (%.2f s)\n", n / c / 1048576, c
  printf "ratio (downloader / curl)                         %8.2f    (target >= 0.80)\n", c / p
}'
awk -v n="$size" -v d="$(median "${download_times[@]}")" -v h="$(median "${hash_times[@]}")" \
    -v f="$(median "${fetch_times[@]}")" -v s="$(median "${sum_times[@]}")" \
    -v br="$(median "${bare_read_times[@]}")" -v bh="$(median "${bare_hash_times[@]}")" 'BEGIN {
  printf "  parts: Download %.1f MiB/s, ComputeFileSha256Hex %.1f MiB/s; curl %.1f MiB/s, sha256sum %.1f MiB/s\n",
         n / d / 1048576, n / h / 1048576, n / f / 1048576, n / s / 1048576
  printf "  parts: bare WinHTTP %.1f MiB/s (Download / bare %.2f), bare CNG %.1f MiB/s (hash / bare %.2f)\n",
         n / br / 1048576, br / d, n / bh / 1048576, bh / h
}'

echo "  of the last Download, $(value before_body_seconds "$work/program.txt") s came before the body (WinHTTP load, TLS, checks)"
echo "  the downloader's reads delivered $(value writes "$work/program.txt" | awk -v n="$size" '{ printf "%.0f", n / $1 / 1024 }') KiB each on average (buffer: 256 KiB)"

echo
echo "== peak working set of the downloading process (generated bodies, limit 512 MiB)"
for mib in 64 512; do
  run_helper "https://downloads.velmora.test/_/body=zeros:$((mib * 1048576))/zeros.msi" 536870912 "$work/ws$mib.txt"
  rm -f "$work/out/program.msi"
done
awk -v a="$(value peak_working_set "$work/ws64.txt")" -v b="$(value peak_working_set "$work/ws512.txt")" 'BEGIN {
  printf "64 MiB body                                       %8.1f MiB\n", a / 1048576
  printf "512 MiB body                                      %8.1f MiB\n", b / 1048576
  printf "growth                                            %8.1f MiB  (target <= 4 MiB)\n", (b - a) / 1048576
}'
