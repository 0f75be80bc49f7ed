"""The layer check (scripts/check-layers.py): the tree passes it, and each include planted
against the layers fails it, naming the file: an internal header of a higher layer, a
higher layer's public header (a call the wrong way through the public API), and filt/
from platform/.

usage: check_layers_test.py REPOSITORY
"""
import os
import shutil
import subprocess
import sys
import tempfile

root = os.path.abspath(sys.argv[1])
script = os.path.join(root, "scripts", "check-layers.py")


def check(tree):
    return subprocess.run([sys.executable, script, tree], capture_output=True, text=True)


assert check(root).returncode == 0, check(root).stdout
planted = [("filt/image/forward.cpp", "filt/filtering.h"),
           ("filt/buffer/frequency.cpp", "filt/freqfilt.h"),
           ("filt/engine/complex.cpp", "filt/image/kernels.h"),
           ("filt/engine/real.cpp", "filt/padding.h"),
           ("platform/archive.cpp", "filt/fft.h")]
with tempfile.TemporaryDirectory() as tmp:
    for top in ("filt", "platform"):
        shutil.copytree(os.path.join(root, top), os.path.join(tmp, top))
    for path, include in planted:
        target = os.path.join(tmp, path)
        with open(target, encoding="utf-8") as f:
            original = f.read()
        with open(target, "w", encoding="utf-8") as f:
            f.write(f'#include "{include}"\n' + original)
        result = check(tmp)
        assert result.returncode == 1 and path in result.stdout, (path, include, result.stdout)
        with open(target, "w", encoding="utf-8") as f:
            f.write(original)
    assert check(tmp).returncode == 0
