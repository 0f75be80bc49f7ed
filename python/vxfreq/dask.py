"""Filtering pictures of any size with dask.array: block by block, with overlap.

A picture too large for one transform (or for memory) is filtered in blocks: each
chunk is taken with `depth` pixels of its neighbours on every side
(dask.array.map_overlap), transformed, filtered and transformed back, and the margin is
cut off again. A filter's gain is a function of frequency in cycles per pixel, so the
same parameters give the same filter for every block size; the filter passed is
rebuilt for each block's transform size.

The overlap comes from the filter's spatial extent. The band and Gabor filters are
Gaussian in frequency, of width sigma (cycles per pixel; the smaller of a Gabor
filter's two), so their response in space lies under a Gaussian envelope of width
1 / (2 pi sigma) pixels; `overlap` takes `spread` (default 5) of those widths:
ceil(5 / (2 pi sigma)). What lies beyond is what the blocks lose against a transform of
the whole picture: under exp(-spread**2 / 2) of the envelope's peak (3.7e-6 for 5),
plus the slower tail of a plateau's edges. docs/guide/large-pictures.md gives the error
measured on an 8192 x 8192 picture.

Only the picture's own edges are treated as `boundary` says (dask's names: "reflect",
"periodic", "nearest", "none" or a constant). With "periodic" the result is the
transform of the whole picture (which is cyclic) up to that error.
"""

import math
import pickle

import numpy as np

import vxfreq

__all__ = ["filter_array", "overlap"]


def _widths(filt):
    if not isinstance(filt, (vxfreq.BandPass, vxfreq.BandReject, vxfreq.Gabor,
                             vxfreq.GaborReject)):
        raise TypeError("filt must be a BandPass, BandReject, Gabor or GaborReject filter, not %s"
                        % type(filt).__name__)
    if filt.dc_removal_radius != 0:
        raise ValueError("a DC radius counts frequency steps of one transform size, which "
                         "differ between the blocks and the whole picture: it must be 0")
    sigma = filt.sigma
    return min(sigma) if isinstance(sigma, tuple) else sigma


def overlap(filt, spread=5.0):
    """The pixels of overlap filter_array takes for `filt` by default:
    ceil(spread / (2 pi sigma)), sigma the filter's (smaller) Gaussian width."""
    if not spread > 0:
        raise ValueError("spread must be above 0, not %r" % (spread,))
    return int(math.ceil(spread / (2.0 * math.pi * _widths(filt))))


def _filter_block(block, state):
    """One block (with its overlap): forward, the filter rebuilt for the block's
    transform size, inverse to the real part."""
    # The next fast size: a few zeros at most beyond the overlap, which the trim drops.
    spectrum = vxfreq.forward(block, size="fast")
    filt = pickle.loads(state)
    size = spectrum.shape[::-1]
    if filt.size != size:
        filt.size = size
    filt.apply(spectrum)
    return vxfreq.inverse(spectrum, in_place=True)


def filter_array(picture, filt, depth=None, boundary="reflect"):
    """The picture (a 2-D dask.array, or anything dask.array.asarray takes) filtered by
    `filt` block by block: a lazy float64 dask.array of the picture's shape and chunks,
    the real part of each block's inverse. depth: the overlap in pixels (None:
    overlap(filt)), at most the smallest chunk; boundary: how the picture's own edges
    are continued (dask.array.map_overlap's boundary). Each block's transform size is
    the next fast size (next_fast_size) of its chunk plus twice the depth (the next power
    of two inside vxfreq.compatible()); every call runs in the mode
    of the thread that computes it (the extended mode on dask's workers)."""
    import dask.array as da

    picture = da.asarray(picture)
    if picture.ndim != 2:
        raise ValueError("picture must be 2-D (height, width), not %d-D" % picture.ndim)
    depth = overlap(filt) if depth is None else int(depth)
    if depth < 0:
        raise ValueError("depth must be at least 0, not %d" % depth)
    smallest = min(min(c) for c in picture.chunks)
    if depth > smallest:
        raise ValueError("depth %d is larger than the smallest chunk (%d); rechunk the picture"
                         % (depth, smallest))
    state = pickle.dumps(filt)
    return picture.map_overlap(_filter_block, depth=depth, boundary=boundary, trim=True,
                               dtype=np.float64, meta=np.empty((0, 0), np.float64), state=state)
