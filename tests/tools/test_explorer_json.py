"""The JSON reader on runs of each format version: what it refuses, the
version it reads a run as, each variant's facts, the medians and the caches."""
import json
import os
import tempfile
import unittest

from tools_path import fixture

import explorer_json


def write(directory, name, text):
    path = os.path.join(directory, name)
    with open(path, "w") as f:
        f.write(text)
    return path


class Refusals(unittest.TestCase):
    def test_each_unusable_file_is_refused_with_its_reason(self):
        with tempfile.TemporaryDirectory() as d:
            cases = {
                os.path.join(d, "missing.json"): "cannot read",
                write(d, "truncated.json", '{"benchmarks": ['): "is not JSON",
                write(d, "no-benchmarks.json", '{"context": {}}'): "has no benchmarks",
                write(d, "list.json", "[1, 2]"): "has no benchmarks",
                write(d, "newer.json", json.dumps({
                    "context": {"mean4_json_version": "99"},
                    "benchmarks": [{"name": "avx2/256/manual_time"}]})): "update them",
            }
            for path, reason in cases.items():
                with self.subTest(os.path.basename(path)):
                    with self.assertRaises(explorer_json.Unusable) as refusal:
                        explorer_json.load(path)
                    self.assertIn(reason, str(refusal.exception))
                    self.assertNotIn("\n", str(refusal.exception))


class Versions(unittest.TestCase):
    def test_each_fixture_reads_as_its_version(self):
        for name, version in (("version0.json", 0), ("version1.json", 1),
                              ("version2.json", 2), ("version2-aggregates.json", 2),
                              ("version3.json", 3), ("version4.json", 4)):
            with self.subTest(name):
                self.assertEqual(explorer_json.load(fixture(name)).version, version)


class Facts(unittest.TestCase):
    def test_version2_takes_the_registry_facts_from_the_labels(self):
        variants, copies = explorer_json.facts(explorer_json.load(fixture("version2.json")))
        two_rows = variants["avx512_bytes_2rows_stream_all_cores"]
        self.assertEqual((two_rows.kernel, two_rows.cores, two_rows.written_by, two_rows.flow,
                          two_rows.stores, two_rows.rows_per_pass, two_rows.isa),
                         ("avx512_bytes_2rows_stream", "all", "hand", "bytes", "streaming", 2,
                          "AVX-512BW"))
        self.assertEqual((variants["hwy"].written_by, variants["hwy"].flow), ("library", "dwords"))
        self.assertEqual(variants["autovec"].written_by, "compiler")
        self.assertEqual(copies["limit_streaming_row_pairs"],
                         explorer_json.Copy("row_pairs", "streaming", "one"))
        self.assertEqual(copies["limit_cached_all_cores"],
                         explorer_json.Copy("limit", "cached", "all"))

    def test_the_old_naming_rule_agrees_with_the_registry(self):
        # Versions 0 and 1 are read by the variants' names: the rule must give
        # what the registry says of every variant a later run names.
        for path in (fixture("version2.json"), fixture("version3.json"),
                     fixture("version4.json")):
            variants, copies = explorer_json.facts(explorer_json.load(path))
            self.assertGreaterEqual(len(variants), 8)
            for name, facts in variants.items():
                with self.subTest(name):
                    self.assertEqual(explorer_json.legacy_facts(name), facts)
            for name, copy in copies.items():
                with self.subTest(name):
                    self.assertEqual(explorer_json.legacy_copy(name), copy)

    def test_a_fact_comes_from_the_label_not_the_name(self):
        label = ("vs limit_cached, bound=memory, kernel=avx2_mine, cores=one, "
                 "written_by=library, flow=words, stores=cached, rows_per_pass=1, isa=AVX2")
        run = explorer_json.Run("x", [{"name": "avx2_mine/256/manual_time", "label": label,
                                       "real_time": 1, "time_unit": "ms"}],
                                {"mean4_json_version": "2"}, 2)
        variants, _ = explorer_json.facts(run)
        self.assertEqual(variants["avx2_mine"].written_by, "library")


class Medians(unittest.TestCase):
    def test_repetitions_and_aggregates_give_one_median(self):
        every = explorer_json.medians(explorer_json.load(fixture("version2.json")))
        aggregated = explorer_json.medians(explorer_json.load(fixture("version2-aggregates.json")))
        for key in (("avx2", 256), ("limit_cached", 256)):
            with self.subTest(key):
                self.assertGreater(aggregated[key]["ms"], 0)
        # A median of two repetitions is their mean, as Google Benchmark's is.
        run = explorer_json.load(fixture("version2.json"))
        times = [b["real_time"] for b in run.benchmarks
                 if b["name"] == "avx2/256/manual_time" and b["run_type"] == "iteration"]
        self.assertAlmostEqual(every[("avx2", 256)]["ms"], sum(times) / len(times))

    def test_a_point_names_its_limit_and_bound(self):
        results = explorer_json.medians(explorer_json.load(fixture("version2.json")))
        point = results[("avx512_bytes_2rows_stream_all_cores", 2048)]
        self.assertEqual(point["limit"], "limit_streaming_all_cores")
        self.assertIn(point["bound"], ("memory", "compute"))

    def test_version0_rebuilds_its_model_from_the_unpaired_copy(self):
        results = explorer_json.medians(explorer_json.load(fixture("version0.json")))
        point = results[("avx2", 256)]
        self.assertTrue(point["recomputed"])
        self.assertEqual(point["pattern_ms"], results[("limit_cached_3rows", 256)]["ms"])
        self.assertAlmostEqual(point["model_ms"], max(point["compute_ms"], point["pattern_ms"]))
        self.assertNotIn("recomputed", results[("avx2_all_cores", 2048)])

    def test_version3_names_include_the_iteration_count_and_still_read(self):
        run = explorer_json.load(fixture("version3.json"))
        self.assertIn("iterations:1", run.benchmarks[-1]["name"] + run.benchmarks[5]["name"])
        results = explorer_json.medians(run)
        point = results[("avx2", 256)]
        self.assertLessEqual(point["x_limit_lo"], point["x_limit"])
        self.assertLessEqual(point["x_limit"], point["x_limit_hi"])
        self.assertIn(point["limit_copy"], ("limit", "three_rows", "row_pairs"))

    def test_a_point_settled_only_where_every_repetition_did(self):
        rows = [{"name": "a/256/iterations:1/manual_time", "run_type": "iteration",
                 "real_time": 1, "time_unit": "ms", "stable": stable, "x_limit": 1.0,
                 "x_limit_half_width": half_width}
                for stable, half_width in ((1, 0.01), (1, 0.015), (0, 0.04))]
        run = explorer_json.Run("x", rows, {"mean4_json_version": "3"}, 3)
        point = explorer_json.medians(run)[("a", 256)]
        self.assertEqual(point["stable"], 0)
        # The width that made it unsettled, not the median repetition's.
        self.assertEqual(point["x_limit_half_width"], 0.04)

    def test_a_points_interval_spans_its_repetitions(self):
        # Repetitions a minute apart that each settled tightly, on a machine
        # that moved in between: the point's interval must take in both.
        rows = [{"name": "a/256/iterations:1/manual_time", "run_type": "iteration",
                 "real_time": 1, "time_unit": "ms", "stable": 1, "x_limit": x,
                 "x_limit_lo": x * 0.99, "x_limit_hi": x * 1.01} for x in (1.0, 1.02, 1.3)]
        run = explorer_json.Run("x", rows, {"mean4_json_version": "4"}, 4)
        point = explorer_json.medians(run)[("a", 256)]
        self.assertEqual(point["x_limit"], 1.02)
        self.assertAlmostEqual(point["x_limit_lo"], 0.99)
        self.assertAlmostEqual(point["x_limit_hi"], 1.313)

    def test_each_version_says_what_its_limit_is(self):
        old = explorer_json.load(fixture("version2.json"))
        self.assertEqual(explorer_json.limit_definition(old), explorer_json.OLD_LIMIT_DEFINITION)
        self.assertIn("fastest", explorer_json.limit_definition(
            explorer_json.load(fixture("version3.json"))))

    def test_version1_keeps_its_paired_model(self):
        results = explorer_json.medians(explorer_json.load(fixture("version1.json")))
        self.assertFalse(any(r.get("recomputed") for r in results.values()))


class Caches(unittest.TestCase):
    def test_each_version_names_its_data_caches(self):
        self.assertEqual(explorer_json.caches(explorer_json.load(fixture("version0.json"))), [])
        self.assertEqual(explorer_json.caches(explorer_json.load(fixture("version1.json"))),
                         [("L1d", 49152), ("L2", 1048576), ("L3", 532676608)])

    def test_a_size_not_used_or_assumed_is_left_out(self):
        context = {"cache_L1d": "32768 bytes, assumed: none reported",
                   "cache_L2": "0 bytes, from sysfs; not used: zero",
                   "cache_L3": "33554432 bytes, from sysconf"}
        run = explorer_json.Run("x", [], context, 2)
        self.assertEqual(explorer_json.caches(run), [("L3", 33554432)])


if __name__ == "__main__":
    unittest.main()
