"""filter_picture with the patterns continued into the padding, results written into the
caller's arrays (out=), and pictures read in place at any strides."""

import numpy as np
import pytest
import skimage.data

import vxfreq
from conftest import picture


def border_and_inside(error, strip=16):
    border = np.ones(error.shape, bool)
    border[strip:-strip, strip:-strip] = False
    return np.sqrt(np.mean(error[border] ** 2)), np.sqrt(np.mean(error[~border] ** 2))


def test_a_pattern_is_removed_up_to_the_border():
    photo = skimage.data.coins().astype(np.float64)  # 303 x 384
    y, x = np.mgrid[0:photo.shape[0], 0:photo.shape[1]]
    noisy = photo + 25 * np.cos(2 * np.pi * 0.13 * (x * np.cos(0.5) + y * np.sin(0.5)))
    reject = vxfreq.BandReject(0.004, 0.003, 0.13, (16, 16), 0)
    default = vxfreq.filter_picture(noisy, reject)
    assert reject.size == (16, 16)  # the caller's filter stays as it was built
    assert np.array_equal(default, vxfreq.filter_picture(noisy, [reject], padding="continue"))
    border, inside = border_and_inside(default - photo)
    edge_border, _ = border_and_inside(vxfreq.filter_picture(noisy, reject, padding="edge") - photo)
    assert border < 1.5 * inside and border < 0.6 * edge_border
    rounded = vxfreq.filter_picture(np.clip(noisy, 0, 255).astype(np.uint8), reject, dtype=np.uint8)
    assert rounded.dtype == np.uint8 and rounded.shape == photo.shape


def test_filter_picture_refuses_what_it_cannot_filter():
    reject = vxfreq.BandReject(0.01, 0.0, 0.2, (64, 64), 0)
    image = picture(30, 40)
    with pytest.raises(ValueError, match="at least one filter"):
        vxfreq.filter_picture(image, [])
    with pytest.raises(TypeError, match="real pictures"):
        vxfreq.filter_picture(image.astype(np.complex64), reject)
    with pytest.raises(TypeError, match="vxfreq filters"):
        vxfreq.filter_picture(image, [reject, "gabor"])
    with pytest.raises(ValueError, match="padding must be"):
        vxfreq.filter_picture(image, reject, padding="wrap")
    with pytest.raises(ValueError, match="filter_picture"):
        vxfreq.forward(image, padding="continue")


def test_results_go_into_the_callers_arrays():
    image = picture(48, 60, np.uint16, seed=3)
    buf = vxfreq.forward(image, offset=(2, 1))
    fresh = vxfreq.inverse(buf)
    mine = np.empty((48, 60), order="F")  # not the module's: filled by a copy
    assert vxfreq.inverse(buf, out=mine) is mine and np.array_equal(mine, fresh)
    again = vxfreq.inverse(buf, out=fresh)  # the module's own array: written where it is
    assert again is fresh and np.array_equal(again, mine)
    rounded = np.zeros((48, 60), np.uint16)
    scaled = vxfreq.forward(image, offset=(2, 1), norm="forward")
    vxfreq.inverse(scaled, np.uint16, out=rounded)
    assert np.array_equal(rounded, vxfreq.inverse(scaled, np.uint16, norm="forward"))
    low_bits = vxfreq.inverse(buf, np.uint8, magnitude=True)
    assert np.array_equal(vxfreq.inverse(buf, np.uint8, magnitude=True, out=np.ones_like(low_bits)), low_bits)
    magnitude = buf.magnitude_image(True)
    assert np.array_equal(buf.magnitude_image(True, out=np.empty_like(magnitude)), magnitude)
    view = vxfreq.map_image(magnitude)
    assert np.array_equal(vxfreq.map_image(magnitude, out=np.zeros_like(view)), view)
    with pytest.raises(TypeError, match="float64"):
        vxfreq.inverse(buf, out=np.empty((48, 60), np.float32))
    with pytest.raises(ValueError, match="shape"):
        buf.real_image(out=np.empty((48, 61)))
    with pytest.raises(ValueError, match="writable"):
        frozen = np.empty((48, 60))
        frozen.flags.writeable = False
        vxfreq.inverse(buf, out=frozen)


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32, np.float64])
def test_pictures_are_read_at_any_strides(dtype):
    base = picture(40, 64, np.uint8, seed=7).astype(dtype)
    for view in (base[::-1], base[:, ::-3], np.asfortranarray(base), base.T,
                 np.broadcast_to(base[5], (9, 64))):
        expected = vxfreq.forward(np.ascontiguousarray(view)).to_numpy()
        assert np.array_equal(vxfreq.forward(view).to_numpy(), expected)
