"""The gallery on a scratch folder: a run is filed from its JSON alone, once;
filing another and writing the summary leave every earlier file as it was."""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from tools_path import ROOT, fixture

import gallery

GALLERY = os.path.join(ROOT, "tools", "gallery.py")


def run_gallery(folder, *arguments):
    return subprocess.run([sys.executable, GALLERY, "--gallery", folder, *arguments],
                          capture_output=True, text=True)


def fingerprints(folder):
    """{path: digest} of every file under folder."""
    found = {}
    for directory, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(directory, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = hashlib.sha256(f.read()).hexdigest()
    return found


class Folders(unittest.TestCase):
    def test_a_processor_is_filed_by_what_does_not_change_with_its_host(self):
        amd = {"processor_vendor": "AuthenticAMD", "processor_family": "26",
               "processor_model": "2", "processor_name": "Oxide Virtual Turin-like Processor"}
        self.assertEqual(gallery.processor_folder(amd), "amd-family26-model2")
        arm = {"processor_vendor": "0x41", "processor_name": "implementer 0x41, part 0xd0c"}
        self.assertEqual(gallery.processor_folder(arm), "implementer-0x41-part-0xd0c")
        self.assertEqual(gallery.run_folder_name({"date": "2026-12-09T21:04:21+00:00",
                                                  "build_commit": "0043d94"}),
                         "2026-12-09-0043d94")


try:
    import matplotlib  # noqa: F401
    HAS_MATPLOTLIB = True
except ImportError:
    HAS_MATPLOTLIB = False


@unittest.skipUnless(HAS_MATPLOTLIB, "needs python3-matplotlib")
class Filing(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)

    def later_run(self):
        """The version 2 fixture, a day later and from another commit."""
        with open(fixture("version2.json")) as f:
            results = json.load(f)
        results["context"]["date"] = "2026-12-10T08:00:00+00:00"
        results["context"]["build_commit"] = "abcdef0"
        path = os.path.join(self.folder, "..", os.path.basename(self.folder) + "-later.json")
        with open(path, "w") as f:
            json.dump(results, f)
        self.addCleanup(os.remove, path)
        return path

    def test_a_run_is_filed_once_with_its_machine_and_program(self):
        program = os.path.join(self.folder, "..", os.path.basename(self.folder) + "-mean4.txt")
        with open(program, "w") as f:
            f.write("C++:  500\nSSE:  250\nAVX2: 200\n")
        self.addCleanup(os.remove, program)
        done = run_gallery(self.folder, "add", fixture("version2.json"), "--program", program)
        self.assertEqual(done.returncode, 0, done.stderr)
        processor = os.path.join(self.folder, "amd-family26-model2")
        (run,) = os.listdir(processor)
        self.assertEqual(sorted(os.listdir(os.path.join(processor, run))),
                         ["machine.md", "mean4.txt", "results.json", "roofline.png", "tables.md"])
        with open(os.path.join(processor, run, "machine.md")) as f:
            self.assertIn("- family: 26", f.read())
        with open(os.path.join(processor, run, "results.json")) as f:
            filed = json.load(f)
        with open(fixture("version2.json")) as f:
            written = json.load(f)
        self.assertEqual(filed["context"].pop("executable"), "mean4_explore")
        written["context"].pop("executable")
        self.assertEqual(filed, written, "nothing else of the JSON changes")
        again = run_gallery(self.folder, "add", fixture("version2.json"))
        self.assertEqual(again.returncode, 1)
        self.assertIn("is filed already", again.stderr)
        self.assertEqual(run_gallery(self.folder, "summary").returncode, 0)
        with open(os.path.join(self.folder, "README.md")) as f:
            self.assertIn("| C++ 500 / SSE 250 / AVX2 200 |", f.read())

    def test_filing_and_the_summary_leave_earlier_files_untouched(self):
        self.assertEqual(run_gallery(self.folder, "add", fixture("version2.json")).returncode, 0)
        self.assertEqual(run_gallery(self.folder, "summary").returncode, 0)
        before = fingerprints(self.folder)
        self.assertEqual(run_gallery(self.folder, "add", self.later_run()).returncode, 0)
        self.assertEqual(run_gallery(self.folder, "summary").returncode, 0)
        after = fingerprints(self.folder)
        with open(os.path.join(self.folder, "README.md")) as f:
            page = f.read()
        # The same figures filed twice, two repetitions each: nothing can be
        # called, and no mean is printed that would read as a finding.
        self.assertIn("→ 2026-12-10-abcdef0: no point can be called: with 2 repetitions a side",
                      page)
        self.assertNotIn("everything:", page)
        changed = {path for path in before if before[path] != after.get(path)}
        self.assertEqual(changed, {"README.md"})
        added = {os.path.dirname(path) for path in set(after) - set(before)}
        self.assertEqual(added, {os.path.join("amd-family26-model2", "2026-12-10-abcdef0")})

    def test_a_run_without_its_processor_is_refused(self):
        done = run_gallery(self.folder, "add", fixture("version1.json"))
        self.assertEqual(done.returncode, 1)
        self.assertIn("format version 1", done.stderr)
        self.assertEqual(os.listdir(self.folder), [])


if __name__ == "__main__":
    unittest.main()
