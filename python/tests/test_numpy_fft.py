"""numpy's own FFT tests (numpy/fft/tests/test_pocketfft.py, numpy 1.24 as Debian
ships it) run on vxfreq through thin wrappers with numpy.fft's 2-D interface, in the
default (extended) mode, on shapes from 1 x 1 to 4096 x 4096 of every class of factors:
powers of two, 3-, 5- and 7-smooth, the larger radices, primes and camera pictures.

Ported: TestFFT1D.test_identity (every length 1 .. 512, as a 1 x n and an n x 1
picture, forward against numpy.fft.fft2 and back), test_fft2, test_ifft2, test_rfft2,
test_irfft2 and test_all_1d_norm_preserving (as round trips of pictures, every norm),
test_ifft's refusal of empty input, test_dtypes, test_fft_with_order (C, Fortran and
non-contiguous arrays of float32, float64, complex64 and complex128 give the same
transform) and TestFFTThreadSafe (16 threads at once give the bits of one). numpy
compares float64 transforms; vxfreq's are single precision, so every comparison uses
numpy's single-precision tolerance, 8 sqrt(log2 n) eps (eps of float32, n values),
for atol and rtol, on values scaled so that the largest is 1 (a transform's rounding
errors are proportional to the values it sums, the largest of which the zero frequency
of these positive inputs holds), against numpy's float64 result.

Here numpy's 2-D tests run through the module's own interface (forward, inverse,
FrequencyBuffer); the tests that need numpy.fft's names, axes and lengths (the 1-D
transforms along any axis, the N-D forms over pairs of axes, the lengths n and s that
crop and pad) run on vxfreq.fft in test_numpy_fft_module.py. Not ported: hfft and ihfft,
which vxfreq does not have; longdouble in test_dtypes: refused, as it has no exact
float64 form; and numpy's wording of the error for empty input (a ValueError all the
same).
"""

import threading

import numpy as np
import pytest
from numpy.random import random

import vxfreq

SHAPES = [(1, 1), (1, 64), (2, 8), (32, 16), (512, 256), (4096, 4096),  # powers of two
          (30, 20), (27, 125), (49, 12),  # numpy's own, 3-, 5- and 7-smooth
          (17, 31), (143, 29),  # the larger radices
          (1, 16381), (4093, 3), (2062, 5),  # primes, a large prime times a small one
          (480, 640), (1080, 1920)]  # camera pictures
NORMS = [None, "backward", "ortho", "forward"]


def fft2(x, norm=None):
    return vxfreq.forward(x, norm=norm).to_numpy()


def ifft2(x, norm=None):
    real, imag = vxfreq.inverse_complex(vxfreq.FrequencyBuffer.from_array(x), norm=norm)
    return real + 1j * imag


def rfft2(x, norm=None):
    return fft2(x, norm)[:, :x.shape[1] // 2 + 1]


def irfft2(x, s, norm=None):
    """The full spectrum from its Hermitian half, then the real part of its inverse."""
    h, w = s
    full = np.zeros(s, np.complex128)
    full[:, :x.shape[1]] = x
    columns = np.arange(w // 2 + 1, w)
    full[:, columns] = np.conj(x[(-np.arange(h)) % h][:, w - columns])
    return vxfreq.inverse(vxfreq.FrequencyBuffer.from_array(full), norm=norm)


def assert_close(actual, desired, n=None):
    tol = 8.0 * np.sqrt(np.log2(max(n or np.size(desired), 2))) * np.finfo(np.float32).eps
    desired = np.asarray(desired, dtype=np.result_type(desired, np.float64))
    scale = np.abs(desired).max() or 1.0
    np.testing.assert_allclose(np.asarray(actual) / scale, desired / scale, atol=tol, rtol=tol)


@pytest.mark.parametrize("shape", SHAPES)
def test_identity_fft2_and_ifft2(shape):
    x, xr = random(shape) + 1j * random(shape), random(shape)
    assert_close(ifft2(fft2(x)), x)
    assert_close(irfft2(rfft2(xr), shape), xr)
    n = x.size
    forward = np.fft.fft(np.fft.fft(x, axis=1), axis=0)
    inverse = np.fft.ifft(np.fft.ifft(x, axis=1), axis=0)
    for norm, f, i in [(None, 1, 1), ("backward", 1, 1), ("ortho", np.sqrt(n), 1 / np.sqrt(n)),
                       ("forward", n, 1 / n)]:
        assert_close(fft2(x, norm), forward / f)
        assert_close(ifft2(x, norm), inverse / i)


def test_identity_of_every_length():
    maxlen = 512
    x, xr = random(maxlen) + 1j * random(maxlen), random(maxlen)
    for i in range(1, maxlen + 1):
        for shape in [(1, i), (i, 1)]:
            xi, xri = x[:i].reshape(shape), xr[:i].reshape(shape)
            f = fft2(xi)
            assert f.shape == shape
            assert_close(f, np.fft.fft2(xi))
            assert_close(ifft2(f), xi)
            assert_close(irfft2(rfft2(xri), shape), xri)


@pytest.mark.parametrize("shape", SHAPES)
def test_rfft2_and_irfft2(shape):
    x = random(shape)
    for norm in NORMS:
        assert_close(rfft2(x, norm), np.fft.rfft2(x, norm=norm))
        assert_close(irfft2(rfft2(x, norm), shape, norm), x)
        assert_close(np.linalg.norm(ifft2(fft2(x, norm), norm)), np.linalg.norm(x), n=x.size)
    ortho = fft2(x, "ortho").astype(np.complex128)  # numpy's norm of float32 sums in float32
    assert_close(np.linalg.norm(ortho), np.linalg.norm(x), n=x.size)


def test_empty_input_and_dtypes():
    for norm in NORMS:
        pytest.raises(ValueError, fft2, np.zeros((0, 4)), norm)
        pytest.raises(ValueError, ifft2, np.zeros((4, 0), complex), norm)
    x = random((32, 32))
    for dtype in [np.half, np.single, np.double]:
        assert_close(ifft2(fft2(x.astype(dtype))), x.astype(dtype))
        assert_close(irfft2(rfft2(x.astype(dtype)), x.shape), x.astype(dtype))
    pytest.raises(TypeError, fft2, x.astype(np.longdouble))


@pytest.mark.parametrize("dtype", [np.float32, np.float64, np.complex64, np.complex128])
@pytest.mark.parametrize("order", ["F", "non-contiguous"])
@pytest.mark.parametrize("fft", [fft2, ifft2])
def test_fft_with_order(dtype, order, fft):
    rng = np.random.RandomState(42)
    X = rng.rand(8, 16).astype(dtype, copy=False)
    if fft is ifft2:  # from_array rounds to complex64: the same values for every order
        X = X.astype(np.complex64)
    if order == "F":
        Y = np.asfortranarray(X)
    else:
        Y = X[::-1]
        X = np.ascontiguousarray(X[::-1])
    assert_close(fft(Y), fft(X))


def test_thread_safe():
    for func, a in [(fft2, np.ones((1024, 256)) + 0j), (ifft2, np.ones((1024, 256)) + 0j),
                    (rfft2, np.ones((1024, 256)))]:
        expected, results = func(a), []
        threads = [threading.Thread(target=lambda: results.append(func(a))) for _ in range(16)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert len(results) == 16 and all(np.array_equal(r, expected) for r in results)
