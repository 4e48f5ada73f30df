#!/usr/bin/python3
"""The results gallery: every processor the explorer has run on, one folder
each under results/, one folder per run inside it, and one summary page.

    /usr/bin/python3 tools/gallery.py add results.json [--program mean4.txt]
                                      [--instructions counts.md]
    /usr/bin/python3 tools/gallery.py summary
    /usr/bin/python3 tools/gallery.py redraw [RUN_FOLDER ...]

(--gallery DIR, before the command, works on another folder than results/.)

`add` files a run of the explorer (the command is in docs/explorer.md) under
results/<processor>/<date>-<commit>/, all of it from the run's own JSON, so
any machine can file it: the JSON as the explorer wrote it (the executable's
path reduced to its name), the processor
and build it recorded (machine.md), its chart and tables, drawn once, and,
where given, the benchmark program's three lines and the kernels'
instruction counts (tools/count_instructions.py). `summary` writes
results/README.md and nothing else. `redraw` draws charts and tables again,
of every run or of the runs named, for when the chart itself changes.
Figures are never edited by hand: a new run is a new folder.

Exit status: 0; 1 for a run it cannot use; 4 when a file or its own report
cannot be written (a run half filed is taken out again).

Needs matplotlib (Debian: python3-matplotlib) to add or redraw.
"""
import argparse
import glob
import json
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import compare  # noqa: E402
import explorer_json  # noqa: E402
import output  # noqa: E402
import plot  # noqa: E402
import report  # noqa: E402

DEFAULT_GALLERY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "results")
PROGRAM_LINE = re.compile(r"^(\S+):\s+(\d+)$")
VENDORS = {"AuthenticAMD": "amd", "GenuineIntel": "intel"}


def slug(text):
    return re.sub(r"[^a-z0-9]+", "-", text.lower()).strip("-")


def processor_folder(context):
    """"amd-family26-model2": on x86-64 the vendor, family and model, which
    name a core's design whatever brand a hypervisor gives it; elsewhere the
    processor's name ("implementer-0x41-part-0xd0c")."""
    vendor = context.get("processor_vendor", "unknown")
    if vendor in VENDORS and "processor_family" in context and "processor_model" in context:
        return (f"{VENDORS[vendor]}-family{context['processor_family']}"
                f"-model{context['processor_model']}")
    return slug(context.get("processor_name", "unknown")) or "unknown"


def run_folder_name(context):
    """"2026-12-09-1a2b3c4": the day the run began and the commit it was
    built from."""
    return f"{context.get('date', '')[:10] or 'undated'}-{context.get('build_commit', 'unknown')}"


def size_text(size):
    return f"{size >> 20} MiB" if size >= 1 << 20 else f"{size >> 10} KiB"


MACHINE_KEYS = (("processor_vendor", "vendor"), ("processor_family", "family"),
                ("processor_model", "model"), ("processor_stepping", "stepping"),
                ("processor_sets", "instruction sets"), ("virtual_machine", "virtual machine"),
                ("num_cpus", "logical processors"), ("mhz_per_cpu", "clock the run saw, MHz"),
                ("tsc_hz", "time-stamp counter, Hz"), ("build_commit", "built from"),
                ("build_compiler", "compiler"), ("build_type", "build type"),
                ("library", "library"))


def machine_page(run):
    """The processor and the build, as the run recorded them."""
    c = run.context
    lines = [f"# {c.get('processor_name', 'unknown')}", "",
             f"As the run of {c.get('date', '')[:10]} recorded it.", ""]
    for key, label in MACHINE_KEYS:
        if key in c:
            lines.append(f"- {label}: {c[key]}")
    lines += ["", "Caches:", ""]
    lines += [f"- {key.removeprefix('cache_')}: {text}" for key, text in sorted(c.items())
              if key.startswith("cache_")] or ["- none recorded"]
    return "\n".join(lines) + "\n"


def draw(run_folder):
    """A filed run's chart and tables, from its JSON."""
    run = explorer_json.load(os.path.join(run_folder, "results.json"))
    plot.draw_chart(run, os.path.join(run_folder, "roofline.png"))
    output.write_text(os.path.join(run_folder, "tables.md"), report.report(run) + "\n")


def file_json(json_path, filed_path):
    """The explorer's JSON as it wrote it, but for the executable's path,
    reduced to its name: where a machine keeps its builds says nothing of
    the run."""
    with open(json_path) as f:
        results = json.load(f)
    executable = results.get("context", {}).get("executable")
    if isinstance(executable, str):
        results["context"]["executable"] = os.path.basename(executable)
    output.write_text(filed_path, json.dumps(results, indent=2) + "\n")


def add(gallery, json_path, program_path, instructions_path):
    run = explorer_json.load(json_path)
    if run.version < 2:
        raise explorer_json.Unusable(
            f"{json_path} is of format version {run.version}, which records neither the "
            "processor nor the commit: file runs of an explorer of version 2 or later")
    folder = os.path.join(gallery, processor_folder(run.context), run_folder_name(run.context))
    if os.path.exists(folder):
        raise explorer_json.Unusable(f"{os.path.relpath(folder)} is filed already")
    os.makedirs(folder)
    try:
        file_json(json_path, os.path.join(folder, "results.json"))
        for path, name in ((program_path, "mean4.txt"), (instructions_path, "instructions.md")):
            if path:
                shutil.copyfile(path, os.path.join(folder, name))
        output.write_text(os.path.join(folder, "machine.md"), machine_page(run))
        draw(folder)
    except (OSError, explorer_json.Unusable):
        shutil.rmtree(folder)
        raise
    return f"filed {os.path.relpath(folder)}"


def program_lines(run_folder):
    """{"C++": 678, ...} from the program's report, where the run has one."""
    try:
        with open(os.path.join(run_folder, "mean4.txt")) as f:
            return {m[1]: int(m[2]) for m in map(PROGRAM_LINE.match, f) if m}
    except OSError:
        return {}


def best(results, variants, full_side, cores, written_by=None):
    """(name, ms, x_limit) of the fastest variant on the full image on
    `cores`, of one author where given."""
    points = [(r["ms"], name, r.get("x_limit")) for (name, side), r in results.items()
              if side == full_side and name in variants and variants[name].cores == cores
              and written_by in (None, report.author(variants[name]))]
    if not points:
        return None
    ms, name, x_limit = min(points)
    return name, ms, x_limit


def runs_newest_last(processor):
    """The run folders of a processor's folder, by the date their runs began."""
    runs = [os.path.join(processor, r) for r in os.listdir(processor)
            if os.path.isfile(os.path.join(processor, r, "results.json"))]
    return sorted(runs, key=lambda run: explorer_json.load(os.path.join(run, "results.json"))
                  .context.get("date", ""))


def summary_row(processor, run_folder):
    run = explorer_json.load(os.path.join(run_folder, "results.json"))
    results = explorer_json.medians(run)
    variants, _ = explorer_json.facts(run)
    full_side = max(side for _, side in results)
    held, total, _ = report.model_accuracy(results, variants)
    recomputed = any(r.get("recomputed") for r in results.values())
    name = os.path.basename(run_folder)
    machine = f"{name}/machine.md" if os.path.exists(os.path.join(run_folder, "machine.md")) \
        else "machine.md"
    cells = [f"[{processor}]({processor}/{machine})",
             f"[{name}]({processor}/{name}/tables.md)",
             " / ".join(f"{label} {ms}" for label, ms in program_lines(run_folder).items()) or "–"]
    for cores, written_by in (("one", "hand-written"), ("one", "library"), ("one", "compiler"),
                              ("all", None)):
        found = best(results, variants, full_side, cores, written_by)
        cells.append(f"`{found[0]}` {found[1]:.1f} ms, {found[2]:.2f}×" if found else "–")
    cells.append(f"{held} of {total} ({held / total:.0%})" + (", recomputed" if recomputed else "")
                 if total else "–")
    settled = report.stability(results, variants)
    cells.append(f"{settled[0]} of {settled[1]}" if settled else "–")
    cells.append(", ".join(f"{n} {size_text(s)}" for n, s in explorer_json.caches(run))
                 or "none recorded")
    cells.append(f"{explorer_json.method(run)}, {run.version}")
    return "| " + " | ".join(cells) + " |"


PAGE_HEAD = """# Results gallery

Every processor the explorer has run on: one folder each, named by its vendor, family and
model, with one folder per run, holding the explorer's JSON from the command in
[docs/explorer.md](../docs/explorer.md#running-it), its chart, its tables and the processor and
build the run recorded (`machine.md`). This page is generated by `tools/gallery.py summary`; do
not edit it.

The columns: the benchmark program's three lines (ms for ten calls) where the run has
them; on the full image, the fastest one-core variant written by hand, by a portable
SIMD library (Highway) and by a compiler's vectoriser, and the fastest all-core
variant, each with its time per call and `x_limit`; how many one-core points the
model holds within 15 % ("recomputed" for runs from before the explorer paired its
roofs, whose model the tools rebuild from unpaired medians); how many one-core points
settled, their `x_limit` known within the run's `settled_within` (2 % in every run so
far): from method 4 on, by the 95 % interval of
their mean over the repetitions, in methods 2 and 3 by each repetition's own interval
of its pairs, which the repetitions' disagreement showed too narrow; the data caches
the run used; and the run's [method](../docs/measurement.md#the-methods), which says what
its figures mean, and its [format version](../docs/json.md). Runs of
different methods are not compared.
"""
COLUMNS = ("processor", "run", "program (ms)", "hand-written", "library", "compiler",
           "all cores", "model within 15 %", "settled", "caches", "method, format")


def newest_against_previous(processor, runs):
    """Lines comparing a processor's newest run with the one before it
    (tools/compare.py): a line a group, its geometric mean and what changed."""
    if len(runs) < 2:
        return []
    old, new = (explorer_json.load(os.path.join(r, "results.json")) for r in runs[-2:])
    title = f"- {processor}, {os.path.basename(runs[-2])} → {os.path.basename(runs[-1])}"
    try:
        comparison = compare.compare(old, new)
    except explorer_json.Unusable as reason:
        return [f"{title}: not compared: {reason}."]
    except ImportError:
        return [f"{title}: not compared: needs python3-scipy."]
    if compare.nothing_to_call(comparison):
        return [f"{title}: {compare.nothing_to_call(comparison)}"]
    untested = sum(p.verdict == "untested" for p in comparison.points)
    lines = [f"{title}, each point's figure new / old"
             + (f" ({untested} of {len(comparison.points)} points untested: too few repetitions)"
                if untested else "") + ":"]
    lines += [f"  - {group}: {count} points, ×{mean:.3f}; changed: {compare.changed_text(changed)}"
              for group, count, mean, changed, _ in compare.group_summary(comparison)]
    return lines


def summary(gallery):
    rows, charts, comparisons = [], [], []
    for processor in sorted(os.listdir(gallery)):
        folder = os.path.join(gallery, processor)
        runs = runs_newest_last(folder) if os.path.isdir(folder) else []
        rows += [summary_row(processor, run) for run in reversed(runs)]
        comparisons += newest_against_previous(processor, runs)
        if runs:
            newest = os.path.basename(runs[-1])
            charts += ["", f"## {processor}, {newest}", "",
                       f"![The explorer's chart of {processor}]({processor}/{newest}/roofline.png)"]
    notes = sorted(os.path.relpath(path, gallery)
                   for path in glob.glob(os.path.join(gallery, "*", "notes-*.md")))
    page = [PAGE_HEAD, "| " + " | ".join(COLUMNS) + " |", "|---" * len(COLUMNS) + "|"] + rows
    if notes:
        page += ["", "Notes on what the runs showed, dated, by processor: "
                 + ", ".join(f"[{n}]({n})" for n in notes) + "."]
    if comparisons:
        page += ["", "Each processor's newest run against the one before it "
                 "([tools/compare.py](../docs/comparing.md)):", ""] + comparisons
    page += ["", "The newest run of each processor:"] + charts
    output.write_text(os.path.join(gallery, "README.md"), "\n".join(page) + "\n")
    return f"wrote {os.path.relpath(os.path.join(gallery, 'README.md'))}: {len(rows)} runs"


def redraw(gallery, run_folders):
    run_folders = run_folders or sorted(
        os.path.dirname(p) for p in glob.glob(os.path.join(gallery, "*", "*", "results.json")))
    for run_folder in run_folders:
        draw(run_folder)
    return f"redrew {len(run_folders)} runs"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--gallery", default=DEFAULT_GALLERY,
                        help="the gallery's folder (default: results/)")
    commands = parser.add_subparsers(dest="command", required=True)
    add_command = commands.add_parser("add", help="file a run, from its JSON alone")
    add_command.add_argument("json")
    add_command.add_argument("--program", help="the benchmark program's output")
    add_command.add_argument("--instructions", help="tools/count_instructions.py's output")
    commands.add_parser("summary", help="write results/README.md, and nothing else")
    redraw_command = commands.add_parser("redraw", help="draw charts and tables again")
    redraw_command.add_argument("runs", nargs="*", help="run folders (default: every run)")
    arguments = parser.parse_args()
    try:
        if arguments.command == "add":
            done = add(arguments.gallery, arguments.json, arguments.program,
                       arguments.instructions)
        elif arguments.command == "summary":
            done = summary(arguments.gallery)
        else:
            done = redraw(arguments.gallery, arguments.runs)
    except explorer_json.Unusable as reason:
        sys.exit(f"gallery.py: {reason}")
    except OSError as error:
        output.fail("gallery.py", error)
    output.say("gallery.py", done)


if __name__ == "__main__":
    main()
