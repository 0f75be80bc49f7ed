#!/usr/bin/env python3
"""Runs the benchmarks of pictures at their own sizes (bench/sizes_bench.cpp) and prints
the table of docs/performance.md; --plot writes the sweep's time per pixel against the
side, vxfreq and FFTW.

    bench/sizes.py                              the table (median of 5 repetitions)
    bench/sizes.py --runs 3                     several runs: median and range of each ratio
    bench/sizes.py --markdown out.md --plot out.png

Every ratio is vxfreq's time over another's measured in the same run (median of the
repetitions, CPU time, one thread): FFTW at the same exact size (r2c for the pictures),
and the same picture padded to the next powers of two as earlier versions did.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_BINARY = os.path.join(HERE, "..", "build", "bench", "bench", "vxfreq_bench")
TABLE = ["4000x3000", "2500x2048", "2448x2048", "1920x1080", "1280x1024", "640x480",
         "1400x1050", "2448x2056", "2048x2048", "4093x4093", "4096x4096", "16381x64",
         "16384x64"]
CAMERAS = ["4000x3000", "2500x2048", "1920x1080", "1280x1024", "640x480"]
PRIMES = [("4093x4093", "4096x4096"), ("16381x64", "16384x64")]


def run(binary, bench_filter, repetitions, min_time=None, metric="cpu_time"):
    handle, path = tempfile.mkstemp(suffix=".json")
    os.close(handle)
    command = [binary, "--benchmark_filter=" + bench_filter,
               "--benchmark_repetitions=%d" % repetitions,
               "--benchmark_report_aggregates_only=true", "--benchmark_out_format=json",
               "--benchmark_out=" + path]
    if min_time:
        command.append("--benchmark_min_time=%s" % min_time)
    subprocess.run(command, check=True, stdout=sys.stderr)
    with open(path) as f:
        data = json.load(f)
    os.unlink(path)
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    times = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            times[b["run_name"]] = b[metric] * scale[b["time_unit"]]
    return times


def ratios(times):
    """{name: ratio} of one run."""
    r = {}
    for s in TABLE:
        own, fftw = times.get("sizes/real/own_reused/" + s), times.get("sizes/real/fftw/" + s)
        if own and fftw:
            r["real/fftw/" + s] = own / fftw
        pow2 = times.get("sizes/real/pow2/" + s)
        if own and pow2:
            r["real/pow2/" + s] = own / pow2
        fresh = times.get("sizes/real/own_fresh/" + s)
        if fresh and fftw:
            r["fresh/fftw/" + s] = fresh / fftw
        own_c, fftw_c = times.get("sizes/complex/own/" + s), times.get("sizes/complex/fftw/" + s)
        if own_c and fftw_c:
            r["complex/fftw/" + s] = own_c / fftw_c
    for prime, power in PRIMES:
        a, b = times.get("sizes/real/own_reused/" + prime), times.get("sizes/real/own_reused/" + power)
        if a and b:
            r["prime/" + prime] = a / b
    return r


def cell(values, fmt="%.2f"):
    if not values:
        return "-"
    if len(values) == 1:
        return fmt % values[0]
    return (fmt + " (" + fmt + " to " + fmt + ")") % (statistics.median(values), min(values),
                                                      max(values))


def table(runs):
    last = runs[-1][0]
    per = defaultdict(list)
    for _, r in runs:
        for k, v in r.items():
            per[k].append(v)
    lines = ["| size | vxfreq ms | vxfreq fresh ms | padded to 2^k ms | FFTW r2c ms | "
             "vs FFTW (target <= 0.80 at cameras) | fresh vs FFTW | vs padded (target < 1) | "
             "complex vs FFTW c2c |", "|---|---|---|---|---|---|---|---|---|"]
    for s in TABLE:
        def ms(name):
            t = last.get(name + s)
            return "%.3g" % t if t else "-"
        lines.append("| %s%s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            s.replace("x", " x "), " (camera)" if s in CAMERAS else "",
            ms("sizes/real/own_reused/"), ms("sizes/real/own_fresh/"), ms("sizes/real/pow2/"),
            ms("sizes/real/fftw/"), cell(per["real/fftw/" + s]), cell(per["fresh/fftw/" + s]),
            cell(per["real/pow2/" + s]), cell(per["complex/fftw/" + s])))
    lines.append("")
    lines.append("| prime side | vxfreq ms over the next power of two's (target <= 5) |")
    lines.append("|---|---|")
    for prime, power in PRIMES:
        lines.append("| %s against %s | %s |" % (prime.replace("x", " x "),
                                                 power.replace("x", " x "),
                                                 cell(per["prime/" + prime])))
    return "\n".join(lines) + "\n"


def plot(times, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot", file=sys.stderr)
        return
    fig, ax = plt.subplots(figsize=(8, 4.5))
    for impl, label in [("own", "vxfreq (own size)"), ("fftw", "FFTW r2c (FFTW_MEASURE)")]:
        points = sorted((int(k.split("/")[2]), v) for k, v in times.items()
                        if k.startswith("sweep/%s/" % impl))
        ax.plot([n for n, _ in points], [1e6 * t / (n * n) for n, t in points], "o-",
                markersize=3, label=label)
    ax.set_xlabel("side N of an N x N 8-bit picture")
    ax.set_ylabel("ns per pixel, real-input forward")
    ax.set_ylim(bottom=0)
    ax.grid(True, alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(path, dpi=100)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", default=DEFAULT_BINARY)
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--min-time", help="seconds per repetition (Google Benchmark's)")
    parser.add_argument("--markdown")
    parser.add_argument("--plot")
    args = parser.parse_args()
    runs = []
    for _ in range(args.runs):
        times = run(args.binary, "^sizes/", args.repetitions, args.min_time)
        runs.append((times, ratios(times)))
    text = table([(t, r) for t, r in runs])
    print(text)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write(text)
    if args.plot:
        plot(run(args.binary, "^sweep/", 3, args.min_time), args.plot)


if __name__ == "__main__":
    main()
