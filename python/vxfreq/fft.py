"""numpy.fft's and scipy.fft's transforms, computed by vxfreq.

The names and signatures are scipy.fft's (numpy.fft's are a subset of them, and out=
is numpy 2's): fft, ifft, rfft, irfft over one axis, fft2, ifft2, rfft2, irfft2 over
two, and fftn, ifftn, rfftn, irfftn over one or two axes. Arrays of any dimension are
transformed over the chosen axes for every index of the others, in one call of the
library for the whole array, its threads spread over the pictures (workers=, as
scipy's: None for the threads of an enclosing vxfreq.parallel block, else 1).

Precision: vxfreq computes in single precision (relative errors of about 1e-7, those
of the best float transforms). Results have scipy.fft's dtypes: float32, float16 and
complex64 input give complex64 (float32 from irfft); float64, complex128, integer and
boolean input give complex128 (float64), computed in single precision and widened, so
their accuracy is that of single precision, not of numpy's double-precision
transforms. float128 input is refused, since a single-precision result cannot stand
for it.

Every length from 1 to 16384 along each transformed axis is taken (numpy's shapes,
no padding); larger lengths, more than two axes, repeated axes and precomputed plans
raise ValueError (NotImplementedError for plans). As a scipy.fft backend
(``scipy.fft.set_backend(vxfreq.fft)``) these cases go back to scipy's own transforms.

overwrite_x is accepted and never needed: the input is not written.

fftfreq, rfftfreq, fftshift and ifftshift are numpy's; next_fast_len gives the lengths
vxfreq transforms fastest (2^a 3^b 5^c 7^d).
"""

import operator as _operator
import os as _os

import numpy as _np
from numpy.fft import fftfreq, fftshift, ifftshift, rfftfreq

from . import _vxfreq

try:  # numpy 2
    from numpy.lib.array_utils import normalize_axis_index as _normalize_axis_index
except ImportError:  # numpy 1
    from numpy.core.multiarray import normalize_axis_index as _normalize_axis_index

__all__ = ["fft", "ifft", "rfft", "irfft", "fft2", "ifft2", "rfft2", "irfft2", "fftn", "ifftn",
           "rfftn", "irfftn", "fftfreq", "rfftfreq", "fftshift", "ifftshift", "next_fast_len"]

# The uarray protocol: scipy.fft.set_backend(vxfreq.fft) hands scipy.fft's calls here.
__ua_domain__ = "numpy.scipy.fft"

_MAX_LENGTH = 16384
_REAL_FORWARD, _FORWARD, _INVERSE, _REAL_INVERSE = 0, 1, 2, 3
_NATIVE_REAL = (_np.float32, _np.float64, _np.uint8, _np.uint16)


class _Unsupported(Exception):
    """What vxfreq does not compute although scipy.fft does: a backend call gives it
    back to scipy."""


class _UnsupportedValue(_Unsupported, ValueError):
    pass


class _UnsupportedType(_Unsupported, TypeError):
    pass


def _workers(workers):
    """The threads workers= asks for: 0 for those of an enclosing vxfreq.parallel block,
    negative counts from the machine's processors as scipy's (-1: all of them)."""
    if workers is None:
        return 0
    count = _operator.index(workers)
    if count == 0:
        raise ValueError("workers must not be 0")
    if count < 0:
        cpus = _os.cpu_count() or 1
        count += cpus + 1
        if count <= 0:
            raise ValueError("workers value out of range; got %d, must not be less than %d"
                             % (workers, -cpus))
    return count


def _norm(norm):
    if norm is None or (isinstance(norm, str) and norm in ("backward", "ortho", "forward")):
        return norm or "backward"
    raise ValueError('Invalid norm value %r; should be "backward", "ortho" or "forward".'
                     % (norm,))


def _scale(norm, n, inverse):
    """What multiplies the library's unscaled transform of n values for norm."""
    if norm == "ortho":
        return 1.0 / _np.sqrt(float(n))
    return 1.0 / n if (norm == "forward") != inverse else 1.0


def _array(x, name="x"):
    a = _np.asarray(x)
    kind = a.dtype.kind
    if kind not in "biufc":
        raise TypeError("%s must hold numbers, not %s" % (name, a.dtype))
    if a.dtype.itemsize > (8 if kind == "f" else 16):  # long double
        raise _UnsupportedType("vxfreq computes in single precision, which cannot stand for "
                               "%s input" % a.dtype)
    if a.ndim == 0:
        raise ValueError("%s must have at least one dimension" % name)
    return a


def _single(a):
    """Whether the result of a has single precision (scipy.fft's rule)."""
    return a.dtype in (_np.float16, _np.float32, _np.complex64)


def _axes(a, axes, default):
    """The transformed axes, normalized; ValueError for more than two or repeated ones."""
    if axes is None:
        axes = default
    try:
        axes = tuple(_operator.index(ax) for ax in axes)
    except TypeError:
        axes = (_operator.index(axes),)
    axes = tuple(_normalize_axis_index(ax, a.ndim) for ax in axes)
    if not axes:
        raise _UnsupportedValue("axes must name at least one axis")
    if len(set(axes)) != len(axes):
        raise _UnsupportedValue("axes must not repeat an axis, as %r does" % (axes,))
    if len(axes) > 2:
        raise _UnsupportedValue("vxfreq transforms over one or two axes, not %d (axes=%r)"
                                % (len(axes), axes))
    return axes


def _lengths(a, s, axes, real_inverse):
    """The transform lengths along axes: s (-1 or None keeping the input's), else the
    input's, the last of an irfft twice the input's less one."""
    if s is None:
        s = [-1] * len(axes)
    else:
        try:
            s = [_operator.index(n) for n in s]
        except TypeError:
            s = [_operator.index(s)]
        if len(s) != len(axes):
            raise ValueError("Shape and axes have different lengths (s=%r, axes=%r)"
                             % (tuple(s), axes))
    lengths = []
    for i, (n, ax) in enumerate(zip(s, axes)):
        last = i == len(axes) - 1
        if n == -1:
            n = 2 * (a.shape[ax] - 1) if real_inverse and last else a.shape[ax]
        if n < 1:
            raise ValueError("Invalid number of FFT data points (%d) specified for axis %d"
                             % (n, ax))
        if n > _MAX_LENGTH:
            raise _UnsupportedValue("vxfreq transforms lengths up to %d, not %d (axis %d)"
                                    % (_MAX_LENGTH, n, ax))
        lengths.append(n)
    return lengths


def _fit(a, axis, n):
    """a cropped or zero-padded to n values along axis (numpy's n= and s=)."""
    have = a.shape[axis]
    if have == n:
        return a
    if have > n:
        index = [slice(None)] * a.ndim
        index[axis] = slice(0, n)
        return a[tuple(index)]
    shape = list(a.shape)
    shape[axis] = n
    padded = _np.zeros(shape, a.dtype)
    index = [slice(None)] * a.ndim
    index[axis] = slice(0, have)
    padded[tuple(index)] = a
    return padded


def _transform(kind, x, s, axes, default_axes, norm, workers, out):
    """The transform `kind` (_FORWARD, _INVERSE, _REAL_FORWARD, _REAL_INVERSE) of x over
    axes (one or two), with lengths s, as scipy.fft computes it."""
    a = _array(x)
    axes = _axes(a, axes, default_axes)
    norm = _norm(norm)
    threads = _workers(workers)
    real_inverse = kind == _REAL_INVERSE
    lengths = _lengths(a, s, axes, real_inverse)
    single = _single(a)
    last = len(lengths) - 1
    for i, (ax, n) in enumerate(zip(axes, lengths)):
        a = _fit(a, ax, n // 2 + 1 if real_inverse and i == last else n)

    # The library's input types.
    if kind == _REAL_FORWARD and a.dtype.kind == "c":
        raise TypeError("x must be real for a real forward transform, not %s" % a.dtype)
    if kind in (_FORWARD, _REAL_FORWARD) and a.dtype.kind != "c":
        op = _REAL_FORWARD
        if a.dtype not in _NATIVE_REAL:
            a = a.astype(_np.float32 if single else _np.float64)
    else:
        op = kind
        if a.dtype not in (_np.complex64, _np.complex128):
            a = a.astype(_np.complex64 if single else _np.complex128)

    # The transformed axes last, as pictures of H rows (1 for one axis) of W values.
    moved = _np.moveaxis(a, axes, range(-len(axes), 0))
    batch = moved.shape[:-len(axes)]
    rows = lengths[0] if len(axes) == 2 else 1
    width = lengths[-1]
    half = width // 2 + 1
    count = int(_np.prod(batch, dtype=_np.int64))
    stack = moved.reshape((count, rows, moved.shape[-1]))

    real_out = op == _REAL_INVERSE
    out_width = half if kind == _REAL_FORWARD else width
    native = (_np.float32 if single else _np.float64) if real_out else _np.complex64
    wanted = (_np.float32 if single else _np.float64) if real_out else \
        (_np.complex64 if single else _np.complex128)
    n = int(_np.prod(lengths, dtype=_np.int64))
    scale = _scale(norm, n, kind in (_INVERSE, _REAL_INVERSE))
    final = list(a.shape)
    for ax, length in zip(axes, lengths):
        final[ax] = length
    final[axes[-1]] = out_width
    direct = _writable_stack(out, tuple(final), wanted, native, axes, (count, rows, out_width))
    if direct is not None:  # the library writes into out itself
        if count:
            _vxfreq._stack(op, stack, direct, scale, threads)
        return out
    result = _np.empty((count, rows, out_width), native)
    if count:
        _vxfreq._stack(op, stack, result, scale, threads)
    if wanted != native:
        result = result.astype(wanted)
    result = result.reshape(batch + ((rows, out_width) if len(axes) == 2 else (out_width,)))
    result = _np.moveaxis(result, range(-len(axes), 0), axes)
    if out is None:
        return result
    if not isinstance(out, _np.ndarray):
        raise TypeError("out must be a numpy array, not %s" % type(out).__name__)
    if out.shape != result.shape:
        raise ValueError("out has shape %s, the result %s" % (out.shape, result.shape))
    if not _np.can_cast(result.dtype, out.dtype, "same_kind"):
        raise TypeError("out has dtype %s, which cannot hold the result's %s"
                        % (out.dtype, result.dtype))
    _np.copyto(out, result, casting="same_kind")
    return out


def _writable_stack(out, final, wanted, native, axes, shape):
    """out's values as the library's output stack (pictures, rows, values), when out
    has the result's dtype, the library writes that dtype, and out's axes fold into
    such a stack without a copy; else None (the result is then copied into out)."""
    if not isinstance(out, _np.ndarray) or out.shape != final or out.dtype != wanted or \
            wanted != native or not out.flags.writeable:
        return None
    folded = _np.moveaxis(out, axes, range(-len(axes), 0)).view()
    try:
        folded.shape = shape  # refused where only a copy could have this shape
    except AttributeError:
        return None
    return folded


def _plan(plan):
    if plan is not None:
        raise NotImplementedError("vxfreq.fft takes no precomputed plans (plan=None)")


def fft(x, n=None, axis=-1, norm=None, overwrite_x=False, workers=None, *, plan=None,
        out=None):
    """The 1-D discrete Fourier transform along axis, as numpy.fft.fft."""
    _plan(plan)
    return _transform(_FORWARD, x, None if n is None else [n], [axis], None, norm, workers, out)


def ifft(x, n=None, axis=-1, norm=None, overwrite_x=False, workers=None, *, plan=None,
         out=None):
    """The 1-D inverse discrete Fourier transform along axis, as numpy.fft.ifft."""
    _plan(plan)
    return _transform(_INVERSE, x, None if n is None else [n], [axis], None, norm, workers, out)


def rfft(x, n=None, axis=-1, norm=None, overwrite_x=False, workers=None, *, plan=None,
         out=None):
    """The 1-D transform of real input along axis, the n // 2 + 1 non-negative
    frequencies, as numpy.fft.rfft."""
    _plan(plan)
    return _transform(_REAL_FORWARD, x, None if n is None else [n], [axis], None, norm, workers,
                      out)


def irfft(x, n=None, axis=-1, norm=None, overwrite_x=False, workers=None, *, plan=None,
          out=None):
    """The real inverse of rfft along axis: n values (2 (m - 1) for m given), as
    numpy.fft.irfft."""
    _plan(plan)
    return _transform(_REAL_INVERSE, x, None if n is None else [n], [axis], None, norm, workers,
                      out)


def fft2(x, s=None, axes=(-2, -1), norm=None, overwrite_x=False, workers=None, *, plan=None,
         out=None):
    """The 2-D discrete Fourier transform over axes, as numpy.fft.fft2."""
    _plan(plan)
    return _transform(_FORWARD, x, s, axes, (-2, -1), norm, workers, out)


def ifft2(x, s=None, axes=(-2, -1), norm=None, overwrite_x=False, workers=None, *, plan=None,
          out=None):
    """The 2-D inverse discrete Fourier transform over axes, as numpy.fft.ifft2."""
    _plan(plan)
    return _transform(_INVERSE, x, s, axes, (-2, -1), norm, workers, out)


def rfft2(x, s=None, axes=(-2, -1), norm=None, overwrite_x=False, workers=None, *, plan=None,
          out=None):
    """The 2-D transform of real input, the last axis halved, as numpy.fft.rfft2."""
    _plan(plan)
    return _transform(_REAL_FORWARD, x, s, axes, (-2, -1), norm, workers, out)


def irfft2(x, s=None, axes=(-2, -1), norm=None, overwrite_x=False, workers=None, *, plan=None,
           out=None):
    """The real inverse of rfft2, as numpy.fft.irfft2."""
    _plan(plan)
    return _transform(_REAL_INVERSE, x, s, axes, (-2, -1), norm, workers, out)


def _nd_axes(x, s, axes):
    """fftn's default axes: the last len(s) with s, else all of them."""
    if axes is not None:
        return axes
    ndim = _np.ndim(x)
    count = ndim if s is None else len(s)
    return tuple(range(ndim - count, ndim))


def fftn(x, s=None, axes=None, norm=None, overwrite_x=False, workers=None, *, plan=None,
         out=None):
    """The N-D discrete Fourier transform over one or two axes, as numpy.fft.fftn."""
    _plan(plan)
    return _transform(_FORWARD, x, s, _nd_axes(x, s, axes), None, norm, workers, out)


def ifftn(x, s=None, axes=None, norm=None, overwrite_x=False, workers=None, *, plan=None,
          out=None):
    """The N-D inverse discrete Fourier transform over one or two axes, as
    numpy.fft.ifftn."""
    _plan(plan)
    return _transform(_INVERSE, x, s, _nd_axes(x, s, axes), None, norm, workers, out)


def rfftn(x, s=None, axes=None, norm=None, overwrite_x=False, workers=None, *, plan=None,
          out=None):
    """The N-D transform of real input over one or two axes, as numpy.fft.rfftn."""
    _plan(plan)
    return _transform(_REAL_FORWARD, x, s, _nd_axes(x, s, axes), None, norm, workers, out)


def irfftn(x, s=None, axes=None, norm=None, overwrite_x=False, workers=None, *, plan=None,
           out=None):
    """The real inverse of rfftn over one or two axes, as numpy.fft.irfftn."""
    _plan(plan)
    return _transform(_REAL_INVERSE, x, s, _nd_axes(x, s, axes), None, norm, workers, out)


def next_fast_len(target, real=False):
    """The smallest 2^a 3^b 5^c 7^d at least target: the lengths vxfreq transforms
    fastest (real is accepted for scipy's signature and changes nothing)."""
    target = _operator.index(target)
    if target < 0:
        raise ValueError("Target cannot be negative")
    n = max(target, 1)
    while True:
        m = n
        for p in (2, 3, 5, 7):
            while m % p == 0:
                m //= p
        if m == 1:
            return n
        n += 1


_BACKEND = {f.__name__: f for f in (fft, ifft, rfft, irfft, fft2, ifft2, rfft2, irfft2, fftn,
                                    ifftn, rfftn, irfftn)}


def __ua_function__(method, args, kwargs):
    """scipy.fft's calls: those vxfreq computes, others back to scipy (NotImplemented)."""
    function = _BACKEND.get(getattr(method, "__name__", None))
    if function is None or kwargs.get("plan") is not None:
        return NotImplemented
    try:
        return function(*args, **kwargs)
    except _Unsupported:
        return NotImplemented
