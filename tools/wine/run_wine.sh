#!/bin/sh
# Runs a Windows program under Wine in the given prefix, making the prefix first if needed.
# Usage: run_wine.sh PREFIX PROGRAM.exe [ARGS...]
#
# The program's output goes through a file: programs that Wine starts on the side (the desktop
# process when a first window is made, for one) inherit the output handles and outlive the
# test, and a pipe they hold would keep ctest waiting for its end.
set -eu
prefix=$1
shift
here=$(dirname "$0")
[ -f "$prefix/.velmora-ready" ] || "$here/make_prefix.sh" "$prefix"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
output=$(mktemp)
trap 'rm -f "$output"' EXIT
run() {
  status=0
  /usr/lib/wine/wine64 "$@" </dev/null >"$output" 2>&1 || status=$?
}
run "$@"
# Now and then Wine fails to start a program at all: it ends at once with a failure status and
# not one byte written. A test program always writes (and flushes) before its first test, so
# that is never a test's own failure. It is said, and the program started once more.
if [ "$status" -ne 0 ] && [ ! -s "$output" ]; then
  echo "run_wine.sh: $1 ended with status $status before writing anything; starting it again" >&2
  run "$@"
fi
cat "$output"
exit "$status"
