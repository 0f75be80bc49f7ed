"""Transforms and images: numpy's FFT, the same bits as the C++ calls, round trips,
strided input and refused input."""

import numpy as np
import pytest

import vxfreq
from conftest import picture, run_reference

DTYPES = [np.uint8, np.uint16, np.float64]


def padded_fft(values, shape):
    return np.fft.fft2(values.astype(np.float64), s=shape)


@pytest.mark.parametrize("dtype", DTYPES)
def test_forward_agrees_with_numpy_fft2(dtype):
    real, imag = picture(30, 48, dtype, seed=2), picture(30, 48, dtype, seed=3)
    for buf, expected in [
        (vxfreq.forward(real), padded_fft(real, (32, 64))),
        (vxfreq.forward(real, imag), padded_fft(real, (32, 64)) + 1j * padded_fft(imag, (32, 64))),
    ]:
        got = np.asarray(buf)
        assert got.dtype == np.complex64 and got.shape == (32, 64) == buf.shape
        assert buf.image_size == (48, 30)
        assert np.abs(got - expected).max() <= 2e-6 * np.abs(expected).max()


@pytest.mark.parametrize("dtype", DTYPES)
def test_results_are_the_bits_of_the_cpp_calls(tmp_path, dtype, gabor_args):
    image, offset = picture(40, 56, dtype, seed=4), (3, -2)
    ref = run_reference(tmp_path, image, offset)
    spectrum = vxfreq.forward(image, offset=offset)
    assert spectrum.offset == offset
    size = (spectrum.shape[1], spectrum.shape[0])
    band, gabor = (0.02, 0.01, 0.125, size, 2), dict(gabor_args, size=size, dc_removal_radius=1)
    filtered = {}
    for name, f in [("bandpass", vxfreq.BandPass(*band)), ("bandreject", vxfreq.BandReject(*band)),
                    ("gabor", vxfreq.Gabor(**gabor)), ("gaborreject", vxfreq.GaborReject(**gabor))]:
        filtered[name] = vxfreq.FrequencyBuffer(1, 1)
        f.apply(spectrum, filtered[name])
    filtered["imagefilter"] = spectrum.copy()
    vxfreq.ImageFilter(filtered["gabor"]).apply(filtered["imagefilter"])
    isub = spectrum.copy()
    isub -= filtered["gabor"]
    gabor_buf, reject, band_pass = filtered["gabor"], filtered["gaborreject"], filtered["bandpass"]
    got = {name: np.asarray(buf) for name, buf in filtered.items()}
    got.update(forward=spectrum, add=spectrum + gabor_buf, subtract=spectrum - gabor_buf,
               multiply=spectrum * gabor_buf, conj=spectrum.conj(), isub=isub,
               forward_fft=vxfreq.forward_fft(spectrum), inverse_fft=vxfreq.inverse_fft(spectrum))
    for name, t in [("u8", np.uint8), ("u16", np.uint16), ("f64", np.float64)]:
        got["inverse_" + name] = vxfreq.inverse(reject, dtype=t)
        got["inverse_%s_normalized" % name] = vxfreq.inverse(reject, t, normalize=True)
    got["angle_image"], got["angle"] = vxfreq.inverse_angle(gabor_buf, normalize=True)
    got["quadrant_image"], got["quadrant"] = vxfreq.inverse_quadrant(band_pass)
    got["complex_real"], got["complex_imag"] = vxfreq.inverse_complex(band_pass)
    magnitude = spectrum.magnitude_image(centered=True)
    got.update(magnitude=magnitude, phase=spectrum.phase_image(), real=spectrum.real_image(True),
               imag=spectrum.imag_image(), map_log=vxfreq.map_image(magnitude),
               map_range=vxfreq.map_image(magnitude, "range", 10.0, 5000.0))
    assert sorted(got) == sorted(ref)
    for name, value in got.items():
        assert np.asarray(value).tobytes() == ref[name], name


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16])
def test_integer_round_trips_are_exact(dtype):
    for h, w in [(1, 1), (30, 48), (64, 64), (17, 255), (2, 2048)]:
        image = picture(h, w, dtype, seed=h + w)
        image[0, 0] = np.iinfo(dtype).max
        buf = vxfreq.forward(image)
        assert np.array_equal(vxfreq.inverse(buf, dtype=dtype), image)
        assert np.array_equal(vxfreq.inverse(buf.copy(), dtype, in_place=True), image)


@pytest.mark.parametrize("dtype", DTYPES)
def test_strided_views_give_the_bits_of_contiguous_copies(dtype):
    base = picture(80, 90, dtype, seed=5)
    for view in [base[::2, ::3], base.T, base[::-1, 5:60], np.asfortranarray(base), base[3:40:5, ::-2]]:
        assert vxfreq.forward(view) == vxfreq.forward(np.ascontiguousarray(view))
        pair = vxfreq.forward(view, view[::-1])
        assert pair == vxfreq.forward(np.ascontiguousarray(view), np.ascontiguousarray(view[::-1]))


def test_inverse_outputs_and_buffer_transforms():
    image = picture(20, 24, np.float64, seed=6)
    buf = vxfreq.forward(image)
    back = vxfreq.inverse(buf, np.float64)
    assert back.dtype == np.float64 and back.shape == (20, 24)
    assert np.abs(back - np.abs(image)).max() < 1e-3
    real, imag = vxfreq.inverse_complex(buf)
    assert np.abs(real - image).max() < 1e-3 and np.abs(imag).max() < 1e-3
    # Buffer to buffer: unscaled, so forward then inverse gives W*H times the input.
    twice = vxfreq.inverse_fft(vxfreq.forward_fft(buf))
    assert np.allclose(np.asarray(twice), 32 * 32 * np.asarray(buf), rtol=1e-4, atol=1e-2)
    spatial = buf.copy()
    out = vxfreq.inverse_fft(spatial, in_place=True)
    assert spatial.inverse_computed and out == vxfreq.inverse_fft(buf)
    with pytest.raises(vxfreq.InvalidBuffer) as err:
        spatial.get(0, 0)
    assert err.value.error_number == 0x10006304


def test_refused_input_names_what_is_accepted():
    good = picture(8, 8)
    for bad in [good.astype(np.int32), good.astype(np.float32), good.astype(">u2"), [[1, 2], [3, 4]]]:
        with pytest.raises(TypeError, match="uint8, uint16 or float64"):
            vxfreq.forward(bad)
    with pytest.raises(ValueError, match="2-D"):
        vxfreq.forward(np.zeros((2, 3, 4), np.uint8))
    with pytest.raises(ValueError, match="shape"):
        vxfreq.forward(good, good[:4])
    with pytest.raises(TypeError, match="dtype"):
        vxfreq.forward(good, good.astype(np.uint16))
    # A view of 4 x 5000 pixels that occupies one byte: refused before any copy.
    with pytest.raises(vxfreq.InvalidSize) as err:
        vxfreq.forward(np.broadcast_to(np.uint8(1), (4, 5000)))
    assert err.value.error_number == 0x10006302 and "2048" in str(err.value)
    buf = vxfreq.forward(good)
    with pytest.raises(TypeError, match="out must be a FrequencyBuffer or None, not ndarray"):
        vxfreq.forward(good, out=good)
    with pytest.raises(TypeError, match="out must be"):
        vxfreq.BandPass(0.02, 0.0, 0.1, (8, 8)).apply(buf, 3)
    with pytest.raises(ValueError, match="negative"):
        vxfreq.FrequencyBuffer(-1, 4)
    with pytest.raises(TypeError, match="uint8, numpy.uint16 or numpy.float64"):
        vxfreq.inverse(buf, dtype=np.int16)
    magnitude = buf.magnitude_image()
    with pytest.raises(ValueError, match="'clamp', 'linear', 'range', 'log' or 'angle'"):
        vxfreq.map_image(magnitude, "sqrt")
    with pytest.raises(ValueError, match="lo and hi"):
        vxfreq.map_image(magnitude, "range")
    with pytest.raises(ValueError, match="'range' mapping only"):
        vxfreq.map_image(magnitude, "log", lo=0.0)
    with pytest.raises(TypeError, match="float64"):
        vxfreq.map_image(good)


def test_map_image_rules():
    values = np.array([[-5.0, 0.0, 100.0, 300.0]])
    assert vxfreq.map_image(values, "clamp").tolist() == [[0, 0, 100, 255]]
    assert vxfreq.map_image(values, "range", lo=0.0, hi=200.0).tolist()[0][:2] == [0, 0]
    assert vxfreq.map_image(values, "range", lo=0.0, hi=200.0)[0, 3] == 255
    assert vxfreq.map_image(np.array([[0.0, np.pi]]), "angle").tolist() == [[0, 127]]
