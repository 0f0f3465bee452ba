#!/usr/bin/env python3
"""Each rule a vendor profile must meet fails the build, with a message naming the field.

Every case below is the example vendor profile with one line changed. The profile must then
fail to compile, and the compiler's message must name the field. The unchanged profile must
compile, or the cases would prove nothing.
Usage: profile_rules_test.py COMPILER SOURCE_DIR
Prints "N passed, N failed".
"""
import os
import subprocess
import sys
import tempfile

compiler, source = sys.argv[1], sys.argv[2]
good_path = os.path.join(source, 'tests', 'profiles', 'example_vendor.h')
good = open(good_path).read()

# (field the message must name, text in the good profile, its replacement)
CASES = [
    ('downloadHosts', '"archive.example.org"', '"Archive.example.org"'),
    ('downloadHosts', '"archive.example.org"', '"archive_old.example.org"'),
    ('downloadHosts', '"archive.example.org"', '"archive..example.org"'),
    ('downloadHosts', '"archive.example.org"', '""'),
    ('downloadHosts', '"cdn-us.example.net", "archive.example.org",', '"cdn-us.example.net",'),
    ('downloadHosts', '"archive.example.org"', '"' + 'a' * 250 + '.org"'),
    ('manifestUrl', '"https://get.example.com/velmora', '"https://www.example.com/velmora'),
    ('manifestUrl', '"https://get.example.com/velmora', '"http://get.example.com/velmora'),
    ('manifestUrl', '"https://get.example.com/velmora', '"https://get.example.com:8443/velmora'),
    ('manifestUrl', '"https://get.example.com/velmora', '"https://user@get.example.com/velmora'),
    ('builtInPackageUrl', '"https://cdn-eu.example.com/', '"https://cdn.example.com/'),
    ('builtInPackageUrl', '"https://cdn-eu.example.com/', '"HTTPS://cdn-eu.example.com/'),
    ('builtInPackageUrl', '2.4.1-x64.msi"', '2.4.1-x64.exe"'),
    ('builtInPackageSha256', '"9F86D081', '"sha256:9F86D081'),
    ('builtInPackageSha256', '"9F86D081', '"9F86D08'),
    ('builtInPackageSha256', '"9F86D081', '" 9F86D081'),
    ('serverKeyPin', '"3C9D0A7E', '"3C9D0A7G'),
    ('serverKeyPin', '"3C9D0A7E', '"3C9D0A7'),
    ('versionKey', '"buildVersion"', '"buildVersionNumber"'),
    ('versionKey', '"buildVersion"', '""'),
    ('packageUrlKey', '"msiLocation"', '"msi location"'),
    ('packageSha256Key', '"msiDigest"', r'"msi\\Digest"'),
    ('versionKey, packageUrlKey, packageSha256Key', '"msiDigest"', '"buildVersion"'),
    ('versionKey, packageUrlKey, packageSha256Key', '"msiDigest"', '"exeSize"'),
    ('builtInVersion', '"2.4.1"', '"2.4.x"'),
    ('builtInVersion', '"2.4.1"', '"2..1"'),
    ('builtInVersion', '"2.4.1"', '""'),
    ('messageHost', '.messageHost = "get.example.com"', '.messageHost = "Get.Example.com"'),
    ('VELMORA_COMPANY_NAME', '"Example Vendor Ltd"', '""'),
    ('VELMORA_PRODUCT_NAME', '#define VELMORA_PRODUCT_NAME "Velmora"',
     '#define VELMORA_PRODUCT_NAME ""'),
]


def compile_profile(text, work):
    path = os.path.join(work, 'profile.h')
    with open(path, 'w') as f:
        f.write(text)
    return subprocess.run(
        [compiler, '-std=c++20', '-fsyntax-only', '-I', os.path.join(source, 'src'),
         '-I', source, '-DVELMORA_PROFILE_HEADER="%s"' % path,
         os.path.join(source, 'src', 'app', 'vendor_profile_checks.cpp')],
        capture_output=True, text=True)


passed = failed = 0


def check(name, ok, detail=''):
    global passed, failed
    print(('ok    ' if ok else 'FAIL  ') + name)
    if not ok and detail:
        print('      ' + detail.strip().replace('\n', '\n      ')[:2000])
    passed += ok
    failed += not ok


with tempfile.TemporaryDirectory() as work:
    result = compile_profile(good, work)
    check('the example vendor profile compiles', result.returncode == 0, result.stderr)
    for field, old, new in CASES:
        name = '%s: %s -> %s' % (field, old, new if len(new) < 60 else new[:40] + '...')
        if good.count(old) != 1:
            check(name, False, 'the good profile must hold %r exactly once' % old)
            continue
        result = compile_profile(good.replace(old, new), work)
        named = 'static assertion failed: %s:' % field in result.stderr
        check(name, result.returncode != 0 and named, result.stderr)

print('%d passed, %d failed' % (passed, failed))
sys.exit(1 if failed else 0)
