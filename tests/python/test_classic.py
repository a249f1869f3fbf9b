"""classic() against broaden's own spectrum file: the returned doubles,
formatted as its records are, are its records, byte for byte."""

import os
import subprocess

import numpy as np
import pytest

import broaden
from conftest import CLASSIC


def field(value):
    """A 12-character field with four decimals, as broaden writes it."""
    if np.isnan(value):
        text = "NaN"
    elif np.isinf(value):
        text = "Infinity" if value > 0 else "-Infinity"
    else:
        text = "%.4f" % value  # correctly rounded, ties to even, the minus sign kept
    return text.rjust(12) if len(text) <= 12 else "*" * 12


def broaden_file(records, width, folder):
    """broaden's spectrum file for the line-list records, run with its four answers."""
    with open(os.path.join(folder, "lines.txt"), "w") as out:
        out.writelines(record + "\n" for record in records)
    answers = f"lines.txt\n{len(records)}\nspectrum.txt\n{width}\n"
    done = subprocess.run([CLASSIC], input=answers, capture_output=True, text=True, cwd=folder)
    assert done.returncode == 0 and done.stderr == "", done.stderr
    with open(os.path.join(folder, "spectrum.txt")) as spectrum:
        return spectrum.read()


def records_of(count, random):
    """Line-list records of two 10-character fields, and the doubles they read as."""
    frequencies = random.uniform(-100.0, 2100.0, count).round(4)
    intensities = random.uniform(-50.0, 1000.0, count).round(4)
    records = [f"{f:10.4f}{i:10.4f}" for f, i in zip(frequencies, intensities)]
    return records, [float(r[:10]) for r in records], [float(r[10:]) for r in records]


RANDOM = np.random.default_rng(424242)


# The width answers: ordinary, small and large, zero and negative (as broaden takes them).
@pytest.mark.parametrize("width", ["5.0", "0.05", "250", "0", "-3.5", "1e-320", "1e300"])
def test_the_records_are_the_classic_values_formatted(width, folder):
    records, frequencies, intensities = records_of(200, RANDOM)
    # Infinite intensities and lines the width makes tall: NaN, Infinity and asterisks.
    records += ["    1000.0     1E400", "    1500.0 -99999999", "  500.0001 9999999.9"]
    frequencies += [1000.0, 1500.0, 500.0001]
    intensities += [np.inf, -99999999.0, 9999999.9]
    expected = broaden_file(records, width, folder)
    w, t = broaden.classic(frequencies, intensities, float(width))
    assert w.size == t.size == 20000 and w.dtype == t.dtype == np.float64
    mine = [f"{field(a)} , {field(b)}" for a, b in zip(w, t)]
    theirs = expected.split("\n")
    assert theirs[-1] == "" and len(theirs) == 20001
    wrong = [n for n, (a, b) in enumerate(zip(mine, theirs)) if a != b]
    assert not wrong, (len(wrong), mine[wrong[0]], theirs[wrong[0]])


def test_the_grid_is_the_single_precision_one_and_no_lines_give_zeros():
    w, t = broaden.classic([], [], 5.0)
    assert np.array_equal(w, (np.arange(1, 20001, dtype=np.float32) * np.float32(0.1)).astype(
        np.float64))
    assert w[2] == 0.30000001192092896 and w[-1] == 2000.0
    assert not np.signbit(t).any() and not t.any()
    assert w.flags.owndata and t.flags.owndata


def test_arrays_that_do_not_fit_are_refused():
    with pytest.raises(ValueError, match="^frequencies and intensities differ in size: 2 and 1$"):
        broaden.classic([1.0, 2.0], [1.0], 5.0)
    with pytest.raises(ValueError, match="^frequencies must be a one-dimensional array"):
        broaden.classic([[1.0]], [1.0], 5.0)
