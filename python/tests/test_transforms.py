"""Transforms and images: the same bits as the C++ calls, padding as numpy.pad, round
trips, strided input and refused input."""

import numpy as np
import pytest
from scipy.signal import windows

import vxfreq
from conftest import picture, run_reference

DTYPES = [np.uint8, np.uint16, np.float64]
# The padded transforms of the C++ reference program, by the same options.
PADDED = {"padded_reflect": dict(padding="reflect"),
          "padded_edge_hann": dict(padding="edge", window="hann", margin=5),
          "padded_mean_tukey": dict(padding="mean", window="tukey:0.3", margin=0),
          "padded_zero": dict(padding="zero", margin=9),
          "padded_hann": dict(window="hann")}


@pytest.mark.parametrize("dtype", DTYPES)
def test_results_are_the_bits_of_the_cpp_calls(tmp_path, dtype):
    image, offset = picture(40, 56, dtype, seed=4), (3, -2)
    ref = run_reference(tmp_path, image, offset)
    with vxfreq.compatible():  # the C++ default
        got = compute_reference_calls(image, offset, dtype)
    assert sorted(got) == sorted(ref)
    for name, value in got.items():
        assert np.asarray(value).tobytes() == ref[name], name


def compute_reference_calls(image, offset, dtype):
    """The calls of the C++ reference program, with its parameters."""
    spectrum = vxfreq.forward(image, offset=offset)
    assert spectrum.offset == offset
    size = (spectrum.shape[1], spectrum.shape[0])
    band, gabor = (0.02, 0.01, 0.125, size, 2), dict(sigma=(0.04, 0.02), plateau=(0.02, 0.0), angle=0.5, frequency=0.2, size=size,
                                                   dc_removal_radius=1)
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
        got["inverse_" + name] = vxfreq.inverse(reject, dtype=t, magnitude=True)
        got["inverse_%s_normalized" % name] = vxfreq.inverse(reject, t, magnitude=True, normalize=True)
    got["angle_image"], got["angle"] = vxfreq.inverse_angle(gabor_buf, normalize=True)
    got["quadrant_image"], got["quadrant"] = vxfreq.inverse_quadrant(band_pass)
    got["complex_real"], got["complex_imag"] = vxfreq.inverse_complex(band_pass)
    got["back_real"] = vxfreq.inverse(spectrum)
    magnitude = spectrum.magnitude_image(centered=True)
    got.update(magnitude=magnitude, phase=spectrum.phase_image(), real=spectrum.real_image(True),
               imag=spectrum.imag_image(), map_log=vxfreq.map_image(magnitude),
               map_range=vxfreq.map_image(magnitude, "range", 10.0, 5000.0))
    got.update({name: vxfreq.forward(image, offset=offset, **kw) for name, kw in PADDED.items()})
    assert got["padded_reflect"].offset == offset
    got["padded_reflect_inverse"] = vxfreq.inverse(got["padded_reflect"], dtype=dtype, magnitude=True)
    got["padded_reflect_inverse_normalized"] = vxfreq.inverse(got["padded_reflect"], dtype, magnitude=True,
                                                              normalize=True)
    return got


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16])
def test_integer_round_trips_are_exact(dtype):
    for h, w in [(1, 1), (30, 48), (64, 64), (17, 255), (2, 2048)]:
        image = picture(h, w, dtype, seed=h + w)
        image[0, 0] = np.iinfo(dtype).max
        buf = vxfreq.forward(image)
        assert np.array_equal(vxfreq.inverse(buf, dtype=dtype), image)
        assert np.array_equal(vxfreq.inverse(buf.copy(), dtype, in_place=True), image)


def numpy_padded(image, padding, window, margin):
    """The padded picture as numpy builds it: the window's weights, numpy.pad split with
    the larger half right and below, rolled so that the picture sits at [0, 0]."""
    h, w = image.shape
    W, H = vxfreq.padded_transform_size(w, h, margin)
    values = image.astype(np.float64)
    if window is not None:
        weights = {"hann": np.hanning, "tukey": lambda n: windows.tukey(n, 0.4)}[window]
        values = values * np.outer(weights(h), weights(w))
    top, left = (H - h) // 2, (W - w) // 2
    pads = ((top, H - h - top), (left, W - w - left))
    if padding == "mean":
        rounded = window is None and image.dtype != np.float64  # to the pixel type
        mean = np.floor(values.mean() + 0.5) if rounded else values.mean()
        padded = np.pad(values, pads, "constant", constant_values=mean)
    else:
        padded = np.pad(values, pads, {"zero": "constant", "reflect": "symmetric", "edge": "edge"}[padding])
    return np.roll(padded, (-top, -left), axis=(0, 1)), (W - w) // 2, (H - h) // 2


@pytest.mark.parametrize("dtype", DTYPES)
def test_padded_forward_agrees_with_numpy_pad_and_fft2(dtype):
    image = picture(21, 40, dtype, seed=7)
    for padding, window, margin in [("reflect", None, None), ("edge", None, 3), ("mean", None, 30),
                                    ("zero", None, 12), ("reflect", "hann", None),
                                    ("mean", "tukey", 2), ("reflect", None, 0)]:
        spelled = ("tukey", 0.4) if window == "tukey" else window
        buf = vxfreq.forward(image, padding=padding, window=spelled, margin=margin)
        padded, mx, my = numpy_padded(image, padding, window, margin)
        expected = np.fft.fft2(padded)
        assert buf.shape == padded.shape and buf.image_size == (40, 21)
        assert buf.padding_margin == (mx, my) and (margin is None or min(mx, my) >= margin)
        assert np.abs(np.asarray(buf) - expected).max() <= 2e-6 * np.abs(expected).max()
    assert vxfreq.forward(image, padding="zero", margin=0) == vxfreq.forward(image)
    assert vxfreq.forward(image, window="hann") == vxfreq.forward(image, padding="zero", window="hann",
                                                                 margin=0)
    # A margin takes the next fast size of the padded side, none the picture's own.
    assert vxfreq.padded_transform_size(40, 21) == (50, 27) and vxfreq.forward(image).shape == (21, 40)
    assert vxfreq.padded_transform_size(40, 21, size="pow2") == (64, 32)
    assert vxfreq.padded_transform_size(40, 21, 3, size=(30, 49)) == (49, 30)
    assert vxfreq.padded_transform_size(64, 1, margin=10 ** 30) == (16384, 16384)
    with vxfreq.compatible():
        assert vxfreq.padded_transform_size(64, 1, margin=10 ** 30) == (2048, 2048)


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16])
def test_padded_integer_round_trips_are_exact(dtype):
    for h, w in [(1, 1), (30, 48), (64, 64), (17, 255), (2, 2048), (300, 200)]:
        image = picture(h, w, dtype, seed=h * w)
        image[-1, -1] = np.iinfo(dtype).max
        for padding in ["reflect", "edge", "mean", "zero"]:
            buf = vxfreq.forward(image, padding=padding)
            assert buf.image_size == (w, h)
            assert np.array_equal(vxfreq.inverse(buf, dtype=dtype), image), (h, w, padding)


def test_refused_padding_names_what_is_accepted():
    image = picture(8, 8)
    out = vxfreq.forward(image)
    before = out.copy()
    for kwargs, error, what in [
            (dict(padding="wrap"), ValueError, "'zero', 'reflect', 'edge', 'mean' or 'continue'"),
            (dict(padding=1), TypeError, "'mean' or 'continue', not int"),
            (dict(window="hamming"), ValueError, r"'hann', \('tukey', F\) or 'tukey:F'"),
            (dict(window=("tukey", 1.5)), ValueError, "F from 0 to 1, not F = 1.5"),
            (dict(window="tukey:nan"), ValueError, "F from 0 to 1"),
            (dict(window=("tukey",)), ValueError, "'tukey:F'"),
            (dict(window=["tukey", 0.5]), TypeError, "'tukey:F'.* not list"),
            (dict(window=("tukey", "0.5")), TypeError, "F is a number"),
            (dict(margin=-1), ValueError, "integer of at least 0, not -1"),
            (dict(margin=2.0), TypeError, "integer of at least 0, not float"),
            (dict(imag=image, padding="edge"), ValueError, "imag must be None")]:
        with pytest.raises(error, match=what):
            vxfreq.forward(image, out=out, **kwargs)
    assert out == before
    with pytest.raises(TypeError):
        vxfreq.forward(image, None, (0, 0), None, "reflect")  # keywords only
    with pytest.raises(ValueError, match="at least 0"):
        vxfreq.padded_transform_size(8, 8, -2)
    with pytest.raises(vxfreq.InvalidSize):
        vxfreq.padded_transform_size(0, 8)
    assert vxfreq.FrequencyBuffer(5, 3).padding_margin == (0, 0)  # not a padded transform


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
    # Buffer to buffer: unscaled, so forward then inverse gives W*H times the input.
    twice = vxfreq.inverse_fft(vxfreq.forward_fft(buf))
    assert np.allclose(np.asarray(twice), 20 * 24 * np.asarray(buf), rtol=1e-4, atol=1e-2)
    spatial = buf.copy()
    out = vxfreq.inverse_fft(spatial, in_place=True)
    assert spatial.inverse_computed and out == vxfreq.inverse_fft(buf)
    with pytest.raises(vxfreq.InvalidBuffer) as err:
        spatial.get(0, 0)
    assert err.value.error_number == 0x10006304
    # Filters refuse the spatial samples too, in both modes.
    band = vxfreq.BandReject(0.02, 0.0, 0.1, buf.shape[::-1])
    with pytest.raises(vxfreq.InvalidBuffer, match="inverse has been computed"):
        band.apply(spatial)
    with vxfreq.compatible(), pytest.raises(vxfreq.InvalidBuffer):
        band.apply(spatial, vxfreq.FrequencyBuffer(24, 20))


def test_integer_inverses_round_and_saturate_the_real_part():
    # A sharpened bright square: the real part overshoots 0 .. 255 along its edges.
    image = np.full((40, 60), 20, np.uint8)
    image[10:30, 20:40] = 255
    buf = vxfreq.forward(image)
    kernel = np.zeros(buf.shape)  # the transform's size, the picture's own
    kernel[0, 0], kernel[0, 1], kernel[0, -1], kernel[1, 0], kernel[-1, 0] = 5, -1, -1, -1, -1
    vxfreq.ImageFilter(vxfreq.forward(kernel)).apply(buf)
    real = vxfreq.inverse(buf)
    assert real.max() > 400 and real.min() < -150
    for dtype in [np.uint8, np.uint16]:
        expected = np.clip(np.rint(real), 0, np.iinfo(dtype).max).astype(dtype)
        assert np.array_equal(vxfreq.inverse(buf, dtype=dtype), expected)
        out = np.zeros((80, 60), dtype)[::2]
        assert vxfreq.inverse(buf, dtype=dtype, out=out) is out and np.array_equal(out, expected)


def test_refused_input_names_what_is_accepted():
    good = picture(8, 8)
    buf, magnitude = vxfreq.forward(good), vxfreq.forward(good).magnitude_image()
    # A view of 4 x 17000 pixels that occupies one byte: refused before any copy.
    with pytest.raises(vxfreq.InvalidSize) as err:
        vxfreq.forward(np.broadcast_to(np.uint8(1), (4, 17000)))
    assert err.value.error_number == 0x10006302 and "16384" in str(err.value)
    for call, error, what in [
            (lambda: vxfreq.forward(good, good[:4]), ValueError, "shape"),
            (lambda: vxfreq.forward(good, out=good), TypeError, "forward\\(\\): out must be a FrequencyBuffer or None, not numpy.ndarray"),
            (lambda: vxfreq.BandPass(0.02, 0.0, 0.1, (8, 8)).apply(buf, 3), TypeError, "out must be"),
            (lambda: vxfreq.FrequencyBuffer(-1, 4), ValueError, "negative"),
            (lambda: vxfreq.inverse(buf, np.int16, magnitude=True), TypeError, "uint8, numpy.uint16 or numpy.float64"),
            (lambda: vxfreq.inverse(buf, dtype=np.int16), TypeError, "numpy.float32, numpy.uint8 or numpy.uint16"),
            (lambda: vxfreq.map_image(magnitude, "sqrt"), ValueError, "'clamp', 'linear', 'range', 'log' or 'angle'"),
            (lambda: vxfreq.map_image(magnitude, "range"), ValueError, "lo and hi"),
            (lambda: vxfreq.map_image(magnitude, "log", lo=0.0), ValueError, "'range' mapping only"),
            (lambda: vxfreq.map_image(good), TypeError, "float64")]:
        with pytest.raises(error, match=what):
            call()


def test_map_image_rules():
    values = np.array([[-5.0, 0.0, 100.0, 300.0]])
    assert vxfreq.map_image(values, "clamp").tolist() == [[0, 0, 100, 255]]
    assert vxfreq.map_image(values, "range", lo=0.0, hi=200.0).tolist()[0][:2] == [0, 0]
    assert vxfreq.map_image(values, "range", lo=0.0, hi=200.0)[0, 3] == 255
    assert vxfreq.map_image(np.array([[0.0, np.pi]]), "angle").tolist() == [[0, 127]]
