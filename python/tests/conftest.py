"""Shared helpers of the Python module's tests.

CTest runs these with PYTHONPATH at the built module and names the C++ reference
program (VXFREQ_REFERENCE), the source and build folders and cmake in the environment.
"""

import os
import subprocess

import numpy as np

SOURCE_DIR = os.environ.get("VXFREQ_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))


def picture(height, width, dtype=np.uint8, seed=1):
    """A reproducible picture: smooth structure, a stripe pattern and noise."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width]
    base = 0.5 + 0.3 * np.sin(x / 5.0 + y / 9.0) + 0.15 * np.cos(2 * np.pi * 0.2 * (x + y))
    values = np.clip(base + 0.05 * rng.standard_normal((height, width)), 0, 1)
    if dtype == np.float64:
        return values * 1000.0 - 200.0
    top = np.iinfo(dtype).max
    return np.round(values * top).astype(dtype)


def run_reference(tmp_path, image, offset=(0, 0)):
    """The C++ program's results for `image`: a dict of name to bytes."""
    kinds = {np.dtype(np.uint8): "u8", np.dtype(np.uint16): "u16", np.dtype(np.float64): "f64"}
    source = tmp_path / "image.raw"
    result = tmp_path / "reference.out"
    np.ascontiguousarray(image).tofile(source)
    h, w = image.shape
    subprocess.run(
        [os.environ["VXFREQ_REFERENCE"], kinds[image.dtype], str(w), str(h), str(offset[0]),
         str(offset[1]), str(source), str(result)],
        check=True)
    data = result.read_bytes()
    records, pos = {}, 0
    while pos < len(data):
        end = data.index(b"\n", pos)
        name, size = data[pos:end].decode().split()
        records[name] = data[end + 1:end + 1 + int(size)]
        pos = end + 1 + int(size)
    return records

