"""The report's text: the model's accuracy with a reason for every point
outside it, the bound taken from the medians, and who wrote each row."""
import os
import re
import unittest

import tools_path

import explorer_json
import report


def modelled(name, side, x_model, memory_over_compute, label_bound):
    facts = (f"kernel={name}, cores=one, written_by=hand, flow=words, stores=cached, "
             "rows_per_pass=1, isa=AVX2")
    return {"name": f"{name}/{side}/manual_time", "run_type": "iteration", "real_time": 1.0,
            "time_unit": "ms", "limit_ms": 1.0, "x_limit": 1.0, "compute_ms": 1.0,
            "pattern_ms": 1.0, "model_ms": 1.0, "x_model": x_model,
            "memory_over_compute": memory_over_compute,
            "label": f"vs limit_cached, bound={label_bound}, {facts}"}


RUN = explorer_json.Run("modelled", [
    modelled("avx2", 256, 1.05, 0.5, "compute"),
    modelled("avx2", 1024, 1.30, 0.8, "compute"),
    modelled("avx512", 1024, 0.80, 3.0, "memory"),
    # Three repetitions whose labels disagree; their median says memory.
    modelled("sse41", 1024, 1.40, 1.2, "memory"),
    modelled("sse41", 1024, 1.40, 1.3, "compute"),
    modelled("sse41", 1024, 1.40, 1.4, "compute"),
], {"mean4_json_version": "2"}, 2)


class ModelReport(unittest.TestCase):
    def setUp(self):
        self.results = explorer_json.medians(RUN)
        self.variants, _ = explorer_json.facts(RUN)

    def test_the_bound_follows_the_medians_not_one_label(self):
        self.assertEqual(self.results[("sse41", 1024)]["bound"], "memory")

    def test_each_point_outside_the_model_says_why(self):
        text = report.model_report(self.results, self.variants)
        self.assertIn("holds 1 of 4 one-core points within 15%", text)
        self.assertIn("`avx2/1024` x_model 1.30: compute-bound, the other roof at 0.80 of it",
                      text)
        self.assertIn("`avx512/1024` x_model 0.80: faster than its memory roof", text)
        self.assertNotIn("`avx2/256`", text)

    def test_all_core_points_are_left_out_of_the_count(self):
        variants = dict(self.variants)
        variants["avx2"] = variants["avx2"].__class__(**{**variants["avx2"].__dict__,
                                                         "cores": "all"})
        held, total, _ = report.model_accuracy(self.results, variants)
        self.assertEqual((held, total), (0, 2))


class Stability(unittest.TestCase):
    def point(self, name, stable, x_limit):
        return {"name": f"{name}/256/iterations:1/manual_time", "run_type": "iteration",
                "real_time": 1.0, "time_unit": "ms", "x_limit": x_limit, "stable": stable,
                "x_limit_half_width": 0.01 if stable else 0.05, "pairs": 40,
                "label": (f"vs limit_cached, bound=memory, limit_copy=row_pairs, kernel={name}, "
                          "cores=one, written_by=hand, flow=bytes, stores=cached, "
                          "rows_per_pass=1, isa=AVX2")}

    def test_unsettled_points_are_listed_and_settled_ones_below_the_limit_are_findings(self):
        run = explorer_json.Run("x", [self.point("a", 1, 1.10), self.point("b", 0, 0.90),
                                      self.point("c", 1, 0.95)], {"mean4_json_version": "3"}, 3)
        text = report.stability_report(explorer_json.medians(run), explorer_json.facts(run)[0],
                                       run)
        self.assertIn("2 of 3 one-core points settled within 2% in every repetition", text)
        self.assertIn("- `b/256` ±5.0% (x_limit 0.90, 40 pairs)", text)
        self.assertIn("- `c/256` x_limit 0.95 against row_pairs", text)
        self.assertNotIn("`b/256` x_limit", text, "an unsettled point is no finding")

    def test_settled_points_whose_repetitions_lie_apart_are_listed(self):
        def repetition(name, x_limit):
            return dict(self.point(name, 1, x_limit), x_limit_lo=x_limit * 0.99,
                        x_limit_hi=x_limit * 1.01)
        run = explorer_json.Run("x", [repetition("a", 1.0), repetition("a", 1.02),
                                      repetition("a", 1.3), repetition("b", 1.0),
                                      repetition("b", 1.02), repetition("b", 1.03)],
                                {"mean4_json_version": "4"}, 4)
        text = report.stability_report(explorer_json.medians(run), explorer_json.facts(run)[0],
                                       run)
        self.assertIn("2 of 2 one-core points settled", text)
        self.assertIn("- `a/256` x_limit 1.02 (0.99–1.31)", text)
        self.assertNotIn("`b/256`", text, "three repetitions within 3 % agree")

    def test_runs_that_did_not_measure_until_settled_say_nothing_of_it(self):
        run = explorer_json.load(tools_path.fixture("version2.json"))
        self.assertEqual(report.stability_report(explorer_json.medians(run),
                                                 explorer_json.facts(run)[0], run), "")


def repetitions(name, x_limits, **counters):
    """Method 4 repetitions of point name/256, one for each x_limit, each with
    the counters given (a value, or a list with one value a repetition)."""
    rows = []
    for i, x in enumerate(x_limits):
        row = {"name": f"{name}/256/iterations:1/manual_time", "run_type": "iteration",
               "real_time": 1.0, "time_unit": "ms", "x_limit": x, "stable": 1, "pairs": 20,
               "label": f"vs limit_cached, kernel={name}, cores=one, written_by=hand, "
                        "flow=words, stores=cached, rows_per_pass=1, isa=AVX2"}
        row.update({k: v[i] if isinstance(v, list) else v for k, v in counters.items()})
        rows.append(row)
    return rows


def method4(*rows):
    run = explorer_json.Run("x", [r for group in rows for r in group],
                            {"mean4_json_version": "5", "mean4_method": "4"}, 5)
    return explorer_json.medians(run), explorer_json.facts(run)[0], run


class Replicated(unittest.TestCase):
    def test_settled_is_said_by_the_interval_over_the_repetitions(self):
        results, variants, run = method4(
            repetitions("a", [1.0, 1.01, 0.99, 1.0, 1.005, 0.995]),
            repetitions("b", [1.0, 1.2, 0.9, 1.1, 1.0, 0.95]))
        text = report.stability_report(results, variants, run)
        self.assertIn("1 of 2 one-core points settled: the 95 % interval of their mean over the "
                      "repetitions (Student's t) within 2%", text)
        self.assertIn("- `b/256` ±", text)
        self.assertIn("6 repetitions)", text)
        self.assertNotIn("lie more than", text, "the interval already takes the spread in")

    def test_an_order_outside_the_points_interval_is_listed(self):
        results, variants, _ = method4(
            repetitions("a", [1.0, 1.01, 0.99, 1.0], x_limit_call_first=1.002,
                        x_limit_copies_first=0.998),
            repetitions("b", [1.0, 1.01, 0.99, 1.0], x_limit_call_first=1.05,
                        x_limit_copies_first=0.95))
        text = report.order_report(results, variants)
        self.assertIn("at 1 of 2 points both lie within the point's interval", text)
        self.assertIn("- `b/256` x_limit 1.000", text)
        self.assertIn("call first 1.050, copies first 0.950", text)
        self.assertNotIn("`a/256`", text)
        self.assertEqual(report.order_report(*method4(repetitions("c", [1.0, 1.0]))[:2]), "",
                         "runs without the orders say nothing of them")

    def test_a_clock_by_additions_far_from_the_multiplications_is_listed(self):
        results, variants, _ = method4(
            repetitions("a", [1.0, 1.0], core_ghz=3.60, core_ghz_by_multiplies=3.65),
            repetitions("b", [1.0, 1.0], core_ghz=13.7, core_ghz_by_multiplies=3.9))
        text = report.clock_report(results, variants)
        self.assertIn("0.986 to 3.513 over 2 points; more than 10% apart at 1", text)
        self.assertIn("- `b/256` ×3.51", text)


class CoreReport(unittest.TestCase):
    def test_points_measured_on_a_shared_core_are_listed_with_what_it_gave(self):
        def point(name, adds):
            return {"name": f"{name}/256/iterations:1/manual_time", "run_type": "iteration",
                    "real_time": 1.0, "time_unit": "ms", "x_limit": 1.0,
                    "core_adds_per_ns": adds, "label": "vs limit_cached, kernel=" + name}
        run = explorer_json.Run("x", [point("a", 15.5), point("b", 11.0), point("c", 14.5)],
                                {"mean4_json_version": "4"}, 4)
        text = report.core_report(run)
        self.assertIn("11.0 to 15.5 additions a nanosecond", text)
        self.assertIn("at 1 of 3 points it gave less than 0.9 of the most", text)
        self.assertIn("- `b/256` 11.0", text)
        self.assertNotIn("`c/256`", text, "a few percent is the clock's, not a neighbour's")
        older = explorer_json.Run("x", run.benchmarks, {"mean4_json_version": "3"}, 3)
        self.assertEqual(report.core_report(older), "", "version 3 did not probe the core")
        # A real run's report carries it.
        self.assertIn("The core gave the explorer", report.report(
            explorer_json.load(tools_path.fixture("version4.json"))))


class Thresholds(unittest.TestCase):
    def test_the_report_judges_a_shared_core_as_the_explorer_warns_of_it(self):
        with open(os.path.join(tools_path.ROOT, "bench", "roofline", "run_notes.h")) as f:
            explorer = float(re.search(r"SHARED_CORE = ([0-9.]+);", f.read())[1])
        self.assertEqual(report.SHARED_CORE, explorer)


class BoundTable(unittest.TestCase):
    def test_each_row_says_who_wrote_it(self):
        run = explorer_json.load(tools_path.fixture("version2.json"))
        text = report.report(run)
        rows = {line.split(" | ")[0].strip("| `"): line.split(" | ")[1]
                for line in text.splitlines() if line.startswith("| `")}
        self.assertEqual(rows["scalar"], "reference")
        self.assertEqual(rows["avx2"], "hand-written")
        self.assertEqual(rows["autovec"], "compiler")
        self.assertIn("The model holds", text)


if __name__ == "__main__":
    unittest.main()
