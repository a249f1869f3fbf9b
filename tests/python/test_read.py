"""read() against broaden-batch: the lines it reads, the spectra they give,
and its errors and notes with broaden-batch's messages."""

import os
import pathlib

import numpy as np
import pytest

import broaden
from conftest import batch_message, bits, run_batch


def write(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w", newline="") as out:
        out.write(text)
    return path


COLUMNS = ("\ufeff# position, intensity, fwhm\nfreq;int;w\n1000  2.5  10\n"
           "1.5D3,\t1e-1 ,3  # a comment\r\n\n  -20 -7 0.25\r12.25 1 1")


def test_columns_give_what_broaden_batch_reads(folder):
    path = write(folder, "lines.csv", COLUMNS)
    lines = broaden.read(path, columns="1,2,3")
    assert list(lines["positions"]) == [1000.0, 1500.0, -20.0, 12.25]
    assert list(lines["intensities"]) == [2.5, 0.1, -7.0, 1.0]
    assert list(lines["widths"]) == [10.0, 3.0, 0.25, 1.0]
    assert lines["kind"] == "lines" and lines["format"] == "columns"
    assert lines["units"] == {"positions": None, "intensities": None}
    assert lines["free_energy"] is None
    assert lines["positions"].flags.c_contiguous and lines["positions"].dtype == np.float64
    # The notes are broaden-batch's, and the spectrum of the lines is its spectrum.
    for shape, keywords, options in [
            ("gaussian", {"fwhm": 1.0}, ["--fwhm", "1"]),
            ("lorentzian", {"hwhm": 1.0}, ["--shape", "lorentzian", "--hwhm", "1"])]:
        status, x, y, stderr = run_batch(options + ["--columns", "1,2,3", "--from", "-30",
                                                    "--to", "1600", "--step", "0.5", path], folder)
        assert status == 0, stderr
        notes = [line[len("broaden-batch: note: "):] for line in stderr.splitlines()
                 if line.startswith("broaden-batch: note: ")]
        assert lines["notes"] == notes == [path + ":2: skipped the header row 'freq;int;w'"]
        mine = broaden.spectrum(lines["positions"], lines["intensities"], widths=lines["widths"],
                                shape=shape, start=-30, stop=1600, step=0.5, **keywords)
        assert np.array_equal(bits(mine[0]), bits(x)) and np.array_equal(bits(mine[1]), bits(y))
    # Without a width field no widths are read; fields past those named are not read at all.
    lines = broaden.read(pathlib.Path(path))
    assert lines["widths"] is None and list(lines["intensities"]) == [2.5, 0.1, -7.0, 1.0]
    assert list(broaden.read(os.fsencode(path), columns="3,1")["positions"]) == [10, 3, 0.25, 1]


def test_fixed_records_read_as_broaden_reads_them(folder):
    # Implied decimals, commas, exponents by sign alone, an empty field, a short line.
    text = " 1000.0000  100.0000\n    1500.0      40.0\n1234.5,7\n        25     1.5-3\n\n12"
    path = write(folder, "lines.txt", text)
    lines = broaden.read(path, input="fixed")
    assert list(lines["positions"]) == [1000.0, 1500.0, 1234.5, 0.0025, 0.0, 0.0012]
    assert list(lines["intensities"]) == [100.0, 40.0, 0.0007, 0.0015, 0.0, 0.0]
    assert lines["format"] == "fixed" and lines["widths"] is None and lines["notes"] == []
    status, x, y, stderr = run_batch(["--input", "fixed", "--sigma", "2", path], folder)
    assert status == 0, stderr
    mine = broaden.spectrum(lines["positions"], lines["intensities"], sigma=2.0)
    assert np.array_equal(bits(mine[1]), bits(y))
    # Today nothing is recognised: auto reads the columns (and fails on these records).
    assert broaden.read(write(folder, "plain.txt", "1 2\n"))["format"] == "columns"


# Files neither reads, and the options it refuses, with broaden-batch's messages.
BAD = [
    ("1000 x\n", [], {}),
    ("1000\r\n", [], {}),
    ("1000 2\n1001 1e999\n", [], {}),
    ("1000 2 0\n", ["--columns", "1,2,3"], {"columns": "1,2,3"}),
    ("1000 2 nan\n", ["--columns", "1,2,3"], {"columns": "1,2,3"}),
    ("1000 2\n", ["--columns", "1,1"], {"columns": "1,1"}),
    ("1000 2\n", ["--columns", "0,2"], {"columns": "0,2"}),
    ("1000 2\n", ["--input", "fixed", "--columns", "1,2"], {"input": "fixed", "columns": "1,2"}),
    ("1.0\t2.0\n", ["--input", "fixed"], {"input": "fixed"}),
    ("     1E400       1.0\n", ["--input", "fixed"], {"input": "fixed"}),
]


@pytest.mark.parametrize("text,options,keywords", BAD)
def test_what_broaden_batch_refuses_is_refused_with_its_message(text, options, keywords, folder):
    path = write(folder, "bad\tname.txt", text)
    status, _, _, stderr = run_batch(["--sigma", "1"] + options + [path], folder)
    assert status in (1, 2), stderr
    with pytest.raises(ValueError) as raised:
        broaden.read(path, **keywords)
    assert str(raised.value) == batch_message(stderr)
    assert "\t" not in str(raised.value)  # names shown escaped, on one line


def test_names_the_program_does_not_take_are_refused(folder):
    path = write(folder, "lines.txt", "1 2\n")
    for options, keywords in [(["--input", "xyz"], {"input": "xyz"}),
                              (["--spectrum", "ir"], {"spectrum": "ir"})]:
        status, _, _, stderr = run_batch(["--sigma", "1"] + options + [path], folder)
        assert status == 2, stderr
        with pytest.raises(ValueError) as raised:
            broaden.read(path, **keywords)
        assert str(raised.value) == batch_message(stderr)
    with pytest.raises(FileNotFoundError):
        broaden.read(os.path.join(folder, "absent.txt"))
    with pytest.raises(IsADirectoryError):
        broaden.read(folder)
