#!/usr/bin/env bash
# run.sh's handling of parallel jobs, against a stand-in for libFuzzer that
# behaves as its -jobs mode does: N processes, each writing fuzz-N.log in the
# working directory, a finding left as crash-* with a line naming it.
# A finding in one job must stop the others at once and fail the run, naming
# the input; without one, the executions of all jobs are summed.
set -u
run_sh=$(cd "$(dirname "$0")" && pwd)/run.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
    echo "FAIL: $*"
    echo "--- output:"; cat out
    exit 1
}

# The stand-in: job 0 ends as STUB_JOB0 says (a finding after a second, or
# a clean end); every other job fuzzes for a minute unless stopped.
cat >stub <<'STUB'
#!/usr/bin/env bash
jobs=$(printf '%s\n' "$@" | sed -n 's/^-jobs=//p')
for ((job = 0; job < jobs; ++job)); do
    (
        log=fuzz-$job.log
        if [ "$job" -eq 0 ] && [ "$STUB_JOB0" = finding ]; then
            sleep 1
            echo "avx2_bytes on 32 x 9: 1 words differ" >>"$log"
            echo "artifact_prefix='./'; Test unit written to ./crash-0123abcd" >>"$log"
            echo x >crash-0123abcd
            exit 1
        fi
        [ "$job" -eq 0 ] || [ "$STUB_JOB0" = clean ] || sleep 60
        echo "stat::number_of_executed_units: $((1000 + job))" >>"$log"
        echo "stat::average_exec_per_sec:     100" >>"$log"
    ) &
done
wait
STUB
chmod +x stub

# An old input in the working directory is not this run's finding.
echo old >crash-old
SECONDS=0
STUB_JOB0=finding bash "$run_sh" ./stub 60 3 >out 2>&1
status=$?
[ "$status" -eq 1 ] || fail "exit status $status after a finding, expected 1"
[ "$SECONDS" -lt 20 ] || fail "the other jobs were not stopped: the run took $SECONDS s"
grep -q -F "the input is left in crash-0123abcd" out || fail "the finding's input is not named"
grep -q -F "avx2_bytes on 32 x 9: 1 words differ" out || fail "the job's finding line is not shown"
[ -f crash-0123abcd ] || fail "the input was not left in place"
sleep 1
! pgrep -f "$work/stub" >/dev/null || fail "a job is still running"

rm -f crash-0123abcd fuzz-*.log
STUB_JOB0=clean bash "$run_sh" ./stub 60 2 >out 2>&1
status=$?
[ "$status" -eq 0 ] || fail "exit status $status without a finding, expected 0"
grep -q -F "run.sh: 2 jobs, 2001 executions in all, no finding" out || fail "the executions are not summed"

bash "$run_sh" ./stub 60 0 >out 2>&1
[ $? -eq 2 ] || fail "a job count of 0 was not refused"
echo "PASS"
