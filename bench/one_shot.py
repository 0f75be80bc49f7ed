#!/usr/bin/env python3
"""What a one-shot command costs: `vxfreq-demo bandreject` on a 2048 x 2048 and a
4000 x 3000 picture, run as new processes, the wall time of each.

    bench/one_shot.py [--demo build/release/examples/vxfreq-demo] [--rounds 5]

Each round times, for each picture: a first run with an empty cache folder (the path
plans measured and kept), a later run that finds them, and a run with
VXFREQ_PLANNER=fixed (no measuring at all). It prints the median and range of each,
and of the first and later runs over the fixed rule's (targets: first <= 1.1, later
<= 1.0). The pictures are written into a temporary folder (numpy needed).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def picture(path, w, h):
    import numpy as np
    y, x = np.mgrid[0:h, 0:w]
    noise = np.random.default_rng(1).normal(0, 8, (h, w))
    img = 128 + 60 * np.sin(x * 0.05) * np.cos(y * 0.03) + 20 * np.sin(2 * np.pi * 0.2 * x) + noise
    with open(path, "wb") as f:
        f.write(b"P5 %d %d 255\n" % (w, h))
        f.write(img.clip(0, 255).astype(np.uint8).tobytes())


def seconds(demo, source, target, env):
    start = time.perf_counter()
    subprocess.run([demo, "bandreject", "--frequency", "0.2", "--sigma", "0.01", source, target],
                   env=env, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def cell(values):
    return "%.3f (%.3f to %.3f)" % (statistics.median(values), min(values), max(values))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--demo", default=os.path.join(HERE, "..", "build", "release", "examples",
                                                       "vxfreq-demo"))
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    work = tempfile.mkdtemp()
    try:
        print("| picture | first run s | later run s | fixed rule s | first / fixed | "
              "later / fixed |\n|---|---|---|---|---|---|")
        for w, h in [(2048, 2048), (4000, 3000)]:
            source = os.path.join(work, "p%dx%d.pgm" % (w, h))
            picture(source, w, h)
            target = os.path.join(work, "out.pgm")
            first, later, fixed = [], [], []
            for _ in range(args.rounds):
                cache = os.path.join(work, "cache")
                shutil.rmtree(cache, ignore_errors=True)
                env = dict(os.environ, XDG_CACHE_HOME=cache)
                env.pop("VXFREQ_PLANS", None)
                env.pop("VXFREQ_PLANNER", None)
                first.append(seconds(args.demo, source, target, env))
                later.append(seconds(args.demo, source, target, env))
                fixed.append(seconds(args.demo, source, target, dict(env, VXFREQ_PLANNER="fixed")))
            print("| %d x %d | %s | %s | %s | %s | %s |" % (
                w, h, cell(first), cell(later), cell(fixed),
                cell([a / b for a, b in zip(first, fixed)]),
                cell([a / b for a, b in zip(later, fixed)])))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
