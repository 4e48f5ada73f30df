#!/usr/bin/env bash
# The unit tests and the program on an emulated processor class.
#
# Usage: isa_test.sh QEMU QEMU_CPU FIRST_LACKING UNIT_TESTS PROGRAM
# QEMU is the emulator's command (qemu-x86_64, or qemu-aarch64 with its
# library prefix). FIRST_LACKING names the first instruction set the emulated
# processor does not have, as the skip messages spell it (AVX2, SVE, ...), or
# is empty; every set includes the ones before it, so the processor lacks
# that one and every later one (the list comes from UNIT_TESTS
# --mean4_list_sets). Every variant must pass or be skipped for one of those,
# never crash. Of the program's vector variants (the list's "program:" line,
# an optional one marked "?"), a missing required one must make the program
# refuse with its message, naming exactly what is missing; a missing optional
# one must be left out, with a word, while the others are measured. Exit 77
# (CTest's skip) when the emulator is missing or the build is sanitized.
set -u
read -r -a qemu <<<"$1"
cpu=$2
first_lacking=$3
unit_tests=$4
program=$5
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

fail() {
    echo "FAIL (-cpu $cpu): $*"
    tail -n 40 "$out"
    exit 1
}

command -v "${qemu[0]}" >/dev/null || { echo "SKIP: ${qemu[0]} is not installed"; exit 77; }
[ -z "${MEAN4_SANITIZED:-}" ] || { echo "SKIP: a sanitizer build does not run under qemu-user"; exit 77; }

listing=$("${qemu[@]}" -cpu "$cpu" "$unit_tests" --mean4_list_sets) || fail "cannot list the sets"
sets=$(sed -n 's/^sets: //p' <<<"$listing")
program_sets=$(sed -n 's/^program: //p' <<<"$listing")
lacking=""
for isa in $sets; do
    [ "$isa" = "$first_lacking" ] || [ -n "$lacking" ] && lacking="$lacking $isa"
done
lacking=${lacking# }
[ -z "$first_lacking" ] || [ -n "$lacking" ] || fail "$first_lacking is not one of the sets: $sets"

# The full-image cases take minutes under emulation; the small images reach
# every code path. The clock probes' agreement times the core, and the
# emulator's translation of the probes is no core.
"${qemu[@]}" -cpu "$cpu" "$unit_tests" --gtest_filter='-*BenchmarksImage*:Core_probes.TheClock*' \
    >"$out" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the unit tests exited with status $status"
reasons=$(sed -nE 's/^this processor lacks (.*)$/\1/p' "$out" | sort -u)
while read -r reason; do
    [ -n "$reason" ] || continue
    [[ " $lacking " == *" $reason "* ]] || fail "a test was skipped for lacking $reason, which this processor has"
done <<<"$reasons"
for isa in $lacking; do
    grep -q -x "this processor lacks $isa" "$out" || fail "nothing was skipped for lacking $isa"
done
echo "-cpu $cpu: $(grep -E '^\[  PASSED  \]' "$out"), $(grep -cE '^\[  SKIPPED \] .*\([0-9]+ ms\)$' "$out") skipped, for: ${reasons//$'\n'/, }"

"${qemu[@]}" -cpu "$cpu" "$program" >"$out" 2>"$err"
status=$?
refused=no
lines=1
for entry in $program_sets; do
    isa=${entry%\?}
    if [[ " $lacking " == *" $isa "* ]]; then
        if [ "$isa" != "$entry" ]; then
            grep -q -E "^mean4: this processor lacks $isa; the .* variant was not measured\$" "$err" ||
                { cat "$err" >>"$out"; fail "the program did not say that it left out the $isa variant"; }
        else
            refused=yes
            grep -q -F "mean4: this processor lacks $isa, which the " "$err" ||
                { cat "$err" >>"$out"; fail "the program did not say that it lacks $isa"; }
        fi
    else
        lines=$((lines + 1))
        ! grep -q -E "lacks $isa[,;]" "$err" || { cat "$err" >>"$out"; fail "the program named $isa, which this processor has"; }
    fi
done
if [ "$refused" = yes ]; then
    [ "$status" -eq 2 ] || fail "the program exited with status $status, expected its refusal (2)"
    [ ! -s "$out" ] || fail "the program wrote to stdout although it refused"
else
    [ "$status" -eq 0 ] || { cat "$err" >>"$out"; fail "the program exited with status $status, expected 0"; }
    [ "$(wc -l <"$out")" -eq "$lines" ] || fail "the program printed other than $lines lines"
fi
echo "PASS (-cpu $cpu)"
