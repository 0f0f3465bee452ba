#!/bin/sh
# Runs a command with one persistent wineserver for the prefix, and ends the server and every
# process of the prefix afterwards. The prefix's background programs (services, the desktop)
# are started first with their output detached, so they never hold a test's output open.
# Usage: with_wineserver.sh PREFIX COMMAND...
set -u
prefix=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
"$here/make_prefix.sh" "$prefix"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
/usr/lib/wine/wineserver -p
/usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
"$@"
status=$?
/usr/lib/wine/wineserver -k
/usr/lib/wine/wineserver -w
exit $status
