#!/bin/sh
# Regenerates the sandbox test PKI:
#   root            trusted in the sandbox namespace
#   intermediate    signed by root; its key is the one the sandbox profile pins
#   server          leaf for every good-chain host, signed by intermediate
#   other-root      a second, separately trusted root
#   mirror          leaf for mirror.velmora.test, signed by other-root: TLS succeeds, the pin fails
#   untrusted-root  a root the namespace does not trust
#   intermediate-cross  the intermediate's own key and name, signed by untrusted-root
#   wrong-name      leaf for wrong-name.velmora.test only, signed by intermediate
#   inspection-ca   signed by other-root: a TLS-inspecting proxy's CA that the machine trusts
#   interceptor     leaf for every good-chain host, signed by inspection-ca
#   publisher       code-signing leaf of the sample packages' publisher, signed by root
#   other-publisher code-signing leaf of someone else, signed by other-root (trusted too)
# and the chains the server can switch a host to (sandbox_server.py, _tls.json):
#   cross-signed-chain   server + intermediate-cross: carries the pinned key, cannot be validated
#   wrong-name-chain     wrong-name + intermediate: carries the pinned key, names another host
#   pinned-extra-chain   mirror + intermediate: the pinned certificate rides along unused
#   interceptor-chain    interceptor + inspection-ca: validates, without the pinned key
# and the manifest signing keys (ECDSA P-256), which never go near a server:
#   manifest-key-1  the first slot of the signed-manifest test profile
#   manifest-key-2  its second slot, the key a rotation moves to
#   manifest-key-other  a key the profile does not name: what a compromised host would sign with
# each beside its public half as the profile writes it (manifest-key-N.pub: base64 of the
# SubjectPublicKeyInfo on one line).
# Without --force an existing PKI is only completed: what is missing is made with the keys
# already there, so the pin stays. --force makes every key anew, which means a new pin: copy
# the printed pin into the sandbox profile.
#
# usage: make_pki.sh [--force] [OUTDIR]      (OUTDIR defaults to the pki folder beside this script)
set -eu

force=no
if [ "${1:-}" = "--force" ]; then force=yes; shift; fi
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/pki}

mkdir -p "$out"
if [ "$force" = yes ]; then rm -f "$out"/*.pem "$out"/*.key "$out"/*.pin "$out"/*.pub; fi
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
# $1 name, $2 subject CN, $3 issuer name ("self" for a root), $4 extension lines,
# $5 key name (default: $1). A certificate already there is kept; so is a key.
make_cert() {
  name=$1
  key=${5:-$1}
  [ -e "$out/$name.pem" ] && return 0
  [ -e "$out/$key.key" ] || new_key "$out/$key.key"
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
  openssl req -new -key "$out/$key.key" -subj "/O=Velmora Sandbox/CN=$2" -out "$work/$name.csr"
  if [ "$3" = self ]; then
    set -- -selfsign -keyfile "$out/$key.key"
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

code_signing_ext() {
  cat <<EXT
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
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

make_cert untrusted-root "Velmora Sandbox Untrusted Root CA" self "$(ca_ext "")"
make_cert intermediate-cross "Velmora Sandbox Issuing CA" untrusted-root "$(ca_ext ", pathlen:0")
authorityKeyIdentifier = keyid" intermediate
make_cert wrong-name "wrong-name.velmora.test" intermediate "$(leaf_ext "DNS:wrong-name.velmora.test")"
make_cert inspection-ca "Velmora Sandbox Inspection CA" other-root "$(ca_ext ", pathlen:0")
authorityKeyIdentifier = keyid"
make_cert interceptor "downloads.velmora.test" inspection-ca "$(leaf_ext "$san")"
make_cert publisher "Velmora Sandbox Publisher" root "$(code_signing_ext)"
make_cert other-publisher "Velmora Sandbox Other Publisher" other-root "$(code_signing_ext)"


for name in manifest-key-1 manifest-key-2 manifest-key-other; do
  [ -e "$out/$name.key" ] ||
    openssl genpkey -quiet -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$out/$name.key"
  openssl pkey -in "$out/$name.key" -pubout -outform der | base64 -w0 >"$out/$name.pub"
  echo >>"$out/$name.pub"
done

# What the servers send, and what the namespace trusts.
cat "$out/server.pem" "$out/intermediate.pem" >"$out/server-chain.pem"
cat "$out/server.pem" "$out/intermediate-cross.pem" >"$out/cross-signed-chain.pem"
cat "$out/wrong-name.pem" "$out/intermediate.pem" >"$out/wrong-name-chain.pem"
cat "$out/mirror.pem" "$out/intermediate.pem" >"$out/pinned-extra-chain.pem"
cat "$out/interceptor.pem" "$out/inspection-ca.pem" >"$out/interceptor-chain.pem"
cat "$out/root.pem" "$out/other-root.pem" >"$out/trusted-roots.pem"

openssl verify -CAfile "$out/root.pem" -untrusted "$out/intermediate.pem" "$out/server.pem" >/dev/null
openssl verify -CAfile "$out/other-root.pem" "$out/mirror.pem" >/dev/null
openssl verify -CAfile "$out/untrusted-root.pem" -untrusted "$out/intermediate-cross.pem" "$out/server.pem" >/dev/null
openssl verify -CAfile "$out/root.pem" -untrusted "$out/intermediate.pem" "$out/wrong-name.pem" >/dev/null
openssl verify -CAfile "$out/other-root.pem" -untrusted "$out/inspection-ca.pem" "$out/interceptor.pem" >/dev/null

openssl verify -CAfile "$out/root.pem" -purpose any "$out/publisher.pem" >/dev/null
openssl verify -CAfile "$out/other-root.pem" -purpose any "$out/other-publisher.pem" >/dev/null

for name in intermediate publisher other-publisher; do
  pin=$("$here/../pin_tool.sh" "$out/$name.pem")
  echo "$pin" >"$out/$name.pin"
  echo "$name SPKI SHA-256 pin: $pin"
done
