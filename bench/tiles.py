#!/usr/bin/env python3
"""Many small tiles in one call, several runs, and the table of docs/performance.md:
each ratio's median and range over the runs.

    bench/tiles.py                     3 runs, Python and C++
    bench/tiles.py --runs 5 --markdown out.md
    bench/tiles.py --no-cpp            the Python part alone

Python: 10,000 tiles of 64 x 64 and 2,000 of 256 x 256 as one float32 (N, H, W) array,
transformed by vxfreq.fft.fft2 against scipy.fft.fft2 at workers=1 and 2 (complex64
results both) and numpy.fft.fft2 (numpy computes in double precision: complex128), each
the median of several calls on the same array; vxfreq also into an out= array kept
between calls (scipy has none). C++: bench/stack_bench.cpp, vfForwardFFTStack against
FFTW's fftwf_plan_many_dft_r2c (half spectra, one thread), into kept and fresh memory,
and the three channels of an interleaved RGB picture against one.
The Python part needs the module of the bench build (PYTHONPATH=build/bench/python),
numpy and scipy.
"""

import argparse
import os
import statistics
import sys
import time
from collections import defaultdict

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sizes import DEFAULT_BINARY, cell, run  # noqa: E402

TILES = [(10000, 64, 64), (2000, 256, 256)]


def timed(f, n):
    times = []
    for _ in range(n):
        t = time.perf_counter()
        f()
        times.append(time.perf_counter() - t)
    return statistics.median(times)


def python_run(calls):
    import numpy as np
    import scipy.fft
    import vxfreq.fft
    r = {}
    rng = np.random.default_rng(7)
    for count, h, w in TILES:
        key = "%dx%dx%d" % (count, w, h)
        x = rng.random((count, h, w), dtype=np.float32)
        out = np.empty((count, h, w), np.complex64)
        vxfreq.fft.fft2(x, workers=1)  # plans and pools made before the timing
        scipy.fft.fft2(x, workers=2)
        t = {
            "vx1": timed(lambda: vxfreq.fft.fft2(x, workers=1), calls),
            "vx2": timed(lambda: vxfreq.fft.fft2(x, workers=2), calls),
            "vx1_out": timed(lambda: vxfreq.fft.fft2(x, workers=1, out=out), calls),
            "sp1": timed(lambda: scipy.fft.fft2(x, workers=1), calls),
            "sp2": timed(lambda: scipy.fft.fft2(x, workers=2), calls),
            "np": timed(lambda: np.fft.fft2(x), max(1, calls // 2)),
        }
        r["py/w1/" + key] = t["vx1"] / t["sp1"]
        r["py/w2/" + key] = t["vx2"] / t["sp2"]
        r["py/out/" + key] = t["vx1_out"] / t["sp1"]
        r["py/numpy/" + key] = t["vx1"] / t["np"]
        for name, value in t.items():
            r["py/ms/%s/%s" % (name, key)] = value * 1000.0
    return r


def cpp_run(binary, repetitions):
    times = run(binary, "^(tiles|channels)/", repetitions, None, "real_time")
    r = {}
    one = times.get("channels/1/2448x2048/real_time")
    three = times.get("channels/3/2448x2048/real_time")
    if one and three:
        r["cpp/channels"] = three / one
    for count, h, w in TILES:
        key = "%dx%dx%d" % (count, w, h)
        for group in ("tiles", "tiles_fresh"):
            own = times.get("%s/vxfreq/%s/real_time" % (group, key))
            fftw = times.get("%s/fftw/%s/real_time" % (group, key))
            if own and fftw:
                r["cpp/%s/%s" % (group, key)] = own / fftw
                r["cpp/ms/%s/%s" % (group, key)] = own
        loop = times.get("tiles/fftw_loop/%s/real_time" % key)
        own = times.get("tiles/vxfreq/%s/real_time" % key)
        if own and loop:
            r["cpp/loop/" + key] = own / loop
    return r


def table(runs, with_cpp):
    per = defaultdict(list)
    for r in runs:
        for k, v in r.items():
            per[k].append(v)
    lines = ["| tiles | vxfreq / scipy, workers=1 (target <= 0.5) | vxfreq / scipy, workers=2 "
             "(target <= 0.6) | vxfreq into kept out= / scipy, workers=1 | vxfreq / numpy |",
             "|---|---|---|---|---|"]
    for count, h, w in TILES:
        key = "%dx%dx%d" % (count, w, h)
        lines.append("| %d of %d x %d | %s | %s | %s | %s |" % (
            count, w, h, cell(per["py/w1/" + key]), cell(per["py/w2/" + key]),
            cell(per["py/out/" + key]), cell(per["py/numpy/" + key])))
    lines += ["", "| tiles | vxfreq 1 / 2 workers ms | scipy 1 / 2 workers ms | numpy ms |",
              "|---|---|---|---|"]
    for count, h, w in TILES:
        key = "%dx%dx%d" % (count, w, h)
        ms = lambda name: cell(per["py/ms/%s/%s" % (name, key)], "%.0f")  # noqa: E731
        lines.append("| %d of %d x %d | %s / %s | %s / %s | %s |" % (
            count, w, h, ms("vx1"), ms("vx2"), ms("sp1"), ms("sp2"), ms("np")))
    if with_cpp:
        lines += ["", "| tiles, C++ | vxfreq / FFTW plan_many, kept memory (target <= 1.3) | "
                  "fresh memory | vxfreq / FFTW's one-tile plan on each tile, kept memory | "
                  "vxfreq ms, kept / fresh |", "|---|---|---|---|---|"]
        for count, h, w in TILES:
            key = "%dx%dx%d" % (count, w, h)
            lines.append("| %d of %d x %d | %s | %s | %s | %s / %s |" % (
                count, w, h, cell(per["cpp/tiles/" + key]), cell(per["cpp/tiles_fresh/" + key]),
                cell(per["cpp/loop/" + key]),
                cell(per["cpp/ms/tiles/" + key], "%.0f"),
                cell(per["cpp/ms/tiles_fresh/" + key], "%.0f")))
        lines += ["", "| C++, 2448 x 2048 8-bit RGB to spectra | three channels in one call over "
                  "the first alone (target <= 3.1) |", "|---|---|",
                  "| vfForwardFFTStack | %s |" % cell(per["cpp/channels"])]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", default=DEFAULT_BINARY)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--calls", type=int, default=7, help="Python calls per median")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--no-cpp", action="store_true")
    parser.add_argument("--markdown")
    args = parser.parse_args()
    runs = []
    for _ in range(args.runs):
        r = python_run(args.calls)
        if not args.no_cpp:
            r.update(cpp_run(args.binary, args.repetitions))
        runs.append(r)
    text = table(runs, not args.no_cpp)
    print(text)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write(text)


if __name__ == "__main__":
    main()
