"""The chart: a file it cannot use is refused with one line and exit status
1, never a traceback; a run of every format version draws, and the report
comes with it."""
import glob
import os
import subprocess
import sys
import tempfile
import unittest

from tools_path import ROOT, fixture

PLOT = os.path.join(ROOT, "tools", "plot.py")


def has_matplotlib():
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        return False
    return True


def plot(json_path, png_path):
    return subprocess.run([sys.executable, PLOT, json_path, png_path], capture_output=True,
                          text=True)


class Refusal(unittest.TestCase):
    def test_a_file_without_results_is_refused_in_one_line(self):
        with tempfile.TemporaryDirectory() as d:
            other = os.path.join(d, "other.json")
            with open(other, "w") as f:
                f.write('{"benchmarks": [{"name": "BM_other", "real_time": 1, "time_unit": "ms"}]}')
            chart = os.path.join(d, "chart.png")
            done = plot(other, chart)
            self.assertEqual(done.returncode, 1)
            self.assertEqual(done.stderr.strip().count("\n"), 0)
            self.assertIn("plot.py:", done.stderr)
            self.assertFalse(os.path.exists(chart))


@unittest.skipUnless(has_matplotlib(), "needs python3-matplotlib")
class Drawing(unittest.TestCase):
    def test_every_format_version_draws_with_its_report(self):
        runs = sorted(glob.glob(fixture("version*.json")))
        self.assertEqual(len(runs), 7)
        with tempfile.TemporaryDirectory() as d:
            for path in runs:
                with self.subTest(os.path.basename(path)):
                    chart = os.path.join(d, "chart.png")
                    done = plot(path, chart)
                    self.assertEqual(done.returncode, 0, done.stderr)
                    self.assertGreater(os.path.getsize(chart), 10000)
                    self.assertIn("The model holds", done.stdout)
                    os.remove(chart)


if __name__ == "__main__":
    unittest.main()
