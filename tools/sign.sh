#!/bin/bash
# Signs a vendor build's VelmoraSetup.exe, and the MSI packages named, with the vendor's
# code-signing certificate (Authenticode, SHA-256, with osslsigncode), into BUILD_DIR/signed/;
# the unsigned files stay as they are. Signs only the program that this build linked, as the
# SHA-256 the build recorded beside it shows, so nothing copied over it is ever signed. Refuses
# a build of the sandbox profile, or of any profile whose hosts are reserved test names, so the
# sandbox cannot ship by accident.
#
# Usage: sign.sh BUILD_DIR (--cert CERTS.pem --key KEY.pem | --pkcs12 FILE.p12)
#                [--password-file FILE] [--timestamp URL] [--package PACKAGE.msi ...]
#   --cert, --key      the signing certificate (with its intermediates) and its private key
#   --pkcs12           certificate, chain and key in one PKCS#12 file instead
#   --password-file    a file holding the key's or the PKCS#12 file's password
#   --timestamp URL    an RFC 3161 time-stamp server, so the signature outlives the certificate
#   --package FILE     an MSI package to sign as well, into BUILD_DIR/signed/ under its own
#                      name; may be given more than once
set -euo pipefail
usage() { sed -n '9,17s/^# \{0,1\}//p' "$0" >&2; exit 2; }
[ $# -ge 1 ] || usage
build=$1
shift
cert="" key="" pkcs12="" passfile="" timestamp=""
packages=()
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --cert) cert=$2 ;;
    --key) key=$2 ;;
    --pkcs12) pkcs12=$2 ;;
    --password-file) passfile=$2 ;;
    --timestamp) timestamp=$2 ;;
    --package) packages+=("$2") ;;
    *) usage ;;
  esac
  shift 2
done
if [ -n "$pkcs12" ]; then
  [ -z "$cert$key" ] || usage
  signer=(-pkcs12 "$pkcs12")
else
  [ -n "$cert" ] && [ -n "$key" ] || usage
  signer=(-certs "$cert" -key "$key")
fi
[ -z "$passfile" ] || signer+=(-readpass "$passfile")
[ -z "$timestamp" ] || signer+=(-ts "$timestamp")

refuse() { echo "sign.sh: refusing to sign: $1" >&2; exit 1; }
cache="$build/CMakeCache.txt"
if [ ! -f "$cache" ]; then
  echo "sign.sh: $build is not a configured build folder" >&2
  exit 1
fi
profile=$(sed -n 's/^VELMORA_PROFILE:[A-Z]*=//p' "$cache")
if [ "$profile" = sandbox ]; then
  echo "sign.sh: refusing to sign a build of the sandbox profile; build with your own profile" >&2
  exit 1
fi
# The check is the compiler's: this target compiles only for a profile that may ship, and
# says which hosts are at fault when it does not.
if ! cmake --build "$build" --target velmora_release_check >"$build/release_check.log" 2>&1; then
  grep -h 'static assertion failed' "$build/release_check.log" >&2 || cat "$build/release_check.log" >&2
  refuse "the profile $profile is not one that may ship"
fi
for package in "${packages[@]}"; do
  [ -f "$package" ] || refuse "$package is not a file"
  # Every MSI package is a compound file: D0 CF 11 E0 A1 B1 1A E1 at offset 0.
  [ "$(head -c 8 "$package" | od -An -tx1 | tr -d ' \n')" = d0cf11e0a1b11ae1 ] ||
    refuse "$package is not an MSI package"
done
cmake --build "$build" --target VelmoraSetup >/dev/null

program="$build/VelmoraSetup.exe"
record="$program.sha256"
[ -f "$record" ] || refuse "$build records no digest of the program it built; rebuild it with cmake --build $build"
recorded=$(cut -d ' ' -f 1 "$record")
actual=$(sha256sum "$program" | cut -d ' ' -f 1)
[ "$actual" = "$recorded" ] ||
  refuse "$program is not the program this build produced (SHA-256 $actual, the build recorded $recorded); delete it and rebuild with cmake --build $build"

mkdir -p "$build/signed"
sign() {  # INPUT OUTPUT DESCRIPTION
  rm -f "$2"
  osslsigncode sign "${signer[@]}" -h sha256 -n "$3" -in "$1" -out "$2"
  echo "signed: $2"
}
sign "$program" "$build/signed/VelmoraSetup.exe" "Velmora Setup"
for package in "${packages[@]}"; do
  sign "$package" "$build/signed/$(basename "$package")" "Velmora"
done
