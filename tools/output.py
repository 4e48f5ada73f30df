"""What the tools write, written or said not to be. A full disk, a closed
pipe or a folder that does not exist ends a tool with one line on stderr
and exit status 4, as it ends the benchmark program and the explorer: never
with a traceback, and never with a status that says all was written."""
import os
import sys

# The exit status of a tool whose output could not be written.
CANNOT_WRITE = 4


def fail(program, error, where=None):
    """Says on stderr what could not be written (where, else the error's
    file) and why, and exits 4."""
    # What is left in standard output's buffer would fail again at exit.
    try:
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
    except OSError:
        pass
    print(f"{program}: cannot write {where or error.filename or 'its output'}: "
          f"{error.strerror or error}", file=sys.stderr)
    sys.exit(CANNOT_WRITE)


def say(program, text):
    """text on standard output, flushed, or fail."""
    try:
        print(text)
        sys.stdout.flush()
    except OSError as error:
        fail(program, error, "standard output")


def write_text(path, text):
    """text into the file at path, closed; an OSError names the file, as one
    from closing it, where a full disk shows, would not."""
    try:
        with open(path, "w") as f:
            f.write(text)
    except OSError as error:
        error.filename = error.filename or path
        raise
