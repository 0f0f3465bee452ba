#!/bin/bash
# The manifest tool (tools/manifest_tool.sh) with the profile of a built tree and the sample
# packages that tree made. Round trip, for each package: writing succeeds and runs its own
# check, a separate check passes, and an independent JSON reader finds exactly the profile's
# key names, the version in the package's name, the SHA-256 the build recorded and, as exeSize,
# the size of the Velmora.exe that msiextract unpacks from the package. A manifest checked
# against a package: each value that does not describe it (an exeSize off by one, another
# package's digest, another version) is refused with its own report. Then a table of bad
# manifests: each fails the check with exactly the reports expected of it; and a write whose
# manifest would break a rule leaves the manifest in place untouched.
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

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
