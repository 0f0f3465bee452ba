#!/bin/bash
# Writes and checks the installer manifest of a vendor build, with that build's profile: its
# three key names and its download hosts. The work is done by the program's own manifest
# reader, compiled natively with the same profile into BUILD_DIR/manifest-tool on first use
# (needs CMake and the native C++ compiler); msitools reads the package.
#
# Usage: manifest_tool.sh BUILD_DIR write PACKAGE.msi PACKAGE_URL MANIFEST
#        manifest_tool.sh BUILD_DIR check MANIFEST [PACKAGE.msi]
#   write   the version from the package's ProductVersion, the package's SHA-256 and exeSize,
#           the size of Velmora.exe in its File table; MANIFEST is checked as written and
#           replaced only when it follows the publishing rules
#   check   a manifest as published (fetch it first, e.g. curl -fsSo current.json URL):
#           each broken publishing rule on a line of its own, and with PACKAGE.msi each value
#           that does not describe that package (version, SHA-256, exeSize); exit code 1 when
#           there is any
set -euo pipefail
usage() { sed -n '7,15s/^# \{0,1\}//p' "$0" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 2 ] || usage
build=$1
mode=$2
shift 2
case $mode:$# in
  write:3 | check:1 | check:2) ;;
  *) usage ;;
esac

cache="$build/CMakeCache.txt"
if [ ! -f "$cache" ]; then
  echo "manifest_tool.sh: $build is not a configured build folder" >&2
  exit 1
fi
profile=$(sed -n 's/^VELMORA_PROFILE:[A-Z]*=//p' "$cache")
tool_build="$build/manifest-tool"
log="$build/manifest-tool.log"
# Configured each time, so that the tool always follows the build's current profile; the
# build itself stays program-only.
if ! { cmake -S "$root" -B "$tool_build" -DVELMORA_PROFILE="$profile" -DBUILD_TESTING=OFF \
         -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$tool_build" -j 2 --target velmora_manifest_tool; } >"$log" 2>&1; then
  grep -h -m 5 'error' "$log" >&2 || tail -20 "$log" >&2
  echo "manifest_tool.sh: the manifest tool did not build for the profile $profile (see $log)" >&2
  exit 1
fi
tool="$tool_build/velmora_manifest_tool"

# Reads what the package is: version, size of Velmora.exe, SHA-256 (into the variables of
# those names), or fails naming the package.
read_package() {  # PACKAGE.msi
  package=$1
  fail() { echo "manifest_tool.sh: $package: $1" >&2; exit 1; }
  [ -r "$package" ] || fail "cannot be read"
  # msiinfo prints a table as tab-separated rows ending in CR LF, after two header rows and a
  # row naming the table.
  table() { msiinfo export "$package" "$1" | tr -d '\r' | tail -n +4; }
  local properties files
  properties=$(table Property) || fail "is not a package msiinfo can read"
  files=$(table File) || fail "has no File table"
  version=$(printf '%s\n' "$properties" | awk -F'\t' '$1 == "ProductVersion" { print $2 }')
  [ -n "$version" ] || fail "has no ProductVersion"
  # FileName is "SHORT|Long" or a single name that serves as both.
  sizes=$(printf '%s\n' "$files" |
    awk -F'\t' '{ name = $3; sub(/^[^|]*\|/, "", name) } tolower(name) == "velmora.exe" { print $4 }')
  case $(printf '%s' "$sizes" | grep -c '^' || true) in
    1) ;;
    0) fail "installs no Velmora.exe (File table)" ;;
    *) fail "lists Velmora.exe more than once in its File table; exeSize would be ambiguous" ;;
  esac
  digest=$(sha256sum "$package")
  digest=${digest%% *}
}

if [ "$mode" = check ]; then
  [ $# = 2 ] || exec "$tool" check "$1"
  read_package "$2"
  exec "$tool" check "$1" "$(basename "$2")" "$version" "$digest" "$sizes"
fi

read_package "$1"
exec "$tool" write "$version" "$2" "$digest" "$sizes" "$3"
