"""The explorer's results as text, for a person or a page: what bounds each
variant at a few sizes, and how well the model holds. Every function
returns Markdown; none prints."""
import explorer_json

# How far a point may sit from its model and still count as explained.
MODEL_TOLERANCE = 0.15
# A settled point this far below its limit means a faster copy exists.
BELOW_LIMIT = 0.97
# A point whose core gave less than this share of the run's most throughput
# was measured while something else had part of the core: a quiet core's
# probe moves a few percent with its clock, another thread takes a quarter.
# The explorer warns by the same share (SHARED_CORE in run_notes.h).
SHARED_CORE = 0.9
# Settled points whose repetitions reach this far from their median moved
# with the machine between the repetitions (before method 4).
REPETITIONS_APART = 0.05
# The clock read by additions this far from the one read by multiplications
# is not the clock.
CLOCKS_APART = 0.1
TABLE_SIDES = (256, 1024)


def author(facts):
    """"reference", "hand-written", "library", "compiler" or "user" (a kernel
    loaded from outside the tree)."""
    if facts.written_by == "hand":
        return "reference" if facts.flow == "reference" else "hand-written"
    return facts.written_by


def bound_table(results, variants, sides):
    """What bounds each variant ({name: Facts}) at each side, as a Markdown
    table, the variants in name order."""
    sides = sorted(set(sides))
    columns = ["variant", "written by"] + [f"{s}: x_limit, x_model, bound" for s in sides]
    lines = ["| " + " | ".join(columns) + " |", "|---" * len(columns) + "|"]
    measured = {name for name, _ in results}
    for name in sorted(n for n in variants if n in measured):
        cells = []
        for side in sides:
            r = results.get((name, side))
            if r is None or "x_limit" not in r:
                cells.append("–")
            else:
                model = f"{r['x_model']:.2f}" if "x_model" in r else "–"
                cells.append(f"{r['x_limit']:.2f}, {model}, {r.get('bound') or '–'}")
        lines.append(f"| `{name}` | {author(variants[name])} | " + " | ".join(cells) + " |")
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


def model_accuracy(results, variants):
    """(points within MODEL_TOLERANCE, one-core points with a model, the
    points outside as (name, side, result))."""
    points = [(name, side, r) for (name, side), r in sorted(results.items())
              if "x_model" in r and name in variants and variants[name].cores == "one"]
    outside = [(n, s, r) for n, s, r in points if abs(r["x_model"] - 1) > MODEL_TOLERANCE]
    return len(points) - len(outside), len(points), outside


def model_report(results, variants):
    """How many one-core points the model holds, and why each outside is."""
    held, total, outside = model_accuracy(results, variants)
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


def stability(results, variants):
    """(one-core points that settled, one-core points that say): from runs
    that measure until a point settles (method 2 on), else None."""
    points = [r for (name, _), r in results.items()
              if "stable" in r and name in variants and variants[name].cores == "one"]
    if not points:
        return None
    return sum(r["stable"] >= 0.5 for r in points), len(points)


def span(r):
    """How far the interval spanning a point's repetitions reaches from its
    median, as a share of it: the larger side."""
    return max(r["x_limit"] - r["x_limit_lo"], r["x_limit_hi"] - r["x_limit"]) / r["x_limit"]


def settled_rule(run):
    """What "settled" means in the run, in words: from method 4 on, the 95 %
    interval over the repetitions; before, every repetition's own."""
    within = f"{explorer_json.settled_within(run):.0%}"
    if explorer_json.method(run) >= 4:
        return (f"settled: the 95 % interval of their mean over the repetitions (Student's t) "
                f"within {within}")
    return f"settled within {within} in every repetition, by the interval of its own pairs"


def stability_report(results, variants, run):
    """How many points settled, and by which rule (the run's method), each
    that did not with its interval's half-width; before method 4, the
    settled points whose repetitions lie apart; and each settled point below
    BELOW_LIMIT of its limit: a finding, since then a copy faster than the
    limit exists."""
    counted = stability(results, variants)
    if counted is None:
        return ""
    replicated = explorer_json.method(run) >= 4
    stable, total = counted
    unstable = sorted((name, side, r) for (name, side), r in results.items()
                      if name in variants and r.get("stable", 1) < 0.5)
    rule = settled_rule(run)
    lines = [f"{stable} of {total} one-core points {rule} ({stable / total:.0%})"
             + ("; these points, on one core or all, did not, with the half-width of their "
                "interval:" if unstable else ".")]
    lines += [f"- `{n}/{s}` ±{r.get('x_limit_half_width', float('nan')):.1%} "
              f"(x_limit {r['x_limit']:.2f}, "
              + (f"{r.get('repetitions', 0)} repetitions)" if replicated
                 else f"{r.get('pairs', 0):.0f} pairs)")
              for n, s, r in unstable]
    # Settled in every repetition, yet the repetitions apart: the machine
    # moved between them. From method 4 on the interval takes that in.
    apart = [] if replicated else sorted(
        (name, side, r) for (name, side), r in results.items()
        if name in variants and r.get("stable", 0) >= 0.5
        and "x_limit_lo" in r and span(r) > REPETITIONS_APART)
    if apart:
        lines += ["", f"Settled points whose repetitions lie more than {REPETITIONS_APART:.0%} "
                  "from their median, as the interval spanning them says: the machine moved "
                  "between them (what the points record of it says how):"]
        lines += [f"- `{n}/{s}` x_limit {r['x_limit']:.2f} ({r['x_limit_lo']:.2f}–"
                  f"{r['x_limit_hi']:.2f})" for n, s, r in apart]
    below = sorted((name, side, r) for (name, side), r in results.items()
                   if name in variants and r.get("stable", 0) >= 0.5
                   and r.get("x_limit", 1) < BELOW_LIMIT)
    if below:
        lines += ["", f"Settled points below {BELOW_LIMIT} of their limit: a copy faster than the "
                  "limit exists for them."]
        lines += [f"- `{n}/{s}` x_limit {r['x_limit']:.2f} against {r.get('limit_copy', 'limit')}"
                  for n, s, r in below]
    return "\n".join(lines)


def core_report(run):
    """The range of throughput the core gave the explorer (version 4 on), and
    the points measured while it gave less than SHARED_CORE of the most,
    whose throughput-bound figures the host slowed; "" for older runs."""
    probed = explorer_json.core_adds_per_ns(run)
    if not probed:
        return ""
    most = max(probed.values())
    shared = sorted((adds, name, side) for (name, side), adds in probed.items()
                    if adds < SHARED_CORE * most)
    lines = [f"The core gave the explorer {min(probed.values()):.1f} to {most:.1f} additions a "
             "nanosecond (each point's median)"
             + (f"; at {len(shared)} of {len(probed)} points it gave less than {SHARED_CORE} of "
                "the most, as when another hardware thread shares the physical core, and their "
                "throughput-bound figures are slower than this machine's own:" if shared else ".")]
    lines += [f"- `{name}/{side}` {adds:.1f}" for adds, name, side in shared]
    return "\n".join(lines)


def order_report(results, variants):
    """Whether the two orders within the pairs, call first and copies first,
    gave the same x_limit within each point's interval (method 4 on, which
    alternates them); "" for older runs, whose order was fixed."""
    points = sorted((name, side, r) for (name, side), r in results.items()
                    if name in variants and "x_limit_call_first" in r and "x_limit_lo" in r
                    and r.get("repetitions", 0) >= 2)
    if not points:
        return ""
    apart = [(n, s, r) for n, s, r in points
             if not all(r["x_limit_lo"] <= r[order] <= r["x_limit_hi"]
                        for order in ("x_limit_call_first", "x_limit_copies_first"))]
    ratios = sorted(r["x_limit_call_first"] / r["x_limit_copies_first"] for _, _, r in points)
    lines = [f"The two orders within the pairs, call first and copies first: each point's "
             f"x_limit in call-first pairs over copies-first ones ranged from {ratios[0]:.3f} to "
             f"{ratios[-1]:.3f} (median {ratios[len(ratios) // 2]:.3f}); at "
             f"{len(points) - len(apart)} of {len(points)} points both lie within the point's "
             "interval" + ("; at these one does not, and each round weighs both alike:"
                           if apart else ".")]
    lines += [f"- `{n}/{s}` x_limit {r['x_limit']:.3f} ({r['x_limit_lo']:.3f}–"
              f"{r['x_limit_hi']:.3f}); call first {r['x_limit_call_first']:.3f}, copies first "
              f"{r['x_limit_copies_first']:.3f}" for n, s, r in apart]
    return "\n".join(lines)


def clock_report(results, variants):
    """How the clock read by additions (core_ghz) stood to the clock read by
    multiplications beside it, and the points where they were more than
    CLOCKS_APART apart (version 5 on, x86-64)."""
    points = sorted((r["core_ghz"] / r["core_ghz_by_multiplies"], name, side)
                    for (name, side), r in results.items()
                    if name in variants and r.get("core_ghz_by_multiplies", 0) > 0)
    if not points:
        return ""
    apart = [(ratio, n, s) for ratio, n, s in points if abs(ratio - 1) > CLOCKS_APART]
    lines = [f"The clock read by additions over the clock read by multiplications beside it: "
             f"{points[0][0]:.3f} to {points[-1][0]:.3f} over {len(points)} points"
             + (f"; more than {CLOCKS_APART:.0%} apart at {len(apart)}, where core_ghz is not "
                "the clock:" if apart else f", within {CLOCKS_APART:.0%} at every one.")]
    lines += [f"- `{n}/{s}` ×{ratio:.2f}" for ratio, n, s in apart]
    return "\n".join(lines)


def report(run):
    """The run's tables: what bounds each variant at sides 256, 1024 and the
    largest, the model's accuracy, where the run measured until its points
    settled, how many did, the two orders within the pairs, the two clocks,
    and where it probed the core, what it gave."""
    results = explorer_json.medians(run)
    variants, _ = explorer_json.facts(run)
    sides = TABLE_SIDES + (max((side for _, side in results), default=0),)
    parts = [bound_table(results, variants, sides), model_report(results, variants),
             stability_report(results, variants, run), order_report(results, variants),
             clock_report(results, variants), core_report(run)]
    return "\n\n".join(part for part in parts if part)
