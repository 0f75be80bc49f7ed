#!/usr/bin/env python3
"""The guide's tasks from Python: the spectrum of a picture, removing its periodic
interference pattern with a band-reject filter and finding its scratch with a Gabor
filter. Writes the picture, its spectrum and both results side by side into
python_guide.png (or the path given as the first argument) with Pillow.

Run with Debian's interpreter and the built module on the path, e.g. from the
repository after `make test`:

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/guide.py
"""

import math
import sys

import numpy as np
from PIL import Image

import vxfreq


def surface_picture(size, pattern=True, scratch=True):
    """The guide's test picture of a machined surface (examples/guide/guide_picture.h):
    uneven light and a grain, a periodic interference pattern of 30 cycles across and
    11 down, a thin bright scratch at -30 degrees."""
    s = float(size)
    state, grain = 12345, np.empty(size * size)
    for i in range(size * size):  # the grain's integer generator, row by row
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        grain[i] = state >> 30
    y, x = np.mgrid[0:size, 0:size].astype(np.float64)
    v = 110.0 + 18.0 * np.cos(2 * math.pi * x / s - 0.8) + 12.0 * np.sin(2 * math.pi * y / s)
    v += 14.0 * np.sin(2 * math.pi * (3 * x + 5 * y) / s) + grain.reshape(size, size)
    if pattern:
        v += 22.0 * np.cos(2 * math.pi * (30 * x + 11 * y) / s)
    if scratch:
        a = math.radians(-30.0)
        dx, dy = x - 0.5 * s, y - 0.55 * s
        along = dx * math.cos(a) + dy * math.sin(a)
        across = -dx * math.sin(a) + dy * math.cos(a)
        v += np.where(np.abs(along) < 0.35 * s, 60.0 * np.exp(-across * across / 1.28), 0.0)
    return np.floor(np.clip(v, 0.0, 255.0) + 0.5).astype(np.uint8)


def main():
    picture = surface_picture(256)

    # The spectrum: 256 x 256 complex values, frequency 0 at [0, 0]. Centred, the zero
    # frequency moves to the middle; map_image shows the magnitudes on a log scale.
    spectrum = vxfreq.forward(picture)
    h, w = spectrum.shape  # numpy's order; the filters take (w, h)
    magnitude = spectrum.magnitude_image(centered=True)
    shown = vxfreq.map_image(magnitude, "log")

    # The strongest element of the upper half outside the lowest frequencies. In the
    # centred array, element (x, y) of the spectrum is magnitude[h/2 + y, w/2 + x].
    upper = magnitude[h // 2:, :].copy()
    upper[:6, w // 2 - 5:w // 2 + 6] = 0.0
    row, column = np.unravel_index(np.argmax(upper), upper.shape)
    ex, ey = int(column) - w // 2, int(row)
    frequency = math.hypot(ex / w, ey / h)
    print(f"strongest pattern: element ({ex}, {ey}), {frequency:.4f} cycles per pixel, "
          f"waves along {math.degrees(math.atan2(ey / h, ex / w)):.1f} degrees")

    # Band-reject on the ring of that frequency: gain 0 within 0.003 of it, back to 1
    # with a sigma of 0.004. Filters work in place; filter a copy to keep the spectrum.
    cleaned_spectrum = spectrum.copy()
    vxfreq.BandReject(0.004, 0.003, frequency, (w, h)).apply(cleaned_spectrum)
    print(f"magnitude at the pattern's element: {abs(spectrum.get(ex, ey, True)):.1f} before, "
          f"{abs(cleaned_spectrum.get(ex, ey, True)):.3g} after")
    cleaned = vxfreq.inverse(cleaned_spectrum, np.uint8)  # the real part, rounded

    # A Gabor filter on the scratch's streak (60 degrees, 0.2 cycles per pixel), long
    # along it and narrow across it; the stretched magnitude of the result is the
    # strength of structure of that orientation.
    gabor = vxfreq.Gabor((0.04, 0.006), (0.1, 0.0), math.radians(60.0), 0.2, (w, h))
    gabor.apply(spectrum)
    strength = vxfreq.inverse(spectrum, np.uint8, magnitude=True, normalize=True)
    ys, xs = np.nonzero(strength > 127)
    print(f"scratch: {xs.size} pixels in x {xs.min()} .. {xs.max()}, "
          f"y {ys.min()} .. {ys.max()}")

    # The four pictures side by side, 8 white columns apart.
    gap = np.full((256, 8), 255, np.uint8)
    sheet = np.hstack([picture, gap, shown, gap, cleaned, gap, strength])
    Image.fromarray(sheet).save(sys.argv[1] if len(sys.argv) > 1 else "python_guide.png")
    return 0


if __name__ == "__main__":
    sys.exit(main())
