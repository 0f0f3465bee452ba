#!/bin/bash
# Checks the built VelmoraSetup.exe itself, since Wine ignores its manifest: the application
# manifest (administrator rights, common controls 6, per-monitor DPI awareness), icon group 101
# with ten 32-bit images 16..256 (256 stored as PNG), and an import table of exactly the DLLs
# that Windows never takes from the program's folder; read with pefile, an independent reader,
# the version resource (the project's version, the profile's company and product) and the
# address-space and data-execution flags. Prints "N passed, N failed".
# Usage: program_image_test.sh VelmoraSetup.exe PROFILE_HEADER PROJECT_VERSION
set -u
exe=$1
profile=$2
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() {
  if eval "$2"; then echo "ok    $1"; passed=$((passed + 1)); else echo "FAIL  $1"; failed=$((failed + 1)); fi
}

wrestool -x --raw --type=24 --name=1 "$exe" > "$work/manifest.xml" 2>/dev/null
check "manifest resource 1 exists" '[ -s "$work/manifest.xml" ]'
check "manifest requires administrator" \
  'grep -q "requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"" "$work/manifest.xml"'
check "manifest binds common controls 6" \
  'grep -q "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"" "$work/manifest.xml"'
check "manifest declares per-monitor v2 DPI awareness" \
  'grep -q "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>" "$work/manifest.xml"'
check "manifest falls back to dpiAware for systems before per-monitor v2" \
  'grep -q "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>" "$work/manifest.xml"'

wrestool -x --type=14 --name=101 "$exe" -o "$work/icon.ico" 2>/dev/null
check "icon group 101 exists" '[ -s "$work/icon.ico" ]'
icotool -l "$work/icon.ico" > "$work/icons.txt" 2>/dev/null
sizes=$(sed -E 's/.*--width=([0-9]+).*--bit-depth=([0-9]+).*/\1x\2/' "$work/icons.txt" | sort -n | tr '\n' ' ')
check "ten 32-bit images of 16..256 pixels" \
  '[ "$sizes" = "16x32 20x32 24x32 32x32 40x32 48x32 64x32 96x32 128x32 256x32 " ]'
python3 - "$work/icon.ico" > "$work/png.txt" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
count = struct.unpack_from('<H', data, 4)[0]
for i in range(count):
    width, _, _, _, _, _, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
    print(width or 256, 'png' if data[offset:offset + 4] == b'\x89PNG' else 'bmp')
PY
check "the 256-pixel image is PNG, the others are not" \
  '[ "$(sort -n "$work/png.txt" | tr "\n" " ")" = "16 bmp 20 bmp 24 bmp 32 bmp 40 bmp 48 bmp 64 bmp 96 bmp 128 bmp 256 png " ]'

# Imports read with Debian's python3-pefile, hence Debian's own interpreter whatever python3
# PATH finds first. A library the image imports is looked for beside the program unless
# Windows always takes it from the system folder: the Known DLLs, and the common controls that
# the manifest binds side by side. Everything else is bound at run time from the system folder.
/usr/bin/python3 - "$exe" > "$work/imports.txt" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
for entry in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', []):
    print('import', entry.dll.decode().lower())
for entry in getattr(pe, 'DIRECTORY_ENTRY_DELAY_IMPORT', []):
    print('delay', entry.dll.decode().lower())
PY
imports=$(sed -n 's/^import //p' "$work/imports.txt" | sort -u | tr '\n' ' ')
check "imports exactly the Known DLLs and comctl32: $imports" \
  '[ "$imports" = "advapi32.dll comctl32.dll gdi32.dll gdiplus.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll " ]'
check "delay-loads no library" '! grep -q "^delay " "$work/imports.txt"'
check "WinHTTP and urlmon are not imported" '! grep -E -q " (winhttp|urlmon)\.dll$" "$work/imports.txt"'

# Debian's python3, where python3-pefile is installed (a python3 earlier on PATH may lack it).
/usr/bin/python3 - "$exe" > "$work/pe.txt" <<'PY'
import sys
import pefile
pe = pefile.PE(sys.argv[1])
for info in getattr(pe, 'FileInfo', []):
    for entry in info:
        for table in getattr(entry, 'StringTable', []):
            for key, value in table.entries.items():
                print('%s=%s' % (key.decode(), value.decode()))
fixed = pe.VS_FIXEDFILEINFO[0]
print('FixedFileVersion=%d.%d.%d.%d' % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                       fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF))
print('FixedProductVersion=%d.%d.%d.%d' % (fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
                                          fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF))
header = pe.OPTIONAL_HEADER
print('DYNAMIC_BASE=%d' % header.IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE)
print('HIGH_ENTROPY_VA=%d' % header.IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA)
print('NX_COMPAT=%d' % header.IMAGE_DLLCHARACTERISTICS_NX_COMPAT)
relocations = header.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_BASERELOC']]
print('Relocations=%d' % (relocations.Size > 0))
PY
fact() { sed -n "s/^$1=//p" "$work/pe.txt"; }
profile_macro() { sed -n "s/^#define $1 \"\(.*\)\"$/\1/p" "$profile"; }
company=$(profile_macro VELMORA_COMPANY_NAME)
product=$(profile_macro VELMORA_PRODUCT_NAME)
check "version resource: file and product version $version" \
  '[ "$(fact FileVersion)" = "$version" ] && [ "$(fact ProductVersion)" = "$version" ] &&
   [ "$(fact FixedFileVersion)" = "$version.0" ] && [ "$(fact FixedProductVersion)" = "$version.0" ]'
check "version resource: company \"$company\" and product \"$product\" from the profile" \
  '[ -n "$company" ] && [ "$(fact CompanyName)" = "$company" ] && [ -n "$product" ] && [ "$(fact ProductName)" = "$product" ]'
check "version resource: description and original file name" \
  '[ "$(fact FileDescription)" = "Velmora Setup" ] && [ "$(fact OriginalFilename)" = "VelmoraSetup.exe" ]'
check "DYNAMIC_BASE, with base relocations to move by" '[ "$(fact DYNAMIC_BASE)" = 1 ] && [ "$(fact Relocations)" = 1 ]'
check "HIGH_ENTROPY_VA" '[ "$(fact HIGH_ENTROPY_VA)" = 1 ]'
check "NX_COMPAT" '[ "$(fact NX_COMPAT)" = 1 ]'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
