#!/bin/sh
# Signs a vendor build's VelmoraSetup.exe with the vendor's code-signing certificate
# (Authenticode, SHA-256, with osslsigncode) and writes BUILD_DIR/signed/VelmoraSetup.exe; the
# unsigned program stays as it is. Refuses a build of the sandbox profile, or of any profile
# whose hosts are reserved test names, so the sandbox cannot ship by accident.
#
# Usage: sign.sh BUILD_DIR (--cert CERTS.pem --key KEY.pem | --pkcs12 FILE.p12)
#                [--password-file FILE] [--timestamp URL]
#   --cert, --key      the signing certificate (with its intermediates) and its private key
#   --pkcs12           certificate, chain and key in one PKCS#12 file instead
#   --password-file    a file holding the key's or the PKCS#12 file's password
#   --timestamp URL    an RFC 3161 time-stamp server, so the signature outlives the certificate
set -eu
usage() { sed -n '7,12s/^# \{0,1\}//p' "$0" >&2; exit 2; }
[ $# -ge 1 ] || usage
build=$1
shift
cert="" key="" pkcs12="" passfile="" timestamp=""
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --cert) cert=$2 ;;
    --key) key=$2 ;;
    --pkcs12) pkcs12=$2 ;;
    --password-file) passfile=$2 ;;
    --timestamp) timestamp=$2 ;;
    *) usage ;;
  esac
  shift 2
done
if [ -n "$pkcs12" ]; then
  [ -z "$cert$key" ] || usage
  set -- -pkcs12 "$pkcs12"
else
  [ -n "$cert" ] && [ -n "$key" ] || usage
  set -- -certs "$cert" -key "$key"
fi
[ -z "$passfile" ] || set -- "$@" -readpass "$passfile"
[ -z "$timestamp" ] || set -- "$@" -ts "$timestamp"

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
  echo "sign.sh: refusing to sign: the profile $profile is not one that may ship" >&2
  exit 1
fi
cmake --build "$build" --target VelmoraSetup >/dev/null

mkdir -p "$build/signed"
out="$build/signed/VelmoraSetup.exe"
rm -f "$out"
osslsigncode sign "$@" -h sha256 -n "Velmora Setup" -in "$build/VelmoraSetup.exe" -out "$out"
echo "signed: $out"
