#!/usr/bin/env python3
"""The Python module's call overhead: a 256 x 256 8-bit forward transform from Python
against the same call from C++.

    make bench    (or build the bench preset's vxfreq_python and vxfreq_forward_timer)
    PYTHONPATH=build/bench/python /usr/bin/python3 bench/python_overhead.py

Rounds of C++ and Python alternate, so that a busy machine slows both alike; each
round is the mean of --calls calls, and the medians of --rounds rounds are compared.
The like-for-like Python call is vxfreq.forward(image, out=buffer) (the C++ call also
reuses its buffer); vxfreq.forward(image), which makes a new buffer each time, is shown
for information. The target is a ratio of at most 1.15.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

import numpy as np

import vxfreq

HERE = os.path.dirname(os.path.abspath(__file__))


def python_round(image, calls, out):
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
                                                        "vxfreq_forward_timer"))
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--calls", type=int, default=300)
    args = parser.parse_args()
    y, x = np.mgrid[0:256, 0:256]
    image = ((x * 7 + y * 13) & 255).astype(np.uint8)
    out = vxfreq.forward(image)
    for _ in range(20):
        vxfreq.forward(image, out=out)
    cpp, reused, fresh = [], [], []
    for _ in range(args.rounds):
        cpp.append(float(subprocess.run([args.timer, str(args.calls)], check=True,
                                        capture_output=True, text=True).stdout))
        reused.append(python_round(image, args.calls, out))
        fresh.append(python_round(image, args.calls, None))
    c, r, f = (statistics.median(v) for v in (cpp, reused, fresh))
    print("256 x 256 uint8 forward, median of %d rounds of %d calls" % (args.rounds, args.calls))
    print("  C++ vfForwardFFT<unsigned char>(image, spectrum)  %9.1f us" % (c / 1e3))
    print("  Python vxfreq.forward(image, out=buffer)          %9.1f us   ratio %.3f" % (r / 1e3, r / c))
    print("  Python vxfreq.forward(image) (new buffer)         %9.1f us   ratio %.3f" % (f / 1e3, f / c))
    return 0 if r / c <= 1.15 else 1


if __name__ == "__main__":
    sys.exit(main())
