"""read() against broaden-batch: the lines it reads, the spectra they give,
and its errors and notes with broaden-batch's messages."""

import gzip
import os
import pathlib
import re
import shutil

import numpy as np
import pytest

import broaden
from conftest import QC_SAMPLES, batch_message, bits, excerpt, run_batch, run_sticks, write


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
    ("1000 2\n\x00\n", [], {}),
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


# Quantum-chemistry outputs: the shared excerpts, as the programs print them.
FREE_ENERGY = " Sum of electronic and thermal Free Energies=  {:.9f}\n"
# RT ln 10 at 298.15 K in hartree (CODATA 2018): the conformer that much higher weighs a tenth.
DECADE = 8.314462618e-3 * 298.15 * np.log(10.0) / 2625.4996394799


@pytest.fixture
def outputs(folder):
    write(folder, "ir.log", excerpt("gaussian-ir.log"))
    write(folder, "both.log", excerpt("gaussian-ir-raman.log"))
    write(folder, "td.log", excerpt("gaussian-td.log"))
    write(folder, "vcd.log", excerpt("gaussian-vcd.log"))
    write(folder, "lines.txt", "1000.1234 10.25\n1500.5 0.01\n")
    one_mode = excerpt("gaussian-one-mode.log")
    write(folder, "low.log", one_mode + FREE_ENERGY.format(-382.0))
    write(folder, "high.log", one_mode + FREE_ENERGY.format(-382.0 + DECADE))
    write(folder, "none.log", one_mode)
    return folder


def shortest(value):
    """A double as the module writes it for the program: its shortest text ("1", not "1.0")."""
    text = repr(float(value))
    return text[:-2] if text.endswith(".0") else text


def option_list(keywords):
    """broaden-batch's options for read()'s keywords."""
    options = []
    for keyword, value in keywords.items():
        if keyword == "weights":
            value = ",".join(shortest(w) for w in value)
        elif keyword == "laser" and not isinstance(value, str):
            value = shortest(value) + "cm-1"
        elif isinstance(value, float):
            value = shortest(value)
        options += ["--" + keyword.replace("_", "-"), value]
    return options


def reading_notes(notes):
    """The program's notes on reading, without those on the grid it draws on."""
    return [note for note in notes
            if not note.startswith("the grid ") and not re.match(r"\d+ of \d+ lines? lie", note)]


def same_as_sticks(files, keywords, folder, width=("--fwhm", "10")):
    """read() of `files` against broaden-batch's --sticks with the same options: the same
    lines bit for bit and the same notes, or the same refusal. The result, or None."""
    status, positions, intensities, notes, stderr = run_sticks(
        [*width, *option_list(keywords), *files], folder)
    previous = os.getcwd()
    os.chdir(folder)  # the names as the program was given them, in the messages
    try:
        given = files[0] if len(files) == 1 else files
        if status != 0:
            with pytest.raises(ValueError) as raised:
                broaden.read(given, **keywords)
            assert str(raised.value) == batch_message(stderr)
            return None
        lines = broaden.read(given, **keywords)
    finally:
        os.chdir(previous)
    assert np.array_equal(bits(lines["positions"]), bits(positions)), (files, keywords)
    assert np.array_equal(bits(lines["intensities"]), bits(intensities)), (files, keywords)
    assert lines["notes"] == reading_notes(notes)
    assert lines["widths"] is None
    return lines


CASES = [
    (["ir.log"], {}),
    (["ir.log"], {"units": "epsilon"}),
    (["ir.log"], {"scale": 0.96, "shift": 3.5}),
    (["ir.log"], {"axis": "nm"}),
    (["both.log"], {"spectrum": "raman"}),
    (["both.log"], {"spectrum": "raman", "units": "epsilon", "laser": "532nm",
                    "temperature": 300.0}),
    (["both.log"], {"spectrum": "raman", "units": "epsilon", "laser": 18796.99}),
    (["both.log"], {"spectrum": "raman", "units": "epsilon"}),
    (["both.log"], {"spectrum": "raman", "units": "cross-section", "laser": "532nm"}),
    (["td.log"], {"spectrum": "uv"}),
    (["td.log"], {"spectrum": "uv", "units": "epsilon", "axis": "cm-1"}),
    (["td.log"], {"spectrum": "uv", "axis": "ev", "shift": -0.1}),
    (["td.log"], {"spectrum": "ecd", "units": "epsilon"}),
    (["td.log"], {"spectrum": "ecd", "rotatory": "length", "axis": "ev"}),
    (["vcd.log"], {"spectrum": "vcd"}),
    (["vcd.log"], {"spectrum": "vcd", "units": "epsilon", "axis": "um"}),
    (["low.log", "high.log"], {"boltzmann": 298.15}),
    (["ir.log", "low.log"], {"weights": [0.25, 3.0], "units": "epsilon"}),
    (["lines.txt"], {"line_unit": "ev", "axis": "nm"}),
]


@pytest.mark.parametrize("files,keywords", CASES)
def test_outputs_give_broaden_batchs_sticks(files, keywords, outputs):
    lines = same_as_sticks(files, keywords, outputs)
    assert lines is not None
    several = len(files) > 1
    assert lines["format"] == (["gaussian"] * len(files) if several else
                               "columns" if files[0] == "lines.txt" else "gaussian")
    assert lines["energies"].shape == lines["positions"].shape


# read()'s energies broadened by spectrum() on read()'s axis: the program's spectrum.
@pytest.mark.parametrize("name,keywords", [("td.log", {"spectrum": "uv", "units": "epsilon"}),
                                           ("ir.log", {"axis": "nm"})])
def test_read_energies_broadened_on_their_axis_are_the_programs_spectrum(name, keywords, outputs):
    lines = broaden.read(os.path.join(outputs, name), **keywords)
    x, y = broaden.spectrum(lines["energies"], lines["intensities"], fwhm=0.3,
                            unit=lines["units"]["energies"], axis=lines["units"]["positions"])
    _, x_batch, y_batch, _ = run_batch(["--fwhm=0.3", *option_list(keywords), name], outputs)
    assert x.size > 100 and np.array_equal(bits(x), bits(x_batch)) and np.array_equal(bits(y), bits(y_batch))


def test_what_each_output_gives_and_in_which_units(outputs):
    path = os.path.join(outputs, "ir.log")
    ir = broaden.read(path)
    # The imaginary mode left out, as the warning says; the printed decimals on the file's axis.
    assert list(ir["positions"]) == [1000.1234, 1500.5] and list(ir["intensities"]) == [10.25, 0.01]
    assert ir["kind"] == "ir" and ir["free_energy"] is None and ir["weights"] is None
    assert ir["units"] == {"positions": "cm-1", "energies": "cm-1", "intensities": "km/mol"}
    assert len(ir["notes"]) == 1 and ir["notes"][0].startswith(path + ":")
    assert "imaginary" in ir["notes"][0]
    td = os.path.join(outputs, "td.log")
    ecd = broaden.read(td, spectrum="ecd", units="epsilon")
    assert ecd["units"] == {"positions": "nm", "energies": "ev",
                            "intensities": "delta epsilon/(L/mol/cm)*eV"}
    native = broaden.read(td, spectrum="ecd", axis="cm-1")
    assert list(native["intensities"]) == [-0.3874, -32.8598]  # velocity by default
    # The sticks carry the wavenumber factor the curve is multiplied by.
    ratio = ecd["intensities"] / native["intensities"]
    assert np.allclose(ratio / native["positions"], ratio[0] / native["positions"][0], rtol=1e-12)
    assert list(broaden.read(td, spectrum="ecd", rotatory="length")["intensities"]) == [
        -0.478, -48.1793]
    # A line list in eV: broadened in eV, drawn in nm, its units named.
    lines = broaden.read(os.path.join(outputs, "lines.txt"), line_unit="ev", axis="nm")
    assert lines["units"] == {"positions": "nm", "energies": "ev", "intensities": None}
    assert list(lines["energies"]) == [1000.1234, 1500.5] and lines["kind"] == "lines"
    # Broadened in eV: the energies give the program's curve on an eV grid.
    uv = broaden.read(td, spectrum="uv", units="epsilon")
    assert list(uv["energies"]) == [5.6287, 6.0621]
    status, x, y, stderr = run_batch(["--spectrum", "uv", "--units", "epsilon", "--fwhm", "0.3",
                                      "--axis", "ev", "--from", "4", "--to", "8", "--step",
                                      "0.01", td], outputs)
    assert status == 0, stderr
    mine = broaden.spectrum(uv["energies"], uv["intensities"], fwhm=0.3, start=4, stop=8,
                            step=0.01)
    assert np.array_equal(bits(mine[0]), bits(x)) and np.array_equal(bits(mine[1]), bits(y))


def test_boltzmann_weights_follow_the_free_energies(outputs):
    names = [os.path.join(outputs, name) for name in ("low.log", "high.log")]
    lines = broaden.read(names, boltzmann=298.15)
    low, high = lines["weights"]
    assert low + high == pytest.approx(1.0, abs=1e-15) and low / high == pytest.approx(10, 1e-5)
    assert lines["free_energy"] == [-382.0, pytest.approx(-382.0 + DECADE, abs=1e-9)]
    assert list(lines["intensities"]) == [10.0 * low, 10.0 * high]
    assert lines["format"] == ["gaussian", "gaussian"]
    # Twice the same energy: half each; a tuple of paths as a list.
    assert broaden.read((names[0], names[0]), boltzmann=500.0)["weights"] == [0.5, 0.5]


def test_a_gzip_reads_as_its_content(folder):
    path = os.path.join(folder, "a.txt.gz")
    with gzip.open(path, "wt") as out:
        out.write("1000 2\n1100 0.5\n")
    lines = broaden.read(path)
    assert list(lines["positions"]) == [1000.0, 1100.0] and lines["format"] == "columns"


def test_several_files_sum_each_by_its_weight(folder):
    a = write(folder, "a.txt", "1000 2\n1100 0.5\n")
    b = write(folder, "b.txt", "1200 3\n")
    lines = broaden.read([a, pathlib.Path(b)], weights=[0.5, 2])
    assert list(lines["positions"]) == [1000, 1100, 1200]
    assert list(lines["intensities"]) == [1, 0.25, 6]
    assert lines["weights"] == [0.5, 2.0] and lines["free_energy"] == [None, None]
    assert lines["format"] == ["columns", "columns"] and lines["kind"] == "lines"
    # Without weights each counts once.
    assert list(broaden.read([a, b])["intensities"]) == [2, 0.5, 3]
    assert broaden.read([a, b])["weights"] is None


REFUSED = [
    (["both.log"], {}),
    (["ir.log"], {"spectrum": "raman"}),
    (["ir.log"], {"spectrum": "uv"}),
    (["ir.log"], {"columns": "2,1"}),
    (["ir.log"], {"input": "orca"}),
    (["td.log"], {"spectrum": "dos"}),
    (["td.log"], {"spectrum": "ecd", "rotatory": "mixed"}),
    (["td.log"], {"axis": "hz"}),
    (["td.log"], {"units": "molar"}),
    (["both.log"], {"spectrum": "raman", "units": "epsilon", "laser": "532"}),
    (["both.log"], {"spectrum": "raman", "units": "epsilon", "laser": "2eV"}),
    (["both.log"], {"spectrum": "raman", "units": "epsilon", "laser": -1.0}),
    (["both.log"], {"spectrum": "raman", "units": "epsilon", "laser": 500.0}),
    (["ir.log"], {"temperature": 0.0}),
    (["ir.log"], {"shift": float("inf")}),
    (["low.log", "none.log"], {"boltzmann": 298.15}),
    (["low.log", "high.log"], {"weights": [1.0]}),
    (["low.log"], {"weights": [1.0, 2.0]}),
    (["low.log", "high.log"], {"weights": [1.0, 2.0], "boltzmann": 300.0}),
    (["low.log", "high.log"], {"weights": [1.0, float("nan")]}),
    (["low.log", "lines.txt"], {}),
    (["lines.txt"], {"units": "epsilon"}),
    (["lines.txt"], {"laser": "532nm"}),
    (["lines.txt"], {"input": "fixed", "line_unit": "nm"}),
]


@pytest.mark.parametrize("files,keywords", REFUSED)
def test_what_broaden_batch_refuses_in_outputs_is_refused_with_its_message(files, keywords,
                                                                           outputs):
    assert same_as_sticks(files, keywords, outputs) is None


def test_names_are_files_whatever_they_look_like(folder, monkeypatch):
    monkeypatch.chdir(folder)
    write(folder, "-", "1000 2\n")
    write(folder, "--spectrum=ir", "1200 3\n")
    # "-" is the file of that name (the program would read standard input), and a name like an
    # option is a name.
    lines = broaden.read(["-", "--spectrum=ir"])
    assert list(lines["positions"]) == [1000, 1200]
    with pytest.raises(ValueError, match="^give at least one file to read$"):
        broaden.read([])
    with pytest.raises(TypeError):
        broaden.read("-", laser=True)


@pytest.mark.skipif(not os.path.isdir(QC_SAMPLES), reason="no folder of real outputs")
@pytest.mark.parametrize("name", sorted(os.listdir(QC_SAMPLES)) if os.path.isdir(QC_SAMPLES)
                         else [])
def test_real_outputs_give_broaden_batchs_sticks(name, folder):
    if name.startswith(("README", "LICENSE")):
        pytest.skip("not an output")
    shutil.copy(os.path.join(QC_SAMPLES, name), folder)
    for keywords in [{}, {"spectrum": "ir"}, {"spectrum": "raman"}, {"spectrum": "uv"},
                     {"spectrum": "ecd"}, {"units": "epsilon", "axis": "ev"},
                     {"spectrum": "raman", "units": "epsilon", "laser": "532nm"}]:
        same_as_sticks([name], keywords, folder)
