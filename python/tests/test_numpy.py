"""numpy's conventions: the two modes, the value types forward reads, the inverse's
dtypes, FrequencyBuffer.from_array / to_numpy and refused input."""

import threading

import numpy as np
import pytest

import vxfreq
from conftest import picture, run_reference


def test_extended_mode_by_default_compatible_inside_the_block():
    camera = np.broadcast_to(np.uint16(7), (3000, 4000))
    assert vxfreq.forward(camera).shape == (3000, 4000) and vxfreq.max_transform_side() == 16384
    seen = []
    with vxfreq.compatible() as outer:
        with pytest.raises(vxfreq.InvalidSize, match="2048"):
            vxfreq.forward(camera)
        with vxfreq.compatible():
            assert not vxfreq.extended_mode() and vxfreq.max_transform_side() == 2048
        assert outer.entered and not vxfreq.extended_mode()
        other = threading.Thread(target=lambda: seen.append(vxfreq.extended_mode()))
        other.start()
        other.join()
        with pytest.raises(RuntimeError, match="entered already"):
            outer.__enter__()
    assert seen == [True] and vxfreq.extended_mode() and not outer.entered
    # Full-range 16-bit noise comes back exactly in the extended mode only.
    noise = np.random.default_rng(5).integers(0, 65536, (2048, 2048), dtype=np.uint16)
    assert np.array_equal(vxfreq.inverse(vxfreq.forward(noise), np.uint16), noise)
    with vxfreq.compatible():
        back = vxfreq.inverse(vxfreq.forward(noise), np.uint16, magnitude=True)
    assert 0 < np.count_nonzero(back != noise) < noise.size // 50


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16])
def test_offsets_come_back_in_place_and_shifted_when_compatible(tmp_path, dtype):
    image = picture(30, 40, dtype, seed=3)
    for offset in [(10, 20), (-3, 4), (3, -4)]:
        buf = vxfreq.forward(image, offset=offset)
        assert buf.offset == offset and np.array_equal(vxfreq.inverse(buf, dtype), image)
        with vxfreq.compatible():
            shifted = vxfreq.inverse(vxfreq.forward(image, offset=offset))
        assert shifted.tobytes() == run_reference(tmp_path, image, offset)["back_real"]
        assert np.abs(shifted - image).max() > 50


def test_value_types_are_read_exactly():
    base = picture(30, 48, np.uint8, seed=4)
    expected = vxfreq.forward(base.astype(np.float64))
    for t in [np.uint8, np.int8, np.int16, "<i4", ">i4", np.uint32, np.int64, np.uint64,
              np.float16, np.float32, ">u2", ">f8"]:
        assert vxfreq.forward((base // 2).astype(t)) == vxfreq.forward(base // 2 * 1.0), t
    assert vxfreq.forward(base) == expected
    assert vxfreq.forward(base > 99) == vxfreq.forward((base > 99).astype(np.uint8))
    # float32 in place, whatever the strides, and the complex engine on complex arrays.
    floats = (picture(40, 50, np.float64, seed=5) / 7).astype(np.float32)
    re, im = floats[:30, :48], floats[10:, 2:]
    for view in [re, re[::2, ::3], re[::-1], np.asfortranarray(re)]:
        assert vxfreq.forward(view) == vxfreq.forward(view.astype(np.float64))
    pair = vxfreq.forward(re.astype(np.float64), im.astype(np.float64))
    for values in [re + 1j * im, (re + 1j * im).astype(np.complex64)]:
        assert vxfreq.forward(values) == pair == vxfreq.forward(np.asfortranarray(values))
    assert vxfreq.forward(re, im) == pair  # float32 pairs are read as float64
    spectrum = np.fft.fft2(re.astype(np.float64) + 1j * im)
    assert np.abs(np.asarray(pair) - spectrum).max() < 2e-6 * np.abs(spectrum).max()


def test_refused_values_in_order():
    for bad, error, what in [
            (np.zeros((0, 5)), ValueError, "empty"), (np.zeros((3, 4, 1)), ValueError, "2-D"),
            (np.array([[2 ** 60]]), ValueError, "beyond 2\\*\\*53"),
            (np.ones((2, 2), np.longdouble), TypeError, "no exact float64"),
            (np.array([[None]]), TypeError, "bool, integer, float or complex")]:
        with pytest.raises(error, match=what):
            vxfreq.forward(bad, norm="bad")  # the picture is checked first
    ones, nan = np.ones((2, 2)), float("nan")
    for call, error, what in [
            (lambda: vxfreq.forward(ones, norm="bad"), ValueError, "'backward', 'ortho' or 'forward', not 'bad'"),
            (lambda: vxfreq.forward(ones, np.ones((2, 0))), ValueError, "imag must not be empty"),
            (lambda: vxfreq.forward(ones + 0j, padding="reflect"), ValueError, "real images"),
            (lambda: vxfreq.forward(ones + 0j, ones, norm="bad"), TypeError, "complex values"),
            (lambda: vxfreq.forward(ones, padding="continue", margin=-1), ValueError, "'continue'"),
            (lambda: vxfreq.forward(ones, np.ones((2, 3)), padding="zero"), ValueError, "shape of"),
            (lambda: vxfreq.filter_picture(ones + 0j, [], dtype=str), TypeError, "real pictures"),
            (lambda: vxfreq.filter_picture(ones, [], padding="bogus"), ValueError, "one filter"),
            (lambda: vxfreq.Gabor((0.04, 0.02), (0, 0), nan, 0.2, (8, 8)), vxfreq.InvalidArgument,
             "^Angle must be a finite number.$"),
            (lambda: vxfreq.Gabor((0.04, 0.02), (0, 0), -np.inf, 0.2, (8, 8)), vxfreq.InvalidArgument, "finite")]:
        with pytest.raises(error, match=what):
            call()
    gabor = vxfreq.GaborReject((0.04, 0.02), (0.0, 0.0), 0.5, 0.2, (64, 64))
    with pytest.raises(vxfreq.InvalidArgument, match="finite"):
        gabor.angle = float("nan")
    assert gabor.angle == 0.5


def test_inverse_is_the_real_part_rounded_and_saturated():
    values = np.array([[-3.2, 300.7, 2.4], [3.6, 100.4, 65600.0]])
    buf = vxfreq.forward(values)
    back = vxfreq.inverse(buf)
    assert back.dtype == np.float64 and np.abs(back - values).max() < 1e-2
    padded = np.fft.ifft2(np.asarray(buf).astype(np.complex128)).real[:2, :3]
    assert np.abs(back - padded).max() < 1e-6 * np.abs(values).max()
    assert vxfreq.inverse(buf, np.uint8).tolist() == [[0, 255, 2], [4, 100, 255]]
    assert vxfreq.inverse(buf, np.uint16).tolist() == [[0, 301, 2], [4, 100, 65535]]
    assert vxfreq.inverse(buf, np.float32).dtype == np.float32
    # The library's conversions: magnitudes, low bits without saturation.
    assert vxfreq.inverse(buf, np.uint8, magnitude=True).tolist() == [[3, 45, 2], [4, 100, 64]]
    with pytest.raises(ValueError, match="magnitude=True"):
        vxfreq.inverse(buf, normalize=True)
    with pytest.raises(ValueError, match="norm must be 'backward'"):
        vxfreq.inverse(buf, magnitude=True, norm="ortho")


def test_from_array_and_to_numpy():
    image = picture(3, 5, np.float64, seed=7)
    values = np.fft.fft2(image, s=(4, 8))
    buf = vxfreq.FrequencyBuffer.from_array(values, image_size=(5, 3), offset=(2, -1))
    assert (buf.shape, buf.image_size, buf.offset) == ((4, 8), (5, 3), (2, -1))
    copied = buf.to_numpy()
    assert np.array_equal(copied, values.astype(np.complex64))
    copied[0, 0] = 0
    assert buf.get(0, 0) == complex(np.complex64(values[0, 0])) and not buf.padding_margin[0]
    assert np.abs(vxfreq.inverse(buf) - image).max() < 1e-3
    assert vxfreq.FrequencyBuffer.from_array(values.real.astype(">f8")).image_size == (8, 4)
    with vxfreq.compatible(), pytest.raises(ValueError, match="sides the mode transforms"):
        vxfreq.FrequencyBuffer.from_array(values[:3])
    assert vxfreq.FrequencyBuffer.from_array(values[:3]).shape == (3, 8)
    for bad, kwargs, error, what in [
            (values[0], {}, ValueError, "2-D"),
            (values[:0], {}, ValueError, "empty"), (np.array([["a"]]), {}, TypeError, "numbers"),
            (values, dict(image_size=(9, 3)), vxfreq.InvalidSize, "transform size"),
            (values, dict(offset=(2 ** 40, 0)), vxfreq.InvalidArgument, "32 bits")]:
        with pytest.raises(error, match=what):
            vxfreq.FrequencyBuffer.from_array(bad, **kwargs)
