// The docstrings of the module broaden: what help() shows, laid out as a
// manual page is. Their examples run as doctests (tests/python).
#pragma once

namespace broaden::docstrings {

inline constexpr const char* kModule =
    R"(Line lists broadened into spectra, as broaden and broaden-batch do.

A line list is a position (a frequency, a wavenumber) and an intensity per
line; a spectrum is the sum of a profile per line, sampled on a grid.

    spectrum(positions, intensities, ...)  -> (x, y)  broaden-batch's shapes
    read(path, ...)                        -> dict    broaden-batch's line lists
    classic(frequencies, intensities, w)   -> (w, t)  broaden's classic spectrum

Each gives the numbers the programs give for the same input, bit for bit:
spectrum() those broaden-batch writes (its tsv output reads back as them),
classic() those broaden formats into its records. Every computation runs with
the GIL released, on as many threads as pay, so other Python threads go on.

Example:

>>> import broaden
>>> x, y = broaden.spectrum([1000.0, 1010.0], [100.0, 50.0], shape="lorentzian",
...                         fwhm=10, start=990, stop=1020, step=10)
>>> x
array([ 990., 1000., 1010., 1020.])
>>> y.round(4)
array([1.4605, 7.0028, 4.4563, 1.0111])

See broaden-batch(1) and broaden(1) for the rules these functions share.)";

inline constexpr const char* kSpectrum = R"(Broadens lines into a spectrum, as broaden-batch does.

Each line becomes a profile of the given shape, centred on its position and
scaled by its intensity; the profiles are summed, line after line in the
order given, at every point of the grid. The keywords are broaden-batch's
options (shape=... is --shape ..., start/stop are --from/--to), checked by
its own rules: the same values give the same refusals and, bit for bit, the
same spectrum.

Parameters
----------
positions, intensities : 1-D arrays of float, of one size
    The lines. Finite values only (broaden-batch's line lists cannot hold
    others). A C-contiguous float64 array is read where it lies, without a
    copy; anything else numpy can make one of (a list, float32, a strided
    view) is converted first.
shape : "gaussian" (default), "lorentzian", "pseudo-voigt" or "voigt"
normalise : "area" (default) or "height"
    area: each line's integral is its intensity; height: its maximum.
fwhm, sigma, hwhm : float
    The width, in one of the measures the shape takes: a Gaussian takes fwhm
    or sigma (its standard deviation), a Lorentzian fwhm or hwhm, a
    pseudo-Voigt fwhm (shared by its two parts).
gaussian_fwhm, lorentzian_fwhm : float
    Voigt: the full widths of its Gaussian and of its Lorentzian part, both.
eta : float
    Pseudo-Voigt: the Lorentzian fraction, from 0 to 1.
widths : 1-D array of float, optional
    A width per line, positive, in the measure of the width keyword given
    (whose own value is then not used), or in the shape's first measure (the
    FWHM) when none is given: broaden-batch's width field (--columns F,I,W).
    A Voigt takes none.
grid : 1-D array of float, optional
    The abscissae, taken as they are: any order, uneven steps. The returned
    x is then this array (the very object, when it is C-contiguous float64).
start, stop, step, points : float, float, float, int, optional
    Without grid, the grid from start to stop (given together, start below
    stop) by step, or of points points with both ends included. By step,
    point j is the double nearest to the exact decimal start + j * step (the
    shortest decimals of the floats given: start=0.1, step=0.1 gives 0.3,
    not 0.30000000000000004), up to the last point not above stop. Default:
    0.1 to 2000 by 0.1, 20000 points; step alone or points alone apply to
    that range.
threads : int, optional
    At most this many threads (None or 0: as many as the processors this
    process may run on and the work pays for). The result does not depend
    on it.
cutoff : float, optional
    Cut each line's wings at cutoff (at least 1) of its own full widths at
    half maximum, as broaden-batch --cutoff does; the bound of what is left
    out is in its manual. None: every term is kept, the sums exact.

Returns
-------
(x, y) : two float64 arrays of one size
    The abscissae and the spectrum there; y is a new array owned by numpy.

Raises
------
ValueError
    What broaden-batch refuses, with the one-line message it prints after
    "broaden-batch: ", naming its options ("--fwhm must be a positive finite
    number, not '0'", "--from and --to go together"); and arrays that do not
    fit: sizes that differ, more than one dimension, a value that is not
    finite, a width that is not positive, grid given with start, stop, step
    or points, threads below 0.
MemoryError
    A grid beyond the memory, with how much it needed.
TypeError
    An argument numpy cannot make an array of float, or a keyword of the
    wrong type.

Notes
-----
The shapes, with d the distance from a line and I its intensity, area
normalised: Gaussian I exp(-d^2 / 2 sigma^2) / (sigma sqrt(2 pi));
Lorentzian (I / pi) gamma / (d^2 + gamma^2), gamma the HWHM; pseudo-Voigt
eta Lorentzian + (1 - eta) Gaussian, both of the full width fwhm; Voigt the
convolution of a Gaussian and a Lorentzian (libcerf's voigt near a line, a
sum within 2e-14 relative of the exact profile further out). The GIL is
released while the grid is built and the spectrum summed. Lines beyond the
grid's ends are summed without the warning broaden-batch gives of them.

Examples
--------
>>> import numpy as np, broaden
>>> x, y = broaden.spectrum([1000.0], [100.0], sigma=5, start=990, stop=1010, step=10)
>>> x
array([ 990., 1000., 1010.])
>>> y
array([1.07981933, 7.97884561, 1.07981933])

A width per line, in the measure of fwhm:

>>> x, y = broaden.spectrum([1.0, 3.0], [1.0, 1.0], fwhm=2, widths=[1.0, 2.0],
...                         start=0, stop=4, points=5)
>>> y.round(4)
array([0.0596, 0.9688, 0.2936, 0.4697, 0.2349])

Any grid, a Voigt of unit height:

>>> broaden.spectrum([5.0], [2.0], shape="voigt", gaussian_fwhm=1, lorentzian_fwhm=1,
...                  normalise="height", grid=np.array([5.0, 4.0]))[1].round(4)
array([2.    , 0.7572])

Refusals are broaden-batch's:

>>> broaden.spectrum([1000.0], [100.0], shape="lorentzian", sigma=5)
Traceback (most recent call last):
    ...
ValueError: --sigma does not fit --shape lorentzian)";

inline constexpr const char* kRead = R"(Reads a line list from a file, as broaden-batch reads it.

Parameters
----------
path : str, bytes or os.PathLike
    The file; it is read whole (errors as open() raises them).
input : str
    Its format: "auto" (default: the format the content shows, else the
    columns), or one of broaden-batch's --input names: "columns" (numbers in
    fields separated by blanks, tabs, commas or semicolons, comments after
    #, a header row skipped) or "fixed" (the classic records, two
    10-character fields). Formats added to broaden-batch are read here too.
columns : str, optional
    The columns' fields, as --columns takes them: "F,I" or "F,I,W" (1-based
    field numbers of position, intensity and width; default "1,2").
spectrum : None
    Kept for outputs that hold several spectra; a line list holds one, and
    any other value is refused.

Returns
-------
dict
    "positions", "intensities": float64 arrays (owned by numpy), in the
        order of the file; "widths": an array, or None where the file gives
        none (the widths as written, in the measure the file uses; pass them
        to spectrum() with the width keyword of that measure);
    "kind": "lines";
    "units": {"positions": ..., "intensities": ...}, each "cm-1", "km/mol"
        or None where the file does not say (plain line lists never do);
    "free_energy": the free energy in hartree where the file gives one,
        else None;
    "format": the format read, "columns" or "fixed";
    "notes": what broaden-batch would note on reading it, as
        "NAME:LINE: ..." ("lines.csv:1: skipped the header row 'f,I'").

Raises
------
ValueError
    A line that cannot be read, as broaden-batch says it:
    "NAME:LINE:COLUMN: expected ..."; an unknown input or a refused columns
    layout, with broaden-batch's message.
OSError
    The file cannot be opened or read.

Examples
--------
>>> import broaden, os, tempfile
>>> folder = tempfile.mkdtemp()
>>> path = os.path.join(folder, "lines.csv")
>>> _ = open(path, "w").write("freq,int\n1000,2.5\n1500,1e-1\n")
>>> lines = broaden.read(path)
>>> lines["positions"], lines["intensities"], lines["format"]
(array([1000., 1500.]), array([2.5, 0.1]), 'columns')
>>> lines["notes"] == [path + ":1: skipped the header row 'freq,int'"]
True
>>> _ = open(path, "w").write("1000 x\n")
>>> broaden.read(path)  # doctest: +ELLIPSIS
Traceback (most recent call last):
    ...
ValueError: ...lines.csv:1:6: expected a number for the intensity (field 2), not 'x')";

inline constexpr const char* kClassic = R"(The classic spectrum of broaden, as numbers.

Broadens every line into a Gaussian of standard deviation width on the
classic grid, 20000 points 0.1, 0.2, ... 2000.0 as broaden computes them
(each float(i) * 0.1f in single precision, widened: w[2] is
0.30000001192092896). t[i] is the straightforward sum at w[i]: every line in
the order given, (intensity / 2.506628f) / width * exp(-(d * d) / ((width +
width) * width)) with d = w[i] - frequency, each operation in double, from
+0. Those are the numbers broaden formats into its records ('%12.4f , %12.4f'
but for values too wide, written as asterisks): bit for bit the same.

Parameters
----------
frequencies, intensities : 1-D arrays of float, of one size
    Any doubles, infinities and NaN included, as broaden keeps them.
width : float
    Any double, as broaden takes it (zero or negative too).

Returns
-------
(w, t) : two float64 arrays of 20000 points, owned by numpy

Examples
--------
>>> import broaden
>>> w, t = broaden.classic([1000.0], [100.0], 5.0)
>>> float(w[9999]), float(t[9999])
(1000.0, 7.9788463660263504)
>>> "%12.4f , %12.4f" % (w[9999], t[9999])
'   1000.0000 ,       7.9788')";

}  // namespace broaden::docstrings
