"""The module reads float64 arrays where they lie, and lets other Python
threads run while it computes."""

import threading
import time
import tracemalloc

import numpy as np

import broaden
from conftest import bits

LINES = 2_000_000  # 16 MB of positions and as much of intensities


def peak_traced(call):
    """The most memory numpy and Python held at once during call(), above what they held before."""
    tracemalloc.start()
    try:
        before = tracemalloc.get_traced_memory()[0]
        call()
        return tracemalloc.get_traced_memory()[1] - before
    finally:
        tracemalloc.stop()


def test_float64_inputs_are_read_without_a_copy():
    positions = np.full(LINES, 1000.0)
    intensities = np.ones(LINES)
    grid = np.array([0.0, 1.0])  # no line reaches it: the lines cost little
    size = positions.nbytes

    def run(p, i):
        return lambda: broaden.spectrum(p, i, sigma=5.0, grid=grid)

    assert peak_traced(run(positions, intensities)) < size / 16
    # The measure sees copies: a float32 array is converted, so copied.
    assert peak_traced(run(positions.astype(np.float32), intensities)) > size
    # Per-line widths in the shape's own measure are read where they lie too.
    widths = np.full(LINES, 5.0)
    assert peak_traced(lambda: broaden.spectrum(positions, intensities, sigma=1.0, widths=widths,
                                                grid=grid)) < size / 16
    assert peak_traced(lambda: broaden.classic(positions[:1000], intensities[:1000], 5.0)) < size / 16


def test_other_threads_run_while_a_spectrum_is_computed():
    # A Voigt on one thread: long enough to watch (about a tenth of a second or more).
    random = np.random.default_rng(7)
    positions, intensities = random.uniform(0, 2000, 3000), random.uniform(0, 1, 3000)
    times = {}

    def compute():
        times["enter"] = time.perf_counter()
        broaden.spectrum(positions, intensities, shape="voigt", gaussian_fwhm=5.0,
                         lorentzian_fwhm=5.0, threads=1)
        times["leave"] = time.perf_counter()

    worker = threading.Thread(target=compute)
    ticks = []
    worker.start()
    while worker.is_alive():
        ticks.append(time.perf_counter())
    worker.join()
    enter, leave = times["enter"], times["leave"]
    third = (leave - enter) / 3
    # Holding the GIL through the call, this thread could not have run in its middle third.
    assert any(enter + third < t < leave - third for t in ticks), (enter, leave, len(ticks))


def test_spectra_computed_at_once_in_threads_are_those_computed_alone():
    random = np.random.default_rng(8)
    cases = [dict(shape=s, **w) for s, w in [("gaussian", {"sigma": 3.0}),
                                              ("lorentzian", {"fwhm": 4.0}),
                                              ("pseudo-voigt", {"fwhm": 4.0, "eta": 0.3}),
                                              ("voigt", {"gaussian_fwhm": 2.0,
                                                         "lorentzian_fwhm": 2.0})]]
    lines = [(random.uniform(0, 2000, 300), random.uniform(-1, 1, 300)) for _ in cases]
    alone = [broaden.spectrum(p, i, **k)[1] for (p, i), k in zip(lines, cases)]
    together = [None] * len(cases)

    def compute(n):
        together[n] = broaden.spectrum(*lines[n], **cases[n])[1]

    workers = [threading.Thread(target=compute, args=(n,)) for n in range(len(cases))]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    for a, b in zip(alone, together):
        assert np.array_equal(bits(a), bits(b))
