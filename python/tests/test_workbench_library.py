"""The library calls behind the filter workbench: the patterns the continued padding finds
(C++ vfFindPatterns), the filter chain's archive and the PNG row filters undone."""

import io
import math
import zlib

import numpy as np
import pytest

import vxfreq
from vxfreq import _vxfreq


def _patterned(h, w, fx, fy, amplitude, seed=3):
    y, x = np.mgrid[0:h, 0:w]
    rng = np.random.default_rng(seed)
    return 100 + 2 * amplitude * np.cos(2 * np.pi * (fx * x + fy * y) + 0.4) + \
        3 * rng.standard_normal((h, w))


def _reject_pair(fx, fy, size, sigma=0.01):
    angle, f = math.atan2(fy, fx), math.hypot(fx, fy)
    return [vxfreq.GaborReject((sigma, sigma), (0, 0), angle, f, size),
            vxfreq.GaborReject((sigma, sigma), (0, 0), angle + math.pi, f, size)]


def test_patterns_found_with_frequency_and_amplitude():
    h, w = 240, 320
    size = vxfreq.padded_transform_size(w, h, None)
    for fx, fy, dtype in ((0.1234, 0.0567, np.float64), (0.21, -0.13, np.uint8),
                          (0.05, 0.2, np.uint16)):
        picture = _patterned(h, w, fx, fy, 12.0)
        if dtype != np.float64:
            picture = np.round(picture).astype(dtype)
        states = [f.__getstate__() for f in _reject_pair(fx, fy, size)]
        found = _vxfreq._find_patterns(picture, states, -1)
        assert len(found) == 1, found
        gx, gy, amplitude = found[0]
        # Refined well below a bin (1/320 and 1/240 of a cycle per pixel).
        assert abs(gx - fx) < 2e-4 and abs(gy - fy) < 2e-4, (gx, gy, fx, fy)
        # The Fourier sum of the picture less its mean, against numpy's.
        y, x = np.mgrid[0:h, 0:w]
        p = picture.astype(np.float64)
        expected = abs(np.sum((p - p.mean()) * np.exp(-2j * np.pi * (gx * x + gy * y)))) / (w * h)
        assert amplitude == pytest.approx(expected, rel=1e-9)
        assert amplitude == pytest.approx(12.0, rel=0.05)


def test_patterns_outside_the_band_or_absent_are_not_found():
    h, w = 200, 200
    size = vxfreq.padded_transform_size(w, h, None)
    picture = _patterned(h, w, 0.15, 0.05, 10.0)
    # A band around another frequency: the pattern is not in it.
    states = [f.__getstate__() for f in _reject_pair(0.05, 0.3, size)]
    assert _vxfreq._find_patterns(picture, states, -1) == []
    # Noise alone: nothing stands out.
    noise = np.random.default_rng(5).standard_normal((h, w))
    states = [f.__getstate__() for f in _reject_pair(0.15, 0.05, size)]
    assert _vxfreq._find_patterns(noise, states, -1) == []


def test_patterns_refusals():
    picture = _patterned(64, 64, 0.2, 0.1, 5.0)
    with pytest.raises(vxfreq.InvalidArgument,
                       match=r"^A filter is needed to continue the picture's patterns\.$"):
        _vxfreq._find_patterns(picture, [], -1)
    other = vxfreq.BandReject(0.01, 0, 0.2, (100, 100))
    with pytest.raises(vxfreq.InvalidSize):
        _vxfreq._find_patterns(picture, [other.__getstate__()], -1)
    with pytest.raises(TypeError, match="uint8, uint16 or float64"):
        _vxfreq._find_patterns(picture.astype(np.float32), [other.__getstate__()], -1)


def test_chain_archive_round_trip_and_refusals():
    size = (96, 80)
    chain = [vxfreq.BandReject(0.01, 0.002, 0.2, size, 1)] + _reject_pair(0.1, 0.05, size)
    data = _vxfreq._chain_archive("extended", "continue", -1, [f.__getstate__() for f in chain])
    mode, padding, margin, states = _vxfreq._chain_from_archive(data)
    assert (mode, padding, margin) == ("extended", "continue", -1)
    assert states == [f.__getstate__() for f in chain]
    # The tag comes first, in the archive's string form: its length, then 32-bit units.
    tag = "vxfreq filter chain"
    assert data[:4 + 4 * len(tag)] == len(tag).to_bytes(4, "little") + tag.encode("utf-32-le")
    with pytest.raises(vxfreq.EndOfData):
        _vxfreq._chain_from_archive(data[: len(data) // 2])
    other = "vxfreq filter list"
    with pytest.raises(ValueError, match="^not a filter chain of vxfreq$"):
        _vxfreq._chain_from_archive(len(other).to_bytes(4, "little") + other.encode("utf-32-le"))
    with pytest.raises(vxfreq.ArchiveError):  # a filter alone is no chain
        _vxfreq._chain_from_archive(chain[0].__getstate__())


def test_png_unfilter_against_numpy():
    rng = np.random.default_rng(7)
    h, row_bytes, bpp = 9, 12, 3
    rows = rng.integers(0, 256, (h, row_bytes), dtype=np.uint8)
    # Each row filtered with one of the five filters, as a PNG encoder does.
    raw = bytearray()
    for y in range(h):
        kind = y % 5
        cur = rows[y].astype(int)
        prior = rows[y - 1].astype(int) if y else np.zeros(row_bytes, int)
        left = np.concatenate([np.zeros(bpp, int), cur[:-bpp]])
        upleft = np.concatenate([np.zeros(bpp, int), prior[:-bpp]])
        if kind == 4:
            p = left + prior - upleft
            pa, pb, pc = abs(p - left), abs(p - prior), abs(p - upleft)
            pred = np.where((pa <= pb) & (pa <= pc), left, np.where(pb <= pc, prior, upleft))
        else:
            pred = [0 * cur, left, prior, (left + prior) // 2][kind]
        raw += bytes([kind]) + bytes(((cur - pred) % 256).astype(np.uint8))
    assert _vxfreq._png_unfilter(bytes(raw), h, row_bytes, bpp) == rows.tobytes()
    with pytest.raises(ValueError, match="truncated PNG"):
        _vxfreq._png_unfilter(bytes(raw[:-1]), h, row_bytes, bpp)
    bad = bytearray(raw)
    bad[0] = 7
    with pytest.raises(ValueError, match="row filter type 7"):
        _vxfreq._png_unfilter(bytes(bad), h, row_bytes, bpp)
