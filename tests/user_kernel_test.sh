#!/usr/bin/env bash
# Kernels from outside the tree: the examples pass mean4_check, every planted
# fault is caught and named, every malformed object is refused before it
# runs, and the explorer measures the examples beside the built-in rows and
# refuses what the checker refuses.
#
# Usage: user_kernel_test.sh CASE CHECKER PLANTED_FOLDER EXAMPLES_FOLDER [EXPLORER]
# MEAN4_RUN: the emulator a cross build runs under; MEAN4_LACKING_RUN: an
# emulated processor that lacks the set the lacking_set object names;
# MEAN4_SANITIZED: set in a sanitizer build, which qemu-user cannot run.
set -u
case_name=$1
read -r -a checker <<<"${MEAN4_RUN:-} $2"
planted=$3
examples=$4
read -r -a explorer <<<"${MEAN4_RUN:-} ${5:-}"
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

fail() {
    echo "FAIL ($case_name): $*"
    echo "--- stdout"; cat "$out"
    echo "--- stderr"; cat "$err"
    exit 1
}

# expect STATUS WORDS...: the last run's exit status, and each text on stderr.
expect() {
    local want=$1
    shift
    [ "$status" -eq "$want" ] || fail "exit status $status, expected $want"
    for words in "$@"; do
        grep -q -F -- "$words" "$err" || fail "stderr should say: $words"
    done
}

check() {
    "${checker[@]}" --seconds=0.2 "$@" >"$out" 2>"$err"
    status=$?
}

case "$case_name" in
examples)
    shopt -s nullglob
    objects=("$examples"/*.so)
    [ "${#objects[@]}" -ge 1 ] || fail "no example was built"
    check "${objects[@]}"
    expect 0
    [ "$(grep -c "exact on every image checked" "$out")" -eq "${#objects[@]}" ] ||
        fail "not every example was checked"
    ;;
exact)
    check "$planted/libplanted_exact.so"
    expect 0
    grep -q "planted_exact.planted: exact on every image checked" "$out" || fail "not checked"
    ;;
last-block)
    check "$planted/libplanted_last_block.so"
    expect 1 "planted_last_block.planted, whole images: " "differ; the first at (x=" "expected "
    ;;
rounding)
    check "$planted/libplanted_rounding.so"
    expect 1 "planted_rounding.planted, whole images: " "differ; the first at (x="
    ;;
past-row)
    check "$planted/libplanted_past_row.so"
    expect 1 "planted_past_row.planted, rows by themselves: it wrote outside the result"
    ;;
crash)
    check "$planted/libplanted_crash.so"
    [ "$status" -ne 0 ] || fail "a kernel that crashed was passed"
    expect "$status" "planted_crash.planted, whole images: " "the 80 x 3 image"
    ;;
abi)
    check "$planted/libplanted_abi.so"
    expect 2 "was built for kernel ABI 2; this mean4 loads ABI 1"
    grep -q "checking" "$out" && fail "it ran a refused object"
    ;;
no-entry)
    check "$planted/libplanted_no_entry.so"
    expect 2 "exports no mean4_kernels"
    ;;
malformed)
    check "$planted/libplanted_malformed.so"
    expect 2 "kernel 0 (planted) is malformed: its result alignment 3 is not a power of two"
    ;;
missing)
    check "$planted/libnothing.so"
    expect 2 "cannot load $planted/libnothing.so: No such file or directory"
    ;;
not-shared-object)
    check "$0"
    expect 2 "is not a shared object this program can load"
    ;;
clash)
    check "$planted/libplanted_exact.so" "$planted/libplanted_exact.so"
    expect 2 "would be named planted_exact.planted, as another row already is"
    grep -q "checking" "$out" && fail "it checked before it had loaded every object"
    ;;
lacking-set)
    [ -z "${MEAN4_SANITIZED:-}" ] || { echo "SKIP: a sanitizer build does not run under qemu-user"; exit 77; }
    read -r -a lacking <<<"${MEAN4_LACKING_RUN:-}"
    command -v "${lacking[0]:-none}" >/dev/null || { echo "SKIP: no emulator for a processor that lacks the set"; exit 77; }
    "${lacking[@]}" "$2" "$planted/libplanted_lacking_set.so" >"$out" 2>"$err"
    status=$?
    expect 2 "kernel 0 (planted) needs " ", which this processor lacks"
    ;;
explore-measures)
    [ -n "${5:-}" ] || { echo "SKIP: the explorer was not built"; exit 77; }
    json=$(mktemp)
    "${explorer[@]}" --kernel "$examples/libportable.so" --kernel="$planted/libplanted_exact.so" \
        --benchmark_filter='^(scalar|portable\.scalar|planted_exact\.planted)(_all_cores)?/256/' \
        --benchmark_min_time=0.01 --point_budget=0.02 --benchmark_format=json >"$json" 2>"$err"
    status=$?
    cp "$json" "$out"
    rm -f "$json"
    expect 0
    for row in '"portable.scalar/256/iterations:1/manual_time"' \
               '"planted_exact.planted/256/iterations:1/manual_time"' \
               '"scalar/256/iterations:1/manual_time"'; do
        grep -q -F "$row" "$out" || fail "no row $row"
    done
    grep -q -F "kernel=portable.scalar, cores=one, written_by=user" "$out" ||
        fail "the loaded row is not labelled written_by=user"
    ;;
explore-refuses)
    [ -n "${5:-}" ] || { echo "SKIP: the explorer was not built"; exit 77; }
    for object in abi rounding; do
        "${explorer[@]}" --kernel "$planted/libplanted_$object.so" \
            --benchmark_filter=/256/ --benchmark_min_time=0.01 >"$out" 2>"$err"
        status=$?
        expect 1 "mean4_explore: $planted/libplanted_$object.so"
        [ ! -s "$out" ] || fail "it measured though it refused $object"
    done
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "$case_name: as expected"
