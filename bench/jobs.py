#!/usr/bin/env python3
"""Runs the end-to-end benchmarks (bench/job_bench.cpp) several times and prints the
table of docs/performance.md: each ratio's median and range over the runs.

    bench/jobs.py                        3 runs of 3 repetitions each
    bench/jobs.py --runs 5 --markdown out.md
    bench/jobs.py --python               also the Python figures (inverse against forward
                                         at 2048 x 2048, two pictures on two threads)

Ratios are vxfreq's wall time over FFTW's at the same exact size measured in the same
run (median of the repetitions; one thread unless said), and vxfreq with a pool of two
threads over vxfreq with one. The Python part needs the module of the bench build
(PYTHONPATH=build/bench/python) and numpy.
"""

import argparse
import os
import statistics
import sys
import threading
import time
from collections import defaultdict

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sizes import DEFAULT_BINARY, cell, run  # noqa: E402

SIZES = ["512x512", "1024x1024", "2048x2048", "4096x4096", "1280x1024", "1920x1080",
         "2448x2048", "4000x3000"]
STEPS = [("job", "filter job, 8-bit to 8-bit (target <= 0.6)"),
         ("forward", "forward, 8-bit (target <= 0.6)"),
         ("inverse", "inverse to 8-bit"),
         ("complex", "complex forward (target <= 0.6)")]


def ratios(times):
    r = {}
    for step, _ in STEPS:
        for s in SIZES:
            own = times.get("%s/vxfreq/%s/real_time" % (step, s))
            fftw = times.get("%s/fftw/%s/real_time" % (step, s))
            two = times.get("%s/vxfreq_2t/%s/real_time" % (step, s))
            if own and fftw:
                r["%s/fftw/%s" % (step, s)] = own / fftw
            if own and two:
                r["%s/2t/%s" % (step, s)] = two / own
            if own:
                r["%s/ms/%s" % (step, s)] = own
    return r


def table(runs):
    per = defaultdict(list)
    for r in runs:
        for k, v in r.items():
            per[k].append(v)
    lines = ["| size | " + " | ".join("%s vs FFTW" % name for _, name in STEPS) +
             " | two threads over one: job, forward, inverse (target <= 0.55 from 1024 x 1024) |",
             "|---" * (len(STEPS) + 2) + "|"]
    for s in SIZES:
        two = ", ".join(cell(per["%s/2t/%s" % (step, s)]) for step in ("job", "forward", "inverse"))
        lines.append("| %s | %s | %s |" % (
            s.replace("x", " x "),
            " | ".join(cell(per["%s/fftw/%s" % (step, s)]) for step, _ in STEPS), two))
    lines.append("")
    lines.append("| size | job ms | forward ms | inverse ms | complex ms |")
    lines.append("|---|---|---|---|---|")
    for s in SIZES:
        lines.append("| %s | %s |" % (s.replace("x", " x "), " | ".join(
            cell(per["%s/ms/%s" % (step, s)], "%.3g") for step, _ in STEPS)))
    return "\n".join(lines) + "\n"


def python_figures(rounds):
    """Medians of the Python module's inverse over its forward at 2048 x 2048, and of
    two pictures on two threads over the same two one after the other."""
    import numpy as np
    import vxfreq
    rng = np.random.default_rng(3)
    pictures = [(rng.random((2048, 2048)) * 255).astype(np.uint8) for _ in range(2)]
    spectrum = vxfreq.forward(pictures[0])

    def timed(f, n=9):
        ts = []
        for _ in range(n):
            t = time.perf_counter()
            f()
            ts.append(time.perf_counter() - t)
        return statistics.median(ts)

    def both_serial():
        for p in pictures:
            vxfreq.inverse(vxfreq.forward(p))

    def both_threads():
        threads = [threading.Thread(target=lambda p=p: vxfreq.inverse(vxfreq.forward(p)))
                   for p in pictures]
        for t in threads:
            t.start()
        for t in threads:
            t.join()

    lines = ["| Python, 2048 x 2048 | run medians |", "|---|---|"]
    inv, uint8, two = [], [], []
    for _ in range(rounds):
        forward = timed(lambda: vxfreq.forward(pictures[0]))
        inv.append(timed(lambda: vxfreq.inverse(spectrum)) / forward)
        uint8.append(timed(lambda: vxfreq.inverse(spectrum, dtype=np.uint8)) / forward)
        two.append(timed(both_threads, 5) / timed(both_serial, 5))
    lines.append("| inverse (float64) over forward (target <= 1.2) | %s |" %
                 ", ".join("%.2f" % v for v in inv))
    lines.append("| inverse to uint8 over forward | %s |" % ", ".join("%.2f" % v for v in uint8))
    lines.append("| two pictures on two threads over one after the other (target <= 0.65) | %s |"
                 % ", ".join("%.2f" % v for v in two))
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", default=DEFAULT_BINARY)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--min-time", help="seconds per repetition (Google Benchmark's)")
    parser.add_argument("--filter", default="^(job|forward|inverse|complex)/")
    parser.add_argument("--python", action="store_true")
    parser.add_argument("--markdown")
    args = parser.parse_args()
    runs = [ratios(run(args.binary, args.filter, args.repetitions, args.min_time, "real_time"))
            for _ in range(args.runs)]
    text = table(runs)
    if args.python:
        text += "\n" + python_figures(5)
    print(text)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write(text)


if __name__ == "__main__":
    main()
