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
or, until that program exists, as the in-process engine benchmark
(--engine-bench, the add_profiles rows of bench/line_profiles_bench). The
classic program (--broaden) is timed on the same lines at sigma 5, for the
Gaussian. Every time is the median of --repeat runs.

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
FWHM_PER_SIGMA = 2.3548200450309493

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

SIGMA = 10.0 / 2.3548200450309493  # the Gaussian part of a full width of 10
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


def median_seconds(run, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


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


def time_broaden_batch(program, shape, columns, folder, repeat):
    out = os.path.join(folder, "batch.tsv")

    def run():
        if os.path.exists(out):
            os.remove(out)
        run_checked([program, *SHAPES[shape], *GRID, "-o", out, columns])

    return median_seconds(run, repeat), out


def time_broaden(program, folder, repeat):
    answers = b"lines.txt\n1001\nspectrum.txt\n5\n"

    def run():
        spectrum = os.path.join(folder, "spectrum.txt")
        if os.path.exists(spectrum):
            os.remove(spectrum)
        run_checked([program], input=answers, cwd=folder)

    return median_seconds(run, repeat)


def engine_times(program, repeat):
    done = subprocess.run(
        [program, "--benchmark_filter=threads:0", "--benchmark_format=json",
         f"--benchmark_repetitions={repeat}", "--benchmark_report_aggregates_only=true"],
        capture_output=True, text=True, check=True)
    rows = json.loads(done.stdout)["benchmarks"]
    times = {}
    for shape, row in ENGINE_ROWS.items():
        for entry in rows:
            if row in entry["name"] and entry.get("aggregate_name") == "median":
                unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[entry["time_unit"]]
                times[shape] = entry["real_time"] * unit
    return times


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
    shapes = args.shapes.split(",")
    print(f"{LINES} lines, 20000 points; medians of {args.repeat}; numpy {np.__version__}")
    with tempfile.TemporaryDirectory() as folder:
        lines, columns = write_lines(folder)
        peer_script = os.path.join(folder, "peer.py")
        with open(peer_script, "w") as script:
            script.write(PEER)
        engine = engine_times(args.engine_bench, args.repeat) if args.engine_bench else {}
        ours_name = "broaden-batch process" if args.broaden_batch else "engine in-process"
        print(f"{'shape':<13} {'peer loop':>10} {'peer script':>12} {ours_name:>22}"
              f" {'vs loop':>8} {'vs script':>9}")
        for shape in shapes:
            peer = namespace["PEERS"][shape]
            expected = peer(namespace["GRID"], lines)
            loop = median_seconds(lambda: peer(namespace["GRID"], lines), args.repeat)
            spectrum = os.path.join(folder, "peer.tsv")
            script = median_seconds(
                lambda: run_checked([sys.executable, peer_script, shape, columns, spectrum]),
                args.repeat)
            note = ""
            if args.broaden_batch:
                mine, out = time_broaden_batch(args.broaden_batch, shape, columns, folder,
                                               args.repeat)
                got = np.loadtxt(out, comments="#", delimiter=None)[:, 1]
                note = f"  (max difference {np.max(np.abs(got - expected)):.1e})"
            else:
                mine = engine[shape]
            print(f"{shape:<13} {loop * 1e3:>8.1f}ms {script * 1e3:>10.1f}ms {mine * 1e3:>20.2f}ms"
                  f" {loop / mine:>7.1f}x {script / mine:>8.1f}x{note}")
        if args.broaden:
            classic = time_broaden(args.broaden, folder, args.repeat)
            print(f"classic broaden process, Gaussian sigma 5: {classic * 1e3:.2f}ms")


if __name__ == "__main__":
    main()
