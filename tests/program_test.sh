#!/usr/bin/env bash
# End-to-end checks of the mean4 program: its report, and how it refuses a
# processor, a memory limit or a standard output it cannot work with.
#
# Usage: program_test.sh CASE PROGRAM_OR_LIBRARY
# Exits 0 on a pass, 1 on a failure and 77 (CTest's skip code) when a tool the
# case needs is missing or cannot work in this build. MEAN4_UNIT_TESTS names
# the unit tests' binary, which lists the report's labels in order (its
# --mean4_list_sets; "C++ SSE AVX2" without it), and
# MEAN4_VECTOR_REGISTERS what a vector register looks like in the
# disassembly. In a cross build MEAN4_RUN names the command that runs the
# program (Wine, qemu-aarch64), OBJDUMP and NM the toolchain's tools, and
# for Windows MEAN4_BREAK_COUNTER the test debugger.
set -u

case_name=$1
target=$2
run=${MEAN4_RUN:-}
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

fail() {
    echo "FAIL ($case_name): $*"
    echo "--- stdout:"; cat "$out"
    echo "--- stderr:"; cat "$err"
    exit 1
}

skip() {
    echo "SKIP ($case_name): $*"
    exit 77
}

# The program must stop with `status`, print nothing on stdout and say `message` on stderr.
expect_refusal() {
    local expected_status=$1 message=$2
    [ "$status" -eq "$expected_status" ] || fail "exit status $status, expected $expected_status"
    [ ! -s "$out" ] || fail "stdout should be empty"
    grep -q -F -- "$message" "$err" || fail "stderr should say: $message"
}

# The debugger's summary line "<prefix>: N breaks, exit status 1" must count
# exactly the differing words the program reported.
expect_one_break_per_difference() {
    local prefix=$1 debugger=$2 differing breaks
    differing=$(sed -nE 's/.*differs from the reference in ([0-9]+) word.*/\1/p' "$out" "$err")
    breaks=$(sed -nE "s/^$prefix: ([0-9]+) breaks, exit status 1\r?\$/\1/p" "$out")
    [ -n "$differing" ] || fail "the program did not report the difference"
    [ -n "$breaks" ] || fail "the program did not run to exit status 1 under $debugger"
    [ "$breaks" -eq "$differing" ] || fail "$breaks breaks for $differing differing words"
}

# A processor without some instruction set, emulated. Debian's qemu-user 7.2
# takes feature switches on its "max" model silently.
run_on_emulated_cpu() {
    command -v qemu-x86_64 >/dev/null || skip "qemu-x86_64 is not installed (Debian package qemu-user)"
    [ -z "${MEAN4_SANITIZED:-}" ] || skip "a sanitizer build does not run under qemu-user"
    if [ -n "$run" ]; then
        MEAN4_QEMU_CPU=$1 $run "$target" >"$out" 2>"$err"
    else
        qemu-x86_64 -cpu "$1" "$target" >"$out" 2>"$err"
    fi
    status=$?
}

case $case_name in
report)
    $run "$target" >"$out" 2>"$err"
    status=$?
    [ "$status" -eq 0 ] || fail "exit status $status, expected 0"
    [ ! -s "$err" ] || fail "stderr should be empty"
    [ "$(tail -c 1 "$out" | od -An -c | tr -d ' ')" = '\n' ] || fail "the last line must end in a newline"
    ! grep -q $'\r' "$out" || fail "the lines must end in \\n alone, as on Linux"
    mapfile -t lines <"$out"
    listed="C++ SSE AVX2"
    if [ -n "${MEAN4_UNIT_TESTS:-}" ]; then
        listed=$($run "$MEAN4_UNIT_TESTS" --mean4_list_sets | tr -d '\r' | sed -n 's/^report: //p')
    fi
    read -r -a labels <<<"$listed"
    [ "${#lines[@]}" -eq "${#labels[@]}" ] || fail "${#lines[@]} lines on stdout, expected ${#labels[@]}"
    for i in "${!labels[@]}"; do
        # Each label padded to six characters, colon included: "C++:  ", "AVX2: ".
        expected=$(printf '%-6s' "${labels[i]}:")
        [[ ${lines[i]} == "$expected"* && ${lines[i]#"$expected"} =~ ^[0-9]+$ ]] ||
            fail "line $((i + 1)) is '${lines[i]}', expected '$expected' and a number"
    done
    ;;
no-avx2)
    run_on_emulated_cpu max,-avx2
    expect_refusal 2 "mean4: this processor lacks AVX2"
    grep -q -F "SSE4.1" "$err" && fail "SSE4.1 is present and must not be named"
    ;;
no-sse41)
    run_on_emulated_cpu max,-sse4.1
    expect_refusal 2 "mean4: this processor lacks SSE4.1"
    ;;
no-memory)
    # 400,000 KiB of address space takes the 95 MiB source but neither 380 MiB result.
    [ -z "${MEAN4_SANITIZED:-}" ] || skip "AddressSanitizer cannot run under a lowered ulimit -v"
    [ -z "$run" ] || skip "under an emulator the address-space limit would fall on the emulator"
    (ulimit -v 400000 && exec "$target") >"$out" 2>"$err"
    status=$?
    expect_refusal 3 "mean4: cannot allocate vec_out, the vector result (398721024 bytes)"
    ;;
full-stdout)
    # A report that cannot be written is a failure with a message, never a
    # silent success: on Linux a failed write, on Windows the stream's error
    # flag, which is all the Windows runtime sets.
    $run "$target" >/dev/full 2>"$err"
    status=$?
    [ "$status" -eq 4 ] || fail "exit status $status, expected 4"
    grep -q -F "mean4: cannot write the report to standard output: No space left on device" "$err" ||
        fail "stderr should name the write error"
    ;;
closed-pipe)
    # The reader is gone before the first line is written; SIGPIPE must not
    # end the program silently.
    $run "$target" 2>"$err" | true
    status=${PIPESTATUS[0]}
    [ "$status" -eq 4 ] || fail "exit status $status, expected 4"
    grep -q -F "mean4: cannot write the report to standard output: " "$err" ||
        fail "stderr should say that the report could not be written"
    ;;
links-only-what-it-runs)
    # No code or data that the explorer's kernel library defines may appear
    # in the program: it runs the benchmark's three variants and nothing
    # else. Only the library's own C++ names count: weak symbols, which
    # shared headers define in both, and the compiler's and sanitizers'
    # generated local names are left out.
    command -v "${NM:-nm}" >/dev/null || skip "nm is not installed (Debian package binutils)"
    explorer_library=$3
    "${NM:-nm}" --defined-only "$explorer_library" 2>/dev/null |
        awk 'NF == 3 && $2 ~ /^[TtDdRrBb]$/ && $3 ~ /^_Z/ { print $3 }' | sort -u >"$err"
    [ -s "$err" ] || fail "no symbols found in $explorer_library"
    "${NM:-nm}" "$target" | awk 'NF == 3 { print $3 }' | sort -u | comm -12 - "$err" >"$out"
    [ ! -s "$out" ] || fail "the program links the explorer's code: $(head -n 5 "$out" | tr '\n' ' ')"
    ;;
vector-files-share-no-code)
    # The files compiled for an instruction set beyond the baseline (riscv64's
    # vector files) must define nothing that the linker picks one copy of
    # among many (weak symbols: inline functions, templates, inline
    # variables). A vector-compiled copy could be the one that baseline code
    # calls, and would stop a processor without the set with an illegal
    # instruction. The second argument names the objects, the rest the
    # libraries that hold them.
    command -v "${NM:-nm}" >/dev/null || skip "nm is not installed (Debian package binutils)"
    read -r -a objects <<<"$target"
    for library in "${@:3}"; do
        "${NM:-nm}" -A --defined-only "$library" || fail "nm failed on $library"
    done >"$out" 2>>"$err"
    for object in "${objects[@]}"; do
        grep -q -F ":$object: " "$out" || fail "$object is in none of the libraries"
        shared=$(grep -F ":$object: " "$out" | awk '$(NF - 1) ~ /^[WwVvu]$/ { print $NF }')
        [ -z "$shared" ] || fail "$object defines shared code: $(echo "$shared" | head -n 5 | tr '\n' ' ')"
    done
    ;;
scalar-reference)
    # The "C++" line must time scalar code: no vector register may appear in
    # the reference's machine code.
    command -v "${OBJDUMP:-objdump}" >/dev/null || skip "objdump is not installed (Debian package binutils)"
    "${OBJDUMP:-objdump}" -d -C --no-show-raw-insn "$target" >"$out" || fail "objdump failed on $target"
    awk '/^[0-9a-f]+ <(mean4_reference|mean4_scalar_row)\(/, /^$/' "$out" >"$err"
    [ -s "$err" ] || fail "no mean4_reference in $target"
    if grep -E "${MEAN4_VECTOR_REGISTERS:-%[xyz]mm}" "$err" >/dev/null; then
        : >"$out"
        fail "the reference was vectorised by the compiler"
    fi
    ;;
planted-fault)
    # A build whose wide variant leaves one row's edge columns wrong: the
    # verification must say so, and the report must still be complete.
    $run "$target" >"$out" 2>"$err"
    status=$?
    [ "$status" -eq 1 ] || fail "exit status $status, expected 1"
    labels=3
    if [ -n "${MEAN4_UNIT_TESTS:-}" ]; then
        labels=$($run "$MEAN4_UNIT_TESTS" --mean4_list_sets | tr -d '\r' | sed -n 's/^report: //p' | wc -w)
    fi
    [ "$(wc -l <"$out")" -eq "$labels" ] || fail "all $labels report lines must still be printed"
    grep -qE '^mean4: the [A-Z0-9]+ result differs from the reference in [0-9]+ words?; the first at \(x=(0|9983), y=4000\)' "$err" ||
        fail "stderr should name the planted fault in row 4000"
    ;;
planted-fault-gdb)
    # Under a debugger the program breaks once per differing word. The
    # command file counts the stops and continues each one.
    command -v gdb >/dev/null || skip "gdb is not installed (Debian package gdb)"
    [ -z "${MEAN4_SANITIZED:-}" ] || skip "not run under gdb in a sanitizer build"
    commands=$(mktemp)
    trap 'rm -f "$out" "$err" "$commands"' EXIT
    cat >"$commands" <<'GDB'
set pagination off
set confirm off
handle SIGTRAP stop print nopass
set $breaks = 0
run
while $_isvoid($_exitcode)
  set $breaks = $breaks + 1
  continue
end
printf "mean4-test: %d breaks, exit status %d\n", $breaks, $_exitcode
GDB
    gdb -nx -batch -x "$commands" --args "$target" >"$out" 2>"$err"
    expect_one_break_per_difference 'mean4-test' "gdb"
    ;;
planted-fault-debugger)
    # The Windows build under a small debugger of the Windows debugging API,
    # which counts the breakpoints and continues each one.
    [ -n "${MEAN4_BREAK_COUNTER:-}" ] || skip "no test debugger in this build"
    $run "$MEAN4_BREAK_COUNTER" "$target" >"$out" 2>"$err"
    expect_one_break_per_difference 'break-counter' "the debugger"
    ;;
manifest)
    # The executable asks to run at the caller's privilege level, from an
    # embedded manifest (resource type 24), and needs no runtime DLL.
    objdump=${OBJDUMP:-objdump}
    "$objdump" -h "$target" | grep -q '\.rsrc' || fail "no resource section"
    grep -a -q 'level="asInvoker"' "$target" || fail "no asInvoker manifest"
    "$objdump" -p "$target" >"$out"
    imports=$(sed -nE 's/^\s*DLL Name: (.*)$/\1/p' "$out" | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
    for dll in $imports; do
        case $dll in
        kernel32.dll | msvcrt.dll | advapi32.dll | user32.dll | ntdll.dll | api-ms-win-*) ;;
        *) fail "imports $dll, which a Windows user may not have" ;;
        esac
    done
    ;;
imports)
    # The program must start on the oldest Windows it supports: every function
    # it imports must be in that Windows's list, and the image must say which
    # Windows that is. For an import that is not, the link map shows which
    # object brought it in.
    objdump=${OBJDUMP:-objdump}
    allowed=${MEAN4_ALLOWED_IMPORTS:?}
    "$objdump" -p "$target" >"$out" || fail "objdump failed on $target"
    for field in MajorOSystemVersion:5 MinorOSystemVersion:2 MajorSubsystemVersion:5 MinorSubsystemVersion:2; do
        grep -q -E "^${field%%:*}[[:space:]]+${field##*:}\$" "$out" ||
            fail "the image does not say ${field%%:*} ${field##*:} (NT 5.2)"
    done
    awk '/DLL Name:/ { dll = tolower($3) }
         /^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+$/ { print dll " " $3 }' "$out" | sort -u >"$err"
    [ -s "$err" ] || fail "no imports found in $target"
    unexpected=$(grep -v '^#' "$allowed" | sort -u | comm -13 - "$err")
    if [ -n "$unexpected" ]; then
        {
            echo "imports that the oldest supported Windows (NT 5.2) may lack:"
            while read -r dll function; do
                echo "$dll $function, brought in by:"
                awk -v symbol="__imp_$function" -f "$(dirname "$0")/windows/import_chain.awk" "$target.map"
            done <<<"$unexpected"
        } >"$err"
        : >"$out"
        fail "$(echo "$unexpected" | tr '\n' ' ')"
    fi
    ;;
*)
    echo "unknown case: $case_name"
    exit 1
    ;;
esac
echo "PASS ($case_name)"
