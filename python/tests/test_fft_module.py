"""vxfreq.fft as a drop-in for numpy.fft and scipy.fft: every function against numpy's
double-precision result over a table of shapes, axes, lengths, norms and dtypes (within
single precision's tolerance, in scipy.fft's result dtypes); stacks equal to their
pictures transformed one at a time, bit for bit, whatever the threads; scipy.fft's own
calls with vxfreq as its backend, and scipy's fallback for what vxfreq leaves to it;
refusals that name the argument."""

import os
import re

import numpy as np
import pytest
import scipy.fft

import vxfreq
import vxfreq.fft as vfft
from conftest import SOURCE_DIR


def assert_close(actual, desired):
    """numpy's single-precision tolerance, 8 sqrt(log2 n) eps, relative to the largest
    value of the result (a transform's rounding errors scale with what it sums)."""
    desired = np.asarray(desired)
    assert actual.shape == desired.shape
    tol = 8.0 * np.sqrt(np.log2(max(desired.size, 2))) * np.finfo(np.float32).eps
    scale = np.abs(desired).max() or 1.0
    np.testing.assert_allclose(actual / scale, desired / scale, atol=tol, rtol=0)


def data(shape, dtype, seed=0):
    rng = np.random.default_rng(seed)
    if np.dtype(dtype).kind == "c":
        return (rng.standard_normal(shape) + 1j * rng.standard_normal(shape)).astype(dtype)
    if np.dtype(dtype).kind in "ui":
        return rng.integers(0, 200, shape).astype(dtype)
    return rng.standard_normal(shape).astype(dtype)


# Single precision in, single precision out; everything else double (computed in single).
RESULT = {np.float32: (np.complex64, np.float32), np.complex64: (np.complex64, np.float32),
          np.float64: (np.complex128, np.float64), np.complex128: (np.complex128, np.float64),
          np.uint8: (np.complex128, np.float64), np.int32: (np.complex128, np.float64)}

# (shape, axes, s): stacks of tiles, a colour picture over its first two axes, a video,
# odd and prime sides, a 1-D strip, lengths that crop and pad.
CASES_2D = [((4, 30, 20), (-2, -1), None), ((40, 50, 3), (0, 1), None),
            ((3, 17, 31, 2), (1, 2), None), ((7, 9), (1, 0), None), ((1, 257), (-2, -1), None),
            ((6, 16, 16), (-2, -1), (12, 20)), ((5, 11), (0, 1), (5, 4))]


@pytest.mark.parametrize("shape,axes,s", CASES_2D)
@pytest.mark.parametrize("dtype", [np.float32, np.float64, np.complex64, np.uint8])
def test_two_axes_match_numpy(shape, axes, s, dtype):
    x = data(shape, dtype)
    wide = x.astype(np.complex128)
    complex_out, real_out = RESULT[dtype]
    for norm in (None, "ortho", "forward"):
        got = vfft.fft2(x, s=s, axes=axes, norm=norm)
        assert got.dtype == complex_out
        assert_close(got, np.fft.fft2(wide, s=s, axes=axes, norm=norm))
        assert_close(vfft.ifft2(x, s=s, axes=axes, norm=norm),
                     np.fft.ifft2(wide, s=s, axes=axes, norm=norm))
        assert_close(vfft.fftn(x, s=s, axes=axes, norm=norm),
                     np.fft.fftn(wide, s=s, axes=axes, norm=norm))
        if x.dtype.kind != "c":
            half = vfft.rfft2(x, s=s, axes=axes, norm=norm)
            assert half.dtype == complex_out
            assert_close(half, np.fft.rfft2(x.astype(np.float64), s=s, axes=axes, norm=norm))
            lengths = s or [x.shape[a] for a in axes]
            back = vfft.irfft2(half, s=lengths, axes=axes, norm=norm)
            assert back.dtype == real_out
            assert_close(back, np.fft.irfftn(half.astype(np.complex128), s=lengths, axes=axes,
                                             norm=norm))
    if x.dtype.kind == "c":
        # A spectrum that is no real picture's: its conjugate-symmetric part counts.
        half = x[..., : x.shape[-1] // 2 + 1] if axes == (-2, -1) else x
        assert_close(vfft.irfftn(half, axes=axes), np.fft.irfftn(half.astype(np.complex128),
                                                               axes=axes))


@pytest.mark.parametrize("shape,axis,n", [((3, 64), -1, None), ((10, 7, 2), 1, None),
                                          ((5, 12), 0, 9), ((1,), 0, None), ((16385,), 0, 7),
                                          ((4, 33), -1, 40)])
@pytest.mark.parametrize("dtype", [np.float32, np.complex128, np.int32])
def test_one_axis_matches_numpy(shape, axis, n, dtype):
    x = data(shape, dtype, seed=3)
    wide = x.astype(np.complex128)
    for norm in (None, "ortho", "forward"):
        got = vfft.fft(x, n=n, axis=axis, norm=norm)
        assert got.dtype == RESULT[dtype][0]
        assert_close(got, np.fft.fft(wide, n=n, axis=axis, norm=norm))
        assert_close(vfft.ifft(x, n=n, axis=axis, norm=norm),
                     np.fft.ifft(wide, n=n, axis=axis, norm=norm))
        if x.dtype.kind != "c":
            half = vfft.rfft(x, n=n, axis=axis, norm=norm)
            assert_close(half, np.fft.rfft(x.astype(np.float64), n=n, axis=axis, norm=norm))
            m = n or x.shape[axis]
            assert_close(vfft.irfft(half, n=m, axis=axis, norm=norm),
                         np.fft.irfft(half.astype(np.complex128), n=m, axis=axis, norm=norm))


def test_stacks_are_their_pictures_one_at_a_time_bit_for_bit():
    tiles = data((64, 24, 18), np.float32, seed=5)
    colour = data((30, 40, 3), np.uint8, seed=6)
    for workers in (None, 1, 2, -1):
        spectra = vfft.fft2(tiles, workers=workers)
        back = vfft.irfft2(spectra[..., :10], s=(24, 18), workers=workers)
        channels = vfft.rfft2(colour, axes=(0, 1), workers=workers)
        for i in range(len(tiles)):
            np.testing.assert_array_equal(spectra[i], vfft.fft2(tiles[i]))
            np.testing.assert_array_equal(back[i], vfft.irfft2(spectra[i, :, :10], s=(24, 18)))
        for c in range(3):
            np.testing.assert_array_equal(channels[..., c], vfft.rfft2(colour[..., c]))
    # The library's own forward gives the same bits for a picture.
    np.testing.assert_array_equal(vfft.fft2(tiles[3]), vxfreq.forward(tiles[3]).to_numpy())
    # vxfreq.parallel blocks lend their threads (workers=None), and compatible blocks do
    # not change the sizes or bits of numpy's transforms.
    with vxfreq.parallel(2), vxfreq.compatible():
        np.testing.assert_array_equal(vfft.fft2(tiles), vfft.fft2(tiles, workers=1))


def test_out_and_empty_stacks():
    x = data((4, 6, 10), np.float64)
    out = np.zeros((4, 6, 6), np.complex128)
    assert vfft.rfft2(x, out=out) is out
    np.testing.assert_array_equal(out, vfft.rfft2(x))
    with pytest.raises(ValueError, match=r"out has shape \(4, 6, 5\), the result \(4, 6, 6\)"):
        vfft.rfft2(x, out=np.zeros((4, 6, 5), np.complex128))
    with pytest.raises(TypeError, match="cannot hold the result's complex128"):
        vfft.fft2(x, out=np.zeros((4, 6, 10), np.float64))
    # out of the library's own dtype is written in place, whatever its strides, when its
    # axes fold into a stack; other arrays get a copy: the same values either way.
    colour = data((6, 30, 20, 3), np.float32)
    expected = vfft.rfft2(colour, axes=(1, 2))
    for out in (np.empty((6, 30, 11, 3), np.complex64),
                np.empty((30, 6, 11, 3), np.complex64).transpose(1, 0, 2, 3),
                np.empty((6, 30, 3, 11), np.complex64).transpose(0, 1, 3, 2),
                np.empty((6, 30, 11, 3), np.complex128)):
        assert vfft.rfft2(colour, axes=(1, 2), out=out) is out
        np.testing.assert_array_equal(out, expected)
    empty = vfft.fft2(np.zeros((0, 8, 8), np.float32))
    assert empty.shape == (0, 8, 8) and empty.dtype == np.complex64


def test_refusals_name_the_argument():
    x = np.ones((4, 6, 8))
    with pytest.raises(np.AxisError):
        vfft.fft2(x, axes=(0, 3))
    with pytest.raises(ValueError, match="one or two axes, not 3"):
        vfft.fftn(x)
    with pytest.raises(ValueError, match="must not repeat an axis"):
        vfft.fft2(x, axes=(1, 1))
    with pytest.raises(ValueError, match="Shape and axes have different lengths"):
        vfft.fft2(x, s=(4,))
    with pytest.raises(ValueError, match=r"Invalid number of FFT data points \(0\)"):
        vfft.fft(x, n=0)
    with pytest.raises(ValueError, match="up to 16384, not 20000"):
        vfft.fft(x, n=20000)
    with pytest.raises(ValueError, match="Invalid norm value 'both'"):
        vfft.fft2(x, norm="both")
    with pytest.raises(ValueError, match="workers must not be 0"):
        vfft.fft2(x, workers=0)
    with pytest.raises(TypeError, match="must be real for a real forward transform"):
        vfft.rfft2(x + 1j)
    with pytest.raises(TypeError, match="cannot stand for float128"):
        vfft.fft(np.ones(4, np.longdouble))
    with pytest.raises(TypeError, match="x must hold numbers, not <U1"):
        vfft.fft(np.array(["a", "b"]))
    with pytest.raises(NotImplementedError):
        vfft.fft(x, plan=object())


def test_helpers_are_numpy_and_fast_lengths_are_7_smooth():
    assert vfft.fftfreq is np.fft.fftfreq and vfft.fftshift is np.fft.fftshift
    assert [vfft.next_fast_len(n) for n in (0, 1, 11, 13, 17, 97, 16385)] == \
        [1, 1, 12, 14, 18, 98, 16464]
    assert vfft.next_fast_len(1000) == vxfreq.next_fast_size(1000)


def test_scipy_backend_runs_scipy_calls_and_falls_back():
    stack = data((5, 30, 20), np.float32, seed=8)
    colour = data((24, 32, 3), np.float64, seed=9)
    calls = []
    with scipy.fft.set_backend(vfft, only=True):
        # Counting what reaches vxfreq: a function of the backend module called by scipy.
        original = vfft._BACKEND["fft2"]
        vfft._BACKEND["fft2"] = lambda *a, **k: calls.append(1) or original(*a, **k)
        try:
            assert_close(scipy.fft.fft2(stack), np.fft.fft2(stack.astype(np.float64)))
        finally:
            vfft._BACKEND["fft2"] = original
        assert calls == [1]
        assert scipy.fft.fft2(stack).dtype == np.complex64
        assert_close(scipy.fft.rfft2(colour, axes=(0, 1)), np.fft.rfft2(colour, axes=(0, 1)))
        half = scipy.fft.rfft2(stack)
        assert_close(scipy.fft.irfft2(half, s=(30, 20)), stack)
        assert_close(scipy.fft.ifft2(colour, axes=(0, 1), workers=2),
                     np.fft.ifft2(colour, axes=(0, 1)))
        assert_close(scipy.fft.fft(stack, axis=1), np.fft.fft(stack.astype(np.float64), axis=1))
        assert_close(scipy.fft.rfft(colour, n=50, axis=0), np.fft.rfft(colour, n=50, axis=0))
    # What vxfreq leaves to scipy (three axes, a length above 16384) still works when
    # scipy may fall back, and fails with vxfreq alone.
    cube = data((4, 5, 6), np.float64)
    with scipy.fft.set_backend(vfft):
        np.testing.assert_allclose(scipy.fft.fftn(cube), np.fft.fftn(cube), atol=1e-9)
        long = data((20000,), np.float64)
        np.testing.assert_allclose(scipy.fft.rfft(long), np.fft.rfft(long), atol=1e-8)
        assert_close(scipy.fft.fft2(cube), np.fft.fft2(cube))
    with scipy.fft.set_backend(vfft, only=True):
        with pytest.raises(Exception, match="No selected backends had an implementation"):
            scipy.fft.fftn(cube)


def test_readme_example_runs():
    text = open(os.path.join(SOURCE_DIR, "README.md"), encoding="utf-8").read()
    code = re.search(r"<!-- run by python/tests/test_fft_module.py -->\n```python\n(.*?)```",
                     text, re.S).group(1)
    names = {}
    exec(compile(code, "README.md", "exec"), names)
    assert names["spectra"].shape == (1000, 64, 33) and names["spectra"].dtype == np.complex64
    assert_close(names["channels"], np.fft.fft2(names["colour"], axes=(0, 1)))
    assert_close(names["back"], names["tiles"])
