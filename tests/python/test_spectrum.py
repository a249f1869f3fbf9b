"""spectrum() against broaden-batch: the same spectra bit for bit, the same
refusals with the same messages, and the module's own checks of its arrays."""

import os

import numpy as np
import pytest

import broaden
from conftest import batch_message, bits, option_of, run_batch, write, write_columns

RANDOM = np.random.default_rng(20261208)
POSITIONS = RANDOM.uniform(0.1, 2000.0, 60)
INTENSITIES = RANDOM.uniform(-20.0, 100.0, 60)  # some negative
WIDTHS = RANDOM.uniform(0.5, 30.0, 60)
# Lines beyond the grid's ends, whose tails alone reach it.
POSITIONS[:3] = [-50.0, 2100.0, 0.1]


def batch_arguments(keywords):
    """The command line of broaden-batch for spectrum()'s keywords (numbers as repr)."""
    arguments = []
    for keyword, value in keywords.items():
        if keyword in ("widths", "threads", "grid"):
            continue
        text = value if isinstance(value, str) else repr(value)
        arguments += [option_of(keyword), text]
    if "widths" in keywords:
        arguments += ["--columns", "1,2,3"]
    return arguments


# Each case: spectrum()'s keywords; the numbers are written as the program reads them.
SAME_AS_BATCH = [
    {"sigma": 5.0},
    {"fwhm": 10.0, "normalise": "height", "start": 400.0, "stop": 1600.0, "step": 0.25},
    {"shape": "lorentzian", "fwhm": 10.0},
    {"shape": "lorentzian", "hwhm": 3.0, "normalise": "height", "start": 0.0, "stop": 2000.0,
     "points": 1001},
    {"shape": "pseudo-voigt", "fwhm": 8.0, "eta": 0.25, "step": 0.5},
    {"shape": "pseudo-voigt", "fwhm": 8.0, "eta": 1.0, "normalise": "height", "points": 777},
    {"shape": "voigt", "gaussian_fwhm": 6.0, "lorentzian_fwhm": 4.0, "step": 1.0},
    {"shape": "voigt", "gaussian_fwhm": 0.5, "lorentzian_fwhm": 20.0, "normalise": "height",
     "start": -100.0, "stop": 2100.0, "step": 2.5},
    # Widths a line, in the measure of the width keyword (or the FWHM without one).
    {"widths": WIDTHS},
    {"sigma": 1.0, "widths": WIDTHS, "start": 0.001, "stop": 2000.0, "step": 0.333},
    {"shape": "lorentzian", "hwhm": 1.0, "widths": WIDTHS},
    {"shape": "pseudo-voigt", "eta": 0.5, "widths": WIDTHS, "normalise": "height"},
    # Wings cut at a number of full widths.
    {"shape": "lorentzian", "fwhm": 10.0, "cutoff": 5.0},
    {"shape": "voigt", "gaussian_fwhm": 2.0, "lorentzian_fwhm": 3.0, "cutoff": 12.5, "step": 1.0},
    # Steps that are no binary fractions, far from zero.
    {"sigma": 0.01, "start": 1000000.1, "stop": 1000010.1, "step": 0.01},
]


# Energies drawn on another axis (unit=, axis=): each point's energy as the
# program finds it; without start and stop, the grid that spans the lines.
UV = np.array([2.5, 3.1, 4.4, 5.9, 3.1000000000000005]), np.array([0.1, 0.8, 0.3, 0.05, 0.2])
ON_AXES = [
    (UV, {"unit": "ev", "axis": "nm", "fwhm": 0.3, "start": 150.0, "stop": 600.0, "step": 0.5}),
    (UV, {"unit": "ev", "axis": "nm", "fwhm": 0.3}),
    (UV, {"unit": "eV", "axis": "cm-1", "shape": "lorentzian", "fwhm": 0.2}),
    ((POSITIONS[3:] + 1000.0, INTENSITIES[3:]), {"axis": "nm", "sigma": 10.0, "start": 2000.0,
                                                 "stop": 20000.0, "points": 5001}),
    ((POSITIONS[3:] + 1000.0, INTENSITIES[3:]), {"axis": "ev", "fwhm": 20.0}),
]


@pytest.mark.parametrize("lines,keywords", [((POSITIONS, INTENSITIES), k) for k in SAME_AS_BATCH]
                         + ON_AXES, ids=lambda k: str(k)[:60])
def test_the_spectrum_is_broaden_batchs_bit_for_bit(lines, keywords, folder):
    positions, intensities = lines
    lines = os.path.join(folder, "lines.txt")
    columns = [positions, intensities] + ([keywords["widths"]] if "widths" in keywords else [])
    write_columns(lines, *columns)
    status, x_batch, y_batch, stderr = run_batch(batch_arguments(keywords) + [lines], folder)
    assert status == 0, stderr
    x, y = broaden.spectrum(positions, intensities, **keywords)
    assert x.dtype == y.dtype == np.float64
    assert np.array_equal(bits(x), bits(x_batch))
    assert np.array_equal(bits(y), bits(y_batch))
    # The same on one thread or several, and on the very grid given back.
    for threads in (1, 3, 2**40):
        assert np.array_equal(bits(broaden.spectrum(positions, intensities, threads=threads,
                                                     **keywords)[1]), bits(y))
    on_grid = {k: v for k, v in keywords.items() if k not in ("start", "stop", "step", "points")}
    x_given, y_given = broaden.spectrum(positions, intensities, grid=x_batch, **on_grid)
    assert x_given is x_batch
    assert np.array_equal(bits(y_given), bits(y))


# Each refusal as spectrum()'s keywords, numbers as the text of their shortest
# digits, and the message broaden-batch gives for them (which the module must give).
REFUSED = [
    ({"fwhm": "0"}, "--fwhm must be a positive finite number, not '0'"),
    ({"sigma": "-5"}, "--sigma must be a positive finite number, not '-5'"),
    ({"fwhm": "inf"}, "--fwhm takes a decimal number, not 'inf'"),
    ({"sigma": "nan"}, "--sigma takes a decimal number, not 'nan'"),
    ({"fwhm": "5e-324"},
     "--fwhm must lie between 2.3548200450309493e-150 and 2.354820045030949e+150, not '5e-324'"),
    ({"sigma": "1e-320"}, "--sigma must lie between 1e-150 and 1e+150, not '1e-320'"),
    ({"shape": "lorentzian", "fwhm": "1", "cutoff": "0.5"},
     "--cutoff takes a number of full widths from 1 up, not '0.5'"),
    ({"hwhm": "1"}, "--hwhm does not fit --shape gaussian (the default)"),
    ({"shape": "lorentzian", "sigma": "5"}, "--sigma does not fit --shape lorentzian"),
    # broaden-batch's message, which lists every shape (tests/batch/options_test.cpp pins it).
    ({"shape": "cauchy", "fwhm": "1"}, None),
    ({"shape": "--fwhm", "fwhm": "1"}, None),
    ({"normalise": "peak", "fwhm": "1"}, "--normalise takes area or height, not 'peak'"),
    ({}, "give the width: --fwhm or --sigma"),
    ({"fwhm": "1", "sigma": "1"}, None),
    ({"shape": "voigt", "gaussian_fwhm": "1"}, None),
    ({"shape": "pseudo-voigt", "fwhm": "1"}, "pseudo-voigt needs --eta, the Lorentzian fraction"),
    ({"shape": "pseudo-voigt", "fwhm": "1", "eta": "1.5"},
     "--eta must lie between 0 and 1, not '1.5'"),
    ({"shape": "voigt", "gaussian_fwhm": "1", "lorentzian_fwhm": "1", "widths": [1.0]}, None),
    ({"fwhm": "1", "start": "1"}, "--from and --to go together"),
    ({"fwhm": "1", "step": "1", "points": 10}, "give --step or --points, not both"),
    ({"fwhm": "1", "points": 1}, "--points must be at least 2, not '1'"),
    ({"fwhm": "1", "points": 10**9}, None),
    ({"fwhm": "1", "start": "5", "stop": "1"}, "--from must be below --to"),
    ({"fwhm": "1", "step": "-0.1"}, "--step must be positive, not '-0.1'"),
    ({"fwhm": "1", "start": "-inf", "stop": "1"}, None),
    ({"fwhm": "1", "start": "1e-30", "stop": "1e+30"}, None),
    ({"fwhm": "1", "start": "1", "stop": "2", "step": "1e-09"}, None),
    ({"fwhm": "1", "start": "-1.7e+308", "stop": "1.7e+308", "points": 3}, None),
    ({"fwhm": "1", "start": "1", "stop": "1.0000000000000002", "points": 4}, None),
]


def as_keywords(case):
    return {k: (float(v) if isinstance(v, str) and k not in ("shape", "normalise") else v)
            for k, v in case.items()}


@pytest.mark.parametrize("case,message", REFUSED, ids=lambda c: str(c)[:50])
def test_every_refusal_is_broaden_batchs_with_its_message(case, message, folder):
    lines = os.path.join(folder, "lines.txt")
    write_columns(lines, [1000.0], [1.0], [1.0])
    arguments = []
    for keyword, value in case.items():
        if keyword != "widths":
            arguments.append(f"{option_of(keyword)}={value}")
    if "widths" in case:
        arguments.append("--columns=1,2,3")
    status, _, _, stderr = run_batch(arguments + [lines], folder)
    assert status == 2, stderr
    expected = batch_message(stderr)
    if message is not None:
        assert expected == message
    with pytest.raises(ValueError) as raised:
        broaden.spectrum([1000.0], [1.0], **as_keywords(case))
    assert str(raised.value) == expected


# Arrays the program's line lists could not hold, and what only the module is given.
def test_arrays_that_do_not_fit_are_refused_saying_which_and_where(folder):
    cases = [
        (([1.0, 2.0], [1.0]), {"fwhm": 1}, "positions and intensities differ in size: 2 and 1"),
        (([1.0], [1.0]), {"fwhm": 1, "widths": [1.0, 2.0]},
         "positions and widths differ in size: 1 and 2"),
        (([[1.0]], [1.0]), {"fwhm": 1},
         "positions must be a one-dimensional array, not one of 2 dimensions"),
        ((1.0, [1.0]), {"fwhm": 1},
         "positions must be a one-dimensional array, not one of 0 dimensions"),
        (([1.0], [1.0]), {"fwhm": 1, "grid": np.zeros((2, 3))},
         "grid must be a one-dimensional array, not one of 2 dimensions"),
        (([1.0, np.nan], [1.0, 1.0]), {"fwhm": 1}, "positions[1] must be a finite number, not nan"),
        (([1.0], [-np.inf]), {"fwhm": 1}, "intensities[0] must be a finite number, not -inf"),
        (([1.0, 2.0], [1.0, 1.0]), {"widths": [1.0, 0.0]},
         "widths[1] must be a positive finite number, not 0"),
        (([1.0], [1.0]), {"widths": [np.inf]}, "widths[0] must be a positive finite number, not inf"),
        (([1.0], [1.0]), {"widths": [5e-324]}, "widths[0] 5e-324 is too small to be used"),
        (([1.0], [1.0]), {"fwhm": 1, "grid": [1.0], "start": 0.0},
         "give grid, or start, stop, step and points, not both"),
        (([1.0], [1.0]), {"fwhm": 1, "grid": [1.0], "points": 3},
         "give grid, or start, stop, step and points, not both"),
        (([1.0], [1.0]), {"fwhm": 1, "threads": -1}, "threads must be 0 or more, not -1"),
        (([1.0], [1.0]), {"fwhm": 1, "unit": "nm"}, "unit is the positions' unit, an energy: "
         "cm-1 or ev, not 'nm' (axis= draws the spectrum on wavelengths)"),
        (([1.0, np.inf], [1.0, 1.0]), {"fwhm": 1, "axis": "nm"},
         "positions[1] must be a finite number, not inf"),
    ]
    for arrays, keywords, message in cases:
        with pytest.raises(ValueError) as raised:
            broaden.spectrum(*arrays, **keywords)
        assert str(raised.value) == message
    # broaden-batch refuses such lines in a file too.
    for text in ["1000 nan\n", "1000 1e400\n", "1000 1 0\n", "1000 1 -1\n"]:
        lines = write(folder, "bad.txt", text)
        assert run_batch(["--fwhm=1", "--columns=1,2,3", lines], folder)[0] == 1, text


def test_keywords_of_the_wrong_type_raise_type_error():
    for keywords in [{"fwhm": "10"}, {"fwhm": 1, "points": 2.5}, {"fwhm": 1, "shape": 3}]:
        with pytest.raises(TypeError):
            broaden.spectrum([1.0], [1.0], **keywords)
    with pytest.raises(TypeError):
        broaden.spectrum(["a"], [1.0], fwhm=1)


def test_any_grid_is_taken_as_it_is():
    positions, intensities = POSITIONS[:20], np.abs(INTENSITIES[:20])
    grid = np.linspace(-10.0, 2010.0, 3001)
    for shape in [{"shape": "lorentzian", "fwhm": 7.0},
                  {"shape": "voigt", "gaussian_fwhm": 3.0, "lorentzian_fwhm": 2.0}]:
        _, y = broaden.spectrum(positions, intensities, grid=grid, **shape)
        # Every term at every point, each rounded alike: any order gives the same bits.
        _, y_reversed = broaden.spectrum(positions, intensities, grid=grid[::-1].copy(), **shape)
        assert np.array_equal(bits(y_reversed[::-1]), bits(y))
    _, y = broaden.spectrum(positions, intensities, sigma=4.0, grid=grid)
    _, y_reversed = broaden.spectrum(positions, intensities, sigma=4.0, grid=grid[::-1].copy())
    np.testing.assert_allclose(y_reversed[::-1], y, rtol=1e-14, atol=1e-300)
    # A list, a strided view and an empty grid are grids too.
    x, y = broaden.spectrum([0.0], [1.0], shape="lorentzian", hwhm=1.0, normalise="height",
                            grid=[0.0, 1.0, 3.0])
    assert list(x) == [0.0, 1.0, 3.0] and list(y) == [1.0, 0.5, 0.1]
    x, y = broaden.spectrum([0.0], [1.0], sigma=1.0, grid=grid[::2])
    assert np.array_equal(x, grid[::2]) and y.size == x.size
    x, y = broaden.spectrum([0.0], [1.0], sigma=1.0, grid=np.empty(0))
    assert x.size == y.size == 0


def test_no_lines_give_positive_zeros_and_outputs_own_their_memory():
    x, y = broaden.spectrum(np.empty(0), np.empty(0), fwhm=1.0)
    assert x.size == 20000 and np.array_equal(bits(y), np.zeros(20000, dtype=np.int64))
    assert y.flags.owndata and y.flags.writeable and y.flags.c_contiguous
    # The grid's array keeps its memory alive by itself.
    del y
    assert x[19999] == 2000.0 and x.flags.c_contiguous
