#!/bin/sh
# Regenerates the sandbox test PKI:
#   root            trusted in the sandbox namespace
#   intermediate    signed by root; its key is the one the sandbox profile pins
#   server          leaf for every good-chain host, signed by intermediate
#   other-root      a second, separately trusted root
#   mirror          leaf for mirror.velmora.test, signed by other-root: TLS succeeds, the pin fails
# New keys mean a new pin: after regenerating, copy the printed pin into the sandbox profile.
#
# usage: make_pki.sh [--force] [OUTDIR]      (OUTDIR defaults to the pki folder beside this script)
set -eu

force=no
if [ "${1:-}" = "--force" ]; then force=yes; shift; fi
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/pki}

if [ -e "$out/intermediate.pem" ] && [ "$force" != yes ]; then
  echo "make_pki.sh: $out already holds a PKI; pass --force to replace it (the pin changes)" >&2
  exit 2
fi
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A fixed window from 2000 on, so tests that fake the clock still see valid certificates.
start_date=20000101000000Z
end_date=20991231235959Z
good_hosts="downloads.velmora.test cdn.velmora.test archive.velmora.test legacy.velmora.test elsewhere.test"

new_key() {
  openssl genpkey -quiet -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1"
}

# openssl ca, because it is the only signer in OpenSSL 3.0 that takes a start date.
# $1 name, $2 subject CN, $3 issuer name ("self" for a root), $4 extension lines
make_cert() {
  name=$1
  new_key "$out/$name.key"
  : >"$work/index.txt"
  cat >"$work/ca.cnf" <<CNF
[ca]
default_ca = sign
[sign]
database = $work/index.txt
new_certs_dir = $work
rand_serial = yes
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
organizationName = supplied
commonName = supplied
[ext]
$4
CNF
  openssl req -new -key "$out/$name.key" -subj "/O=Velmora Sandbox/CN=$2" -out "$work/$name.csr"
  if [ "$3" = self ]; then
    set -- -selfsign -keyfile "$out/$name.key"
  else
    set -- -cert "$out/$3.pem" -keyfile "$out/$3.key"
  fi
  openssl ca -batch -notext -config "$work/ca.cnf" -extensions ext "$@" \
    -startdate $start_date -enddate $end_date \
    -in "$work/$name.csr" -out "$out/$name.pem" 2>"$work/ca.err" ||
    { cat "$work/ca.err" >&2; exit 1; }
}

ca_ext() {
  cat <<EXT
basicConstraints = critical, CA:TRUE$1
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
EXT
}

leaf_ext() {
  cat <<EXT
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = $1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EXT
}

san=""
for h in $good_hosts; do san="${san:+$san, }DNS:$h"; done

make_cert root "Velmora Sandbox Root CA" self "$(ca_ext "")"
make_cert intermediate "Velmora Sandbox Issuing CA" root "$(ca_ext ", pathlen:0")
authorityKeyIdentifier = keyid"
make_cert server "downloads.velmora.test" intermediate "$(leaf_ext "$san")"

make_cert other-root "Velmora Sandbox Other Root CA" self "$(ca_ext "")"
make_cert mirror "mirror.velmora.test" other-root "$(leaf_ext "DNS:mirror.velmora.test")"

# What the servers send, and what the namespace trusts.
cat "$out/server.pem" "$out/intermediate.pem" >"$out/server-chain.pem"
cat "$out/root.pem" "$out/other-root.pem" >"$out/trusted-roots.pem"

openssl verify -CAfile "$out/root.pem" -untrusted "$out/intermediate.pem" "$out/server.pem" >/dev/null
openssl verify -CAfile "$out/other-root.pem" "$out/mirror.pem" >/dev/null

pin=$("$here/../pin_tool.sh" "$out/intermediate.pem")
echo "$pin" >"$out/intermediate.pin"
echo "intermediate SPKI SHA-256 pin: $pin"
