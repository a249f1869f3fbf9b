"""plot(): a spectrum drawn as broaden-batch --plot draws it, as a matplotlib
Figure (matplotlib is needed only here)."""

import numpy as np

from broaden._broaden import _labels


def _zeros_aligned(first, second):
    """Widens the y ranges of two axes so that zero lies at the same height in both:
    each range is made to hold zero, then the one whose zero lies lower is widened
    below (or the other above, where one range is all below zero)."""
    ranges = []
    for axes in (first, second):
        low, high = axes.get_ylim()
        low, high = min(low, 0.0), max(high, 0.0)
        if low == high:
            low, high = -1.0, 1.0
        ranges.append([low, high])
    fractions = [-low / (high - low) for low, high in ranges]
    if fractions[0] == fractions[1]:
        target = fractions[0]
    elif max(fractions) < 1.0:
        target = max(fractions)
    elif min(fractions) > 0.0:
        target = min(fractions)
    else:
        target = 0.5
    for axes, (low, high), fraction in zip((first, second), ranges, fractions):
        if fraction < target:
            low = -target * high / (1.0 - target)
        elif fraction > target:
            high = -low * (1.0 - target) / target
        axes.set_ylim(low, high)


def _sticks_label(lines):
    """The sticks' axis label for read()'s dictionary `lines`, as broaden-batch's."""
    if lines["kind"] not in _labels["kinds"]:
        return _labels["line_sticks"]
    kind = _labels["kinds"][lines["kind"]]
    native = lines["units"]["intensities"] == kind["native"]
    return kind["native_sticks_label"] if native else kind["converted_sticks_label"]


def _y_label(lines):
    """The spectrum's y label for read()'s dictionary `lines` (or none), as broaden-batch's."""
    if lines is None or lines["kind"] not in _labels["kinds"]:
        return _labels["lines"]
    kind = _labels["kinds"][lines["kind"]]
    native = lines["units"]["intensities"] == kind["native"]
    return kind["native_label"] if native else kind["converted_label"]


def plot(x, y, *, axis=None, lines=None, sticks=None, overlay=None, title=None, reverse=None):
    """Draws a spectrum as broaden-batch --plot does; returns a matplotlib Figure.

    x, y     the spectrum, as spectrum() gives it.
    axis     the unit of x: "cm-1", "ev", "nm" or "um" (default: that of lines'
             positions, else "cm-1"); it names the x label.
    lines    read()'s dictionary of the lines drawn: the y label is its kind's
             (converted or not), and its sticks are drawn.
    sticks   draw lines' sticks, at their positions in their own units on a
             second y axis whose zero is level with the spectrum's (default:
             for a quantum-chemistry output's lines, as the program does).
    overlay  another spectrum (x, y) drawn over it on the same axes, such as
             a measured one.
    title    the picture's title.
    reverse  x drawn from high to low (default: for wavenumbers).

    Raises ImportError where matplotlib is not installed (Debian:
    python3-matplotlib).

    >>> import broaden  # doctest: +SKIP
    >>> x, y = broaden.spectrum([1000.0, 1500.0], [100.0, 40.0], sigma=10)  # doctest: +SKIP
    >>> broaden.plot(x, y).savefig("spectrum.png")  # doctest: +SKIP
    """
    try:
        from matplotlib.figure import Figure
    except ImportError as error:
        raise ImportError("broaden.plot needs matplotlib (Debian: python3-matplotlib)") from error
    if axis is None:
        axis = (lines["units"].get("positions") if lines is not None else None) or "cm-1"
    if axis.lower() not in _labels["axes"]:
        raise ValueError(f"axis takes {', '.join(_labels['axes'])}, not {axis!r}")
    axis = axis.lower()
    figure = Figure()
    spectrum_axes = figure.add_subplot()
    spectrum_axes.plot(np.asarray(x), np.asarray(y), color="C0", label="spectrum")
    if overlay is not None:
        spectrum_axes.plot(np.asarray(overlay[0]), np.asarray(overlay[1]), color="C1",
                           label="overlay")
        spectrum_axes.legend()
    spectrum_axes.set_xlabel(_labels["axes"][axis])
    spectrum_axes.set_ylabel(_y_label(lines))
    if lines is not None and lines["kind"] in _labels["kinds"]:
        if _labels["kinds"][lines["kind"]]["zero_line"]:
            spectrum_axes.axhline(0.0, color="grey", linewidth=0.5)
    if sticks is None:
        sticks = lines is not None and lines["kind"] != "lines"
    if sticks and lines is not None:
        sticks_axes = spectrum_axes.twinx()
        sticks_axes.vlines(lines["positions"], 0.0, lines["intensities"], colors="C2")
        sticks_axes.set_ylabel(_sticks_label(lines))
        _zeros_aligned(spectrum_axes, sticks_axes)
    if reverse if reverse is not None else axis == "cm-1":
        spectrum_axes.invert_xaxis()
    if title is not None:
        spectrum_axes.set_title(title)
    return figure
