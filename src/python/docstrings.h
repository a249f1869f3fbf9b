// The docstrings of the module broaden: what help() shows, laid out as a
// manual page is. Their examples run as doctests (tests/python). The lists of
// names that a table of the program holds are not written here: a slot, such
// as {shapes}, is filled from the table when the module is loaded (spectrum(),
// read()), so that a new row is described without a line here.
#pragma once

#include <string>

namespace broaden::docstrings {

inline constexpr const char* kModule =
    R"(Line lists broadened into spectra, as broaden and broaden-batch do.

A line list is a position (a frequency, a wavenumber) and an intensity per
line; a spectrum is the sum of a profile per line, sampled on a grid.

    spectrum(positions, intensities, ...)  -> (x, y)  broaden-batch's shapes
    read(path, ...)                        -> dict    broaden-batch's line lists
    compare(x, y, experiment_x, ...)       -> dict    --compare's report
    fit(positions, intensities, ...)       -> (report, x, y)  --fit's
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
shape : {shapes}
normalise : {normalisations}
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
unit : str, optional
    The unit of the positions and of the widths, an energy: "cm-1" (the
    default) or "ev", as broaden-batch's --line-unit. read()'s energies
    are in read()['units']['energies'].
axis : str, optional
    The unit of the grid: "cm-1", "ev" or "nm" (default: unit), as
    broaden-batch's --axis: each point's energy in unit is found as the
    program finds it, and the profiles are summed there (no Jacobian).
    Without start and stop, on any axis or unit but wavenumbers, the grid
    spans the lines as the program's does. read()'s positions are on
    read()['units']['positions']; broadening its energies on that axis
    gives broaden-batch's spectrum of the file, but for ecd and vcd with
    units="epsilon", which the program multiplies by each point's
    wavenumber.

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
>>> x, y = broaden.spectrum([4.0], [1.0], fwhm=0.5, unit="ev", axis="nm",
...                         start=300, stop=320, step=10)
>>> y.round(4)
array([1.5451, 1.8789, 1.5778])

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

inline constexpr const char* kRead = R"doc(Reads the lines broaden-batch draws from files.

A line list (columns or fixed records) gives its lines as they are written;
the output of a quantum-chemistry program (Gaussian, ORCA, Molden, Chemical
JSON) gives the lines of the spectrum it holds, with broaden-batch's
conversions. The keywords are broaden-batch's options of reading, checked by
the program's own rules: a refusal raises ValueError with its message.

Parameters
----------
path : str, bytes, os.PathLike, or a list or tuple of them
    The file, read whole (errors as open() raises them); several files are
    summed as broaden-batch sums them: their lines one file after another,
    each intensity times its file's weight. They must give one kind of
    spectrum.
input : str
    The format, as --input names it: "auto" (default: the format the
    content shows, else the columns), "columns" (numbers in fields separated
    by blanks, tabs, commas or semicolons, comments after #, a header row
    skipped), "fixed" (the classic records, two 10-character fields),
{other formats}
columns : str, optional
    A columns line list's fields, as --columns takes them: "F,I" or "F,I,W"
    (1-based field numbers of position, intensity and width; default "1,2").
spectrum : str, optional
    Of an output: "ir" (harmonic frequencies in cm-1, IR intensities in
    km/mol), "raman" (Raman activities in A^4/amu), "uv" (excited states,
    oscillator strengths), "ecd" (rotatory strengths in 1e-40 erg esu
    cm/G) or "vcd" (rotational strengths of the modes in 1e-44 esu^2 cm^2).
    By default the one the file holds (ir for a file of IR intensities and
    rotational strengths); a file holding several is refused, naming them.
    Imaginary modes are left out, with a note.
axis : str, optional
    The unit of "positions": "cm-1", "ev" or "nm"; by default cm-1 for ir and
    raman and vcd, nm for uv and ecd, the line list's unit for a line list.
units : str
    "native" (default): the file's quantity. "epsilon": each line's
    intensity such that its area, broadened with normalise="area" in the
    broadening unit, is the molar absorption coefficient in L mol-1 cm-1
    (ir, uv, ecd, vcd). "cross-section": raman with laser=, the differential
    cross-section in cm^2 sr-1 ("epsilon" gives it too, with a note).
    Refused for a line list.
laser : str or float, optional
    Raman with units="cross-section": the laser as --laser takes it, "532nm" or
    "18796.99cm-1"; a number is a wavenumber in cm-1.
temperature : float, optional
    Raman cross-sections: kelvin (default 298.15).
rotatory : str, optional
    ecd: "velocity" (default) or "length".
scale : float, optional
    Every position multiplied by it (one rounding), as 0.96 for computed
    harmonic frequencies.
shift : float, optional
    Added to every position, in the broadening unit, after scale.
line_unit : str, optional
    The unit of a columns line list's positions: "cm-1" (default), "ev" or
    "nm"; lines in eV are broadened in eV, others in cm-1.
weights : sequence of float, optional
    One weight a file, each line's intensity multiplied by its file's.
boltzmann : float, optional
    The files weighted by their Gibbs free energies at this many kelvin,
    the weights adding up to 1 (not with weights).

Returns
-------
dict
    "positions": float64 array (owned by numpy), the lines on the axis, in
        the order of the files (where the axis is the file's own unit, and
        neither scale nor shift is given, the file's printed decimals);
    "intensities": the lines' intensities as drawn, after every conversion
        and weight: broaden-batch's --sticks. For ecd and vcd with
        units="epsilon" each is times its line's wavenumber, as broaden-batch
        multiplies the curve by the wavenumber at each point;
    "energies": the positions in the unit the lines are broadened in (cm-1
        for ir, raman, vcd and line lists, eV for uv and ecd and for a line
        list in eV), after scale and shift: spectrum(energies, intensities,
        ...) is broaden-batch's curve on a grid in that unit. For ecd and vcd
        with units="epsilon", broaden-batch broadens each intensity divided
        by its line's wavenumber (for ecd energies in eV times
        8065.54393734) and multiplies the curve by the wavenumber at each
        point;
    "widths": a line list's widths as written (in the measure the file
        uses; pass them to spectrum() with the width keyword of that
        measure), else None;
    "kind": "ir", "raman", "uv", "ecd" or "vcd" for an output, "lines" for a line
        list;
    "units": {"positions": ..., "energies": ..., "intensities": ...}: for an
        output the axis ("cm-1", "ev" or "nm"), the broadening unit and the
        quantity each line carries as broaden-batch's sticks header names
        it ("km/mol", "oscillator strength"; with units="epsilon" the
        line's area, "epsilon/(L/mol/cm)*eV"); for a line list
        "cm-1", "km/mol" or None where the file does not say (plain line
        lists never do; axis= or line_unit= name the positions' unit);
    "free_energy": the Gibbs free energy in hartree where the file gives
        one, else None; for several files a list, one a file;
    "weights": the weights used, one a file (those given, or the Boltzmann
        weights), else None;
    "format": the format read ("columns", "fixed", "gaussian", ...); for
        several files a list;
    "notes": what broaden-batch would say on reading, one entry a line:
        "NAME:LINE: ..." ("lines.csv:1: skipped the header row 'f,I'").

Raises
------
ValueError
    A line that cannot be read, as broaden-batch says it:
    "NAME:LINE:COLUMN: expected ..."; a file without the spectrum asked
    for, or holding several without spectrum=; an option that does not fit
    the file or a refused keyword, with broaden-batch's message.
OSError
    A file cannot be opened or read.

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

A Gaussian TD output: the excited states on the nm axis (converted from
the eV the file prints), their oscillator strengths, and their energies to
broaden in eV; with units="epsilon" the strengths as molar absorption
coefficients:

>>> td = os.path.join(folder, "td.log")
>>> _ = open(td, "w").write(
...     " Entering Gaussian System, Link 0=g16\n"
...     " Excitation energies and oscillator strengths:\n"
...     " \n"
...     " Excited State   1:      Singlet-A      5.6287 eV  220.27 nm  f=0.0018\n"
...     " Excited State   2:      Singlet-A      6.0621 eV  204.52 nm  f=0.5880\n"
...     " Normal termination of Gaussian 16.\n")
>>> uv = broaden.read(td)
>>> uv["kind"], uv["format"], uv["positions"], uv["intensities"], uv["energies"]
('uv', 'gaussian', array([220.2714631 , 204.52351237]), array([0.0018, 0.588 ]), array([5.6287, 6.0621]))
>>> uv["units"]
{'positions': 'nm', 'energies': 'ev', 'intensities': 'oscillator strength'}
>>> eps = broaden.read(td, units="epsilon")
>>> eps["units"]["intensities"], eps["intensities"].round(1)
('epsilon/(L/mol/cm)*eV', array([   51.7, 16879.5]))
>>> x, y = broaden.spectrum(eps["energies"], eps["intensities"], fwhm=0.3,
...                         start=4, stop=8, step=0.01)  # in eV, as broaden-batch broadens
>>> float(x[y.argmax()]), round(float(y.max()))  # the peak: eV, L mol-1 cm-1
(6.06, 52851)
>>> _ = open(path, "w").write("1000 x\n")
>>> broaden.read(path)  # doctest: +ELLIPSIS
Traceback (most recent call last):
    ...
ValueError: ...lines.csv:1:6: expected a number for the intensity (field 2), not 'x'

A JCAMP-DX file holding a measured curve (XYDATA or XYPOINTS, any of its
compressions) read alone, with input "auto" or "jcamp", is a measured
spectrum, not lines: read_measured, the one reader broaden-batch's
--overlay and --compare use. Its dict has "kind" "measured", "format"
"jcamp", "positions" the curve's x in its XUNITS (axis= converts them:
"cm-1", "nm", "um", "ev"), "intensities" its y (transmittance converted to
absorbance, with a note), "units" {"positions": the unit of x,
"intensities": the y quantity, or None}, "notes", and None for "energies",
"widths", "free_energy" and "weights". Keywords that read lines (spectrum=,
scale=, ...) are refused for it. A JCAMP-DX peak table reads as the line
list "jcamp".

>>> jdx = os.path.join(folder, "ir.jdx")
>>> _ = open(jdx, "w").write(
...     "##TITLE=t\n##JCAMP-DX=4.24\n##XUNITS=MICROMETERS\n##YUNITS=ABSORBANCE\n"
...     "##FIRSTX=10\n##LASTX=5\n##NPOINTS=2\n##XFACTOR=1\n##YFACTOR=1\n"
...     "##XYDATA=(X++(Y..Y))\n10 1\n5 3\n##END=\n")
>>> curve = broaden.read(jdx)
>>> curve["kind"], curve["positions"], curve["intensities"], curve["units"]
('measured', array([10.,  5.]), array([1., 3.]), {'positions': 'um', 'intensities': 'absorbance'})
>>> broaden.read(jdx, axis="cm-1")["positions"]
array([1000., 2000.]))doc";

inline constexpr const char* kCompare =
    R"doc(Scores a computed spectrum against a measured one, as --compare does.

The measurement is taken on the computed grid (linear interpolation at each
grid point within its x range and range=; fewer than 3 such points are
refused), and the two curves scored there as broaden-batch scores them.

Parameters
----------
x, y : 1-D arrays of float, of one size
    The computed spectrum (as spectrum() gives it); x in any order.
experiment_x, experiment_y : 1-D arrays of float, of one size
    The measured points, on x's axis, in any order (read() of a JCAMP-DX
    curve gives them). Points with a value that is not finite are left out.
signed : bool
    A signed spectrum (ECD, VCD): adds the enantiomeric similarity and its
    verdict on the configuration.
range : (float, float), optional
    Compare only from A to B on the axis, as --compare-range A,B.

Returns
-------
dict
    The report broaden-batch writes with --report, read as JSON, without
    its "experiment" (a file's name; the module reads none): "range" [the
    least and greatest x compared], "points", "scores" {"cosine",
    "pearson"; signed: "esi", "s_e", "s_mirror"} (None where a score has
    none, as for a curve zero everywhere), and, signed, "verdict"
    ("computed configuration", "mirror image" or "no decision").

Raises
------
ValueError
    Arrays of other sizes or dimensions; a range refused as --compare-range
    refuses it; too few points compared, in broaden-batch's words.

Examples
--------
>>> import broaden
>>> report = broaden.compare([1.0, 2.0, 3.0, 4.0], [0.0, 1.0, 2.0, 1.0],
...                          [0.0, 5.0], [0.0, 5.0])
>>> report["range"], report["points"], round(report["scores"]["cosine"], 4)
([1.0, 4.0], 4, 0.8944)
>>> broaden.compare([1.0, 2.0], [1.0, 1.0], [0.0, 5.0], [0.0, 5.0])
Traceback (most recent call last):
    ...
ValueError: the measurement (from 0 to 5) spans 2 points of the grid (from 1 to 2): at least 3 are needed)doc";

inline constexpr const char* kFit =
    R"doc(Fits lines to a measured spectrum, as --compare with --fit does.

The lines are drawn as spectrum() draws them, with the keywords it takes
(shape=, fwhm=, start=, ...; not widths= or grid=), and scale, shift and
width are fitted by broaden-batch's fit, to the same values on the same
inputs: the keywords and fit=, score= and range= are broaden-batch's
options, checked by its rules.

Parameters
----------
positions, intensities : 1-D arrays of float, of one size
    The lines, as spectrum() takes them (positions in unit=).
experiment_x, experiment_y : 1-D arrays of float, of one size
    The measured points on the axis of the spectrum (axis=, else unit=).
fit : str
    --fit's value: "scale", "shift" and "fwhm" joined by commas, each with
    its range where given ("scale=0.9:1.05,fwhm=4:40"); default ranges
    scale 0.9 to 1.1, shift -100 to 100 cm-1 (-1 to 1 eV), fwhm 2 to 60
    cm-1 (0.05 to 1 eV). The scale multiplies the positions, the shift is
    added to them, fwhm replaces the width (shapes of one width).
score : str
    "cosine" (default) or "pearson": the score the fit maximises.
signed : bool, optional
    A signed spectrum, fitted by the better of s_e and s_mirror; by default
    as broaden-batch decides for a line list: where an intensity is
    negative.
range : (float, float), optional
    Compare only from A to B on the axis, as --compare-range A,B.
shape, fwhm, sigma, ..., unit
    As spectrum() takes them; the width given is where the fit of fwhm
    starts.

Returns
-------
(report, x, y)
    report: the dict compare() gives, with "fit" {each parameter fitted:
    its value, "evaluations": the spectra computed} and "before" (the
    scores at the start); x, y: the grid and the spectrum at the values
    fitted, as spectrum() with them would give.

Raises
------
ValueError
    Arrays of other sizes or dimensions; keywords refused as broaden-batch
    refuses the options; too few points compared.

Examples
--------
>>> import broaden, numpy
>>> truth_x, truth_y = broaden.spectrum([1000.0, 1200.0], [1.0, 2.0], fwhm=12,
...                                     start=900, stop=1300, step=1)
>>> report, x, y = broaden.fit([1040.0, 1248.0], [1.0, 2.0], truth_x, truth_y,
...                            fit="scale=0.9:1.0,fwhm=4:40", fwhm=20,
...                            start=900, stop=1300, step=1)
>>> round(report["fit"]["scale"], 3), round(report["fit"]["fwhm"], 1)
(0.962, 12.0)
>>> report["scores"]["cosine"] > 0.999 > report["before"]["cosine"]
True)doc";

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

/// kSpectrum with its slots filled: {shapes} the names of kLineShapes, quoted, the first marked
/// (default), as '"gaussian" (default), "lorentzian", "pseudo-voigt" or "voigt"';
/// {normalisations} those of kNormalisations, '"area" (default) or "height"'.
/// Throws std::logic_error where a slot is missing (a docstring and its filling out of step).
std::string spectrum();

/// kRead with its slot filled: {other formats} the names of the input formats (input_formats(),
/// line_list_formats.h) that the entry of `input` does not already name, quoted, in the table's
/// order, then ". Formats added to broaden-batch are read here too.", filled to 76 columns after
/// four blanks: '    "gaussian", "orca", "molden" or "cjson". Formats added to broaden-batch'.
/// Throws std::logic_error where the slot is missing.
std::string read();

}  // namespace broaden::docstrings
