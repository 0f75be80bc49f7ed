"""What the workbench shows of a picture and proposes for it: its log-magnitude spectrum,
the patterns the library's own search finds (the search of the continued padding,
C++ vfFindPatterns) anywhere in the spectrum or near a point clicked, and notch filters
sized to them.

The library's search looks for patterns in the band of a set of filters. To search the
whole spectrum it is run on four sectors of the half plane fx >= 0 in turn (each made a
band by an image filter that removes it), and the patterns found are merged: those
closer than two bins are one, and those weaker than a twentieth of the strongest are
dropped, as the search does within one band.
"""

import importlib
import math

import numpy as np

import vxfreq

from . import images

# The package's private names (the compiled module, its helpers), which its stubs leave out.
_vxfreq = importlib.import_module("vxfreq._vxfreq")

_SECTORS = ((-90.0, -45.0), (-45.0, 0.0), (0.0, 45.0), (45.0, 90.1))
_LOWEST_SHARE = 0.05
_MAX_PROPOSALS = 8


def find_patterns(picture, filters, margin=None):
    """The periodic patterns of `picture` (2-D uint8, uint16 or float64) that the continued
    padding finds in the band of `filters` (built for padded_transform_size(w, h, margin)):
    a list of (fx, fy, amplitude), fx >= 0, strongest first; the pattern is
    2 amplitude cos(2 pi (fx x + fy y) + phase). C++: vfFindPatterns."""
    picture = np.ascontiguousarray(picture)
    if picture.dtype not in (np.uint8, np.uint16, np.float64):
        picture = picture.astype(np.float64)
    states = [f.__getstate__() for f in filters]
    return _vxfreq._find_patterns(picture, states, -1 if margin is None else int(margin))


def spectrum(picture):
    """(map, magnitude): the centred log-magnitude spectrum of the picture's grey levels,
    padded by reflection (no cross from its borders), as the library maps it (uint8), and
    the magnitudes (float32, same grid) for sizing peaks. Frequency 0 at (H // 2, W // 2)."""
    buf = vxfreq.forward(images.grey_levels(picture), padding="reflect")
    magnitude = buf.magnitude_image(centered=True)
    shown = vxfreq.map_image(magnitude, "log")
    return shown, magnitude.astype(np.float32)


def _band_filter(size, inside):
    """An image filter of transform size (W, H) that removes the frequencies where
    inside(fx, fy) holds (and their mirrors) and keeps the others."""
    width, height = size
    fx = np.fft.fftfreq(width)[None, :]
    fy = np.fft.fftfreq(height)[:, None]
    remove = inside(fx, fy) | inside(-fx, -fy)
    gains = np.where(remove, 0.0, 1.0).astype(np.complex64)
    return vxfreq.ImageFilter(vxfreq.FrequencyBuffer.from_array(gains))


def _grey(picture):
    if picture.ndim == 2:
        return picture
    return images.grey_levels(picture)


def _merge(found, bin_x, bin_y):
    found = sorted(found, key=lambda p: -p[2])
    merged = []
    for p in found:
        if all(math.hypot((p[0] - q[0]) / bin_x, (p[1] - q[1]) / bin_y) > 2.0 for q in merged):
            merged.append(p)
    if merged:
        top = merged[0][2]
        merged = [p for p in merged if p[2] >= _LOWEST_SHARE * top]
    return merged[:_MAX_PROPOSALS]


def all_patterns(picture):
    """The patterns of the whole spectrum (see the module's description)."""
    grey = _grey(picture)
    height, width = grey.shape
    size = vxfreq.padded_transform_size(width, height)
    found = []
    for low, high in _SECTORS:
        def inside(fx, fy, low=low, high=high):
            angle = np.degrees(np.arctan2(fy, fx))
            return (fx >= 0) & (angle >= low) & (angle < high)
        found += find_patterns(grey, [_band_filter(size, inside)])
    return _merge(found, 1.0 / width, 1.0 / height)


def pattern_near(picture, fx, fy, reach=None):
    """The pattern the search finds within `reach` cycles per pixel of (fx, fy) (at least 5
    bins, 0.01 by default), as (fx, fy, amplitude) with fx >= 0; None when none stands out."""
    grey = _grey(picture)
    height, width = grey.shape
    if fx < 0:
        fx, fy = -fx, -fy
    reach = max(reach or 0.01, 5.0 / min(width, height))
    size = vxfreq.padded_transform_size(width, height)
    found = find_patterns(grey, [_band_filter(
        size, lambda x, y: (x - fx) ** 2 + (y - fy) ** 2 <= reach * reach)])
    return found[0] if found else None


def peak_sigma(magnitude, fx, fy):
    """A notch's sigma (cycles per pixel) sized to the peak of the centred `magnitude` at
    (fx, fy): the peak's half width where it falls to an eighth of its top, at least one
    bin, along the grid's smaller side."""
    height, width = magnitude.shape
    cx, cy = width // 2 + int(round(fx * width)), height // 2 + int(round(fy * height))
    cx, cy = min(max(cx, 0), width - 1), min(max(cy, 0), height - 1)
    # The top within a bin of the point.
    window = magnitude[max(cy - 1, 0):cy + 2, max(cx - 1, 0):cx + 2]
    oy, ox = np.unravel_index(int(np.argmax(window)), window.shape)
    cy, cx = max(cy - 1, 0) + oy, max(cx - 1, 0) + ox
    top = float(magnitude[cy, cx])
    extent = 0
    for step in range(1, 16):
        ring = [magnitude[cy, min(cx + step, width - 1)], magnitude[cy, max(cx - step, 0)],
                magnitude[min(cy + step, height - 1), cx], magnitude[max(cy - step, 0), cx]]
        if max(ring) < top / 8:
            break
        extent = step
    side = min(width, height)
    return min(0.05, max(1.0, extent + 0.5) / side)


def notch(fx, fy, sigma):
    """The Gabor-reject entry (see chain.py) that removes the pattern at (fx, fy)."""
    return {"type": "gaborreject", "frequency": math.hypot(fx, fy),
            "angle": math.degrees(math.atan2(fy, fx)), "sigma": [sigma, sigma],
            "plateau": [0.0, 0.0], "dc": 0}
