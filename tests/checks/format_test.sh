#!/bin/sh
# Every C++ source and header of the project is as the repository's .clang-format writes it;
# clang-format names each file and line that differs.
# Usage: format_test.sh SOURCE_DIR
set -eu
cd "$1"
files=$(find src tests tools profiles sample -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run --Werror $files
echo "$(echo "$files" | wc -l) files formatted as .clang-format says"
