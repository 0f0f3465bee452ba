#!/bin/bash
# The manifest tool (tools/manifest_tool.sh) with the profile of a built tree and the sample
# packages that tree made. Round trip, for each package: writing succeeds and runs its own
# check, a separate check passes, and an independent JSON reader finds exactly the profile's
# key names, the version in the package's name, the SHA-256 the build recorded and, as exeSize,
# the size of the Velmora.exe that msiextract unpacks from the package. A manifest checked
# against a package: each value that does not describe it (an exeSize off by one, another
# package's digest, another version) is refused with its own report. Then a table of bad
# manifests: each fails the check with exactly the reports expected of it; and a write whose
# manifest would break a rule leaves the manifest in place untouched. Then signed manifests, with
# a vendor profile that names the test PKI's two manifest signing keys: a round trip (write with
# an expiry, sign, check naming the key's slot, the signature verified by openssl on its own),
# a table of signed manifests the check passes or refuses (the second slot, a byte changed after
# signing, another key, no or a cut signature, a past or unreadable expiry), and signing or
# writing that is refused without touching the signature in place.
# Usage: manifest_tool_test.sh BUILD_DIR (a build with the sample packages)
# Prints "N passed, N failed".
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
tool=$root/tools/manifest_tool.sh
work=$build/manifest-test
rm -rf "$work"
mkdir -p "$work"
passed=0 failed=0
check() {
  if eval "$2"; then echo "ok    $1"; passed=$((passed + 1)); else echo "FAIL  $1"; failed=$((failed + 1)); fi
}

# The key names and a download host, read from the build's profile source.
profile=$(sed -n 's/^VELMORA_PROFILE:[A-Z]*=//p' "$build/CMakeCache.txt")
case $profile in
  */*) profile_file=$(cd "$root" && realpath -m "$profile") ;;
  *) profile_file=$root/profiles/$profile.h ;;
esac
field() { sed -n "s/.*\\.$1 = \"\\([^\"]*\\)\".*/\\1/p" "$profile_file"; }
version_key=$(field versionKey)
url_key=$(field packageUrlKey)
digest_key=$(field packageSha256Key)
host=$(field manifestUrl | sed 's|^https://\([^/:]*\).*|\1|')
echo "profile $profile: keys $version_key, $url_key, $digest_key; host $host"

echo "== round trip with the sample packages"
for package in "$build"/packages/Velmora-Setup-*-x64.msi; do
  name=$(basename "$package" .msi)
  version=${name#Velmora-Setup-}
  version=${version%-x64}
  url="https://$host/downloads/$name.msi"
  manifest=$work/$name.json
  "$tool" "$build" write "$package" "$url" "$manifest" >"$work/$name.write.txt" 2>&1
  write_status=$?
  "$tool" "$build" check "$manifest" >"$work/$name.check.txt" 2>&1
  check_status=$?
  digest=$(sed -n "s/^$name\\.msi size=[0-9]* sha256=//p" "$build/packages/packages.txt")
  mkdir -p "$work/$name"
  msiextract -C "$work/$name" "$package" >/dev/null
  exe=$(find "$work/$name" -iname Velmora.exe)
  size=$(stat -c %s "$exe")
  check "$name: write succeeds, having checked what it wrote" \
    '[ "$write_status" = 0 ] && grep -q "$name.json: follows the publishing rules" "$work/$name.write.txt"'
  check "$name: the written manifest passes the check; the program reads exeSize $size" \
    '[ "$check_status" = 0 ] && grep -q "exeSize $size\$" "$work/$name.check.txt"'
  check "$name: exactly the profile's keys, version $version, the recorded SHA-256, exeSize = Velmora.exe unpacked ($size bytes)" \
    'python3 -c "
import json, sys
m = json.load(open(sys.argv[1]))
expected = {sys.argv[2]: sys.argv[5], sys.argv[3]: sys.argv[6], sys.argv[4]: sys.argv[7], \"exeSize\": int(sys.argv[8])}
sys.exit(0 if m == expected and type(m[\"exeSize\"]) is int and len(sys.argv[7]) == 64 else 1)
" "$manifest" "$version_key" "$url_key" "$digest_key" "$version" "$url" "$digest" "$size"'
done

echo "== a manifest checked against its package"
written=$work/Velmora-Setup-1.1.8-x64.json
against() {  # NAME STATUS EXPECTED_REPORT_LINES EXPECTED_TEXT PACKAGE_VERSION PYTHON_EDIT
  local name=$1 want_status=$2 want_lines=$3 want_text=$4 file=$work/against-$5-$RANDOM.json status lines
  python3 -c "
import json, sys
m = json.load(open(sys.argv[1]))
$6
open(sys.argv[2], 'w').write(json.dumps(m, indent=2) + '\n')
" "$written" "$file" "$digest_key" "$version_key"
  "$tool" "$build" check "$file" "$build/packages/Velmora-Setup-$5-x64.msi" >"$file.out" 2>"$file.err"
  status=$?
  lines=$(grep -c "^$file: " "$file.err")
  check "$name" '[ "$status" = "$want_status" ] && [ "$lines" = "$want_lines" ] && grep -qF -- "$want_text" "$file.out" "$file.err"'
  sed 's/^/        /' "$file.err"
}
against "the written manifest describes its own package" 0 0 "describes Velmora-Setup-1.1.8-x64.msi" 1.1.8 'pass'
against "exeSize one byte too large: refused, naming the size in the package" 1 1 \
  "is not the size of Velmora.exe in Velmora-Setup-1.1.8-x64.msi" 1.1.8 'm["exeSize"] += 1'
against "exeSize 0 (the check off) describes any package" 0 0 "exeSize 0" 1.1.8 'm["exeSize"] = 0'
digest_117=$(sed -n "s/^Velmora-Setup-1\.1\.7-x64\.msi size=[0-9]* sha256=//p" "$build/packages/packages.txt")
against "the SHA-256 of another package: refused" 1 1 "is not the SHA-256 of Velmora-Setup-1.1.8-x64.msi" 1.1.8 \
  "m[sys.argv[3]] = '$digest_117'"
against "the manifest of 1.1.8 checked against the 1.1.7 package: version, SHA-256 and exeSize refused" 1 3 \
  '"1.1.8" is not the version of Velmora-Setup-1.1.7-x64.msi, "1.1.7"' 1.1.7 'pass'
against "version 1.1.8.0 reads as 1.1.8: passes" 0 0 "describes" 1.1.8 'm[sys.argv[4]] = "1.1.8.0"'

echo "== bad manifests"
good_package=$build/packages/Velmora-Setup-1.1.8-x64.msi
good_url="https://$host/downloads/Velmora-Setup-1.1.8-x64.msi"
good_digest=$(sha256sum "$good_package")
good_digest=${good_digest%% *}
checker=$build/manifest-tool/velmora_manifest_tool
cases=0
# NAME REPORT_LINES EXPECTED_REPORT TEXT: TEXT names the keys @V@, @U@, @D@ and stands @URL@ and
# @SHA@ for good values; the check must fail (or pass, for 0 lines) with exactly REPORT_LINES
# reports, one of them containing EXPECTED_REPORT.
named() {  # TEXT: the placeholders filled in
  local text=$1
  text=${text//@V@/$version_key}
  text=${text//@U@/$url_key}
  text=${text//@D@/$digest_key}
  text=${text//@URL@/$good_url}
  printf '%s' "${text//@SHA@/$good_digest}"
}
bad() {
  local name=$1 want_lines=$2 want_report file status lines
  want_report=$(named "$3")
  cases=$((cases + 1))
  file=$work/bad-$cases.json
  named "$4" >"$file"
  "$checker" check "$file" >"$file.out" 2>"$file.err"
  status=$?
  lines=$(grep -c "^$file: " "$file.err")
  if [ "$want_lines" = 0 ]; then
    check "passes: $name" '[ "$status" = 0 ] && [ "$lines" = 0 ] && grep -q "follows the publishing rules" "$file.out"'
  else
    check "$name: fails with $want_lines report(s), $want_report" \
      '[ "$status" = 1 ] && [ "$lines" = "$want_lines" ] && grep -qF -- "$want_report" "$file.err"'
  fi
  sed 's/^/        /' "$file.err"
}
members='"@V@": "1.1.8", "@U@": "@URL@", "@D@": "@SHA@"'

bad 'other keys, any order, exeSize 0' 0 '' "{\"notes\": \"x\", \"exeSize\": 0, $members}"
bad 'an unreadable "expires", passed over without manifest signing keys' 0 '' \
  "{$members, \"exeSize\": 1, \"expires\": \"next week\"}"
bad 'exeSize quoted' 1 '"exeSize" must be a plain non-negative integer' "{$members, \"exeSize\": \"233472\"}"
bad 'exeSize negative' 1 '"exeSize" must be a plain non-negative integer' "{$members, \"exeSize\": -5}"
bad 'exeSize with a plus sign' 2 '"exeSize" must be a plain non-negative integer' "{$members, \"exeSize\": +5}"
bad 'exeSize with a fraction' 1 '"exeSize" must be a plain non-negative integer' "{$members, \"exeSize\": 12.9}"
bad 'exeSize with an exponent' 1 '"exeSize" must be a plain non-negative integer' "{$members, \"exeSize\": 1e3}"
bad 'exeSize beyond 64 bits' 1 '"exeSize" must be a plain non-negative integer' "{$members, \"exeSize\": 18446744073709551616}"
bad 'exeSize missing' 1 '"exeSize" is missing' "{$members}"
bad 'an old release object listed first' 1 '"@V@" occurs 2 times' \
  "{\"previous\": {\"@V@\": \"1.0.0\"}, $members, \"exeSize\": 1}"
bad 'a key name used earlier as a string value' 3 '"@U@" occurs 2 times' \
  "{\"notes\": \"@U@\", $members, \"exeSize\": 1}"
bad 'every key nested one level down' 4 '"exeSize" is not a key of the top-level object' \
  "{\"release\": {$members, \"exeSize\": 1}}"
bad 'the version not a dotted version' 1 'is not a dotted version' \
  '{"@V@": "latest", "@U@": "@URL@", "@D@": "@SHA@", "exeSize": 1}'
bad 'the version as a number' 2 '"@V@" must be a string without escape sequences' \
  '{"@V@": 1.1, "@U@": "@URL@", "@D@": "@SHA@", "exeSize": 1}'
bad 'the package host not on the profile'"'"'s list' 1 "is not one of the profile's download hosts" \
  '{"@V@": "1.1.8", "@U@": "https://downloads.elsewhere.example/Velmora-Setup-1.1.8-x64.msi", "@D@": "@SHA@", "exeSize": 1}'
bad 'the package URL over http' 1 'must begin with "https://" in lower case' \
  "{\"@V@\": \"1.1.8\", \"@U@\": \"http://$host/Velmora-Setup-1.1.8-x64.msi\", \"@D@\": \"@SHA@\", \"exeSize\": 1}"
bad 'the package URL on port 8443' 1 'breaks the download URL rules' \
  "{\"@V@\": \"1.1.8\", \"@U@\": \"https://$host:8443/Velmora-Setup-1.1.8-x64.msi\", \"@D@\": \"@SHA@\", \"exeSize\": 1}"
bad 'the package URL not an .msi' 1 'must end in ".msi"' \
  "{\"@V@\": \"1.1.8\", \"@U@\": \"https://$host/Velmora-Setup-1.1.8-x64.exe\", \"@D@\": \"@SHA@\", \"exeSize\": 1}"
bad 'the package URL with an escape sequence' 1 '"@U@" must be a string without escape sequences' \
  "{\"@V@\": \"1.1.8\", \"@U@\": \"https:\\/\\/$host/Velmora-Setup-1.1.8-x64.msi\", \"@D@\": \"@SHA@\", \"exeSize\": 1}"
bad 'the digest with a sha256: prefix' 1 'must be the SHA-256 as 64 lower-case hexadecimal digits' \
  '{"@V@": "1.1.8", "@U@": "@URL@", "@D@": "sha256:@SHA@", "exeSize": 1}'
bad 'the digest in upper case' 1 'must be the SHA-256 as 64 lower-case hexadecimal digits' \
  "{\"@V@\": \"1.1.8\", \"@U@\": \"@URL@\", \"@D@\": \"${good_digest^^}\", \"exeSize\": 1}"
bad 'the digest with 63 digits' 1 'must be the SHA-256 as 64 lower-case hexadecimal digits' \
  "{\"@V@\": \"1.1.8\", \"@U@\": \"@URL@\", \"@D@\": \"${good_digest:1}\", \"exeSize\": 1}"
bad 'a trailing comma' 1 'not well-formed JSON: expected a key in double quotes at line 1' \
  "{$members, \"exeSize\": 1,}"
bad 'an empty document' 5 '"@D@" is missing' ''
bad 'over 65,536 bytes' 1 'bytes; the program reads at most 65536' \
  "{\"notes\": \"$(head -c 70000 /dev/zero | tr '\0' a)\", $members, \"exeSize\": 1}"

echo "== a write that would break a rule"
kept=$work/kept.json
cp "$work/Velmora-Setup-1.1.8-x64.json" "$kept"
"$tool" "$build" write "$good_package" "https://downloads.elsewhere.example/Velmora-Setup-1.1.8-x64.msi" \
  "$kept" >"$work/refused.txt" 2>&1
refused_status=$?
sed 's/^/        /' "$work/refused.txt"
check "writing with a host not on the list fails, says why and leaves the manifest in place" \
  '[ "$refused_status" = 1 ] && grep -q "is not one of the profile'"'"'s download hosts" "$work/refused.txt" &&
   cmp -s "$kept" "$work/Velmora-Setup-1.1.8-x64.json" && [ ! -e "$kept.new" ]'
"$tool" "$build" write "$build/CMakeCache.txt" "$good_url" "$work/not-a-package.json" >"$work/not-msi.txt" 2>&1
not_msi_status=$?
check "a file that is no MSI package is refused, and nothing is written" \
  '[ "$not_msi_status" = 1 ] && grep -q "is not a package msiinfo can read" "$work/not-msi.txt" && [ ! -e "$work/not-a-package.json" ]'

echo "== signed manifests, with a vendor profile that names the test PKI's two manifest signing keys"
# The example vendor profile with manifest-key-1.pub and -2.pub in its two slots, as a vendor
# puts its own keys there; the tool builds natively beside that configured build.
pki=$root/tools/sandbox/pki
keyed=$work/keyed
python3 - "$root/tests/profiles/example_vendor.h" "$work/keyed_vendor.h" "$pki"/manifest-key-[12].pub <<'PY'
import re, sys
keys = ', '.join('"%s"' % open(path).read().strip() for path in sys.argv[3:])
text, count = re.subn(r'\.manifestSigningKeys = \{[^}]*\}', '.manifestSigningKeys = {%s}' % keys,
                      open(sys.argv[1]).read())
open(sys.argv[2], 'w').write(text)
sys.exit(0 if count == 1 else 1)
PY
cmake -S "$root" -B "$keyed" -DVELMORA_PROFILE="$work/keyed_vendor.h" -DBUILD_TESTING=OFF >"$work/keyed.log" 2>&1
keyed_url=$(sed -n 's/.*\.builtInPackageUrl = "\(.*\/\)[^/"]*".*/\1/p' "$work/keyed_vendor.h")Velmora-Setup-1.1.8-x64.msi
future=$(date -u -d '+30 days' +%Y-%m-%dT%H:%M:%SZ)
signed=$work/signed.json
"$tool" "$keyed" write "$good_package" "$keyed_url" "$signed" "$future" >"$work/signed.write.txt" 2>&1
write_status=$?
"$tool" "$keyed" sign "$signed" "$pki/manifest-key-1.key" >"$work/signed.sign.txt" 2>&1
sign_status=$?
"$tool" "$keyed" check "$signed" "$good_package" >"$work/signed.check.txt" 2>&1
check_status=$?
sed 's/^/        /' "$work/signed.write.txt" "$work/signed.sign.txt" "$work/signed.check.txt"
check "round trip: write with an expiry, sign with key 1, check passes naming key 1 and the expiry" \
  '[ "$write_status$sign_status$check_status" = 000 ] && grep -q "\"expires\": \"$future\"" "$signed" &&
   grep -q "signed: $signed.sig with manifest signing key 1\$" "$work/signed.sign.txt" &&
   grep -q "describes Velmora-Setup-1.1.8-x64.msi: .*, expires $future\$" "$work/signed.check.txt" &&
   grep -q "^$signed.sig: verified with manifest signing key 1\$" "$work/signed.check.txt"'
check "openssl verifies the signature with manifest-key-1.pub, as the program is given it" \
  'openssl dgst -sha256 -verify <(base64 -d "$pki/manifest-key-1.pub" | openssl pkey -pubin -inform DER) \
     -signature "$signed.sig" "$signed" >/dev/null'

# NAME REPORT_LINES EXPECTED_TEXT EXPIRES SIGNATURE: the written manifest without its expiry,
# with "expires" set to EXPIRES ('' for none), and a signature beside it: key-1, key-2 or
# key-other (openssl signs with that test key), tampered (key 1, then one byte of the manifest
# changed), truncated (key 1's, cut short) or none. The check must fail with exactly
# REPORT_LINES reports, or pass for 0, and print EXPECTED_TEXT.
signed_case() {
  local name=$1 want_lines=$2 want_text=$3 file=$work/signed-$((cases += 1)).json status lines
  python3 -c "
import json, sys
m = json.load(open(sys.argv[1]))
m.pop('expires')
if sys.argv[3]: m['expires'] = sys.argv[3]
open(sys.argv[2], 'w').write(json.dumps(m, indent=2) + '\n')
" "$signed" "$file" "$4"
  case $5 in
    key-*) openssl dgst -sha256 -sign "$pki/manifest-$5.key" -out "$file.sig" "$file" ;;
    tampered) openssl dgst -sha256 -sign "$pki/manifest-key-1.key" -out "$file.sig" "$file"
              sed -i 's/"1\.1\.8"/"1.1.9"/' "$file" ;;
    truncated) openssl dgst -sha256 -sign "$pki/manifest-key-1.key" "$file" | head -c 40 >"$file.sig" ;;
  esac
  "$tool" "$keyed" check "$file" >"$file.out" 2>"$file.err"
  status=$?
  lines=$(grep -c "^$file" "$file.err")
  check "$name: $([ "$want_lines" = 0 ] && echo passes || echo "fails with $want_lines report(s)"), $want_text" \
    '[ "$status" = "$([ "$want_lines" = 0 ] && echo 0 || echo 1)" ] && [ "$lines" = "$want_lines" ] &&
     grep -qF -- "$want_text" "$file.out" "$file.err"'
  sed 's/^/        /' "$file.err"
}
mismatch="matches none of the profile's 2 manifest signing key(s)"
signed_case 'signed with the second slot'"'"'s key' 0 'verified with manifest signing key 2' "$future" key-2
signed_case 'no expiry' 0 'no expiry' '' key-1
signed_case 'one byte changed after signing' 1 "$mismatch" "$future" tampered
signed_case 'signed with a key the profile does not name' 1 "$mismatch" "$future" key-other
signed_case 'no signature beside it' 1 '.sig: missing' "$future" none
signed_case 'a signature cut short' 1 '.sig: malformed: 40 bytes' "$future" truncated
signed_case 'expired' 1 'the program would refuse it: Installer manifest expired at 2020-01-01T00:00:00Z' \
  2020-01-01T00:00:00Z key-1
signed_case 'expires as a date alone' 1 "expiry '2027-01-31' is not a UTC time" 2027-01-31 key-1

echo "== signing and writing refused"
sigs_before=$(sha256sum "$signed.sig")
# NAME EXPECTED_TEXT COMMAND...: fails, says why and leaves the signature of the round trip as
# it was, with no pending signature beside it.
refused() {
  local name=$1 want_text=$2 out=$work/refused-$((cases += 1)).txt status
  shift 2
  "$@" >"$out" 2>&1
  status=$?
  check "$name: refused" '[ "$status" != 0 ] && grep -qF -- "$want_text" "$out" &&
    [ "$(sha256sum "$signed.sig")" = "$sigs_before" ] && [ ! -e "$signed.sig.new" ]'
  sed 's/^/        /' "$out"
}
refused 'signing with a key the profile does not name' "is not one of the profile's manifest signing keys" \
  "$tool" "$keyed" sign "$signed" "$pki/manifest-key-other.key"
refused 'signing under a profile without manifest signing keys' "names no manifest signing keys" \
  "$tool" "$build" sign "$signed" "$pki/manifest-key-1.key"
cp "$signed" "$work/unchanged.json"
refused 'writing an expiry already past' "Installer manifest expired at 2020-01-01T00:00:00Z" \
  "$tool" "$keyed" write "$good_package" "$keyed_url" "$signed" 2020-01-01T00:00:00Z
check "the refused write left the manifest as it was" 'cmp -s "$signed" "$work/unchanged.json"'
python3 -c "
import json, sys
m = json.load(open(sys.argv[1]))
m['expires'] = '2020-01-01T00:00:00Z'
open(sys.argv[1], 'w').write(json.dumps(m))
" "$signed"
refused 'signing an expired manifest' "not signed" "$tool" "$keyed" sign "$signed" "$pki/manifest-key-1.key"
refused 'writing an expiry under a profile without manifest signing keys' "EXPIRES needs manifest signing keys" \
  "$tool" "$build" write "$good_package" "$good_url" "$work/keyless.json" "$future"
check "the keyless write wrote nothing" '[ ! -e "$work/keyless.json" ]'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
