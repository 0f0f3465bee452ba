#!/usr/bin/env python3
"""Includes run only downwards: each folder of src/ may include its own folder and those below it.

The folders, from the ground up, are LAYERS. A file in src/<folder>/ (its win/ part included)
that includes "<other>/..." of a higher folder is printed with its file and line, and so is a
folder of src/ that the list does not place. The checker is then shown able to fail: a copy of
the tree with one upward include planted must be refused, naming the planted line.
Usage: layer_order_test.py SOURCE_DIR
Prints "N passed, N failed".
"""
import os
import re
import shutil
import sys
import tempfile

LAYERS = ['base', 'profile', 'product', 'net', 'msi', 'launch', 'workflow', 'ui', 'webview', 'app']
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')


def upward_includes(src):
    """Every include that reaches a higher folder, and every folder without a place."""
    found = []
    for folder in sorted(os.listdir(src)):
        if not os.path.isdir(os.path.join(src, folder)):
            continue
        if folder not in LAYERS:
            found.append(f'src/{folder}: a folder without a place in the layer order')
            continue
        rank = LAYERS.index(folder)
        for parent, _, names in os.walk(os.path.join(src, folder)):
            for name in sorted(names):
                if not name.endswith(('.h', '.cpp')):
                    continue
                path = os.path.join(parent, name)
                with open(path, encoding='utf-8') as lines:
                    for number, line in enumerate(lines, 1):
                        match = INCLUDE.match(line)
                        if match and match.group(1) in LAYERS and LAYERS.index(match.group(1)) > rank:
                            rel = os.path.relpath(path, os.path.dirname(src))
                            found.append(f'{rel}:{number}: {folder} includes "{match.group(1)}/...", '
                                         'a higher folder')
    return found


passed = failed = 0


def check(name, ok, detail):
    global passed, failed
    print(('ok    ' if ok else 'FAIL  ') + name)
    for line in detail:
        print('      ' + line)
    passed += ok
    failed += not ok


src = os.path.join(sys.argv[1], 'src')
found = upward_includes(src)
check('no include in src/ runs upwards (' + ' < '.join(LAYERS) + ')', not found, found)

with tempfile.TemporaryDirectory() as work:
    copy = os.path.join(work, 'src')
    shutil.copytree(src, copy)
    planted = os.path.join(copy, 'base', 'ascii.h')
    with open(planted, 'a', encoding='utf-8') as f:
        f.write('#include "workflow/worker.h"\n')
    found = upward_includes(copy)
    check('a planted upward include in base/ascii.h is refused',
          any(line.startswith('src/base/ascii.h:') and '"workflow/...' in line for line in found), found)

print(f'{passed} passed, {failed} failed')
sys.exit(1 if failed else 0)
