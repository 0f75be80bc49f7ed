"""The workbench's pictures: PNG, PGM and PPM of 8 and 16 bits, grey and colour, read
against Pillow's decoding and round trips, and every refusal with its message."""

import io
import struct
import zlib

import numpy as np
import pytest
from PIL import Image

from vxfreq.workbench import images
from vxfreq.workbench.images import PictureError


def _values(shape, dtype, seed=1):
    top = np.iinfo(dtype).max
    return np.random.default_rng(seed).integers(0, top + 1, shape).astype(dtype)


def _pillow_png(array, mode=None, **options):
    out = io.BytesIO()
    Image.fromarray(array, mode).save(out, "PNG", **options)
    return out.getvalue()


def test_pngs_written_by_pillow_with_every_row_filter():
    # Pillow's encoder picks the row filters adaptively: smooth and noisy rows mix them.
    y, x = np.mgrid[0:37, 0:53]
    smooth = ((x * 3 + y * 5) % 256).astype(np.uint8)
    grey = np.where(x < 26, smooth, _values((37, 53), np.uint8))
    assert np.array_equal(images.read_picture(_pillow_png(grey)), grey)
    rgb = np.dstack([grey, grey[::-1], smooth])
    assert np.array_equal(images.read_picture(_pillow_png(rgb)), rgb)
    rgba = np.dstack([rgb, smooth])
    assert np.array_equal(images.read_picture(_pillow_png(rgba, "RGBA")), rgb)  # alpha dropped
    wide = (grey.astype(np.uint16) * 257 + 3)
    read = images.read_picture(_pillow_png(wide.astype(np.int32), "I"))
    assert read.dtype == np.uint16 and np.array_equal(read, wide)
    palette = Image.fromarray(rgb).quantize(200)  # 8-bit indices
    out = io.BytesIO()
    palette.save(out, "PNG")
    expected = np.asarray(palette.convert("RGB"))
    assert np.array_equal(images.read_picture(out.getvalue()), expected)


@pytest.mark.parametrize("shape,dtype", [((5, 7), np.uint8), ((5, 7), np.uint16),
                                         ((6, 4, 3), np.uint8), ((6, 4, 3), np.uint16)])
def test_round_trips(shape, dtype):
    values = _values(shape, dtype)
    for data in (images.png_bytes(values), images.pnm_bytes(values)):
        read = images.read_picture(data)
        assert read.dtype == dtype and np.array_equal(read, values)
    # Pillow reads what is written (16-bit colour it cannot hold).
    if not (dtype == np.uint16 and len(shape) == 3):
        assert np.array_equal(np.asarray(Image.open(io.BytesIO(images.png_bytes(values)))),
                              values)


def _png(width, height, bits=8, colour=0, rows=b"", interlace=0):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + \
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    head = struct.pack(">IIBBBBB", width, height, bits, colour, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def test_refusals_with_their_messages():
    good = images.png_bytes(_values((20, 30), np.uint8))
    cases = [
        (b"", "not a PNG, PGM or PPM picture"),
        (b"P2\n1 1\n255\n0\n", "a plain-text or 1-bit PNM file: only binary PGM (P5) and PPM "
                               "(P6) are read"),
        (good[:60], "truncated PNG (it ends before all its pixels)"),
        (good[:-12], "truncated PNG (it ends before all its pixels)"),
        (good[:45] + bytes([good[45] ^ 1]) + good[46:],
         "corrupt PNG (a checksum does not match in its IDAT chunk)"),
        (_png(16385, 2), "a picture of 16385 x 2 pixels: the sides must be 1 to 16384"),
        (_png(4, 4, bits=4), "a PNG of 4-bit samples (colour type 0): 8- and 16-bit grey, grey "
                             "with alpha, RGB, RGBA and 8-bit palette pictures are read"),
        (_png(4, 4, interlace=1), "an interlaced PNG: save it without interlacing"),
        (_png(4, 4, rows=b"\0" * 30), "corrupt PNG (more pixel data than its header says)"),
        (_png(2, 2, rows=b"\x09\0\0\0\0\0"), "corrupt PNG: row filter type 9"),
        (b"P6\n10 10\n70000\n", "a PNM maximum value of 70000: it must be 1 to 65535"),
        (b"P5\n10 10\n255\n" + b"\0" * 99, "truncated PNM (it ends before all its pixels)"),
        (b"P5\n10", "truncated or corrupt PNM header"),
    ]
    for data, message in cases:
        with pytest.raises(PictureError) as e:
            images.read_picture(data)
        assert str(e.value) == message, data[:20]


def test_the_limit_is_checked_before_memory_is_taken():
    # A 16384 x 16384 16-bit colour header (1.5 GB decoded) in a file of a few hundred bytes.
    bomb = _png(16384, 16384, bits=16, colour=2, rows=b"\0" * 1000)
    with pytest.raises(PictureError, match=r"^a picture of 16384 x 16384 pixels takes 1536 MB "
                                           r"decoded, above the limit of 512 MB$"):
        images.read_picture(bomb)
    small = images.pnm_bytes(np.zeros((100, 100), np.uint16))
    assert images.read_picture(small, limit=20000).shape == (100, 100)
    with pytest.raises(PictureError, match="above the limit"):
        images.read_picture(small, limit=19999)
    # A stream that inflates far beyond its header's size is cut off, not inflated whole.
    flood = _png(4, 4, rows=b"\0" * 50_000_000)
    with pytest.raises(PictureError, match="more pixel data"):
        images.read_picture(flood)
