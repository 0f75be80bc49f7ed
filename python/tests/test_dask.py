"""vxfreq.dask: an 8192 x 8192 picture filtered in 2048 x 2048 chunks with overlap gives
the whole picture's transform up to the truncation of the filter's tail, and the same
bits on a LocalCluster of two worker processes as in this process."""

import dask.array as da
import numpy as np
import pytest
from dask.distributed import Client, LocalCluster

import vxfreq
import vxfreq.dask as vd

N = 8192


def test_blocks_match_the_whole_picture_and_a_cluster_gives_the_same_bits():
    rng = np.random.default_rng(1)
    y, x = np.ogrid[0:N, 0:N]
    image = rng.integers(0, 200, (N, N), dtype=np.uint8) + (40 + 40 * np.sin(x / 7 + y / 11)).astype(np.uint8)
    band = dict(sigma=0.02, plateau=0.01, frequency=0.125)
    filt = vxfreq.BandReject(size=(64, 64), **band)
    assert vd.overlap(filt) == 40 == np.ceil(5 / (2 * np.pi * 0.02))
    blocks = vd.filter_array(da.from_array(image, chunks=2048), filt, boundary="periodic")
    assert blocks.chunks == ((2048,) * 4,) * 2 and blocks.dtype == np.float64
    here = blocks.compute(scheduler="threads", num_workers=1)
    spectrum = vxfreq.forward(image)
    vxfreq.BandReject(size=(N, N), **band).apply(spectrum)
    error = np.abs(here - vxfreq.inverse(spectrum, in_place=True))
    assert error.max() < 0.25 and np.sqrt(np.mean(error ** 2)) < 0.01  # of a range of ~360
    no_overlap = vd.filter_array(da.from_array(image[:4096, :4096], chunks=2048), filt, depth=0)
    seam = np.s_[1024:3072, 1024:3072]  # around the chunks' borders, far from the picture's
    assert np.abs(no_overlap.compute()[seam] - here[seam]).max() > 10
    del spectrum, error

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        assert np.array_equal(client.compute(blocks).result(), here)
    for bad, error, what in [(vxfreq.ImageFilter(vxfreq.FrequencyBuffer(8, 8)), TypeError, "BandPass"),
                             (vxfreq.BandPass(0.02, 0.0, 0.1, (8, 8), 1), ValueError, "DC radius"),
                             (vxfreq.Gabor((0.004, 0.1), (0, 0), 0, 0.2, (8, 8)), ValueError, "chunk")]:
        with pytest.raises(error, match=what):
            vd.filter_array(da.zeros((64, 64), chunks=32), bad)
