"""numpy's own FFT tests (numpy/fft/tests/test_pocketfft.py, numpy 1.24) that need
numpy.fft's names, axes and lengths, run on vxfreq.fft: the 1-D transforms against the
direct sum, along every axis, the lengths n that crop and pad, the 2-D and N-D forms
over pairs of axes of 3-D arrays (test_axes), the norms preserving the 2-norm, and the
refusals of empty input. numpy compares float64 transforms; vxfreq's are single
precision, so every comparison uses single precision's tolerance (8 sqrt(log2 n) eps of
float32) relative to the largest value. N-D transforms over three axes or more are not
vxfreq's (they raise, and a scipy backend hands them back): numpy's fftn tests run over
two axes of their arrays."""

import itertools

import numpy as np
import pytest
from numpy.random import random

import vxfreq.fft as vfft


def assert_close(actual, desired):
    desired = np.asarray(desired)
    assert actual.shape == desired.shape
    tol = 8.0 * np.sqrt(np.log2(max(desired.size, 2))) * np.finfo(np.float32).eps
    scale = np.abs(desired).max() or 1.0
    np.testing.assert_allclose(actual / scale, desired / scale, atol=tol, rtol=0)


def direct_fft(x):  # numpy's fft1
    n = len(x)
    phase = -2j * np.pi * (np.arange(n) / n)
    return np.sum(x * np.exp(phase[:, None] * np.arange(n)), axis=1)


def test_identity_every_length():
    x, xr = random(512) + 1j * random(512), random(512)
    for i in range(1, 513):
        assert_close(vfft.ifft(vfft.fft(x[:i])), x[:i])
        assert_close(vfft.irfft(vfft.rfft(xr[:i]), i), xr[:i])


def test_fft_against_the_direct_sum_and_every_norm():
    x = random(30) + 1j * random(30)
    assert_close(vfft.fft(x), direct_fft(x))
    for norm, f in [(None, 1), ("backward", 1), ("ortho", np.sqrt(30)), ("forward", 30)]:
        assert_close(vfft.fft(x, norm=norm), direct_fft(x) / f)
    with pytest.raises(ValueError, match="Invalid number of FFT data points"):
        vfft.fft([1, 2, 3], 0)


def test_lengths_that_crop_and_pad():
    x = random(30)
    for n in (x.size, 2 * x.size, 7):
        for norm in (None, "ortho", "forward"):
            assert_close(vfft.rfft(x, n, norm=norm), np.fft.fft(x, n, norm=norm)[:n // 2 + 1])
            assert_close(vfft.fft(x, n, norm=norm), np.fft.fft(x, n, norm=norm))
            assert_close(vfft.irfft(vfft.rfft(x, n, norm=norm), n, norm=norm),
                         np.fft.irfft(np.fft.rfft(x, n, norm=norm), n, norm=norm))
            assert_close(vfft.ifft(x + 1j, n, norm=norm), np.fft.ifft(x + 1j, n, norm=norm))


@pytest.mark.parametrize("axis", [0, 1, 2, -1])
def test_along_every_axis(axis):
    x = random((12, 7, 10)) + 1j * random((12, 7, 10))
    assert_close(vfft.fft(x, axis=axis), np.fft.fft(x, axis=axis))
    assert_close(vfft.ifft(x, axis=axis), np.fft.ifft(x, axis=axis))
    assert_close(vfft.rfft(x.real, axis=axis), np.fft.rfft(x.real, axis=axis))
    assert_close(vfft.irfft(x, axis=axis), np.fft.irfft(x, axis=axis))


@pytest.mark.parametrize("op", [vfft.fftn, vfft.ifftn, vfft.rfftn, vfft.irfftn])
def test_axes_of_3d_arrays(op):
    # test_axes: the transform over a pair of axes of a transposed array is the
    # transposed transform.
    x = random((30, 20, 10))
    reference = getattr(np.fft, op.__name__)
    for axes in itertools.permutations(range(3), 2):
        assert_close(op(x, axes=axes), reference(x, axes=axes))
        swapped = (axes[1], axes[0])
        assert_close(op(np.transpose(x, (1, 0, 2)), axes=(axes[0], axes[1])),
                     reference(np.transpose(x, (1, 0, 2)), axes=(axes[0], axes[1])))
        assert_close(op(x, s=(8, 6), axes=swapped), reference(x, s=(8, 6), axes=swapped))
    with pytest.raises(ValueError, match="one or two axes, not 3"):
        op(x)


def test_2d_and_nd_forms_agree():
    x = random((30, 20)) + 1j * random((30, 20))
    for norm in (None, "ortho", "forward"):
        assert_close(vfft.fft2(x, norm=norm), np.fft.fft2(x, norm=norm))
        assert_close(vfft.ifft2(x, norm=norm), np.fft.ifft2(x, norm=norm))
        assert_close(vfft.rfft2(x.real, norm=norm), np.fft.rfft2(x.real, norm=norm))
        assert_close(vfft.irfft2(x, norm=norm), np.fft.irfft2(x, norm=norm))
        np.testing.assert_array_equal(vfft.fftn(x, norm=norm), vfft.fft2(x, norm=norm))
        np.testing.assert_array_equal(vfft.irfftn(x, norm=norm), vfft.irfft2(x, norm=norm))


@pytest.mark.parametrize("func", [vfft.fft, vfft.ifft, vfft.irfft])  # rfft refuses complex input
def test_1d_norms_preserve_the_2_norm(func):
    x = random(30)
    if func is vfft.irfft:
        x = vfft.rfft(x)
    for n in [x.size, 2 * x.size]:
        for norm in (None, "ortho", "forward"):
            tmp = func(x, n=n, norm=norm)
            assert_close(np.linalg.norm(func(tmp, n=n, norm=norm)),
                         np.linalg.norm(getattr(np.fft, func.__name__)(
                             getattr(np.fft, func.__name__)(x, n=n, norm=norm), n=n,
                             norm=norm)))


def test_empty_input_is_refused():
    for f in (vfft.fft, vfft.ifft, vfft.rfft):
        with pytest.raises(ValueError):
            f(np.zeros(0))
    with pytest.raises(ValueError):
        vfft.fft2(np.zeros((0, 4)))
