#!/usr/bin/python3
"""Draws the explorer's results in three charts:
(a) each variant's time per call on the full image, with its own paired limit;
(b) throughput against image size: every variant, both one-core memory roofs
    (the limits) and each one-core variant's compute roof, dotted;
(c) each variant's x_limit against image size, where 1.0 is as fast as its
    limit, with the quartiles of its pairs as error bars;
and prints, as Markdown, what bounds each variant at sides 256, 1024 and the
largest (its x_limit, its x_model and its bound), then how many one-core
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


def style(variant, limit):
    """Colour by instruction set and data flow; dashes for all cores, dots for
    streaming stores (the limit the explorer measured the variant against)."""
    colours = {"scalar": "black", "autovec": "tab:gray", "sse41": "tab:brown",
               "avx2": "tab:blue", "avx512": "tab:purple", "avx2_bytes": "tab:green",
               "avx512_bytes": "tab:red"}
    base = variant.removesuffix("_all_cores").removesuffix("_stream")
    line = "--" if limit.endswith("_all_cores") else (":" if "streaming" in limit else "-")
    return colours.get(base, "tab:olive"), line


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


def draw_against_size(axes, results, names, value, context, spread=None, roof=None):
    """One curve per name of value(side, result) against the image side, with
    a mark where the working set passes each cache; spread(result) gives
    error bars (low, high), roof(result) a level to draw dotted."""
    limit_colours = {"limit_cached": "gold", "limit_streaming": "orange"}
    for name in names:
        points = sorted((side, value(side, r)) for (n, side), r in results.items() if n == name)
        points = [(side, y) for side, y in points if y is not None]
        if not points:
            continue
        limit = next((r["limit"] for (n, _), r in results.items() if n == name), "")
        colour, line = (limit_colours[name], "-") if name in limit_colours else style(name, limit)
        xs, ys = [side for side, _ in points], [y for _, y in points]
        width = 3 if name in limit_colours else 1.2
        if spread:
            bars = [spread(results[(name, side)]) for side in xs]
            if all(bars):
                axes.errorbar(xs, ys, yerr=[[max(0, y - lo) for y, (lo, _) in zip(ys, bars)],
                                            [max(0, hi - y) for y, (_, hi) in zip(ys, bars)]],
                              fmt="none", ecolor=colour, elinewidth=0.8, capsize=2)
        axes.plot(xs, ys, marker="o", markersize=3, color=colour, linestyle=line, linewidth=width,
                  label=name)
        if roof and not name.endswith("_all_cores"):
            level = next((roof(r) for (n, _), r in results.items() if n == name and roof(r)), None)
            if level:
                axes.axhline(level, color=colour, linestyle=(0, (1, 3)), linewidth=0.9)
    sides = sorted({side for _, side in results})
    axes.set_xscale("log")
    axes.set_xticks(sides, [str(side) for side in sides])
    axes.minorticks_off()
    for side, label in cache_sides(context):
        if sides and sides[0] <= side <= sides[-1]:
            axes.axvline(side, color="gray", linestyle="-.", linewidth=0.8)
            axes.text(side, 1.0, " " + label, transform=axes.get_xaxis_transform(), fontsize=7,
                      va="top", color="gray")
    axes.set_xlabel("image side in pixels (the working set, 5 bytes a pixel, passes each cache at "
                    "its mark)")
    axes.grid(True, which="both", alpha=0.3)
    axes.legend(fontsize=7, ncol=4, loc="upper center", bbox_to_anchor=(0.5, -0.1))


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
    variants = sorted({name for name, _ in results if not name.startswith("limit_")})
    full_side = max((side for _, side in results), default=0)
    fig, (full, throughput, ratio) = plt.subplots(1, 3, figsize=(21, 9))

    # (a) The full image: each variant's time, and its own limit as a tick.
    bars = sorted(((name, results[(name, full_side)]) for name in variants
                   if (name, full_side) in results), key=lambda item: -item[1]["ms"])
    names = [name for name, _ in bars]
    full.barh(names, [r["ms"] for _, r in bars], color=[style(n, r["limit"])[0] for n, r in bars],
              alpha=0.7)
    full.scatter([r.get("limit_ms", float("nan")) for _, r in bars], names, marker="|", s=300,
                 color="black", zorder=3, label="its limit, paired")
    for (name, r) in bars:
        full.text(r["ms"], name, f" {r['ms']:.1f} ms, {r.get('x_limit', 0):.2f}x", va="center",
                  fontsize=7)
    for name, message in skipped(benchmarks).items():
        if name not in names:
            full.barh(name, 0)
            full.text(0, name, "  " + message, va="center", fontsize=7)
    full.set_xlabel(f"milliseconds per call, {full_side} x {full_side} (median)")
    full.set_title("Full image: each variant and its paired limit")
    full.legend(fontsize=8, loc="lower right")

    # (b) Throughput against size, the one-core limits drawn thick.
    def gigapixels(side, r):
        return side * side / (r["ms"] * 1e-3) / 1e9

    def compute_roof(r):
        ns = r.get("compute_ns_per_pixel")
        return 1 / ns if ns else None

    draw_against_size(throughput, results, variants + ["limit_cached", "limit_streaming"],
                      gigapixels, context, roof=compute_roof)
    throughput.set_yscale("log")
    throughput.set_ylabel("gigapixels per second (median); dotted: each one-core variant's "
                          "compute roof")
    throughput.set_title("Throughput against image size: the memory roofs thick, compute roofs "
                         "dotted")

    # (c) Each variant against its own limit at every size.
    def quartiles(r):
        return (r["x_limit_q1"], r["x_limit_q3"]) if "x_limit_q1" in r else None

    draw_against_size(ratio, results, variants, lambda side, r: r.get("x_limit"), context,
                      spread=quartiles)
    ratio.axhline(1.0, color="black", linewidth=1)
    ratio.set_yscale("log")
    ratio.set_ylabel("time over its paired limit's (x_limit, median)")
    ratio.set_title("Each variant against its limit: 1.0 is as fast as the widening copy")

    fig.tight_layout()
    fig.savefig(png_path, dpi=80)
    print(bound_table(results, variants, TABLE_SIDES + (full_side,)))
    print()
    print(model_report(results))


def bound_table(results, variants, sides):
    """What bounds each variant at each side, as a Markdown table."""
    sides = sorted(set(sides))
    lines = ["| variant | " + " | ".join(f"{s}: x_limit, x_model, bound" for s in sides) + " |",
             "|---|" + "---|" * len(sides)]
    for name in variants:
        cells = []
        for side in sides:
            r = results.get((name, side))
            if r is None or "x_limit" not in r:
                cells.append("–")
            else:
                model = f"{r['x_model']:.2f}" if "x_model" in r else "–"
                cells.append(f"{r['x_limit']:.2f}, {model}, {r.get('bound') or '–'}")
        lines.append(f"| `{name}` | " + " | ".join(cells) + " |")
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
