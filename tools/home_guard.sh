#!/bin/bash
# Tells whether a test run wrote into a folder it must leave alone (the home folder of the user
# running it): a listing taken before the run is compared with one taken after.
#
#   home_guard.sh snapshot WATCHED EXCLUDE LISTING   lists WATCHED, less EXCLUDE, into LISTING
#   home_guard.sh compare WATCHED EXCLUDE LISTING    prints each path that is new since, and
#                                                    "1 passed, 0 failed" or "0 passed, 1 failed"
#
# EXCLUDE is the run's own build folder (it may lie inside WATCHED). VELMORA_HOME_GUARD_IGNORE
# may name further paths under WATCHED, separated by spaces, that other programs on the machine
# write meanwhile (a compiler cache, an editor's state); the run itself has nothing to write there.
set -u
[ $# -eq 4 ] || { sed -n '2,11s/^# \{0,1\}//p' "$0" >&2; exit 2; }
action=$1 watched=$(realpath "$2") exclude=$(realpath -m "$3") listing=$4

list() {
  local prune=(-path "$exclude")
  for path in ${VELMORA_HOME_GUARD_IGNORE:-}; do prune+=(-o -path "$watched/$path"); done
  find "$watched" \( "${prune[@]}" \) -prune -o -print 2>/dev/null | LC_ALL=C sort
}

case $action in
  snapshot) list >"$listing" ;;
  compare)
    new=$(list | LC_ALL=C comm -13 "$listing" -)
    if [ -n "$new" ]; then
      echo "written outside the build folder, under $watched:"
      echo "$new" | sed 's/^/  /'
      echo "0 passed, 1 failed"
      exit 1
    fi
    echo "nothing new under $watched outside the build folder"
    echo "1 passed, 0 failed"
    ;;
  *) echo "home_guard.sh: unknown action $action" >&2; exit 2 ;;
esac
