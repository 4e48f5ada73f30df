#!/usr/bin/env bash
# The explorer's report and results are written, or it says they were not
# and exits 4: on a full disk, into a closed pipe, into a folder that does
# not exist. One copy, briefly, is all it runs.
#
# Usage: explore_output_test.sh CASE EXPLORER
# MEAN4_RUN, where set, is the emulator to run a cross-built explorer under.
set -u
case_name=$1
read -r -a explorer <<<"${MEAN4_RUN:-} $2"
err=$(mktemp)
trap 'rm -f "$err"' EXIT
brief=(--benchmark_filter='^limit_cached/256/' --benchmark_min_time=0.001)

fail() {
    echo "FAIL ($case_name): $*"
    cat "$err"
    exit 1
}

expect() {
    local status=$1 words=$2
    [ "$status" -eq 4 ] || fail "exit status $status, expected 4"
    grep -q -F "mean4_explore: $words" "$err" || fail "stderr should say: $words"
}

case "$case_name" in
full-file)
    "${explorer[@]}" "${brief[@]}" --benchmark_out=/dev/full --benchmark_out_format=json \
        >/dev/null 2>"$err"
    expect $? "cannot write the results to /dev/full: No space left on device"
    ;;
full-stdout)
    "${explorer[@]}" "${brief[@]}" >/dev/full 2>"$err"
    expect $? "cannot write the report to standard output: No space left on device"
    ;;
closed-pipe)
    "${explorer[@]}" "${brief[@]}" 2>"$err" | true
    expect "${PIPESTATUS[0]}" "cannot write the report to standard output: "
    ;;
no-folder)
    "${explorer[@]}" "${brief[@]}" --benchmark_out=/nonexistent/folder/results.json \
        >/dev/null 2>"$err"
    expect $? "cannot write the results to /nonexistent/folder/results.json: No such file"
    grep -q "limit_cached" "$err" && fail "it measured before it knew where to write"
    ;;
written)
    out=$(mktemp)
    "${explorer[@]}" "${brief[@]}" --benchmark_out="$out" --benchmark_out_format=json \
        >/dev/null 2>"$err"
    status=$?
    grep -q '"limit_cached/256/manual_time"' "$out" ||
        { rm -f "$out"; fail "the results were not written"; }
    rm -f "$out"
    [ "$status" -eq 0 ] || fail "exit status $status, expected 0"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "$case_name: as expected"
