#!/bin/sh
# Prints the SPKI SHA-256 pin of each certificate in a PEM file, one line per certificate in
# file order: 64 lower-case hex digits, the SHA-256 of the DER SubjectPublicKeyInfo.
# With -v the certificate's subject follows the pin, so a chain file can be read at a glance.
# The pin goes into a vendor profile's ServerKeyPin; pin a key of your chain (e.g. the issuing CA).
#
# usage: pin_tool.sh [-v] CERT.pem
set -eu

verbose=no
if [ "${1:-}" = "-v" ]; then verbose=yes; shift; fi
if [ $# -ne 1 ]; then
  echo "usage: pin_tool.sh [-v] CERT.pem" >&2
  exit 2
fi
file=$1
if [ ! -r "$file" ]; then
  echo "pin_tool.sh: cannot read $file" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One file per certificate block.
awk -v dir="$work" '
  /-----BEGIN CERTIFICATE-----/ { n++; name = sprintf("%s/cert%04d.pem", dir, n); inside = 1 }
  inside { print > name }
  /-----END CERTIFICATE-----/ { inside = 0; close(name) }
' "$file"

found=no
for cert in "$work"/cert*.pem; do
  [ -e "$cert" ] || break
  found=yes
  # Through files, not a pipe: a failing openssl must not turn into the hash of empty input.
  if ! openssl x509 -in "$cert" -pubkey -noout >"$work/pub.pem" 2>"$work/err" ||
     ! openssl pkey -pubin -in "$work/pub.pem" -outform der -out "$work/spki.der" 2>>"$work/err"; then
    echo "pin_tool.sh: could not read a public key from a certificate in $file:" >&2
    cat "$work/err" >&2
    exit 1
  fi
  pin=$(sha256sum "$work/spki.der" | cut -d' ' -f1)
  if [ "$verbose" = yes ]; then
    echo "$pin  $(openssl x509 -in "$cert" -noout -subject -nameopt oneline)"
  else
    echo "$pin"
  fi
done
if [ "$found" = no ]; then
  echo "pin_tool.sh: no PEM certificate in $file" >&2
  exit 1
fi
