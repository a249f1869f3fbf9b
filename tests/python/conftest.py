"""Shared helpers of the module's tests: the built programs, run on files of
their own in a temporary folder, as the module's results are checked against."""

import os
import subprocess

import numpy as np
import pytest

BATCH = os.environ.get("BROADEN_BATCH_EXECUTABLE", "")
CLASSIC = os.environ.get("BROADEN_EXECUTABLE", "")
# The folder of real quantum-chemistry outputs, where present.
QC_SAMPLES = os.environ.get("BROADEN_QC_SAMPLES", "")
# The excerpts of programs' outputs the C++ tests share (tests/support/excerpts).
EXCERPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support",
                        "excerpts")


def excerpt(name):
    """The whole text of the shared excerpt `name`, e.g. excerpt("gaussian-ir.log")."""
    with open(os.path.join(EXCERPTS, name), newline="") as text:
        return text.read()


def bits(array):
    """The array's doubles as integers: equal exactly when bit for bit (-0.0 and NaN too)."""
    return np.ascontiguousarray(array, dtype=np.float64).view(np.int64)


def write(folder, name, text):
    """The file `name` in `folder` holding exactly `text`; its path."""
    path = os.path.join(folder, name)
    with open(path, "w", newline="") as out:
        out.write(text)
    return path


def write_columns(path, *columns):
    """A columns line list, each double as its shortest round-trip text (repr)."""
    with open(path, "w") as out:
        for row in zip(*columns):
            out.write(" ".join(repr(float(v)) for v in row) + "\n")


def run_batch(arguments, cwd):
    """broaden-batch's status, its tsv points as two arrays, and its stderr."""
    assert BATCH, "BROADEN_BATCH_EXECUTABLE names the program"
    done = subprocess.run([BATCH, *arguments], capture_output=True, text=True, cwd=cwd)
    x, y = [], []
    if done.returncode == 0:
        for line in done.stdout.splitlines():
            if line.startswith("#"):
                continue
            a, b = line.split("\t")
            x.append(float(a))
            y.append(float(b))
    return done.returncode, np.array(x), np.array(y), done.stderr


def run_sticks(arguments, cwd):
    """broaden-batch's status, its --sticks (positions, intensities), its notes and warnings
    without the program's prefix, and its stderr."""
    assert BATCH, "BROADEN_BATCH_EXECUTABLE names the program"
    sticks = os.path.join(cwd, "sticks.tsv")
    for name in (sticks, os.path.join(cwd, "spectrum.tsv")):
        if os.path.exists(name):
            os.remove(name)
    done = subprocess.run([BATCH, "--sticks", sticks, "-o", os.path.join(cwd, "spectrum.tsv"),
                           *arguments], capture_output=True, text=True, cwd=cwd)
    positions, intensities = [], []
    if done.returncode == 0:
        with open(sticks) as lines:
            for line in lines:
                if not line.startswith("#"):
                    a, b = line.split("\t")
                    positions.append(float(a))
                    intensities.append(float(b))
    notes = []
    for line in done.stderr.splitlines():
        for prefix in ("broaden-batch: note: ", "broaden-batch: warning: "):
            if line.startswith(prefix):
                notes.append(line[len(prefix):])
    return done.returncode, np.array(positions), np.array(intensities), notes, done.stderr


def batch_message(stderr):
    """The one-line message of a refusal, as the program prints it after its name."""
    first = [line for line in stderr.splitlines()
             if not line.startswith(("broaden-batch: note: ", "broaden-batch: warning: "))][0]
    assert first.startswith("broaden-batch: "), stderr
    return first[len("broaden-batch: "):]


def option_of(keyword):
    """The broaden-batch option a spectrum() keyword stands for."""
    return {"start": "--from", "stop": "--to", "unit": "--line-unit"}.get(keyword, "--" + keyword.replace("_", "-"))


@pytest.fixture
def folder(tmp_path):
    return str(tmp_path)
