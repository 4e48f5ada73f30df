#!/usr/bin/env bash
# The unit tests and the program on an emulated processor class.
#
# Usage: isa_test.sh QEMU_CPU "LACKING ..." UNIT_TESTS PROGRAM
# LACKING names the instruction sets the emulated processor does not have, as
# the skip messages spell them (SSE4.1, AVX2, AVX-512BW). Every variant must
# pass or be skipped for one of those, never crash; the program must refuse
# with its message, naming exactly what is missing, if it lacks SSE4.1 or
# AVX2. Exit 77 (CTest's skip) when qemu-x86_64 is missing or the build is
# sanitized.
set -u
cpu=$1
lacking=$2
unit_tests=$3
program=$4
out=$(mktemp)
trap 'rm -f "$out"' EXIT

fail() {
    echo "FAIL (-cpu $cpu): $*"
    tail -n 40 "$out"
    exit 1
}

command -v qemu-x86_64 >/dev/null || { echo "SKIP: qemu-x86_64 is not installed"; exit 77; }
[ -z "${MEAN4_SANITIZED:-}" ] || { echo "SKIP: a sanitizer build does not run under qemu-user"; exit 77; }

# The full-image cases take minutes under emulation; the small images reach
# every code path.
qemu-x86_64 -cpu "$cpu" "$unit_tests" --gtest_filter='-*BenchmarksImage*' >"$out" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the unit tests exited with status $status"
reasons=$(sed -nE 's/^this processor lacks (.*)$/\1/p' "$out" | sort -u)
# A reason may name alternatives ("SSE4.1 or AVX2"); one must be lacking.
while read -r reason; do
    [ -n "$reason" ] || continue
    named_lacking=no
    for isa in ${reason// or / }; do
        [[ " $lacking " == *" $isa "* ]] && named_lacking=yes
    done
    [ "$named_lacking" = yes ] || fail "a test was skipped for lacking $reason, which this processor has"
done <<<"$reasons"
for isa in $lacking; do
    grep -q -x "this processor lacks $isa" "$out" || fail "nothing was skipped for lacking $isa"
done
echo "-cpu $cpu: $(grep -E '^\[  PASSED  \]' "$out"), $(grep -cE '^\[  SKIPPED \] .*\([0-9]+ ms\)$' "$out") skipped, for: ${reasons//$'\n'/, }"

# The program needs SSE4.1 and AVX2. Where one is missing it must refuse
# before measuring anything: exit 2, nothing on stdout, and one stderr line
# for each set it lacks, naming no set the processor has.
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
qemu-x86_64 -cpu "$cpu" "$program" >"$out" 2>"$err"
status=$?
refused=no
for isa in SSE4.1 AVX2; do
    if [[ " $lacking " == *" $isa "* ]]; then
        refused=yes
        grep -q -F "mean4: this processor lacks $isa, which the " "$err" ||
            { cat "$err" >>"$out"; fail "the program did not say that it lacks $isa"; }
    elif grep -q -F "lacks $isa" "$err"; then
        cat "$err" >>"$out"
        fail "the program named $isa, which this processor has"
    fi
done
if [ "$refused" = yes ]; then
    [ "$status" -eq 2 ] || fail "the program exited with status $status, expected its refusal (2)"
    [ ! -s "$out" ] || fail "the program wrote to stdout although it refused"
else
    [ "$status" -eq 0 ] || { cat "$err" >>"$out"; fail "the program exited with status $status, expected 0"; }
    [ "$(wc -l <"$out")" -eq 3 ] || fail "the program printed other than three lines"
fi
echo "PASS (-cpu $cpu)"
