"""compare(), fit() and read() of a JCAMP-DX curve against numpy's scores,
a known measurement, the program's --report, and the curve's other form."""

import json
import os

import numpy as np
import pytest

import broaden
from conftest import batch_message, run_batch, write, write_columns

GRID = dict(start=900, stop=1300, step=1)


def test_scores_are_numpys_cosine_and_pearson_and_the_sign_flip_swaps_s_e():
    rng = np.random.default_rng(7)
    x = np.linspace(100.0, 200.0, 101)
    y, measured = rng.normal(size=101), rng.normal(size=101)
    report = broaden.compare(x[::-1], y[::-1], x, measured)  # either direction
    cosine = y @ measured / np.sqrt((y @ y) * (measured @ measured))
    pearson = np.corrcoef(y, measured)[0, 1]
    assert report["points"] == 101 and report["range"] == [100.0, 200.0]
    assert report["scores"] == pytest.approx({"cosine": cosine, "pearson": pearson}, rel=1e-12)
    assert "experiment" not in report and "verdict" not in report

    same = broaden.compare(x, y, x, y, signed=True)
    flipped = broaden.compare(x, -y, x, y, signed=True)
    assert same["verdict"] == "computed configuration" and flipped["verdict"] == "mirror image"
    assert flipped["scores"]["s_e"] == same["scores"]["s_mirror"]
    assert flipped["scores"]["esi"] == -same["scores"]["esi"]

    part = broaden.compare(x, y, x, measured, range=(150, 120))
    assert part["range"] == [120.0, 150.0] and part["points"] == 31


@pytest.mark.parametrize("call, message", [
    (lambda: broaden.compare([1, 2, 3], [1, 2, 3], [0, 9], [0, 9], range=(5, 5)),
     "--compare-range takes two different finite numbers, as A,B, not '5,5'"),
    (lambda: broaden.compare([1, 2, 3], [1, 2, 3], [7, 9], [0, 9]),
     "the measurement (from 7 to 9) spans 0 points of the grid (from 1 to 3): at least 3 are "
     "needed"),
    (lambda: broaden.fit([1000.0], [1.0], [900, 1300], [0, 1], fit="width", fwhm=10, **GRID),
     "--fit takes scale, shift and fwhm, as NAME or NAME=LOW:HIGH (LOW not above HIGH, scale "
     "and fwhm above 0) joined by commas, not 'width'"),
    (lambda: broaden.fit([1000.0], [1.0], [900, 1300], [0, 1], score="rms", fwhm=10, **GRID),
     None),
])
def test_refusals_are_the_programs(call, message, folder):
    with pytest.raises(ValueError) as refused:
        call()
    if message is None:  # the program's words, whatever they are
        status, _, _, stderr = run_batch(["--fwhm", "10", "--compare", "e", "--score", "rms",
                                          write(folder, "l", "1000 1\n")], folder)
        message = batch_message(stderr)
    assert str(refused.value) == message


def test_fit_recovers_the_scale_and_width_a_measurement_was_made_with():
    lines, heights = np.array([950.0, 1050.0, 1180.0]), np.array([1.0, 3.0, 2.0])
    truth_x, truth_y = broaden.spectrum(lines * 0.97, heights, fwhm=15, **GRID)
    report, x, y = broaden.fit(lines, heights, truth_x, truth_y, fwhm=30, **GRID)
    assert report["fit"]["scale"] == pytest.approx(0.97, abs=1e-3)
    assert report["fit"]["fwhm"] == pytest.approx(15, rel=1e-2)
    assert report["before"]["cosine"] < 0.9 < 0.9999 < report["scores"]["cosine"]
    again = broaden.spectrum(lines * report["fit"]["scale"], heights, fwhm=report["fit"]["fwhm"],
                             **GRID)
    assert np.array_equal(x, again[0]) and np.allclose(y, again[1], rtol=1e-12, atol=0)


@pytest.mark.parametrize("heights, keywords, options", [
    ([2.0, 1.0, 1.5], dict(fit="scale,fwhm"), ["--fit", "scale,fwhm"]),
    ([2.0, -1.0, 1.5],  # signed: a negative intensity
     dict(fit="shift=-30:30", score="pearson", shape="lorentzian", range=(1250, 950)),
     ["--fit", "shift=-30:30", "--score", "pearson", "--shape", "lorentzian",
      "--compare-range", "1250,950"]),
])
def test_fit_gives_the_programs_report_and_spectrum(heights, keywords, options, folder):
    lines, heights = np.array([990.0, 1100.0, 1210.0]), np.array(heights)
    measured_x = np.arange(905.0, 1296.0, 2.5)
    measured_y = np.interp(measured_x, *broaden.spectrum(lines * 0.98 + 7, heights, fwhm=14,
                                                         **GRID))
    write_columns(os.path.join(folder, "lines.txt"), lines, heights)
    write_columns(os.path.join(folder, "exp.txt"), measured_x, measured_y)
    status, px, py, stderr = run_batch(
        ["--fwhm", "20", "--from", "900", "--to", "1300", "--step", "1", "--digits", "17",
         "--compare", "exp.txt", "--report", "report.json", *options, "lines.txt"], folder)
    assert status == 0, stderr
    with open(os.path.join(folder, "report.json")) as text:
        program = json.load(text)
    assert program.pop("experiment") == "exp.txt"
    report, x, y = broaden.fit(lines, heights, measured_x, measured_y, fwhm=20, **GRID, **keywords)
    assert report == program and ("verdict" in report) == (heights.min() < 0)
    assert np.array_equal(x, px) and np.allclose(y, py, rtol=1e-15, atol=1e-300)


JCAMP_HEAD = ("##TITLE=t\n##JCAMP-DX=4.24\n##XUNITS=1/CM\n##YUNITS=ABSORBANCE\n##FIRSTX=100\n"
              "##LASTX=106\n##NPOINTS=7\n##XFACTOR=1\n##YFACTOR=0.5\n##XYDATA=(X++(Y..Y))\n")


def test_read_of_a_jcamp_curve_in_dif_form_gives_its_affn_numbers(folder):
    affn = write(folder, "affn.jdx", JCAMP_HEAD + "100 10 12 15 15\n104 13 9 8\n##END=\n")
    dif = write(folder, "dif.jdx", JCAMP_HEAD + "100A0KL%\n103A5kmj\n##END=\n")
    read_affn, read_dif = broaden.read(affn), broaden.read(dif, input="jcamp")
    assert read_affn["positions"].tolist() == read_dif["positions"].tolist() == list(range(100, 107))
    assert read_dif["intensities"].tolist() == read_affn["intensities"].tolist() == [
        5, 6, 7.5, 7.5, 6.5, 4.5, 4]
    assert read_dif["kind"] == "measured" and read_dif["format"] == "jcamp"
    assert read_dif["units"] == {"positions": "cm-1", "intensities": "absorbance"}
    assert broaden.read(dif, axis="nm")["positions"][0] == 1e7 / 100
    with pytest.raises(ValueError, match="^scale= reads lines"):
        broaden.read(dif, scale=0.9)
