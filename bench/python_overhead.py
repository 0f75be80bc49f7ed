#!/usr/bin/env python3
"""The Python module's call overhead: a 256 x 256 8-bit forward transform from Python
against the same call from C++.

    make bench    (or build the bench preset's vxfreq_python and vxfreq_forward_timer)
    PYTHONPATH=build/bench/python /usr/bin/python3 bench/python_overhead.py

The C++ calls run in this same process (bench/forward_timer.cpp, loaded with ctypes),
in rounds that alternate with the Python ones, so that both meet the same machine;
each round is the mean of --calls calls, and the medians of --rounds rounds are
compared.
Two pairs of like calls: vxfreq.forward(image, out=buffer) against the C++ call into
a reused buffer, and vxfreq.forward(image), which makes a new buffer, against the C++
call into a new vxFrequencyBuffer, the Python calls in vxfreq.compatible(), the mode
of the C++ calls. Each Python round is divided by the C++ round just
before it; the median of these ratios is the overhead figure, whose target is at most
1.15 (the exit status is 1 when either pair is above it).
"""

import argparse
import ctypes
import os
import statistics
import sys
import time

import numpy as np

import vxfreq

HERE = os.path.dirname(os.path.abspath(__file__))


def python_round(image, calls, out):
    # In the library's compatible mode, the C++ calls' (the C++ default), so that both
    # sides do the same work and the difference is the module's own.
    with vxfreq.compatible():
        start = time.perf_counter()
        if out is None:
            for _ in range(calls):
                vxfreq.forward(image)
        else:
            for _ in range(calls):
                vxfreq.forward(image, out=out)
        return (time.perf_counter() - start) * 1e9 / calls


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--timer", default=os.path.join(HERE, "..", "build", "bench", "bench",
                                                        "libvxfreq_forward_timer.so"))
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--calls", type=int, default=300)
    args = parser.parse_args()
    timer = ctypes.CDLL(os.path.abspath(args.timer)).vxfreq_time_forward_u8
    timer.restype, timer.argtypes = ctypes.c_double, [ctypes.c_long, ctypes.c_int]
    timer(20, 0)
    y, x = np.mgrid[0:256, 0:256]
    image = ((x * 7 + y * 13) & 255).astype(np.uint8)
    out = vxfreq.forward(image)
    for _ in range(20):
        vxfreq.forward(image, out=out)
    rounds = {"reused": ([], []), "new": ([], [])}
    for _ in range(args.rounds):
        for name, target, fresh in [("reused", out, 0), ("new", None, 1)]:
            rounds[name][0].append(timer(args.calls, fresh))
            rounds[name][1].append(python_round(image, args.calls, target))
    print("256 x 256 uint8 forward, median of %d rounds of %d calls" % (args.rounds, args.calls))
    worst = 0.0
    for name, cpp_call, py_call in [
            ("reused", "vfForwardFFT<unsigned char>(image, spectrum)", "vxfreq.forward(image, out=buffer)"),
            ("new", "the same into a new vxFrequencyBuffer", "vxfreq.forward(image)")]:
        cpp, py = rounds[name]
        ratio = statistics.median(p / c for p, c in zip(py, cpp))
        worst = max(worst, ratio)
        print("  %-7s C++ %-46s %8.1f us" % (name, cpp_call, statistics.median(cpp) / 1e3))
        print("  %-7s Python %-43s %8.1f us   Python/C++ %.3f" % (name, py_call, statistics.median(py) / 1e3, ratio))
    return 0 if worst <= 1.15 else 1

if __name__ == "__main__":
    sys.exit(main())
