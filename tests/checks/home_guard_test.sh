#!/bin/bash
# The home-folder guard finds what a run writes, and only that: a shortcut left on a stand-in
# home's Desktop fails it, naming the file; a write inside the excluded build folder or an
# ignored path does not.
# Usage: home_guard_test.sh WORK_DIR (inside the build folder). Prints "N passed, N failed".
set -u
guard=$(cd "$(dirname "$0")/../.." && pwd)/tools/home_guard.sh
work=$1/home_guard
rm -rf "$work"
mkdir -p "$work/home/Desktop" "$work/home/build" "$work/home/.cache"
home=$work/home listing=$work/listing
passed=0 failed=0
check() {
  if [ "$2" = yes ]; then echo "ok    $1"; passed=$((passed + 1)); else echo "FAIL  $1"; failed=$((failed + 1)); fi
}

VELMORA_HOME_GUARD_IGNORE=".cache" "$guard" snapshot "$home" "$home/build" "$listing"
touch "$home/build/more.txt" "$home/.cache/entry"
VELMORA_HOME_GUARD_IGNORE=".cache" "$guard" compare "$home" "$home/build" "$listing" >/dev/null
check "writes in the build folder and an ignored path pass" "$([ $? -eq 0 ] && echo yes)"
touch "$home/Desktop/Velmora.lnk"
out=$(VELMORA_HOME_GUARD_IGNORE=".cache" "$guard" compare "$home" "$home/build" "$listing")
status=$?
check "a shortcut left on the Desktop fails the guard and is named" \
  "$([ $status -ne 0 ] && grep -qF "$home/Desktop/Velmora.lnk" <<<"$out" && echo yes)"
rm -rf "$work"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
