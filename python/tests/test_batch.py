"""examples/python/batch.py on a Dask LocalCluster of two worker processes gives the
same output files, bit for bit, as a sequential run."""

import importlib.util
import os
import subprocess
import sys

import numpy as np
from PIL import Image

from conftest import SOURCE_DIR, picture

SCRIPT = os.path.join(SOURCE_DIR, "examples", "python", "batch.py")


def load_batch():
    found = importlib.util.spec_from_file_location("batch", SCRIPT)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def make_pictures(folder):
    folder.mkdir()
    for i, (h, w) in enumerate([(64, 80), (100, 50), (33, 129), (128, 128), (7, 300)]):
        Image.fromarray(picture(h, w, np.uint8, seed=i)).save(folder / ("grey%d.png" % i))
    Image.fromarray(picture(40, 60, np.uint16, seed=9)).save(folder / "deep.png")
    colour = np.stack([picture(50, 70, np.uint8, seed=s) for s in (1, 2, 3)], axis=-1)
    Image.fromarray(colour).save(folder / "colour.ppm")
    (folder / "notes.txt").write_text("not a picture")
    (folder / "broken.png").write_bytes(b"\x89PNG not really")
    Image.fromarray(np.zeros((1, 16385), np.uint8)).save(folder / "wide.png")


def test_dask_run_matches_a_sequential_run(tmp_path):
    pictures, dask_out, seq_out = tmp_path / "in", tmp_path / "dask", tmp_path / "seq"
    make_pictures(pictures)
    options = ["--angle", "30", "--frequency", "0.2", "--sigma", "0.04,0.01", "--plateau", "0.01"]
    result = subprocess.run([sys.executable, SCRIPT, "gaborreject", str(pictures), str(dask_out),
                             "--workers", "2"] + options,
                            capture_output=True, text=True, timeout=600)
    assert result.returncode == 1, result.stdout + result.stderr
    summary = result.stdout.strip().splitlines()[-1]
    assert summary.startswith("gaborreject: 7 pictures") and "2 local worker processes" in summary
    assert summary.endswith(", 2 failed") and "broken.png: UnidentifiedImageError" in result.stderr
    assert "wide.png: InvalidSize: Width and Height must be no larger than 16384." in result.stderr
    assert "100% Completed" in result.stdout + result.stderr

    batch = load_batch()
    args = batch.parse(["gaborreject", str(pictures), str(seq_out)] + options)
    params = dict(frequency=args.frequency, sigma=args.sigma, plateau=args.plateau,
                  angle=args.angle, dc_radius=args.dc_radius)
    seq_out.mkdir()
    batch.run_sequential("gaborreject", params, batch.pictures_in(str(pictures)), str(seq_out))
    names = sorted(os.listdir(seq_out))
    assert names == sorted(os.listdir(dask_out)) and len(names) == 7
    for name in names:
        assert (dask_out / name).read_bytes() == (seq_out / name).read_bytes(), name
    with Image.open(dask_out / "deep.png") as deep:  # 16-bit in, 16-bit out
        assert deep.mode in ("I", "I;16") and deep.size == (60, 40)
        assert 255 < np.asarray(deep).max() <= 65535


def test_each_job_writes_one_output_per_picture(tmp_path):
    pictures = tmp_path / "in"
    make_pictures(pictures)
    batch = load_batch()
    for job in batch.JOBS:
        out = tmp_path / job
        assert batch.main([job, str(pictures), str(out), "--sequential", "--frequency", "0.1",
                           "--sigma", "0.02"]) == 1
        first = np.asarray(Image.open(out / "grey0.png"))
        # The spectrum has the transform size, the picture's own; so do the filtered ones.
        assert first.shape == (64, 80), job
        assert len(os.listdir(out)) == 7
