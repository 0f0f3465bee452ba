#!/bin/bash
# The release engineer's kit, followed as the README gives it, with the example vendor
# profile: program-only builds at an unoptimised and the default (optimised) build type hold
# none of the profile's texts in plain view; two default builds in different folders give the
# same bytes; the image carries its version resource and security flags; the signing step signs
# the program and a package with a code-signing PKI made here, the signatures verify against
# that root and break when one byte changes, and the step refuses a program the build did not
# link, a package that is no MSI, the sandbox and any profile with test hosts; a copy of the
# sandbox profile does not build; the manifest tool, run on the vendor build, writes a manifest
# with the vendor's key names, checks it against the package (and asks for the signature the
# profile's manifest signing keys require) and builds itself natively in a folder of its own.
# The two compared builds run without the compiler cache, so each compiles for itself.
# Usage: release_kit_test.sh BUILD_ROOT SANDBOX_WIN_BUILD
# Prints the time and size of each build, then "N passed, N failed".
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(cd "$1" && pwd)/release
sandbox_build=$2
profile=$root/tests/profiles/example_vendor.h
toolchain=$root/cmake/mingw-w64-x86_64.cmake
rm -rf "$work"
mkdir -p "$work"
passed=0 failed=0
check() {
  if eval "$2"; then echo "ok    $1"; passed=$((passed + 1)); else echo "FAIL  $1"; failed=$((failed + 1)); fi
}

# Configures and builds like the README's vendor command; extra arguments go to cmake.
vendor_build() {  # NAME [CMAKE ARGS...]
  local name=$1 dir="$work/$1" started ended
  shift
  started=$(date +%s.%N)
  if cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVELMORA_PROFILE="$profile" \
       "$@" >"$work/$name.log" 2>&1 && cmake --build "$dir" -j 2 >>"$work/$name.log" 2>&1; then
    ended=$(date +%s.%N)
    awk -v n="$name" -v a="$started" -v b="$ended" -v s="$(stat -c %s "$dir/VelmoraSetup.exe")" \
      'BEGIN { printf "build %-8s %6.1f s, VelmoraSetup.exe %d bytes\n", n, b - a, s }'
  else
    echo "build $name failed:"; tail -30 "$work/$name.log"
  fi
}

# The profile's texts that must stay hidden, read from its source: each one's bytes, as
# written and as UTF-16, must be absent from the program; the plain pin must be present, or
# the search proves nothing.
plain_text_check() {  # EXE
  /usr/bin/python3 - "$1" "$profile" <<'PY'
import re, sys
image = open(sys.argv[1], 'rb').read()
source = open(sys.argv[2]).read()
hosts = re.search(r'\.downloadHosts\s*=\s*\{([^}]*)\}', source).group(1)
secrets = re.findall(r'"([^"]*)"', hosts)
for field in ('manifestUrl', 'versionKey', 'packageUrlKey', 'packageSha256Key',
              'builtInPackageUrl', 'messageHost'):
    secrets.append(re.search(r'\.' + field + r'\s*=\s*"([^"]*)"', source).group(1))
# The manifest signing keys, each written as two literals; all but the prefix every P-256 key
# shares (the first 36 characters).
keys = re.search(r'\.manifestSigningKeys\s*=\s*\{([^}]*)\}', source).group(1)
literals = re.findall(r'"([^"]*)"', keys)
secrets += [first[36:] + second for first, second in zip(literals[0::2], literals[1::2])]
# The package publisher's keys, as the profile writes them and in the lower case the program
# compares them in.
keys = re.search(r'\.packagePublisherKeys\s*=\s*\{([^}]*)\}', source).group(1)
secrets += [form for key in re.findall(r'"([^"]*)"', keys) for form in (key, key.lower())]
pin = re.search(r'\.serverKeyPin\s*=\s*"([^"]*)"', source).group(1)
found = [s for s in secrets if s.encode() in image or s.encode('utf-16-le') in image]
ok = len(secrets) == 15 and not found and pin.encode() in image
print('plain texts found: %s' % found if found else 'none of %d texts in plain view' % len(secrets))
sys.exit(0 if ok else 1)
PY
}

only_the_program() {  # DIR: the build made VelmoraSetup.exe and no other program or package
  # (CMake's own compiler probes under CMakeFiles aside)
  [ "$(cd "$1" && find . -path ./CMakeFiles -prune -o \( -name '*.exe' -o -name '*.msi' \) -print |
       tr '\n' ' ')" = "./VelmoraSetup.exe " ] &&
    [ ! -d "$1/googletest" ] && [ ! -d "$1/tests" ]
}

echo "== program-only builds of the example vendor profile"
vendor_build unopt -DCMAKE_BUILD_TYPE=Debug
CCACHE_DISABLE=1 vendor_build first
CCACHE_DISABLE=1 vendor_build second
check "no build type given: the build is Release" \
  'grep -q "^CMAKE_BUILD_TYPE:STRING=Release$" "$work/first/CMakeCache.txt"'
check "unoptimised (Debug) build: only VelmoraSetup.exe, no tests, GoogleTest or packages" \
  'only_the_program "$work/unopt" && grep -q "^CMAKE_BUILD_TYPE:STRING=Debug$" "$work/unopt/CMakeCache.txt"'
check "Release build: only VelmoraSetup.exe, no tests, GoogleTest or packages" 'only_the_program "$work/first"'
check "unoptimised build: no profile text in plain view" 'plain_text_check "$work/unopt/VelmoraSetup.exe"'
check "Release build: no profile text in plain view" 'plain_text_check "$work/first/VelmoraSetup.exe"'
check "two Release builds in different folders are byte-identical" \
  'cmp "$work/first/VelmoraSetup.exe" "$work/second/VelmoraSetup.exe"'

echo "== the vendor build's image"
bash "$root/tests/checks/program_image_test.sh" "$work/first/VelmoraSetup.exe" "$profile" \
  "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/first/CMakeCache.txt")" > "$work/image.txt"
cat "$work/image.txt"
check "the vendor build passes the program image checks" 'tail -1 "$work/image.txt" | grep -q ", 0 failed$"'

echo "== signing"
pki="$work/pki"
mkdir -p "$pki"
openssl req -x509 -newkey rsa:3072 -nodes -keyout "$pki/root.key" -out "$pki/root.pem" -days 2 \
  -subj "/CN=Example Vendor Test Code Signing Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:3072 -nodes -keyout "$pki/signing.key" -out "$pki/signing.csr" \
  -subj "/CN=Example Vendor Ltd/O=Example Vendor Ltd" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
  > "$pki/signing.ext"
openssl x509 -req -in "$pki/signing.csr" -CA "$pki/root.pem" -CAkey "$pki/root.key" -set_serial 2 \
  -days 2 -extfile "$pki/signing.ext" -out "$pki/signing.pem" 2>/dev/null
signed="$work/first/signed/VelmoraSetup.exe"
sample_package="$sandbox_build/packages/Velmora-Setup-1.1.8-x64.msi"
signed_package="$work/first/signed/Velmora-Setup-1.1.8-x64.msi"
check "the signing step signs the vendor build and the package named" \
  '"$root/tools/sign.sh" "$work/first" --cert "$pki/signing.pem" --key "$pki/signing.key" \
     --package "$sample_package" >"$work/sign.txt" 2>&1 && [ -s "$signed" ] && [ -s "$signed_package" ]'
check "the signed package verifies against the test root, and the unsigned one is left as it was" \
  'osslsigncode verify -CAfile "$pki/root.pem" -in "$signed_package" >"$work/verify-package.txt" 2>&1 &&
   ! cmp -s "$signed_package" "$sample_package" &&
   ! osslsigncode verify -CAfile "$pki/root.pem" -in "$sample_package" >/dev/null 2>&1'
osslsigncode verify -CAfile "$pki/root.pem" -in "$signed" >"$work/verify.txt" 2>&1
verify_status=$?
check "osslsigncode verify passes against the test root" '[ "$verify_status" = 0 ]'
check "the signature's digest is SHA-256" 'grep -q "digest algorithm *: SHA256" "$work/verify.txt"'
check "signing left the unsigned program unchanged" \
  'cmp -s "$work/first/VelmoraSetup.exe" "$work/second/VelmoraSetup.exe"'
echo "signed VelmoraSetup.exe: $(stat -c %s "$signed" 2>/dev/null) bytes (unsigned $(stat -c %s "$work/first/VelmoraSetup.exe"))"
cp "$signed" "$work/tampered.exe"
offset=$(( $(stat -c %s "$work/tampered.exe") / 2 ))
byte=$(od -An -tu1 -j "$offset" -N1 "$work/tampered.exe" | tr -d ' ')
printf "$(printf '\\%03o' $(( byte ^ 1 )))" | dd of="$work/tampered.exe" bs=1 seek="$offset" conv=notrunc 2>/dev/null
check "one changed byte in the middle of the signed program: verify fails" \
  '! cmp -s "$signed" "$work/tampered.exe" && ! osslsigncode verify -CAfile "$pki/root.pem" -in "$work/tampered.exe" >/dev/null 2>&1'

# A program the build did not link, copied over the one it did: the build records the digest
# of what it linked, and the copy is newer than every input, so nothing is rebuilt over it.
cp "$work/first/VelmoraSetup.exe" "$work/first-linked.exe"
cp "$sandbox_build/VelmoraSetup.exe" "$work/first/VelmoraSetup.exe"
rm -rf "$work/first/signed"
check "the signing step refuses a program copied into the build folder, and signs nothing" \
  '! "$root/tools/sign.sh" "$work/first" --cert "$pki/signing.pem" --key "$pki/signing.key" >"$work/refuse-copy.txt" 2>&1 &&
   grep -q "is not the program this build produced" "$work/refuse-copy.txt" && [ ! -e "$signed" ]'
cp "$work/first-linked.exe" "$work/first/VelmoraSetup.exe"
check "the signing step refuses a package that is no MSI" \
  '! "$root/tools/sign.sh" "$work/first" --cert "$pki/signing.pem" --key "$pki/signing.key" \
     --package "$work/first/VelmoraSetup.exe" >"$work/refuse-exe.txt" 2>&1 &&
   grep -q "is not an MSI package" "$work/refuse-exe.txt" && [ ! -e "$signed" ]'
check "the signing step signs the program again once it is the one the build linked" \
  '"$root/tools/sign.sh" "$work/first" --cert "$pki/signing.pem" --key "$pki/signing.key" >/dev/null 2>&1 &&
   osslsigncode verify -CAfile "$pki/root.pem" -in "$signed" >/dev/null 2>&1'

check "the signing step refuses a sandbox build" \
  '! "$root/tools/sign.sh" "$sandbox_build" --cert "$pki/signing.pem" --key "$pki/signing.key" >"$work/refuse-sandbox.txt" 2>&1 &&
   grep -q "sandbox" "$work/refuse-sandbox.txt" && [ ! -e "$sandbox_build/signed/VelmoraSetup.exe" ]'
sed 's/"archive.example.org"/"archive.velmora.test"/' "$profile" > "$work/test_hosts.h"
cmake -S "$root" -B "$work/test-hosts" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DVELMORA_PROFILE="$work/test_hosts.h" >"$work/test-hosts.log" 2>&1
check "the signing step refuses a profile with a host under .test, naming the field" \
  '! "$root/tools/sign.sh" "$work/test-hosts" --cert "$pki/signing.pem" --key "$pki/signing.key" >"$work/refuse-test.txt" 2>&1 &&
   grep -q "static assertion failed: downloadHosts" "$work/refuse-test.txt" && [ ! -e "$work/test-hosts/signed/VelmoraSetup.exe" ]'

echo "== a vendor profile copied from the sandbox's"
cp "$root/profiles/sandbox.h" "$work/sandbox_copy.h"
cmake -S "$root" -B "$work/sandbox-copy" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DVELMORA_PROFILE="$work/sandbox_copy.h" >"$work/sandbox-copy.log" 2>&1
cmake --build "$work/sandbox-copy" --target velmora_portable >>"$work/sandbox-copy.log" 2>&1
copy_status=$?
grep -h -m 1 'static assertion failed' "$work/sandbox-copy.log"
check "a copy of the sandbox profile does not build: its placeholder digest is refused, naming the field" \
  '[ "$copy_status" != 0 ] && grep -q "static assertion failed: builtInPackageSha256: is the sandbox'"'"'s placeholder" "$work/sandbox-copy.log"'

echo "== the manifest tool for the vendor build"
package="$sandbox_build/packages/Velmora-Setup-1.1.8-x64.msi"
started=$(date +%s.%N)
"$root/tools/manifest_tool.sh" "$work/first" write "$package" \
  https://cdn-eu.example.com/velmora/Velmora-Setup-1.1.8-x64.msi "$work/current.json" >"$work/manifest.txt" 2>&1
manifest_status=$?
awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "manifest tool, first run (builds the tool): %.1f s\n", b - a }'
cat "$work/manifest.txt"
check "the manifest tool writes and checks a manifest with the vendor profile's key names" \
  '[ "$manifest_status" = 0 ] && python3 -c "
import json, sys
sys.exit(0 if sorted(json.load(open(sys.argv[1]))) == [\"buildVersion\", \"exeSize\", \"msiDigest\", \"msiLocation\"] else 1)
" "$work/current.json"'
# The vendor profile names manifest signing keys, so an unsigned manifest is not yet publishable.
check "the manifest tool checks the written manifest against its package, and asks for its signature" \
  '! "$root/tools/manifest_tool.sh" "$work/first" check "$work/current.json" "$package" >"$work/check-package.txt" 2>&1 &&
   grep -q "describes Velmora-Setup-1.1.8-x64.msi" "$work/check-package.txt" &&
   grep -q "^$work/current.json.sig: missing" "$work/check-package.txt"'
tool_build=$work/first/manifest-tool
check "the tool builds natively in a folder of its own, without tests, GoogleTest or packages" \
  '[ -x "$tool_build/velmora_manifest_tool" ] && [ ! -d "$tool_build/tests" ] &&
   [ ! -d "$tool_build/googletest" ] && [ -z "$(find "$tool_build" -name "*.exe" -o -name "*.msi")" ]'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
