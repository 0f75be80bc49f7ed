#!/usr/bin/env python3
"""The accuracy of the 2-D forward transform: relative RMS error against numpy's
double-precision FFT of the same input, for vxfreq's compatible and extended modes,
scipy.fft in single precision and, when pyfftw is installed, FFTW in single precision.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/accuracy.py [--markdown]

Inputs: random 8-bit pictures (uniform 0..255, seeded) of square power-of-two sizes,
camera sizes, primes and other factor classes (the extended mode at the pictures' own
sizes; the compatible mode only takes the powers of two), transformed as float32
values; error = ||X - X_ref|| / ||X_ref|| over the whole spectrum. The last column is
the extended mode's error over scipy's.
"""

import sys

import numpy as np

import vxfreq

# (height, width)
SIZES = [(64, 64), (256, 256), (512, 512), (1024, 1024), (2048, 2048), (4096, 4096),
         (3000, 4000), (2048, 2448), (2048, 2500), (1080, 1920), (1024, 1280), (480, 640),
         (625, 729), (17, 31), (1, 16381), (4093, 3), (4093, 4093), (2062, 1031)]


def relative_error(values, reference):
    return float(np.linalg.norm(values - reference) / np.linalg.norm(reference))


def main():
    try:
        import scipy.fft as sfft
    except ImportError:
        sfft = None
    try:
        import pyfftw
    except ImportError:
        pyfftw = None
    rows = []
    for h, w in SIZES:
        rng = np.random.default_rng(h * 100003 + w)
        picture = rng.integers(0, 256, (h, w)).astype(np.float32)
        reference = np.fft.fft2(picture.astype(np.float64))
        row = {"size": (h, w)}
        if max(h, w) <= 2048 and h & (h - 1) == 0 and w & (w - 1) == 0:
            with vxfreq.compatible():
                row["compatible"] = relative_error(vxfreq.forward(picture).to_numpy(), reference)
        row["extended"] = relative_error(vxfreq.forward(picture).to_numpy(), reference)
        if sfft is not None:
            row["scipy"] = relative_error(sfft.fft2(picture), reference)
        if pyfftw is not None:
            row["fftw"] = relative_error(pyfftw.interfaces.numpy_fft.fft2(picture.astype(np.complex64)),
                                         reference)
        if "scipy" in row:
            row["ratio"] = row["extended"] / row["scipy"]
        rows.append(row)
    columns = ["compatible", "extended"] + [c for c in ("scipy", "fftw", "ratio")
                                            if any(c in r for r in rows)]
    titles = {"compatible": "vxfreq compatible", "extended": "vxfreq extended",
              "scipy": "scipy.fft float32", "fftw": "FFTW float",
              "ratio": "extended / scipy (target <= 2)"}
    print("| size | " + " | ".join(titles[c] for c in columns) + " |")
    print("|---|" + "---|" * len(columns))
    for r in rows:
        cells = ["%.2g" % r[c] if c in r else "-" for c in columns]
        print("| %d x %d | %s |" % (r["size"][1], r["size"][0], " | ".join(cells)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
