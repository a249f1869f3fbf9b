#!/usr/bin/env python3
"""Times broaden-batch against the usual Python way of broadening a line list.

The peers add one line at a time with numpy (Gaussian, Lorentzian,
pseudo-Voigt) and scipy.special.voigt_profile (Voigt), on 1001 random lines
over the classic range, 20000 points from 0.1 to 2000 by 0.1, all shapes
with a full width at half maximum of 10 (the Gaussian with sigma 5, the
width of the classic program's benchmark; pseudo-Voigt half Lorentzian).

Each peer is timed twice: its loop alone, inside this interpreter, and as a
whole script (interpreter start, imports, reading the line list, the loop,
writing the spectrum). Ours is timed as a whole process (--broaden-batch),
or in process, by the engine benchmark alone (--engine-bench, the
add_profiles rows of bench/line_profiles_bench). The
classic program (--broaden) is timed on the same lines at sigma 5, for the
Gaussian. Each side runs --repeat times, the runs of the peers and ours
interleaved, so that a busy machine slows both alike; the table gives the
median and the best run, and the ratios of the medians.

    bench/peer_compare.py --broaden-batch build/broaden-batch --broaden build/broaden
    bench/peer_compare.py --engine-bench build-bench/bench/line_profiles_bench
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

LINES = 1001
SEED = 2026

# Shape -> options of broaden-batch; every shape has a full width of 10.
SHAPES = {
    "gaussian": ["--shape", "gaussian", "--sigma", "5"],
    "lorentzian": ["--shape", "lorentzian", "--fwhm", "10"],
    "pseudo-voigt": ["--shape", "pseudo-voigt", "--fwhm", "10", "--eta", "0.5"],
    "voigt": ["--shape", "voigt", "--gaussian-fwhm", "10", "--lorentzian-fwhm", "10"],
}
GRID = ["--from", "0.1", "--to", "2000", "--step", "0.1"]
# The engine benchmark's row per shape: the kernels and threads add_profiles takes.
ENGINE_ROWS = {
    "gaussian": "shape:0/kernels:-1/threads:0",
    "lorentzian": "shape:1/kernels:-1/threads:0",
    "pseudo-voigt": "shape:2/kernels:-1/threads:0",
    "voigt": "shape:3/kernels:-1/threads:0",
}

# The peers, as a user would write them: one line at a time.
PEER = r'''
import math
import sys

import numpy as np
from scipy.special import voigt_profile

SIGMA = 10.0 / (2 * math.sqrt(2 * math.log(2)))  # the Gaussian part of a full width of 10
GAMMA = 5.0


def gaussian(x, lines, sigma=5.0):
    y = np.zeros_like(x)
    for f, i in lines:
        y += i / (sigma * math.sqrt(2 * math.pi)) * np.exp(-((x - f) ** 2) / (2 * sigma**2))
    return y


def lorentzian(x, lines, gamma=GAMMA):
    y = np.zeros_like(x)
    for f, i in lines:
        y += i * gamma / (math.pi * ((x - f) ** 2 + gamma**2))
    return y


def pseudo_voigt(x, lines, eta=0.5):
    y = np.zeros_like(x)
    for f, i in lines:
        d2 = (x - f) ** 2
        y += i * (eta * GAMMA / (math.pi * (d2 + GAMMA**2))
                  + (1 - eta) / (SIGMA * math.sqrt(2 * math.pi)) * np.exp(-d2 / (2 * SIGMA**2)))
    return y


def voigt(x, lines):
    y = np.zeros_like(x)
    for f, i in lines:
        y += i * voigt_profile(x - f, SIGMA, GAMMA)
    return y


PEERS = {"gaussian": gaussian, "lorentzian": lorentzian, "pseudo-voigt": pseudo_voigt,
         "voigt": voigt}
GRID = np.arange(1, 20001) / 10.0

if __name__ == "__main__":
    shape, lines_file, spectrum_file = sys.argv[1:4]
    lines = np.loadtxt(lines_file)
    y = PEERS[shape](GRID, lines)
    np.savetxt(spectrum_file, np.column_stack([GRID, y]), delimiter="\t")
'''


def seconds(run):
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def write_lines(folder):
    import numpy as np

    rng = np.random.default_rng(SEED)
    lines = np.column_stack([rng.uniform(0.1, 2000.0, LINES), rng.uniform(0.0, 100.0, LINES)])
    columns = os.path.join(folder, "lines.tsv")
    np.savetxt(columns, lines, fmt="%.4f", delimiter="\t")
    # The classic fixed-width record: two 10-character fields.
    with open(os.path.join(folder, "lines.txt"), "w") as fixed:
        fixed.writelines(f"{f:10.4f}{i:10.4f}\n" for f, i in lines)
    return np.loadtxt(columns), columns


def run_checked(command, **kwargs):
    done = subprocess.run(command, capture_output=True, **kwargs)
    if done.returncode != 0:
        sys.exit(f"{command[0]} failed ({done.returncode}): {done.stderr.decode().strip()}")


def broaden_batch_run(program, shape, columns, out):
    def run():
        if os.path.exists(out):
            os.remove(out)
        run_checked([program, *SHAPES[shape], *GRID, "-o", out, columns])

    return run


def broaden_run(program, folder):
    def run():
        spectrum = os.path.join(folder, "spectrum.txt")
        if os.path.exists(spectrum):
            os.remove(spectrum)
        run_checked([program], input=b"lines.txt\n1001\nspectrum.txt\n5\n", cwd=folder)

    return run


def engine_seconds(program, shape):
    """One in-process time of add_profiles for the shape, from the benchmark's own clock."""
    done = subprocess.run(
        [program, f"--benchmark_filter={ENGINE_ROWS[shape]}/", "--benchmark_format=json"],
        capture_output=True, text=True, check=True)
    entry = json.loads(done.stdout)["benchmarks"][0]
    return entry["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[entry["time_unit"]]


def summary(times):
    """Median and best of the runs, in milliseconds."""
    return f"{statistics.median(times) * 1e3:8.2f} {min(times) * 1e3:8.2f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ours = parser.add_mutually_exclusive_group(required=True)
    ours.add_argument("--broaden-batch", help="the broaden-batch program (whole-process runs)")
    ours.add_argument("--engine-bench", help="bench/line_profiles_bench (in-process engine)")
    parser.add_argument("--broaden", help="the classic broaden program (Gaussian reference)")
    parser.add_argument("--repeat", type=int, default=5, help="runs per median (default 5)")
    parser.add_argument("--shapes", default=",".join(SHAPES), help="comma-separated shapes")
    args = parser.parse_args()
    for name in ("broaden_batch", "engine_bench", "broaden"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))

    import numpy as np

    namespace = {}
    exec(compile(PEER, "peer", "exec"), namespace)
    grid = namespace["GRID"]
    ours_name = "broaden-batch process" if args.broaden_batch else "engine in-process"
    print(f"{LINES} lines, 20000 points; {args.repeat} runs of each, interleaved; numpy "
          f"{np.__version__}; times in ms, median and best")
    print(f"{'shape':<13} {'peer loop':>17} {'peer script':>17} {ours_name:>22} "
          f"{'vs loop':>8} {'vs script':>9}")
    with tempfile.TemporaryDirectory() as folder:
        lines, columns = write_lines(folder)
        peer_script = os.path.join(folder, "peer.py")
        with open(peer_script, "w") as script:
            script.write(PEER)
        peer_out = os.path.join(folder, "peer.tsv")
        ours_out = os.path.join(folder, "batch.tsv")
        for shape in args.shapes.split(","):
            peer = namespace["PEERS"][shape]
            run_script = lambda: run_checked(  # noqa: E731
                [sys.executable, peer_script, shape, columns, peer_out])
            if args.broaden_batch:
                run_ours = broaden_batch_run(args.broaden_batch, shape, columns, ours_out)
            loop, script, mine = [], [], []
            for _ in range(args.repeat):
                loop.append(seconds(lambda: peer(grid, lines)))
                script.append(seconds(run_script))
                if args.broaden_batch:
                    mine.append(seconds(run_ours))
                else:
                    mine.append(engine_seconds(args.engine_bench, shape))
            note = ""
            if args.broaden_batch:
                difference = np.loadtxt(ours_out, comments="#")[:, 1] - peer(grid, lines)
                note = f"  max difference {np.max(np.abs(difference)):.1e}"
            print(f"{shape:<13} {summary(loop)} {summary(script)} {summary(mine):>22} "
                  f"{statistics.median(loop) / statistics.median(mine):7.1f}x "
                  f"{statistics.median(script) / statistics.median(mine):8.1f}x{note}")
        if args.broaden:
            run = broaden_run(args.broaden, folder)
            classic = [seconds(run) for _ in range(args.repeat)]
            print(f"classic broaden process, Gaussian sigma 5: {summary(classic)}")


if __name__ == "__main__":
    main()
