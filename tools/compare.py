#!/usr/bin/python3
"""Did a change help? Compares two runs of the explorer, point by point:
two commits on one machine, or one commit on two processors.

    /usr/bin/python3 tools/compare.py OLD.json NEW.json
        [--metric bound|x_limit|x_model|time] [--min-effect 0.02]
        [--fail-if-slower REGEX] [--force]

For every variant and side in both runs: the old and new figure with its
spread, the ratio new / old, the Mann-Whitney U test's p-value over the
repetitions, and a verdict. A point counts as faster or slower only when the
difference is both significant and at least the minimum effect (2 % by
default); otherwise it is the same. Significant means p < 0.05 after Holm's
correction for the number of points compared, so that comparing a hundred
points does not call five of them changed by chance. Then the geometric
mean of the ratios per group (reference, hand-written, library, compiler,
kernels loaded by the user, all cores) and over everything, and whether the runs' limits themselves
moved; where no point can be called, one line that says so instead. Where
both runs probed the core (format version 4 on), whether it gave the
explorer as much throughput in both: a core that another hardware thread
shared in one run slows throughput-bound points there, whatever the change
did, and each such point says so.

By default it judges each point by the figure its bound makes steady
(--metric bound): x_limit, the call over the limit paired with it, where
memory bounds the point in both runs, which divides out the memory's
drift; x_model, the call over its own model, where compute bounds it in
either, since a compute-bound call over a memory copy moves with whatever
the shared caches do. A column says which. --metric x_limit, x_model or
time takes one figure for every point. The U test is exact where the
repetitions have no ties, so that more repetitions never call less; with
ties it takes the normal approximation with a continuity correction. A
point whose repetitions are too few for the test to reach significance
(three against three cannot go below p = 0.1) is "untested". Beside it the tool
says where the two runs' interquartile ranges of the pairs do not overlap
("quartiles apart"): a hint, not a verdict, since it takes the pairs' noise
within a run for the whole noise and misses the host's drift between runs.

Prints Markdown. Exit status: 0; 1 with --fail-if-slower when a variant it
names got slower; 2 when the runs cannot be compared (a file that is not the
explorer's JSON, two runs that share no point, or runs measured by different
methods, whose figures mean different things, unless --force); 4 when its
output cannot be written.

Needs scipy (Debian: python3-scipy).
"""
import argparse
import math
import os
import re
import statistics
import sys
from collections import defaultdict
from dataclasses import dataclass, field

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import explorer_json  # noqa: E402
import output  # noqa: E402
import report  # noqa: E402

ALPHA = 0.05
MIN_EFFECT = 0.02
# How far the core's throughput must move between the runs to count: the
# tenth the report holds a point to within one run.
CORE_MOVED = 1 - report.SHARED_CORE
GROUPS = ("reference", "hand-written", "library", "compiler", "user", "all cores")
# The figures a point can be judged by, and "bound", which picks one a point.
METRICS = ("bound", "x_limit", "x_model", "time")


@dataclass
class Point:
    name: str
    side: int
    group: str
    figure: str          # "x_limit", "x_model" or "time": what old and new hold
    old: list            # the metric, one value a repetition
    new: list
    old_spread: tuple    # (low, high): the quartiles' range over the repetitions, or the values'
    new_spread: tuple
    ratio: float         # median(new) / median(old)
    core_ratio: float = None  # the core's throughput, new / old, where both probed it
    p: float = None      # the U test's, where the repetitions allow it
    verdict: str = "same"  # "faster", "slower", "same", or "untested"


@dataclass
class Comparison:
    metric: str
    old_run: object
    new_run: object
    points: list = field(default_factory=list)
    new_points: list = field(default_factory=list)
    gone_points: list = field(default_factory=list)
    limits: list = field(default_factory=list)   # (name, side, old ms, new ms)
    core: tuple = None   # (old, new): median additions a ns over the shared points
    min_effect: float = MIN_EFFECT


def repetitions(run, figure):
    """{(name, side): [(value, q1, q3), ...]}, one entry a repetition of each
    benchmark that has the figure ("x_limit", "x_model" or "time"); q1 and
    q3 are None where the run has no quartiles of it."""
    found = defaultdict(list)
    for key, benchmark in explorer_json.measured(run):
        if benchmark.get("run_type") != "iteration":
            continue
        if figure == "time":
            found[key].append((explorer_json.call_ms(benchmark), None, None))
        elif figure in benchmark:
            found[key].append((benchmark[figure], benchmark.get(figure + "_q1"),
                               benchmark.get(figure + "_q3")))
    return found


def bound_figure(old, new):
    """The figure a point's bound makes steady, from each run's values of it
    (explorer_json.medians): x_limit where memory bounds it in both runs,
    x_model where compute bounds it in either and both runs model it."""
    modelled = "x_model" in old and "x_model" in new
    if modelled and "compute" in (old.get("bound"), new.get("bound")):
        return "x_model"
    return "x_limit"


def spread(values):
    """The quartiles' range over every repetition where there are quartiles,
    else the range of the values themselves."""
    if all(q1 is not None and q3 is not None for _, q1, q3 in values):
        return min(q1 for _, q1, _ in values), max(q3 for _, _, q3 in values)
    return min(v for v, _, _ in values), max(v for v, _, _ in values)


def smallest_p(n, m):
    """The smallest two-sided p a U test of n against m values can give."""
    return 2 / math.comb(n + m, n)


def quartiles_apart(point):
    """"lower" or "higher" where the new run's interquartile range lies wholly
    below or above the old run's, else ""."""
    if point.new_spread[1] < point.old_spread[0]:
        return "lower"
    if point.new_spread[0] > point.old_spread[1]:
        return "higher"
    return ""


def u_test(old, new):
    """The two-sided p of the Mann-Whitney U test: exact where the values
    have no ties, as scipy gives it only for the smallest samples by itself
    (from 9 against 9 it switched to the normal approximation, whose least p
    is ten times the exact one's), else the normal approximation with a
    continuity correction."""
    from scipy.stats import mannwhitneyu
    method = "exact" if len(set(old) | set(new)) == len(old) + len(new) else "asymptotic"
    return float(mannwhitneyu(old, new, alternative="two-sided", method=method).pvalue)


def judge(points, alpha, min_effect):
    """Each point's p, and its verdict: significant after Holm's correction
    over the points that could be tested, and at least min_effect."""
    tested = []
    for point in points:
        n, m = len(point.old), len(point.new)
        if n >= 2 and m >= 2 and smallest_p(n, m) < alpha:
            point.p = u_test(point.old, point.new)
            tested.append(point)
        else:
            point.verdict = "untested"
    # Holm: the k-th smallest p is held to alpha / (tests - k), until one fails.
    for rank, point in enumerate(sorted(tested, key=lambda p: p.p)):
        if point.p >= alpha / (len(tested) - rank):
            break
        if point.ratio <= 1 - min_effect:
            point.verdict = "faster"
        elif point.ratio >= 1 + min_effect:
            point.verdict = "slower"


def group(facts):
    if facts.cores == "all":
        return "all cores"
    return report.author(facts)


def can_call(comparison, alpha=ALPHA):
    """Whether any point could be called at all: the least p its repetitions
    allow below the strictest threshold of Holm's correction over the points
    tested, alpha over their number."""
    counts = [(len(p.old), len(p.new)) for p in comparison.points
              if len(p.old) >= 2 and len(p.new) >= 2]
    return any(smallest_p(n, m) < alpha / len(counts) for n, m in counts)


def compare(old_run, new_run, metric="bound", alpha=ALPHA, min_effect=MIN_EFFECT, force=False):
    """The comparison of two runs; Unusable where they cannot be compared."""
    old_method, new_method = explorer_json.method(old_run), explorer_json.method(new_run)
    if not force and old_method != new_method:
        raise explorer_json.Unusable(
            f"the runs were measured by different methods ({old_method} against {new_method}), "
            "so their figures mean different things: --force compares them anyway")
    figures = ("x_limit", "x_model") if metric == "bound" else (metric,)
    old = {f: repetitions(old_run, f) for f in figures}
    new = {f: repetitions(new_run, f) for f in figures}
    old_medians, new_medians = explorer_json.medians(old_run), explorer_json.medians(new_run)
    variants = {**explorer_json.facts(old_run)[0], **explorer_json.facts(new_run)[0]}
    # Variants only: the copies have times too, but they are what x_limit
    # divides by, and the limits' own drift is reported apart.
    old_keys, new_keys = set(old[figures[0]]), set(new[figures[0]])
    shared = sorted(key for key in old_keys & new_keys if key[0] in variants)
    if not shared:
        raise explorer_json.Unusable(f"{old_run.path} and {new_run.path} share no point "
                                     "(variant and side)")
    result = Comparison(metric, old_run, new_run, min_effect=min_effect)
    result.new_points = sorted(key for key in new_keys - old_keys if key[0] in variants)
    result.gone_points = sorted(key for key in old_keys - new_keys if key[0] in variants)
    for key in shared:
        figure = (bound_figure(old_medians[key], new_medians[key]) if metric == "bound"
                  else metric)
        o, n = old[figure][key], new[figure][key]
        point = Point(key[0], key[1], group(variants[key[0]]), figure, [v for v, _, _ in o],
                      [v for v, _, _ in n], spread(o), spread(n),
                      statistics.median(v for v, _, _ in n) / statistics.median(v for v, _, _ in o))
        result.points.append(point)
    judge(result.points, alpha, min_effect)
    old_core = explorer_json.core_adds_per_ns(old_run)
    new_core = explorer_json.core_adds_per_ns(new_run)
    probed = [p for p in result.points if (p.name, p.side) in old_core
              and (p.name, p.side) in new_core]
    for point in probed:
        point.core_ratio = new_core[(point.name, point.side)] / old_core[(point.name, point.side)]
    if probed:
        result.core = (statistics.median(old_core[(p.name, p.side)] for p in probed),
                       statistics.median(new_core[(p.name, p.side)] for p in probed))
    copies = {**explorer_json.facts(old_run)[1], **explorer_json.facts(new_run)[1]}
    for key in sorted(set(old_medians) & set(new_medians)):
        if key[0] in copies and copies[key[0]].copy == "limit":
            result.limits.append((key[0], key[1], old_medians[key]["ms"], new_medians[key]["ms"]))
    return result


def geomean(ratios):
    return math.exp(statistics.fmean(math.log(r) for r in ratios)) if ratios else float("nan")


def group_summary(comparison):
    """[(group, points, geomean, the points that changed, how many untested)],
    the groups then "everything"."""
    rows = []
    for name in GROUPS + ("everything",):
        points = [p for p in comparison.points if name in (p.group, "everything")]
        if points:
            rows.append((name, len(points), geomean([p.ratio for p in points]),
                         [p for p in points if p.verdict in ("faster", "slower")],
                         sum(p.verdict == "untested" for p in points)))
    return rows


def run_name(run):
    c = run.context
    commit = c.get("build_commit") or os.path.basename(os.path.dirname(os.path.abspath(run.path)))
    where = "processor not recorded"
    if "processor_name" in c:
        where = (f"{c['processor_name']}, family {c.get('processor_family', '?')} model "
                 f"{c.get('processor_model', '?')}")
    return f"{commit} ({where}, {c.get('date', '')[:10]})"


def figure_text(values, low_high):
    return f"{statistics.median(values):.3g} ({low_high[0]:.3g}–{low_high[1]:.3g})"


UNITS = {"bound": "each point by its bound's figure", "x_limit": "x_limit",
         "x_model": "x_model", "time": "ms per call"}


def nothing_to_call(comparison):
    """The one line that says no point can be called, and how many
    repetitions a side could call one: "" where one can."""
    if can_call(comparison):
        return ""
    count = len(comparison.points)
    needed = next(n for n in range(2, 64) if smallest_p(n, n) < ALPHA / count)
    fewest = min(min(len(p.old), len(p.new)) for p in comparison.points)
    return (f"no point can be called: with {fewest} repetitions a side the U test cannot reach "
            f"p < {ALPHA} after Holm's correction over {count} points; {needed} a side could "
            "(docs/comparing.md)")


def changed_text(points):
    return ", ".join(f"`{p.name}/{p.side}` {p.verdict} ×{p.ratio:.2f}" for p in points) or "none"


def markdown(comparison, changed_only=False):
    """The comparison as Markdown."""
    c = comparison
    unit = UNITS[c.metric]
    repetitions_text = (f"{max(len(p.old) for p in c.points)} (old) and "
                        f"{max(len(p.new) for p in c.points)} (new)")
    lines = [f"## {unit}: {run_name(c.old_run)} → {run_name(c.new_run)}", "",
             f"Lower is faster. Repetitions: {repetitions_text}. A point changed when the U test "
             f"finds it significant (p < {ALPHA} after Holm's correction over {len(c.points)} "
             f"points) and it moved by at least {c.min_effect:.0%}. The figures: median (the "
             "range of its pairs' quartiles over the repetitions, or of the repetitions)."
             + (" Each point is judged by x_limit where memory bounds it in both runs, by "
                "x_model where compute bounds it in either (the figure column)."
                if c.metric == "bound" else "")]
    if c.limits:
        moved = [(n, s, o, w) for n, s, o, w in c.limits if abs(w / o - 1) >= c.min_effect]
        mean = geomean([w / o for _, _, o, w in c.limits])
        lines += ["", f"The limits themselves moved by ×{mean:.3f} new / old (geometric mean)"
                  + ("; by at least the minimum effect: " + ", ".join(
                      f"`{n}/{s}` {o:.3g} → {w:.3g} ms (×{w / o:.2f})" for n, s, o, w in moved)
                     if moved else "; none by the minimum effect.")]
    if c.core:
        old_core, new_core = c.core
        moved = [p for p in c.points if p.core_ratio and abs(p.core_ratio - 1) >= CORE_MOVED]
        lines += ["", f"The core gave the explorer {old_core:.1f} additions a nanosecond in the "
                  f"old run and {new_core:.1f} in the new (median over the points)"
                  + (f"; at {len(moved)} of {len(c.points)} points it moved by "
                     f"{CORE_MOVED:.0%} or more, as when another hardware thread shares the "
                     "physical core in one run: there a throughput-bound point moves with the "
                     "host, not with the change (marked \"core ×…\" below). Run the two builds "
                     "alternately (tools/alternate.py)."
                     if moved else ": the same core in both.")]
    untested = sum(p.verdict == "untested" for p in c.points)
    if nothing_to_call(c):
        said = nothing_to_call(c)
        lines += ["", said[0].upper() + said[1:] + ". The ratios below are no findings, and no "
                  "means are given."]
    else:
        if untested:
            lines += ["", f"{untested} points are untested: their repetitions are too few for "
                      f"the U test to reach p < {ALPHA}. Four a side is the least; see "
                      "docs/comparing.md for how many to run."]
        lines += ["", "| group | points | geometric mean new / old | changed |",
                  "|---|---:|---:|---|"]
        lines += [f"| {g} | {n} | {m:.3f} | {changed_text(changed)} |"
                  for g, n, m, changed, _ in group_summary(c)]
    by_bound = c.metric == "bound"
    lines += ["", "| point | group | " + ("figure | " if by_bound else "")
              + "old | new | new / old | p | verdict |",
              "|---|---|" + ("---|" if by_bound else "") + "---:|---:|---:|---:|---|"]
    for p in sorted(c.points, key=lambda p: (GROUPS.index(p.group), p.name, p.side)):
        if changed_only and p.verdict in ("same", "untested"):
            continue
        p_text = f"{p.p:.3g}" if p.p is not None else f"– ({len(p.old)} vs {len(p.new)})"
        hint = quartiles_apart(p)
        verdict = p.verdict + (f"; quartiles apart, {hint}" if hint else "")
        if p.core_ratio and abs(p.core_ratio - 1) >= CORE_MOVED:
            verdict += f"; core ×{p.core_ratio:.2f}"
        lines.append(f"| `{p.name}/{p.side}` | {p.group} | "
                     + (f"{p.figure} | " if by_bound else "")
                     + f"{figure_text(p.old, p.old_spread)} | "
                     f"{figure_text(p.new, p.new_spread)} | {p.ratio:.3f} | {p_text} | {verdict} |")
    for title, points in (("New in the new run", c.new_points), ("Gone from it", c.gone_points)):
        if points:
            lines += ["", f"{title}: " + ", ".join(f"`{n}/{s}`" for n, s in points) + "."]
    return "\n".join(lines)


def main(arguments=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--metric", choices=METRICS, default="bound",
                        help="the figure to judge each point by: the one its bound makes "
                             "steady (default), or x_limit, x_model or time for every point")
    parser.add_argument("--min-effect", type=float, default=MIN_EFFECT,
                        help="the smallest change that counts, as a fraction (default 0.02)")
    parser.add_argument("--fail-if-slower", metavar="REGEX",
                        help="exit 1 when a variant whose name matches got slower")
    parser.add_argument("--changed-only", action="store_true", help="list only changed points")
    parser.add_argument("--force", action="store_true",
                        help="compare runs measured by different methods")
    options = parser.parse_args(arguments)
    try:
        comparison = compare(explorer_json.load(options.old), explorer_json.load(options.new),
                             options.metric, min_effect=options.min_effect, force=options.force)
    except explorer_json.Unusable as reason:
        print(f"compare.py: {reason}", file=sys.stderr)
        return 2
    except ImportError:
        print("compare.py: needs scipy (Debian package python3-scipy)", file=sys.stderr)
        return 2
    output.say("compare.py", markdown(comparison, options.changed_only))
    if options.fail_if_slower:
        slower = [p for p in comparison.points if p.verdict == "slower"
                  and re.search(options.fail_if_slower, p.name)]
        if slower:
            print(f"compare.py: slower: {', '.join(f'{p.name}/{p.side}' for p in slower)}",
                  file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
