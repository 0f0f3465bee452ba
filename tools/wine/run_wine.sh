#!/bin/sh
# Runs a Windows program under Wine in the given prefix, making the prefix first if needed.
# Usage: run_wine.sh PREFIX PROGRAM.exe [ARGS...]
set -eu
prefix=$1
shift
here=$(dirname "$0")
[ -f "$prefix/.velmora-ready" ] || "$here/make_prefix.sh" "$prefix"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
exec /usr/lib/wine/wine64 "$@"
