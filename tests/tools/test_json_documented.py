"""Every counter, label field and context key that a fresh run of the
explorer writes appears in the tables of docs/json.md, so the
contract between the explorer and the tools cannot grow unwritten. Runs the
explorer that MEAN4_EXPLORE names, briefly, on the smallest image."""
import json
import os
import re
import shlex
import subprocess
import unittest

from tools_path import ROOT

import explorer_json

# What Google Benchmark itself writes, which its own documentation covers.
BENCHMARK_FIELDS = {"name", "family_index", "per_family_instance_index", "run_name", "run_type",
                    "repetitions", "repetition_index", "threads", "iterations", "real_time",
                    "cpu_time", "time_unit", "aggregate_name", "aggregate_unit", "label",
                    "error_occurred", "error_message", "items_per_second"}
BENCHMARK_CONTEXT = {"date", "host_name", "executable", "num_cpus", "mhz_per_cpu",
                     "cpu_scaling_enabled", "caches", "load_avg", "library_build_type",
                     "json_schema_version"}


def documented_keys():
    """The backquoted names in the first column of the JSON page's tables (a
    cell may name several: `x_limit_lo`, `x_limit_hi`)."""
    with open(os.path.join(ROOT, "docs", "json.md"), encoding="utf-8") as f:
        text = f.read()
    cells = re.findall(r"^\| (`[^|]+) \|", text, re.M)
    return {name for cell in cells for name in re.findall(r"`([^`]+)`", cell)}


def explore(*arguments):
    """The explorer's JSON output for these arguments, as a dict."""
    command = shlex.split(os.environ.get("MEAN4_RUN", "")) + [os.environ["MEAN4_EXPLORE"]]
    done = subprocess.run(command + list(arguments) + ["--benchmark_format=json"],
                          capture_output=True, text=True, check=True)
    return json.loads(done.stdout)


def written_keys(results):
    """(counters, label fields, context keys) of a run; each cache_<name>
    key as cache_<name>."""
    counters, fields = set(), set()
    for benchmark in results["benchmarks"]:
        counters |= set(benchmark) - BENCHMARK_FIELDS
        fields |= set(explorer_json.label_fields(benchmark.get("label", "")))
    context = {re.sub(r"^cache_.*", "cache_<name>", key)
               for key in results["context"]} - BENCHMARK_CONTEXT
    return counters, fields, context


@unittest.skipUnless(os.environ.get("MEAN4_EXPLORE"), "MEAN4_EXPLORE names no explorer")
class Documented(unittest.TestCase):
    def test_every_key_of_a_fresh_run_is_in_the_table(self):
        counters, fields, context = written_keys(
            explore("--benchmark_filter=^(scalar|limit_cached(_3rows)?)/256/",
                    "--benchmark_min_time=0.01"))
        self.assertIn("x_limit", counters)
        self.assertIn("kernel", fields)
        self.assertIn("mean4_json_version", context)
        table = documented_keys()
        for kind, keys in (("counter", counters), ("label field", fields),
                           ("context key", context)):
            for key in sorted(keys):
                with self.subTest(f"{kind} {key}"):
                    self.assertIn(key, table, f"the {kind} {key} is not in docs/json.md")

    def test_the_documented_version_is_the_explorers(self):
        results = explore("--benchmark_filter=^limit_cached/256/", "--benchmark_min_time=0.01")
        version = results["context"]["mean4_json_version"]
        self.assertEqual(int(version), explorer_json.NEWEST_VERSION)
        with open(os.path.join(ROOT, "docs", "json.md"), encoding="utf-8") as f:
            self.assertIn(f"This is version {version}.", f.read())


if __name__ == "__main__":
    unittest.main()
