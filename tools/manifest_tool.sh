#!/bin/bash
# Writes, signs and checks the installer manifest of a vendor build, with that build's profile:
# its three key names, its download hosts and its manifest signing keys. The work is done by
# the program's own manifest reader, compiled natively with the same profile into
# BUILD_DIR/manifest-tool on first use (needs CMake and the native C++ compiler); msitools reads
# the package and openssl makes and checks the signatures.
#
# Usage: manifest_tool.sh BUILD_DIR write PACKAGE.msi PACKAGE_URL MANIFEST [EXPIRES]
#        manifest_tool.sh BUILD_DIR sign MANIFEST KEY.pem
#        manifest_tool.sh BUILD_DIR check MANIFEST [PACKAGE.msi]
#   write   the version from the package's ProductVersion, the package's SHA-256 and exeSize,
#           the size of Velmora.exe in its File table, and EXPIRES (a UTC time such as
#           2027-01-31T00:00:00Z; only with manifest signing keys in the profile) as "expires";
#           MANIFEST is checked as written and replaced only when it follows the publishing rules
#   sign    MANIFEST.sig, the detached signature the program fetches beside the manifest, made
#           with KEY.pem (the private key of one of the profile's manifest signing keys), once
#           MANIFEST follows the publishing rules; the new signature is verified before it
#           replaces the old one
#   check   a manifest as published (fetch it first, e.g. curl -fsSo current.json URL, and its
#           signature to current.json.sig): each broken publishing rule on a line of its own,
#           with manifest signing keys in the profile a missing, malformed or foreign
#           MANIFEST.sig and a past or unreadable "expires", and with PACKAGE.msi each value that
#           does not describe that package (version, SHA-256, exeSize); exit code 1 when there
#           is any
set -euo pipefail
usage() { sed -n '8,24s/^# \{0,1\}//p' "$0" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 2 ] || usage
build=$1
mode=$2
shift 2
case $mode:$# in
  write:3 | write:4 | sign:2 | check:1 | check:2) ;;
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

# The profile's manifest signing keys, one base64 SubjectPublicKeyInfo a line in slot order.
keys=$("$tool" keys)

public_key_pem() {  # BASE64_SPKI
  printf -- '-----BEGIN PUBLIC KEY-----\n%s\n-----END PUBLIC KEY-----\n' "$(printf '%s' "$1" | fold -w 64)"
}

# Checks SIGNATURE over MANIFEST as the program does: its form first, then each of the
# profile's keys in slot order. Prints the slot of the key that verifies it, or reports why
# none does.
verified_slot() {  # MANIFEST SIGNATURE
  local slot=0 key
  "$tool" signature "$2" || return 1
  while IFS= read -r key; do
    slot=$((slot + 1))
    if openssl dgst -sha256 -verify <(public_key_pem "$key") -signature "$2" "$1" >/dev/null 2>&1; then
      echo "$slot"
      return 0
    fi
  done <<<"$keys"
  echo "$2: matches none of the profile's $slot manifest signing key(s): the manifest changed after" \
    "signing, or another key signed it" >&2
  return 1
}

if [ "$mode" = check ]; then
  status=0
  if [ $# = 2 ]; then
    read_package "$2"
    "$tool" check "$1" "$(basename "$2")" "$version" "$digest" "$sizes" || status=$?
  else
    "$tool" check "$1" || status=$?
  fi
  # Without keys the program never fetches the signature.
  if [ "$status" != 2 ] && [ -n "$keys" ]; then
    if slot=$(verified_slot "$1" "$1.sig"); then
      echo "$1.sig: verified with manifest signing key $slot"
    else
      status=1
    fi
  fi
  exit "$status"
fi

if [ "$mode" = sign ]; then
  manifest=$1 key=$2
  refuse() { echo "manifest_tool.sh: $1" >&2; exit 1; }
  [ -n "$keys" ] || refuse "the profile $profile names no manifest signing keys; a program built with it never fetches a signature"
  public=$(openssl pkey -in "$key" -pubout -outform DER 2>/dev/null | base64 -w0) && [ -n "$public" ] ||
    refuse "$key is not a private key openssl can read"
  slot=$(printf '%s\n' "$keys" | grep -nxF -- "$public" | cut -d: -f1) ||
    refuse "the public key of $key is not one of the profile's manifest signing keys; the program would refuse its signature"
  "$tool" check "$manifest" || refuse "$manifest not signed: it breaks the rules above"
  # Made beside the signature in place and checked there, so a failed signing never leaves a
  # bad one behind.
  pending=$manifest.sig.new
  trap 'rm -f "$pending"' EXIT
  openssl dgst -sha256 -sign "$key" -out "$pending" "$manifest" || refuse "openssl could not sign $manifest"
  [ "$(verified_slot "$manifest" "$pending")" = "$slot" ] || refuse "the signature made for $manifest does not verify"
  mv -f "$pending" "$manifest.sig"
  echo "signed: $manifest.sig with manifest signing key $slot"
  exit 0
fi

read_package "$1"
exec "$tool" write "$version" "$2" "$digest" "$sizes" "$3" ${4+"$4"}
