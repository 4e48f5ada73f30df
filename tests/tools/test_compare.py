"""The comparison of two runs: its verdicts on repetitions with known
answers, the correction that keeps noise from being called a change, the
figure each point is judged by, a clear change called over a whole run, the
groups' geometric means and none where nothing can be called, its refusals
and its exit status; and on two short real runs, what two and three
repetitions can and cannot call."""
import io
import math
import os
import random
import re
import unittest
from contextlib import redirect_stderr, redirect_stdout

from tools_path import ROOT, fixture

import alternate
import compare
import explorer_json


def facts_label(name, written_by="hand", cores="one"):
    return (f"vs limit_cached, bound=memory, kernel={name.removesuffix('_all_cores')}, "
            f"cores={cores}, written_by={written_by}, flow=words, stores=cached, "
            "rows_per_pass=1, isa=AVX2")


def make_run(points, path="run.json", context=None, limit_ms=1.0, models=None):
    """A version 2 run with x_limit of each (name, side) one repetition a
    value; where models gives a point (x_model values, memory over compute),
    its x_model and roofs too."""
    benchmarks = []
    for (name, side), values in points.items():
        written_by = "library" if name.startswith("lib") else "hand"
        cores = "all" if name.endswith("_all_cores") else "one"
        model = (models or {}).get((name, side))
        for i, value in enumerate(values):
            row = {"name": f"{name}/{side}/manual_time", "run_type": "iteration",
                   "real_time": value, "time_unit": "ms", "x_limit": value,
                   "x_limit_q1": value * 0.99, "x_limit_q3": value * 1.01,
                   "label": facts_label(name, written_by, cores)}
            if model:
                row.update(x_model=model[0][i], memory_over_compute=model[1])
            benchmarks.append(row)
        benchmarks.append({"name": f"limit_cached/{side}/manual_time", "run_type": "iteration",
                           "real_time": limit_ms, "time_unit": "ms",
                           "label": "copy=limit, stores=cached, cores=one"})
    return explorer_json.Run(path, benchmarks, {"mean4_json_version": "2", **(context or {})}, 2)


NOISE = [1.00, 1.01, 0.99, 1.02, 0.98, 1.005, 0.995, 1.0]


class Verdicts(unittest.TestCase):
    def verdicts(self, old, new, **options):
        result = compare.compare(make_run(old), make_run(new), **options)
        return {(p.name, p.side): p.verdict for p in result.points}

    def test_a_clear_shift_is_called_and_noise_is_not(self):
        old = {("a", 256): NOISE, ("b", 256): NOISE, ("c", 256): NOISE}
        new = {("a", 256): [v * 0.9 for v in NOISE], ("b", 256): NOISE[::-1],
               ("c", 256): [v * 1.1 for v in NOISE]}
        self.assertEqual(self.verdicts(old, new),
                         {("a", 256): "faster", ("b", 256): "same", ("c", 256): "slower"})

    def test_a_significant_shift_below_the_minimum_effect_is_the_same(self):
        old = {("a", 256): NOISE}
        new = {("a", 256): [v * 0.95 for v in NOISE]}
        self.assertEqual(self.verdicts(old, new)[("a", 256)], "faster")
        self.assertEqual(self.verdicts(old, new, min_effect=0.1)[("a", 256)], "same")

    def test_three_against_three_is_untested(self):
        old = {("a", 256): [1.0, 1.01, 0.99]}
        new = {("a", 256): [0.5, 0.51, 0.49]}
        self.assertEqual(self.verdicts(old, new), {("a", 256): "untested"})
        self.assertAlmostEqual(compare.smallest_p(3, 3), 0.1)

    def test_a_p_that_one_point_would_pass_is_not_enough_among_many(self):
        # Four against four wholly apart: p = 0.029, which one point alone
        # passes. Among forty points the correction asks for 0.05 / 40, as
        # twenty points of pure noise would give one such p by chance.
        old = {("a", side): [1.0, 1.01, 1.02, 1.03] for side in range(40)}
        new = {("a", side): [1.04, 1.05, 1.06, 1.07] for side in range(40)}
        new[("a", 0)] = [1.0, 1.01, 1.02, 1.03]
        verdicts = self.verdicts(old, new)
        self.assertEqual(set(verdicts.values()), {"same"})
        # The same shift on one point alone is called.
        self.assertEqual(self.verdicts({("a", 1): old[("a", 1)]}, {("a", 1): new[("a", 1)]}),
                         {("a", 1): "slower"})


class Figures(unittest.TestCase):
    def test_each_point_is_judged_by_the_figure_its_bound_makes_steady(self):
        # b is compute-bound: between the runs its x_limit fell by a fifth,
        # as the shared caches sped the copy it is divided by, while its call
        # over its own model held. a is memory-bound in both.
        old = {("a", 256): NOISE, ("b", 256): NOISE}
        new = {("a", 256): NOISE[::-1], ("b", 256): [v * 0.8 for v in NOISE]}
        held = [1.1 * v for v in NOISE]
        old_run = make_run(old, models={("a", 256): (NOISE, 2.0), ("b", 256): (held, 0.5)})
        new_run = make_run(new, models={("a", 256): (NOISE, 2.0), ("b", 256): (held[::-1], 0.6)})
        points = {p.name: p for p in compare.compare(old_run, new_run).points}
        self.assertEqual((points["a"].figure, points["b"].figure), ("x_limit", "x_model"))
        self.assertEqual(points["b"].verdict, "same")
        self.assertEqual({p.name: p.verdict for p in compare.compare(
            old_run, new_run, metric="x_limit").points}, {"a": "same", "b": "faster"})
        text = compare.markdown(compare.compare(old_run, new_run))
        self.assertIn("| `b/256` | hand-written | x_model |", text)

    def test_the_reference_is_a_group_of_its_own(self):
        run = make_run({("scalar", 256): NOISE})
        for benchmark in run.benchmarks:
            benchmark["label"] = benchmark["label"].replace("flow=words", "flow=reference")
        self.assertEqual(compare.compare(run, run).points[0].group, "reference")


def whole_run(repetitions, slower, rng):
    """Two runs of 153 points, `repetitions` a side, each point's repetitions
    noisy by 2 %, the `slower` variant 10 % slower in the new run at every
    side."""
    names = [slower] + [f"v{i}" for i in range(26)]
    keys = [(name, side) for name in names for side in (256, 512, 1024, 2048, 4096, 9984)][:153]

    def noisy(scale):
        return [scale * (1 + rng.gauss(0, 0.02)) for _ in range(repetitions)]
    old = {key: noisy(1.0) for key in keys}
    new = {key: noisy(1.1 if key[0] == slower else 1.0) for key in keys}
    return make_run(old), make_run(new)


class WholeRuns(unittest.TestCase):
    def test_a_clear_change_is_called_at_9_and_at_12_repetitions(self):
        rng = random.Random(36)
        for repetitions in (9, 12):
            with self.subTest(repetitions=repetitions):
                old, new = whole_run(repetitions, "avx2_bytes", rng)
                verdicts = {(p.name, p.side): p.verdict for p in compare.compare(old, new).points}
                self.assertEqual(len(verdicts), 153)
                called = {key for key, verdict in verdicts.items() if verdict != "same"}
                self.assertEqual({key[0] for key in called}, {"avx2_bytes"})
                self.assertGreaterEqual(len(called), 3, "of its six sides")
                self.assertEqual({verdicts[key] for key in called}, {"slower"})

    def test_more_repetitions_never_call_less(self):
        # From 9 against 9 the normal approximation's least p is ten times
        # the exact one, and over 153 points it called nothing.
        self.assertAlmostEqual(compare.u_test(list(range(9)), list(range(9, 18))),
                               2 / math.comb(18, 9))
        least = [compare.u_test(list(range(n)), list(range(n, 2 * n))) for n in range(3, 14)]
        self.assertEqual(least, sorted(least, reverse=True))

    def test_the_docs_table_is_what_the_tool_computes(self):
        with open(os.path.join(ROOT, "docs", "comparing.md"), encoding="utf-8") as f:
            rows = re.findall(r"^\| (\d+) \| ([\d.]+) \| (\w+) \|$", f.read(), re.M)
        self.assertGreaterEqual(len(rows), 6)
        for n, least_p, points in rows:
            with self.subTest(rounds=n):
                p = compare.smallest_p(int(n), int(n))
                self.assertAlmostEqual(float(least_p), float(f"{p:.2g}"))
                callable_points = math.floor(compare.ALPHA / p)
                self.assertEqual(points, str(callable_points) if callable_points else "none")
                least = compare.u_test(list(range(int(n))), list(range(int(n), 2 * int(n))))
                self.assertAlmostEqual(least, p, msg="the tool reaches the table's least p")

    def test_where_nothing_can_be_called_one_line_says_so_and_no_mean_is_given(self):
        points = {("a", side): NOISE[:3] for side in (256, 512)}
        text = compare.markdown(compare.compare(make_run(points), make_run(points)))
        self.assertIn("No point can be called: with 3 repetitions a side", text)
        self.assertNotIn("geometric mean new / old", text)


class Summary(unittest.TestCase):
    def test_each_group_has_the_geometric_mean_of_its_ratios(self):
        old = {("hand", 256): NOISE, ("lib", 256): NOISE, ("hand_all_cores", 2048): NOISE}
        new = {("hand", 256): [v * 0.5 for v in NOISE], ("lib", 256): [v * 2 for v in NOISE],
               ("hand_all_cores", 2048): NOISE}
        rows = {row[0]: row for row in compare.group_summary(
            compare.compare(make_run(old), make_run(new)))}
        self.assertAlmostEqual(rows["hand-written"][2], 0.5)
        self.assertAlmostEqual(rows["library"][2], 2.0)
        self.assertAlmostEqual(rows["all cores"][2], 1.0)
        self.assertAlmostEqual(rows["everything"][2], 1.0)
        self.assertEqual([p.name for p in rows["everything"][3]], ["hand", "lib"])

    def test_the_limits_moving_is_said(self):
        points = {("a", 256): NOISE}
        text = compare.markdown(compare.compare(make_run(points), make_run(points, limit_ms=1.5)))
        self.assertIn("`limit_cached/256` 1 → 1.5 ms (×1.50)", text)

    def test_a_core_shared_in_one_run_is_named_at_the_points_it_slowed(self):
        def probed(run, core):
            # The runs as version 4 would write them: each repetition with
            # the throughput its core gave.
            benchmarks = [dict(b, core_adds_per_ns=core.get(explorer_json.benchmark_key(b), 0))
                          for b in run.benchmarks]
            return explorer_json.Run(run.path, benchmarks, {"mean4_json_version": "4",
                                                            "limit_definition": "fastest"}, 4)
        points = {("a", 256): NOISE, ("b", 256): NOISE}
        old = probed(make_run(points), {("a", 256): 15.5, ("b", 256): 15.5})
        new = probed(make_run(points), {("a", 256): 11.0, ("b", 256): 15.2})
        comparison = compare.compare(old, new)
        self.assertEqual(comparison.core, (15.5, (11.0 + 15.2) / 2))
        text = compare.markdown(comparison)
        self.assertIn("at 1 of 2 points it moved", text)
        a_row, b_row = (next(line for line in text.splitlines() if line.startswith(f"| `{n}/256`"))
                        for n in "ab")
        self.assertIn("core ×0.71", a_row)
        self.assertNotIn("core", b_row)
        # Runs from before the probe say nothing of the core.
        self.assertNotIn("additions a nanosecond", compare.markdown(
            compare.compare(make_run(points), make_run(points))))


class Refusals(unittest.TestCase):
    def test_runs_that_share_no_point_are_refused(self):
        with self.assertRaises(explorer_json.Unusable) as refusal:
            compare.compare(make_run({("a", 256): NOISE}), make_run({("b", 256): NOISE}))
        self.assertIn("share no point", str(refusal.exception))

    def test_runs_of_other_methods_are_refused_by_number_unless_forced(self):
        # The pause of method 3 changed what the limits mean, and not their
        # definition's words: the number tells them apart.
        def of(method, version):
            run = make_run({("a", 256): NOISE})
            context = {"mean4_json_version": str(version), "limit_definition": "fastest",
                       **({"mean4_method": str(method)} if method else {})}
            return explorer_json.Run(run.path, run.benchmarks, context, version)
        for old, new in ((of(None, 3), of(None, 4)), (of(None, 4), of(4, 5))):
            with self.subTest(methods=(explorer_json.method(old), explorer_json.method(new))):
                with self.assertRaises(explorer_json.Unusable) as refusal:
                    compare.compare(old, new)
                self.assertIn("different methods", str(refusal.exception))
                self.assertIn("--force", str(refusal.exception))
                self.assertEqual(len(compare.compare(old, new, force=True).points), 1)
        self.assertEqual(len(compare.compare(of(4, 5), of(4, 6)).points), 1,
                         "a newer format of the same method compares")

    def test_runs_of_the_old_and_the_new_limit_do_not_compare(self):
        with self.assertRaises(explorer_json.Unusable):
            compare.compare(explorer_json.load(fixture("version2.json")),
                            explorer_json.load(fixture("version3.json")))

    def run_main(self, *arguments):
        out, err = io.StringIO(), io.StringIO()
        with redirect_stdout(out), redirect_stderr(err):
            status = compare.main(list(arguments))
        return status, out.getvalue(), err.getvalue()

    def test_a_file_that_is_not_the_explorers_exits_2_with_one_line(self):
        status, out, err = self.run_main(fixture("version2.json"), os.path.join(ROOT, "README.md"))
        self.assertEqual(status, 2)
        self.assertEqual(out, "")
        self.assertEqual(err.count("\n"), 1)
        self.assertIn("is not JSON", err)


class RealRuns(unittest.TestCase):
    """Two short real runs of method 1 (the fixtures of format versions 1 and
    2), two and three repetitions: new rows are listed, nothing is called."""

    def setUp(self):
        self.comparison = compare.compare(explorer_json.load(fixture("version1.json")),
                                          explorer_json.load(fixture("version2.json")))

    def test_times_compare_the_variants_and_leave_the_copies_to_the_limits_line(self):
        comparison = compare.compare(self.comparison.old_run, self.comparison.new_run,
                                     metric="time")
        self.assertEqual({(p.name, p.side) for p in comparison.points},
                         {(p.name, p.side) for p in self.comparison.points})
        self.assertTrue(comparison.limits)
        self.assertFalse(any(name.startswith("limit") for name, _ in comparison.new_points))

    def test_new_rows_are_listed_and_nothing_is_called_on_so_few_repetitions(self):
        self.assertIn(("avx512_bytes_2rows_stream", 2048), self.comparison.new_points)
        self.assertIn(("avx512_bytes", 256), self.comparison.gone_points)
        self.assertEqual({p.verdict for p in self.comparison.points}, {"untested"})
        self.assertIn("No point can be called", compare.markdown(self.comparison))


class Alternating(unittest.TestCase):
    def test_merged_runs_read_as_one_repetition_a_round(self):
        first = {"context": {"date": "1"}, "benchmarks": [{"name": "a/256/manual_time"}]}
        second = {"context": {"date": "2"}, "benchmarks": [{"name": "a/256/manual_time"}]}
        merged = alternate.merge([first, second])
        self.assertEqual(merged["context"], {"date": "1"})
        self.assertEqual([b["repetition_index"] for b in merged["benchmarks"]], [0, 1])


if __name__ == "__main__":
    unittest.main()
