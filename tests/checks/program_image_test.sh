#!/bin/bash
# Checks the built VelmoraSetup.exe itself, since Wine ignores its manifest: the application
# manifest (administrator rights, common controls 6), icon group 101 with ten 32-bit images
# 16..256 (256 stored as PNG), and an import table of exactly the DLLs that Windows never takes
# from the program's folder. Prints "N passed, N failed".
# Usage: program_image_test.sh VelmoraSetup.exe
set -u
exe=$1
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

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
