"""numpy.fft's and scipy.fft's transforms, computed by vxfreq (see fft.py)."""

from typing import Any, Dict, Optional, Sequence, Tuple

from numpy.fft import fftfreq as fftfreq
from numpy.fft import fftshift as fftshift
from numpy.fft import ifftshift as ifftshift
from numpy.fft import rfftfreq as rfftfreq
from numpy.typing import ArrayLike, NDArray

__all__ = [
    "fft", "ifft", "rfft", "irfft", "fft2", "ifft2", "rfft2", "irfft2", "fftn", "ifftn",
    "rfftn", "irfftn", "fftfreq", "rfftfreq", "fftshift", "ifftshift", "next_fast_len",
]
__ua_domain__: str

def fft(
    x: ArrayLike,
    n: Optional[int] = None,
    axis: int = -1,
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The 1-D discrete Fourier transform along axis, as numpy.fft.fft."""

def ifft(
    x: ArrayLike,
    n: Optional[int] = None,
    axis: int = -1,
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The 1-D inverse discrete Fourier transform along axis, as numpy.fft.ifft."""

def rfft(
    x: ArrayLike,
    n: Optional[int] = None,
    axis: int = -1,
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The 1-D transform of real input along axis, as numpy.fft.rfft."""

def irfft(
    x: ArrayLike,
    n: Optional[int] = None,
    axis: int = -1,
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The real inverse of rfft along axis, as numpy.fft.irfft."""

def fft2(
    x: ArrayLike,
    s: Optional[Sequence[int]] = None,
    axes: Sequence[int] = (-2,
    -1),
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The 2-D discrete Fourier transform over axes, as numpy.fft.fft2."""

def ifft2(
    x: ArrayLike,
    s: Optional[Sequence[int]] = None,
    axes: Sequence[int] = (-2,
    -1),
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The 2-D inverse discrete Fourier transform over axes, as numpy.fft.ifft2."""

def rfft2(
    x: ArrayLike,
    s: Optional[Sequence[int]] = None,
    axes: Sequence[int] = (-2,
    -1),
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The 2-D transform of real input, the last axis halved, as numpy.fft.rfft2."""

def irfft2(
    x: ArrayLike,
    s: Optional[Sequence[int]] = None,
    axes: Sequence[int] = (-2,
    -1),
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The real inverse of rfft2, as numpy.fft.irfft2."""

def fftn(
    x: ArrayLike,
    s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = None,
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The N-D discrete Fourier transform over one or two axes, as numpy.fft.fftn."""

def ifftn(
    x: ArrayLike,
    s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = None,
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The N-D inverse transform over one or two axes, as numpy.fft.ifftn."""

def rfftn(
    x: ArrayLike,
    s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = None,
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The N-D transform of real input over one or two axes, as numpy.fft.rfftn."""

def irfftn(
    x: ArrayLike,
    s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = None,
    norm: Optional[str] = None,
    overwrite_x: bool = False,
    workers: Optional[int] = None,
    *,
    plan: None = None,
    out: Optional[NDArray[Any]] = None,
) -> NDArray[Any]:
    """The real inverse of rfftn over one or two axes, as numpy.fft.irfftn."""

def next_fast_len(target: int, real: bool = False) -> int:
    """The smallest 2^a 3^b 5^c 7^d at least target."""

def __ua_function__(method: Any, args: Tuple[Any, ...], kwargs: Dict[str, Any]) -> Any:
    """scipy.fft's calls: those vxfreq computes, others back to scipy."""
