#!/usr/bin/env python3
"""The accuracy of the 2-D forward transform: relative RMS error against numpy's
double-precision FFT of the same input, for vxfreq's compatible and extended modes,
scipy.fft in single precision and, when pyfftw is installed, FFTW in single precision.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/accuracy.py [--markdown]

Inputs: random 8-bit pictures (uniform 0..255, seeded) of square power-of-two sizes,
transformed as float32 values; error = ||X - X_ref|| / ||X_ref|| over the whole
spectrum.
"""

import sys

import numpy as np

import vxfreq

SIZES = [64, 256, 512, 1024, 2048, 4096]


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
    for n in SIZES:
        rng = np.random.default_rng(n)
        picture = rng.integers(0, 256, (n, n)).astype(np.float32)
        reference = np.fft.fft2(picture.astype(np.float64))
        row = {"size": n}
        if n <= 2048:
            with vxfreq.compatible():
                row["compatible"] = relative_error(vxfreq.forward(picture).to_numpy(), reference)
        row["extended"] = relative_error(vxfreq.forward(picture).to_numpy(), reference)
        if sfft is not None:
            row["scipy"] = relative_error(sfft.fft2(picture), reference)
        if pyfftw is not None:
            row["fftw"] = relative_error(pyfftw.interfaces.numpy_fft.fft2(picture.astype(np.complex64)),
                                         reference)
        rows.append(row)
    columns = ["compatible", "extended"] + [c for c in ("scipy", "fftw") if any(c in r for r in rows)]
    titles = {"compatible": "vxfreq compatible", "extended": "vxfreq extended",
              "scipy": "scipy.fft float32", "fftw": "FFTW float"}
    print("| size | " + " | ".join(titles[c] for c in columns) + " |")
    print("|---|" + "---|" * len(columns))
    for r in rows:
        cells = ["%.2g" % r[c] if c in r else "-" for c in columns]
        print("| %d x %d | %s |" % (r["size"], r["size"], " | ".join(cells)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
