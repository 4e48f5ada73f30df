#!/usr/bin/env bash
# Every tracked C and C++ source is formatted as .clang-format says. Exit 77
# (CTest's skip) where clang-format or the git checkout is missing.
set -u
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "SKIP: clang-format is not installed"; exit 77; }
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null) || { echo "SKIP: not a git checkout"; exit 77; }
[ -n "$files" ] || { echo "SKIP: no tracked sources"; exit 77; }
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files || { echo "FAIL: run clang-format -i on the files above"; exit 1; }
echo "PASS: $(echo "$files" | wc -l) files formatted"
