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
    ('downloadHosts', '"archive.example.org"', '"-archive.example.org"'),
    ('downloadHosts', '"archive.example.org"', '"archive.-cdn.example.org"'),
    ('downloadHosts', '"archive.example.org"', '"192.0.2.10"'),
    ('downloadHosts', '"archive.example.org"', '"3221226026"'),
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
    # The sandbox's placeholder, as a profile copied from profiles/sandbox.h would carry it.
    ('builtInPackageSha256',
     '"9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08"',
     '"5f2b9c1e7a3d4f60b8e2c9a1d7f3b5e08c4a2e6f1b9d3c7a5e0f8b2d4c6a1e39"'),
    ('builtInPackageSha256',
     '"9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08"',
     '"5F2B9C1E7A3D4F60B8E2C9A1D7F3B5E08C4A2E6F1B9D3C7A5E0F8B2D4C6A1E39"'),
    ('serverKeyPin', '"3C9D0A7E', '"3C9D0A7G'),
    ('serverKeyPin', '"3C9D0A7E', '"3C9D0A7'),
    ('versionKey', '"buildVersion"', '"buildVersionNumber"'),
    ('versionKey', '"buildVersion"', '""'),
    ('packageUrlKey', '"msiLocation"', '"msi location"'),
    ('packageSha256Key', '"msiDigest"', r'"msi\\Digest"'),
    ('versionKey, packageUrlKey, packageSha256Key', '"msiDigest"', '"buildVersion"'),
    ('versionKey, packageUrlKey, packageSha256Key', '"msiDigest"', '"exeSize"'),
    ('versionKey, packageUrlKey, packageSha256Key', '"msiDigest"', '"expires"'),
    # A key cut short, another curve's key, a point not in uncompressed form, the second slot
    # without a first, the same key twice.
    ('manifestSigningKeys', '"u4N+zrsZOhv4rWv0pr22RU5gvh7P5MptEUu7EVlDYUqdFHuK5g=="',
     '"u4N+zrsZOhv4rWv0pr22RU5gvh7P5MptEUu7EVlDYUqdFHuK"'),
    ('manifestSigningKeys', '"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEqi5QLQiTCQRkVFDqV3wQXIJXVSzo5aK2JB2/"\n'
     '                              "u4N+zrsZOhv4rWv0pr22RU5gvh7P5MptEUu7EVlDYUqdFHuK5g=="',
     '"MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEZA5lVH2/FX0Hd/dYgSaIGL5DhDEN0V1zAvs+ZQcdbrLW4fhVLkwroI7aMgL7Q6We"'
     '"6GVDNHMN+GZWKKe/l3SBoFRq8CUrMPOQXEait41DBMtm2QgMLuR1UGCXaEJvI008"'),
    ('manifestSigningKeys', '"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEqi5Q', '"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAFqi5Q'),
    ('manifestSigningKeys', '"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEqi5QLQiTCQRkVFDqV3wQXIJXVSzo5aK2JB2/"\n'
     '                              "u4N+zrsZOhv4rWv0pr22RU5gvh7P5MptEUu7EVlDYUqdFHuK5g=="', '""'),
    ('manifestSigningKeys', '"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE+By/yzpZAO+BVVmBMWdOUVEi5vboNz8yB10v"\n'
     '                              "ippPewM1vTQ8vdeQaizi4d+p54kUEZoAbN0YbCWUcH+3ARNjYA=="',
     '"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEqi5QLQiTCQRkVFDqV3wQXIJXVSzo5aK2JB2/"'
     '"u4N+zrsZOhv4rWv0pr22RU5gvh7P5MptEUu7EVlDYUqdFHuK5g=="'),
    ('manifestUrl', 'stable/current.json"', 'stable/current.json?channel=stable"'),
    ('builtInVersion', '"2.4.1"', '"2.4.x"'),
    ('builtInVersion', '"2.4.1"', '"2..1"'),
    ('builtInVersion', '"2.4.1"', '""'),
    ('messageHost', '.messageHost = "get.example.com"', '.messageHost = "Get.Example.com"'),
    ('messageHost', '.messageHost = "get.example.com"', '.messageHost = "-get.example.com"'),
    ('messageHost', '.messageHost = "get.example.com"', '.messageHost = "203.0.113.7"'),
    ('packagePublisherKeys', '{"7D1E5A0C', '{"7D1E5A0G'),
    ('packagePublisherKeys', '{"7D1E5A0C', '{"sha256:7D1E5A0C'),
    ('packagePublisherKeys', '{"7D1E5A0C93B4F2861E0D7C6B5A49382716F5E4D3C2B1A09F8E7D6C5B4A392817"}',
     '{"' + '0' * 64 + '"}'),
    ('packagePublisherKeys', '{"7D1E5A0C', '{"", "7D1E5A0C'),
    ('packagePublisherKeys', '{"7D1E5A0C93B4F2861E0D7C6B5A49382716F5E4D3C2B1A09F8E7D6C5B4A392817"}',
     '{"7D1E5A0C93B4F2861E0D7C6B5A49382716F5E4D3C2B1A09F8E7D6C5B4A392817", '
     '"7d1e5a0c93b4f2861e0d7c6b5a49382716f5e4d3c2b1a09f8e7d6c5b4a392817"}'),
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
