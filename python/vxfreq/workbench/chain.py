"""The workbench's filter chain: a list of entries as the page edits them, the library's
filters they make, the filtered picture, and the same chain as an archive (for C++), a
Python snippet and a command line.

An entry is a dict:
  {"type": "bandpass" | "bandreject", "frequency": f, "sigma": s, "plateau": p, "dc": r}
  {"type": "gabor" | "gaborreject", "frequency": f, "angle": degrees, "sigma": [along,
   across], "plateau": [along, across], "dc": r}
frequencies, sigmas and plateaus in cycles per pixel, angles in degrees from +x towards
+y (y pointing down). A Gabor-reject entry removes a pattern and its mirror: it makes
two library filters, at the angle and at the angle + 180 degrees (each library filter
treats one lobe of the spectrum). The filters are applied in the list's order.
"""

import importlib
import math

import numpy as np

import vxfreq

from . import images

# The package's private names (the compiled module, its helpers), which its stubs leave out.
_vxfreq = importlib.import_module("vxfreq._vxfreq")
_package = importlib.import_module("vxfreq")

TYPES = ("bandpass", "bandreject", "gabor", "gaborreject")
PADDINGS = ("continue", "reflect", "edge", "mean", "zero")
MODES = ("extended", "compatible")
_CLASSES = {"bandpass": "BandPass", "bandreject": "BandReject", "gabor": "Gabor",
            "gaborreject": "GaborReject"}


class ChainError(ValueError):
    """A chain, padding or mode the workbench cannot use, with what is wrong with it."""


def _number(entry, key, low, high, index):
    value = entry.get(key)
    if isinstance(value, bool) or not isinstance(value, (int, float)) or not math.isfinite(value):
        raise ChainError("filter %d: %s must be a number" % (index + 1, key))
    if not low <= value <= high:
        raise ChainError("filter %d: %s %r is outside %g to %g" % (index + 1, key, value, low, high))
    return float(value)


def _pair(entry, key, low, high, index):
    value = entry.get(key)
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        value = [value, value]
    if not isinstance(value, (list, tuple)) or len(value) != 2:
        raise ChainError("filter %d: %s must be a pair of numbers" % (index + 1, key))
    return tuple(_number({key: v}, key, low, high, index) for v in value)


def normalize(chain):
    """The chain's entries checked and in their canonical form (ChainError otherwise)."""
    if not isinstance(chain, list) or len(chain) > 64:
        raise ChainError("the chain must be a list of at most 64 filters")
    out = []
    for i, entry in enumerate(chain):
        if not isinstance(entry, dict) or entry.get("type") not in TYPES:
            raise ChainError("filter %d: type must be one of %s" % (i + 1, ", ".join(TYPES)))
        kind = entry["type"]
        dc = entry.get("dc", 0)
        if isinstance(dc, bool) or not isinstance(dc, int) or not 0 <= dc <= 64:
            raise ChainError("filter %d: dc must be an integer from 0 to 64" % (i + 1))
        e = {"type": kind, "frequency": _number(entry, "frequency", 0.0, 0.5, i), "dc": dc}
        if kind.startswith("band"):
            e["sigma"] = _number(entry, "sigma", 1e-6, 0.5, i)
            e["plateau"] = _number(entry, "plateau", 0.0, 0.5, i)
        else:
            e["angle"] = _number(entry, "angle", -360.0, 360.0, i)
            e["sigma"] = list(_pair(entry, "sigma", 1e-6, 0.5, i))
            e["plateau"] = list(_pair(entry, "plateau", 0.0, 0.5, i))
        out.append(e)
    return out


def check_options(padding, mode):
    if padding not in PADDINGS:
        raise ChainError("padding must be one of %s" % ", ".join(PADDINGS))
    if mode not in MODES:
        raise ChainError("mode must be extended or compatible")


def transform_size(shape, mode):
    """The padded transform size (W, H) the chain's filters are built for."""
    height, width = shape[:2]
    if mode == "compatible":
        with vxfreq.compatible():
            return vxfreq.padded_transform_size(width, height)
    return vxfreq.padded_transform_size(width, height)


def _radians(degrees):
    return math.radians(degrees)


def library_filters(chain, size):
    """The library's filters of the (normalized) chain, built for transform size (W, H), in
    the order they are applied."""
    filters = []
    for e in chain:
        cls = getattr(vxfreq, _CLASSES[e["type"]])
        if e["type"].startswith("band"):
            filters.append(cls(e["sigma"], e["plateau"], e["frequency"], size, e["dc"]))
            continue
        angle = _radians(e["angle"])
        args = (tuple(e["sigma"]), tuple(e["plateau"]))
        filters.append(cls(*args, angle, e["frequency"], size, e["dc"]))
        if e["type"] == "gaborreject":
            filters.append(cls(*args, angle + math.pi, e["frequency"], size, e["dc"]))
    return filters


def apply_filters(picture, filters, padding):
    """The picture filtered by the library's filters, channel by channel, in its own dtype
    (rounded and saturated as the library converts); the picture itself without filters."""
    if not filters:
        return picture.copy()
    if picture.ndim == 2:
        return vxfreq.filter_picture(picture, filters, padding=padding, dtype=picture.dtype)
    out = np.empty_like(picture)
    for c in range(picture.shape[2]):
        out[:, :, c] = vxfreq.filter_picture(np.ascontiguousarray(picture[:, :, c]), filters,
                                             padding=padding, dtype=picture.dtype)
    return out


def filtered(picture, chain, padding, mode):
    """The picture filtered by the chain (entries as the page sends them)."""
    chain = normalize(chain)
    check_options(padding, mode)
    if mode == "compatible":
        if max(picture.shape[:2]) > 2048:
            raise ChainError("the compatible mode transforms sides up to 2048; this picture is "
                             "%d x %d" % (picture.shape[1], picture.shape[0]))
        with vxfreq.compatible():
            return apply_filters(picture, library_filters(chain, transform_size(picture.shape, mode)),
                                 padding)
    return apply_filters(picture, library_filters(chain, transform_size(picture.shape, mode)),
                         padding)


def archive(shape, chain, padding, mode):
    """The chain's archive, as a C++ program loads it with vxArchive (see the guide's
    workbench page): "vxfreq filter chain", version 1, the mode, the padding, the margin
    (-1: an eighth of each side), the number of filters and the filters."""
    chain = normalize(chain)
    check_options(padding, mode)
    size = transform_size(shape, mode)
    if mode == "compatible":
        with vxfreq.compatible():
            states = [f.__getstate__() for f in library_filters(chain, size)]
    else:
        states = [f.__getstate__() for f in library_filters(chain, size)]
    return _vxfreq._chain_archive(mode, padding, -1, states)


def load_archive(data):
    """(mode, padding, filters) of a chain's archive, the filters loaded in that mode."""
    mode, padding, margin, states = _vxfreq._chain_from_archive(bytes(data))
    check_options(padding, mode)
    if margin != -1:
        raise ChainError("a chain with margin %d: the workbench writes the default margin" % margin)
    classes = {}
    for name in _CLASSES.values():
        classes[name] = getattr(vxfreq, name)

    def load(state):
        for cls in classes.values():
            try:
                return _package._from_archive(cls, state)
            except TypeError:
                continue
        raise ChainError("the chain holds a filter the workbench does not make")

    if mode == "compatible":
        with vxfreq.compatible():
            return mode, padding, [load(s) for s in states]
    return mode, padding, [load(s) for s in states]


def _option(e):
    """One entry as the command line's --filter takes it."""
    def num(v):
        return repr(float(v))

    parts = ["frequency=" + num(e["frequency"])]
    if e["type"].startswith("gabor"):
        parts.append("angle=" + num(e["angle"]))
        parts.append("sigma=%s/%s" % tuple(num(v) for v in e["sigma"]))
        parts.append("plateau=%s/%s" % tuple(num(v) for v in e["plateau"]))
    else:
        parts.append("sigma=" + num(e["sigma"]))
        parts.append("plateau=" + num(e["plateau"]))
    if e["dc"]:
        parts.append("dc=%d" % e["dc"])
    return "%s:%s" % (e["type"], ",".join(parts))


def parse_option(text):
    """An entry from the command line's --filter TYPE:key=value,... (pairs as a/b)."""
    kind, _, rest = text.partition(":")
    entry = {"type": kind.strip().lower()}
    for item in filter(None, rest.split(",")):
        key, eq, value = item.partition("=")
        if not eq:
            raise ChainError("--filter %s: %r is not key=value" % (text, item))
        key = key.strip()
        try:
            if key == "dc":
                entry[key] = int(value)
            elif "/" in value:
                entry[key] = [float(v) for v in value.split("/")]
            else:
                entry[key] = float(value)
        except ValueError:
            raise ChainError("--filter %s: %s=%s is not a number" % (text, key, value)) from None
    entry.setdefault("plateau", 0.0 if kind.startswith("band") else [0.0, 0.0])
    return entry


def command_line(chain, padding, mode, source="picture.png", target="filtered.png"):
    """The command that filters a picture file as the page does."""
    chain = normalize(chain)
    words = ["vxfreq-workbench", "apply"]
    for e in chain:
        words += ["--filter", _option(e)]
    words += ["--padding", padding]
    if mode != "extended":
        words += ["--mode", mode]
    words += [source, target]
    return " ".join(words)


def python_snippet(chain, padding, mode, source="picture.png", target="filtered.png"):
    """A Python program that filters a picture file as the page does."""
    chain = normalize(chain)
    lines = ["import math", "", "import numpy as np", "import vxfreq",
             "from vxfreq.workbench.images import read_picture, write_picture", "",
             "with open(%r, 'rb') as f:" % source,
             "    picture = read_picture(f.read())",
             "h, w = picture.shape[:2]"]
    body = ["size = vxfreq.padded_transform_size(w, h)", "filters = ["]
    for e in chain:
        cls = _CLASSES[e["type"]]
        if e["type"].startswith("band"):
            body.append("    vxfreq.%s(%r, %r, %r, size, %d)," % (cls, e["sigma"], e["plateau"],
                                                                 e["frequency"], e["dc"]))
            continue
        lobes = [""] + ([" + math.pi"] if e["type"] == "gaborreject" else [])
        for extra in lobes:
            body.append("    vxfreq.%s((%r, %r), (%r, %r), math.radians(%r)%s, %r, size, %d),"
                        % (cls, e["sigma"][0], e["sigma"][1], e["plateau"][0], e["plateau"][1],
                           e["angle"], extra, e["frequency"], e["dc"]))
    body += ["]",
             "channels = [picture] if picture.ndim == 2 else "
             "[picture[:, :, c].copy() for c in range(3)]",
             "results = [vxfreq.filter_picture(c, filters, padding=%r, dtype=picture.dtype)"
             % padding,
             "           if filters else c for c in channels]",
             "result = results[0] if picture.ndim == 2 else np.dstack(results)"]
    if mode == "compatible":
        lines.append("with vxfreq.compatible():  # the compatible mode: powers of two, up to 2048")
        lines += ["    " + b for b in body]
    else:
        lines += body
    lines.append("write_picture(%r, result)" % target)
    return "\n".join(lines) + "\n"

