#!/bin/bash
# Runs the Windows tests, or those whose names match a pattern, as `make test` does: inside the
# sandbox's network namespace, on a virtual display, with the prefix's one wineserver.
# Usage: run_win_tests.sh BUILD_DIR [CTEST_REGEX]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: run_win_tests.sh BUILD_DIR [CTEST_REGEX]}" && pwd)
pattern=${2:-}
exec "$root/tools/sandbox/with_sandbox.sh" -- \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$root/tools/wine/with_wineserver.sh" "$build/win/wineprefix" \
  ctest --test-dir "$build/win" -j 1 --output-on-failure --timeout 600 ${pattern:+-R "$pattern"}
