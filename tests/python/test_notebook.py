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
    assert done.returncode == 1 and last.startswith("ImportError: broaden needs numpy"), last
    assert f"run it with {sys.executable}, the Python it was built for" in last


# Each: the excerpt read (or a line list), read()'s and plot()'s keywords, and what the
# picture shows: x drawn from high to low, the x and y labels, the sticks' label or None.
PICTURES = [
    (None, {}, {}, (True, "wavenumber / cm-1", "intensity", None)),
    (None, {}, {"axis": "nm", "overlay": ([500.0, 900.0], [1.0, 2.0])},
     (False, "wavelength / nm", "intensity", None)),
    ("gaussian-ir.log", {}, {}, (True, "wavenumber / cm-1", "IR intensity / km mol-1 per cm-1",
                                 "sticks / km/mol")),
    ("gaussian-ir.log", {}, {"sticks": False, "reverse": False},
     (False, "wavenumber / cm-1", "IR intensity / km mol-1 per cm-1", None)),
    ("gaussian-td.log", {"spectrum": "ecd", "units": "epsilon"}, {},
     (False, "wavelength / nm", "delta epsilon / L mol-1 cm-1",
      "sticks / delta epsilon/(L/mol/cm)*eV")),
]


@pytest.mark.parametrize("name,reading,keywords,shown", PICTURES, ids=str)
def test_the_picture_follows_the_programs_conventions(name, reading, keywords, shown, tmp_path):
    pytest.importorskip("matplotlib")
    lines = None
    if name is not None:
        lines = broaden.read(write(str(tmp_path), name, excerpt(name)), **reading)
        x = np.linspace(lines["positions"].min() - 50, lines["positions"].max() + 50, 400)
        y = np.interp(x, np.sort(lines["positions"]), np.ones(lines["positions"].size)) - 0.5
    else:
        x, y = broaden.spectrum([1000.0, 1500.0], [100.0, 40.0], sigma=10, step=1)
    figure = broaden.plot(x, y, lines=lines, title="t", **keywords)
    axes = figure.axes
    low, high = axes[0].get_xlim()
    assert ((low > high), axes[0].get_xlabel(), axes[0].get_ylabel(),
            axes[1].get_ylabel() if len(axes) > 1 else None) == shown
    assert len(axes[0].lines) >= (2 if "overlay" in keywords else 1)
    if len(axes) > 1:  # zero level on both y axes, each range holding its values
        (a, b), (c, d) = axes[0].get_ylim(), axes[1].get_ylim()
        assert -a / (b - a) == pytest.approx(-c / (d - c), rel=1e-12)
        assert a <= min(y.min(), 0) and c <= min(lines["intensities"].min(), 0)
        assert b >= y.max() and d >= lines["intensities"].max()
    with pytest.raises(ValueError, match="axis takes cm-1, ev, nm, not 'mm'"):
        broaden.plot(x, y, axis="mm")
