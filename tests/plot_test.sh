#!/usr/bin/env bash
# bench/plot.py on small results written here: a file it cannot use is
# refused with one line and exit 1, never a traceback; results kept as
# aggregates only, and results with every repetition, are both drawn.
# Exit 77 (CTest's skip) without python3; the drawing cases also need
# matplotlib (Debian package python3-matplotlib).
set -u
plot=$(cd "$(dirname "$0")/../bench" && pwd)/plot.py
gallery=$(cd "$(dirname "$0")/.." && pwd)/results
python=${MEAN4_PYTHON:-/usr/bin/python3}
[ -x "$python" ] || { echo "SKIP: $python is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
    echo "FAIL: $*"
    echo "--- output:"; cat out
    exit 1
}

# plot.py FILE must exit 1 with exactly one line on stderr that says `reason`.
expect_refusal() {
    local file=$1 reason=$2
    "$python" "$plot" "$file" chart.png >out 2>&1
    local status=$?
    [ "$status" -eq 1 ] || fail "$file: exit status $status, expected 1"
    [ "$(wc -l <out)" -eq 1 ] || fail "$file: more than one line"
    grep -q -F "plot.py: $reason" out || fail "$file: the line should say: $reason"
    [ ! -e chart.png ] || fail "$file: a chart was written"
}

expect_refusal missing.json "cannot read missing.json"
printf '{"benchmarks": [' >truncated.json
expect_refusal truncated.json "truncated.json is not JSON"
printf '{"context": {}}' >no-benchmarks.json
expect_refusal no-benchmarks.json "no-benchmarks.json has no benchmarks"
printf '[1, 2]' >list.json
expect_refusal list.json "list.json has no benchmarks"
printf '{"benchmarks": [{"name": "BM_other", "run_name": "BM_other", "real_time": 1, "time_unit": "ms"}]}' >other.json
expect_refusal other.json "other.json holds no result of mean4_explore"

# One variant and its limit at two sides, as the explorer writes them: every
# repetition, then the same run with aggregates only.
benchmark() { # name side run_type aggregate_name ms x_limit
    printf '{"name": "%s/%s/manual_time", "run_name": "%s/%s/manual_time", "run_type": "%s", "aggregate_name": "%s",
             "real_time": %s, "time_unit": "ms", "limit_ms": 1.0, "x_limit": %s, "label": "vs limit_cached"}' \
        "$1" "$2" "$1" "$2" "$3" "$4" "$5" "$6"
}
context='"context": {"caches": [{"type": "Data", "level": 1, "size": 32768, "num_sharing": 1},
                                {"type": "Unified", "level": 2, "size": 1048576, "num_sharing": 1}]}'
{
    echo "{$context, \"benchmarks\": ["
    for side in 256 1024; do
        for ms in 1.1 1.2 1.3; do
            benchmark avx2 "$side" iteration "" "$ms" "$ms"; echo ","
            benchmark limit_cached "$side" iteration "" 1.0 1.0; echo ","
        done
    done
    echo '{"name": "avx512/256/manual_time", "error_occurred": true, "error_message": "skipped: this processor lacks AVX-512BW", "real_time": 0, "time_unit": "ms"}]}'
} >repetitions.json
{
    echo "{$context, \"benchmarks\": ["
    for side in 256 1024; do
        for aggregate in mean median stddev; do
            benchmark avx2 "$side" aggregate "$aggregate" 1.2 1.2; echo ","
        done
    done
    benchmark limit_cached 1024 aggregate median 1.0 1.0; echo "]}"
} >aggregates.json

# What would be drawn: the same medians from both files, every side.
for results in repetitions.json aggregates.json; do
    drawn=$("$python" -c "import sys; sys.path.insert(0, '$(dirname "$plot")'); import plot
results = plot.medians(plot.load('$results')[0])
print(' '.join(f'{n}/{s}={r[\"ms\"]:.1f}' for (n, s), r in sorted(results.items()) if n == 'avx2'))" 2>&1)
    [ "$drawn" = "avx2/256=1.2 avx2/1024=1.2" ] || { echo "$drawn" >out; fail "$results: drew '$drawn'"; }
done

# The model's report: a point is held within 15 % or named with its reason,
# and a median's bound comes from memory_over_compute, which aggregates keep,
# even where the repetitions' labels disagree.
modelled() { # name side x_model memory_over_compute label-bound
    printf '{"name": "%s/%s/manual_time", "run_name": "%s/%s/manual_time", "run_type": "iteration",
             "real_time": 1.0, "time_unit": "ms", "limit_ms": 1.0, "x_limit": 1.0, "compute_ms": 1.0,
             "pattern_ms": 1.0, "model_ms": 1.0, "x_model": %s, "memory_over_compute": %s,
             "label": "vs limit_cached, bound=%s"}' "$1" "$2" "$1" "$2" "$3" "$4" "$5"
}
{
    echo '{"benchmarks": ['
    modelled avx2 256 1.05 0.5 compute; echo ","
    modelled avx2 1024 1.30 0.8 compute; echo ","
    modelled avx512 1024 0.80 3.0 memory; echo ","
    modelled sse41 1024 1.40 1.2 memory; echo ","
    modelled sse41 1024 1.40 1.3 compute; echo ","
    modelled sse41 1024 1.40 1.4 compute; echo "]}"
} >modelled.json
report=$("$python" -c "import sys; sys.path.insert(0, '$(dirname "$plot")'); import plot
results = plot.medians(plot.load('modelled.json')[0])
print(results[('sse41', 1024)]['bound'])
print(plot.model_report(results))" 2>&1)
echo "$report" >out
[ "$(sed -n 1p out)" = memory ] || fail "the median's bound should follow memory_over_compute"
grep -q -F "holds 1 of 4 one-core points within 15%" out || fail "the count of held points"
grep -q -F '`avx2/1024` x_model 1.30: compute-bound, the other roof at 0.80 of it' out ||
    fail "a point slower than its model should say that its roofs overlap only in part"
grep -q -F '`avx512/1024` x_model 0.80: faster than its memory roof' out ||
    fail "a point faster than its model should say which roof was measured high"

"$python" -c 'import matplotlib' 2>/dev/null || { echo "SKIP: the drawing cases need python3-matplotlib"; exit 77; }
for results in repetitions.json aggregates.json; do
    rm -f chart.png
    "$python" "$plot" "$results" chart.png >out 2>&1 || fail "$results: exit status $?"
    [ -s chart.png ] || fail "$results: no chart was written"
done
# Every run in the results gallery draws, and says how well its model holds.
runs=0
for results in "$gallery"/*/*/results.json; do
    [ -e "$results" ] || continue
    runs=$((runs + 1))
    rm -f chart.png
    "$python" "$plot" "$results" chart.png >out 2>&1 || fail "$results: exit status $?"
    [ -s chart.png ] || fail "$results: no chart was written"
    grep -q "^The model holds [0-9]* of [0-9]* one-core points" out || fail "$results: no model report"
done
[ "$runs" -gt 0 ] || { echo "no run in $gallery" >out; fail "the gallery is empty"; }

# The gallery script files a run once, with the program's lines, and its
# summary counts the model's points and names the program's figures.
gallery_script=$(dirname "$plot")/gallery.py
mkdir copy
printf 'C++:  500\nSSE:  250\nAVX2: 200\n' >mean4.txt
"$python" "$gallery_script" --gallery copy add repetitions.json --program mean4.txt --commit abcdef0 >out 2>&1 ||
    fail "gallery.py add: exit status $?"
"$python" "$gallery_script" --gallery copy add repetitions.json --commit abcdef0 >out 2>&1 &&
    fail "gallery.py add filed the same run twice"
grep -q "is filed already" out || fail "gallery.py add should say the run is filed already"
"$python" "$gallery_script" --gallery copy summary >out 2>&1 || fail "gallery.py summary: exit status $?"
grep -q -F "| C++ 500 / SSE 250 / AVX2 200 |" copy/README.md || { cat copy/README.md >out; fail "no program lines in the summary"; }
[ -s copy/*/*-abcdef0/roofline.png ] && [ -s copy/*/machine.md ] || fail "the run's chart or the machine's page is missing"
echo "PASS"
