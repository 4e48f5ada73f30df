#!/usr/bin/python3
"""Runs two builds of the explorer alternately in one window, so that what
the host does meanwhile falls on both alike, and writes each build's runs
into one JSON file for tools/compare.py.

    /usr/bin/python3 tools/alternate.py OLD/mean4_explore NEW/mean4_explore \\
        --rounds 6 --filter '^(avx2|avx2_stream)/' --out old.json new.json
    /usr/bin/python3 tools/compare.py old.json new.json

Each round runs both explorers once, one repetition of every benchmark the
filter selects, the older first in even rounds and the newer first in odd
ones; a file then holds one repetition a round. docs/comparing.md says how
many rounds a comparison needs.

Either side may be a command with options of its own, as one argument: two
builds of a kernel of your own, loaded by one explorer under one file name
from two folders, compare point by point (docs/your-kernel.md):

    /usr/bin/python3 tools/alternate.py "mean4_explore --kernel old/libmine.so" \
        "mean4_explore --kernel new/libmine.so" --filter '^mine[.]' --out old.json new.json
"""
import argparse
import json
import os
import shlex
import subprocess
import sys
import tempfile

import output


def run_once(explorer, benchmark_filter, min_time, extra):
    """One run of an explorer (a command, with options of its own), its JSON
    as a dict."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "run.json")
        subprocess.run([*shlex.split(explorer), f"--benchmark_filter={benchmark_filter}",
                        f"--benchmark_min_time={min_time}", "--benchmark_repetitions=1",
                        f"--benchmark_out={out}", "--benchmark_out_format=json", *extra],
                       stdout=subprocess.DEVNULL, check=True)
        with open(out) as f:
            return json.load(f)


def merge(runs):
    """One run of several: the first one's context, every run's benchmarks,
    each numbered by the round it came from."""
    merged = {"context": runs[0]["context"], "benchmarks": []}
    for index, run in enumerate(runs):
        for benchmark in run["benchmarks"]:
            merged["benchmarks"].append({**benchmark, "repetition_index": index,
                                         "repetitions": len(runs)})
    return merged


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("old_explorer")
    parser.add_argument("new_explorer")
    parser.add_argument("--rounds", type=int, default=6)
    parser.add_argument("--filter", default=".",
                        help="the benchmarks to run (a regular expression)")
    parser.add_argument("--min-time", default="0.1", help="each benchmark's least time, seconds")
    parser.add_argument("--out", nargs=2, metavar=("OLD_JSON", "NEW_JSON"), required=True)
    parser.add_argument("extra", nargs="*", help="more options for both explorers, after --")
    options = parser.parse_args()
    runs = {options.old_explorer: [], options.new_explorer: []}
    builds = [options.old_explorer, options.new_explorer]
    try:
        for round_ in range(options.rounds):
            for explorer in builds if round_ % 2 == 0 else builds[::-1]:
                print(f"round {round_ + 1} of {options.rounds}: {explorer}", file=sys.stderr)
                runs[explorer].append(run_once(explorer, options.filter, options.min_time,
                                               options.extra))
    except (OSError, subprocess.CalledProcessError) as error:
        sys.exit(f"alternate.py: {error}")
    if options.old_explorer == options.new_explorer:
        # The same build against itself: every other run on each side.
        both = runs[options.old_explorer]
        runs = {"old": both[0::2], "new": both[1::2]}
        builds = ["old", "new"]
    try:
        for explorer, path in zip(builds, options.out):
            output.write_text(path, json.dumps(merge(runs[explorer]), indent=1))
    except OSError as error:
        output.fail("alternate.py", error)


if __name__ == "__main__":
    main()
