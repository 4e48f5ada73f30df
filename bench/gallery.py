#!/usr/bin/python3
"""The results gallery: every processor the explorer has been run on, one
folder each under results/, and one summary table across them.

    /usr/bin/python3 bench/gallery.py add results.json [--program mean4.txt] [--commit C]
    /usr/bin/python3 bench/gallery.py summary

(--gallery DIR, before the command, works on another folder than results/.)

`add` files a run of the README's explorer command, made on this machine,
under results/<processor>/<date>-<commit>/: the JSON as the explorer wrote
it, its chart and tables (bench/plot.py), and the benchmark program's three
lines where given. It writes results/<processor>/machine.md, the processor's
name and caches, from this machine and the run's context, so run it on the
machine that made the run. `summary` draws every run's chart and tables
again, so that they follow plot.py, and writes results/README.md from them. Figures are never edited by hand: a new run is a new folder.

Needs matplotlib (Debian: python3-matplotlib) to draw.
"""
import argparse
import contextlib
import glob
import io
import json
import os
import platform
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import plot  # noqa: E402

# The gallery's folder; --gallery DIR names another.
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "results")
PROGRAM_LINE = re.compile(r"^(\S+):\s+(\d+)$")


def cpuinfo():
    """This processor's name, family and model, from /proc/cpuinfo."""
    fields = {}
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                key, _, value = line.partition(":")
                fields.setdefault(key.strip(), value.strip())
    except OSError:
        pass
    return fields


def processor_folder(fields):
    """"amd-epyc-family26-model2": the name and, where the processor says
    them, its family and model, as a folder name."""
    name = fields.get("model name") or fields.get("CPU implementer", "") + "-" + fields.get(
        "CPU part", "") or platform.machine()
    slug = re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-")
    slug = re.sub(r"-(processor|\d+-core)", "", slug)
    if "cpu family" in fields and "model" in fields:
        slug += f"-family{fields['cpu family']}-model{fields['model']}"
    return slug


def run_folder_name(context, commit):
    """"2026-12-09-1a2b3c4": the run's date and the commit it was built from,
    by default the checkout's."""
    date = context.get("date", "")[:10] or "undated"
    if commit:
        return f"{date}-{commit[:7]}"
    try:
        commit = subprocess.run(["git", "rev-parse", "--short=7", "HEAD"], capture_output=True,
                                text=True, cwd=ROOT, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        commit = "unknown"
    return f"{date}-{commit}"


def machine_page(fields, context):
    lines = [f"# {fields.get('model name', platform.machine())}", ""]
    for key, label in (("cpu family", "family"), ("model", "model"), ("stepping", "stepping")):
        if key in fields:
            lines.append(f"- {label}: {fields[key]}")
    lines.append(f"- logical processors: {context.get('num_cpus', os.cpu_count())}")
    if "mhz_per_cpu" in context:
        lines.append(f"- clock the run saw: {context['mhz_per_cpu']} MHz")
    flags = fields.get("flags", "").split()
    sets = [s for s in ("sse4_1", "avx2", "avx512f", "avx512bw", "avx512vbmi") if s in flags]
    if sets or "Features" in fields:
        lines.append("- vector sets: " + (" ".join(sets) or fields.get("Features", "")))
    hypervisor = "hypervisor" in flags
    lines.append(f"- virtual machine: {'yes' if hypervisor else 'no, or not said'}")
    lines += ["", "Caches, as the run found them:", ""]
    described = {k: v for k, v in context.items() if k.startswith("cache_")}
    if described:
        lines += [f"- {key.removeprefix('cache_')}: {text}" for key, text in sorted(described.items())]
    elif plot.caches(context):
        lines += [f"- {name}: {size} bytes" for name, size in plot.caches(context)]
    else:
        lines.append("- none recorded in the run (an explorer from before it found its own)")
    return "\n".join(lines) + "\n"


def add(json_path, program_path, commit):
    benchmarks, context = plot.load(json_path)
    fields = cpuinfo()
    folder = os.path.join(ROOT, processor_folder(fields))
    run = os.path.join(folder, run_folder_name(context, commit))
    if os.path.exists(run):
        sys.exit(f"gallery.py: {os.path.relpath(run)} is filed already")
    os.makedirs(run)
    shutil.copyfile(json_path, os.path.join(run, "results.json"))
    if program_path:
        shutil.copyfile(program_path, os.path.join(run, "mean4.txt"))
    draw(run)
    # The newest run that recorded its caches describes the processor.
    page = os.path.join(folder, "machine.md")
    if not os.path.exists(page) or plot.caches(context):
        with open(page, "w") as f:
            f.write(machine_page(fields, context))
    print(f"filed {os.path.relpath(run)}")


def draw(run):
    """A run's chart and tables, from its JSON."""
    tables = io.StringIO()
    with contextlib.redirect_stdout(tables):
        plot.main(os.path.join(run, "results.json"), os.path.join(run, "roofline.png"))
    with open(os.path.join(run, "tables.md"), "w") as f:
        f.write(tables.getvalue())


def program_lines(run):
    """{"C++": 678, ...} from the program's report, where the run has one."""
    try:
        with open(os.path.join(run, "mean4.txt")) as f:
            return {m[1]: int(m[2]) for m in map(PROGRAM_LINE.match, f) if m}
    except OSError:
        return {}


def best(results, all_cores, full_side, approach=None):
    """(name, ms, x_limit) of the fastest variant on the full image, of one
    approach (plot.approach) where given."""
    points = [(r["ms"], name, r.get("x_limit")) for (name, side), r in results.items()
              if side == full_side and not name.startswith("limit_")
              and name.endswith("_all_cores") == all_cores
              and approach in (None, plot.approach(name))]
    if not points:
        return None
    ms, name, x_limit = min(points)
    return name, ms, x_limit


def runs_newest_last(folder):
    """The runs filed in a processor's folder, by the date their runs began."""
    runs = [os.path.join(folder, r) for r in os.listdir(folder)
            if os.path.isfile(os.path.join(folder, r, "results.json"))]
    return sorted(runs, key=lambda run: plot.load(os.path.join(run, "results.json"))[1]
                  .get("date", ""))


def summary_row(processor, run):
    benchmarks, context = plot.load(os.path.join(run, "results.json"))
    results = plot.medians(benchmarks)
    full_side = max(side for _, side in results)
    held, total, _ = plot.model_accuracy(results)
    recomputed = any(r.get("recomputed") for r in results.values())
    program = program_lines(run)
    cells = [f"[{processor}]({processor}/machine.md)",
             f"[{os.path.basename(run)}]({processor}/{os.path.basename(run)}/tables.md)",
             " / ".join(f"{label} {ms}" for label, ms in program.items()) or "–"]
    for all_cores, approach in ((False, "hand-written"), (False, "library"), (False, "compiler"),
                                (True, None)):
        found = best(results, all_cores, full_side, approach)
        cells.append(f"`{found[0]}` {found[1]:.1f} ms, {found[2]:.2f}×" if found else "–")
    cells.append(f"{held} of {total} ({held / total:.0%})" + (", recomputed" if recomputed else "")
                 if total else "–")
    cells.append(", ".join(f"{name} {size >> 20} MiB" if size >= 1 << 20 else
                           f"{name} {size >> 10} KiB" for name, size in plot.caches(context))
                 or "none recorded")
    return "| " + " | ".join(cells) + " |"


def summary():
    rows, charts = [], []
    for processor in sorted(os.listdir(ROOT)):
        folder = os.path.join(ROOT, processor)
        runs = runs_newest_last(folder) if os.path.isdir(folder) else []
        for run in reversed(runs):
            draw(run)
            rows.append(summary_row(processor, run))
        if runs:
            newest = os.path.basename(runs[-1])
            charts += ["", f"## {processor}, {newest}", "",
                       f"![The explorer's chart of {processor}]({processor}/{newest}/roofline.png)"]
    notes = sorted(os.path.relpath(path, ROOT) for path in
                   glob.glob(os.path.join(ROOT, "*", "notes-*.md")))
    page = [
        "# Results gallery",
        "",
        "Every processor the explorer has run on: one folder each, with the processor's name and",
        "caches (`machine.md`) and one folder per run, holding the explorer's JSON from the",
        "README's command, its chart and its tables. This page is generated by",
        "`bench/gallery.py summary`; do not edit it.",
        "",
        "The columns: the benchmark program's three lines (ms for ten calls) where the run has",
        "them; on the full image, the fastest one-core variant written by hand, by a portable",
        "SIMD library (Highway) and by a compiler's vectoriser, and the fastest all-core",
        "variant, each with its time per call and `x_limit`; how many one-core points the",
        "model holds within 15 %",
        "(\"recomputed\" for runs from before the explorer paired its roofs, whose model",
        "`plot.py` rebuilds from unpaired medians); the data caches the run used.",
        "",
        "| processor | run | program (ms) | hand-written | library | compiler | all cores "
        "| model within 15 % | caches |",
        "|---|---|---|---|---|---|---|---|---|",
    ] + rows + ([
        "",
        "Earlier figures, copied by hand before the gallery kept runs: "
        + ", ".join(f"[{os.path.dirname(n)}]({n})" for n in notes) + "."] if notes else []) + [
        "",
        "The newest run of each processor:"] + charts
    with open(os.path.join(ROOT, "README.md"), "w") as f:
        f.write("\n".join(page) + "\n")
    print(f"wrote results/README.md: {len(rows)} runs")


def main():
    global ROOT
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    add_command = commands.add_parser("add", help="file a run made on this machine")
    add_command.add_argument("json")
    add_command.add_argument("--program", help="the benchmark program's output")
    add_command.add_argument("--commit", help="the commit the run was built from, if not HEAD")
    commands.add_parser("summary", help="redraw every run and write results/README.md")
    parser.add_argument("--gallery", default=ROOT, help="the gallery's folder (default: results/)")
    arguments = parser.parse_args()
    ROOT = arguments.gallery
    try:
        if arguments.command == "add":
            add(arguments.json, arguments.program, arguments.commit)
        else:
            summary()
    except plot.Unusable as reason:
        sys.exit(f"gallery.py: {reason}")


if __name__ == "__main__":
    main()
