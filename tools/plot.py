#!/usr/bin/python3
"""Draws the explorer's results in one figure a person can read at a glance:
(a) each variant's time per call on the full image, fastest first, with its
    own paired limit and what bounds it;
(b) small multiples of throughput against image size, one panel per data
    flow (the reference, compiler and library rows; the hand-written word
    and byte domains) and kind of store, each with the memory limit it is
    measured against and a mark where the working set outgrows each cache;
every variant coloured by its instruction set (the reference, the compilers'
and the library's by their own colours), one core solid and all cores
dashed, two rows a pass in squares, and each time's interval as an error
bar where the run has one, the legend saying which (interval_meaning). Then
prints, as Markdown, what bounds each variant, how well the model holds,
and how many points settled, with those that did not (report.py).

    /usr/bin/python3 tools/plot.py results.json roofline.png

The command that makes results.json is in docs/explorer.md. Every figure is
the point's as explorer_json reads it: from method 4 on the mean over the
repetitions, before it their median. A variant is drawn against the limit
measured in the same iterations as its own calls (limit_ms, x_limit), not
against the limit benchmark's separate median: bandwidth on a shared machine
drifts between the two. Takes the JSON with every repetition or with
aggregates only, of any format version (explorer_json.py), and draws
whatever sizes the run has. A file it cannot use is refused with one line
and exit status 1; a chart or report it cannot write, with exit status 4.

Needs matplotlib (Debian: python3-matplotlib).
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import explorer_json  # noqa: E402
import output  # noqa: E402
import report  # noqa: E402

# Hand-written kernels by instruction set, on every architecture; the
# reference, the compilers' and the library's rows by kernel, since no fact
# tells GCC's vectorised reference from clang's.
SET_COLOURS = {"SSE4.1": "tab:brown", "AVX2": "tab:blue", "AVX-512BW": "tab:purple",
               "NEON": "tab:cyan", "SVE": "tab:green", "SVE2": "tab:red", "RVV": "teal"}
KERNEL_COLOURS = {"scalar": "black", "autovec": "tab:gray", "autovec_clang": "darkkhaki",
                  "hwy": "tab:pink", "hwy_stream": "tab:pink"}
OTHER_COLOUR = "tab:olive"
LIMIT_COLOURS = {"cached": "gold", "streaming": "darkorange"}
COLUMNS = ("reference, compiler, library", "word domain", "byte domain")


def colour_key(facts):
    """What a variant is coloured by: its set if hand-written, else its kernel."""
    if facts.written_by == "hand" and facts.flow != "reference":
        return facts.isa
    return facts.kernel


def colour(facts):
    key = colour_key(facts)
    return SET_COLOURS.get(key) or KERNEL_COLOURS.get(key) or OTHER_COLOUR


def column(facts):
    """The panel column a variant belongs to: a kernel loaded from outside
    the tree by its data flow, as the hand-written ones."""
    if facts.written_by not in ("hand", "user") or facts.flow == "reference":
        return COLUMNS[0]
    return COLUMNS[1] if facts.flow == "words" else COLUMNS[2]


def cache_sides(run):
    """(side, label) where the working set, source plus result, outgrows each
    data cache of the processor the run came from."""
    marks = []
    for name, size in explorer_json.caches(run):
        kib = f"{size // 1024} KiB" if size < 1 << 20 else f"{size >> 20} MiB"
        marks.append((math.sqrt(size / explorer_json.BYTES_PER_PIXEL), f"{name} {kib}"))
    return marks


def gigapixels(side, r):
    return side * side / (r["ms"] * 1e-3) / 1e9


def interval_meaning(run):
    """What the run's error bars are, in the legend's words; "" where it has
    none (before method 2)."""
    method = explorer_json.method(run)
    if method >= 4:
        return "bars: 95 % interval of the mean over the repetitions"
    if method >= 2:
        return "bars: from the lowest repetition's pair interval to the highest's"
    return ""


def interval_errors(side, r):
    """(below, above) the point's rate: its time's interval as gigapixels a
    second, where the run has one (method 2 on; interval_meaning)."""
    if "call_ms_lo" not in r or "call_ms_hi" not in r or r["call_ms_lo"] <= 0:
        return 0.0, 0.0
    rate = gigapixels(side, r)
    return (rate - gigapixels(side, {"ms": r["call_ms_hi"]}),
            gigapixels(side, {"ms": r["call_ms_lo"]}) - rate)


def draw_series(axes, results, name, colour_, line, width=1.4, squares=False):
    points = sorted((side, r) for (n, side), r in results.items() if n == name)
    if points:
        errors = [interval_errors(side, r) for side, r in points]
        axes.errorbar([side for side, _ in points], [gigapixels(side, r) for side, r in points],
                      yerr=[[e[0] for e in errors], [e[1] for e in errors]],
                      marker="s" if squares else "o", markersize=4 if squares else 3,
                      color=colour_, linestyle=line, linewidth=width, elinewidth=0.8, capsize=2,
                      label=name)


def mark_caches(axes, sides, run):
    for side, label in cache_sides(run):
        if sides and sides[0] <= side <= sides[-1]:
            axes.axvline(side, color="gray", linestyle="-.", linewidth=0.8)
            axes.text(side, 0.02, " " + label, transform=axes.get_xaxis_transform(), fontsize=7,
                      color="gray", rotation=90, va="bottom")


def size_axis(axes, sides):
    axes.set_xscale("log")
    axes.set_xticks(sides, [str(side) for side in sides])
    axes.minorticks_off()
    axes.grid(True, which="both", alpha=0.3)


def draw_full_image(axes, run, results, variants, full_side):
    """Each variant's time on the full image, fastest on top, with its paired
    limit as a tick, x_limit and bound beside it."""
    bars = sorted(((name, results[(name, full_side)]) for name in variants
                   if (name, full_side) in results), key=lambda item: -item[1]["ms"])
    names = [name for name, _ in bars]
    # The time's interval, where the run has one.
    errors = [[r["ms"] - r.get("call_ms_lo", r["ms"]) for _, r in bars],
              [r.get("call_ms_hi", r["ms"]) - r["ms"] for _, r in bars]]
    axes.barh(names, [r["ms"] for _, r in bars], color=[colour(variants[n]) for n in names],
              alpha=0.75, hatch=["//" if variants[n].stores == "streaming" else "" for n in names],
              edgecolor="white", xerr=errors, error_kw={"elinewidth": 0.8, "capsize": 2})
    axes.scatter([r.get("limit_ms", float("nan")) for _, r in bars], names, marker="|", s=200,
                 color="black", zorder=3,
                 label="its limit, paired (the fastest copy from method 2)")
    for name, r in bars:
        bound = f", {r['bound']}-bound" if r.get("bound") else ""
        axes.text(r["ms"], name, f" {r['ms']:.1f} ms, {r.get('x_limit', 0):.2f}× limit{bound}",
                  va="center", fontsize=7)
    for name, message in explorer_json.skipped(run).items():
        if name not in names and not name.startswith("limit_"):
            axes.barh(name, 0)
            axes.text(0, name, "  " + message, va="center", fontsize=7)
    axes.tick_params(axis="y", labelsize=7)
    axes.set_xlabel(f"ms per call, {full_side} × {full_side}")
    axes.set_title("Full image: fastest on top", fontsize=10)
    axes.margins(x=0.65)
    axes.legend(fontsize=7, loc="lower right")


def draw_panel(axes, results, variants, copies, stores, flow_column):
    for name, copy in copies.items():
        if copy.copy == "limit" and copy.stores == stores:
            draw_series(axes, results, name, LIMIT_COLOURS[stores],
                        "--" if copy.cores == "all" else "-", 3)
    for name, facts in sorted(variants.items()):
        if column(facts) == flow_column and facts.stores == stores:
            draw_series(axes, results, name, colour(facts), "--" if facts.cores == "all" else "-",
                        squares=facts.rows_per_pass == 2)
    title = flow_column if flow_column == COLUMNS[0] else f"{flow_column}, by hand"
    axes.set_title(f"{title}, {stores} stores", fontsize=10)


def legend_handles(variants, run):
    from matplotlib.lines import Line2D
    from matplotlib.patches import Patch
    order = list(KERNEL_COLOURS) + list(SET_COLOURS)
    keys = sorted({colour_key(f) for f in variants.values()},
                  key=lambda k: order.index(k) if k in order else len(order))
    by_key = {colour_key(f): f for f in variants.values()}
    handles = [Patch(color=colour(by_key[k]), label=k) for k in keys
               if not (k == "hwy_stream" and "hwy" in by_key)]
    handles += [Line2D([], [], color="black", linestyle="-", label="solid: one core"),
                Line2D([], [], color="black", linestyle="--", label="dashed: all cores")]
    if any(f.rows_per_pass == 2 for f in variants.values()):
        handles.append(Line2D([], [], color="black", marker="s", markersize=4, linestyle="",
                              label="squares: two rows a pass"))
    handles += [Line2D([], [], color=LIMIT_COLOURS["cached"], linewidth=3,
                       label="cached widening copy"),
                Line2D([], [], color=LIMIT_COLOURS["streaming"], linewidth=3,
                       label="streaming widening copy"),
                Line2D([], [], color="gray", linestyle="-.", label="working set = a cache")]
    if interval_meaning(run):
        handles.append(Line2D([], [], color="black", marker="|", markersize=8, linestyle="",
                              label=interval_meaning(run)))
    return handles


def draw_chart(run, png_path):
    """The run's chart, written to png_path."""
    results = explorer_json.medians(run)
    if not results:
        raise explorer_json.Unusable(f"{run.path} holds no result of mean4_explore (benchmarks "
                                     "named variant/side, with no error)")
    try:
        import matplotlib
    except ImportError:
        raise explorer_json.Unusable("needs matplotlib (Debian package python3-matplotlib)")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    variants, copies = explorer_json.facts(run)
    measured = {name for name, _ in results}
    variants = {n: f for n, f in variants.items() if n in measured}
    sides = sorted({side for _, side in results})

    fig = plt.figure(figsize=(17, 10))
    grid = fig.add_gridspec(2, 4, width_ratios=(1.3, 1, 1, 1), left=0.13, right=0.99, top=0.93,
                            bottom=0.14, wspace=0.25, hspace=0.3)
    draw_full_image(fig.add_subplot(grid[:, 0]), run, results, variants, sides[-1])
    first = None
    for row, stores in enumerate(("cached", "streaming")):
        for index, flow_column in enumerate(COLUMNS):
            axes = fig.add_subplot(grid[row, index + 1], sharey=first)
            first = first or axes
            draw_panel(axes, results, variants, copies, stores, flow_column)
            size_axis(axes, sides)
            mark_caches(axes, sides, run)
            axes.set_yscale("log")
            if index == 0:
                axes.set_ylabel("gigapixels per second")
            if row == 1:
                axes.set_xlabel("image side (pixels)")
    handles = legend_handles(variants, run)
    fig.legend(handles=handles, loc="lower center", ncol=min(len(handles), 8), fontsize=9,
               frameon=False)
    fig.suptitle(f"mean4_explore: each variant against the memory limits, by data flow and store "
                 f"kind ({run.context.get('date', '')[:10]}; hatched bars: streaming stores)",
                 fontsize=12)
    try:
        fig.savefig(png_path, dpi=90)
    except OSError as error:
        error.filename = error.filename or png_path
        raise
    finally:
        plt.close(fig)


def main(arguments):
    if len(arguments) != 2:
        sys.exit("usage: plot.py RESULTS.json CHART.png")
    try:
        run = explorer_json.load(arguments[0])
        draw_chart(run, arguments[1])
    except explorer_json.Unusable as reason:
        sys.exit(f"plot.py: {reason}")
    except OSError as error:
        output.fail("plot.py", error)
    output.say("plot.py", report.report(run))


if __name__ == "__main__":
    main(sys.argv[1:])
