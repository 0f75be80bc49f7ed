"""The Python example of README.md runs as it stands there (with matplotlib replaced by
a recorder and a picture in place of the demo's)."""

import os
import re
import sys
import types

import numpy as np
from PIL import Image

import vxfreq
from conftest import SOURCE_DIR, picture


def test_readme_example_runs(tmp_path, monkeypatch):
    text = open(os.path.join(SOURCE_DIR, "README.md"), encoding="utf-8").read()
    code = re.search(r"<!-- run by python/tests/test_readme.py -->\n```python\n(.*?)```", text, re.S).group(1)
    assert len(code.strip().splitlines()) <= 14
    shown = []
    pyplot = types.ModuleType("matplotlib.pyplot")
    pyplot.subplot = lambda *a: types.SimpleNamespace(imshow=lambda p, **k: shown.append(p))
    pyplot.show = lambda: None
    matplotlib = types.ModuleType("matplotlib")
    matplotlib.pyplot = pyplot
    monkeypatch.setitem(sys.modules, "matplotlib", matplotlib)
    monkeypatch.setitem(sys.modules, "matplotlib.pyplot", pyplot)
    (tmp_path / "vxfreq-demo-out").mkdir()
    image = picture(200, 300, np.uint8)
    Image.fromarray(image).save(tmp_path / "vxfreq-demo-out" / "input.png")
    monkeypatch.chdir(tmp_path)
    exec(compile(code, "README.md", "exec"), {})
    assert [p.shape for p in shown] == [(200, 300)] * 3
    assert [p.dtype for p in shown] == [np.uint8] * 3 and shown[2].max() == 255
    assert np.array_equal(shown[0], image) and vxfreq.forward(image).shape == (200, 300)
