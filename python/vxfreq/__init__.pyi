"""Two-dimensional Fourier transforms of images and frequency-domain filtering.

Pictures are 2-D numpy arrays (height, width); spectra are FrequencyBuffer objects of
single-precision complex values at the picture's own size (numpy.fft.fft2's shape; any
side from 1 to 16384) unless forward's size= pads them, frequency 0 at [0, 0]. forward and inverse follow numpy.fft.fft2 and numpy.fft.ifft2, norm
included; inverse gives the real part as float64 (or rounded and saturated to uint8 or
uint16). forward reads uint8, uint16, float32, float64, complex64 and complex128 as they
are, bool and other integers converted exactly. Calls run in the library's extended mode
(sides up to 16384) unless made inside `with vxfreq.compatible():` (the C++ default's
bits, sides up to 2048). Calls release the GIL while the library works; Python's signal
handlers run meanwhile, and one that raises stops a long call with its exception.
uint8 and uint16 results take NaN as 0.

Sizes: FrequencyBuffer.shape is numpy's (H, W); FrequencyBuffer.image_size, offsets and
the filters' size are (width, height), (x, y) as in the C++ API.
"""

from types import TracebackType
from typing import (Any, ClassVar, Literal, NoReturn, Optional, Sequence, SupportsIndex, Tuple, Type,
                    TypeVar, Union)

import numpy
import numpy.typing

from . import fft as fft

_Filter = TypeVar("_Filter", bound="Filter")

_Image = numpy.typing.NDArray[Any]
_DType = Union[type, numpy.dtype[Any], str]
_Norm = Optional[Literal["backward", "ortho", "forward"]]
_Mapping = Literal["clamp", "linear", "range", "log", "angle"]
_Padding = Literal["zero", "reflect", "edge", "mean", "continue"]
# None, "hann", ("tukey", F) or "tukey:F" with F from 0 to 1.
_Window = Union[str, Tuple[Literal["tukey"], float]]
_Size = Union[Literal["own", "fast", "pow2"], Tuple[int, int]]

__version__: str

class Error(Exception):
    """Base of the library's errors; error_number is the library's number (None for archive errors)."""

    error_number: ClassVar[Optional[int]]

class InvalidArgument(Error):
    """An argument outside its documented range (0x10006300)."""

class Uninitialized(Error):
    """A buffer without data or an unbuilt filter (0x10006301)."""

class InvalidSize(Error):
    """A size that is not allowed or does not match (0x10006302)."""

class UnboundWindow(Error):
    """An image without pixels (0x10006303)."""

class InvalidBuffer(Error):
    """A buffer holding spatial samples after an in-place inverse (0x10006304)."""

class BadCoord(Error):
    """A coordinate outside the buffer (0x10006305)."""

class ArchiveError(Error):
    """Archived data (a pickle's state) that cannot be loaded."""

class UnknownVersion(ArchiveError): ...
class EndOfData(ArchiveError): ...
class UnknownClass(ArchiveError): ...
class BadData(ArchiveError): ...

_Operand = Union[FrequencyBuffer, complex, numpy.typing.ArrayLike]

class FrequencyBuffer:
    """Complex values of a transform size W x H with the size and offset of their image.

    numpy.asarray(buffer) is a writable complex64 (H, W) view of the buffer's own storage;
    while a view exists, an operation that would give the buffer storage of another size
    raises BufferError. buf[y, x] and arithmetic with numbers and arrays work on the
    complex64 values as numpy's do; buffers are not iterable (two sides).
    """

    __array_priority__: ClassVar[float]

    def __init__(self, width: int, height: int) -> None:
        """Zeros sized for an image of width x height (transform size: its own)."""
    @property
    def shape(self) -> Tuple[int, int]:
        """Transform size as numpy's (H, W)."""
    @property
    def dtype(self) -> numpy.dtype[numpy.complex64]:
        """numpy.dtype('complex64')."""
    @property
    def image_size(self) -> Tuple[int, int]:
        """Size (w, h) of the image the inverse transforms give back."""
    @property
    def offset(self) -> Tuple[int, int]:
        """Offset (x, y) of that image."""
    @property
    def padding_margin(self) -> Tuple[int, int]:
        """Margin (x, y) a padded forward left on every side of the image; (0, 0) otherwise."""
    @property
    def norm(self) -> Optional[Literal["backward", "ortho", "forward"]]:
        """The scaling forward's norm= recorded (None: none); the inverses follow it."""
    @property
    def inverse_computed(self) -> bool:
        """True after an in-place inverse: the buffer holds spatial samples."""
    def get(self, x: int, y: int, centered: bool = False) -> complex:
        """Element (x, y); with centered, signed frequencies -W/2 <= x < W/2."""
    def put(self, x: int, y: int, value: complex, centered: bool = False) -> None:
        """Sets element (x, y), rounded to single precision."""
    def copy(self) -> FrequencyBuffer:
        """A deep copy."""
    def __copy__(self) -> FrequencyBuffer: ...
    def __deepcopy__(self, memo: Any) -> FrequencyBuffer: ...
    def __eq__(self, other: object) -> bool: ...
    def __ne__(self, other: object) -> bool: ...
    def __array__(self, dtype: Any = None, copy: Optional[bool] = None) -> numpy.typing.NDArray[Any]:
        """The complex64 (H, W) view of the storage; a copy for another dtype or copy=True,
        ValueError for another dtype with copy=False (numpy's protocol)."""
    def __getitem__(self, key: Any) -> Any:
        """buf[y, x] as numpy.complex64; slices as views of the storage."""
    def __setitem__(self, key: Any, value: Any) -> None:
        """buf[y, x] = value, rounded to complex64 as put does."""
    def __iter__(self) -> NoReturn:
        """Refused (TypeError): numpy.asarray(buf) iterates the rows."""
    def __getstate__(self) -> bytes:
        """The library's archive of the buffer."""
    def __setstate__(self, state: bytes) -> None: ...
    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        """Pickles of every protocol: the package's reconstructor, the class and the archive."""
    def real_image(
        self, centered: bool = False, out: Optional[numpy.typing.NDArray[numpy.float64]] = None
    ) -> numpy.typing.NDArray[numpy.float64]:
        """Real parts as a float64 (H, W) array; centered puts frequency 0 at (H/2, W/2)."""
    def imag_image(
        self, centered: bool = False, out: Optional[numpy.typing.NDArray[numpy.float64]] = None
    ) -> numpy.typing.NDArray[numpy.float64]:
        """Imaginary parts as a float64 (H, W) array."""
    def magnitude_image(
        self, centered: bool = False, out: Optional[numpy.typing.NDArray[numpy.float64]] = None
    ) -> numpy.typing.NDArray[numpy.float64]:
        """Magnitudes as a float64 (H, W) array."""
    def phase_image(
        self, centered: bool = False, out: Optional[numpy.typing.NDArray[numpy.float64]] = None
    ) -> numpy.typing.NDArray[numpy.float64]:
        """Phases in [0, 2 pi) as a float64 (H, W) array."""
    # With another buffer of the transform size: the library's operations (division:
    # numpy's); with numbers and arrays: numpy's on the complex64 values, in a new buffer
    # of the same size, placement and norm (or in place).
    def __add__(self, other: _Operand) -> FrequencyBuffer: ...
    def __radd__(self, other: _Operand) -> FrequencyBuffer: ...
    def __sub__(self, other: _Operand) -> FrequencyBuffer: ...
    def __rsub__(self, other: _Operand) -> FrequencyBuffer: ...
    def __mul__(self, other: _Operand) -> FrequencyBuffer: ...
    def __rmul__(self, other: _Operand) -> FrequencyBuffer: ...
    def __truediv__(self, other: _Operand) -> FrequencyBuffer: ...
    def __rtruediv__(self, other: _Operand) -> FrequencyBuffer: ...
    def __iadd__(self, other: _Operand) -> FrequencyBuffer: ...
    def __isub__(self, other: _Operand) -> FrequencyBuffer: ...
    def __imul__(self, other: _Operand) -> FrequencyBuffer: ...
    def __itruediv__(self, other: _Operand) -> FrequencyBuffer: ...
    def __neg__(self) -> FrequencyBuffer: ...
    def __pos__(self) -> FrequencyBuffer: ...
    def conj(self) -> FrequencyBuffer:
        """A new buffer of the complex conjugates."""
    @staticmethod
    def from_array(
        values: numpy.typing.ArrayLike,
        image_size: Optional[Tuple[int, int]] = None,
        offset: Tuple[int, int] = (0, 0),
        *,
        norm: _Norm = None,
    ) -> FrequencyBuffer:
        """A new buffer of values, a 2-D (H, W) array of sides the mode transforms, as complex64;
        norm records their scaling (None: none)."""
    def to_numpy(self, dtype: Optional[_DType] = None) -> numpy.typing.NDArray[Any]:
        """A new (H, W) array of the values (a copy): complex64, or numpy.complex128 when
        dtype says so (computed in single precision, widened)."""

def forward(
    image: numpy.typing.ArrayLike,
    imag: Optional[numpy.typing.ArrayLike] = None,
    offset: Tuple[int, int] = (0, 0),
    out: Optional[FrequencyBuffer] = None,
    *,
    norm: _Norm = "backward",
    padding: Optional[_Padding] = None,
    window: Optional[_Window] = None,
    margin: Optional[int] = None,
    size: Optional[_Size] = None,
) -> FrequencyBuffer:
    """numpy.fft.fft2 of a 2-D picture (any strides), of its own shape.

    size ('own', 'fast', 'pow2' or a shape (H, W)) pads it with zeros first: to the next
    fast sizes, the next powers of two or that shape. padding ('zero', 'reflect', 'edge',
    'mean'), window (None, 'hann', ('tukey', F), 'tukey:F') and margin (pixels on every
    side; None: an eighth of each side with a padding named, none otherwise) pad and
    weight a real image, the transform taking the next fast size of each padded side.
    The inverses give the picture back without the padding.
    """

def padded_transform_size(
    width: int, height: int, margin: Optional[int] = None, *, size: Optional[_Size] = None
) -> Tuple[int, int]:
    """Transform size (W, H) of forward with a padding named, for a width x height picture."""

def next_fast_size(n: int) -> int:
    """The smallest 2^a 3^b 5^c 7^d at least n (1 for n <= 1), as scipy.fft.next_fast_len."""

def forward_fft(buf: FrequencyBuffer, out: Optional[FrequencyBuffer] = None) -> FrequencyBuffer:
    """Forward transform of a buffer's values."""

def inverse_fft(
    buf: FrequencyBuffer, out: Optional[FrequencyBuffer] = None, in_place: bool = False
) -> FrequencyBuffer:
    """Unscaled inverse transform of a buffer's values."""

def inverse(
    buf: FrequencyBuffer,
    dtype: Optional[_DType] = None,
    *,
    norm: _Norm = None,
    magnitude: bool = False,
    normalize: bool = False,
    in_place: bool = False,
    out: Optional[_Image] = None,
) -> _Image:
    """numpy.fft.ifft2(spectrum).real cropped to the (h, w) picture: float64, float32, or
    uint8 / uint16 rounded and saturated; magnitude=True: the library's conversions.
    With out, the result is written into it. norm None follows buf.norm; another than
    the recorded one raises ValueError."""

def filter_picture(
    image: numpy.typing.ArrayLike,
    filters: Union[Filter, Sequence[Filter]],
    *,
    padding: _Padding = "continue",
    window: Optional[_Window] = None,
    margin: Optional[int] = None,
    dtype: Optional[_DType] = None,
) -> _Image:
    """The picture padded (by default continuing its patterns), filtered, transformed back:
    the real part, float64 (or dtype), of the picture's shape. Band and Gabor filters of
    another size than padded_transform_size's are copied for it; an ImageFilter must be
    of that size (InvalidSize). The library's cache is left as the call found it, unless
    set_memory_cache_bound set a bound."""

def inverse_angle(
    buf: FrequencyBuffer, dtype: _DType = ..., normalize: bool = False, in_place: bool = False
) -> Tuple[_Image, numpy.typing.NDArray[numpy.float64]]:
    """As inverse, returning (image, angle)."""

def inverse_quadrant(
    buf: FrequencyBuffer, dtype: _DType = ..., normalize: bool = False, in_place: bool = False
) -> Tuple[_Image, numpy.typing.NDArray[numpy.uint8]]:
    """As inverse, returning (image, quadrant)."""

def inverse_complex(
    buf: FrequencyBuffer, in_place: bool = False, *, norm: _Norm = None
) -> Tuple[numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]:
    """numpy.fft.ifft2(spectrum) cropped to the picture, as (real, imag) float64 arrays;
    norm as inverse's."""

def map_image(
    image: numpy.typing.NDArray[numpy.float64],
    mapping: _Mapping = "log",
    lo: Optional[float] = None,
    hi: Optional[float] = None,
    out: Optional[numpy.typing.NDArray[numpy.uint8]] = None,
) -> numpy.typing.NDArray[numpy.uint8]:
    """A float64 image mapped to a new uint8 image (or into out)."""

class _Block:
    # What the two blocks share (not a class of the module).
    @property
    def entered(self) -> bool:
        """True between entering and leaving the block."""
    def __exit__(
        self,
        exc_type: Optional[Type[BaseException]],
        exc_value: Optional[BaseException],
        traceback: Optional[TracebackType],
    ) -> bool:
        """Leaves the block, on the thread that entered it."""

class parallel(_Block):
    """with vxfreq.parallel(threads): the library calls this thread makes inside the block
    run on a pool of that many threads (the calling thread included), with the same bits
    as on one thread. Blocks nest; other threads are not affected."""

    def __init__(self, threads: int) -> None:
        """A block whose pool has threads threads in all (1 to 256)."""
    @property
    def threads(self) -> int:
        """Threads of the pool, the calling thread included."""
    def __enter__(self) -> parallel:
        """Starts the pool; a block is entered once at a time."""

class compatible(_Block):
    """with vxfreq.compatible(): this thread's calls inside the block run in the library's
    compatible mode (the C++ default: sides up to 2048, its bits); outside every block
    they run in the extended mode. Blocks nest; other threads are not affected."""

    def __init__(self) -> None:
        """A block; entering it starts the compatible mode."""
    def __enter__(self) -> compatible:
        """Starts the compatible mode for this thread's calls."""

def extended_mode() -> bool:
    """True when this thread's calls run in the extended mode (outside vxfreq.compatible)."""

def max_transform_side() -> int:
    """The largest transform side of this thread's mode: 16384, or 2048 when compatible."""

def current_threads() -> int:
    """Threads of the innermost vxfreq.parallel block this thread has entered; 1 outside."""

def memory_cache_bytes() -> int:
    """Bytes of freed large blocks the library keeps for later calls."""

def memory_cache_bound() -> Optional[int]:
    """The cache's bound in bytes, or None for the default rule."""

def set_memory_cache_bound(bound: Optional[SupportsIndex]) -> None:
    """Bounds what the cache keeps: 0 turns it off, None restores the default rule."""

def release_memory_cache() -> None:
    """Gives every cached block back to the system now."""

def export_path_plans() -> str:
    """The vector paths the engines measured on this processor, as a small text."""

def import_path_plans(text: str) -> None:
    """Takes path plans made on this processor and build; ValueError for any other text."""

def path_plans_file() -> Optional[str]:
    """The file the module keeps the path plans in between runs, or None."""

class Filter:
    """Base of the filters: built for one transform size (width, height)."""

    def apply(self, buf: FrequencyBuffer, out: Optional[FrequencyBuffer] = None) -> None:
        """Filters buf in place, or writes the filtered buf into out."""

class _Parametric(Filter):
    # What the four parametric filters share (not a class of the module).
    frequency: float
    size: Tuple[int, int]
    dc_removal_radius: int
    @property
    def support_width(self) -> int: ...
    def __eq__(self, other: object) -> bool: ...
    def __getstate__(self) -> bytes: ...
    def __setstate__(self, state: bytes) -> None: ...
    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]: ...
    def for_size(self: _Filter, size: Tuple[int, int]) -> _Filter:
        """A copy of the filter built for transform size (width, height)."""

class _Band(_Parametric):
    def __init__(
        self,
        sigma: float,
        plateau: float,
        frequency: float,
        size: Tuple[int, int],
        dc_removal_radius: int = 0,
    ) -> None: ...
    sigma: float
    plateau: float

class _Oriented(_Parametric):
    def __init__(
        self,
        sigma: Tuple[float, float],
        plateau: Tuple[float, float],
        angle: float,
        frequency: float,
        size: Tuple[int, int],
        dc_removal_radius: int = 0,
    ) -> None: ...
    sigma: Tuple[float, float]
    plateau: Tuple[float, float]
    angle: float
    @property
    def support_height(self) -> int: ...

class BandPass(_Band):
    """Keeps the ring of radius frequency. size is (width, height): shape reversed."""

class BandReject(_Band):
    """Removes the ring of radius frequency. size is (width, height): shape reversed."""

    dc_protection_radius: int

class Gabor(_Oriented):
    """Keeps one oriented lobe. sigma, plateau are (along, across); size is (width, height)."""

class GaborReject(_Oriented):
    """Removes one oriented lobe. sigma, plateau are (along, across); size is (width, height)."""

    dc_protection_radius: int

class ImageFilter(Filter):
    """Multiplies by a FrequencyBuffer, element by element."""

    def __init__(self, buf: FrequencyBuffer) -> None: ...
    @property
    def size(self) -> Tuple[int, int]:
        """Transform size (width, height) of the filter image."""
    def __eq__(self, other: object) -> bool: ...
    def __getstate__(self) -> bytes: ...
    def __setstate__(self, state: bytes) -> None: ...
    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]: ...
    def for_size(self, size: Tuple[int, int]) -> ImageFilter:
        """A copy of the filter, for its own transform size only."""
