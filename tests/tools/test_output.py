"""The tools whose output is lost say so: into a full disk, a closed pipe or
a folder that does not exist, each prints one line on stderr and exits 4,
never a traceback and never 0."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from tools_path import ROOT, fixture

TOOLS = os.path.join(ROOT, "tools")


def tool(name, *arguments, stdout=subprocess.DEVNULL, pipe_closed=False):
    """(exit status, stderr) of a tool run with the arguments."""
    command = [sys.executable, os.path.join(TOOLS, name), *arguments]
    if not pipe_closed:
        done = subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE, text=True)
        return done.returncode, done.stderr
    # The reader is gone before the tool writes its first line.
    read, write = os.pipe()
    os.close(read)
    done = subprocess.run(command, stdout=write, stderr=subprocess.PIPE, text=True)
    os.close(write)
    return done.returncode, done.stderr


def has(module):
    try:
        __import__(module)
    except ImportError:
        return False
    return True


class LostOutput(unittest.TestCase):
    def assert_said(self, status_and_err, words):
        status, err = status_and_err
        self.assertEqual(status, 4, err)
        self.assertEqual(err.count("\n"), 1, err)
        self.assertIn(words, err)
        self.assertNotIn("Traceback", err)

    @unittest.skipUnless(has("scipy"), "needs python3-scipy")
    def test_compare_into_a_full_disk_or_a_closed_pipe(self):
        runs = (fixture("version2.json"), fixture("version2.json"))
        with open("/dev/full", "w") as full:
            self.assert_said(tool("compare.py", *runs, stdout=full),
                             "compare.py: cannot write standard output: No space left on device")
        self.assert_said(tool("compare.py", *runs, pipe_closed=True),
                         "compare.py: cannot write standard output: Broken pipe")

    @unittest.skipUnless(has("matplotlib"), "needs python3-matplotlib")
    def test_plot_into_a_folder_that_does_not_exist_or_a_full_disk(self):
        self.assert_said(tool("plot.py", fixture("version2.json"), "/nonexistent/chart.png"),
                         "plot.py: cannot write /nonexistent/chart.png: No such file or directory")
        with tempfile.TemporaryDirectory() as d, open("/dev/full", "w") as full:
            self.assert_said(tool("plot.py", fixture("version2.json"),
                                  os.path.join(d, "chart.png"), stdout=full),
                             "plot.py: cannot write standard output: No space left on device")

    def test_the_gallery_page_onto_a_full_disk(self):
        with tempfile.TemporaryDirectory() as gallery:
            os.symlink("/dev/full", os.path.join(gallery, "README.md"))
            self.assert_said(tool("gallery.py", "--gallery", gallery, "summary"),
                             "README.md: No space left on device")

    @unittest.skipUnless(has("matplotlib"), "needs python3-matplotlib")
    def test_a_run_half_filed_is_taken_out_again(self):
        with tempfile.TemporaryDirectory() as gallery:
            processor = os.path.join(gallery, "amd-family26-model2")
            os.makedirs(processor)
            os.chmod(processor, 0o500)  # the run's folder cannot be made
            try:
                status, err = tool("gallery.py", "--gallery", gallery, "add",
                                   fixture("version2.json"))
            finally:
                os.chmod(processor, 0o700)
            if os.geteuid() == 0:
                shutil.rmtree(processor)
                self.skipTest("root may write anywhere")
            self.assert_said((status, err), "Permission denied")
            self.assertEqual(os.listdir(processor), [])


if __name__ == "__main__":
    unittest.main()
