#!/usr/bin/env python3
"""Runs one vxfreq job over a folder of pictures on Dask.

    batch.py JOB INPUT_DIR OUTPUT_DIR [options]

JOB is one of the demo's jobs: spectrum, bandpass, bandreject, gabor, gaborreject. Every
picture of INPUT_DIR (PNG, PGM, PPM, TIFF, BMP; colour pictures are converted to grey)
gives one output of the same name in OUTPUT_DIR, as PNG: the 8-bit centred
log-magnitude spectrum for `spectrum`, otherwise the filtered picture at the input's
bit depth (8 or 16). Pictures are read and written with Pillow.

By default the pictures are shared out among local worker processes (--workers, one
thread each); --scheduler ADDRESS sends them to an existing Dask cluster instead (its
workers need vxfreq, numpy and Pillow, and must see both folders); --sequential runs
them one after another in this process, without Dask. A progress bar shows while the
pictures are done, and one summary line follows.

A picture that cannot be read or transformed (a damaged file, a side above 16384) does
not stop the run: its name and the reason go to standard error, the others are done,
and the exit status is 1 with the number of failures in the summary line.

Run with Debian's interpreter and the built module on the path, e.g. from the
repository after `make test`:

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/batch.py \\
        gabor --angle 60 --frequency 0.2 --sigma 0.04,0.006 pictures/ out/
"""

import argparse
import math
import os
import sys
import time

import numpy as np
from PIL import Image

import vxfreq

JOBS = ("spectrum", "bandpass", "bandreject", "gabor", "gaborreject")
EXTENSIONS = (".png", ".pgm", ".ppm", ".pnm", ".tif", ".tiff", ".bmp")


def read_grey(path):
    """The picture as a 2-D uint8 or uint16 array."""
    with Image.open(path) as picture:
        if picture.mode in ("I;16", "I;16L", "I;16B", "I"):
            return np.asarray(picture).astype(np.uint16)
        if picture.mode != "L":
            picture = picture.convert("L")
        return np.asarray(picture, dtype=np.uint8)


def to_grey(values, dtype, display):
    """Float values to grey levels of `dtype`, as the demo shows them: 'keep' clamps
    magnitudes, 'stretch' maps 0 .. the largest to the full range, 'signed' puts 0 at
    middle grey and stretches symmetrically."""
    top = float(np.iinfo(dtype).max)
    largest = float(np.abs(values).max()) if values.size else 0.0
    offset, scale = 0.0, 1.0
    if display == "stretch":
        scale = top / largest if largest > 0 else 0.0
    elif display == "signed":
        offset = math.ceil(top / 2)
        scale = (top - offset) / largest if largest > 0 else 0.0
    return np.floor(np.clip(offset + values * scale, 0.0, top) + 0.5).astype(dtype)


def build_filters(job, params, size):
    """The job's filters for a transform size (width, height), with how to show the result."""
    if job in ("bandpass", "bandreject"):
        cls = vxfreq.BandPass if job == "bandpass" else vxfreq.BandReject
        band = cls(params["sigma"][0], params["plateau"][0], params["frequency"], size,
                   params["dc_radius"])
        return [band], "signed" if job == "bandpass" else "keep"
    angle = math.radians(params["angle"])
    gabor = dict(sigma=params["sigma"], plateau=params["plateau"], frequency=params["frequency"],
                 size=size, dc_removal_radius=params["dc_radius"])
    if job == "gabor":
        return [vxfreq.Gabor(angle=angle, **gabor)], "stretch"
    # Both lobes, so that the pattern leaves a real image.
    return [vxfreq.GaborReject(angle=a, **gabor) for a in (angle, angle + math.pi)], "keep"


def process(job, params, source, target):
    """Runs the job on one picture and writes its output; returns (width, height)."""
    image = read_grey(source)
    spectrum = vxfreq.forward(image)
    if job == "spectrum":
        output = vxfreq.map_image(spectrum.magnitude_image(centered=True), "log")
    else:
        height, width = spectrum.shape
        filters, display = build_filters(job, params, (width, height))
        for f in filters:
            f.apply(spectrum)
        if display == "signed":
            values, _ = vxfreq.inverse_complex(spectrum, in_place=True)
        else:
            values = vxfreq.inverse(spectrum, np.float64, magnitude=True, in_place=True)
        output = to_grey(values, image.dtype, display)
    Image.fromarray(output).save(target)
    return image.shape[1], image.shape[0]


def attempt(job, params, source, target):
    """process, with a failure returned instead of raised: (size, None) or (None, reason)."""
    try:
        return process(job, params, source, target), None
    except Exception as e:  # noqa: BLE001 -- any failure of one picture is reported, not fatal
        return None, "%s: %s" % (type(e).__name__, e)


def pictures_in(folder):
    names = sorted(n for n in os.listdir(folder) if n.lower().endswith(EXTENSIONS))
    return [os.path.join(folder, n) for n in names]


def output_for(source, out_dir):
    return os.path.join(out_dir, os.path.splitext(os.path.basename(source))[0] + ".png")


def run_sequential(job, params, sources, out_dir):
    return [attempt(job, params, s, output_for(s, out_dir)) for s in sources]


def run_on_dask(job, params, sources, out_dir, scheduler=None, workers=2):
    """Runs the pictures as Dask tasks; returns their sizes and a description of where."""
    from dask.distributed import Client, LocalCluster, progress

    if scheduler:
        cluster, where = None, "on " + scheduler
        client = Client(scheduler)
    else:
        cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client, where = Client(cluster), "on %d local worker processes" % workers
    try:
        futures = client.map(attempt, [job] * len(sources), [params] * len(sources), sources,
                             [output_for(s, out_dir) for s in sources], pure=False)
        progress(futures)
        print(file=sys.stderr)
        return client.gather(futures), where
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


def pair(text):
    values = [float(v) for v in text.split(",")]
    if len(values) not in (1, 2):
        raise argparse.ArgumentTypeError("expected S or S,T")
    return (values[0], values[-1])


def parse(argv):
    parser = argparse.ArgumentParser(
        description="Runs one vxfreq job over a folder of pictures on Dask.",
        formatter_class=argparse.RawDescriptionHelpFormatter, epilog=EPILOG)
    parser.add_argument("job", choices=JOBS)
    parser.add_argument("input_dir")
    parser.add_argument("output_dir")
    parser.add_argument("--scheduler", metavar="ADDRESS", help="an existing Dask scheduler, e.g. tcp://host:8786")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes (default 2)")
    parser.add_argument("--sequential", action="store_true", help="run in this process, without Dask")
    parser.add_argument("--frequency", type=float, default=0.125, help="cycles per pixel (default 0.125)")
    parser.add_argument("--sigma", type=pair, default=(0.01, 0.01), help="S or S,T (default 0.01)")
    parser.add_argument("--plateau", type=pair, default=(0.0, 0.0), help="P or P,Q (default 0)")
    parser.add_argument("--angle", type=float, default=0.0, help="degrees from x towards y (default 0)")
    parser.add_argument("--dc-radius", type=int, default=0, help="DC removal/protection radius (default 0)")
    return parser.parse_args(argv)


EPILOG = """where the pictures are done:
  By default a LocalCluster starts --workers worker processes on this machine. Starting
  them and importing vxfreq in each takes a few seconds, so it pays when the pictures
  take longer than that in all (dozens of camera pictures, or large ones); for a few
  small pictures --sequential is quicker.
  To use a running scheduler, start it and its workers first, e.g.
      dask-scheduler                                 # listens on tcp://HOST:8786
      dask-worker tcp://HOST:8786 --nthreads 1       # on each machine, as often as cores
  then pass --scheduler tcp://HOST:8786. The workers need vxfreq, numpy and Pillow and
  must see INPUT_DIR and OUTPUT_DIR under the same paths.

exit status: 0 when every picture was done, 1 when some failed (each named on standard
error with the reason), 2 for bad arguments."""


def main(argv=None):
    args = parse(argv)
    params = dict(frequency=args.frequency, sigma=args.sigma, plateau=args.plateau, angle=args.angle,
                  dc_radius=args.dc_radius)
    sources = pictures_in(args.input_dir)
    os.makedirs(args.output_dir, exist_ok=True)
    start = time.perf_counter()
    if args.sequential:
        sizes, where = run_sequential(args.job, params, sources, args.output_dir), "in this process"
    else:
        sizes, where = run_on_dask(args.job, params, sources, args.output_dir, args.scheduler,
                                   args.workers)
    failed = [(s, reason) for s, (_, reason) in zip(sources, sizes) if reason is not None]
    for source, reason in failed:
        print("%s: %s" % (source, reason), file=sys.stderr)
    done = [size for size, reason in sizes if reason is None]
    pixels = sum(w * h for w, h in done)
    print("%s: %d pictures (%.1f Mpixels) -> %s in %.2f s %s%s" % (
        args.job, len(done), pixels / 1e6, args.output_dir, time.perf_counter() - start, where,
        ", %d failed" % len(failed) if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
