#!/usr/bin/env bash
# Every tracked C and C++ source is formatted as .clang-format says, and
# every tracked Python file passes flake8 (.flake8). Exit 77 (CTest's skip)
# where a checker or the git checkout is missing, after running the other.
set -u
cd "$(dirname "$0")/.."
files=$(git ls-files '*.c' '*.cpp' '*.h' 2>/dev/null) || { echo "SKIP: not a git checkout"; exit 77; }
python_files=$(git ls-files '*.py')
missing=""
if command -v clang-format >/dev/null; then
    # shellcheck disable=SC2086
    clang-format --dry-run --Werror $files || { echo "FAIL: run clang-format -i on the files above"; exit 1; }
    echo "PASS: $(echo "$files" | wc -l) C++ files formatted"
else
    missing="clang-format"
fi
if command -v flake8 >/dev/null; then
    # shellcheck disable=SC2086
    flake8 $python_files || { echo "FAIL: flake8 found the faults above"; exit 1; }
    echo "PASS: $(echo "$python_files" | wc -l) Python files pass flake8"
else
    missing="$missing flake8"
fi
[ -z "$missing" ] || { echo "SKIP: not installed:$missing"; exit 77; }
