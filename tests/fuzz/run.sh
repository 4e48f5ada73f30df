#!/usr/bin/env bash
# Fuzzes the filter for a bounded time: run.sh FUZZER SECONDS
# Starts from the seed corpus in the repository; inputs the fuzzer finds go to
# a scratch corpus, so the repository's stays small. Exits non-zero on any
# finding, leaving the crashing input in the working directory.
set -euo pipefail
fuzzer=$1
seconds=$2
seeds=$(cd "$(dirname "$0")" && pwd)/corpus
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    "$scratch" "$seeds"
