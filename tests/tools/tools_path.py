"""Puts tools/ on the import path of the tests beside this file, and names
their fixtures."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))


def fixture(name):
    return os.path.join(HERE, "fixtures", name)
