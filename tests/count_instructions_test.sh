#!/usr/bin/env bash
# tools/count_instructions.py on a small object with a known loop: 16 pixels
# an iteration, so every count per 64 pixels is four times the loop's. The
# loop has a copy and an outer loop around it, as the kernels do, which must
# not be counted. Exit 77 (CTest's skip) without python3 or the assembler.
set -u
script=$(cd "$(dirname "$0")/../tools" && pwd)/count_instructions.py
python=${MEAN4_PYTHON:-/usr/bin/python3}
[ -x "$python" ] || { echo "SKIP: $python is not installed"; exit 77; }
command -v as >/dev/null || { echo "SKIP: as is not installed (Debian package binutils)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/known.s" <<'ASM'
        .text
        .globl  mean4_rows_known
mean4_rows_known:
2:      xor     %eax, %eax
1:      vpmovzxbw (%rdi,%rax), %ymm0          # load
        vmovdqu 1(%rdi,%rax), %xmm1           # load
        vpmovzxbw %xmm1, %ymm1                # shuffle
        vpaddw  (%rsi,%rax,2), %ymm0, %ymm0   # arithmetic, reads memory
        vpsrlw  $2, %ymm0, %ymm0              # arithmetic
        vpermq  $0x4e, %ymm0, %ymm2           # shuffle
        vmovdqa %ymm2, %ymm3                  # other
        prefetcht0 2048(%rdi,%rax)            # other
        vmovdqa %ymm0, (%rdx,%rax,4)          # store
        vmovntdq %ymm3, 32(%rdx,%rax,4)       # store
        add     $0x10, %rax                   # other
        cmp     %rcx, %rax                    # other
        jb      1b                            # other
        add     $0x40, %rdx
        dec     %r8
        jnz     2b
        vzeroupper
        ret
ASM
as -o "$work/known.o" "$work/known.s" || { echo "FAIL: the known loop did not assemble"; exit 1; }
"$python" "$script" "$work/known.o" >"$work/out" 2>&1 || { echo "FAIL: exit status $?"; cat "$work/out"; exit 1; }
expected="| mean4_rows_known | 16 | 13 | 8 | 8 | 8 | 8 | 20 | 12 |"
grep -q -x -F -- "$expected" "$work/out" || {
    echo "FAIL: expected the row"; echo "$expected"; echo "--- got:"; cat "$work/out"; exit 1
}
echo "PASS"
