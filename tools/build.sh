#!/bin/sh
# Configures and builds the four builds: native portable tests, the same under ASan/UBSan,
# the libFuzzer targets, and the mingw-w64 cross build with its Wine tests.
# Usage: build.sh BUILD_DIR JOBS [host|asan|fuzz|win ...]
# Every compiler warning is an error in new build folders; VELMORA_WERROR=OFF turns that off.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
jobs=$2
shift 2
kinds=${*:-host asan fuzz win}
for kind in $kinds; do
  dir="$build/$kind"
  case $kind in
    host) set -- ;;
    asan) set -- -DVELMORA_SANITIZE=ON ;;
    fuzz) set -- -DVELMORA_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ;;
    win)  set -- -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" ;;
    *) echo "unknown build $kind" >&2; exit 2 ;;
  esac
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVELMORA_WERROR="${VELMORA_WERROR:-ON}" "$@" >/dev/null
  fi
  echo "== building $kind"
  cmake --build "$dir" -j "$jobs"
done
