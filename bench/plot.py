#!/usr/bin/python3
"""Draws the explorer's results in one figure a person can read at a glance:
(a) each variant's time per call on the full image, fastest first, with its
    own paired limit and what bounds it;
(b) small multiples of throughput against image size, one panel per data
    flow (the reference and the compiler's, word domain, byte domain) and
    kind of store (cached, streaming), each with the memory limit it is
    measured against and a mark where the working set outgrows each cache;
    a panel of the limits themselves;
every variant coloured by its instruction set, one core solid and all cores
dashed. Prints, as Markdown, what bounds each variant at sides 256, 1024 and
the largest (its x_limit, its x_model and its bound), then how many one-core
points the model holds within 15 % and, for each point outside, why.

    build/test/mean4_explore --benchmark_repetitions=3 --benchmark_min_time=0.1 \\
        --benchmark_out=results.json --benchmark_out_format=json
    /usr/bin/python3 bench/plot.py results.json roofline.png

Every figure is the median over the repetitions. A variant is drawn against
the limit measured in the same iterations as its own calls (limit_ms, x_limit),
not against the limit benchmark's separate median: bandwidth on a shared
machine drifts between the two.

Takes the explorer's JSON with every repetition or with aggregates only
(--benchmark_report_aggregates_only=true), and draws whatever sizes the run
has. A file it cannot use is refused with one line and exit status 1.

Needs matplotlib (Debian: python3-matplotlib).
"""
import json
import math
import statistics
import sys
from collections import defaultdict

SCALE_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
# Each pixel is one byte read and one 32-bit word written.
BYTES_PER_PIXEL = 5
COUNTERS = ("limit_ms", "x_limit", "x_limit_q1", "x_limit_q3", "compute_ns_per_pixel",
            "compute_ms", "pattern_ms", "model_ms", "x_model", "memory_over_compute")
# How far a point may sit from its model and still count as explained.
MODEL_TOLERANCE = 0.15
TABLE_SIDES = (256, 1024)


class Unusable(Exception):
    """A results file plot.py cannot draw, and why, in one line."""


def load(json_path):
    """The explorer's benchmarks and the run's context from json_path."""
    try:
        with open(json_path) as f:
            results = json.load(f)
    except OSError as error:
        raise Unusable(f"cannot read {json_path}: {error.strerror}")
    except (json.JSONDecodeError, UnicodeDecodeError) as error:
        raise Unusable(f"{json_path} is not JSON: {error}")
    benchmarks = results.get("benchmarks") if isinstance(results, dict) else None
    if not isinstance(benchmarks, list) or not benchmarks:
        raise Unusable(f"{json_path} has no benchmarks: give it the JSON of "
                       "mean4_explore --benchmark_out=FILE --benchmark_out_format=json")
    return benchmarks, results.get("context", {})


def benchmark_key(run):
    """(variant or limit, side) for one of the explorer's benchmarks, else None."""
    parts = run.get("run_name", run.get("name", "")).removesuffix("/manual_time").split("/")
    if len(parts) != 2 or not parts[1].isdigit():
        return None
    return parts[0], int(parts[1])


def medians(benchmarks):
    """By (name, side): the median ms per call, limit_ms and x_limit, and the
    limit it was measured against ("limit_streaming", ...). From every
    repetition where the run kept them, else from its median aggregates."""
    samples = defaultdict(lambda: defaultdict(list))
    aggregated = defaultdict(dict)
    limits = {}
    for run in benchmarks:
        key = benchmark_key(run)
        if key is None or run.get("error_occurred"):
            continue
        if run.get("label", "").startswith("vs "):
            limits[key] = run["label"].removeprefix("vs ")
        values = {"ms": run["real_time"] * SCALE_TO_MS[run["time_unit"]]}
        values.update({c: run[c] for c in COUNTERS if c in run})
        if run.get("run_type") == "aggregate":
            if run.get("aggregate_name") == "median":
                aggregated[key] = values
            continue
        for name, value in values.items():
            samples[key][name].append(value)
    results = {key: {name: statistics.median(v) for name, v in series.items()}
               for key, series in samples.items()}
    for key, values in aggregated.items():
        results.setdefault(key, values)
    for key, values in results.items():
        # "vs limit_cached, bound=memory"
        label = limits.get(key, "").split(", ")
        values["limit"] = label[0]
        values["bound"] = next((p.removeprefix("bound=") for p in label if p.startswith("bound=")),
                               "")
    add_pattern_model(results)
    return results


def add_pattern_model(results):
    """Where the run has no pattern_ms (explorers before the paired pattern
    copy), the model from what such a run has: the compute roof, and the
    three-row copy's own median (limit_*_3rows) as the memory roof of a
    one-core variant. Unpaired, so the figures drift with the machine."""
    for (name, side), r in results.items():
        if "pattern_ms" in r or "compute_ms" not in r or name.endswith("_all_cores"):
            continue
        pattern = results.get((r["limit"] + "_3rows", side))
        if pattern is None:
            continue
        r["pattern_ms"] = pattern["ms"]
        r["model_ms"] = max(r["compute_ms"], r["pattern_ms"])
        r["x_model"] = r["ms"] / r["model_ms"]
        r["memory_over_compute"] = r["pattern_ms"] / r["compute_ms"]
        r["recomputed"] = True
    for r in results.values():
        if "memory_over_compute" in r:
            # The medians decide, not one repetition's label.
            r["bound"] = "memory" if r["memory_over_compute"] > 1 else "compute"


def skipped(benchmarks):
    out = {}
    for run in benchmarks:
        if run.get("error_occurred"):
            name = run["name"].removesuffix("/manual_time")
            out[name.split("/")[0]] = run.get("error_message", "")
    return out


# One colour per instruction set, on either architecture.
SET_COLOURS = {"scalar": "black", "autovec": "tab:gray", "autovec_clang": "darkkhaki",
               "hwy": "tab:pink", "sse41": "tab:brown", "avx2": "tab:blue", "avx512": "tab:purple",
               "neon": "tab:cyan", "sve": "tab:green", "sve2": "tab:red"}
LIMIT_COLOURS = {"limit_cached": "gold", "limit_streaming": "darkorange"}


def instruction_set(variant):
    """"avx2" for avx2_bytes_stream_all_cores; "autovec_clang" and "hwy",
    the compiler's and the library's, stand for their own."""
    return "autovec_clang" if variant.startswith("autovec_clang") else variant.split("_")[0]


def approach(variant):
    """Who wrote the variant: "hand-written", "library", "compiler", or
    "reference" for the scalar reference."""
    return {"scalar": "reference", "autovec": "compiler", "autovec_clang": "compiler",
            "hwy": "library"}.get(instruction_set(variant), "hand-written")


def colour(variant):
    return SET_COLOURS.get(instruction_set(variant), "tab:olive")


def flow(variant):
    """The panel column a variant belongs to."""
    if approach(variant) != "hand-written":
        return "reference, compiler, library"
    return "byte domain" if "_bytes" in variant else "word domain"


def streaming(variant):
    return "_stream" in variant.removesuffix("_all_cores")


def caches(context):
    """(name, bytes) of each data cache the run used: the explorer's own
    cache_L1d, cache_L2, ... ("49152 bytes, from sysconf"), leaving out a size
    it did not use or only assumed; from runs before those, Google
    Benchmark's list."""
    found = []
    for key, text in context.items():
        if (key.startswith("cache_") and isinstance(text, str) and "not used" not in text
                and "assumed" not in text):
            name = key.removeprefix("cache_")
            if not name.endswith("i") and text.split(" ")[0].isdigit():
                found.append((name, int(text.split(" ")[0])))
    if found:
        return sorted(found)
    for cache in context.get("caches", []):
        if cache.get("type") in ("Data", "Unified") and cache.get("size", 0) > 0:
            name = f"L{cache.get('level', '?')}" + ("d" if cache.get("type") == "Data" else "")
            found.append((name, cache["size"]))
    return found


def cache_sides(context):
    """(side, label) where the working set, source plus result, outgrows each
    data cache of the processor the run came from."""
    marks = []
    for name, size in caches(context):
        kib = f"{size // 1024} KiB" if size < 1 << 20 else f"{size >> 20} MiB"
        marks.append((math.sqrt(size / BYTES_PER_PIXEL), f"{name} {kib}"))
    return marks


def gigapixels(side, r):
    return side * side / (r["ms"] * 1e-3) / 1e9


def two_rows_a_pass(variant):
    return "_2rows" in variant


def draw_series(axes, results, name, colour_, line, width=1.4):
    points = sorted((side, gigapixels(side, r)) for (n, side), r in results.items() if n == name)
    if points:
        # Squares tell a two-row kernel from the one-row kernel of its set.
        axes.plot([p[0] for p in points], [p[1] for p in points],
                  marker="s" if two_rows_a_pass(name) else "o",
                  markersize=4 if two_rows_a_pass(name) else 3, color=colour_, linestyle=line,
                  linewidth=width, label=name)


def mark_caches(axes, sides, context):
    for side, label in cache_sides(context):
        if sides and sides[0] <= side <= sides[-1]:
            axes.axvline(side, color="gray", linestyle="-.", linewidth=0.8)
            axes.text(side, 0.02, " " + label, transform=axes.get_xaxis_transform(), fontsize=7,
                      color="gray", rotation=90, va="bottom")


def size_axis(axes, sides):
    axes.set_xscale("log")
    axes.set_xticks(sides, [str(side) for side in sides])
    axes.minorticks_off()
    axes.grid(True, which="both", alpha=0.3)


def draw_full_image(axes, results, variants, full_side, benchmarks):
    """Each variant's time on the full image, fastest on top, with its paired
    limit as a tick, x_limit and bound beside it."""
    bars = sorted(((name, results[(name, full_side)]) for name in variants
                   if (name, full_side) in results), key=lambda item: -item[1]["ms"])
    names = [name for name, _ in bars]
    axes.barh(names, [r["ms"] for _, r in bars], color=[colour(n) for n in names], alpha=0.75,
              hatch=["//" if streaming(n) else "" for n in names], edgecolor="white")
    axes.scatter([r.get("limit_ms", float("nan")) for _, r in bars], names, marker="|", s=200,
                 color="black", zorder=3, label="its memory limit, paired")
    for name, r in bars:
        bound = f", {r['bound']}-bound" if r.get("bound") else ""
        axes.text(r["ms"], name, f" {r['ms']:.1f} ms, {r.get('x_limit', 0):.2f}× limit{bound}",
                  va="center", fontsize=7)
    for name, message in skipped(benchmarks).items():
        if name not in names and not name.startswith("limit_"):
            axes.barh(name, 0)
            axes.text(0, name, "  " + message, va="center", fontsize=7)
    axes.tick_params(axis="y", labelsize=7)
    axes.set_xlabel(f"ms per call, {full_side} × {full_side} (median)")
    axes.set_title("Full image: fastest on top", fontsize=10)
    axes.margins(x=0.65)
    axes.legend(fontsize=7, loc="lower right")


def main(json_path, png_path):
    benchmarks, context = load(json_path)
    results = medians(benchmarks)
    if not results:
        raise Unusable(f"{json_path} holds no result of mean4_explore (benchmarks named "
                       "variant/side, with no error)")
    try:
        import matplotlib
    except ImportError:
        raise Unusable("needs matplotlib (Debian package python3-matplotlib)")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.lines import Line2D
    from matplotlib.patches import Patch
    variants = sorted({name for name, _ in results if not name.startswith("limit_")})
    sides = sorted({side for _, side in results})
    full_side = max(sides, default=0)

    fig = plt.figure(figsize=(17, 10))
    grid = fig.add_gridspec(2, 4, width_ratios=(1.3, 1, 1, 1), left=0.13, right=0.99, top=0.93,
                            bottom=0.14, wspace=0.25, hspace=0.3)
    draw_full_image(fig.add_subplot(grid[:, 0]), results, variants, full_side, benchmarks)

    columns = ("reference, compiler, library", "word domain", "byte domain")
    first = None
    for row, stores in enumerate(("cached", "streaming")):
        for column, data_flow in enumerate(columns):
            axes = fig.add_subplot(grid[row, column + 1], sharey=first)
            first = first or axes
            limit = "limit_" + stores
            draw_series(axes, results, limit, LIMIT_COLOURS[limit], "-", 3)
            draw_series(axes, results, limit + "_all_cores", LIMIT_COLOURS[limit], "--", 3)
            for name in variants:
                if flow(name) == data_flow and streaming(name) == (stores == "streaming"):
                    draw_series(axes, results, name, colour(name),
                                "--" if name.endswith("_all_cores") else "-")
            title = data_flow if data_flow.startswith("reference") else f"{data_flow}, hand-written"
            axes.set_title(f"{title}, {stores} stores", fontsize=10)
            size_axis(axes, sides)
            mark_caches(axes, sides, context)
            axes.set_yscale("log")
            if column == 0:
                axes.set_ylabel("gigapixels per second (median)")
            if row == 1:
                axes.set_xlabel("image side (pixels)")

    sets_present = sorted({instruction_set(n) for n in variants},
                          key=lambda s: list(SET_COLOURS).index(s) if s in SET_COLOURS else 99)
    handles = [Patch(color=colour(s), label=s) for s in sets_present]
    handles += [Line2D([], [], color="black", linestyle="-", label="solid: one core"),
                Line2D([], [], color="black", linestyle="--", label="dashed: all cores")]
    if any(two_rows_a_pass(n) for n in variants):
        handles.append(Line2D([], [], color="black", marker="s", markersize=4, linestyle="",
                              label="squares: two rows a pass"))
    handles += [Line2D([], [], color=LIMIT_COLOURS["limit_cached"], linewidth=3,
                       label="cached limit"),
                Line2D([], [], color=LIMIT_COLOURS["limit_streaming"], linewidth=3,
                       label="streaming limit"),
                Line2D([], [], color="gray", linestyle="-.", label="working set = a cache")]
    fig.legend(handles=handles, loc="lower center", ncol=min(len(handles), 7), fontsize=9,
               frameon=False)
    fig.suptitle(f"mean4_explore: each variant against the memory limits, by data flow and store "
                 f"kind ({context.get('date', '')[:10]}; hatched bars: streaming stores)",
                 fontsize=12)
    fig.savefig(png_path, dpi=90)
    print(bound_table(results, variants, TABLE_SIDES + (full_side,)))
    print()
    print(model_report(results))


def bound_table(results, variants, sides):
    """What bounds each variant at each side, as a Markdown table."""
    sides = sorted(set(sides))
    lines = ["| variant | written by | " + " | ".join(f"{s}: x_limit, x_model, bound" for s in sides)
             + " |", "|---|---|" + "---|" * len(sides)]
    for name in variants:
        cells = []
        for side in sides:
            r = results.get((name, side))
            if r is None or "x_limit" not in r:
                cells.append("–")
            else:
                model = f"{r['x_model']:.2f}" if "x_model" in r else "–"
                cells.append(f"{r['x_limit']:.2f}, {model}, {r.get('bound') or '–'}")
        lines.append(f"| `{name}` | {approach(name)} | " + " | ".join(cells) + " |")
    return "\n".join(lines)


def why(r):
    """Why a point sits outside its model, from its roofs."""
    x, bound = r["x_model"], r["bound"]
    lower_share = min(r["memory_over_compute"], 1 / r["memory_over_compute"])
    if x > 1:
        if lower_share >= 0.5:
            return (f"{bound}-bound, the other roof at {lower_share:.2f} of it: the kernel's "
                    "arithmetic and its transfers overlap only in part")
        return (f"{bound}-bound, with the other roof far below: the kernel runs slower than its "
                "own data flow allows")
    return (f"faster than its {bound} roof: the roof was measured high"
            + (" (the copy with its pattern moves the bytes less well than the kernel)"
               if bound == "memory" else ""))


def model_accuracy(results):
    """(points within MODEL_TOLERANCE, one-core points with a model, the
    points outside as (name, side, result))."""
    points = [(name, side, r) for (name, side), r in sorted(results.items())
              if "x_model" in r and not name.endswith("_all_cores")]
    outside = [(n, s, r) for n, s, r in points if abs(r["x_model"] - 1) > MODEL_TOLERANCE]
    return len(points) - len(outside), len(points), outside


def model_report(results):
    """How many one-core points the model holds, and why each outside is."""
    held, total, outside = model_accuracy(results)
    if total == 0:
        return "The run has no modelled point."
    recomputed = any(r.get("recomputed") for r in results.values())
    lines = [f"The model holds {held} of {total} one-core points within "
             f"{MODEL_TOLERANCE:.0%} ({held / total:.0%})"
             + (", recomputed from the run's unpaired three-row copies" if recomputed else "")
             + (":" if outside else ".")]
    for name, side, r in sorted(outside, key=lambda p: -abs(p[2]["x_model"] - 1)):
        lines.append(f"- `{name}/{side}` x_model {r['x_model']:.2f}: {why(r)}")
    return "\n".join(lines)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: plot.py RESULTS.json CHART.png")
    try:
        main(sys.argv[1], sys.argv[2])
    except Unusable as reason:
        sys.exit(f"plot.py: {reason}")
