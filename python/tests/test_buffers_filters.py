"""FrequencyBuffer (numpy view, element access, copies, arithmetic, pickling), the
filters (parameters, apply, pickling) and the error classes."""

import copy
import pickle

import numpy as np
import pytest

import vxfreq
from conftest import picture

ERRORS = ["InvalidArgument", "Uninitialized", "InvalidSize", "UnboundWindow", "InvalidBuffer", "BadCoord"]


def spectrum(h=30, w=48, seed=1):
    return vxfreq.forward(picture(h, w, np.uint8, seed=seed))


def test_numpy_view_shares_storage_and_blocks_reallocation():
    assert vxfreq.FrequencyBuffer(6, 3).shape == (3, 6)  # its own size
    buf = vxfreq.FrequencyBuffer(8, 4)
    assert buf.shape == (4, 8) and buf.image_size == (8, 4) and buf.offset == (0, 0)
    view = np.asarray(buf)
    assert view.dtype == np.complex64 and view.shape == (4, 8) and view.flags.writeable
    view[1, 2] = 3 - 4j
    assert buf.get(2, 1) == 3 - 4j == buf.get(2, 1, centered=True)
    view[2, 5] = 1j
    assert buf.get(-3, -2, centered=True) == 1j
    buf.put(0, -1, 0.5j, centered=True)
    assert view[3, 0] == 0.5j
    assert np.asarray(buf).ctypes.data == view.ctypes.data
    # Results of the same transform size reuse the storage, views and all.
    same = vxfreq.FrequencyBuffer(8, 4)
    same.put(1, 1, 2.0)
    vxfreq.forward_fft(same, out=buf)
    assert np.array_equal(view, np.asarray(vxfreq.forward_fft(same)))
    vxfreq.forward(picture(3, 7), out=buf, size="pow2")  # padded to the buffer's 8 x 4
    assert buf.image_size == (7, 3) and view[0, 0] == buf.get(0, 0)
    other = spectrum()
    for resize in [lambda: vxfreq.forward_fft(other, out=buf),
                   lambda: vxfreq.BandPass(0.02, 0.0, 0.1, (48, 30)).apply(other, buf),
                   lambda: vxfreq.forward(picture(9, 9), out=buf)]:
        with pytest.raises(BufferError, match="numpy views"):
            resize()
        assert buf.shape == (4, 8)
    sliced = view[1:, ::2]
    del view
    with pytest.raises(BufferError):
        vxfreq.forward_fft(other, out=buf)
    del sliced
    vxfreq.forward_fft(other, out=buf)
    assert buf.shape == (30, 48) and buf == vxfreq.forward_fft(other)
    assert np.asarray(buf, dtype=np.complex128).dtype == np.complex128


def test_copies_equality_and_pickling():
    buf = spectrum(seed=2)
    for twin in [buf.copy(), copy.copy(buf), copy.deepcopy(buf), pickle.loads(pickle.dumps(buf))]:
        assert twin == buf and not (twin != buf)
        assert np.asarray(twin).ctypes.data != np.asarray(buf).ctypes.data
        assert twin.image_size == buf.image_size and twin.offset == buf.offset
    moved = vxfreq.forward(picture(30, 48, np.uint8, seed=2), offset=(4, -1))
    assert moved != buf and pickle.loads(pickle.dumps(moved)).offset == (4, -1)
    changed = buf.copy()
    changed.put(3, 3, changed.get(3, 3) + 1)
    assert changed != buf
    spatial = buf.copy()
    vxfreq.inverse(spatial, in_place=True)
    again = pickle.loads(pickle.dumps(spatial))
    assert again.inverse_computed and again == spatial
    assert "shape=(30, 48)" in repr(buf) and "image_size=(48, 30)" in repr(buf)


def test_arithmetic_matches_complex64_numpy():
    a, b = spectrum(seed=3), spectrum(seed=4)
    na, nb = np.asarray(a).copy(), np.asarray(b).copy()
    assert np.array_equal(np.asarray(a + b), na + nb)
    assert np.array_equal(np.asarray(a - b), na - nb)
    assert np.array_equal(np.asarray(a.conj()), np.conj(na))
    product = np.asarray(a * b)
    assert np.allclose(product, na.astype(np.complex128) * nb, rtol=1e-5, atol=1e-3 * np.abs(product).max())
    for op, expected in [("__iadd__", a + b), ("__isub__", a - b), ("__imul__", a * b)]:
        c = a.copy()
        view = np.asarray(c)
        assert getattr(c, op)(b) is c and c == expected
        assert np.array_equal(view, np.asarray(expected))
    c = a.copy()
    c += c
    assert np.array_equal(np.asarray(c), na + na)
    with pytest.raises(vxfreq.InvalidSize):
        a + vxfreq.FrequencyBuffer(4, 4)
    assert a.__eq__(3) is NotImplemented


def test_spectrum_images():
    buf = spectrum(seed=5)
    values = np.asarray(buf)
    assert np.array_equal(buf.real_image(), values.real.astype(np.float64))
    assert np.array_equal(buf.imag_image(), values.imag.astype(np.float64))
    assert np.array_equal(buf.real_image(centered=True), np.fft.fftshift(values.real).astype(np.float64))
    assert np.allclose(buf.magnitude_image(), np.abs(values), rtol=1e-6)
    phase = buf.phase_image()
    assert phase.min() >= 0 and phase.max() < 2 * np.pi
    assert np.allclose(np.exp(1j * phase), values / np.abs(values), atol=1e-5)


def filters(size):
    band = (0.02, 0.01, 0.125, size)
    gabor = ((0.04, 0.02), (0.02, 0.0), 0.5, 0.2, size)
    return [vxfreq.BandPass(*band, dc_removal_radius=2), vxfreq.BandReject(*band, 2),
            vxfreq.Gabor(*gabor, dc_removal_radius=1), vxfreq.GaborReject(*gabor, 1),
            vxfreq.ImageFilter(spectrum(seed=9))]


def test_filters_pickle_and_apply_with_the_same_bits():
    buf = spectrum(seed=6)
    for f in filters((48, 30)):
        twin = pickle.loads(pickle.dumps(f))
        assert type(twin) is type(f) and twin == f and repr(twin) == repr(f)
        a, b, c = buf.copy(), vxfreq.FrequencyBuffer(2, 2), buf.copy()
        f.apply(a)
        twin.apply(buf, b)
        f.apply(c, c)
        assert a == c and a != buf
        assert np.asarray(a).tobytes() == np.asarray(b).tobytes()


def test_filter_parameters_and_repr():
    band = vxfreq.BandReject(0.02, 0.01, 0.125, (64, 32), dc_removal_radius=3)
    assert (band.sigma, band.plateau, band.frequency, band.size) == (0.02, 0.01, 0.125, (64, 32))
    assert band.dc_removal_radius == band.dc_protection_radius == 3
    assert repr(band) == ("BandReject(sigma=0.02, plateau=0.01, frequency=0.125, size=(64, 32), "
                          "dc_removal_radius=3)")
    gabor = vxfreq.Gabor((0.04, 0.02), (0.02, 0.0), 0.5, 0.2, (64, 32))
    assert (gabor.sigma, gabor.plateau, gabor.angle) == ((0.04, 0.02), (0.02, 0.0), 0.5)
    assert gabor.support_width % 2 == 1 and gabor.support_height % 2 == 1
    # Setting parameters rebuilds: the same filter as one built with them.
    gabor.angle, gabor.size, gabor.sigma = 1.0, (32, 32), (0.05, 0.03)
    assert gabor == vxfreq.Gabor((0.05, 0.03), (0.02, 0.0), 1.0, 0.2, (32, 32))
    band.frequency = 0.25
    assert band == vxfreq.BandReject(0.02, 0.01, 0.25, (64, 32), 3) and band != vxfreq.BandReject(
        0.02, 0.01, 0.25, (64, 32), 2)
    assert vxfreq.ImageFilter(spectrum()).size == (48, 30)
    with pytest.raises(TypeError):
        vxfreq.Filter()
    with pytest.raises(TypeError, match="not one of this filter class"):
        vxfreq.Gabor.__new__(vxfreq.Gabor).__setstate__(band.__getstate__())


def test_filters_copied_for_another_size():
    *parametric, image = filters((48, 30))
    for f in parametric:
        g = f.for_size((17, 125))
        f.size = (17, 125)
        assert type(g) is type(f) and g == f
    assert image.for_size((48, 30)) == image
    with pytest.raises(vxfreq.InvalidArgument, match="Only band and Gabor"):
        image.for_size((32, 32))


def test_errors_carry_classes_numbers_and_messages():
    for i, name in enumerate(ERRORS):
        cls = getattr(vxfreq, name)
        assert issubclass(cls, vxfreq.Error) and issubclass(cls, Exception)
        assert cls.error_number == 0x10006300 + i
    cases = [
        (lambda: vxfreq.FrequencyBuffer(16385, 2), vxfreq.InvalidSize),
        (lambda: spectrum().get(48, 0), vxfreq.BadCoord),
        (lambda: spectrum().get(-25, 0, centered=True), vxfreq.BadCoord),
        (lambda: vxfreq.BandPass(-0.1, 0.0, 0.1, (64, 32)), vxfreq.InvalidArgument),
        (lambda: vxfreq.Gabor((0.01, -1.0), (0, 0), 0.0, 0.1, (64, 32)), vxfreq.InvalidArgument),
        (lambda: vxfreq.Gabor((0.01, 0.01), (0, 0), 0.0, 0.1, (48, 0)), vxfreq.InvalidSize),
        (lambda: vxfreq.BandPass(0.02, 0.0, 0.1, (32, 32)).apply(spectrum()), vxfreq.InvalidSize),
    ]
    for call, cls in cases:
        with pytest.raises(cls) as err:
            call()
        assert err.value.error_number == cls.error_number and str(err.value)
    with pytest.raises(vxfreq.InvalidArgument, match="32 bits"):
        vxfreq.BandPass(0.02, 0.0, 0.1, (64, 32), dc_removal_radius=2**31)
    band = vxfreq.BandPass(0.02, 0.0, 0.1, (64, 32))
    with pytest.raises(vxfreq.InvalidArgument):
        band.sigma = -1.0
    assert band.sigma == 0.02
    state = band.__getstate__()
    for bad, cls in [(state[:10], vxfreq.EndOfData), (b"\x01\x05\x00\x00\x00Bogus", vxfreq.UnknownClass),
                     (b"\x07", vxfreq.BadData)]:
        with pytest.raises(cls) as err:
            vxfreq.BandPass.__new__(vxfreq.BandPass).__setstate__(bad)
        assert isinstance(err.value, vxfreq.ArchiveError) and err.value.error_number is None
    with pytest.raises(vxfreq.ArchiveError):
        vxfreq.FrequencyBuffer.__new__(vxfreq.FrequencyBuffer).__setstate__(b"\x09")
