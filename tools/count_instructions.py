#!/usr/bin/python3
"""Counts the instructions of each row kernel's innermost loop, by class, per
64 pixels, from the disassembly of a built library (x86-64, objdump's AT&T
syntax):

    /usr/bin/python3 tools/count_instructions.py build/test/filter/libmean4_filter.a \\
        build/test/filter/libmean4_explorer_kernels.a

A row kernel is a function named mean4_rows_*. Its main loop is, of the
innermost loops around a vector store (backward branches with no other
inside them), the one that stores the most bytes an iteration: the loop
over whole steps rather than one over a row's rest, and where a kernel
computes two rows a pass, the loop over both. The pixels it handles an
iteration are the words it stores (4 bytes each). Each instruction of the loop falls in one class:
stores (to memory), arithmetic and logic (vector adds, averages, shifts,
logic, with or without an operand in memory), loads (any other instruction
that reads memory: a zero-extension straight from memory counts here),
shuffles (permutes, lane moves, zero-extensions, insertions and extractions
between registers), and other (register copies, prefetches, mask moves, loop
control). "reads" counts the instructions that read memory, whatever their
class.

OBJDUMP names the objdump to run (default objdump).
"""
import os
import re
import subprocess
import sys

FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$")
TARGET = re.compile(r"^([0-9a-f]+)\b")
IMMEDIATE_STEP = re.compile(r"^\$0x([0-9a-f]+),%\w+$")

SHUFFLE = re.compile(r"^v?p?(movzx|movsx|perm|shuf|unpck|alignr|align[dq]|insert|extract|"
                     r"slldq|srldq|broadcast|insr|extr|pack|blend|expand|compress)")
ARITHMETIC = re.compile(r"^v?p(add|sub|avg|and|or|xor|ternlog|srl|sll|sra|mul|min|max|cmp|abs|"
                        r"sad|madd|test)")
CLASSES = ("loads", "stores", "shuffles", "arithmetic", "other")


def operands(text):
    """The operands of an AT&T instruction, split at the top-level commas."""
    text = text.split("#")[0].strip()
    parts, depth, current = [], 0, ""
    for char in text:
        if char == "(":
            depth += 1
        elif char == ")":
            depth -= 1
        if char == "," and depth == 0:
            parts.append(current.strip())
            current = ""
        else:
            current += char
    if current.strip():
        parts.append(current.strip())
    return parts


def is_memory(operand):
    return "(" in operand and not operand.startswith("*")


def classify(mnemonic, args):
    if mnemonic.startswith(("prefetch", "j", "call", "ret")):
        return "other"
    if args and is_memory(args[-1]) and not mnemonic.startswith(("cmp", "test")):
        return "stores"
    reads = any(is_memory(a) for a in args[:-1])
    if SHUFFLE.match(mnemonic):
        return "loads" if reads else "shuffles"
    if ARITHMETIC.match(mnemonic):
        return "arithmetic"
    return "loads" if reads else "other"


def functions(libraries):
    objdump = os.environ.get("OBJDUMP", "objdump")
    listing = subprocess.run([objdump, "-d", "-C", "--no-show-raw-insn", *libraries],
                             check=True, capture_output=True, text=True).stdout
    name, body = None, []
    for line in listing.splitlines():
        header = FUNCTION.match(line)
        if header:
            if name:
                yield name, body
            name, body = header.group(1), []
            continue
        instruction = INSTRUCTION.match(line)
        if name and instruction:
            address, mnemonic, rest = instruction.groups()
            body.append((int(address, 16), mnemonic, operands(rest)))
    if name:
        yield name, body


VECTOR_BYTES = {"x": 16, "y": 32, "z": 64}


def stored_bytes(loop):
    """The bytes the loop's vector stores write an iteration."""
    total = 0
    for _, mnemonic, args in loop:
        if classify(mnemonic, args) == "stores" and re.match(r"^%[xyz]mm", args[0]):
            total += VECTOR_BYTES[args[0][1]]
    return total


def is_backward_branch(instruction):
    address, mnemonic, args = instruction
    target = TARGET.match(args[0]) if mnemonic.startswith("j") and args else None
    return target is not None and int(target.group(1), 16) < address


def main_loop(body):
    """The instructions of the innermost loop that stores the most vector
    bytes an iteration (the shortest of those that store as much), or None.
    A loop is innermost when no other backward branch lies inside it."""
    loops = []
    for index, instruction in enumerate(body):
        if not is_backward_branch(instruction) or instruction[1] == "jmp":
            continue
        start = int(TARGET.match(instruction[2][0]).group(1), 16)
        loop = [i for i in body[: index + 1] if i[0] >= start]
        if not any(is_backward_branch(i) for i in loop[:-1]) and stored_bytes(loop) > 0:
            loops.append(loop)
    if not loops:
        return None
    return min(loops, key=lambda loop: (-stored_bytes(loop), len(loop)))


def main(libraries):
    print("| kernel | pixels an iteration | instructions an iteration | per 64 pixels: "
          + " | ".join(CLASSES) + " | reads |")
    print("|---|---:|---:|" + "---:|" * (len(CLASSES) + 1))
    found = False
    for name, body in functions(libraries):
        kernel = name.split("(")[0]
        if not kernel.startswith("mean4_rows_"):
            continue
        loop = main_loop(body)
        pixels = stored_bytes(loop) // 4 if loop else None
        if not loop or not pixels:
            print(f"| {kernel} | ? | ? |" + " |" * (len(CLASSES) + 1))
            continue
        found = True
        counts = dict.fromkeys(CLASSES, 0)
        reads = 0
        for _, mnemonic, args in loop:
            counts[classify(mnemonic, args)] += 1
            reads += classify(mnemonic, args) != "other" and any(is_memory(a) for a in args[:-1])
        scale = 64 / pixels
        cells = " | ".join(f"{counts[c] * scale:g}" for c in CLASSES)
        print(f"| {kernel} | {pixels} | {len(loop)} | {cells} | {reads * scale:g} |")
    return 0 if found else 1


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: count_instructions.py LIBRARY_OR_OBJECT...")
    try:
        sys.exit(main(sys.argv[1:]))
    except (OSError, subprocess.CalledProcessError) as error:
        sys.exit(f"count_instructions.py: {error}")
