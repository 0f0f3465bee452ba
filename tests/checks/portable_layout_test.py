#!/usr/bin/env python3
"""Whether a source may use Win32 shows in its path: only the files in a win/ folder may.

Outside src/<subsystem>/win/, a file includes only headers without an extension (the C++
library) and project headers that are themselves outside a win/ folder. Each Win32 header
there, and each reach into win/, is printed with its file and line.
Usage: portable_layout_test.py SOURCE_DIR
"""
import os
import re
import sys

source = os.path.join(sys.argv[1], 'src')
include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
checked = 0
broken = []
for folder, _, names in os.walk(source):
    if 'win' in os.path.relpath(folder, source).split(os.sep):
        continue
    for name in sorted(names):
        if not name.endswith(('.h', '.cpp')):
            continue
        path = os.path.join(folder, name)
        checked += 1
        with open(path, encoding='utf-8') as lines:
            for number, line in enumerate(lines, 1):
                match = include.match(line)
                if not match:
                    continue
                kind, header = match.groups()
                if kind == '<' and os.path.splitext(header)[1]:
                    broken.append(f'{path}:{number}: system header <{header}> outside a win/ folder')
                elif kind == '"' and 'win' in header.split('/')[:-1]:
                    broken.append(f'{path}:{number}: portable file includes "{header}"')
for line in broken:
    print(line)
print(f'{checked} portable files checked, {len(broken)} includes out of place')
sys.exit(1 if broken or checked == 0 else 0)
