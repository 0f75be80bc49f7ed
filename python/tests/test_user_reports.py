"""What a numpy user meets first: pickles of every protocol, signal handlers that stop a
long call, NaN in integer results, TypeErrors that name the call, size errors that show
the sizes, spectra that remember their norm, inverse into the caller's array, the memory
filter_picture keeps, and a FrequencyBuffer that indexes, computes and converts as an
array does."""

import copy
import os
import pickle
import subprocess
import sys

import numpy as np
import pytest

import vxfreq
from conftest import picture


def spectrum(h=30, w=48, seed=1, **kwargs):
    return vxfreq.forward(picture(h, w, np.uint8, seed=seed), **kwargs)


def every_filter(size):
    band = (0.02, 0.01, 0.125, size)
    gabor = ((0.04, 0.02), (0.02, 0.0), 0.5, 0.2, size)
    return [vxfreq.BandPass(*band, dc_removal_radius=2), vxfreq.BandReject(*band, 2),
            vxfreq.Gabor(*gabor, dc_removal_radius=1), vxfreq.GaborReject(*gabor, 1),
            vxfreq.ImageFilter(spectrum(size[1], size[0], seed=9))]


# ---------------------------------------------------------------------------
# Pickles.

PICKLE_EVERY_PROTOCOL = """
import pickle, numpy, vxfreq
buf = vxfreq.forward(numpy.arange(12.0).reshape(3, 4), offset=(2, -1))
band = (0.02, 0.01, 0.125, (4, 3))
gabor = ((0.04, 0.02), (0.02, 0.0), 0.5, 0.2, (4, 3))
objects = [buf, vxfreq.BandPass(*band), vxfreq.BandReject(*band, 1), vxfreq.Gabor(*gabor),
           vxfreq.GaborReject(*gabor, 1), vxfreq.ImageFilter(buf)]
for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
    for obj in objects:
        twin = pickle.loads(pickle.dumps(obj, protocol=protocol))
        assert type(twin) is type(obj) and twin == obj, (protocol, obj)
print("round trips", pickle.HIGHEST_PROTOCOL + 1)
"""


def test_pickles_of_every_protocol_round_trip():
    # In a process of its own: a pickle that cannot be made must raise, never abort.
    run = subprocess.run([sys.executable, "-c", PICKLE_EVERY_PROTOCOL], capture_output=True,
                         text=True, env=os.environ)
    assert run.returncode == 0, run.stderr
    assert run.stdout.split() == ["round", "trips", str(pickle.HIGHEST_PROTOCOL + 1)]
    spatial = spectrum(seed=2, offset=(3, 4))
    vxfreq.inverse(spatial, in_place=True)
    padded = spectrum(seed=3, padding="reflect")
    for obj in [spatial, padded] + every_filter((48, 30)):
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            twin = pickle.loads(pickle.dumps(obj, protocol=protocol))
            assert type(twin) is type(obj) and twin == obj and repr(twin) == repr(obj)
        for twin in (copy.copy(obj), copy.deepcopy(obj)):
            assert type(twin) is type(obj) and twin == obj and twin is not obj
    assert np.array_equal(vxfreq.inverse(pickle.loads(pickle.dumps(padded, 0))),
                          vxfreq.inverse(padded))
    assert pickle.loads(pickle.dumps(spatial, 1)).inverse_computed
    # The reconstructor builds the package's objects only.
    rebuild, args = spatial.__reduce__()
    assert rebuild is vxfreq._from_archive and args[0] is vxfreq.FrequencyBuffer
    with pytest.raises(TypeError, match="FrequencyBuffer or a filter class"):
        rebuild(dict, args[1])
    with pytest.raises(vxfreq.EndOfData):
        rebuild(vxfreq.BandPass, every_filter((8, 8))[0].__getstate__()[:9])
