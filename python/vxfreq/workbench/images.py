"""Pictures in and out of the workbench: 8- and 16-bit grey and colour PNG, PGM and PPM.

read_picture() gives a numpy array (H, W) for grey pictures or (H, W, 3) for colour ones,
uint8 or uint16 as the file holds them; an alpha channel is dropped, palette pictures
are expanded to their colours. Everything is checked before memory is taken: the
sides (1 to 16384), the decoded size against a limit (PictureError otherwise), and
the data as it is read, so that a truncated or corrupt file gets a PictureError that
says what is wrong, never a half-read picture. PNG's compressed data is inflated in
bounded steps, so a small file that would inflate beyond its header's size is refused
without the memory it asks for. The row filters are undone by the compiled module.

write_png() and write_pnm() write such arrays, at their own bit depth.
"""

import struct
import zlib

import numpy as np

import importlib

# The package's private names (the compiled module, its helpers), which its stubs leave out.
_vxfreq = importlib.import_module("vxfreq._vxfreq")

MAX_SIDE = 16384
DEFAULT_LIMIT = 512 * 1024 * 1024  # bytes of decoded pixels

_PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
# PNG colour types: channels in the file.
_PNG_CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


class PictureError(ValueError):
    """A file that is not a picture the workbench reads, or one that is too large."""


def _check_size(width, height, channels, bits, limit, kind):
    if not (1 <= width <= MAX_SIDE and 1 <= height <= MAX_SIDE):
        raise PictureError("a %s of %d x %d pixels: the sides must be 1 to %d"
                           % (kind, width, height, MAX_SIDE))
    decoded = width * height * channels * (2 if bits == 16 else 1)
    if decoded > limit:
        raise PictureError("a %s of %d x %d pixels takes %.0f MB decoded, above the limit of "
                           "%.0f MB" % (kind, width, height, decoded / 2**20, limit / 2**20))


def read_picture(data, limit=DEFAULT_LIMIT):
    """The picture in `data` (the bytes of a PNG, PGM or PPM file) as a numpy array: (H, W)
    grey or (H, W, 3) colour, uint8 or uint16. PictureError for anything else."""
    data = bytes(data)
    if data.startswith(_PNG_SIGNATURE):
        return _read_png(data, limit)
    if data[:2] in (b"P5", b"P6"):
        return _read_pnm(data, limit)
    if data[:2] in (b"P1", b"P2", b"P3", b"P4"):
        raise PictureError("a plain-text or 1-bit PNM file: only binary PGM (P5) and PPM (P6) "
                           "are read")
    raise PictureError("not a PNG, PGM or PPM picture")


def _read_pnm(data, limit):
    fields, pos = [], 2
    while len(fields) < 3:
        while pos < len(data) and data[pos:pos + 1].isspace():
            pos += 1
        if pos < len(data) and data[pos:pos + 1] == b"#":
            while pos < len(data) and data[pos:pos + 1] not in (b"\n", b"\r"):
                pos += 1
            continue
        start = pos
        while pos < len(data) and data[pos:pos + 1].isdigit():
            pos += 1
        if start == pos:
            raise PictureError("truncated or corrupt PNM header")
        fields.append(int(data[start:pos]))
    if pos >= len(data) or not data[pos:pos + 1].isspace():
        raise PictureError("truncated or corrupt PNM header")
    pos += 1
    width, height, maxval = fields
    channels = 3 if data[:2] == b"P6" else 1
    if not 1 <= maxval <= 65535:
        raise PictureError("a PNM maximum value of %d: it must be 1 to 65535" % maxval)
    bits = 16 if maxval > 255 else 8
    _check_size(width, height, channels, bits, limit, "picture")
    count = width * height * channels
    dtype = np.dtype(">u2") if bits == 16 else np.dtype(np.uint8)
    if len(data) - pos < count * dtype.itemsize:
        raise PictureError("truncated PNM (it ends before all its pixels)")
    values = np.frombuffer(data, dtype, count, pos).astype(dtype.newbyteorder("="))
    shape = (height, width, 3) if channels == 3 else (height, width)
    return values.reshape(shape)


def _read_png(data, limit):
    pos = len(_PNG_SIGNATURE)
    header = None
    palette = None
    inflater = zlib.decompressobj()
    raw = []
    expected = None
    got = 0
    ended = False
    while not ended:
        if pos + 8 > len(data):
            raise PictureError("truncated PNG (it ends before all its pixels)")
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if len(body) < length or pos + 12 + length > len(data):
            raise PictureError("truncated PNG (it ends before all its pixels)")
        crc = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise PictureError("corrupt PNG (a checksum does not match in its %s chunk)"
                               % kind.decode("latin-1"))
        pos += 12 + length
        if header is None:
            if kind != b"IHDR" or length != 13:
                raise PictureError("corrupt PNG (no header)")
            width, height, bits, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if colour not in _PNG_CHANNELS or bits not in (8, 16) or (colour == 3 and bits != 8):
                raise PictureError("a PNG of %d-bit samples (colour type %d): 8- and 16-bit grey, "
                                   "grey with alpha, RGB, RGBA and 8-bit palette pictures are read"
                                   % (bits, colour))
            if interlace:
                raise PictureError("an interlaced PNG: save it without interlacing")
            channels = _PNG_CHANNELS[colour]
            out_channels = 3 if colour in (2, 3, 6) else 1
            _check_size(width, height, max(channels, out_channels), bits, limit, "picture")
            pixel_bytes = channels * bits // 8
            row_bytes = width * pixel_bytes
            expected = height * (row_bytes + 1)
            header = (width, height, bits, colour)
        elif kind == b"PLTE":
            palette = np.frombuffer(body, np.uint8).reshape(-1, 3) if length % 3 == 0 else None
        elif kind == b"IDAT":
            try:
                piece = inflater.decompress(body, expected - got + 1)
                while inflater.unconsumed_tail and len(piece) + got <= expected:
                    piece += inflater.decompress(inflater.unconsumed_tail, expected - got + 1)
            except zlib.error:
                raise PictureError("corrupt PNG (its compressed pixel data is damaged)") from None
            got += len(piece)
            if got > expected:
                raise PictureError("corrupt PNG (more pixel data than its header says)")
            raw.append(piece)
        elif kind == b"IEND":
            ended = True
    if header is None:
        raise PictureError("corrupt PNG (no header)")
    if got < expected:
        raise PictureError("truncated PNG (it ends before all its pixels)")
    width, height, bits, colour = header
    try:
        rows = _vxfreq._png_unfilter(b"".join(raw), height, row_bytes, max(1, pixel_bytes))
    except ValueError as e:
        raise PictureError(str(e)) from None
    dtype = np.dtype(">u2") if bits == 16 else np.dtype(np.uint8)
    values = np.frombuffer(rows, dtype).astype(dtype.newbyteorder("="))
    values = values.reshape(height, width, channels)
    if colour == 3:
        if palette is None:
            raise PictureError("corrupt PNG (a palette picture without its palette)")
        if int(values.max()) >= len(palette):
            raise PictureError("corrupt PNG (a pixel beyond its palette)")
        return palette[values[:, :, 0]]
    if colour in (0, 4):
        return np.ascontiguousarray(values[:, :, 0])
    return np.ascontiguousarray(values[:, :, :3])


def _chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body
            + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def png_bytes(picture, level=6):
    """A PNG file of `picture` ((H, W) grey or (H, W, 3) colour, uint8 or uint16)."""
    picture = np.asarray(picture)
    if picture.dtype not in (np.uint8, np.uint16) or picture.ndim not in (2, 3):
        raise ValueError("a PNG holds (H, W) or (H, W, 3) uint8 or uint16 pixels")
    height, width = picture.shape[:2]
    colour = 2 if picture.ndim == 3 else 0
    bits = 16 if picture.dtype == np.uint16 else 8
    rows = picture.astype(picture.dtype.newbyteorder(">")).reshape(height, -1).view(np.uint8)
    # Each row after filter type 0 (none).
    raw = np.zeros((height, rows.shape[1] + 1), np.uint8)
    raw[:, 1:] = rows
    header = struct.pack(">IIBBBBB", width, height, bits, colour, 0, 0, 0)
    return (_PNG_SIGNATURE + _chunk(b"IHDR", header)
            + _chunk(b"IDAT", zlib.compress(raw.tobytes(), level)) + _chunk(b"IEND", b""))


def pnm_bytes(picture):
    """A binary PGM (grey) or PPM (colour) file of `picture`, 8 or 16 bit."""
    picture = np.asarray(picture)
    height, width = picture.shape[:2]
    kind = b"P6" if picture.ndim == 3 else b"P5"
    top = 65535 if picture.dtype == np.uint16 else 255
    values = picture.astype(picture.dtype.newbyteorder(">")) if top == 65535 else picture
    return b"%s\n%d %d\n%d\n" % (kind, width, height, top) + np.ascontiguousarray(values).tobytes()


def write_picture(path, picture):
    """Writes `picture` to `path`: PNG, or PGM / PPM for the extensions .pgm, .ppm, .pnm."""
    lower = str(path).lower()
    data = pnm_bytes(picture) if lower.endswith((".pgm", ".ppm", ".pnm")) else png_bytes(picture)
    with open(path, "wb") as f:
        f.write(data)


def grey_levels(picture):
    """The grey levels of a picture as float64: 0.299 R + 0.587 G + 0.114 B for colour."""
    if picture.ndim == 2:
        return picture.astype(np.float64)
    p = picture.astype(np.float64)
    return 0.299 * p[:, :, 0] + 0.587 * p[:, :, 1] + 0.114 * p[:, :, 2]
