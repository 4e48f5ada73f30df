#!/usr/bin/env bash
# Fuzzes the filter for a bounded time: run.sh FUZZER SECONDS [JOBS]
# Starts from the seed corpus in the repository; inputs the fuzzer finds go to
# a scratch corpus, so the repository's stays small. With JOBS (default 1),
# that many fuzzing processes run side by side for SECONDS each, sharing the
# scratch corpus (libFuzzer's -jobs and -workers; job N writes fuzz-N.log in
# the working directory), and the first finding in any of them stops them all.
# Exits non-zero on any finding, leaving the input (crash-*, timeout-*, oom-*)
# in the working directory.
set -euo pipefail
fuzzer=$1
seconds=$2
jobs=${3:-1}
[[ $jobs =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: JOBS must be a positive whole number, not '$jobs'" >&2; exit 2; }
seeds=$(cd "$(dirname "$0")" && pwd)/corpus
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1)

if [ "$jobs" -eq 1 ]; then
    "$fuzzer" "${options[@]}" "$scratch" "$seeds"
    exit
fi

# What libFuzzer leaves for a finding; those already here are not this run's.
artifacts() { ls -1 crash-* leak-* timeout-* oom-* slow-unit-* 2>/dev/null || true; }
artifacts >"$scratch/before"

# The jobs in a process group of their own, so that a finding can stop them all.
setsid "$fuzzer" -jobs="$jobs" -workers="$jobs" "${options[@]}" "$scratch" "$seeds" \
    >"$scratch/jobs.log" 2>&1 &
group=$!
found=""
while kill -0 "$group" 2>/dev/null; do
    found=$(artifacts | comm -13 "$scratch/before" - | head -n 1)
    if [ -n "$found" ]; then
        kill -TERM -- "-$group" 2>/dev/null || true
        break
    fi
    sleep 1
done
status=0
wait "$group" || status=$?
[ -n "$found" ] || found=$(artifacts | comm -13 "$scratch/before" - | head -n 1)

if [ -n "$found" ]; then
    log=$(grep -l -F -- "$found" fuzz-[0-9]*.log 2>/dev/null | head -n 1 || true)
    echo "run.sh: a finding; the input is left in $found" >&2
    [ -z "$log" ] || echo "run.sh: the job's output is in $log; its end:" >&2
    [ -z "$log" ] || grep -v -E '^#[0-9]+\s+(NEW|REDUCE|pulse|RELOAD)' "$log" | tail -n 25 >&2
    exit 1
fi
logs=()
for ((job = 0; job < jobs; ++job)); do logs+=("fuzz-$job.log"); done
executions=$(awk '/^stat::number_of_executed_units:/ { sum += $2 } END { print sum + 0 }' "${logs[@]}")
echo "run.sh: $jobs jobs, $executions executions in all, no finding"
for log in "${logs[@]}"; do
    echo "  $log: $(grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" | tr '\n' ' ')"
done
[ "$status" -eq 0 ] || { echo "run.sh: the jobs exited with status $status" >&2; exit "$status"; }
