"""What a notebook meets: plot() draws as broaden-batch --plot does (where matplotlib is
installed), and an interpreter without numpy is told at import which one to use."""

import subprocess
import sys

import numpy as np
import pytest

import broaden
from conftest import excerpt, write


def test_an_interpreter_without_numpy_is_told_which_to_use():
    done = subprocess.run([sys.executable, "-c",
                           "import sys; sys.modules['numpy'] = None; import broaden"],
                          capture_output=True, text=True)
    last = done.stderr.strip().splitlines()[-1]
    assert last.startswith("ImportError: broaden needs numpy"), last
    assert f"run it with {sys.executable}, the Python it was built for" in last


# Each: the excerpt read (or none: a line list), read()'s and plot()'s keywords, and what
# the picture shows: x from high to low, the x and y labels, the sticks' label or None.
PICTURES = [
    (None, {}, {"overlay": ([900.0, 1600.0], [1.0, 2.0])},
     (True, "wavenumber / cm\u207b\u00b9", "intensity", None)),
    (None, {}, {"axis": "nm"}, (False, "wavelength / nm", "intensity", None)),
    ("gaussian-ir.log", {}, {},
     (True, "wavenumber / cm\u207b\u00b9", "IR intensity / km mol\u207b\u00b9 per cm\u207b\u00b9",
      "IR intensity / km mol\u207b\u00b9")),
    ("gaussian-td.log", {"spectrum": "ecd", "units": "epsilon"}, {"reverse": True},
     (True, "wavelength / nm", "\u0394\u03b5 / L mol\u207b\u00b9 cm\u207b\u00b9",
      "\u0394\u03b5 \u00d7 eV / L mol\u207b\u00b9 cm\u207b\u00b9 eV")),
]


@pytest.mark.parametrize("name,reading,keywords,shown", PICTURES, ids=str)
def test_the_picture_follows_the_programs_conventions(name, reading, keywords, shown, tmp_path):
    pytest.importorskip("matplotlib")
    x, y = broaden.spectrum([1000.0, 1500.0], [100.0, 40.0], sigma=10, step=1)
    lines = name and broaden.read(write(str(tmp_path), name, excerpt(name)), **reading)
    if lines:  # a curve of either sign over the sticks
        x = np.linspace(lines["positions"].min() - 50, lines["positions"].max() + 50, 400)
        y = np.sin(x / 10)
    axes = broaden.plot(x, y, lines=lines, title="t", **keywords).axes
    low, high = axes[0].get_xlim()
    assert ((low > high), axes[0].get_xlabel(), axes[0].get_ylabel(),
            axes[1].get_ylabel() if len(axes) > 1 else None) == shown
    if len(axes) > 1:  # zero level on both y axes, each range holding its values
        (a, b), (c, d) = axes[0].get_ylim(), axes[1].get_ylim()
        assert -a / (b - a) == pytest.approx(-c / (d - c), rel=1e-12)
        assert a <= y.min() and b >= y.max()
        assert c <= min(lines["intensities"].min(), 0) <= d >= lines["intensities"].max()
    with pytest.raises(ValueError, match="axis takes cm-1, ev, nm, um, not 'mm'"):
        broaden.plot(x, y, axis="mm")
