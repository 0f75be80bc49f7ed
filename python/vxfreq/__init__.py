"""Two-dimensional Fourier transforms of images and frequency-domain filtering.

Pictures are 2-D numpy arrays (height, width); spectra are FrequencyBuffer objects of
single-precision complex values at the picture's own size, numpy.fft.fft2's shape (or,
with forward's size=, padded with zeros to the next fast size, the next powers of two or
a shape of the caller's; with padding=, padded by reflection, edge or mean), frequency 0
at [0, 0]. Every side from 1 to 16384 is transformed in O(n log n); next_fast_size
gives the lengths that are fastest (2^a 3^b 5^c 7^d), as scipy.fft.next_fast_len.
forward and inverse follow numpy.fft.fft2 and numpy.fft.ifft2: exp(-2 pi i ...) forward,
norm="backward" | "ortho" | "forward" with numpy's meaning, and inverse gives the real
part of ifft2 of the spectrum, cropped to the picture, as float64 (or rounded and
saturated to uint8 or uint16 with dtype=). The buffer records forward's norm
(FrequencyBuffer.norm) and the inverses follow it: inverse(forward(x, norm="ortho"))
is x; an inverse told another norm raises ValueError.

Values forward reads: uint8, uint16, float32 and float64 pictures as they are (float32
without a float64 copy); complex64 and complex128 as one complex picture through the
complex engine; bool and the other integers converted exactly to uint8 or float64
(int64 and uint64 pictures whose values fit in 53 bits; others are refused, since the
conversion would round them); float16 converted exactly to float32; arrays in the other
byte order converted first. longdouble values are refused (no exact conversion).

Every call runs in the library's extended mode (sides up to 16384, twiddle factors
accurate to single precision, pictures at an offset back at their place) unless made
inside `with vxfreq.compatible():`, which gives the compatible mode and exactly the bits
of a C++ program that uses the library's default. Calls release the GIL while the
library works. Python's signal handlers run while a long call of the main thread works
(when the signal comes; at most 10 ms later): one that returns lets the call go on, one
that raises (KeyboardInterrupt for Ctrl-C, the exception of a signal.alarm timeout)
stops it at the library's next attention check, and the call raises that exception.

uint8 and uint16 results take NaN as 0, as the library's conversions do (a NaN or
infinite pixel spreads over the whole transform, so its picture comes back all 0);
float results keep NaN.

Sizes: FrequencyBuffer.shape is numpy's (H, W); FrequencyBuffer.image_size, offsets and
the filters' size are (width, height), (x, y) as in the C++ API.
"""

import atexit as _atexit
import functools as _functools
import math as _math
import threading as _threading
import warnings as _warnings

import numpy as _np

from . import _vxfreq
from . import fft  # numpy.fft's and scipy.fft's names (vxfreq.fft)
from ._version import __version__
from ._vxfreq import (ArchiveError, BadCoord, BadData, EndOfData, Error, Filter,
                      FrequencyBuffer, ImageFilter, InvalidArgument, InvalidBuffer, InvalidSize,
                      Uninitialized, UnboundWindow, UnknownClass, UnknownVersion, compatible,
                      current_threads, export_path_plans, extended_mode, forward_fft,
                      import_path_plans, inverse_angle, inverse_fft, inverse_quadrant, map_image,
                      max_transform_side, memory_cache_bound, memory_cache_bytes, next_fast_size,
                      padded_transform_size, parallel, path_plans_file, release_memory_cache,
                      set_memory_cache_bound)

# The band and Gabor filter classes, from the library's list of filter types.
for _type in _vxfreq._filter_types:
    globals()[_type["name"]] = getattr(_vxfreq, _type["name"])

# The compiled classes carry the package's name, so that pickles and reprs name vxfreq.
_ARCHIVED = (FrequencyBuffer, ImageFilter) + tuple(
    getattr(_vxfreq, _type["name"]) for _type in _vxfreq._filter_types)
for _cls in _ARCHIVED + (Filter, parallel, compatible):
    _cls.__module__ = __name__


def _from_archive(cls, archive, norm=None):
    """The FrequencyBuffer or filter of class `cls` that `archive` (the bytes of its
    __getstate__, the library's archive form) holds, a buffer with the norm it recorded:
    what a pickle of any protocol calls to rebuild one."""
    if not (isinstance(cls, type) and issubclass(cls, (FrequencyBuffer, Filter))):
        raise TypeError("_from_archive() rebuilds a FrequencyBuffer or a filter class of "
                        "vxfreq, not %r" % (cls,))
    obj = cls.__new__(cls)
    obj.__setstate__(archive)
    if norm is not None:
        obj._record_norm(norm)
    return obj


def _reduce(self):
    """The pickle of a buffer or filter: _from_archive, its class and its archive bytes,
    and a buffer's norm (for every protocol, 0 and 1 included, and for copy.copy and
    copy.deepcopy)."""
    if isinstance(self, FrequencyBuffer) and self.norm is not None:
        return _from_archive, (type(self), self.__getstate__(), self.norm)
    return _from_archive, (type(self), self.__getstate__())


for _cls in _ARCHIVED:
    _cls.__reduce__ = _reduce


# ---------------------------------------------------------------------------
# FrequencyBuffer as an array: indexing and arithmetic with numbers as numpy does them
# on its complex64 values (the library's own operations between buffers stay).

_OPERANDS = ("numbers, arrays of numbers that broadcast to its (H, W) shape and "
             "FrequencyBuffers of its transform size")


def _operand(self, other, symbol):
    """other as numpy takes it in arithmetic with self's values; TypeError for what has
    no place there."""
    if isinstance(other, (str, bytes)) or other is None:
        raise TypeError("FrequencyBuffer %s %s: a FrequencyBuffer's arithmetic takes %s, not %s"
                        % (symbol, _type_name(other), _OPERANDS, _type_name(other)))
    value = other if isinstance(other, (_np.ndarray, _np.generic)) else _np.asarray(other)
    if value.dtype.kind not in "biufc":
        raise TypeError("FrequencyBuffer %s %s: a FrequencyBuffer's arithmetic takes %s, not %s "
                        "of %s" % (symbol, _type_name(other), _OPERANDS, _type_name(other),
                                   value.dtype))
    return value


def _arithmetic(ufunc, symbol, library=None, reflected=False, in_place=False):
    """The operator `symbol` of FrequencyBuffer: with another buffer the library's
    operation (library) or numpy's ufunc on the values of two buffers of one size; with
    numbers and arrays numpy's ufunc on the complex64 values, as
    numpy.asarray(buf).copy() (op)= other would give, in a copy of the buffer (its
    size, placement and norm) or, in place, in the buffer itself."""
    def operator(self, other):
        if isinstance(other, FrequencyBuffer):
            if library is not None:
                return library(self, other)
            self._check_spectrum()
            other._check_spectrum()
            if self.shape != other.shape:
                raise InvalidSize("Can only divide equal-sized frequency buffers: %d x %d and "
                                  "%d x %d buffers." % (self.shape[::-1] + other.shape[::-1]))
            value = _np.asarray(other)
        else:
            value = _operand(self, other, symbol)
            self._check_spectrum()
        result = self if in_place else self.copy()
        view = _np.asarray(result)
        if reflected:
            ufunc(value, view, out=view)
        else:
            ufunc(view, value, out=view)
        del view
        return result
    operator.__name__ = operator.__qualname__ = "FrequencyBuffer.%s" % symbol
    operator.__doc__ = "self %s other, as numpy computes it on complex64 values." % symbol
    return operator


def _unary(ufunc, symbol):
    def operator(self):
        self._check_spectrum()
        result = self.copy()
        view = _np.asarray(result)
        ufunc(view, out=view)
        del view
        return result
    operator.__doc__ = "%sself in a new buffer." % symbol
    return operator


def _getitem(self, key):
    """buf[y, x], as numpy's [row, column] of the complex64 values: an element as
    numpy.complex64 (negative indices count from the end), slices as views of the
    storage. InvalidBuffer for the spatial samples of an in-place inverse, as get."""
    self._check_spectrum()
    return _np.asarray(self)[key]


def _setitem(self, key, value):
    """buf[y, x] = value: the value rounded to complex64, as put; slices and arrays as
    numpy assigns them."""
    self._check_spectrum()
    if isinstance(value, (str, bytes)) or value is None or \
            _np.asarray(value).dtype.kind not in "biufc":
        raise TypeError("FrequencyBuffer[...] = value: value must be a number or an array of "
                        "numbers, not %s" % _type_name(value))
    _np.asarray(self)[key] = value


_library_ops = {name: getattr(FrequencyBuffer, name)
                for name in ("__add__", "__sub__", "__mul__", "__iadd__", "__isub__", "__imul__")}
for _symbol, _ufunc, _name in (("+", _np.add, "add"), ("-", _np.subtract, "sub"),
                               ("*", _np.multiply, "mul"), ("/", _np.true_divide, "truediv")):
    _library = _library_ops.get("__%s__" % _name)
    setattr(FrequencyBuffer, "__%s__" % _name, _arithmetic(_ufunc, _symbol, _library))
    setattr(FrequencyBuffer, "__r%s__" % _name, _arithmetic(_ufunc, _symbol, reflected=True))
    setattr(FrequencyBuffer, "__i%s__" % _name,
            _arithmetic(_ufunc, _symbol + "=", _library_ops.get("__i%s__" % _name), in_place=True))
FrequencyBuffer.__neg__ = _unary(_np.negative, "-")
FrequencyBuffer.__pos__ = _unary(_np.positive, "+")


def _iter(self):
    """Refused: a spectrum has two sides; numpy.asarray(buf) iterates its rows."""
    raise TypeError("a FrequencyBuffer is not iterable: it has two sides, shape (H, W); "
                    "numpy.asarray(buf) iterates its rows")


FrequencyBuffer.__getitem__ = _getitem
FrequencyBuffer.__setitem__ = _setitem
FrequencyBuffer.__iter__ = _iter
# numpy's operators hand arithmetic with a buffer to the buffer's reflected operators, so
# that 2.0 * buf and array * buf give buffers too (numpy's ufuncs still take it as an
# array: numpy.multiply(array, buf) is an array).
FrequencyBuffer.__array_priority__ = 100.0


def _keep_path_plans():
    note = _vxfreq._save_path_plans()
    if note:
        _warnings.warn("vxfreq: " + note, RuntimeWarning)


# The engines' path plans of earlier runs, and those this run measures kept at exit: a
# damaged or foreign file is ignored with a warning, and none is needed.
_plans_note = _vxfreq._load_path_plans()
if _plans_note:
    _warnings.warn("vxfreq: " + _plans_note, RuntimeWarning)
_atexit.register(_keep_path_plans)

_NORMS = "norm must be None, 'backward', 'ortho' or 'forward'"
_kept = _threading.local()  # per thread: the float64 real part inverse(out=) goes through
_EXACT_INT = 2 ** 53  # every integer up to this is a float64 exactly


def _type_name(value):
    """The name of value's type for messages: "int", "numpy.ndarray"."""
    cls = type(value)
    if cls.__module__ == "builtins":
        return cls.__qualname__
    return "%s.%s" % (cls.__module__, cls.__qualname__)


def _public(label):
    """Decorates the public call `label` ("inverse()"): a TypeError raised inside begins
    with the label, as the compiled calls' do, so that it names the call as well as the
    argument and what it takes."""
    def wrap(function):
        @_functools.wraps(function)
        def call(*args, **kwargs):
            try:
                return function(*args, **kwargs)
            except TypeError as e:
                message = str(e)
                if message.startswith(label):
                    raise
                raise TypeError("%s: %s" % (label, message)).with_traceback(
                    e.__traceback__) from None
        return call
    return wrap


_BUFFER = "a FrequencyBuffer (from forward() or FrequencyBuffer.from_array())"


def _buffer(buf, name="buf"):
    """buf, refused with TypeError unless it is a FrequencyBuffer."""
    if not isinstance(buf, FrequencyBuffer):
        raise TypeError("%s must be %s, not %s" % (name, _BUFFER, _type_name(buf)))
    return buf


def _flag(value, name):
    """A True-or-False argument: bool, numpy.bool_ or an integer; TypeError otherwise."""
    if isinstance(value, (bool, _np.bool_, int, _np.integer)):
        return bool(value)
    raise TypeError("%s must be True or False, not %s" % (name, _type_name(value)))


def _norm(norm):
    if norm is None:
        return "backward"
    if not isinstance(norm, str):
        raise TypeError("%s, not %s" % (_NORMS, _type_name(norm)))
    if norm not in ("backward", "ortho", "forward"):
        raise ValueError("%s, not %r" % (_NORMS, norm))
    return norm


def _norm_of(buf, norm):
    """The norm an inverse of buf takes: norm when given (ValueError when buf recorded
    another: the result would be scaled wrong), else the one buf recorded, else
    "backward"."""
    recorded = buf.norm
    if norm is None:
        return recorded or "backward"
    norm = _norm(norm)
    if recorded is not None and norm != recorded:
        raise ValueError("norm=%r differs from the norm the buffer was made with, %r "
                         "(FrequencyBuffer.norm); leave norm out to follow it" % (norm, recorded))
    return norm


def _pixels(values, name):
    """`values` as an array forward reads: uint8, uint16, float32, float64, complex64 or
    complex128 in the machine's byte order, converted exactly from the other types."""
    a = _np.asarray(values)
    if not isinstance(values, _np.ndarray) and a.dtype.kind not in "biufc":
        raise TypeError("%s must be a 2-D array of numbers, not %s" % (name, _type_name(values)))
    _vxfreq._check_picture_shape(a, name)
    if a.size == 0:
        raise ValueError("%s must not be empty, not of shape %r" % (name, a.shape))
    t = a.dtype
    if t.kind not in "biufc":
        raise TypeError("%s must hold bool, integer, float or complex values, not %r" % (name, t))
    if t.kind in "fc" and t.itemsize > (8 if t.kind == "f" else 16):
        raise TypeError("%s: %r values have no exact float64 form; convert them first" % (name, t))
    if not t.isnative:
        a = a.astype(t.newbyteorder("="))
    if t.kind == "b":
        return a.view(_np.uint8)
    if t.kind == "f" and t.itemsize == 2:
        return a.astype(_np.float32)
    if t.kind in "iu" and t.itemsize > 2 or t.kind == "i":
        if t.itemsize == 8 and (int(a.max()) > _EXACT_INT or int(a.min()) < -_EXACT_INT):
            raise ValueError("%s holds %r values beyond 2**53, which float64 would round" % (name, t))
        return a.astype(_np.float64)
    return a


@_public("forward()")
def forward(image, imag=None, offset=(0, 0), out=None, *, norm="backward", padding=None,
            window=None, margin=None, size=None):
    """Forward transform of a picture: numpy.fft.fft2 of it, of the picture's shape (or
    zero-padded as size= says, or padded as padding=, window= and margin= say), into a
    new FrequencyBuffer or into out.

    image: a 2-D array of any strides (see the package's docstring for the types read);
    with imag (real values), image + 1j * imag is transformed; complex arrays are passed
    alone. offset (x, y) is recorded for the inverses. norm: "backward" (None, unscaled),
    "ortho" (scaled by 1/sqrt(W*H)) or "forward" (by 1/(W*H)), as numpy's.

    padding, window and margin (real images only; all None: the plain transform) pad the
    picture with something other than zeros and weight it first. The picture stays at
    [0, 0]; the padding continues it to the right and below and, through the
    wrap-around, back into its left and top edges.
    padding: 'zero', 'reflect' (mirrored about its edges, the edge pixel repeated, as
    numpy.pad's 'symmetric'; the general choice for photographs), 'edge' (border pixels
    repeated) or 'mean' (the picture's mean, rounded for uint8 and uint16 pictures
    without a window); None: zeros.
    window: None, 'hann' (numpy.hanning along each axis) or a Tukey window, ('tukey', F)
    or 'tukey:F', tapering F / 2 of each side at either end (F from 0, no window, to 1,
    Hann). The inverse gives the windowed picture back.
    margin: pixels of padding at least on every side: each side of the transform is the
    next fast size of the picture's side plus twice the margin, up to the mode's limit
    (see padded_transform_size). None: an eighth of each side, rounded up, with a padding
    named; none with padding=None.
    size: None or 'own' (the picture's shape; the next fast size with a margin), 'fast'
    (next_fast_size of each side), 'pow2' (the next powers of two, as earlier versions
    gave) or a shape (H, W) at least the padded picture's, as numpy.fft.fft2's s=
    (zeros below and to the right). Inside vxfreq.compatible() sides are powers of two.
    The inverses give the picture back at its recorded size and offset, the padding
    dropped. Filters are built for the buffer's size (shape reversed).
    """
    real = _pixels(image, "image")
    if imag is not None:
        imag = _pixels(imag, "imag")
        _vxfreq._check_parts(real, imag)
    norm = _norm(norm)
    buf = _vxfreq.forward(real, imag, offset, out, padding=padding, window=window, margin=margin,
                          size=size)
    if norm != "backward":
        h, w = buf.shape
        scale = 1.0 / _math.sqrt(w * h) if norm == "ortho" else 1.0 / (w * h)
        view = _np.asarray(buf)
        _np.multiply(view, _np.float32(scale), out=view)
        del view
    buf._record_norm(norm)
    return buf


def _inverse_scale(norm, buf):
    """What multiplies the library's result (scaled by 1/(W*H)) for `norm`."""
    h, w = buf.shape
    return {"backward": 1.0, "ortho": _math.sqrt(w * h), "forward": float(w * h)}[norm]


_DTYPES = "dtype must be None, numpy.float64, numpy.float32, numpy.uint8 or numpy.uint16"


def _dtype_of(dtype):
    """The result dtype a real-part call asks for (None: float64)."""
    try:
        target = _np.dtype(_np.float64 if dtype is None else dtype)
    except TypeError:
        raise TypeError("%s, not %r" % (_DTYPES, dtype)) from None
    if target not in (_np.float64, _np.float32, _np.uint8, _np.uint16):
        raise TypeError("%s, not %r" % (_DTYPES, target))
    return target


def _as_dtype(real, target, out=None):
    """The float64 real part `real` as `target`: float32 rounded once, uint8 and uint16
    rounded to the nearest integer (halves to even, as numpy.rint) and saturated, NaN
    giving 0, as C++ vfInverseFFTReal; into `out` when given. `real` may be overwritten."""
    if target == _np.float64 and out is None:
        return real
    if target in (_np.uint8, _np.uint16):
        _np.rint(real, out=real)
        # fmax and fmin take the number where the other value is NaN: NaN gives 0, and
        # nothing outside the dtype's range is left for the cast to warn about.
        _np.fmax(real, 0, out=real)
        _np.fmin(real, _np.iinfo(target).max, out=real)
    with _np.errstate(over="ignore"):  # float32: values beyond its range become inf
        if out is None:
            return real.astype(target)
        _np.copyto(out, real, casting="unsafe")
    return out


@_public("inverse()")
def inverse(buf, dtype=None, *, norm=None, magnitude=False, normalize=False,
            in_place=False, out=None):
    """Inverse transform to a picture of the recorded size (h, w), as numpy:
    numpy.fft.ifft2(spectrum, norm=norm).real cropped to the picture, float64.

    norm: None follows the norm forward recorded in the buffer (buf.norm; "backward"
    for a buffer without one), so that inverse(forward(x, norm=n)) gives x back; a norm
    given must be the recorded one (ValueError naming both otherwise), or any for a
    buffer without one (as FrequencyBuffer.from_array's values).

    dtype: None or numpy.float64 (the real part), numpy.float32, or numpy.uint8 /
    numpy.uint16: the real part rounded to the nearest integer (halves to even, as
    numpy.rint) and saturated to 0 .. 255 / 65535, NaN giving 0.

    magnitude=True gives the library's own conversions instead (C++ vfInverseFFT, the
    same bits): the magnitude of each value scaled by 1/(W*H), for dtype uint8 (the
    default then) or uint16 rounded and kept to its low 8 or 16 bits (no saturation),
    with normalize=True stretched to the dtype's full range; float64 unrounded. norm
    must then be "backward", and so must the buffer's unless normalize stretches it.

    out: an array of the result's dtype and shape to write the result into (any
    strides), with the bits of a new result. float64 and float32 results of a spectrum
    whose picture fills the transform at offset (0, 0) (forward of a picture at its own
    size) are written straight into it, in the extended mode; the others go through
    memory the thread keeps, an array vxfreq returned earlier is written where it is.
    float32 results are the float64 ones rounded once (then scaled in float32 for the
    norms 'ortho' and 'forward').

    in_place does the work in buf's storage, which then holds the spatial values
    (buf.inverse_computed): filters, ImageFilter, arithmetic and element access refuse
    it from then on with InvalidBuffer, in both modes; the inverses still read it. A
    buffer of forward with padding, window or margin comes back at its recorded size and
    offset, the padding dropped (windowed, with a window). In the extended mode a picture
    at an offset comes back at its place; inside vxfreq.compatible() cyclically shifted
    by the offset, as in C++.
    """
    _buffer(buf)
    magnitude, normalize = _flag(magnitude, "magnitude"), _flag(normalize, "normalize")
    in_place = _flag(in_place, "in_place")
    if magnitude:
        if _norm(norm) != "backward":
            raise ValueError("magnitude=True is the library's conversion, scaled by 1/(W*H): "
                             "norm must be 'backward'")
        if buf.norm not in (None, "backward") and not normalize:
            raise ValueError("magnitude=True is the library's conversion, scaled by 1/(W*H): "
                             "the buffer's norm must be 'backward', not %r (normalize=True "
                             "stretches any)" % buf.norm)
        return _vxfreq.inverse(buf, _np.uint8 if dtype is None else dtype, normalize, in_place,
                               out)
    norm = _norm_of(buf, norm)
    if normalize:
        raise ValueError("normalize stretches the magnitudes of magnitude=True")
    target = _dtype_of(dtype)
    if out is not None and (not isinstance(out, _np.ndarray) or out.dtype != target):
        raise TypeError("out must be a numpy array of dtype %s, not %s"
                        % (target, getattr(out, "dtype", type(out).__name__)))
    scale = _inverse_scale(norm, buf)
    if target in (_np.float64, _np.float32) and not in_place:
        # Straight into the caller's array (or a new float32 one), without a copy, where
        # the plain inverse of the whole spectrum is the picture: the values of
        # vfInverseFFTReal, as below.
        result = out
        if result is None and target == _np.float32:
            result = _np.empty(tuple(reversed(buf.image_size)), _np.float32)
        if result is not None and _vxfreq._inverse_real_into(buf, result):
            if scale != 1.0:
                _np.multiply(result, result.dtype.type(scale), out=result)
            return result
    if scale == 1.0 and target != _np.float32:
        # The library's real-part inverse (C++ vfInverseFFTReal), integers rounded and
        # saturated in C++.
        return _vxfreq.inverse_real(buf, target, False, in_place, out)
    if target == _np.float64:
        real = _vxfreq.inverse_real(buf, target, False, in_place, out)
        real *= scale
        return real
    # float32 and scaled integers: the float64 real part first, in memory this thread
    # keeps when the result goes into out.
    kept = getattr(_kept, "real", None) if out is not None else None
    if kept is not None and kept.shape != tuple(reversed(buf.image_size)):
        kept = None
    real = _vxfreq.inverse_real(buf, _np.float64, False, in_place, kept)
    if out is not None:
        _kept.real = real
    if target == _np.float32:
        # The float32 values exactly, then scaled in float32, as the path above.
        result = _as_dtype(real, target, out)
        if scale != 1.0:
            _np.multiply(result, _np.float32(scale), out=result)
        return result
    real *= scale
    return _as_dtype(real, target, out)


@_public("filter_picture()")
def filter_picture(image, filters, *, padding="continue", window=None, margin=None, dtype=None):
    """The picture filtered in one call: padded, transformed, filtered by `filters` (one
    filter or a sequence, applied in order), transformed back; the real part as float64
    of the picture's shape, or rounded and saturated to dtype uint8 / uint16 (float32 is
    also taken).

    padding: 'continue' (the default for filtering: the border pixels repeated outwards,
    with the periodic patterns in the filters' band carried on into the padding, so a
    pattern is removed, or kept, right up to the border), or any padding of forward
    ('zero', 'reflect', 'edge', 'mean'). window and margin as forward's. uint8 and
    uint16 results take NaN (from a NaN or infinite pixel) as 0.
    The filters are used as built when their size is the padded transform's
    (padded_transform_size); otherwise band and Gabor filters are copied for it (their
    other parameters unchanged), and an ImageFilter, whose gains are of one size, is
    refused with InvalidSize naming both sizes (build it from a spectrum of that size).

    Memory: the call works in the picture's padded size (a float32 4000 x 3000 picture
    takes some 600 MiB at its peak) and leaves the library's cache as it found it: its
    temporaries go back to the system as they are freed, the result is all that stays.
    Under a bound of set_memory_cache_bound the cache keeps what the bound allows, which
    spares a batch of pictures of one size fresh memory at every call. The picture may be any value type forward reads but complex.
    """
    picture = _pixels(image, "image")
    _vxfreq._check_real_picture(picture)
    target = _dtype_of(dtype)
    return _vxfreq.filter_picture(picture, filters, padding, window, margin, target)


@_public("inverse_complex()")
def inverse_complex(buf, in_place=False, *, norm=None):
    """Inverse transform to (real, imag) float64 pictures of the recorded size:
    numpy.fft.ifft2(spectrum, norm=norm) cropped to the picture, in two arrays. norm as
    inverse's: None follows the buffer's."""
    _buffer(buf)
    in_place = _flag(in_place, "in_place")
    norm = _norm_of(buf, norm)
    real, imag = _vxfreq.inverse_complex(buf, in_place)
    scale = _inverse_scale(norm, buf)
    if scale != 1.0:
        real *= scale
        imag *= scale
    return real, imag
