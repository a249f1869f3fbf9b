#!/usr/bin/env python3
"""Times broaden.spectrum against the numpy loop a user writes, in one process.

The peers are those of bench/peer_compare.py: one line at a time with numpy
(Gaussian, Lorentzian, pseudo-Voigt) and scipy.special.voigt_profile
(Voigt), on 1001 random lines over 20000 points, 0.1 to 2000 by 0.1, every
shape of full width 10 (the Gaussian of sigma 5). The module computes the
same spectra on the same grid; each side runs --repeat times, interleaved,
and the table gives medians and best runs in milliseconds and the ratio of
the medians, with the largest difference between the two spectra relative to
the largest value. Then two Python threads each compute the Voigt on one
thread of the module at the same time, against one of them alone: with the
GIL released the pair takes about the time of one where two cores are free.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py
"""

import argparse
import os
import statistics
import sys
import threading
import time

import numpy as np

import broaden

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from peer_compare import LINES, PEER, SEED  # noqa: E402  the peers' own code

# Shape -> the keywords of the same spectrum.
KEYWORDS = {
    "gaussian": {"shape": "gaussian", "sigma": 5.0},
    "lorentzian": {"shape": "lorentzian", "fwhm": 10.0},
    "pseudo-voigt": {"shape": "pseudo-voigt", "fwhm": 10.0, "eta": 0.5},
    "voigt": {"shape": "voigt", "gaussian_fwhm": 10.0, "lorentzian_fwhm": 10.0},
}


def seconds(run):
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def summary(times):
    return f"{statistics.median(times) * 1e3:8.2f} {min(times) * 1e3:8.2f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=7, help="runs per median (default 7)")
    parser.add_argument("--shapes", default=",".join(KEYWORDS), help="comma-separated shapes")
    args = parser.parse_args()

    namespace = {}
    exec(compile(PEER, "peer", "exec"), namespace)
    grid = namespace["GRID"]
    random = np.random.default_rng(SEED)
    lines = np.column_stack([random.uniform(0.1, 2000.0, LINES), random.uniform(0.0, 100.0, LINES)])
    positions, intensities = np.ascontiguousarray(lines[:, 0]), np.ascontiguousarray(lines[:, 1])
    x, _ = broaden.spectrum(positions, intensities, sigma=5.0)
    assert np.array_equal(x, grid), "the module's default grid is the peers' grid"

    print(f"{LINES} lines, {grid.size} points; numpy {np.__version__}; {os.cpu_count()} cores; "
          f"{args.repeat} runs each, interleaved; ms, median and best")
    print(f"{'shape':<13} {'numpy/scipy loop':>17} {'broaden.spectrum':>17} {'speed-up':>9}"
          f" {'difference':>11}")
    for shape in args.shapes.split(","):
        peer = namespace["PEERS"][shape]
        keywords = KEYWORDS[shape]
        theirs, ours = [], []
        for _ in range(args.repeat):
            theirs.append(seconds(lambda: peer(grid, lines)))
            ours.append(seconds(lambda: broaden.spectrum(positions, intensities, **keywords)))
        expected = peer(grid, lines)
        got = broaden.spectrum(positions, intensities, **keywords)[1]
        difference = np.max(np.abs(got - expected)) / np.max(np.abs(expected))
        print(f"{shape:<13} {summary(theirs)} {summary(ours)} "
              f"{statistics.median(theirs) / statistics.median(ours):8.1f}x {difference:11.1e}")

    # Two Python threads at once, each on one of the module's threads.
    voigt = dict(KEYWORDS["voigt"], threads=1)

    def one():
        broaden.spectrum(positions, intensities, **voigt)

    def two():
        workers = [threading.Thread(target=one) for _ in range(2)]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()

    alone, pair = [], []
    for _ in range(args.repeat):
        alone.append(seconds(one))
        pair.append(seconds(two))
    print(f"Voigt on one thread: one call {summary(alone)}; two calls in two Python threads "
          f"at once {summary(pair)} ({statistics.median(pair) / statistics.median(alone):.2f} "
          f"times one)")


if __name__ == "__main__":
    main()
